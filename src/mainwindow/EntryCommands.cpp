// The main dialog's way into the entry dialog.
#include "data/CPhonebook.h"
#include "dialogs/PhonebookEntryDlg.h"
#include "mainwindow/PhoneBookDlg.h"

void CPhoneBookDlg::RunEntryDialog(bool newEntry, bool readOnly) {
    if (!m_model) return;
    CPhonebookEntryDlg dialog(*m_model, newEntry, readOnly, {m_bookLocation, m_personalPath});
    dialog.DoModal(m_hwnd);
}
