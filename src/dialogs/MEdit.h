#pragma once
// Restricts what can be typed into one edit control of a dialog. A refused keystroke
// beeps and inserts nothing; text that got in another way (pasted from the context menu
// or with Shift+Insert) is cleaned when the control loses the focus.
#include <windows.h>

#include "dialogs/core/CharSet.h"

class MEdit {
public:
    MEdit() = default;
    // Gives the control its own procedure back (when it was attached and still exists).
    ~MEdit();
    // The control keeps a pointer to this object.
    MEdit(const MEdit&) = delete;
    MEdit& operator=(const MEdit&) = delete;

    // Adds the characters of the set text to the set (all codes when it is null),
    // then installs the filter on the dialog's control. True when the control was
    // found and its previous procedure obtained; the set is filled either way.
    bool Attach(const wchar_t* allowed, int controlId, HWND dialog);
    // Allows or refuses every character the set text names (see CharSet.h).
    void SetChars(const wchar_t* setText, bool allow);
    // Copy, cut, undo and backspace always pass; paste (Ctrl+V) never does; any other
    // character by its whole code, so one above 255 is not mistaken for its low byte.
    virtual bool IsValidChar(wchar_t ch);
    // Drops the characters the set refuses from the control's text, with one beep;
    // a clean text is not rewritten.
    void FilterText();

    HWND Window() const { return m_hwnd; }

    // The sound of a refused character; replaceable so tests can count it.
    using BeepFunction = void (*)();
    static BeepFunction SetBeep(BeepFunction beep);

private:
    static LRESULT CALLBACK FilterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Restore();

    CharSet m_allowed;
    WNDPROC m_previousProc = nullptr;
    HWND m_hwnd = nullptr;
};
