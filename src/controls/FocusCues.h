#pragma once
// Whether a control draws its focus rectangle: not until the keyboard has been used in
// its window, as the system tells every control through WM_UPDATEUISTATE. The state is
// followed from those messages here rather than asked for at each drawing, so a control
// keeps to them also where the system answers WM_QUERYUISTATE with nothing.
#include <windows.h>

class FocusCues {
public:
    // Starts from the control's state as the system has it now.
    void Attach(HWND control);
    // For a WM_UPDATEUISTATE the control has passed on: true when the cue changed, so
    // the control repaints.
    bool Update(WPARAM wParam);
    bool Hidden() const { return m_hidden; }

private:
    HWND m_control = nullptr;
    bool m_hidden = false;
};
