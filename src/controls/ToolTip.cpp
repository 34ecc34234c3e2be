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
