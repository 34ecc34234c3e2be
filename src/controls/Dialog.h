#pragma once
// One object per dialog window: the object is handed over as the WM_INITDIALOG
// parameter, kept in the window's user data, and receives every later message.
#include <windows.h>

#include <initializer_list>

class Dialog {
public:
    virtual ~Dialog() = default;
    virtual INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Shared dialog procedure; before the object is known, messages get TRUE.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static Dialog* FromWindow(HWND hwnd);

    // Modal run from the template of the reading direction; -1 when it cannot be made.
    INT_PTR RunModal(HWND owner, int leftToRightTemplate, int rightToLeftTemplate);
    HWND CreateModeless(HWND owner, int leftToRightTemplate, int rightToLeftTemplate);

    HWND Window() const { return m_hwnd; }

protected:
    HWND m_hwnd = nullptr;
};

// Fields whose text reads left to right in every language (file paths, DNs, numbers):
// in a mirrored dialog they are not mirrored, or "C:\Books\a.csv" would show as
// "csv.a\Books\:C".
void KeepLeftToRight(HWND dialog, std::initializer_list<int> ids);
