#include "controls/ToolTip.h"

#include <commctrl.h>

#include "app/AppGlobals.h"

HWND CreateToolTipWindow(HWND control) {
    HWND tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr,
                               app::Instance(), nullptr);
    if (tip) SetWindowPos(tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return tip;
}

void AddToolTip(HWND tooltip, HWND control, const CMString& text, RECT rect) {
    if (!tooltip || !control) return;
    wchar_t buffer[260] = {};
    lstrcpynW(buffer, text.c_str(), 260);
    TOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = control;
    info.uId = 1;
    info.rect = rect;
    info.hinst = app::Instance();
    info.lpszText = buffer;
    SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

namespace {

constexpr UINT_PTR kExpireTimer = 1;
constexpr UINT kShownMilliseconds = 20000;
const wchar_t kBalloonProperty[] = L"PbeNoticeBalloon";

TOOLINFOW TrackedTool(HWND control, wchar_t* text) {
    TOOLINFOW info = {};
    info.cbSize = sizeof info;
    info.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    // A right-to-left window's notice reads right to left.
    if (GetWindowLongPtrW(GetAncestor(control, GA_ROOT), GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING))
        info.uFlags |= TTF_RTLREADING;
    info.hwnd = control;
    info.uId = 1;
    info.hinst = app::Instance();
    info.lpszText = text;
    return info;
}

}  // namespace

NoticeBalloon::~NoticeBalloon() {
    if (m_tip) DestroyWindow(m_tip);
}

void NoticeBalloon::Show(HWND control, const CMString& title, const CMString& text) {
    if (!control) return;
    if (m_tip && m_control != control) {
        DestroyWindow(m_tip);
        m_tip = nullptr;
    }
    Hide();
    m_control = control;
    m_text = text;
    if (!m_tip) {
        // Owned by the control's top-level window, so it goes with it.
        m_tip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(control, GA_ROOT), nullptr, app::Instance(),
                                nullptr);
        if (!m_tip) return;
        SetPropW(m_tip, kBalloonProperty, this);
        TOOLINFOW info = TrackedTool(control, const_cast<wchar_t*>(m_text.c_str()));
        SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        SendMessageW(m_tip, TTM_SETMAXTIPWIDTH, 0, 360);
    } else {
        TOOLINFOW info = TrackedTool(control, const_cast<wchar_t*>(m_text.c_str()));
        SendMessageW(m_tip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
    }
    SendMessageW(m_tip, TTM_SETTITLEW, TTI_INFO, reinterpret_cast<LPARAM>(title.c_str()));
    RECT client = {};
    GetClientRect(control, &client);
    POINT at = {(client.left + client.right) / 2, client.top + (client.bottom - client.top) / 6};
    ClientToScreen(control, &at);
    SendMessageW(m_tip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
    TOOLINFOW info = TrackedTool(control, nullptr);
    SendMessageW(m_tip, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&info));
    // Above the window it points into, which may have been activated since it was made.
    SetWindowPos(m_tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    m_shown = true;
    SetTimer(m_tip, kExpireTimer, kShownMilliseconds, &NoticeBalloon::Expire);
}

void NoticeBalloon::Hide() {
    if (!m_tip || !m_shown) return;
    KillTimer(m_tip, kExpireTimer);
    TOOLINFOW info = TrackedTool(m_control, nullptr);
    SendMessageW(m_tip, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&info));
    m_shown = false;
}

bool NoticeBalloon::IsShown() const { return m_tip && m_shown && IsWindowVisible(m_tip); }

void CALLBACK NoticeBalloon::Expire(HWND tip, UINT, UINT_PTR, DWORD) {
    if (auto* balloon = static_cast<NoticeBalloon*>(GetPropW(tip, kBalloonProperty))) balloon->Hide();
}
