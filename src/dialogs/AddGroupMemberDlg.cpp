#include "dialogs/AddGroupMemberDlg.h"

#include <commctrl.h>

#include <vector>

#include "app/AppGlobals.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "dialogs/MemberLists.h"
#include "dialogs/PhonebookEntryDlg.h"
#include "dialogs/PhonebookGroupDlg.h"
#include "dialogs/core/MemberIds.h"
#include "mainwindow/HelpAbout.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "util/Handles.h"

namespace {

// Candidates that could not be read (another program is changing the book) are read
// again this often until they are in hand.
constexpr UINT_PTR kReadAgainTimer = 0x5044;
constexpr UINT kReadAgainMilliseconds = 1000;

}  // namespace

CAddGroupMemberDlg::CAddGroupMemberDlg(CPhonebookGroupDlg& groupDialog) : m_groupDialog(groupDialog) {}

CAddGroupMemberDlg::~CAddGroupMemberDlg() {
    ReleaseLists();
    m_candidates.reset();
    m_chosen.reset();
}

void CAddGroupMemberDlg::ReleaseLists() {
    if (!m_model) return;
    // Both lists die with this dialog; the group dialog's list is the model's again.
    if (m_model->MainList() == m_candidates.get()) m_model->AttachMainList(nullptr);
    m_model->SetOtherList(m_groupDialog.MemberList());
    m_model->SetMainListActive(false);
}

INT_PTR CAddGroupMemberDlg::DoModal(HWND owner) {
    if (!m_model || !m_groupDialog.MemberList()) return -1;
    return RunModal(owner, IDD_ADD_MEMBER, IDD_ADD_MEMBER_RTL);
}

BOOL CAddGroupMemberDlg::OnInitDialog() {
    // The candidates start filtered by the model's search text (the main window's last
    // one): the box shows that text, or the list could be short with no visible reason.
    // Only without a search does it show its prompt. Neither starts a search.
    m_searchReady = false;
    const CMString& searchText = m_model->SearchText();
    SetDlgItemTextW(m_hwnd, IDC_SEARCH,
                    searchText.IsEmpty() ? app::Text(IDS_PICKER_SEARCH_PROMPT).c_str() : searchText.c_str());
    m_searchReady = true;
    SetWindowTextW(m_hwnd, app::Text(IDS_PICKER_TITLE).c_str());
    struct { int control; unsigned text; } texts[] = {
        {IDC_MEMBER_REMOVE, IDS_REMOVE_MEMBERS}, {IDC_MEMBER_ADD, IDS_TIP_PICKER_ADD}, {IDOK, IDS_OK},
        {IDCANCEL, IDS_CANCEL},                  {IDC_HELP_BUTTON, IDS_TIP_HELP},
    };
    for (const auto& t : texts) SetDlgItemTextW(m_hwnd, t.control, app::Text(t.text).c_str());

    // The candidates are the model's main list while the picker runs, so a search
    // refills them; the search text is the one the model already holds.
    m_candidates = std::make_unique<ListViewUIControl>(static_cast<uint16_t>(IDC_PICK_CANDIDATES));
    m_candidates->AttachToDialog(m_hwnd);
    m_candidates->Attach(this);
    m_model->AttachMainList(m_candidates.get());
    FitMemberColumns(*m_candidates);
    ReadCandidates();

    m_chosen = std::make_unique<ListViewUIControl>(static_cast<uint16_t>(IDC_PICK_CHOSEN));
    m_chosen->AttachToDialog(m_hwnd);
    m_chosen->Attach(this);
    m_model->SetOtherList(m_chosen.get());
    m_model->SetupColumns(*m_chosen);
    FitMemberColumns(*m_chosen);
    m_model->CopyAllRows(*m_groupDialog.MemberList(), *m_chosen);

    BitmapButton::AttachAll(m_hwnd, {
        {&m_addButton, IDC_MEMBER_ADD, IDB_PICK_MEMBER, IDB_PICK_MEMBER_DISABLED},
        {&m_removeButton, IDC_MEMBER_REMOVE, IDB_REMOVE_MEMBER, IDB_REMOVE_MEMBER_DISABLED},
        {&m_helpButton, IDC_HELP_BUTTON, IDB_HELP, 0},
    });
    UpdateAddButton();
    UpdateRemoveButton();
    // The same texts as the buttons' window texts, which readers announce.
    struct { int control; unsigned text; } tips[] = {{IDC_MEMBER_ADD, IDS_TIP_PICKER_ADD},
                                                     {IDC_MEMBER_REMOVE, IDS_REMOVE_MEMBERS},
                                                     {IDC_HELP_BUTTON, IDS_TIP_HELP}};
    for (const auto& t : tips) {
        HWND control = GetDlgItem(m_hwnd, t.control);
        AddToolTip(CreateToolTipWindow(control), control, app::Text(t.text));
    }
    m_started = true;
    return TRUE;
}

void CAddGroupMemberDlg::UpdateAddButton() {
    EnableWindow(GetDlgItem(m_hwnd, IDC_MEMBER_ADD), m_candidates && m_candidates->GetSelectedCount() > 0);
}

void CAddGroupMemberDlg::UpdateRemoveButton() {
    EnableWindow(GetDlgItem(m_hwnd, IDC_MEMBER_REMOVE), m_chosen && m_chosen->GetSelectedCount() > 0);
}

void CAddGroupMemberDlg::Search() {
    HWND box = GetDlgItem(m_hwnd, IDC_SEARCH);
    int length = GetWindowTextLengthW(box);
    CMString text;
    GetWindowTextW(box, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();
    m_model->SetSearchText(text);
    m_model->Database().SetSearchText(text);
    ReadCandidates();
}

void CAddGroupMemberDlg::ReadCandidates() {
    // The rows picked stay picked across a refill.
    std::vector<int> selected;
    for (int row = m_candidates->GetNextSelected(0); row >= 0; row = m_candidates->GetNextSelected(row + 1))
        selected.push_back(m_candidates->GetItemData(row));
    // A failed read keeps the rows shown (the main list's, for a first one) and is made
    // again from the timer, not waited for.
    if (!m_model->Refresh(false) && m_model->IsListStale()) {
        SetTimer(m_hwnd, kReadAgainTimer, kReadAgainMilliseconds, nullptr);
        return;
    }
    KillTimer(m_hwnd, kReadAgainTimer);
    for (int id : selected) {
        const int row = m_candidates->FindItemByData(id);
        if (row >= 0) m_candidates->SetItemSelected(row, true);
    }
    if (m_started) UpdateAddButton();
}

void CAddGroupMemberDlg::AddSelected() {
    // The chosen ids are gathered once: asking the list for each candidate would cost
    // a walk over every chosen row per candidate. Thousands of rows may be copied, so
    // the list is repainted once they are all there rather than after each.
    WaitCursor wait;
    MemberIds chosen(RowData(*m_chosen));
    m_chosen->SetRedraw(false);
    for (int row = m_candidates->GetNextSelected(0); row >= 0; row = m_candidates->GetNextSelected(row + 1)) {
        m_candidates->SetItemSelected(row, false);
        const int id = m_candidates->GetItemData(row);
        if (chosen.Contains(id)) continue;
        if (m_candidates->CopyItemTo(row, *m_chosen) >= 0) chosen.Add(id);
    }
    m_chosen->SetRedraw(true);
    UpdateWindow(m_chosen->ListWindow());
    UpdateAddButton();
    UpdateRemoveButton();
}

void CAddGroupMemberDlg::RemoveSelected() {
    m_chosen->DeleteSelectedItems();
    UpdateRemoveButton();
}

void CAddGroupMemberDlg::Accept() {
    ListViewUIControl* members = m_groupDialog.MemberList();
    // The group dialog's list is on screen: unseen until it is whole.
    members->SetRedraw(false);
    members->DeleteAllItems();
    m_model->CopyAllRows(*m_chosen, *members);
    members->SetRedraw(true);
    EndDialog(m_hwnd, IDOK);
}

void CAddGroupMemberDlg::View(bool chosen) {
    // Only a single selected row names the entry to show.
    m_model->SetMainListActive(!chosen);
    if (m_model->GetSelectedRow() >= 0) CPhonebookEntryDlg(*m_model, false, true).DoModal(m_hwnd);
    if (chosen)
        UpdateRemoveButton();
    else
        UpdateAddButton();
}

void CAddGroupMemberDlg::Update(int subjectId) {
    if (!m_started || !m_candidates || !m_chosen) return;
    if (subjectId == m_chosen->subjectId && m_chosen->IsDoubleClickEvent())
        View(true);
    else if (subjectId == m_candidates->subjectId && m_candidates->IsDoubleClickEvent())
        View(false);
}

INT_PTR CAddGroupMemberDlg::OnCommand(WORD id, WORD code) {
    switch (id) {
        case IDC_SEARCH:
            if (code == EN_CHANGE && m_searchReady) Search();
            return TRUE;
        case IDC_MEMBER_ADD: AddSelected(); return TRUE;
        case IDC_MEMBER_REMOVE: RemoveSelected(); return TRUE;
        case IDOK: Accept(); return TRUE;
        case IDCANCEL: EndDialog(m_hwnd, IDCANCEL); return TRUE;
        case IDC_HELP_BUTTON: ShowHelpTopic(helptopic::kAddToGroup); return TRUE;
        default: return FALSE;
    }
}

INT_PTR CAddGroupMemberDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_TIMER:
            if (wParam != kReadAgainTimer) return FALSE;
            // Not under a dialog of its own, which works on the selected row.
            if (m_candidates && m_model->MainList() == m_candidates.get() && IsWindowEnabled(hwnd)) ReadCandidates();
            return TRUE;
        case WM_DESTROY: KillTimer(hwnd, kReadAgainTimer); return FALSE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (!header) return FALSE;
            bool handled = false;
            if (header->idFrom == IDC_PICK_CANDIDATES && m_candidates) {
                // Asked for every painted cell: the button has not changed then.
                if (!m_candidates->IsDataRequest(header)) UpdateAddButton();
                handled = m_candidates->OnNotify(WM_NOTIFY, header->idFrom, header);
            } else if (header->idFrom == IDC_PICK_CHOSEN && m_chosen) {
                UpdateRemoveButton();
                handled = m_chosen->OnNotify(WM_NOTIFY, header->idFrom, header);
            }
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
