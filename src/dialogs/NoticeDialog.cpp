#include "dialogs/NoticeDialog.h"

#include "app/AppGlobals.h"
#include "controls/Dialog.h"
#include "dialogs/core/EntryFields.h"
#include "resources/resource.h"

namespace {

class CNoticeDialog : public Dialog {
public:
    CNoticeDialog(unsigned titleId, unsigned textId, unsigned buttonId, HICON icon)
        : m_titleId(titleId), m_textId(textId), m_buttonId(buttonId), m_icon(icon) {}

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM) override {
        switch (message) {
            case WM_INITDIALOG:
                if (m_buttonId) SetDlgItemTextW(hwnd, IDCANCEL, app::Text(m_buttonId).c_str());
                if (m_icon) SendDlgItemMessageW(hwnd, IDC_NOTICE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
                if (m_textId) {
                    CMString text = entryfields::MultiLineText(app::Text(m_textId), kNoticeTextRoom);
                    SetDlgItemTextW(hwnd, IDC_NOTICE_TEXT, text.c_str());
                }
                if (m_titleId) SetWindowTextW(hwnd, app::Text(m_titleId).c_str());
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == IDCANCEL) {
                    EndDialog(hwnd, IDCANCEL);
                    return TRUE;
                }
                return FALSE;
            default:
                return FALSE;
        }
    }

private:
    unsigned m_titleId;
    unsigned m_textId;
    unsigned m_buttonId;
    HICON m_icon;
};

}  // namespace

INT_PTR ShowNotice(HWND owner, unsigned titleId, unsigned textId, unsigned buttonId, HICON icon) {
    CNoticeDialog dialog(titleId, textId, buttonId, icon);
    return dialog.RunModal(owner, IDD_NOTICE, IDD_NOTICE_RTL);
}
