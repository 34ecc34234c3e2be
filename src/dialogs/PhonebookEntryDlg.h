#pragma once
// The modal dialog that creates, edits or shows one phone book entry of the model's
// active list.
#include <windows.h>

#include "controls/Dialog.h"

class CPhonebook;
class CPhoneBookDlg;

class CPhonebookEntryDlg : public Dialog {
public:
    // mainWindow is given only by the main dialog; it decides whether the personal
    // copy is offered.
    CPhonebookEntryDlg(CPhonebook& model, bool newEntry, bool readOnly, CPhoneBookDlg* mainWindow);
    ~CPhonebookEntryDlg() override;

    // 1 after OK, 2 after Cancel; the template follows the language's direction.
    INT_PTR DoModal(HWND owner);

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    CPhonebook& m_model;
    bool m_newEntry;
    bool m_readOnly;
    CPhoneBookDlg* m_mainWindow;
};
