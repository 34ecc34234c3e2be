#include "mainwindow/ListViewUIControl.h"

#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <vector>

namespace {

struct SortContext {
    const std::vector<CMString>* keys;
    // Index of the item with that data; null while items carry their indexes as data.
    const std::unordered_map<LPARAM, size_t>* byData;
    bool descending;
};

}  // namespace

ListViewUIControl::ListViewUIControl(uint16_t controlId) : m_controlId(controlId) {}

ListViewUIControl::~ListViewUIControl() = default;

void ListViewUIControl::AttachToDialog(HWND dialog) {
    m_parent = dialog;
    m_list = dialog ? GetDlgItem(dialog, m_controlId) : nullptr;
    m_rows.clear();
    m_groupData.clear();
    m_ownerData = m_list && (GetWindowLongPtrW(m_list, GWL_STYLE) & LVS_OWNERDATA) != 0;
    if (!m_list) return;
    // The list asked its parent for the notification format while the template was
    // being made, before the dialog's object could answer (and got no answer for wide
    // text): asked again, it sends the wide notifications that carry texts, an
    // owner-data list's requests for its rows among them.
    Send(WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(dialog), NF_REQUERY);
    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    DeleteAllItems();
    m_referenceWidth = LOWORD(Send(LVM_APPROXIMATEVIEWRECT, 1, MAKELPARAM(-1, -1)));
}

void ListViewUIControl::InsertColumn(int index, const CMString& text, int widthPercent) {
    if (!m_list) return;
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = 1;
    column.pszText = const_cast<wchar_t*>(text.c_str());
    column.iSubItem = index;
    const int at = static_cast<int>(Send(LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column)));
    if (at < 0) return;
    ++m_columnCount;
    Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(at), MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
    if (m_referenceWidth == 0) m_referenceWidth = static_cast<int>(Send(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(at)));
    if (widthPercent != 0) {
        const unsigned width = static_cast<unsigned>(widthPercent) * static_cast<unsigned>(m_referenceWidth) / 100u;
        Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(at), MAKELPARAM(static_cast<WORD>(width), 0));
    } else {
        Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(at), MAKELPARAM(LVSCW_AUTOSIZE_USEHEADER, 0));
    }
}

void ListViewUIControl::DeleteColumn(int index) {
    if (Send(LVM_DELETECOLUMN, static_cast<WPARAM>(index)) && m_columnCount > 0) --m_columnCount;
}

int ListViewUIControl::GetColumnCount() const {
    if (!m_list) return -1;
    int count = 0;
    LVCOLUMNW column = {};
    column.mask = LVCF_WIDTH;
    while (Send(LVM_GETCOLUMNW, static_cast<WPARAM>(count), reinterpret_cast<LPARAM>(&column))) ++count;
    return count;
}

int ListViewUIControl::InsertItem(int data, bool update) { return InsertRow(ListRow{data}, update); }

int ListViewUIControl::InsertItem(int data, const CMString* name, bool update) {
    return InsertRow(ListRow{data, name ? *name : CMString()}, update);
}

int ListViewUIControl::InsertRow(const ListRow& row, bool update) {
    return m_list ? PutRow(GetItemCount(), row, update) : -1;
}

int ListViewUIControl::PutRow(int at, const ListRow& row, bool update) {
    if (m_ownerData) {
        at = std::clamp(at, 0, GetItemCount());
        const bool last = at == GetItemCount();
        m_rows.insert(m_rows.begin() + at, row);
        // Rows below one put above them move down: all of them are painted again.
        SyncItemCount(at == 0 || !last);
        if (update) Send(LVM_UPDATE, static_cast<WPARAM>(at));
        return at;
    }
    if (row.group)
        m_groupData.insert(row.data);
    else
        m_groupData.erase(row.data);
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = at;
    item.lParam = row.data;
    // With its first text a new item costs the parent no change notifications.
    const CMString shown = ShownText(row, 0);
    if (!shown.IsEmpty()) {
        item.mask |= LVIF_TEXT;
        item.pszText = const_cast<wchar_t*>(shown.c_str());
    }
    const int index = static_cast<int>(Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) return -1;
    if (!row.fax.IsEmpty()) SetItemText(index, 1, row.fax, false);
    if (update) Send(LVM_UPDATE, static_cast<WPARAM>(index));
    return index;
}

void ListViewUIControl::SetItemText(int index, int column, const CMString& text, bool update) {
    if (!m_list) return;
    if (m_ownerData) {
        if (index < 0 || index >= GetItemCount() || column < 0 || column > 1) return;
        auto& row = m_rows[static_cast<size_t>(index)];
        (column == 0 ? row.name : row.fax) = text;
        Send(LVM_REDRAWITEMS, static_cast<WPARAM>(index), index);
        if (update) Send(LVM_UPDATE, static_cast<WPARAM>(index));
        return;
    }
    const CMString shown = column == 0 && IsGroupItem(index) ? L"[" + text + L"]" : text;
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(shown.c_str());
    Send(LVM_SETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    if (update) Send(LVM_UPDATE, static_cast<WPARAM>(index));
}

bool ListViewUIControl::GetItemText(int index, int column, CMString& text, int maxLength) const {
    text.Empty();
    if (!m_list || maxLength <= 0) return false;
    if (m_ownerData) {
        const ListRow* row = RowAt(index);
        if (!row) return false;
        text = ShownText(*row, column).Left(maxLength - 1);
        return true;
    }
    std::vector<wchar_t> buffer(static_cast<size_t>(maxLength), L'\0');
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = maxLength;
    if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
    // The control may hand back its own buffer instead of filling ours.
    const wchar_t* got = item.pszText ? item.pszText : buffer.data();
    int length = 0;
    while (length < maxLength - 1 && got[length]) ++length;
    text = CMString(got, static_cast<size_t>(length));
    return true;
}

CMString ListViewUIControl::GetItemName(int index) const {
    if (m_ownerData) {
        const ListRow* row = RowAt(index);
        return row ? row->name : CMString();
    }
    CMString text;
    GetItemText(index, 0, text, kCopyTextLength);
    // The one pair of brackets a group's row was shown with.
    const int n = text.GetLength();
    if (IsGroupItem(index) && n >= 2 && text.GetAt(0) == L'[' && text.GetAt(n - 1) == L']')
        return text.Mid(1, n - 2);
    return text;
}

bool ListViewUIControl::IsGroupItem(int index) const {
    if (m_ownerData) {
        const ListRow* row = RowAt(index);
        return row && row->group;
    }
    LPARAM data = 0;
    return GetItemParam(index, data) && m_groupData.count(static_cast<int>(data)) != 0;
}

int ListViewUIControl::GetItemData(int index) const {
    LPARAM data = 0;
    return GetItemParam(index, data) ? static_cast<int>(data) : kNoData;
}

bool ListViewUIControl::GetItemParam(int index, LPARAM& data) const {
    if (!m_list) return false;
    if (m_ownerData) {
        if (index < 0 || index >= GetItemCount()) return false;
        data = m_rows[static_cast<size_t>(index)].data;
        return true;
    }
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    if (!Send(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return false;
    data = item.lParam;
    return true;
}

int ListViewUIControl::FindItemByData(int data) const {
    if (!m_list) return -1;
    if (m_ownerData) {
        auto it = std::find_if(m_rows.begin(), m_rows.end(), [data](const ListRow& row) { return row.data == data; });
        return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin());
    }
    LVFINDINFOW find = {};
    find.flags = LVFI_PARAM;
    find.lParam = data;
    return static_cast<int>(Send(LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

int ListViewUIControl::GetItemCount() const {
    if (!m_list) return 0;
    return m_ownerData ? static_cast<int>(m_rows.size()) : static_cast<int>(Send(LVM_GETITEMCOUNT));
}

int ListViewUIControl::GetSelectedCount() const { return m_list ? static_cast<int>(Send(LVM_GETSELECTEDCOUNT)) : 0; }

int ListViewUIControl::GetNextSelected(int start) const {
    if (!m_list) return -1;
    if (start < 0) start = 0;
    // The control searches after the index it is given; -1 includes item 0.
    return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(start - 1), MAKELPARAM(LVNI_SELECTED, 0)));
}

bool ListViewUIControl::IsItemSelected(int index) const {
    return m_list && (Send(LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void ListViewUIControl::SetItemSelected(int index, bool selected) {
    if (!m_list || index < 0) return;
    LVITEMW item = {};
    item.stateMask = selected ? LVIS_SELECTED | LVIS_FOCUSED : LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED | LVIS_FOCUSED : 0;
    Send(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

int ListViewUIControl::ClearSelection() {
    if (!m_list) return 0;
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    // The control clears every row of an owner-data list one by one; a few selected
    // rows are cheaper cleared by themselves.
    const int selected = m_ownerData ? GetSelectedCount() : -1;
    if (selected < 0 || selected > kFewSelected) {
        Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
        return GetItemCount();
    }
    std::vector<int> rows;
    for (int i = GetNextSelected(0); i >= 0 && rows.size() < static_cast<size_t>(selected); i = GetNextSelected(i + 1))
        rows.push_back(i);
    const int focused = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
    if (focused >= 0) rows.push_back(focused);
    for (int row : rows) Send(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return GetItemCount();
}

void ListViewUIControl::DeleteAllItems() {
    if (!m_list) return;
    if (m_ownerData) {
        // The control forgets the rows, their selection and focus by their count alone
        // (deleting them all costs it a pass over the rows), back at the top.
        m_rows.clear();
        Send(LVM_SETITEMCOUNT, 0, 0);
        Send(LVM_SETSELECTIONMARK, 0, -1);
        return;
    }
    // Disabling drops the keyboard focus; the user keeps it.
    const bool hadFocus = GetFocus() == m_list;
    EnableWindow(m_list, FALSE);
    Send(LVM_DELETEALLITEMS);
    m_rows.clear();
    m_groupData.clear();
    EnableWindow(m_list, TRUE);
    if (hadFocus) SetFocus(m_list);
}

void ListViewUIControl::SetRows(ListRows rows, int selected) {
    if (!m_list) return;
    if (!m_ownerData) {
        DeleteAllItems();
        for (const ListRow& row : rows) InsertRow(row, false);
        // New rows carry no selection; a pass over thousands of them to clear it costs
        // more than the rest of the fill.
        if (GetSelectedCount() > 0) ClearSelection();
        if (selected >= 0 && selected < GetItemCount()) SetItemSelected(selected, true);
        return;
    }
    // Emptying the control first would set its scroll bars twice: the count changes
    // once, if at all, unseen, and the rows are painted once.
    const bool sameCount = rows.size() == m_rows.size();
    const bool hidden = m_redraw && !sameCount;
    if (hidden) SetRedraw(false);
    m_rows = std::move(rows);
    if (!sameCount) SyncItemCount(false);
    SelectOnly(selected >= 0 && selected < GetItemCount() ? selected : -1);
    Send(LVM_SETSELECTIONMARK, 0, -1);
    // At the top, as a list filled from empty is.
    if (!m_rows.empty() && Send(LVM_GETTOPINDEX) > 0) {
        Send(LVM_ENSUREVISIBLE, 0, FALSE);
        m_frameStale = true;
    }
    if (hidden)
        SetRedraw(true);
    else
        InvalidateRect(m_list, nullptr, TRUE);
}

void ListViewUIControl::SelectOnly(int row) {
    // Only the states that differ change: each change costs the control a notification
    // and a repaint, and a refill that keeps its first row selected, as one keystroke
    // after another does, needs none.
    const int focused = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
    const bool keep = row >= 0 && IsItemSelected(row);
    const int others = GetSelectedCount() - (keep ? 1 : 0);
    LVITEMW off = {};
    off.stateMask = LVIS_SELECTED;
    if (others > kFewSelected) {
        Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&off));
    } else if (others > 0) {
        std::vector<int> rows;
        for (int i = GetNextSelected(0); i >= 0 && rows.size() < static_cast<size_t>(others); i = GetNextSelected(i + 1))
            if (i != row) rows.push_back(i);
        for (int i : rows) Send(LVM_SETITEMSTATE, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&off));
    }
    if (focused >= 0 && focused != row) {
        off.stateMask = LVIS_FOCUSED;
        Send(LVM_SETITEMSTATE, static_cast<WPARAM>(focused), reinterpret_cast<LPARAM>(&off));
    }
    if (row >= 0 && (focused != row || !IsItemSelected(row))) SetItemSelected(row, true);
}

void ListViewUIControl::SyncItemCount(bool invalidateAll) {
    m_frameStale = true;
    // The control keeps the selection and focus of the rows that remain; it scrolls only
    // where it is told to.
    Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(m_rows.size()),
         invalidateAll ? LVSICF_NOSCROLL : LVSICF_NOSCROLL | LVSICF_NOINVALIDATEALL);
}

const ListRow* ListViewUIControl::RowAt(int index) const {
    if (!m_ownerData || index < 0 || static_cast<size_t>(index) >= m_rows.size()) return nullptr;
    return &m_rows[static_cast<size_t>(index)];
}

CMString ListViewUIControl::ShownText(const ListRow& row, int column) {
    if (column == 0) return row.group ? L"[" + row.name + L"]" : row.name;
    return column == 1 ? row.fax : CMString();
}

void ListViewUIControl::DeleteItem(int index) {
    if (m_ownerData) {
        if (index < 0 || index >= GetItemCount()) return;
        m_rows.erase(m_rows.begin() + index);
        m_frameStale = true;
    }
    // For owner data too: the control moves the selection of the rows below up.
    Send(LVM_DELETEITEM, static_cast<WPARAM>(index));
}

void ListViewUIControl::DeleteSelectedItems() {
    std::vector<int> selected;
    for (int i = GetNextSelected(0); i >= 0; i = GetNextSelected(i + 1)) selected.push_back(i);
    // From the last one, so the indexes still to come stay valid.
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) DeleteItem(*it);
}

int ListViewUIControl::CopyItemTo(int index, ListViewUIControl& other) const {
    if (!m_list || !other.m_list || index < 0 || index >= GetItemCount()) return -1;
    ListRow row{GetItemData(index), GetItemName(index), {}, IsGroupItem(index)};
    GetItemText(index, 1, row.fax, kCopyTextLength);
    const int at = other.PutRow(0, row, false);
    if (at < 0 || other.m_ownerData) return at;
    CMString text;
    for (int column = 2; column < kCopiedColumns; ++column) {
        GetItemText(index, column, text, kCopyTextLength);
        other.SetItemText(at, column, text, false);
    }
    return at;
}

CMString ListViewUIControl::SortKey(const CMString& text) {
    CMString key = text.Left(kSortTextLength - 1);
    key.Replace(L"[", L"");
    key.Replace(L"]", L"");
    return key;
}

CMString ListViewUIControl::OrderKey(std::wstring_view text) {
    // In one pass: a fill or sort makes one for every row.
    const size_t length = std::min(text.size(), static_cast<size_t>(kSortTextLength - 1));
    std::wstring key;
    key.reserve(length);
    for (size_t i = 0; i < length; ++i)
        if (text[i] != L'[' && text[i] != L']') key.push_back(mrv::ToUpperChar(text[i]));
    return CMString(std::move(key));
}

int ListViewUIControl::CompareTexts(const CMString& first, const CMString& second) {
    return SortKey(first).CompareNoCase(SortKey(second).view());
}

int CALLBACK ListViewUIControl::CompareItems(LPARAM data1, LPARAM data2, LPARAM context) {
    const auto* sort = reinterpret_cast<const SortContext*>(context);
    auto indexOf = [sort](LPARAM data) -> size_t {
        if (!sort->byData) return static_cast<size_t>(data);
        auto it = sort->byData->find(data);
        return it == sort->byData->end() ? sort->keys->size() : it->second;
    };
    const size_t first = indexOf(data1), second = indexOf(data2);
    const auto& keys = *sort->keys;
    if (first >= keys.size() || second >= keys.size()) return 0;
    return sort->descending ? keys[second].CompareNoCase(keys[first].view())
                            : keys[first].CompareNoCase(keys[second].view());
}

bool ListViewUIControl::SetItemData(int index, LPARAM data) {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.lParam = data;
    return Send(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

void ListViewUIControl::SortRows(int column, bool descending) {
    const size_t count = m_rows.size();
    std::vector<CMString> keys(count);
    // A group's brackets take no part in the order: its plain name is its key.
    for (size_t i = 0; i < count; ++i) {
        const ListRow& row = m_rows[i];
        keys[i] = column == 0 ? OrderKey(row.name.view()) : column == 1 ? OrderKey(row.fax.view()) : CMString();
    }
    std::vector<size_t> order(count);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return descending ? keys[b].view() < keys[a].view() : keys[a].view() < keys[b].view();
    });
    // Where each row went, for its selection, focus and selection mark.
    std::vector<int> placeOf(count);
    ListRows sorted;
    sorted.reserve(count);
    for (size_t at = 0; at < count; ++at) {
        placeOf[order[at]] = static_cast<int>(at);
        sorted.push_back(std::move(m_rows[order[at]]));
    }
    m_rows = std::move(sorted);

    const int focused = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
    const int mark = static_cast<int>(Send(LVM_GETSELECTIONMARK));
    const int selectedCount = GetSelectedCount();
    m_quiet = true;
    // No selection, or all of it, stays as it is wherever the rows went; otherwise only
    // the places whose state differs change, each a notification and a repaint (many of
    // them unseen).
    if (selectedCount > 0 && static_cast<size_t>(selectedCount) < count) {
        const bool few = selectedCount <= kFewSelected;
        std::vector<bool> was(count, false), now(count, false);
        if (few) {
            for (int i = GetNextSelected(0); i >= 0; i = GetNextSelected(i + 1)) was[static_cast<size_t>(i)] = true;
        } else {
            for (size_t i = 0; i < count; ++i) was[i] = IsItemSelected(static_cast<int>(i));
        }
        for (size_t i = 0; i < count; ++i) now[static_cast<size_t>(placeOf[i])] = was[i];
        const bool hidden = !few && m_redraw;
        if (hidden) SetRedraw(false);
        LVITEMW item = {};
        item.stateMask = LVIS_SELECTED;
        for (size_t at = 0; at < count; ++at) {
            if (was[at] == now[at]) continue;
            item.state = now[at] ? LVIS_SELECTED : 0;
            Send(LVM_SETITEMSTATE, at, reinterpret_cast<LPARAM>(&item));
        }
        if (hidden) SetRedraw(true);
    }
    if (focused >= 0 && static_cast<size_t>(focused) < count) {
        LVITEMW item = {};
        item.stateMask = item.state = LVIS_FOCUSED;
        Send(LVM_SETITEMSTATE, static_cast<WPARAM>(placeOf[static_cast<size_t>(focused)]), reinterpret_cast<LPARAM>(&item));
    }
    if (mark >= 0 && static_cast<size_t>(mark) < count) Send(LVM_SETSELECTIONMARK, 0, placeOf[static_cast<size_t>(mark)]);
    m_quiet = false;
    InvalidateRect(m_list, nullptr, TRUE);
}

void ListViewUIControl::SortItems(int column, bool descending) {
    if (!m_list) return;
    if (m_ownerData) {
        if (GetItemCount() >= 2) SortRows(column, descending);
        return;
    }
    // Each cell is read once, and the comparison finds an item's text through the
    // item's data, which the control hands it: indexes handed to an LVM_SORTITEMSEX
    // comparison need not match the items LVM_GETITEM reads meanwhile (they do not
    // under Wine), and searching the list for each compared item would cost a pass
    // per comparison.
    const int count = GetItemCount();
    if (count < 2) return;
    std::vector<CMString> keys(static_cast<size_t>(count));
    std::vector<LPARAM> data(static_cast<size_t>(count));
    std::unordered_map<LPARAM, size_t> byData;
    byData.reserve(static_cast<size_t>(count));
    bool unique = true;
    CMString text;
    for (int i = 0; i < count; ++i) {
        const auto at = static_cast<size_t>(i);
        GetItemText(i, column, text, kSortTextLength);
        keys[at] = SortKey(text);
        GetItemParam(i, data[at]);
        unique = byData.emplace(data[at], at).second && unique;
    }
    // The list is painted once, sorted.
    const bool repaint = m_redraw;
    if (repaint) SetRedraw(false);
    if (unique) {
        SortContext context{&keys, &byData, descending};
        Send(LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context), reinterpret_cast<LPARAM>(&CompareItems));
    } else {
        // Items that share data carry their indexes while the control sorts.
        int tagged = 0;
        while (tagged < count && SetItemData(tagged, tagged)) ++tagged;
        if (tagged == count) {
            SortContext context{&keys, nullptr, descending};
            Send(LVM_SORTITEMS, reinterpret_cast<WPARAM>(&context), reinterpret_cast<LPARAM>(&CompareItems));
        }
        // Every item gets its own data back, wherever the sort put it; when a tag was
        // refused nothing moved.
        for (int i = 0; i < tagged; ++i) {
            LPARAM tag = -1;
            if (GetItemParam(i, tag) && tag >= 0 && tag < count) SetItemData(i, data[static_cast<size_t>(tag)]);
        }
    }
    if (repaint) SetRedraw(true);
}

void ListViewUIControl::RedrawItems() {
    const int count = GetItemCount();
    if (count > 0) Send(LVM_REDRAWITEMS, 0, count - 1);
}

void ListViewUIControl::SetRedraw(bool on) {
    if (!m_list) return;
    if (!m_ownerData) {
        Send(WM_SETREDRAW, on ? TRUE : FALSE);
        m_redraw = on;
        if (on) InvalidateRect(m_list, nullptr, TRUE);
        return;
    }
    if (on == m_redraw) return;
    // Unseen, not stopped: an owner-data list keeps its scroll bars and item states up
    // to date as it goes (the control's own switch would make it catch up at once),
    // but draws nothing, which is what makes each change dear under Wine. Shown again,
    // it is painted once, and its frame only when the scroll bars moved; its header too,
    // whose pending paint switching off dropped.
    DefWindowProcW(m_list, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    m_redraw = on;
    if (!on) return;
    RedrawWindow(m_list, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | (m_frameStale ? RDW_FRAME : 0u));
    m_frameStale = false;
}

int ListViewUIControl::FindRow(const NMLVFINDITEMW& find) const {
    const int count = GetItemCount();
    const LVFINDINFOW& info = find.lvfi;
    const std::wstring_view wanted = (info.flags & (LVFI_STRING | LVFI_PARTIAL)) && info.psz ? info.psz : L"";
    auto matches = [&](int index) {
        const ListRow& row = m_rows[static_cast<size_t>(index)];
        if (info.flags & LVFI_PARAM) return row.data == static_cast<int>(info.lParam);
        if (!(info.flags & (LVFI_STRING | LVFI_PARTIAL))) return false;
        // As the control compares its own items' texts, as shown: a prefix for type-ahead.
        const CMString bracketed = row.group ? ShownText(row, 0) : CMString();
        const CMString& text = row.group ? bracketed : row.name;
        if (info.flags & LVFI_PARTIAL)
            return text.GetLength() >= static_cast<int>(wanted.size()) &&
                   text.Left(static_cast<int>(wanted.size())).EqualsNoCase(wanted);
        return text.EqualsNoCase(wanted);
    };
    const int start = find.iStart >= 0 && find.iStart < count ? find.iStart : 0;
    for (int i = start; i < count; ++i)
        if (matches(i)) return i;
    if (info.flags & LVFI_WRAP)
        for (int i = 0; i < start; ++i)
            if (matches(i)) return i;
    return -1;
}

bool ListViewUIControl::IsDataRequest(const NMHDR* header) const {
    return m_ownerData && header && header->hwndFrom == m_list &&
           (header->code == LVN_GETDISPINFOW || header->code == LVN_ODCACHEHINT || header->code == LVN_ODFINDITEMW);
}

bool ListViewUIControl::OnNotify(UINT message, WPARAM, const NMHDR* header) {
    if (message != WM_NOTIFY) return false;
    m_doubleClickEvent = m_selectionEvent = m_columnEvent = false;
    // Another control's notification carries none of this list's events.
    if (!header || !m_list || header->hwndFrom != m_list) return false;
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        // Into the asker's buffer, never a pointer to ours: a reader in another process
        // (an accessibility tool) gets only what lands in the buffer it passed.
        auto& item = const_cast<NMLVDISPINFOW*>(reinterpret_cast<const NMLVDISPINFOW*>(header))->item;
        if (!m_ownerData || !(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return false;
        // Asked for every painted cell: a group's brackets are put around its name here,
        // without a string between.
        const ListRow* row = RowAt(item.iItem);
        const CMString* cell = !row ? nullptr : item.iSubItem == 0 ? &row->name : item.iSubItem == 1 ? &row->fax : nullptr;
        const bool brackets = cell && item.iSubItem == 0 && row->group;
        const size_t room = static_cast<size_t>(item.cchTextMax - 1);
        size_t length = 0;
        auto put = [&](const wchar_t* text, size_t n) {
            n = std::min(n, room - length);
            std::copy_n(text, n, item.pszText + length);
            length += n;
        };
        if (brackets) put(L"[", 1);
        if (cell) put(cell->c_str(), static_cast<size_t>(cell->GetLength()));
        if (brackets) put(L"]", 1);
        item.pszText[length] = L'\0';
        return true;
    }
    case LVN_ODFINDITEMW:
        if (!m_ownerData) return false;
        if (m_parent)
            SetWindowLongPtrW(m_parent, DWLP_MSGRESULT, FindRow(*reinterpret_cast<const NMLVFINDITEMW*>(header)));
        return true;
    case LVN_ITEMCHANGED: {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
        if (m_quiet || change->uChanged != LVIF_STATE || !((change->uOldState ^ change->uNewState) & LVIS_SELECTED))
            return false;
        m_selectionEvent = true;
        Notify();
        return true;
    }
    case LVN_ODSTATECHANGED: {
        // An owner-data list reports a range selected at once.
        const auto* change = reinterpret_cast<const NMLVODSTATECHANGE*>(header);
        if (m_quiet || !((change->uOldState ^ change->uNewState) & LVIS_SELECTED)) return false;
        m_selectionEvent = true;
        Notify();
        return true;
    }
    case NM_DBLCLK:
        m_doubleClickEvent = true;
        Notify();
        return true;
    case LVN_COLUMNCLICK: {
        const auto* click = reinterpret_cast<const NMLISTVIEW*>(header);
        if (click->iItem != -1) return false;
        m_columnEvent = true;
        m_clickedColumn = click->iSubItem;
        Notify();
        return false;
    }
    case LVN_DELETEALLITEMS:
        // TRUE: no LVN_DELETEITEM for each of what may be thousands of rows.
        if (m_parent) SetWindowLongPtrW(m_parent, DWLP_MSGRESULT, TRUE);
        return true;
    default:
        return false;
    }
}
