// The list view wrapper on real lists of the templates, the main dialog's owner-data
// list and the group dialog's plain one, driven by real messages: columns, items,
// selection, sorting, the observer events, and what the control itself reads and finds.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ListDialog.h"
#include "PrintCMString.h"
#include "harness/GuiHarness.h"
#include "mainwindow/ListViewUIControl.h"

namespace {

// What an observer saw at each Update, read from the wrapper as the dialogs do.
struct Seen {
    int subjectId;
    bool selection, doubleClick, column;
    int clickedColumn;
};

class RecordingObserver : public Observer {
public:
    explicit RecordingObserver(const ListViewUIControl& list) : m_list(list) {}
    void Update(int subjectId) override {
        seen.push_back({subjectId, m_list.IsSelectionEvent(), m_list.IsDoubleClickEvent(), m_list.IsColumnEvent(),
                        m_list.ClickedColumn()});
    }
    std::vector<Seen> seen;

private:
    const ListViewUIControl& m_list;
};

struct ListKind {
    const char* name;
    int templateId, listId;
};

class ListViewWrapper : public testing::TestWithParam<ListKind> {
protected:
    void SetUp() override {
        dialog.Route(&list);
        list.AttachToDialog(dialog.Window());
        list.InsertColumn(0, L"Name", 50);
        list.InsertColumn(1, L"Fax number", 50);
    }
    // Rows of (column 0, column 1), data 100, 101, ...
    void Fill(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> rows) {
        int data = 100;
        for (const auto& [name, fax] : rows) {
            int i = list.InsertItem(data++, false);
            list.SetItemText(i, 0, name, false);
            list.SetItemText(i, 1, fax, false);
        }
    }
    std::vector<CMString> Column(int column) {
        std::vector<CMString> texts;
        CMString text;
        for (int i = 0; i < list.GetItemCount(); ++i) {
            list.GetItemText(i, column, text, 260);
            texts.push_back(text);
        }
        return texts;
    }
    std::vector<int> Selected() {
        std::vector<int> rows;
        for (int i = list.GetNextSelected(-1); i >= 0; i = list.GetNextSelected(i + 1)) rows.push_back(i);
        return rows;
    }
    void Select(std::initializer_list<int> rows) {
        list.ClearSelection();
        for (int row : rows) list.SetItemSelected(row, true);
    }

    ListDialog dialog{GetParam().templateId, GetParam().listId};
    ListViewUIControl list{static_cast<uint16_t>(GetParam().listId)};
};

INSTANTIATE_TEST_SUITE_P(BothKinds, ListViewWrapper,
                         testing::Values(ListKind{"OwnerData", IDD_MAIN, IDC_LIST},
                                         ListKind{"Plain", IDD_GROUP, IDC_GROUP_MEMBERS}),
                         [](const testing::TestParamInfo<ListKind>& kind) { return std::string(kind.param.name); });

TEST(ListViewWrapperIds, EachWrapperTakesTheNextSubjectId) {
    ListViewUIControl first(1), second(2);
    EXPECT_EQ(second.subjectId, first.subjectId + 1);
    EXPECT_EQ(first.GetColumnCount(), -1);  // not attached to a list yet
    EXPECT_EQ(first.GetNextSelected(-1), -1);
    EXPECT_EQ(first.InsertItem(1, false), -1);
}

TEST_P(ListViewWrapper, AttachingSetsItsStylesAndEmptiesTheList) {
    ListViewUIControl again(static_cast<uint16_t>(GetParam().listId));
    ListView_SetExtendedListViewStyle(dialog.List(), LVS_EX_CHECKBOXES | LVS_EX_GRIDLINES);
    Fill({{L"a", L"1"}, {L"b", L"2"}});
    again.AttachToDialog(dialog.Window());
    EXPECT_EQ(again.ListWindow(), dialog.List());
    EXPECT_EQ(ListView_GetExtendedListViewStyle(dialog.List()), DWORD(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT));
    EXPECT_EQ(again.GetItemCount(), 0);
    EXPECT_EQ(again.GetColumnCount(), 2);
}

TEST_P(ListViewWrapper, ColumnsAreSizedInPercentOfTheReferenceWidth) {
    ASSERT_GT(list.ReferenceWidth(), 0);
    EXPECT_EQ(list.GetColumnCount(), 2);
    EXPECT_EQ(ListView_GetColumnWidth(dialog.List(), 0), list.ReferenceWidth() / 2);
    EXPECT_EQ(ListView_GetColumnWidth(dialog.List(), 1), list.ReferenceWidth() / 2);
    list.InsertColumn(2, L"Organization", 25);
    EXPECT_EQ(ListView_GetColumnWidth(dialog.List(), 2), list.ReferenceWidth() * 25 / 100);
    // 0 per cent: as wide as the header text needs, like the control's own fit.
    list.InsertColumn(3, L"E-mail address", 0);
    const int fitted = ListView_GetColumnWidth(dialog.List(), 3);
    ListView_SetColumnWidth(dialog.List(), 3, LVSCW_AUTOSIZE_USEHEADER);
    EXPECT_EQ(fitted, ListView_GetColumnWidth(dialog.List(), 3));
    EXPECT_EQ(list.InsertedColumns(), 4);
    list.DeleteColumn(3);
    EXPECT_EQ(list.GetColumnCount(), 3);
}

TEST_P(ListViewWrapper, ItemsCarryDataAndTexts) {
    Fill({{L"adams", L"111"}, {L"Baker", L"222"}, {L"Clark", L"333"}});
    EXPECT_EQ(list.GetItemCount(), 3);
    EXPECT_EQ(list.GetItemData(1), 101);
    EXPECT_EQ(list.GetItemData(7), 0xFFFF);
    EXPECT_EQ(list.FindItemByData(102), 2);
    EXPECT_EQ(list.FindItemByData(99), -1);
    CMString text = L"stale";
    EXPECT_TRUE(list.GetItemText(1, 0, text, 4));  // at most 3 characters
    EXPECT_EQ(text, L"Bak");
    EXPECT_FALSE(list.GetItemText(9, 0, text, 50));
    EXPECT_EQ(text, L"");
}

TEST_P(ListViewWrapper, SelectionQueries) {
    Fill({{L"a", L""}, {L"b", L""}, {L"c", L""}, {L"d", L""}, {L"e", L""}});
    struct { std::initializer_list<int> selected; int start; int next; } cases[] = {
        {{0}, -1, 0}, {{0}, 0, 0}, {{0}, 1, -1}, {{2, 4}, 0, 2}, {{2, 4}, 3, 4}, {{2, 4}, 5, -1}, {{}, -1, -1},
    };
    for (const auto& c : cases) {
        Select(c.selected);
        EXPECT_EQ(list.GetNextSelected(c.start), c.next) << "start " << c.start;
    }
    Select({1, 3});
    EXPECT_EQ(list.ClearSelection(), 5);
    EXPECT_EQ(list.GetSelectedCount(), 0);
    EXPECT_EQ(ListView_GetNextItem(dialog.List(), -1, LVNI_FOCUSED), -1);
}

TEST_P(ListViewWrapper, DeletesSelectedItemsAndCopiesItemsToTheTopOfAnotherList) {
    Fill({{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}, {L"d", L"4"}, {L"e", L"5"}});
    ListDialog otherDialog{GetParam().templateId, GetParam().listId};
    ListViewUIControl other(static_cast<uint16_t>(GetParam().listId));
    other.AttachToDialog(otherDialog.Window());
    other.InsertColumn(0, L"Name", 50);
    other.InsertColumn(1, L"Fax number", 50);
    EXPECT_EQ(list.CopyItemTo(0, other), 0);
    EXPECT_EQ(list.CopyItemTo(3, other), 0);
    EXPECT_EQ(list.CopyItemTo(5, other), -1);
    CMString text;
    other.GetItemText(0, 1, text, 260);
    EXPECT_EQ(text, L"4");
    EXPECT_EQ(other.GetItemData(0), 103);
    EXPECT_EQ(other.GetItemData(1), 100);

    Select({1, 3});
    list.DeleteSelectedItems();
    EXPECT_EQ(Column(0), (std::vector<CMString>{L"a", L"c", L"e"}));
}

TEST(ListViewSortOrder, ComparesWithoutBracketsOrCaseOverFortyNineCharacters) {
    const CMString base(std::wstring(48, L'x'));
    struct { CMString first, second; int sign; } cases[] = {
        {L"adams", L"Baker", -1},
        {L"Baker", L"[Sales]", -1},
        {L"[Sales]", L"sales", 0},
        {L"Ad[a]ms", L"ADAMS", 0},
        {base + L"a" + L"1", base + L"A" + L"2", 0},  // differ only after 49 characters
        {base + L"a", base + L"b", -1},               // the 49th still counts
        {L"", L"a", -1},
    };
    for (const auto& c : cases) {
        const int r = ListViewUIControl::CompareTexts(c.first, c.second);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.first.ToUtf8() << " / " << c.second.ToUtf8();
        const int back = ListViewUIControl::CompareTexts(c.second, c.first);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign);
    }
}

TEST_P(ListViewWrapper, SortsByAColumnInEitherDirection) {
    Fill({{L"[Sales]", L""}, {L"adams", L"30"}, {L"Baker", L"10"}});
    struct { int column; bool descending; std::vector<CMString> names; } cases[] = {
        {0, false, {L"adams", L"Baker", L"[Sales]"}},
        {0, true, {L"[Sales]", L"Baker", L"adams"}},
        {1, false, {L"[Sales]", L"Baker", L"adams"}},
        {1, true, {L"adams", L"Baker", L"[Sales]"}},
    };
    for (const auto& c : cases) {
        list.SortItems(c.column, c.descending);
        EXPECT_EQ(Column(0), c.names) << "column " << c.column << (c.descending ? " descending" : " ascending");
    }
    // Data and selection travel with their rows, also when rows share their data.
    list.SortItems(0, true);
    list.SetItemSelected(list.FindItemByData(100), true);  // [Sales], now first
    list.SortItems(0, false);
    EXPECT_EQ(list.GetItemData(2), 100);
    EXPECT_EQ(Selected(), std::vector<int>{2});
    list.DeleteAllItems();
    const CMString names[] = {L"adams", L"Baker", L"[Sales]"};
    for (int i = 0; i < 3; ++i) list.InsertItem(i == 0 ? 101 : 7, &names[i], false);
    list.SortItems(0, true);
    EXPECT_EQ(Column(0), (std::vector<CMString>{L"[Sales]", L"Baker", L"adams"}));
    EXPECT_EQ(list.GetItemData(0), 7);
    EXPECT_EQ(list.GetItemData(1), 7);
    EXPECT_EQ(list.GetItemData(2), 101);
}

TEST_P(ListViewWrapper, DeletingAllRowsSendsNoNotificationPerRow) {
    list.SetRedraw(false);
    for (int i = 0; i < 200; ++i) list.InsertItem(i, false);
    list.SetRedraw(true);
    SetFocus(dialog.List());
    dialog.ResetCounts();
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
    // An owner-data list is emptied by its count, with no notification at all.
    EXPECT_EQ(dialog.Count(LVN_DELETEALLITEMS), list.IsOwnerData() ? 0 : 1);
    EXPECT_EQ(dialog.Count(LVN_DELETEITEM), 0);
    EXPECT_TRUE(IsWindowEnabled(dialog.List()));
    EXPECT_EQ(GetFocus(), dialog.List());

    // Unanswered, a plain list reports every row: the answer is what saves them.
    if (list.IsOwnerData()) return;
    dialog.Route(nullptr);
    list.SetRedraw(false);
    for (int i = 0; i < 20; ++i) list.InsertItem(i, false);
    dialog.ResetCounts();
    list.DeleteAllItems();
    EXPECT_EQ(dialog.Count(LVN_DELETEITEM), 20);
}

TEST_P(ListViewWrapper, NotificationsBecomeEventsForEveryObserver) {
    Fill({{L"a", L"1"}, {L"b", L"2"}});
    RecordingObserver once(list), twice(list);
    list.Attach(&once);
    list.Attach(&twice);
    list.Attach(&twice);

    list.SetItemSelected(1, true);
    ASSERT_EQ(once.seen.size(), 1u);
    EXPECT_EQ(once.seen[0].subjectId, list.subjectId);
    EXPECT_TRUE(once.seen[0].selection);
    EXPECT_FALSE(once.seen[0].doubleClick || once.seen[0].column);
    EXPECT_EQ(twice.seen.size(), 2u);

    // A double click below the rows: the event without a selection.
    once.seen.clear();
    list.ClearSelection();
    once.seen.clear();
    RECT client;
    GetClientRect(dialog.List(), &client);
    const LPARAM empty = MAKELPARAM(client.right / 2, client.bottom - 4);
    SendMessageW(dialog.List(), WM_LBUTTONDOWN, MK_LBUTTON, empty);
    SendMessageW(dialog.List(), WM_LBUTTONUP, 0, empty);
    SendMessageW(dialog.List(), WM_LBUTTONDBLCLK, MK_LBUTTON, empty);
    SendMessageW(dialog.List(), WM_LBUTTONUP, 0, empty);
    harness::PumpUntilIdle();
    ASSERT_FALSE(once.seen.empty());
    EXPECT_TRUE(once.seen.back().doubleClick);
    EXPECT_EQ(list.GetSelectedCount(), 0);

    // A click on the second column's header.
    once.seen.clear();
    HWND header = ListView_GetHeader(dialog.List());
    RECT item;
    Header_GetItemRect(header, 1, &item);
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(header, WM_LBUTTONUP, 0, at);
    harness::PumpUntilIdle();
    ASSERT_EQ(once.seen.size(), 1u);
    EXPECT_TRUE(once.seen[0].column);
    EXPECT_EQ(once.seen[0].clickedColumn, 1);
    EXPECT_FALSE(once.seen[0].selection || once.seen[0].doubleClick);
}

TEST_P(ListViewWrapper, OnlyThisListsNotificationsCount) {
    RecordingObserver observer(list);
    list.Attach(&observer);
    NMHDR click = {dialog.List(), IDC_LIST, static_cast<UINT>(NM_DBLCLK)};
    EXPECT_FALSE(list.OnNotify(WM_COMMAND, IDC_LIST, &click));
    NMHDR other = {GetDlgItem(dialog.Window(), IDC_HELP_BUTTON), IDC_HELP_BUTTON, static_cast<UINT>(NM_DBLCLK)};
    EXPECT_FALSE(list.OnNotify(WM_NOTIFY, IDC_HELP_BUTTON, &other));
    EXPECT_TRUE(observer.seen.empty());
    EXPECT_TRUE(list.OnNotify(WM_NOTIFY, IDC_LIST, &click));
    EXPECT_EQ(observer.seen.size(), 1u);
    // The flags describe the latest notification only.
    NMHDR focus = {dialog.List(), IDC_LIST, static_cast<UINT>(NM_SETFOCUS)};
    EXPECT_FALSE(list.OnNotify(WM_NOTIFY, IDC_LIST, &focus));
    EXPECT_FALSE(list.IsDoubleClickEvent());
}

// What the control itself answers, as a screen reader or another program asks it: a
// text lands in the asker's buffer (all a reader in another process gets), a search
// finds rows, typing a name's first letters moves the selection there.
TEST_P(ListViewWrapper, TheControlReadsFindsAndTypesAheadInTheRows) {
    Fill({{L"adams", L"111"}, {L"Baker", L"222"}, {L"[Sales]", L""}, {L"Bakery", L"333"}});
    struct { int row, column, room; const wchar_t* text; } reads[] = {
        {1, 1, 50, L"222"}, {2, 0, 50, L"[Sales]"}, {2, 1, 50, L""}, {3, 0, 4, L"Bak"},
    };
    for (const auto& r : reads) {
        wchar_t buffer[50] = L"#";
        ListView_GetItemText(dialog.List(), r.row, r.column, buffer, r.room);
        EXPECT_EQ(CMString(buffer), CMString(r.text)) << "row " << r.row << " column " << r.column;
    }
    struct { UINT flags; const wchar_t* text; LPARAM data; int found; } finds[] = {
        {LVFI_STRING, L"Baker", 0, 1}, {LVFI_STRING | LVFI_PARTIAL, L"Bake", 0, 1}, {LVFI_STRING, L"Bake", 0, -1},
        {LVFI_PARAM, nullptr, 103, 3}, {LVFI_PARAM, nullptr, 99, -1},
    };
    for (const auto& f : finds) {
        LVFINDINFOW find = {f.flags, f.text, f.data};
        EXPECT_EQ(ListView_FindItem(dialog.List(), -1, &find), f.found) << f.flags;
    }
    SetFocus(dialog.List());
    Select({0});
    for (wchar_t c : CMString(L"bakery").view()) SendMessageW(dialog.List(), WM_CHAR, c, 1);
    EXPECT_EQ(Selected(), std::vector<int>{3});
}

// Refills one after another: only the chosen row is selected and focused, the list at
// its top, whatever was selected or scrolled before.
TEST_P(ListViewWrapper, ARefillLeavesOnlyTheChosenRowSelectedAtTheTop) {
    struct { int rows; std::initializer_list<int> before; int chosen; std::vector<int> selected; } steps[] = {
        {30, {}, 0, {0}}, {30, {3, 7}, 0, {0}}, {40, {0, 1}, 2, {2}}, {5, {4}, -1, {}},
    };
    for (const auto& step : steps) {
        Select(step.before);
        ListView_EnsureVisible(dialog.List(), list.GetItemCount() - 1, FALSE);
        ListRows rows(static_cast<size_t>(step.rows), ListRow{step.rows, L"row", L"1"});
        list.SetRows(std::move(rows), step.chosen);
        EXPECT_EQ(Selected(), step.selected) << step.rows;
        EXPECT_EQ(ListView_GetNextItem(dialog.List(), -1, LVNI_FOCUSED), step.selected.empty() ? -1 : step.selected[0]);
        EXPECT_EQ(ListView_GetTopIndex(dialog.List()), 0);
        EXPECT_EQ(list.GetItemData(step.rows - 1), step.rows);
    }
}

}  // namespace
