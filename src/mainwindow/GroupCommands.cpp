// The main dialog's way into the group dialog.
#include "mainwindow/PhoneBookDlg.h"

#include "data/CPhonebook.h"
#include "dialogs/PhonebookGroupDlg.h"

bool CPhoneBookDlg::RunGroupDialog(int groupId, bool newGroup) {
    if (!m_model) return false;
    CPhonebookGroupDlg dialog(static_cast<uint16_t>(groupId));
    if (!dialog.Prepare(*m_model, newGroup)) return false;
    return dialog.DoModal(m_hwnd) == IDOK;
}
