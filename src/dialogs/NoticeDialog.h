#pragma once
// A small modal warning with a title, a message that may run over several lines and one
// button, all by text id. It ends with its button or Esc.
#include <windows.h>

// The message's room in characters once its line feeds have become CR LF; the rest of a
// longer message is left off.
inline constexpr int kNoticeTextRoom = 503;

// A text id of 0 leaves that part as the template has it; icon may be null. The result
// is the dialog's, -1 when it cannot be made.
INT_PTR ShowNotice(HWND owner, unsigned titleId, unsigned textId, unsigned buttonId, HICON icon);
