#include "controls/BitmapButton.h"

#include <commctrl.h>
#include <vssym32.h>

#include "controls/Dpi.h"
#include "util/OperatingSystem.h"

namespace {

// The button's own procedure, kept beside the window too: if another subclass sits above
// ours when this object goes, our procedure stays in that chain and still reaches it.
constexpr wchar_t kPreviousProcProperty[] = L"BitmapButton.PreviousProc";

// The visual-styles library is reached at run time, so the program also starts where it
// is missing; its handles are plain HANDLEs.
using OpenThemeDataFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
using CloseThemeDataFn = HRESULT(WINAPI*)(HANDLE);

template <class Fn>
Fn ThemeFunction(HMODULE library, const char* name) {
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

void Line(HDC dc, int fromX, int fromY, int toX, int toY) {
    MoveToEx(dc, fromX, fromY, nullptr);
    LineTo(dc, toX, toY);
}

}  // namespace

BitmapButton::BitmapButton(Style style) : m_style(style) {
    UseTheme(style == Style::Themed || (style == Style::System && OperatingSystem::IsUiThemeEnabled()));
}

BitmapButton::~BitmapButton() { Detach(); }

bool BitmapButton::UseTheme(bool wanted) {
    if (wanted && !m_themeLibrary) {
        // From the system folder only: a library of that name beside the program is not ours.
        m_themeLibrary.Reset(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    m_themed = wanted && m_themeLibrary;
    if (!m_themed) m_hot = false;
    return m_themed;
}

bool BitmapButton::LoadImages(UINT normalId, UINT disabledId) {
    bool loaded = m_normal.Load(normalId);
    if (disabledId != 0) {
        loaded = m_disabled.Load(disabledId) && loaded;
    } else {
        m_disabled.Reset();
    }
    if (m_button) InvalidateRect(m_button, nullptr, TRUE);
    return loaded;
}

void BitmapButton::Attach(HWND parent, HWND button) {
    Detach();
    m_parent = parent;
    m_button = button;
    if (!button) return;

    SetWindowLongPtrW(button, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_previousProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(button, GWLP_WNDPROC));
    SetPropW(button, kPreviousProcProperty, reinterpret_cast<HANDLE>(reinterpret_cast<ULONG_PTR>(m_previousProc)));
    SetWindowLongPtrW(button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BitmapButton::HoverProc));
    m_focusCues.Attach(button);

    RECT box = {0, 0, m_metrics.imageBoxWidth - 4, m_metrics.imageBoxHeight - 4};
    MapDialogRect(parent, &box);
    m_imageWidth = box.right;
    m_imageHeight = box.bottom;

    const int width = ScalePixels(parent, m_metrics.buttonWidth);
    const int height = ScalePixels(parent, m_metrics.buttonHeight);
    m_imageX = (width - m_imageWidth) / 2;
    m_imageY = (height - m_imageHeight) / 2;
    SetWindowPos(button, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

void BitmapButton::Detach() {
    if (!m_button) return;
    if (IsWindow(m_button)) {
        if (GetWindowLongPtrW(m_button, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&BitmapButton::HoverProc)) {
            SetWindowLongPtrW(m_button, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
            RemovePropW(m_button, kPreviousProcProperty);
        }
        if (GetWindowLongPtrW(m_button, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
            SetWindowLongPtrW(m_button, GWLP_USERDATA, 0);
    }
    m_button = nullptr;
    m_previousProc = nullptr;
    m_hot = false;
}

void BitmapButton::Draw(const DRAWITEMSTRUCT& item) {
    if (!item.hDC) return;
    const RECT& rect = item.rcItem;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;

    // Composed off screen and copied in one step, so a hover change never flickers.
    UniqueGdiObject buffer(CreateCompatibleBitmap(item.hDC, width, height));
    MemoryDC bufferDc(item.hDC);
    HDC dc = item.hDC;
    if (buffer && bufferDc && bufferDc.Select(buffer.Get())) {
        dc = bufferDc.Get();
        SetViewportOrgEx(dc, -rect.left, -rect.top, nullptr);
    }
    {
        // The classic frame fills with whatever brush the caller's context holds.
        ScopedSelectObject brush(dc, dc == item.hDC ? nullptr : GetCurrentObject(item.hDC, OBJ_BRUSH));

        DrawFace(dc, rect, item.itemState);

        const bool disabled = (item.itemState & ODS_DISABLED) != 0;
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        // A button without a disabled image still shows its picture rather than nothing.
        const TransparentPicture& image = disabled && m_disabled.IsLoaded() ? m_disabled : m_normal;
        const int drop = !disabled && selected ? ScalePixels(m_button, 1) : 0;
        image.DrawStretched(dc, rect.left + m_imageX, rect.top + m_imageY + drop, m_imageWidth, m_imageHeight);

        if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT) && !m_focusCues.Hidden()) {
            RECT focus = {rect.left + m_imageX, rect.top + m_imageY, rect.right - m_imageX, rect.bottom - m_imageY};
            DrawFocusRect(dc, &focus);
        }
    }
    if (dc != item.hDC) BitBlt(item.hDC, rect.left, rect.top, width, height, dc, rect.left, rect.top, SRCCOPY);
}

void BitmapButton::DrawFace(HDC dc, const RECT& rect, UINT state) {
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    if (m_themed) {
        DrawThemedFace(dc, rect, state);
    } else {
        DrawClassicFace(dc, rect, state);
    }
}

void BitmapButton::DrawThemedFace(HDC dc, const RECT& rect, UINT state) {
    HMODULE library = m_themeLibrary.Get();
    const auto openTheme = ThemeFunction<OpenThemeDataFn>(library, "OpenThemeData");
    const auto drawBackground = ThemeFunction<DrawThemeBackgroundFn>(library, "DrawThemeBackground");
    const auto closeTheme = ThemeFunction<CloseThemeDataFn>(library, "CloseThemeData");
    if (!openTheme) return;
    HANDLE theme = openTheme(m_button, L"BUTTON");
    if (!theme) return;

    // The hover look wins over the pressed one; a pressed button shows it by its image.
    int partState;
    if (state & ODS_FOCUS) {
        partState = m_hot ? PBS_HOT : PBS_DEFAULTED;
    } else if (m_hot) {
        partState = PBS_HOT;
    } else if (state & ODS_SELECTED) {
        partState = PBS_PRESSED;
    } else if (state & ODS_DISABLED) {
        partState = PBS_DISABLED;
    } else {
        partState = PBS_NORMAL;
    }
    if (drawBackground) drawBackground(theme, dc, BP_PUSHBUTTON, partState, &rect, nullptr);
    if (closeTheme) closeTheme(theme);
}

void BitmapButton::DrawClassicFace(HDC dc, RECT r, UINT state) {
    UniqueGdiObject shadow(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW)));
    if (state & ODS_SELECTED) {
        {
            ScopedSelectObject brush(dc, GetSysColorBrush(COLOR_BTNFACE));
            ScopedSelectObject pen(dc, GetStockObject(BLACK_PEN));
            RoundRect(dc, r.left, r.top, r.right, r.bottom, 2, 2);
        }
        ScopedSelectObject pen(dc, shadow.Get());
        Line(dc, r.left + 1, r.top + 1, r.right - 1, r.top + 1);
        Line(dc, r.left + 1, r.top + 1, r.left + 1, r.bottom - 1);
        return;
    }
    if (state & ODS_DISABLED) {
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT);
        return;
    }
    {
        ScopedSelectObject pen(dc, GetStockObject(BLACK_PEN));
        RoundRect(dc, r.left, r.top, r.right, r.bottom, 2, 2);
        if (state & ODS_FOCUS) {
            InflateRect(&r, -1, -1);
            Rectangle(dc, r.left, r.top, r.right, r.bottom);
        }
    }
    UniqueGdiObject highlight(CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT)));
    {
        ScopedSelectObject pen(dc, highlight.Get());
        Line(dc, r.left + 1, r.top + 1, r.right - 2, r.top + 1);
        Line(dc, r.left + 1, r.top + 2, r.right - 3, r.top + 2);
        Line(dc, r.left + 1, r.top + 1, r.left + 1, r.bottom - 2);
        Line(dc, r.left + 2, r.top + 1, r.left + 2, r.bottom - 3);
    }
    ScopedSelectObject pen(dc, shadow.Get());
    Line(dc, r.left + 1, r.bottom - 2, r.right - 1, r.bottom - 2);
    Line(dc, r.left + 2, r.bottom - 3, r.right - 1, r.bottom - 3);
    Line(dc, r.right - 2, r.top + 1, r.right - 2, r.bottom - 1);
    Line(dc, r.right - 3, r.top + 2, r.right - 3, r.bottom - 1);
}

void BitmapButton::Invalidate() {
    if (!m_button) return;
    RECT rect = {};
    GetClientRect(m_button, &rect);
    InflateRect(&rect, 1, 1);
    InvalidateRect(m_button, &rect, TRUE);
}

LRESULT BitmapButton::CallPrevious(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_previousProc ? CallWindowProcW(m_previousProc, m_button, message, wParam, lParam)
                          : DefWindowProcW(m_button, message, wParam, lParam);
}

LRESULT CALLBACK BitmapButton::HoverProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<BitmapButton*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && self->m_button == hwnd) return self->OnHoverMessage(message, wParam, lParam);
    // Our object is gone but a later subclass still calls us: just pass everything on.
    const auto previous = reinterpret_cast<WNDPROC>(reinterpret_cast<ULONG_PTR>(GetPropW(hwnd, kPreviousProcProperty)));
    if (message == WM_NCDESTROY) RemovePropW(hwnd, kPreviousProcProperty);
    return previous ? CallWindowProcW(previous, hwnd, message, wParam, lParam)
                    : DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT BitmapButton::OnHoverMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEMOVE:
            if (!m_themed) break;
            if (GetActiveWindow()) {
                if ((wParam & MK_LBUTTON) || m_hot) break;
                m_hot = true;
                Invalidate();
                TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_button, 0};
                _TrackMouseEvent(&track);
                return 0;
            }
            if (m_hot) {
                m_hot = false;
                Invalidate();
                return 0;
            }
            break;
        case WM_MOUSELEAVE:
        case WM_KILLFOCUS:
            m_hot = false;
            Invalidate();
            break;
        case WM_ENABLE:
            Invalidate();
            break;
        case WM_UPDATEUISTATE: {
            const LRESULT result = CallPrevious(message, wParam, lParam);
            if (m_focusCues.Update(wParam)) Invalidate();
            return result;
        }
        case WM_LBUTTONDBLCLK:
            // An owner-drawn button answers a double click with BN_DOUBLECLICKED alone, so
            // quick clicks (moving a column up, say) would lose every second one.
            return CallPrevious(WM_LBUTTONDOWN, wParam, lParam);
        case WM_THEMECHANGED:
            if (m_style == Style::System) UseTheme(OperatingSystem::IsUiThemeEnabled());
            Invalidate();
            break;
        case WM_NCDESTROY: {
            // The window goes before this object: give it back its procedure now.
            HWND button = m_button;
            WNDPROC previous = m_previousProc;
            Detach();
            return previous ? CallWindowProcW(previous, button, message, wParam, lParam)
                            : DefWindowProcW(button, message, wParam, lParam);
        }
        default:
            break;
    }
    return CallPrevious(message, wParam, lParam);
}

bool BitmapButton::DrawOwned(const DRAWITEMSTRUCT& item, std::initializer_list<BitmapButton*> buttons) {
    for (BitmapButton* button : buttons) {
        if (button->Window() && button->Window() == item.hwndItem) {
            button->Draw(item);
            return true;
        }
    }
    return false;
}

void BitmapButton::AttachAll(HWND dialog, std::initializer_list<Setup> buttons) {
    for (const Setup& b : buttons) {
        b.button->LoadImages(b.normalId, b.disabledId);
        b.button->Attach(dialog, GetDlgItem(dialog, b.control));
    }
}
