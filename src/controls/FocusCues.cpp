#include "controls/FocusCues.h"

namespace {

bool SystemHidesFocus(HWND control) {
    return control && (SendMessageW(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
}

}  // namespace

void FocusCues::Attach(HWND control) {
    m_control = control;
    m_hidden = SystemHidesFocus(control);
}

bool FocusCues::Update(WPARAM wParam) {
    if (!(HIWORD(wParam) & UISF_HIDEFOCUS)) return false;
    const bool before = m_hidden;
    switch (LOWORD(wParam)) {
        case UIS_SET: m_hidden = true; break;
        case UIS_CLEAR: m_hidden = false; break;
        // The system decides from the last input; it has done so when the message is passed on.
        case UIS_INITIALIZE: m_hidden = SystemHidesFocus(m_control); break;
        default: break;
    }
    return m_hidden != before;
}
