#include "dialogs/PhonebookGroupDlg.h"

#include <commctrl.h>

#include <vector>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "dialogs/AddGroupMemberDlg.h"
#include "dialogs/MemberLists.h"
#include "dialogs/PhonebookEntryDlg.h"
#include "dialogs/core/GroupName.h"
#include "dialogs/core/MemberIds.h"
#include "mainwindow/HelpAbout.h"
#include "mainwindow/ListViewUIControl.h"
#include "numbers/HomeCountry.h"
#include "numbers/core/FaxNumber.h"
#include "resources/resource.h"

CPhonebookGroupDlg::CPhonebookGroupDlg(uint16_t groupId) : m_groupId(groupId) {}

CPhonebookGroupDlg::~CPhonebookGroupDlg() {
    if (m_model) {
        m_model->SetMainListActive(true);
        // The member list goes with this dialog: the model must not keep it.
        if (m_model->OtherList() == m_members.get()) m_model->SetOtherList(nullptr);
        m_model->Database().ReleaseCurrentRecord();
    }
    m_members.reset();
}

bool CPhonebookGroupDlg::Prepare(CPhonebook& model, bool newGroup) {
    m_model = &model;
    m_newGroup = newGroup;
    m_readOnly = model.Database().IsReadOnly();
    if (newGroup) return true;
    // LoadGroupForRow leaves the storage wrapper's current record made, loaded or not.
    const int row = model.GetSelectedRow();
    if (model.IsEntryRow(row)) return false;
    return model.LoadGroupForRow(row);
}

INT_PTR CPhonebookGroupDlg::DoModal(HWND owner) { return RunModal(owner, IDD_GROUP, IDD_GROUP_RTL); }

BOOL CPhonebookGroupDlg::OnInitDialog() {
    SetWindowTextW(m_hwnd, app::Text(m_newGroup ? IDS_TIP_NEW_GROUP : IDS_GROUP_TITLE).c_str());
    struct { int control; unsigned text; } texts[] = {
        {IDC_GROUP_NAME_LABEL, IDS_LABEL_GROUP_NAME}, {IDC_MEMBER_ADD, IDS_ADD_MEMBERS},
        {IDC_MEMBER_REMOVE, IDS_REMOVE_MEMBERS},      {IDOK, IDS_OK},
        {IDCANCEL, IDS_CANCEL},                        {IDC_HELP_BUTTON, IDS_TIP_HELP},
        {IDC_GROUP_NAME, IDS_REQUIRED},
    };
    for (const auto& t : texts) SetDlgItemTextW(m_hwnd, t.control, app::Text(t.text).c_str());
    EnableWindow(GetDlgItem(m_hwnd, IDOK), FALSE);

    if (m_readOnly) {
        EnableWindow(GetDlgItem(m_hwnd, IDC_GROUP_NAME), FALSE);
    } else {
        SendDlgItemMessageW(m_hwnd, IDC_GROUP_NAME, EM_LIMITTEXT, kGroupNameLimit, 0);
        m_nameFilter.Attach(nullptr, IDC_GROUP_NAME, m_hwnd);
        m_nameFilter.SetChars(L"|[]", false);
    }

    m_members = std::make_unique<ListViewUIControl>(static_cast<uint16_t>(IDC_GROUP_MEMBERS));
    m_members->AttachToDialog(m_hwnd);
    m_members->Attach(this);

    BitmapButton::AttachAll(m_hwnd, {
        {&m_addButton, IDC_MEMBER_ADD, IDB_ADD_MEMBER, IDB_ADD_MEMBER_DISABLED},
        {&m_removeButton, IDC_MEMBER_REMOVE, IDB_REMOVE_MEMBER, IDB_REMOVE_MEMBER_DISABLED},
        {&m_helpButton, IDC_HELP_BUTTON, IDB_HELP, 0},
    });

    FillMembers();
    ShowSharedLines();
    UpdateButtons();
    m_model->SetMainListActive(false);
    // The same texts as the buttons' window texts, which readers announce.
    struct { int control; unsigned text; } tips[] = {{IDC_MEMBER_ADD, IDS_ADD_MEMBERS},
                                                     {IDC_MEMBER_REMOVE, IDS_REMOVE_MEMBERS},
                                                     {IDC_HELP_BUTTON, IDS_TIP_HELP}};
    for (const auto& t : tips) {
        HWND control = GetDlgItem(m_hwnd, t.control);
        AddToolTip(CreateToolTipWindow(control), control, app::Text(t.text));
    }
    return TRUE;
}

void CPhonebookGroupDlg::FillMembers() {
    m_model->SetOtherList(m_members.get());
    m_model->SetupColumns(*m_members);
    FitMemberColumns(*m_members);
    m_model->SetMainListActive(true);
    if (m_newGroup) {
        // The selected entries become the first members; groups are no members.
        // Each copy lands at the top, so they show in the reverse of the main list's order.
        ListViewUIControl* main = m_model->MainList();
        if (!main) return;
        for (int row = main->GetNextSelected(0); row >= 0; row = main->GetNextSelected(row + 1))
            if (!main->IsGroupItem(row)) main->CopyItemTo(row, *m_members);
        return;
    }
    SetDlgItemTextW(m_hwnd, IDC_GROUP_NAME, m_model->GetRowName(m_model->GetSelectedRow()).c_str());
    m_model->Records().clear();
    if (m_model->Database().CurrentRecord().MemberCount() > 0) {
        m_model->Database().ListGroupMembers(m_model->Records());
        m_model->FillList(false);
    }
    m_shownAtOpen = MemberIds(RowData(*m_members));
}

void CPhonebookGroupDlg::UpdateButtons() {
    HWND add = GetDlgItem(m_hwnd, IDC_MEMBER_ADD);
    HWND remove = GetDlgItem(m_hwnd, IDC_MEMBER_REMOVE);
    if (m_readOnly) {
        ShowWindow(add, SW_HIDE);
        ShowWindow(remove, SW_HIDE);
        return;
    }
    EnableWindow(add, TRUE);
    EnableWindow(remove, m_members && m_members->GetSelectedCount() > 0);
}

CMString CPhonebookGroupDlg::NameText() const {
    HWND edit = GetDlgItem(m_hwnd, IDC_GROUP_NAME);
    int length = GetWindowTextLengthW(edit);
    CMString text;
    GetWindowTextW(edit, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();
    return text;
}

void CPhonebookGroupDlg::ApplyNameRule() {
    EnableWindow(GetDlgItem(m_hwnd, IDOK), IsUsableGroupName(NameText(), app::Text(IDS_REQUIRED)));
}

void CPhonebookGroupDlg::StayOnName() {
    // Focus with the whole name selected, ready to be typed over.
    SendMessageW(m_hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(m_hwnd, IDC_GROUP_NAME)), TRUE);
}

void CPhonebookGroupDlg::OnOK() {
    // A book open only for reading takes no changes: the dialog only shows the group,
    // and OK closes it without asking the engine for changes it would refuse.
    if (m_readOnly) {
        EndDialog(m_hwnd, IDOK);
        return;
    }
    // Enter leaves the focus in the field, so text pasted there has not been cleaned yet.
    m_nameFilter.FilterText();
    CMString name = NameText();
    // The OK button follows the same rule; a blank name or the placeholder would
    // otherwise be stored as the group's name.
    if (!IsUsableGroupName(name, app::Text(IDS_REQUIRED))) {
        ShowMessageBox(m_hwnd, app::Text(IDS_GROUP_NAME_MISSING), app::Text(IDS_MISSING_CAPTION), MB_ICONEXCLAMATION);
        StayOnName();
        return;
    }
    PhonebookDB& db = m_model->Database();
    // The storage wrapper's messages (name in use, phone book full, not written) belong
    // over this dialog, which stays open after them; its usual owner is the disabled
    // main window.
    OwnerScope owner(db, m_hwnd);
    // The name, the members taken out and those added land in one commit.
    ChangeBatch batch(db);
    if (batch.Refusal() != pbabi::kOk) {
        // Another program is changing the book: nothing is tried, and the dialog keeps
        // what the user made.
        db.ShowChangeFailed(batch.Refusal());
        StayOnName();
        return;
    }
    bool stored = true;
    int failure = pbabi::kOk;
    // Without a batch each change lands at once: a failure after the first one leaves
    // those before it stored.
    bool landedBefore = false;
    // A new group is made once: when a try made it but could not store its members,
    // the next OK edits the group it made.
    if (m_newGroup && m_groupId == 0) {
        uint16_t id = 0;
        bool created = db.CreateGroup(name, &id, true);
        m_model->SetMainListActive(false);
        if (!created) {
            StayOnName();
            return;
        }
        m_groupId = id;
        landedBefore = !batch.IsOpen();
    } else {
        // A name that could not be stored has been reported by the wrapper.
        if (!db.RenameGroup(name)) {
            StayOnName();
            return;
        }
        landedBefore = !batch.IsOpen();
        // The members as loaded: those the user took out of the list leave the group.
        // A member the list could never show (its fax number holds a character the
        // lists do not show) was not taken out and stays.
        const EngineRecord& group = db.CurrentRecord();
        std::vector<uint16_t> loaded;
        for (int i = 0; i < group.MemberCount(); ++i) loaded.push_back(group.Member(i));
        for (uint16_t id : MemberIds(RowData(*m_members)).LeftOut(loaded)) {
            if (!m_shownAtOpen.Contains(id)) continue;
            failure = db.RemoveMemberById(m_groupId, id);
            if (failure != pbabi::kOk) {
                stored = false;
                break;
            }
            landedBefore = !batch.IsOpen();
        }
    }
    if (stored) {
        failure = StoreMembers(batch.IsOpen(), landedBefore);
        stored = failure == pbabi::kOk;
    }
    // A member change refused is told below, once, whatever became of the batch: a
    // batch that landed all the same stored the changes before the refusal.
    const bool batched = batch.IsOpen();
    const bool landed = batch.End(stored);
    if (!stored) db.ShowChangeFailed(failure, batched ? landed : landedBefore);
    if (!stored || !landed) {
        // The dialog keeps what the user made, to try again (every change repeats
        // harmlessly) or cancel. A new group whose batch was not written was not made.
        if (m_newGroup && !landed) m_groupId = 0;
        StayOnName();
        return;
    }
    EndDialog(m_hwnd, IDOK);
}

int CPhonebookGroupDlg::StoreMembers(bool batched, bool& landedBefore) {
    // Members already in the group are added again; the engine keeps each once.
    PhonebookDB& db = m_model->Database();
    const int count = m_members->GetItemCount();
    for (int row = 0; row < count; ++row) {
        const int code = db.AddMemberById(m_groupId, static_cast<uint16_t>(m_members->GetItemData(row)));
        if (code != pbabi::kOk) return code;
        landedBefore = landedBefore || !batched;
    }
    return pbabi::kOk;
}

void CPhonebookGroupDlg::OnCancel() { EndDialog(m_hwnd, IDCANCEL); }

void CPhonebookGroupDlg::OpenPicker() {
    {
        CAddGroupMemberDlg picker(*this);
        picker.SetModel(*m_model);
        picker.DoModal(m_hwnd);
    }
    ShowSharedLines();
    UpdateButtons();
}

void CPhonebookGroupDlg::ShowSharedLines() {
    std::vector<std::wstring> faxes, names;
    for (int row = 0; row < m_members->GetItemCount(); ++row) {
        CMString fax;
        m_members->GetItemText(row, 1, fax, 64);
        faxes.push_back(fax.str());
        names.push_back(m_members->GetItemName(row).str());
    }
    // Each set by its members' names; sets apart by semicolons.
    std::wstring text;
    for (const std::vector<size_t>& set : faxnum::DuplicateSets(faxes, HomeCountry())) {
        if (!text.empty()) text += L"; ";
        for (size_t i = 0; i < set.size(); ++i) text += (i ? L", " : L"") + names[set[i]];
    }
    SetDlgItemTextW(m_hwnd, IDC_GROUP_SAME_LINE,
                    text.empty() ? L"" : CMString::Formatted(app::Text(IDS_GROUP_SAME_LINE).c_str(), text.c_str()).c_str());
}

void CPhonebookGroupDlg::ViewMember() {
    m_model->SetMainListActive(false);
    const int row = m_model->GetSelectedRow();
    if (!m_model->IsEntryRow(row)) return;
    CPhonebookEntryDlg(*m_model, false, true).DoModal(m_hwnd);
}

void CPhonebookGroupDlg::Update(int subjectId) {
    if (!m_members || subjectId != m_members->subjectId || !m_model) return;
    if (m_members->IsDoubleClickEvent()) {
        if (m_members->GetSelectedCount() > 0) ViewMember();
    } else if (m_members->IsSelectionEvent()) {
        UpdateButtons();
    } else if (m_members->IsColumnEvent()) {
        m_model->SetMainListActive(false);
        m_model->ToggleSort(m_members->ClickedColumn());
    }
}

INT_PTR CPhonebookGroupDlg::OnCommand(WORD id, WORD code) {
    switch (id) {
        case IDOK: OnOK(); return TRUE;
        case IDCANCEL: OnCancel(); return TRUE;
        case IDC_HELP_BUTTON: ShowHelpTopic(m_newGroup ? helptopic::kNewGroup : helptopic::kGroup); return TRUE;
        case IDC_MEMBER_REMOVE:
            if (m_readOnly) return TRUE;
            m_members->DeleteSelectedItems();
            ShowSharedLines();
            UpdateButtons();
            return TRUE;
        case IDC_MEMBER_ADD:
            if (!m_readOnly) OpenPicker();
            return TRUE;
        case IDC_GROUP_NAME:
            if (code == EN_CHANGE) ApplyNameRule();
            return TRUE;
        default: return FALSE;
    }
}

INT_PTR CPhonebookGroupDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header || header->idFrom != IDC_GROUP_MEMBERS || !m_members) return FALSE;
            bool handled = m_members->OnNotify(WM_NOTIFY, header->idFrom, header);
            UpdateButtons();
            return handled ? TRUE : FALSE;
        }
        case WM_DRAWITEM:
            return BitmapButton::DrawOwned(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam),
                                           {&m_addButton, &m_removeButton, &m_helpButton})
                       ? TRUE
                       : FALSE;
        default: return FALSE;
    }
}
