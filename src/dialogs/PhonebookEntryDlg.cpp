#include "dialogs/PhonebookEntryDlg.h"

#include "resources/resource.h"

CPhonebookEntryDlg::CPhonebookEntryDlg(CPhonebook& model, bool newEntry, bool readOnly, CPhoneBookDlg* mainWindow)
    : m_model(model), m_newEntry(newEntry), m_readOnly(readOnly), m_mainWindow(mainWindow) {}

CPhonebookEntryDlg::~CPhonebookEntryDlg() = default;

INT_PTR CPhonebookEntryDlg::DoModal(HWND) { return IDCANCEL; }

INT_PTR CPhonebookEntryDlg::HandleMessage(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
