#pragma once
// One report-style list view of a dialog: columns sized in percent of the list's
// width, rows that carry one integer each, selection queries, sorting by a column's
// text without regard to square brackets or case, and the control's notifications
// turned into three observer events.
#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "data/core/Observer.h"
#include "dialogs/WindowSubclasser.h"
#include "util/CMString.h"

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

    // Appends an item holding only data (and the text of column 0 when given); its
    // index, or -1.
    int InsertItem(int data, bool update);
    int InsertItem(int data, const CMString* firstText, bool update);
    void SetItemText(int index, int column, const CMString& text, bool update);
    // At most maxLength - 1 characters; on failure the text is empty.
    bool GetItemText(int index, int column, CMString& text, int maxLength) const;
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

    void DeleteAllItems();
    void DeleteItem(int index);
    void DeleteSelectedItems();
    // Copies the item's texts and data to the top of the other list: the new index, or -1.
    int CopyItemTo(int index, ListViewUIControl& other) const;

    void SortItems(int column, bool descending);
    void RedrawItems();
    // Switching on repaints the whole list once.
    void SetRedraw(bool on);

    // For WM_NOTIFY of the list: sets the event flags and notifies the observers. True
    // when a selection change or double click was raised, and for LVN_DELETEALLITEMS,
    // which it answers so the list sends no notification per deleted item: the dialog
    // procedure returns this result.
    bool OnNotify(UINT message, WPARAM controlId, const NMHDR* header);

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
    // The sort callback: the items' indexes before the sort (carried as their data
    // while the control sorts) and a sort context.
    static int CALLBACK CompareItems(LPARAM data1, LPARAM data2, LPARAM context);

    // Characters of a cell that take part in sorting, plus one for the terminator.
    static constexpr int kSortTextLength = 50;
    static constexpr int kCopyTextLength = 260;
    static constexpr int kCopiedColumns = 6;
    static constexpr int kNoData = 0xFFFF;

private:
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
};
