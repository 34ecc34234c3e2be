#include "importexport/CheckListBox.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>

#include "importexport/CheckListBoxAccessible.h"
#include "resources/image_ids.h"
#include "util/OperatingSystem.h"

namespace {

// Item data bits: the check state (0 unchecked, 1 checked, 2 greyed) and whether the
// item is disabled, so a fresh item (data 0) reads as unchecked and enabled and there
// is nothing to free when it goes.
constexpr LRESULT kStateMask = 0x3;
constexpr LRESULT kDisabledBit = 0x4;
// Room between the box and the text, and between the highlight's edge and the text.
constexpr int kTextPadding = 2;

// The visual-styles library is reached at run time, as for the picture buttons.
using OpenThemeDataFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
using DrawThemeBackgroundFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
using GetThemePartSizeFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, int, SIZE*);
using CloseThemeDataFn = HRESULT(WINAPI*)(HANDLE);

template <class Fn>
Fn ThemeFunction(HMODULE library, const char* name) {
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

int CentredOffset(int outer, int inner) { return std::max(0, (outer - inner) / 2); }

}  // namespace

CheckListBox::CheckListBox(Style style) : m_style(style) {
    m_boxes.Load(IDB_CHECKBOXES);
    UseTheme(style == Style::Themed || (style == Style::System && OperatingSystem::IsUiThemeEnabled()));
}

CheckListBox::~CheckListBox() { Detach(); }

void CheckListBox::UseTheme(bool wanted) {
    if (wanted && !m_themeLibrary) {
        m_themeLibrary.Reset(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    }
    m_themed = wanted && m_themeLibrary;
}

void CheckListBox::Attach(HWND list) {
    Detach();
    m_list = list;
    if (!list) return;
    SetWindowLongPtrW(list, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CheckListBox::ListProc)));
    MeasureText();
    m_focusCues.Attach(list);
}

CheckListBox* CheckListBox::Of(HWND list) {
    if (!list || GetWindowLongPtrW(list, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&CheckListBox::ListProc)) return nullptr;
    auto* self = reinterpret_cast<CheckListBox*>(GetWindowLongPtrW(list, GWLP_USERDATA));
    return self && self->m_list == list ? self : nullptr;
}

void CheckListBox::Detach() {
    if (!m_list) return;
    if (IsWindow(m_list)) {
        if (GetWindowLongPtrW(m_list, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CheckListBox::ListProc))
            SetWindowLongPtrW(m_list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        if (GetWindowLongPtrW(m_list, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this))
            SetWindowLongPtrW(m_list, GWLP_USERDATA, 0);
    }
    m_list = nullptr;
    m_previousProc = nullptr;
}

void CheckListBox::MeasureText() {
    if (!m_list) return;
    ScopedGetDC dc(m_list);
    if (!dc.Get()) return;
    ScopedSelectObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageW(m_list, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    if (GetTextMetricsW(dc.Get(), &metrics)) m_textHeight = metrics.tmHeight;
    // Rows tall enough for the box and the text, with a little air: the list box's own
    // guess comes before the dialog font is set and is too small for it.
    const int boxHeight = m_boxes.Size().cy;
    SendMessageW(m_list, LB_SETITEMHEIGHT, 0, MAKELPARAM(std::max(m_textHeight, boxHeight) + 3, 0));
}

LRESULT CheckListBox::ItemBits(int index) const {
    if (!m_list || index < 0) return 0;
    LRESULT data = SendMessageW(m_list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return data == LB_ERR ? 0 : data;
}

void CheckListBox::SetItemBits(int index, LRESULT bits) {
    SendMessageW(m_list, LB_SETITEMDATA, static_cast<WPARAM>(index), bits);
}

int CheckListBox::AddItem(const CMString& text, bool checked) {
    if (!m_list) return LB_ERR;
    const int index = static_cast<int>(SendMessageW(m_list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
    if (index >= 0) SetItemBits(index, checked ? 1 : 0);
    return index;
}

bool CheckListBox::MoveItem(int from, int to) {
    const int count = m_list ? static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0)) : 0;
    if (from < 0 || from >= count || to < 0 || to >= count) return false;
    const int length = static_cast<int>(SendMessageW(m_list, LB_GETTEXTLEN, static_cast<WPARAM>(from), 0));
    CMString text;
    SendMessageW(m_list, LB_GETTEXT, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(text.GetBuffer(length + 1)));
    text.ReleaseBuffer();
    const LRESULT bits = ItemBits(from);
    SendMessageW(m_list, LB_DELETESTRING, static_cast<WPARAM>(from), 0);
    SendMessageW(m_list, LB_INSERTSTRING, static_cast<WPARAM>(to), reinterpret_cast<LPARAM>(text.c_str()));
    SetItemBits(to, bits);
    SendMessageW(m_list, LB_SETCURSEL, static_cast<WPARAM>(to), 0);
    return true;
}

void CheckListBox::SetCheck(int index, int state) {
    if (!m_list || index < 0 || index >= static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0))) return;
    const LRESULT clamped = std::clamp<LRESULT>(state, 0, 2);
    SetItemBits(index, (ItemBits(index) & ~kStateMask) | clamped);
    InvalidateBox(index);
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, m_list, OBJID_CLIENT, index + 1);
}

int CheckListBox::GetCheck(int index) const { return static_cast<int>(ItemBits(index) & kStateMask); }

void CheckListBox::SetItemEnabled(int index, bool enabled) {
    if (!m_list || index < 0 || index >= static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0))) return;
    const LRESULT bits = ItemBits(index);
    SetItemBits(index, enabled ? bits & ~kDisabledBit : bits | kDisabledBit);
    RECT rect = {};
    if (SendMessageW(m_list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)) != LB_ERR)
        InvalidateRect(m_list, &rect, FALSE);
}

bool CheckListBox::IsItemEnabled(int index) const { return (ItemBits(index) & kDisabledBit) == 0; }

void CheckListBox::Toggle(int index) {
    if (!IsItemEnabled(index)) return;
    SetCheck(index, GetCheck(index) == 0 ? 1 : 0);
    SendMessageW(GetParent(m_list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(m_list), kCheckChanged),
                 reinterpret_cast<LPARAM>(m_list));
}

int CheckListBox::BoxWidth() const { return m_boxes.Size().cx / 3; }

void CheckListBox::InvalidateBox(int index) {
    RECT rect = {};
    if (SendMessageW(m_list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)) == LB_ERR)
        return;
    rect.right = std::min(rect.right, rect.left + BoxWidth() + kTextPadding + 2);
    InvalidateRect(m_list, &rect, FALSE);
}

LRESULT CALLBACK CheckListBox::ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CheckListBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && self->m_list == hwnd) return self->OnMessage(message, wParam, lParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CheckListBox::CallPrevious(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_previousProc ? CallWindowProcW(m_previousProc, m_list, message, wParam, lParam)
                          : DefWindowProcW(m_list, message, wParam, lParam);
}

void CheckListBox::OnButtonDown(LPARAM lParam) {
    SetFocus(m_list);
    const int x = static_cast<short>(LOWORD(lParam));
    const int y = static_cast<short>(HIWORD(lParam));
    const int count = static_cast<int>(SendMessageW(m_list, LB_GETCOUNT, 0, 0));
    const int height = static_cast<int>(SendMessageW(m_list, LB_GETITEMHEIGHT, 0, 0));
    if (height <= 0 || y < 0) return;
    const int top = static_cast<int>(SendMessageW(m_list, LB_GETTOPINDEX, 0, 0));
    const int index = top + y / height;
    if (index >= count) return;
    if (x >= 0 && x < BoxWidth() + 2) Toggle(index);
}

LRESULT CheckListBox::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
            if (wParam == VK_SPACE) {
                const int selected = static_cast<int>(SendMessageW(m_list, LB_GETCURSEL, 0, 0));
                if (selected != LB_ERR) Toggle(selected);
            }
            break;
        case WM_LBUTTONDOWN:
        // The second click of a quick pair arrives as a double click: it toggles too,
        // or two fast clicks on a box would change it only once.
        case WM_LBUTTONDBLCLK:
            OnButtonDown(lParam);
            break;
        case WM_SETFONT: {
            LRESULT result = CallPrevious(message, wParam, lParam);
            MeasureText();
            return result;
        }
        case WM_UPDATEUISTATE: {
            LRESULT result = CallPrevious(message, wParam, lParam);
            if (m_focusCues.Update(wParam)) InvalidateRect(m_list, nullptr, FALSE);
            return result;
        }
        case WM_GETOBJECT:
            if (static_cast<LONG>(lParam) == OBJID_CLIENT) {
                if (LRESULT answer = CheckListBoxAccessible::Answer(m_list, wParam)) return answer;
            }
            break;
        case WM_THEMECHANGED:
            if (m_style == Style::System) UseTheme(OperatingSystem::IsUiThemeEnabled());
            InvalidateRect(m_list, nullptr, TRUE);
            break;
        case WM_NCDESTROY: {
            // The window goes before this object: give it back its procedure now.
            HWND list = m_list;
            WNDPROC previous = m_previousProc;
            Detach();
            return previous ? CallWindowProcW(previous, list, message, wParam, lParam)
                            : DefWindowProcW(list, message, wParam, lParam);
        }
        default:
            break;
    }
    return CallPrevious(message, wParam, lParam);
}

bool CheckListBox::DrawThemedBox(HDC dc, const RECT& item, int state, int& boxWidth) {
    HMODULE library = m_themeLibrary.Get();
    const auto openTheme = ThemeFunction<OpenThemeDataFn>(library, "OpenThemeData");
    const auto drawBackground = ThemeFunction<DrawThemeBackgroundFn>(library, "DrawThemeBackground");
    const auto partSize = ThemeFunction<GetThemePartSizeFn>(library, "GetThemePartSize");
    const auto closeTheme = ThemeFunction<CloseThemeDataFn>(library, "CloseThemeData");
    if (!openTheme || !drawBackground || !partSize) return false;
    HANDLE theme = openTheme(m_list, L"Button");
    if (!theme) return false;
    SIZE size = {};
    bool drawn = false;
    if (SUCCEEDED(partSize(theme, dc, BP_CHECKBOX, state, nullptr, TS_DRAW, &size)) && size.cx > 0 && size.cy > 0) {
        const int y = item.top + CentredOffset(item.bottom - item.top, size.cy);
        RECT box = {item.left + 1, y, item.left + 1 + size.cx, y + size.cy};
        // The check mark faces the same way as in the classic strip, whatever the reading order.
        const DWORD layout = GetLayout(dc);
        if (layout & LAYOUT_RTL) SetLayout(dc, layout | LAYOUT_BITMAPORIENTATIONPRESERVED);
        drawn = SUCCEEDED(drawBackground(theme, dc, BP_CHECKBOX, state, &box, nullptr));
        if (layout & LAYOUT_RTL) SetLayout(dc, layout);
        boxWidth = size.cx;
    }
    if (closeTheme) closeTheme(theme);
    return drawn;
}

void CheckListBox::DrawClassicBox(HDC dc, const RECT& item, int state) {
    const SIZE strip = m_boxes.Size();
    const int frame = strip.cx / 3;
    if (frame <= 0) return;
    MemoryDC boxesDc(dc);
    if (!boxesDc || !boxesDc.Select(m_boxes.Bitmap())) return;
    // A mirrored list must not mirror the check mark.
    const DWORD layout = GetLayout(dc);
    if (layout & LAYOUT_RTL) SetLayout(dc, layout | LAYOUT_BITMAPORIENTATIONPRESERVED);
    const int y = item.top + CentredOffset(item.bottom - item.top, strip.cy);
    BitBlt(dc, item.left + 1, y, frame, strip.cy, boxesDc.Get(), frame * std::clamp(state, 0, 2), 0, SRCCOPY);
    if (layout & LAYOUT_RTL) SetLayout(dc, layout);
}

void CheckListBox::DrawItem(const DRAWITEMSTRUCT& item) {
    if (!item.hDC || !m_list) return;
    RECT text = item.rcItem;
    const bool hasItem = item.itemID != static_cast<UINT>(-1);
    const int index = static_cast<int>(item.itemID);
    const int frame = BoxWidth();
    if (m_textOffset == 0) m_textOffset = frame + kTextPadding;
    text.left += m_textOffset;

    if (hasItem && (item.itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) {
        const bool listEnabled = IsWindowEnabled(m_list) != FALSE;
        const bool enabled = listEnabled && IsItemEnabled(index);
        const bool highlighted = enabled && (item.itemState & ODS_SELECTED);
        const int state = GetCheck(index);

        // The box stands on the window colour; only the text takes the highlight.
        RECT boxArea = item.rcItem;
        boxArea.right = std::min(boxArea.right, boxArea.left + frame + kTextPadding);
        FillRect(item.hDC, &boxArea, GetSysColorBrush(COLOR_WINDOW));
        int boxWidth = frame;
        bool themedBox = false;
        if (m_themed) {
            int part = state == 1 ? (enabled ? CBS_CHECKEDNORMAL : CBS_CHECKEDDISABLED)
                                  : (enabled ? CBS_UNCHECKEDNORMAL : CBS_UNCHECKEDDISABLED);
            themedBox = DrawThemedBox(item.hDC, item.rcItem, part, boxWidth);
        }
        if (!themedBox) DrawClassicBox(item.hDC, item.rcItem, state);
        // The focus rectangle alone is drawn later at the same place, so the offset stays.
        m_textOffset = themedBox ? boxWidth + 3 : frame + kTextPadding;
        text.left = item.rcItem.left + m_textOffset;
        if (text.left > boxArea.right) {
            RECT gap = {boxArea.right, item.rcItem.top, text.left, item.rcItem.bottom};
            FillRect(item.hDC, &gap, GetSysColorBrush(COLOR_WINDOW));
        }

        const int length = static_cast<int>(SendMessageW(m_list, LB_GETTEXTLEN, item.itemID, 0));
        CMString label;
        if (length > 0) {
            SendMessageW(m_list, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(label.GetBuffer(length + 1)));
            label.ReleaseBuffer();
        }
        const COLORREF foreground =
            highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : (enabled ? GetSysColor(COLOR_WINDOWTEXT) : RGB(128, 128, 128));
        const COLORREF background = GetSysColor(highlighted ? COLOR_HIGHLIGHT : COLOR_WINDOW);
        const COLORREF oldText = SetTextColor(item.hDC, foreground);
        const COLORREF oldBack = SetBkColor(item.hDC, background);
        const int y = text.top + CentredOffset(text.bottom - text.top, m_textHeight);
        ExtTextOutW(item.hDC, text.left + kTextPadding, y, ETO_OPAQUE | ETO_CLIPPED, &text, label.c_str(),
                    static_cast<UINT>(label.GetLength()), nullptr);
        SetBkColor(item.hDC, oldBack);
        SetTextColor(item.hDC, oldText);
        if ((item.itemState & ODS_FOCUS) && !m_focusCues.Hidden()) DrawFocusRect(item.hDC, &text);
    } else if ((item.itemAction & ODA_FOCUS) && !m_focusCues.Hidden()) {
        DrawFocusRect(item.hDC, &text);
    }
}
