#include "controls/MessageDialog.h"

#include "controls/Dialog.h"
#include "resources/resource.h"

namespace {

class CMessageDialog : public Dialog {
public:
    CMessageDialog(const MessageSource* source, MessageDialogKind kind) : m_source(source), m_kind(kind) {}

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
            case WM_INITDIALOG:
                if (m_source) {
                    SendDlgItemMessageW(hwnd, IDC_MESSAGE_ICON, STM_SETICON,
                                        reinterpret_cast<WPARAM>(LoadIconW(nullptr, IDI_EXCLAMATION)), 0);
                    SetWindowTextW(hwnd, m_source->caption.c_str());
                    SetDlgItemTextW(hwnd, IDC_MESSAGE_TEXT, m_source->message.c_str());
                    SetDlgItemTextW(hwnd, IDC_MESSAGE_BUTTON, m_source->button.c_str());
                }
                return TRUE;
            case WM_COMMAND:
                // Esc acts as the one button, so the box never traps the keyboard.
                if (LOWORD(wParam) == IDC_MESSAGE_BUTTON || LOWORD(wParam) == IDCANCEL) {
                    EndDialog(hwnd, Result());
                    return TRUE;
                }
                return FALSE;
            case WM_CLOSE:
                if (m_kind != MessageDialogKind::Storage) return FALSE;
                EndDialog(hwnd, 1);
                return TRUE;
            default:
                return FALSE;
        }
    }

private:
    INT_PTR Result() const { return m_kind == MessageDialogKind::Storage ? 1 : 0; }
    const MessageSource* m_source;
    MessageDialogKind m_kind;
};

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

}  // namespace

void SetMessageSink(MessageSink sink) { Sink() = std::move(sink); }
const MessageSink& CurrentMessageSink() { return Sink(); }

INT_PTR ShowMessageDialog(HWND owner, const MessageSource* source, MessageDialogKind kind) {
    if (Sink()) {
        if (source) Sink()(source->caption, source->message, MB_OK);
        // What the dialog's one button would have given.
        return kind == MessageDialogKind::Storage ? 1 : 0;
    }
    CMessageDialog dialog(source, kind);
    return dialog.RunModal(owner, IDD_MESSAGE, IDD_MESSAGE_RTL);
}
