#include "printing/PreviewDlg.h"

#include <windowsx.h>

#include <algorithm>

#include "app/AppGlobals.h"
#include "printing/PageRenderer.h"
#include "printing/PrintJob.h"
#include "resources/resource.h"

namespace printing {

namespace {

const wchar_t kPageClass[] = L"PbePreviewPage";
// Zoom steps in percent of the page's real size on this screen.
constexpr int kZoomSteps[] = {50, 75, 100, 150, 200, 300};
constexpr int kZoomStepCount = static_cast<int>(sizeof kZoomSteps / sizeof kZoomSteps[0]);
constexpr int kGap = 8;  // pixels of grey around the page

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

bool RegisterPageClass() {
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = DefWindowProcW;  // replaced per window once the dialog is known
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kPageClass;
        return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

}  // namespace

CPreviewDlg::CPreviewDlg(const Document& document, const Paper& paper, Layout layout)
    : m_document(document), m_paper(paper), m_layout(std::move(layout)) {}

CPreviewDlg::~CPreviewDlg() = default;

INT_PTR CPreviewDlg::Run(HWND owner) {
    RegisterPageClass();
    return RunModal(owner, IDD_PRINT_PREVIEW, IDD_PRINT_PREVIEW_RTL);
}

int CPreviewDlg::Zoom() const {
    if (m_zoomStep > 0) return ScreenDpi() * kZoomSteps[m_zoomStep - 1] / 100;
    HWND page = GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE);
    RECT view = {};
    GetClientRect(page, &view);
    // The whole page in view: the smaller of what the width and the height allow.
    const int byWidth = MulDiv(std::max<int>(view.right - 2 * kGap, 1), m_paper.dpiX, m_paper.width);
    const int byHeight = MulDiv(std::max<int>(view.bottom - 2 * kGap, 1), m_paper.dpiY, m_paper.height);
    return std::max(8, std::min(byWidth, byHeight));
}

BOOL CPreviewDlg::OnInitDialog() {
    SetWindowTextW(m_hwnd, app::Text(IDS_PREVIEW_CAPTION).c_str());
    const std::pair<int, unsigned> texts[] = {
        {IDC_PREVIEW_PREVIOUS, IDS_PREVIEW_PREVIOUS}, {IDC_PREVIEW_NEXT, IDS_PREVIEW_NEXT},
        {IDC_PREVIEW_ZOOM_IN, IDS_PREVIEW_ZOOM_IN},   {IDC_PREVIEW_ZOOM_OUT, IDS_PREVIEW_ZOOM_OUT},
        {IDC_PREVIEW_PRINT, IDS_PRINT_PRINT},         {IDCANCEL, IDS_CLOSE},
    };
    for (const auto& [id, text] : texts) SetDlgItemTextW(m_hwnd, id, app::Text(text).c_str());
    HWND page = GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE);
    SetWindowLongPtrW(page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PageProc));
    RECT r = {};
    GetWindowRect(page, &r);
    MapWindowPoints(nullptr, m_hwnd, reinterpret_cast<POINT*>(&r), 2);
    m_pageTop = r.top;
    // Most of the screen's height, a page's shape.
    RECT work = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int height = (work.bottom - work.top) * 9 / 10;
    RECT window = {};
    GetWindowRect(m_hwnd, &window);
    const int width = std::max<int>(window.right - window.left, MulDiv(height, m_paper.width, m_paper.height) + 40);
    SetWindowPos(m_hwnd, nullptr, work.left + (work.right - work.left - width) / 2, work.top + (work.bottom - work.top - height) / 2,
                 width, height, SWP_NOZORDER);
    Arrange();
    ShowPage(0);
    SetFocus(page);
    return FALSE;
}

void CPreviewDlg::Arrange() {
    RECT client = {};
    GetClientRect(m_hwnd, &client);
    const int margin = m_pageTop > 0 ? std::max(4, m_pageTop / 4) : 8;
    MoveWindow(GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE), margin, m_pageTop, client.right - 2 * margin,
               std::max<int>(client.bottom - m_pageTop - margin, 10), TRUE);
    m_pictureStale = true;
    UpdateScrollBars();
}

void CPreviewDlg::ShowPage(int page) {
    m_page = std::clamp(page, 0, PageCount() - 1);
    m_pictureStale = true;
    m_scrollY = 0;
    SetDlgItemTextW(m_hwnd, IDC_PREVIEW_NUMBER,
                    CMString::Formatted(app::Text(IDS_PREVIEW_PAGE).c_str(), m_page + 1, PageCount()).c_str());
    HWND previous = GetDlgItem(m_hwnd, IDC_PREVIEW_PREVIOUS), next = GetDlgItem(m_hwnd, IDC_PREVIEW_NEXT);
    const HWND focus = GetFocus();
    EnableWindow(previous, m_page > 0);
    EnableWindow(next, m_page + 1 < PageCount());
    // A button greyed under the focus would leave the keyboard nowhere.
    if ((focus == previous && m_page == 0) || (focus == next && m_page + 1 >= PageCount()))
        SetFocus(GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE));
    UpdateScrollBars();
    InvalidateRect(GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE), nullptr, FALSE);
}

void CPreviewDlg::SetZoom(int step) {
    m_zoomStep = std::clamp(step, 0, kZoomStepCount);
    EnableWindow(GetDlgItem(m_hwnd, IDC_PREVIEW_ZOOM_IN), m_zoomStep < kZoomStepCount);
    EnableWindow(GetDlgItem(m_hwnd, IDC_PREVIEW_ZOOM_OUT), m_zoomStep > 0);
    m_pictureStale = true;
    UpdateScrollBars();
    InvalidateRect(GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE), nullptr, FALSE);
}

void CPreviewDlg::UpdateScrollBars() {
    HWND page = GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE);
    RECT view = {};
    GetClientRect(page, &view);
    const int zoom = Zoom();
    const int w = MulDiv(m_paper.width, zoom, m_paper.dpiX) + 2 * kGap;
    const int h = MulDiv(m_paper.height, zoom, m_paper.dpiY) + 2 * kGap;
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL};
    m_scrollX = std::clamp(m_scrollX, 0, std::max(0, w - static_cast<int>(view.right)));
    m_scrollY = std::clamp(m_scrollY, 0, std::max(0, h - static_cast<int>(view.bottom)));
    si.nMax = w - 1;
    si.nPage = static_cast<UINT>(view.right);
    si.nPos = m_scrollX;
    SetScrollInfo(page, SB_HORZ, &si, TRUE);
    si.nMax = h - 1;
    si.nPage = static_cast<UINT>(view.bottom);
    si.nPos = m_scrollY;
    SetScrollInfo(page, SB_VERT, &si, TRUE);
}

void CPreviewDlg::Scroll(int bar, int code, int delta) {
    HWND page = GetDlgItem(m_hwnd, IDC_PREVIEW_PAGE);
    SCROLLINFO si = {sizeof si, SIF_ALL};
    GetScrollInfo(page, bar, &si);
    int pos = si.nPos;
    const int line = 40;
    switch (code) {
        case SB_LINEUP: pos -= line; break;
        case SB_LINEDOWN: pos += line; break;
        case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
        case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = si.nMax; break;
        case -1: pos += delta; break;
        default: return;
    }
    (bar == SB_HORZ ? m_scrollX : m_scrollY) = pos;
    UpdateScrollBars();
    InvalidateRect(page, nullptr, FALSE);
}

void CPreviewDlg::PaintPage(HWND page) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(page, &ps);
    // The page reads as it will print, whatever the window's direction.
    SetLayout(dc, 0);
    RECT view = {};
    GetClientRect(page, &view);
    const int zoom = Zoom();
    const int w = MulDiv(m_paper.width, zoom, m_paper.dpiX);
    const int h = MulDiv(m_paper.height, zoom, m_paper.dpiY);
    if (m_pictureStale || !m_picture || m_picture->Width() != w || m_picture->Height() != h) {
        m_picture = std::make_unique<PagePicture>(w, h);
        if (m_picture->IsValid() && PageCount() > 0) {
            HDC pdc = m_picture->Dc();
            SetMapMode(pdc, MM_ANISOTROPIC);
            SetWindowExtEx(pdc, m_paper.width, m_paper.height, nullptr);
            SetViewportExtEx(pdc, w, h, nullptr);
            {
                GdiMeasure measure(pdc, m_paper.dpiX, m_paper.dpiY);
                DrawPage(measure, m_layout.pages[static_cast<size_t>(m_page)], POINT{0, 0});
            }
            SetMapMode(pdc, MM_TEXT);
        }
        m_pictureStale = false;
    }
    // Off screen first, so the page never flickers.
    PagePicture frame(std::max<int>(view.right, 1), std::max<int>(view.bottom, 1));
    HDC fdc = frame.IsValid() ? frame.Dc() : dc;
    FillRect(fdc, &view, GetSysColorBrush(COLOR_APPWORKSPACE));
    const int x = w + 2 * kGap <= view.right ? (view.right - w) / 2 : kGap - m_scrollX;
    const int y = h + 2 * kGap <= view.bottom ? (view.bottom - h) / 2 : kGap - m_scrollY;
    RECT shadow = {x + 3, y + 3, x + w + 3, y + h + 3};
    FillRect(fdc, &shadow, GetSysColorBrush(COLOR_3DDKSHADOW));
    if (m_picture && m_picture->IsValid()) BitBlt(fdc, x, y, w, h, m_picture->Dc(), 0, 0, SRCCOPY);
    if (frame.IsValid()) BitBlt(dc, 0, 0, view.right, view.bottom, fdc, 0, 0, SRCCOPY);
    if (GetFocus() == page) {
        RECT focus = view;
        InflateRect(&focus, -1, -1);
        DrawFocusRect(dc, &focus);
    }
    EndPaint(page, &ps);
}

bool CPreviewDlg::OnKey(WPARAM key) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    switch (key) {
        case VK_NEXT: if (control || m_zoomStep == 0) ShowPage(m_page + 1); else Scroll(SB_VERT, SB_PAGEDOWN); return true;
        case VK_PRIOR: if (control || m_zoomStep == 0) ShowPage(m_page - 1); else Scroll(SB_VERT, SB_PAGEUP); return true;
        case VK_HOME: if (control) ShowPage(0); else Scroll(SB_VERT, SB_TOP); return true;
        case VK_END: if (control) ShowPage(PageCount() - 1); else Scroll(SB_VERT, SB_BOTTOM); return true;
        case VK_UP: Scroll(SB_VERT, SB_LINEUP); return true;
        case VK_DOWN: Scroll(SB_VERT, SB_LINEDOWN); return true;
        case VK_LEFT: Scroll(SB_HORZ, SB_LINEUP); return true;
        case VK_RIGHT: Scroll(SB_HORZ, SB_LINEDOWN); return true;
        case VK_ADD: case VK_OEM_PLUS: SetZoom(m_zoomStep + 1); return true;
        case VK_SUBTRACT: case VK_OEM_MINUS: SetZoom(m_zoomStep - 1); return true;
        default: return false;
    }
}

LRESULT CALLBACK CPreviewDlg::PageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<CPreviewDlg*>(Dialog::FromWindow(GetParent(hwnd)));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_PAINT: self->PaintPage(hwnd); return 0;
        case WM_ERASEBKGND: return 1;
        case WM_GETDLGCODE: return DLGC_WANTARROWS;
        case WM_SETFOCUS:
        case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, FALSE); return 0;
        case WM_LBUTTONDOWN: SetFocus(hwnd); return 0;
        case WM_KEYDOWN:
            if (self->OnKey(wParam)) return 0;
            break;
        case WM_VSCROLL: self->Scroll(SB_VERT, LOWORD(wParam)); return 0;
        case WM_HSCROLL: self->Scroll(SB_HORZ, LOWORD(wParam)); return 0;
        case WM_MOUSEWHEEL: {
            const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
            if (GetKeyState(VK_CONTROL) < 0) self->SetZoom(self->m_zoomStep + (delta > 0 ? 1 : -1));
            else if (self->m_zoomStep == 0) self->ShowPage(self->m_page + (delta > 0 ? -1 : 1));
            else self->Scroll(SB_VERT, -1, -delta * 40 / WHEEL_DELTA);
            return 0;
        }
        default: break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

INT_PTR CPreviewDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_SIZE: Arrange(); return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_PREVIEW_PREVIOUS: ShowPage(m_page - 1); return TRUE;
                case IDC_PREVIEW_NEXT: ShowPage(m_page + 1); return TRUE;
                case IDC_PREVIEW_ZOOM_IN: SetZoom(m_zoomStep + 1); return TRUE;
                case IDC_PREVIEW_ZOOM_OUT: SetZoom(m_zoomStep - 1); return TRUE;
                case IDC_PREVIEW_PRINT: EndDialog(hwnd, IDC_PREVIEW_PRINT); return TRUE;
                case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
                default: return FALSE;
            }
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = 480;
            info->ptMinTrackSize.y = 320;
            return FALSE;
        }
        default: return FALSE;
    }
}

}  // namespace printing
