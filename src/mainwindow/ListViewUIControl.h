#pragma once
// One report-style list view of a dialog: columns sized in percent of the list's
// width, rows that carry one integer each (their record's id) and their record's kind,
// selection queries, sorting by a column's text without regard to square brackets or
// case, and the control's notifications turned into three observer events. A list whose
// template has LVS_OWNERDATA keeps its rows here and the control asks for what it
// paints; every call below works the same on either kind.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "data/core/Observer.h"
#include "dialogs/WindowSubclasser.h"
#include "util/CMString.h"

// One row of a list: the integer it carries, its record's plain name and fax number (a
// group has none) and its kind. Only what the list shows puts a group's name in square
// brackets.
struct ListRow {
    int data = 0;
    CMString name;
    CMString fax;
    bool group = false;
};
using ListRows = std::vector<ListRow>;

class ListViewUIControl : public ObserverSubject, public WindowSubclasser {
public:
    explicit ListViewUIControl(uint16_t controlId);
    ~ListViewUIControl() override;

    // Binds the wrapper to the dialog's list control and empties it.
    void AttachToDialog(HWND dialog);

    // widthPercent of the reference width; 0 fits the header text.
    void InsertColumn(int index, const CMString& text, int widthPercent);
    void DeleteColumn(int index);
    // As the control reports it; -1 without a list window.
    int GetColumnCount() const;

    // Appends an entry's item holding only data (and the name when given); its index,
    // or -1.
    int InsertItem(int data, bool update);
    int InsertItem(int data, const CMString* name, bool update);
    // Appends the row, of either kind; its index, or -1.
    int InsertRow(const ListRow& row, bool update);
    // Column 0 takes the plain name, shown as the row's kind shows it.
    void SetItemText(int index, int column, const CMString& text, bool update);
    // As shown (a group's name in square brackets), at most maxLength - 1 characters; on
    // failure the text is empty.
    bool GetItemText(int index, int column, CMString& text, int maxLength) const;
    // The row's plain name; empty when the item cannot be read.
    CMString GetItemName(int index) const;
    // Whether the row stands for a group; false when the item cannot be read.
    bool IsGroupItem(int index) const;
    // 0xFFFF when the item cannot be read.
    int GetItemData(int index) const;
    int FindItemByData(int data) const;

    int GetItemCount() const;
    int GetSelectedCount() const;
    // First selected index at or after start (-1 counts as 0); -1 when none.
    int GetNextSelected(int start) const;
    bool IsItemSelected(int index) const;
    // Selects (and gives the focus to) or deselects one item.
    void SetItemSelected(int index, bool selected);
    // Removes the selected and focused states from every item; the item count.
    int ClearSelection();

    // Replaces every row, in the order given, with only the row at that index selected
    // and focused (none for -1) and the list at its top; an owner-data list is
    // repainted once.
    void SetRows(ListRows rows, int selected = -1);
    bool IsOwnerData() const { return m_ownerData; }

    void DeleteAllItems();
    void DeleteItem(int index);
    void DeleteSelectedItems();
    // Copies the item's texts, kind and data to the top of the other list: the new
    // index, or -1.
    int CopyItemTo(int index, ListViewUIControl& other) const;

    void SortItems(int column, bool descending);
    void RedrawItems();
    // Switching on repaints the whole list once. An owner-data list goes on keeping
    // itself up to date, unseen.
    void SetRedraw(bool on);

    // For WM_NOTIFY of the list: sets the event flags and notifies the observers. True
    // when a selection change or double click was raised, and for LVN_DELETEALLITEMS,
    // which it answers so the list sends no notification per deleted item, and for an
    // owner-data list's questions (texts, find): the dialog procedure returns this result.
    bool OnNotify(UINT message, WPARAM controlId, const NMHDR* header);
    // Whether the notification only asks an owner-data list for its rows: a parent's
    // per-notification work has no business on this path, which runs per painted cell.
    bool IsDataRequest(const NMHDR* header) const;

    bool IsDoubleClickEvent() const { return m_doubleClickEvent; }
    bool IsSelectionEvent() const { return m_selectionEvent; }
    bool IsColumnEvent() const { return m_columnEvent; }
    int ClickedColumn() const { return m_clickedColumn; }

    uint16_t ControlId() const { return m_controlId; }
    HWND ListWindow() const { return m_list; }
    HWND ParentWindow() const { return m_parent; }
    int ReferenceWidth() const { return m_referenceWidth; }
    // Columns inserted through InsertColumn, less those deleted.
    int InsertedColumns() const { return m_columnCount; }

    // The sort order of two cell texts: at most the first 49 characters, square
    // brackets removed wherever they stand, letter case ignored (CMString's
    // CompareNoCase of the two SortKeys).
    static int CompareTexts(const CMString& first, const CMString& second);
    static CMString SortKey(const CMString& text);
    // A SortKey in capitals: two of them in plain order (Compare) are in CompareTexts'
    // order, without mapping letter case at every comparison.
    static CMString OrderKey(std::wstring_view text);
    // The sort callback: the items' indexes before the sort (carried as their data
    // while the control sorts) and a sort context.
    static int CALLBACK CompareItems(LPARAM data1, LPARAM data2, LPARAM context);

    // Characters of a cell that take part in sorting, plus one for the terminator.
    static constexpr int kSortTextLength = 50;
    static constexpr int kCopyTextLength = 260;
    static constexpr int kCopiedColumns = 6;
    static constexpr int kNoData = 0xFFFF;
    // Selected rows of an owner-data list that ClearSelection clears one by one.
    static constexpr int kFewSelected = 32;

private:
    // Owner data: the control's view of the rows changed; repaints them all.
    void SyncItemCount(bool invalidateAll);
    // Puts the row in at that index (0 to the count): its index, or -1.
    int PutRow(int at, const ListRow& row, bool update);
    // Owner data: the row; null for one that does not exist.
    const ListRow* RowAt(int index) const;
    static CMString ShownText(const ListRow& row, int column);
    int FindRow(const NMLVFINDITEMW& find) const;
    void SortRows(int column, bool descending);
    // Owner data: exactly this row selected and focused, or none for -1.
    void SelectOnly(int row);
    bool GetItemParam(int index, LPARAM& data) const;
    bool SetItemData(int index, LPARAM data);
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return m_list ? SendMessageW(m_list, message, wParam, lParam) : 0;
    }

    uint16_t m_controlId;
    HWND m_list = nullptr;
    HWND m_parent = nullptr;
    int m_referenceWidth = 0;
    int m_columnCount = 0;
    bool m_doubleClickEvent = false;
    bool m_selectionEvent = false;
    bool m_columnEvent = false;
    int m_clickedColumn = 0;
    bool m_redraw = true;
    bool m_ownerData = false;
    // Owner data: the scroll bars changed while the list was unseen.
    bool m_frameStale = false;
    // Set while a sort moves the selection to the rows' new places: no events.
    bool m_quiet = false;
    ListRows m_rows;
    // Other lists: the data of the rows that stand for groups. A row's data is its
    // record's id, which names one record and so one kind; the kind goes wherever the
    // control moves the row.
    std::unordered_set<int> m_groupData;
};
