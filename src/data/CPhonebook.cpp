#include "data/CPhonebook.h"

#include "util/Handles.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/text_ids.h"

using namespace pbabi;

namespace {

// Cell texts are read with room for 60 characters.
constexpr int kCellTextLength = 61;
// A list whose read failed is read again after this, doubled for each failure after
// the first (up to four times): a stalled writer must not keep the window waiting at
// every tick, nor the list behind for long once it is done.
constexpr ULONGLONG kFirstReadAgainMs = 1000;
constexpr unsigned kMostDoublings = 2;

std::string_view AnsiBytes(const char* text, size_t width) {
    if (!text) return {};
    size_t n = 0;
    while (n < width && text[n]) ++n;
    return std::string_view(text, n);
}

bool SameBytes(const char* a, const char* b, size_t width) {
    return AnsiBytes(a, width) == AnsiBytes(b, width);
}

}  // namespace

CPhonebook::CPhonebook(HWND owner) {
    m_database.SetOwnerWindow(owner);
    m_database.SetWideMode(true);
    m_database.SetCurrentFormat(true);
    m_database.SetCapacity(0);
    m_database.FindEngine();
    m_allowedFaxChars = app::Text(IDS_FAX_CHARS);
    m_allowedMailboxChars = app::Text(IDS_MAILBOX_CHARS);
    // The same reading as the fax number field's filter gives it.
    m_faxChars.SetAll(false);
    m_faxChars.Apply(m_allowedFaxChars.view(), true);
}

CPhonebook::~CPhonebook() = default;

ListViewUIControl* CPhonebook::ActiveList() const { return m_mainActive ? m_mainList : m_otherList; }

void CPhonebook::CloseFile() {
    m_database.Close();
    m_listFilled = m_listStale = m_filledCountKnown = false;
    m_parked.clear();
    if (m_mainList) m_mainList->DeleteAllItems();
    if (m_otherList) m_otherList->DeleteAllItems();
}

bool CPhonebook::Refresh(bool includeGroups) {
    if (!HasOpenFile() || !m_mainList) {
        m_records.clear();
        return false;
    }
    WaitCursor wait;
    m_database.SetSearchText(m_searchText);
    // Only a book open for reading has writers elsewhere to follow. Read before the
    // records: a change that lands in between is caught next time.
    uint64_t count = 0;
    const bool countKnown = m_database.IsReadOnly() && m_database.GetChangeCount(count);
    RecordList records;
    if (m_database.Enumerate(records, includeGroups) != kOk) {
        m_records.clear();
        if (!m_listFilled) ShowParkedRows(includeGroups);
        ListingFailed();
        return false;
    }
    m_records = std::move(records);
    m_failedReads = 0;
    m_filledCountKnown = countKnown;
    m_filledCount = count;
    m_filledSearch = m_searchText;
    // A counter that could not be read (busy) leaves the list to be read again.
    m_listStale = m_database.IsReadOnly() && !countKnown && m_database.HasChangeCounter();
    m_listFilled = true;
    FillList(true);
    if (m_listingListener) m_listingListener(Listing::Read);
    return true;
}

void CPhonebook::ShowParkedRows(bool includeGroups) {
    // The newest list read of this book for the same search: its rows were the book.
    auto parked = std::find_if(m_parked.rbegin(), m_parked.rend(), [&](const ParkedList& p) {
        return p.filled && p.search == m_searchText && p.list != m_mainList;
    });
    if (parked == m_parked.rend() || m_mainList->GetItemCount() != 0) return;
    ListViewUIControl& source = *parked->list;
    // Bottom up: each row goes to the top.
    for (int row = source.GetItemCount() - 1; row >= 0; --row)
        if (includeGroups || !source.IsGroupItem(row)) source.CopyItemTo(row, *m_mainList);
    m_listFilled = true;
    m_filledCountKnown = false;
}

void CPhonebook::ListingFailed() {
    // The rows shown stay; the follow timer reads again, less often the longer the book
    // stays busy, so that a stalled writer does not keep the window waiting.
    m_listStale = true;
    m_failedReads = std::min(m_failedReads + 1, kMostDoublings + 1);
    // A read that does not wait costs nothing when it fails: the next tick tries again.
    m_nextRead = m_database.IsWindowThread() ? 0 : GetTickCount64() + (kFirstReadAgainMs << (m_failedReads - 1));
    // Kept only when the list shows an earlier read of this book.
    if (m_listingListener) m_listingListener(m_listFilled ? Listing::KeptLastRows : Listing::NotRead);
}

bool CPhonebook::FollowOtherWriters() {
    uint64_t now = 0;
    if (!m_mainList || !m_mainActive || !HasOpenFile()) return false;
    if (m_listStale && m_failedReads > 0 && GetTickCount64() < m_nextRead) return false;
    if (!m_listStale) {
        if (!m_filledCountKnown) return false;
        // A counter that cannot be read is a writer stalled past the engine's wait: the
        // list may be behind, and says so.
        if (!m_database.GetChangeCount(now)) {
            ListingFailed();
            return false;
        }
        if (now == m_filledCount) return false;
    }
    ListViewUIControl& list = *m_mainList;
    HWND window = list.ListWindow();
    std::vector<int> selected;
    for (int row = list.GetNextSelected(0); row >= 0; row = list.GetNextSelected(row + 1))
        selected.push_back(list.GetItemData(row));
    const int focusedRow = window ? ListView_GetNextItem(window, -1, LVNI_FOCUSED) : -1;
    const int focused = focusedRow >= 0 ? list.GetItemData(focusedRow) : -1;
    const int top = window ? ListView_GetTopIndex(window) : 0;
    const int topId = top >= 0 && top < list.GetItemCount() ? list.GetItemData(top) : -1;

    if (!Refresh(true)) return false;

    // The rows come back by record; one that went keeps its place by number.
    list.ClearSelection();
    for (int id : selected) {
        int row = list.FindItemByData(id);
        if (row >= 0) list.SetItemSelected(row, true);
    }
    if (!window || list.GetItemCount() == 0) return true;
    if (focused >= 0) {
        int row = list.FindItemByData(focused);
        if (row >= 0) ListView_SetItemState(window, row, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    int wantTop = topId >= 0 ? list.FindItemByData(topId) : -1;
    if (wantTop < 0) wantTop = std::min(top, list.GetItemCount() - 1);
    RECT item = {};
    if (wantTop != ListView_GetTopIndex(window) && ListView_GetItemRect(window, 0, &item, LVIR_BOUNDS))
        ListView_Scroll(window, 0, (wantTop - ListView_GetTopIndex(window)) * (item.bottom - item.top));
    return true;
}

void CPhonebook::AttachMainList(ListViewUIControl* list) {
    m_mainActive = true;
    if (list == m_mainList) {
        if (list && list->GetColumnCount() != 2) SetupColumns(*list);
        return;
    }
    // The list that goes keeps its rows and what they were read at, for its return; a
    // list let go with null goes away with its dialog.
    if (m_mainList && list) {
        m_parked.push_back({m_mainList, m_listFilled, m_filledCountKnown, m_filledCount, m_listStale, m_filledSearch});
        if (m_parked.size() > 4) m_parked.erase(m_parked.begin());
    }
    m_mainList = list;
    m_listFilled = m_filledCountKnown = m_listStale = false;
    m_filledCount = 0;
    if (!list) return;
    auto parked = std::find_if(m_parked.begin(), m_parked.end(), [&](const ParkedList& p) { return p.list == list; });
    if (parked != m_parked.end()) {
        // Its rows are an earlier read of this book: shown until a new read is in hand.
        m_listFilled = parked->filled;
        m_filledCountKnown = parked->countKnown;
        m_filledCount = parked->count;
        m_listStale = parked->stale;
        m_filledSearch = parked->search;
        m_parked.erase(parked);
    } else {
        // Rows of no read of this book are not to be shown as if they were.
        list->DeleteAllItems();
    }
    if (list->GetColumnCount() != 2) SetupColumns(*list);
}

void CPhonebook::SetupColumns(ListViewUIControl& list) {
    for (int i = list.GetColumnCount() - 1; i >= 1; --i) list.DeleteColumn(i);
    list.InsertColumn(0, app::Text(IDS_COLUMN_NAME), 50);
    list.InsertColumn(1, app::Text(IDS_COLUMN_FAX), 50);
    // A first column kept above now stands third: two columns it is.
    for (int i = list.GetColumnCount() - 1; i >= 2; --i) list.DeleteColumn(i);
}

bool CPhonebook::IsShowableFax(const CMString& fax) const {
    for (int i = 0; i < fax.GetLength(); ++i)
        if (!m_faxChars.Contains(static_cast<char32_t>(fax.GetAt(i)))) return false;
    return true;
}

EngineRecord CPhonebook::RecordFromFields(uint8_t kind, const CMString& name, const CMString& fax,
                                          const CMString& organization, const CMString& phone, const CMString& email,
                                          const CMString& mailbox) const {
    EngineRecord record = m_database.NewEngineRecord();
    record.Clear();
    record.SetKind(kind);
    WriteFields(record, name, fax, organization, phone, email, mailbox);
    return record;
}

int CPhonebook::AddFromFields(const CMString& name, const CMString& fax, const CMString& organization,
                              const CMString& phone, const CMString& email, const CMString& mailbox, bool showErrors,
                              bool addToList, uint16_t* newId) {
    if (name.IsBlank()) return 1;
    EngineRecord record =
        RecordFromFields(fax.IsEmpty() ? kKindGroup : kKindEntry, name, fax, organization, phone, email, mailbox);
    const int code = m_database.AddRecord(record, showErrors);
    if (code == kOk && newId) *newId = record.Id();
    // The personal phone book's model has no list: nothing to show.
    if (code == kOk && addToList && m_mainList) {
        m_mainActive = true;
        AddToList(record, true);
        m_mainList->SortItems(0, false);
        m_mainList->RedrawItems();
    }
    return code;
}

int CPhonebook::ModifyFromFields(uint16_t id, const CMString& name, const CMString& fax, const CMString& organization,
                                 const CMString& phone, const CMString& email, const CMString& mailbox) {
    EngineRecord record = RecordFromFields(kKindEntry, name, fax, organization, phone, email, mailbox);
    int code = -1;
    m_database.ModifyRecord(id, record, code);
    return code;
}

bool CPhonebook::ModifySelected(const CMString& name, const CMString& fax, const CMString& organization,
                                const CMString& phone, const CMString& email, const CMString& mailbox) {
    const int row = GetSelectedRow();
    if (row < 0) return false;
    EngineRecord record;
    if (const int found = GetRecordForRow(record, row); found != kOk) {
        // The entry could not be read back to be rewritten: told, nothing stored.
        m_database.ShowChangeFailed(found);
        return false;
    }
    WriteFields(record, name, fax, organization, phone, email, mailbox);
    int code = -1;
    m_database.ModifyRecord(record.Id(), record, code);
    if (code != kOk) {
        // A name in use has been told; anything else is told here, and the dialog
        // keeps what was typed.
        if (code != kNameInUse) m_database.ShowChangeFailed(code);
        return false;
    }
    SetRowCells(row, record, true);
    return true;
}

bool CPhonebook::IsSameAsRow(int row, const CMString& name, const CMString& fax, const CMString& organization,
                             const CMString& phone, const CMString& email, const CMString& mailbox) {
    EngineRecord stored;
    if (GetRecordForRow(stored, row) != kOk) return false;
    if (stored.wide) {
        return NameOf(stored) == name && FaxOf(stored) == fax && ExtensionOf(stored, kExtOrganization) == organization &&
               ExtensionOf(stored, kExtPhone) == phone && ExtensionOf(stored, kExtEmail) == email &&
               ExtensionOf(stored, kExtMailbox) == mailbox;
    }
    // An ANSI file holds the texts as they would be stored: compare those bytes.
    EngineRecord given = RecordFromFields(stored.Kind(), name, fax, organization, phone, email, mailbox);
    if (!given.ansi) return false;
    const PBEA& s = stored.ansi->Get();
    const PBEA& g = given.ansi->Get();
    return SameBytes(s.name, g.name, kNameWidth) && SameBytes(s.fax, g.fax, kFaxWidth) &&
           SameBytes(stored.ansi->Extension(kExtOrganization), given.ansi->Extension(kExtOrganization), kExtensionWidth) &&
           SameBytes(stored.ansi->Extension(kExtPhone), given.ansi->Extension(kExtPhone), kExtensionWidth) &&
           SameBytes(stored.ansi->Extension(kExtEmail), given.ansi->Extension(kExtEmail), kExtensionWidth) &&
           SameBytes(stored.ansi->Extension(kExtMailbox), given.ansi->Extension(kExtMailbox), kExtensionWidth);
}

int CPhonebook::GetRecordForRow(EngineRecord& record, int row) {
    ListViewUIControl* list = ActiveList();
    if (!list || row < 0 || row >= list->GetItemCount()) return -1;
    if (!record || record.IsWide() != m_database.IsWideMode()) record = m_database.NewEngineRecord();
    record.Clear();
    // By name and fax number, not by the row's id.
    return m_database.GetRecord(record, GetRowName(row), GetRowFax(row), kNoId);
}

CMString CPhonebook::GetRowText(int row, int column) {
    ListViewUIControl* list = ActiveList();
    if (!list) return {};
    CMString text;
    if (column >= 0 && column < list->GetColumnCount()) {
        list->GetItemText(row, column, text, kCellTextLength);
        return text;
    }
    int slot = -1;
    switch (column) {
    case 2: slot = kExtOrganization; break;
    case 3: slot = kExtPhone; break;
    case 4: slot = kExtEmail; break;
    case 5: slot = kExtMailbox; break;
    default: return {};
    }
    EngineRecord record;
    if (GetRecordForRow(record, row) != kOk) return {};
    return ExtensionOf(record, slot);
}

CMString CPhonebook::GetRowName(int row) {
    ListViewUIControl* list = ActiveList();
    return list ? list->GetItemName(row) : CMString();
}

bool CPhonebook::IsEntryRow(int row) {
    ListViewUIControl* list = ActiveList();
    if (!list || row < 0 || row >= list->GetItemCount()) return false;
    return !list->IsGroupItem(row);
}

int CPhonebook::GetSelectedRow() const {
    ListViewUIControl* list = ActiveList();
    if (!list || list->GetSelectedCount() != 1) return -1;
    return list->GetNextSelected(0);
}

void CPhonebook::SelectRow(int row) {
    ListViewUIControl* list = ActiveList();
    if (!list) return;
    list->ClearSelection();
    if (row >= 0 && row < list->GetItemCount()) list->SetItemSelected(row, true);
}

int CPhonebook::GetItemCount() const {
    ListViewUIControl* list = ActiveList();
    return list ? list->GetItemCount() : 0;
}

int CPhonebook::GetSelectedCount() const {
    ListViewUIControl* list = ActiveList();
    return list ? list->GetSelectedCount() : 0;
}

int CPhonebook::CollectSelected(std::vector<RemoveResult>* results) {
    m_records.clear();
    ListViewUIControl* list = ActiveList();
    if (!list) return kOk;
    EngineRecord record;
    int busy = kOk;
    for (int row = list->GetNextSelected(0); row >= 0; row = list->GetNextSelected(row + 1)) {
        if (const int code = GetRecordForRow(record, row); code != kOk) {
            if (code == kBusy) busy = code;
            continue;
        }
        m_database.ToMemoryRecord(record, m_records);
        if (results) results->push_back({row, false});
    }
    return busy;
}

void CPhonebook::DeleteSelected() {
    m_mainActive = true;
    ListViewUIControl* list = m_mainList;
    if (!list) return;
    const int selected = list->GetSelectedCount();
    if (selected == 0) return;
    std::vector<RemoveResult> results;
    {
        WaitCursor wait;
        CollectSelected(&results);
    }
    m_database.RemoveRecords(m_records, results);
    const bool many = selected > 1;
    if (many) list->SetRedraw(false);
    {
        WaitCursor wait;
        // From the bottom up, so the rows still to delete keep their indexes.
        for (auto it = results.rbegin(); it != results.rend(); ++it)
            if (it->removed) list->DeleteItem(it->row);
        list->ClearSelection();
        if (many) list->SetRedraw(true);
    }
}

void CPhonebook::CopySelectedTo(const CMString& sourcePath, const CMString& targetPath) {
    m_mainActive = true;
    if (!m_mainList || m_mainList->GetSelectedCount() == 0) return;
    WaitCursor wait;
    UserReads patient(m_database);
    // Entries another program keeps from being read are not left out without a word.
    if (const int code = CollectSelected(nullptr); code != kOk) {
        m_records.clear();
        m_database.ShowReadFailed(code);
        return;
    }
    // Entries only: a group's member ids name records of the source, which in another
    // file would be other entries or none.
    RecordList entries;
    for (const auto& record : m_records)
        if (!record->IsGroup()) entries.push_back(record);
    m_records.clear();
    if (entries.empty()) return;

    // One open of the target for all of them: a target that cannot be opened is
    // reported once, and nothing is lost because the source is reopened either way.
    m_database.SetWideMode(true);
    m_database.SetCurrentFormat(true);
    if (m_database.Open(targetPath, 0, 0)) {
        if (m_database.IsReadOnly()) {
            // Opened only for reading: every addition would fail without a word.
            m_database.ShowNotWritable(targetPath);
        } else if (ChangeBatch batch(m_database); batch.Refusal() != kOk) {
            m_database.ShowChangeFailed(batch.Refusal());
        } else {
            // In the target's own form, which may be the other set's; all in one commit.
            EngineRecord record = m_database.NewEngineRecord();
            for (const auto& entry : entries) {
                m_database.ToEngineRecord(*entry, record);
                // A full book stays full, a refused write stays refused: one message is
                // enough. An entry the target has already is told and skipped.
                const int code = m_database.AddRecord(record, true);
                if (code != kOk && code != kNameInUse) break;
            }
            batch.End();
        }
    }
    m_database.SetWideMode(true);
    m_database.SetCurrentFormat(true);
    m_database.Open(sourcePath, 0, 1);
}

void CPhonebook::FillList(bool useMainList) {
    m_mainActive = useMainList || !m_otherList;
    ListViewUIControl* list = ActiveList();
    if (!list) return;
    WaitCursor wait;
    // In name order by the list's own comparison, so the rows come out as sorting the
    // filled list on column 0 would leave them, without a sort over thousands of rows;
    // unseen until the list is whole.
    std::vector<std::pair<CMString, const PhonebookRecord*>> order;
    order.reserve(m_records.size());
    for (const auto& r : m_records) order.emplace_back(ListViewUIControl::OrderKey(r->name), r.get());
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first.view() < b.first.view(); });
    ListRows rows;
    if (list->GetColumnCount() > 0) {
        rows.reserve(order.size());
        for (const auto& [key, r] : order) {
            // Ids as the engine gives them; a fax number that cannot be shown keeps its
            // record in the file but gets no row.
            ListRow row{r->id, CMString(r->name), CMString(r->fax), r->IsGroup()};
            if (row.group) {
                row.fax.Empty();
            } else if (!IsShowableFax(row.fax)) {
                continue;
            }
            rows.push_back(std::move(row));
        }
    }
    // An owner-data list takes its rows at once and sees to its own painting.
    const bool hold = !list->IsOwnerData();
    if (hold) list->SetRedraw(false);
    list->SetRows(std::move(rows), 0);
    if (hold) list->SetRedraw(true);
}

int CPhonebook::AddToList(const EngineRecord& record, bool update) {
    ListViewUIControl* list = ActiveList();
    if (!list || !record || list->GetColumnCount() <= 0) return kNoRow;
    return AppendRow(*list, record, update);
}

int CPhonebook::AppendRow(ListViewUIControl& list, const EngineRecord& record, bool update) {
    // Such a record stays in the file but gets no row.
    const CMString fax = FaxOf(record);
    if (!IsShowableFax(fax)) return kNoRow;
    const bool group = record.Kind() == kKindGroup;
    const int row = list.InsertRow({record.Id(), NameOf(record), group ? CMString() : fax, group}, update);
    return row < 0 ? kNoRow : row;
}

void CPhonebook::SetRowCells(int row, const EngineRecord& record, bool update) {
    ListViewUIControl* list = ActiveList();
    if (!list || !record) return;
    list->SetItemText(row, 0, NameOf(record), update);
    if (record.Kind() != kKindGroup) list->SetItemText(row, 1, FaxOf(record), update);
}

bool* CPhonebook::SortDirection(int column) {
    if (column < 0 || column >= kColumns) return nullptr;
    return &m_sortDescending[(m_mainActive ? kColumns : 0) + column];
}

bool CPhonebook::ToggleSort(int column) {
    bool* descending = SortDirection(column);
    ListViewUIControl* list = ActiveList();
    if (!descending || !list) return false;
    list->SortItems(column, *descending);
    *descending = !*descending;
    return *descending;
}

bool CPhonebook::HasOpenFile() const { return !m_database.GetPath().IsEmpty() && m_database.IsOpen(); }

int CPhonebook::CopyAllRows(ListViewUIControl& source, ListViewUIControl& target) {
    int copied = 0;
    for (int row = source.GetItemCount() - 1; row >= 0; --row)
        if (source.CopyItemTo(row, target) >= 0) ++copied;
    return copied;
}

bool CPhonebook::ListContainsId(uint16_t id, const ListViewUIControl& list) const {
    return list.FindItemByData(id) >= 0;
}

bool CPhonebook::LoadGroupForRow(int row) {
    ListViewUIControl* list = ActiveList();
    EngineRecord group;
    if (list && row >= 0 && row < list->GetItemCount() && !IsEntryRow(row) && GetRecordForRow(group, row) == kOk &&
        group.Kind() == kKindGroup)
        return m_database.ReadRecordById(group.Id());
    // Reads nothing, but leaves the current record made and cleared.
    m_database.ReadRecordById(kNoId);
    return false;
}
