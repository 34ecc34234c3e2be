#include "dialogs/DuplicatesDlg.h"

#include <commctrl.h>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "dialogs/BookLines.h"
#include "mainwindow/HelpAbout.h"
#include "numbers/HomeCountry.h"
#include "resources/resource.h"
#include "util/Handles.h"

namespace {

enum Column { kLine, kName, kFax, kGroups };

// A row's item data: its set and its place in the set.
LPARAM RowData(size_t set, size_t entry) { return static_cast<LPARAM>((set << 16) | entry); }

std::wstring Joined(const std::vector<std::wstring>& names) {
    std::wstring text;
    for (const std::wstring& name : names) text += (text.empty() ? L"" : L", ") + name;
    return text;
}

void SetCell(HWND list, int row, int column, const std::wstring& text) {
    ListView_SetItemText(list, row, column, const_cast<wchar_t*>(text.c_str()));
}

}  // namespace

INT_PTR CDuplicatesDlg::Run(HWND owner) { return RunModal(owner, IDD_DUPLICATES, IDD_DUPLICATES_RTL); }

BOOL CDuplicatesDlg::OnInitDialog() {
    SetWindowTextW(m_hwnd, app::Text(IDS_DUP_CAPTION).c_str());
    const std::pair<int, unsigned> texts[] = {
        {IDC_DUP_LIST_LABEL, IDS_DUP_LIST}, {IDC_DUP_MERGE, IDS_DUP_MERGE},
        {IDCANCEL, IDS_CLOSE},              {IDC_HELP_BUTTON, IDS_TIP_HELP},
    };
    for (const auto& [id, text] : texts) SetDlgItemTextW(m_hwnd, id, app::Text(text).c_str());
    HWND list = GetDlgItem(m_hwnd, IDC_DUP_LIST);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    RECT client = {};
    GetClientRect(list, &client);
    const int width = client.right - GetSystemMetrics(SM_CXVSCROLL);
    const std::pair<unsigned, int> columns[] = {
        {IDS_DUP_COLUMN_LINE, 22}, {IDS_COLUMN_NAME, 26}, {IDS_COLUMN_FAX, 24}, {IDS_DUP_COLUMN_GROUPS, 28}};
    for (int i = 0; i < 4; ++i) {
        const CMString title = app::Text(columns[i].first);
        LVCOLUMNW column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = const_cast<wchar_t*>(title.c_str());
        column.cx = width * columns[i].second / 100;
        ListView_InsertColumn(list, i, &column);
    }
    m_helpButton.LoadImages(IDB_HELP, 0);
    m_helpButton.SetMetrics(BitmapButton::kDefaultMetrics);
    HWND help = GetDlgItem(m_hwnd, IDC_HELP_BUTTON);
    m_helpButton.Attach(m_hwnd, help);
    AddToolTip(CreateToolTipWindow(help), help, app::Text(IDS_TIP_HELP));
    Fill();
    SetFocus(list);
    return FALSE;
}

void CDuplicatesDlg::Fill(uint16_t keep) {
    PhonebookDB& db = m_model.Database();
    faxnum::Book book;
    const int code = ReadBookLines(db, book);
    if (code != pbabi::kOk) {
        // The list keeps what it showed: never part of the book.
        OwnerScope owner(db, m_hwnd);
        db.ShowReadFailed(code);
        return;
    }
    const faxnum::Country* home = HomeCountry();
    m_lines = faxnum::SharedLines(book, home);
    HWND list = GetDlgItem(m_hwnd, IDC_DUP_LIST);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    int selected = 0;
    for (size_t s = 0; s < m_lines.size(); ++s) {
        for (size_t e = 0; e < m_lines[s].entries.size(); ++e) {
            const faxnum::LineEntry& entry = m_lines[s].entries[e];
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = ListView_GetItemCount(list);
            // The line heads its set; the rows below it belong to it.
            const std::wstring line = e == 0 ? m_lines[s].normalForm : std::wstring();
            item.pszText = const_cast<wchar_t*>(line.c_str());
            item.lParam = RowData(s, e);
            const int row = ListView_InsertItem(list, &item);
            SetCell(list, row, kName, entry.name);
            SetCell(list, row, kFax, entry.fax);
            SetCell(list, row, kGroups, Joined(entry.groups));
            if (entry.id == keep) selected = row;
        }
    }
    if (!m_lines.empty()) {
        ListView_SetItemState(list, selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, selected, FALSE);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    CMString status = m_lines.empty()
                          ? app::Text(IDS_DUP_NONE)
                          : CMString::Formatted(app::Text(IDS_DUP_SOME).c_str(), static_cast<unsigned>(m_lines.size()));
    // National numbers are only comparable within a known country.
    if (!home) status += L" " + app::Text(IDS_DUP_NO_HOME);
    SetDlgItemTextW(m_hwnd, IDC_DUP_STATUS, status.c_str());
    UpdateMerge();
}

bool CDuplicatesDlg::Selected(size_t& set, size_t& entry) const {
    HWND list = GetDlgItem(m_hwnd, IDC_DUP_LIST);
    const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0) return false;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(list, &item)) return false;
    set = static_cast<size_t>(item.lParam) >> 16;
    entry = static_cast<size_t>(item.lParam) & 0xFFFF;
    return set < m_lines.size() && entry < m_lines[set].entries.size();
}

void CDuplicatesDlg::UpdateMerge() {
    size_t set = 0, entry = 0;
    HWND merge = GetDlgItem(m_hwnd, IDC_DUP_MERGE);
    const bool can = Selected(set, entry);
    // A disabled default button would leave Enter with nowhere to go.
    if (!can && GetFocus() == merge) SetFocus(GetDlgItem(m_hwnd, IDC_DUP_LIST));
    EnableWindow(merge, can);
    SendMessageW(m_hwnd, DM_SETDEFID, can ? IDC_DUP_MERGE : IDCANCEL, 0);
}

void CDuplicatesDlg::Merge() {
    size_t s = 0, e = 0;
    if (!Selected(s, e)) return;
    const uint16_t keep = m_lines[s].entries[e].id;
    const std::wstring keptName = m_lines[s].entries[e].name;
    std::vector<uint16_t> set;
    for (const faxnum::LineEntry& entry : m_lines[s].entries) set.push_back(entry.id);
    const CMString question = CMString::Formatted(app::Text(IDS_DUP_CONFIRM).c_str(), keptName.c_str(),
                                                  static_cast<unsigned>(set.size() - 1), keptName.c_str());
    if (ShowMessageBox(m_hwnd, question, app::Text(IDS_DUP_CAPTION), MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) !=
        IDOK)
        return;
    PhonebookDB& db = m_model.Database();
    OwnerScope owner(db, m_hwnd);
    {
        WaitCursor wait;
        ChangeBatch batch(db);
        if (batch.Refusal() != pbabi::kOk) {
            // Another program is changing the book: nothing is tried.
            db.ShowChangeFailed(batch.Refusal());
            return;
        }
        // Planned on the book as the batch sees it, so that nothing another program
        // changed since the list was read is removed by mistake.
        faxnum::Book book;
        const int read = ReadBookLines(db, book);
        if (read != pbabi::kOk) {
            batch.End(false);
            db.ShowReadFailed(read);
            Fill(keep);
            return;
        }
        const faxnum::MergePlan plan = faxnum::PlanMerge(book, set, keep, HomeCountry());
        // Groups first: until the last removal every state keeps every membership on
        // some entry of the line, and joins can be taken back.
        int failure = pbabi::kOk;
        std::vector<uint16_t> joined;
        for (uint16_t group : plan.join) {
            failure = db.AddMemberById(group, keep);
            if (failure != pbabi::kOk) break;
            joined.push_back(group);
        }
        bool removed = false;
        if (failure != pbabi::kOk) {
            for (uint16_t group : joined) db.RemoveMemberById(group, keep);
        } else {
            for (uint16_t id : plan.remove) {
                failure = db.RemoveRecord(id);
                if (failure != pbabi::kOk) break;
                removed = true;
            }
        }
        const bool batched = batch.IsOpen();
        db.LabelNextChange(CMString::Formatted(app::Text(IDS_UNDO_LABEL_MERGE).c_str(), static_cast<unsigned>(set.size())));
        const bool landed = batch.End(failure == pbabi::kOk);
        if (failure != pbabi::kOk) db.ShowChangeFailed(failure, removed && (!batched || landed));
    }
    Fill(keep);
    SetFocus(GetDlgItem(m_hwnd, IDC_DUP_LIST));
}

INT_PTR CDuplicatesDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_DRAWITEM:
            if (wParam != IDC_HELP_BUTTON) return FALSE;
            m_helpButton.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->idFrom == IDC_DUP_LIST && header->code == LVN_ITEMCHANGED) UpdateMerge();
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                case IDC_DUP_MERGE: Merge(); return TRUE;
                case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
                case IDC_HELP_BUTTON: ShowHelpTopic(helptopic::kDuplicates); return TRUE;
                default: return FALSE;
            }
        case WM_HELP: ShowHelpTopic(helptopic::kDuplicates); return TRUE;
        default: return FALSE;
    }
}
