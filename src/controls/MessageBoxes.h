#pragma once
// System message boxes as the program shows them: an exclamation beep first where
// asked, and right-to-left reading order in a right-to-left language.
#include <windows.h>

#include "util/CMString.h"

int ShowMessageBox(HWND owner, const CMString& text, const CMString& caption, UINT style, bool beep = true);
// The program's message dialog with a language button text, or a system box with
// MB_ICONWARNING when the dialog cannot be made. Returns the dialog's result.
INT_PTR ShowStorageMessage(HWND owner, const CMString& caption, const CMString& message, const CMString& button);
