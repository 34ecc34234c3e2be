#pragma once
// The program's own message box: warning icon, message, and one button whose text
// comes from the language library (a system message box cannot take one).
#include <windows.h>

#include <functional>

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

// Where the messages of a process without a screen to show them on go (a command-line
// tool): every message box and message dialog is handed to the sink with its caption,
// text and message box style, and the sink's answer is the box's (IDYES, IDNO, IDOK or
// IDCANCEL for a question). An empty sink shows them again.
using MessageSink = std::function<int(const CMString& caption, const CMString& text, UINT style)>;
void SetMessageSink(MessageSink sink);
const MessageSink& CurrentMessageSink();
