#pragma once
// The program's own message box: warning icon, message, and one button whose text
// comes from the language library (a system message box cannot take one).
#include <windows.h>

#include "util/CMString.h"

struct MessageSource {
    CMString message;
    CMString caption;
    CMString button;
};

enum class MessageDialogKind {
    // Ends with 0 from its button (import and export).
    Notice,
    // Ends with 1 from its button and from closing the window (storage messages).
    Storage,
};

// Runs modally from the template of the reading direction. source may be null (the
// template's own, empty, texts show). -1 when the dialog cannot be made.
INT_PTR ShowMessageDialog(HWND owner, const MessageSource* source, MessageDialogKind kind);
