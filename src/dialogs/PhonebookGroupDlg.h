#pragma once
// The modal dialog that creates a group or edits one: its name and its member entries.
// Members are removed here and added through the member picker; nothing reaches the
// phone book before OK.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "controls/BitmapButton.h"
#include "controls/Dialog.h"
#include "data/core/Observer.h"
#include "dialogs/MEdit.h"
#include "dialogs/core/MemberIds.h"
#include "util/CMString.h"

class CPhonebook;
class ListViewUIControl;

class CPhonebookGroupDlg : public Dialog, public Observer {
public:
    // groupId: the group being edited (the low 16 bits of its row's data); 0 for a new one.
    explicit CPhonebookGroupDlg(uint16_t groupId);
    // Gives the model its main list as the active list back and forgets the member list.
    ~CPhonebookGroupDlg() override;

    // Before the dialog is shown: in edit mode the model's single selected row must be
    // a group, which is loaded into the storage wrapper's current record. Show the
    // dialog only when this returns true.
    bool Prepare(CPhonebook& model, bool newGroup);
    // 1 after OK (the phone book was written), 2 after Cancel; -1 when it cannot be made.
    INT_PTR DoModal(HWND owner);

    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void Update(int subjectId) override;

    CPhonebook* Model() const { return m_model; }
    // The members the group will have; the picker reads and replaces it.
    ListViewUIControl* MemberList() const { return m_members.get(); }
    uint16_t GroupId() const { return m_groupId; }
    bool IsNewGroup() const { return m_newGroup; }
    bool IsReadOnly() const { return m_readOnly; }

protected:
    virtual void OnOK();
    virtual void OnCancel();

private:
    BOOL OnInitDialog();
    INT_PTR OnCommand(WORD id, WORD code);
    void FillMembers();
    void UpdateButtons();
    void ApplyNameRule();
    CMString NameText() const;
    void StayOnName();
    void OpenPicker();
    void ViewMember();
    // The line under the members naming those that share one fax line; empty when none do.
    void ShowSharedLines();
    // Adds every member of the list to the group; false at the first the engine refuses.
    // Adds the listed members: kOk or the engine's code of the first refusal;
    // landedBefore is set once an addition is stored outside a batch.
    int StoreMembers(bool batched, bool& landedBefore);

    MEdit m_nameFilter;
    CPhonebook* m_model = nullptr;
    std::unique_ptr<ListViewUIControl> m_members;
    // The stored members the list showed when the dialog opened.
    MemberIds m_shownAtOpen;
    bool m_newGroup = false;
    bool m_readOnly = false;
    uint16_t m_groupId;
    BitmapButton m_addButton;
    BitmapButton m_removeButton;
    BitmapButton m_helpButton;
};
