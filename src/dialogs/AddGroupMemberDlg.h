#pragma once
// The group dialog's member picker: the phone book's entries that match a search text
// above, the members the group will have below. OK hands the lower list back to the
// group dialog; nothing is written to the phone book here.
#include <windows.h>

#include <memory>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "data/core/Observer.h"

class CPhonebook;
class CPhonebookGroupDlg;
class ListViewUIControl;

class CAddGroupMemberDlg : public Dialog, public Observer {
public:
    explicit CAddGroupMemberDlg(CPhonebookGroupDlg& groupDialog);
    // The model is left with the group dialog's member list as its other and active
    // list, and with no main list of this dialog's.
    ~CAddGroupMemberDlg() override;

    void SetModel(CPhonebook& model) { m_model = &model; }
    // 1 after OK (the group dialog's member list was replaced), 2 after Cancel.
    INT_PTR DoModal(HWND owner);

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Update(int subjectId) override;

    ListViewUIControl* Candidates() const { return m_candidates.get(); }
    ListViewUIControl* Chosen() const { return m_chosen.get(); }

private:
    BOOL OnInitDialog();
    INT_PTR OnCommand(WORD id, WORD code);
    void Search();
    // Refills the candidates from the book, or tries again later when it is busy.
    void ReadCandidates();
    void AddSelected();
    void RemoveSelected();
    void Accept();
    void View(bool chosen);
    void UpdateAddButton();
    void UpdateRemoveButton();
    void ReleaseLists();

    CPhonebook* m_model = nullptr;
    CPhonebookGroupDlg& m_groupDialog;
    std::unique_ptr<ListViewUIControl> m_candidates;
    std::unique_ptr<ListViewUIControl> m_chosen;
    // Clear while the search box gets its first text, which is no search.
    bool m_searchReady = false;
    // Clear until the dialog is set up; list events before then are ignored.
    bool m_started = false;
    BitmapButton m_addButton;
    BitmapButton m_removeButton;
    BitmapButton m_helpButton;
};
