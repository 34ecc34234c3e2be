#pragma once
// The modal dialog that creates, edits or shows one phone book entry of the model's
// active list.
#include <windows.h>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "dialogs/MEdit.h"
#include "mainwindow/BookLocation.h"
#include "numbers/core/SharedLines.h"
#include "util/CMString.h"

class CPhonebook;

// What the main window tells the entry dialog about its book: where it lies (only a
// shared book offers the personal copy) and the personal phone book that receives the
// copies ("-p"; empty: the user's own). Other openers offer no copy.
struct EntryDialogOpener {
    BookLocation location = BookLocation::None;
    CMString personalPath;
};

class CPhonebookEntryDlg : public Dialog {
public:
    CPhonebookEntryDlg(CPhonebook& model, bool newEntry, bool readOnly, EntryDialogOpener opener = {});
    ~CPhonebookEntryDlg() override;

    // 1 after OK, 2 after Cancel; the template follows the language's direction.
    INT_PTR DoModal(HWND owner);

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    BOOL OnInitDialog();
    INT_PTR OnCommand(WORD id, WORD code);
    void SetFilters();
    void FillFromRow(int row);
    // OK only while name and fax number hold real text; with restore, a blank required
    // field gets the placeholder back.
    void UpdateOk(bool restore);
    void NormaliseMailbox();
    bool Validate();
    bool Save();
    bool IsRowChanged(int row);
    void Step(bool forward);
    void OnOk();
    bool OffersPersonalCopy() const;
    // The note under the fax number: the other entries that have its line.
    void ReadBook();
    void ShowSameLine();
    uint16_t ShownId() const;

    void ReadFields();
    CMString ReadItem(int id) const;
    void SetItem(int id, const CMString& text);
    void FocusItem(int id);

    CPhonebook& m_model;
    bool m_newEntry;
    bool m_readOnly;
    EntryDialogOpener m_opener;
    CMString m_placeholder;
    CMString m_name, m_fax, m_mailbox, m_organization, m_phone, m_email;
    MEdit m_nameFilter, m_faxFilter, m_organizationFilter, m_phoneFilter, m_emailFilter, m_mailboxFilter;
    BitmapButton m_previousButton, m_nextButton, m_helpButton;
    faxnum::Book m_book;
};
