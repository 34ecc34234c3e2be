// The phone book model on the real list of the main dialog's template and the real
// engine: filling and searching, rows read back from the file, adding, changing,
// deleting and copying records, sorting and the second list.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "ListDialog.h"
#include "PrintCMString.h"
#include "data/CPhonebook.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/ListViewUIControl.h"

namespace {

bool OpenBook(PhonebookDB& db, const CMString& path, int mode = 0) {
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    return db.Open(path, 0, mode);
}

std::vector<CMString> Names(const RecordList& records) {
    std::vector<CMString> names;
    for (const auto& r : records) names.emplace_back(r->name);
    return names;
}

class PhonebookModel : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(testenv::MakeBook(path, L"mpb2"));
        dialog.Route(&list);
        list.AttachToDialog(dialog.Window());
        model.AttachMainList(&list);
        ASSERT_TRUE(OpenBook(model.Database(), path));
    }
    void Add(const wchar_t* name, const wchar_t* fax, const wchar_t* organization = L"", const wchar_t* mailbox = L"") {
        ASSERT_EQ(model.AddFromFields(name, fax, organization, L"555 1234", L"x@example.com", mailbox, false, false), 0)
            << CMString(name).ToUtf8();
    }
    // The usual book: two entries, a group, and an entry whose fax number cannot be shown.
    void AddUsual() {
        Add(L"Baker", L"222", L"Bakery", L"7");
        Add(L"adams", L"111");
        Add(L"Sales", L"");
        Add(L"Hidden", L"12x");
        model.Refresh(true);
    }
    std::vector<CMString> Rows(ListViewUIControl& of) {
        std::vector<CMString> texts;
        CMString text;
        for (int i = 0; i < of.GetItemCount(); ++i) {
            of.GetItemText(i, 0, text, 260);
            texts.push_back(text);
        }
        return texts;
    }
    int RowOf(const wchar_t* text) {
        auto rows = Rows(list);
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i] == text) return static_cast<int>(i);
        return -1;
    }
    void Select(std::initializer_list<int> rows) {
        list.ClearSelection();
        for (int row : rows) list.SetItemSelected(row, true);
    }
    // Windows the driver saw other than this dialog, which becomes active again after them.
    size_t Prompts(const harness::ModalDriver& driver) {
        size_t n = 0;
        for (const auto& seen : driver.Seen()) n += seen.window != dialog.Window();
        return n;
    }
    RecordList FileRecords(const CMString& file) {
        PhonebookDB db;
        RecordList records;
        if (OpenBook(db, file, 1)) db.Enumerate(records, true);
        return records;
    }

    testenv::TempFolder folder;
    CMString path = folder.File(L"main.mpb2");
    ListDialog dialog;
    ListViewUIControl list{IDC_LIST};
    CPhonebook model{dialog.Window()};
};

TEST_F(PhonebookModel, RefreshShowsTheBookInNameOrderWithTheFirstRowSelected) {
    AddUsual();
    EXPECT_EQ(Rows(list), (std::vector<CMString>{L"adams", L"Baker", L"[Sales]"}));
    EXPECT_EQ(model.GetSelectedRow(), 0);
    EXPECT_EQ(model.GetRowFax(1), L"222");
    EngineRecord record;
    ASSERT_EQ(model.GetRecordForRow(record, 1), 0);
    EXPECT_EQ(list.GetItemData(1), record.Id());
    // The record the list cannot show is still in the file.
    EXPECT_EQ(model.Database().GetRecord(record, L"Hidden", L"12x", 0xFFFF), 0);

    dialog.ResetCounts();
    model.SetSearchText(L"BAK");
    model.Refresh(true);
    EXPECT_EQ(Rows(list), std::vector<CMString>{L"Baker"});
    EXPECT_EQ(dialog.Count(LVN_DELETEITEM), 0);  // the rows went at once
    model.SetSearchText(L"");
    model.Refresh(false);
    EXPECT_EQ(Rows(list), (std::vector<CMString>{L"adams", L"Baker"}));
}

TEST_F(PhonebookModel, RowsReadTheirOtherFieldsFromTheFile) {
    AddUsual();
    const int baker = RowOf(L"Baker"), sales = RowOf(L"[Sales]");
    struct { int row, column; const wchar_t* text; } cases[] = {
        {baker, 0, L"Baker"}, {baker, 1, L"222"}, {baker, 2, L"Bakery"}, {baker, 3, L"555 1234"},
        {baker, 4, L"x@example.com"}, {baker, 5, L"7"}, {baker, 6, L""}, {sales, 1, L""}, {sales, 2, L""},
        {99, 0, L""}, {99, 2, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(model.GetRowText(c.row, c.column), c.text) << "row " << c.row << " column " << c.column;
    EXPECT_EQ(model.GetRowName(sales), L"Sales");
    EXPECT_TRUE(model.IsEntryRow(baker));
    EXPECT_FALSE(model.IsEntryRow(sales));
    EXPECT_FALSE(model.IsEntryRow(99));
}

// A row is a group by its kind, however its name reads, on either kind of list: the
// kind stays with its row through a copy and a sort. Only what the list shows puts a
// group's name in square brackets.
TEST(PhonebookGroupRows, AreGroupsByTheirKindNotTheirName) {
    struct { const wchar_t* name; bool group; const wchar_t* shown; } cases[] = {
        {L"Sales", true, L"[Sales]"}, {L"", true, L"[]"}, {L"[Sales]", false, L"[Sales]"}, {L"[Sales", false, L"[Sales"},
    };
    ListDialog ownerData, plain(IDD_GROUP, IDC_GROUP_MEMBERS);
    ListViewUIControl main(IDC_LIST), other(IDC_GROUP_MEMBERS);
    main.AttachToDialog(ownerData.Window());
    other.AttachToDialog(plain.Window());
    CPhonebook model(ownerData.Window());
    model.AttachMainList(&main);
    model.SetupColumns(other);
    model.SetOtherList(&other);
    ListRows rows;
    for (const auto& c : cases) rows.push_back({static_cast<int>(rows.size()), c.name, c.group ? L"" : L"1", c.group});
    main.SetRows(rows);
    model.CopyAllRows(main, other);
    other.SortItems(0, true);
    for (ListViewUIControl* list : {&main, &other}) {
        model.SetMainListActive(list == &main);
        for (int row = 0; row < list->GetItemCount(); ++row) {
            const auto& c = cases[list->GetItemData(row)];
            EXPECT_EQ(model.GetRowText(row, 0), c.shown);
            EXPECT_EQ(model.GetRowName(row), c.name) << CMString(c.shown).ToUtf8();
            EXPECT_EQ(model.IsEntryRow(row), !c.group) << CMString(c.shown).ToUtf8();
        }
    }
    model.SetOtherList(nullptr);
}

TEST_F(PhonebookModel, AddsFromFieldsIntoTheFileAndTheList) {
    AddUsual();
    struct { const wchar_t* name; const wchar_t* fax; int code; const wchar_t* row; } cases[] = {
        {L"   ", L"333", 1, nullptr},          // blank name: the engine is not asked
        {L"clark", L"333", 0, L"clark"},
        {L"Clark", L"333", 18, nullptr},       // same name and fax number
        {L"[Board]", L"", 0, L"[Board]"},     // no fax number: a group, stored without brackets
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.name).ToUtf8());
        const size_t before = FileRecords(path).size();
        EXPECT_EQ(model.AddFromFields(c.name, c.fax, L"", L"", L"", L"", false, true), c.code);
        EXPECT_EQ(FileRecords(path).size(), before + (c.code == 0));
        if (c.row) {
            EXPECT_GE(RowOf(c.row), 0);
        }
    }
    EXPECT_EQ(Rows(list), (std::vector<CMString>{L"adams", L"Baker", L"[Board]", L"clark", L"[Sales]"}));
    EngineRecord board;
    ASSERT_EQ(model.GetRecordForRow(board, RowOf(L"[Board]")), 0);
    EXPECT_EQ(board.Kind(), pbabi::kKindGroup);

    // A model without a list (the personal phone book's) stores the record all the same.
    const CMString personal = folder.File(L"personal.pb");
    ASSERT_TRUE(testenv::MakeBook(personal, L"pb"));
    CPhonebook listless(dialog.Window());
    ASSERT_TRUE(OpenBook(listless.Database(), personal));
    EXPECT_EQ(listless.AddFromFields(L"Dora", L"444", L"", L"", L"", L"", true, true), 0);
    listless.CloseFile();
    EXPECT_EQ(Names(FileRecords(personal)), std::vector<CMString>{L"Dora"});
}

TEST_F(PhonebookModel, ModifiesTheSelectedRecordAndComparesRowsExactly) {
    AddUsual();
    const int baker = RowOf(L"Baker");
    struct { const wchar_t* texts[6]; bool same; } cases[] = {
        {{L"Baker", L"222", L"Bakery", L"555 1234", L"x@example.com", L"7"}, true},
        {{L"baker", L"222", L"Bakery", L"555 1234", L"x@example.com", L"7"}, false},
        {{L"Baker", L"223", L"Bakery", L"555 1234", L"x@example.com", L"7"}, false},
        {{L"Baker", L"222", L"bakery", L"555 1234", L"x@example.com", L"7"}, false},
        {{L"Baker", L"222", L"Bakery", L"555 1235", L"x@example.com", L"7"}, false},
        {{L"Baker", L"222", L"Bakery", L"555 1234", L"X@example.com", L"7"}, false},
        {{L"Baker", L"222", L"Bakery", L"555 1234", L"x@example.com", L"8"}, false},
    };
    for (const auto& c : cases) {
        const auto& t = c.texts;
        EXPECT_EQ(model.IsSameAsRow(baker, t[0], t[1], t[2], t[3], t[4], t[5]), c.same) << CMString(t[0]).ToUtf8();
    }
    Select({baker, RowOf(L"adams")});
    EXPECT_FALSE(model.ModifySelected(L"Bakers", L"999", L"", L"", L"", L""));
    Select({baker});
    EXPECT_TRUE(model.ModifySelected(L"Bakers", L"999", L"Mill", L"", L"", L""));
    EXPECT_EQ(model.GetRowName(baker), L"Bakers");
    EXPECT_EQ(model.GetRowFax(baker), L"999");
    EXPECT_EQ(model.GetRowOrganization(baker), L"Mill");
    EXPECT_TRUE(model.IsSameAsRow(baker, L"Bakers", L"999", L"Mill", L"", L"", L""));
}

TEST_F(PhonebookModel, OldestFormatTextsAreStoredAndComparedAsTheFileHoldsThem) {
    const CMString old = folder.File(L"old.pb");
    ASSERT_TRUE(testenv::MakeBook(old, L"pb"));
    ASSERT_TRUE(OpenBook(model.Database(), old));
    ASSERT_FALSE(model.Database().IsWideMode());
    EXPECT_EQ(model.AddFromFields(L"M\u00fcller", L"111", L"Caf\u00e9", L"555", L"", L"0", false, true), 0);
    const int row = RowOf(L"M\u00fcller");
    ASSERT_GE(row, 0);
    EXPECT_EQ(model.GetRowOrganization(row), L"Caf\u00e9");
    EXPECT_EQ(model.GetRowMailbox(row), L"");  // "0" is stored empty
    EXPECT_TRUE(model.IsSameAsRow(row, L"M\u00fcller", L"111", L"Caf\u00e9", L"555", L"", L"0"));
    EXPECT_FALSE(model.IsSameAsRow(row, L"M\u00fcller", L"111", L"Cafe", L"555", L"", L"0"));
}

// A read-only book that another writer changes: the refilled list keeps the selected and
// focused records and the record at its top, wherever the change moved them.
TEST_F(PhonebookModel, FollowingAnotherWriterKeepsSelectionFocusAndScroll) {
    for (int i = 0; i < 40; ++i) Add(CMString::Formatted(L"Person %02d", i).c_str(), L"1");
    ASSERT_TRUE(OpenBook(model.Database(), path, 1));
    model.Refresh(true);
    HWND window = list.ListWindow();
    Select({20, 22});
    ListView_EnsureVisible(window, 39, FALSE);
    ListView_EnsureVisible(window, 15, FALSE);
    // Added before the top, after everything, before the top.
    int moved = 0;
    for (const auto& [added, shift] : {std::pair{L"Person 05a", 1}, std::pair{L"Person 99", 0}, std::pair{L"Aaron", 1}}) {
        PhonebookDB writer;
        ASSERT_TRUE(OpenBook(writer, path));
        RecordPtr r = MakeRecord();
        CopyField(r->name, CMString(added));
        CopyField(r->fax, CMString(L"2"));
        EngineRecord e = writer.NewEngineRecord();
        writer.ToEngineRecord(*r, e);
        ASSERT_EQ(writer.AddRecord(e, false), 0);
        moved += shift;
        ASSERT_TRUE(model.FollowOtherWriters());
        EXPECT_EQ(list.GetNextSelected(0), 20 + moved);
        EXPECT_EQ(list.GetNextSelected(21 + moved), 22 + moved);
        EXPECT_EQ(ListView_GetNextItem(window, -1, LVNI_FOCUSED), 22 + moved);
        EXPECT_EQ(ListView_GetTopIndex(window), 15 + moved);
    }
}

TEST_F(PhonebookModel, SelectionOfTheActiveList) {
    AddUsual();
    struct { std::initializer_list<int> selected; int row; } cases[] = {{{}, -1}, {{1}, 1}, {{0, 2}, -1}};
    for (const auto& c : cases) {
        Select(c.selected);
        EXPECT_EQ(model.GetSelectedRow(), c.row);
    }
    model.SelectRow(2);
    EXPECT_EQ(model.GetSelectedRow(), 2);
    model.SelectRow(99);
    EXPECT_EQ(model.GetSelectedCount(), 0);
}

TEST_F(PhonebookModel, DeletesSelectedRowsFromTheBottomAfterOneConfirmation) {
    Add(L"A", L"1");
    Add(L"B", L"2");
    Add(L"C", L"3");
    Add(L"D", L"4");
    Add(L"E", L"5");
    model.Refresh(true);
    // B's record goes behind the model's back: its row is not found, so it stays.
    EngineRecord b;
    ASSERT_EQ(model.GetRecordForRow(b, 1), 0);
    ASSERT_EQ(model.Database().RemoveRecord(b.Id()), 0);

    struct { std::initializer_list<int> selected; int press; std::vector<CMString> rows; } cases[] = {
        {{0, 1, 3}, IDCANCEL, {L"A", L"B", L"C", L"D", L"E"}},
        {{0, 1, 3, 4}, IDOK, {L"B", L"C"}},
    };
    for (const auto& c : cases) {
        Select(c.selected);
        harness::ModalDriver driver;
        driver.ThenPress(c.press);
        model.DeleteSelected();
        EXPECT_EQ(Prompts(driver), 1u);
        EXPECT_EQ(Rows(list), c.rows);
        EXPECT_EQ(model.GetSelectedCount(), 0);
    }
    EXPECT_EQ(Names(FileRecords(path)), std::vector<CMString>{L"C"});
}

TEST_F(PhonebookModel, CopiesSelectedEntriesIntoAnotherFileAndReopensTheSourceReadOnly) {
    AddUsual();
    struct { const wchar_t* file; const wchar_t* format; } targets[] = {{L"copy.mpb2", L"mpb2"}, {L"copy.pb", L"pb"}};
    for (const auto& t : targets) {
        SCOPED_TRACE(CMString(t.file).ToUtf8());
        const CMString target = folder.File(t.file);
        ASSERT_TRUE(testenv::MakeBook(target, t.format));
        Select({0, 1, 2});  // adams, Baker and the group
        harness::ModalDriver driver;
        model.CopySelectedTo(path, target);
        EXPECT_EQ(Prompts(driver), 0u);
        EXPECT_TRUE(model.HasOpenFile());
        EXPECT_TRUE(model.Database().IsReadOnly());
        EXPECT_EQ(model.Database().GetPath(), path);
        const RecordList copied = FileRecords(target);
        ASSERT_EQ(Names(copied), (std::vector<CMString>{L"adams", L"Baker"}));
        EXPECT_EQ(CMString(copied[1]->organization), L"Bakery");
        EXPECT_EQ(copied[1]->mailbox, 7u);
    }
    // A target that cannot be opened is reported once, whatever the number of records.
    Select({0, 1});
    harness::ModalDriver driver;
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    model.CopySelectedTo(path, folder.File(L"missing\\copy.mpb2"));
    EXPECT_EQ(Prompts(driver), 1u);
    EXPECT_TRUE(model.Database().IsReadOnly());
    EXPECT_EQ(model.Database().GetPath(), path);
}

TEST_F(PhonebookModel, ToggleSortAlternatesPerColumnAndList) {
    AddUsual();
    struct { int column; bool next; std::vector<CMString> rows; } cases[] = {
        {0, true, {L"adams", L"Baker", L"[Sales]"}},
        {0, false, {L"[Sales]", L"Baker", L"adams"}},
        {1, true, {L"[Sales]", L"adams", L"Baker"}},
        {0, true, {L"adams", L"Baker", L"[Sales]"}},
        {1, false, {L"Baker", L"adams", L"[Sales]"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(model.ToggleSort(c.column), c.next) << "column " << c.column;
        EXPECT_EQ(Rows(list), c.rows);
    }
    EXPECT_FALSE(model.ToggleSort(6));

    // The other list keeps directions of its own.
    ListDialog otherDialog;
    ListViewUIControl other(IDC_LIST);
    other.AttachToDialog(otherDialog.Window());
    model.SetupColumns(other);
    model.SetOtherList(&other);
    model.FillList(false);
    EXPECT_FALSE(model.IsMainListActive());
    EXPECT_TRUE(model.ToggleSort(0));
    model.SetOtherList(nullptr);
}

TEST_F(PhonebookModel, TheOtherListShowsRecordsAndTakesCopiedRows) {
    AddUsual();
    ListDialog otherDialog;
    ListViewUIControl other(IDC_LIST);
    other.AttachToDialog(otherDialog.Window());
    model.SetupColumns(other);
    model.SetOtherList(&other);
    model.Records().clear();
    model.Database().Enumerate(model.Records(), false);
    model.FillList(false);
    EXPECT_EQ(Rows(other), (std::vector<CMString>{L"adams", L"Baker"}));
    EXPECT_EQ(model.GetSelectedRow(), 0);

    EXPECT_EQ(model.CopyAllRows(list, other), 3);
    EXPECT_EQ(Rows(other), (std::vector<CMString>{L"adams", L"Baker", L"[Sales]", L"adams", L"Baker"}));
    const int adams = list.GetItemData(0);
    EXPECT_TRUE(model.ListContainsId(static_cast<uint16_t>(adams), other));
    EXPECT_FALSE(model.ListContainsId(0x7FFE, other));
    // Ids of 0x8000 and above are found as they are.
    other.InsertItem(0x8001, false);
    EXPECT_TRUE(model.ListContainsId(0x8001, other));
    EXPECT_FALSE(model.ListContainsId(0x7FFF, other));
    model.SetOtherList(nullptr);
}

TEST_F(PhonebookModel, LoadsTheGroupOfARowAsTheCurrentRecord) {
    AddUsual();
    model.SetMainListActive(true);
    const int sales = RowOf(L"[Sales]");
    EngineRecord group;
    ASSERT_EQ(model.GetRecordForRow(group, sales), 0);
    ASSERT_TRUE(model.Database().AddGroupMember(group.Id(), L"Baker", L"222"));
    ASSERT_TRUE(model.LoadGroupForRow(sales));
    EXPECT_EQ(model.Database().CurrentRecord().Id(), group.Id());
    EXPECT_EQ(model.Database().CurrentRecord().MemberCount(), 1);
    EXPECT_FALSE(model.LoadGroupForRow(RowOf(L"Baker")));
    EXPECT_FALSE(model.LoadGroupForRow(99));
    EXPECT_TRUE(model.Database().CurrentRecord());
    EXPECT_EQ(model.Database().CurrentRecord().MemberCount(), 0);
}

TEST_F(PhonebookModel, ListsEndWithTheTwoColumnsAndCloseEmptiesThem) {
    ListDialog otherDialog;
    ListViewUIControl other(IDC_LIST);
    other.AttachToDialog(otherDialog.Window());
    for (int columns : {1, 3}) {
        for (int i = other.GetColumnCount() - 1; i >= 0; --i) other.DeleteColumn(i);
        for (int i = 0; i < columns; ++i) other.InsertColumn(i, L"old", 10);
        model.AttachMainList(&other);
        ASSERT_EQ(other.GetColumnCount(), 2) << columns << " columns before";
        wchar_t title[32] = {};
        LVCOLUMNW column = {LVCF_TEXT};
        column.pszText = title;
        column.cchTextMax = 32;
        ListView_GetColumn(other.ListWindow(), 1, &column);
        EXPECT_STREQ(title, L"Fax number");
    }
    model.AttachMainList(&list);
    AddUsual();
    model.SetOtherList(&other);
    other.InsertItem(1, false);
    model.CloseFile();
    EXPECT_FALSE(model.HasOpenFile());
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_EQ(other.GetItemCount(), 0);
}

}  // namespace
