#include "controls/MessageBoxes.h"

#include "controls/MessageDialog.h"
#include "util/TextResourceLoader.h"

int ShowMessageBox(HWND owner, const CMString& text, const CMString& caption, UINT style, bool beep) {
    if (const MessageSink& sink = CurrentMessageSink()) return sink(caption, text, style);
    if (beep) MessageBeep(MB_ICONEXCLAMATION);
    if (TextResourceLoader::IsRightToLeftLanguage()) style |= MB_RTLREADING;
    // No caption text: the platform's default caption.
    return MessageBoxW(owner, text.c_str(), caption.IsEmpty() ? nullptr : caption.c_str(), style);
}

INT_PTR ShowStorageMessage(HWND owner, const CMString& caption, const CMString& message, const CMString& button) {
    MessageSource source = {message, caption, button};
    INT_PTR result = ShowMessageDialog(owner, &source, MessageDialogKind::Storage);
    if (result == -1) ShowMessageBox(owner, message, caption, MB_ICONWARNING, false);
    return result;
}
