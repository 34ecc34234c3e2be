// Entries sharing one fax line, through the real windows over a real phone book: the
// Duplicates dialog merging a set in one commit, and the notes of the entry and group
// dialogs. The numbers carry their country code, so no home country is needed.
#include "GroupDialogFixture.h"

#include "dialogs/DuplicatesDlg.h"
#include "numbers/HomeCountry.h"

namespace {

using namespace grouptest;

class Duplicates : public GroupFixture {
protected:
    void SetUp() override {
        testenv::UseLanguage(L"en-US");
        book = folder.File(L"lines.mpb2");
        ASSERT_TRUE(testenv::MakeBook(book, L"mpb2"));
        Fill({{L"Anna Smith", L"+49 30 1234567"}, {L"A. Smith", L"0049 30 1234567"},
              {L"Smith office", L"+49 (0)30 123 45 67"}, {L"Bob Jones", L"+49 40 555555"}},
             {{L"Sales", {L"Anna Smith", L"Bob Jones"}}, {L"Support", {L"A. Smith"}},
              {L"Both", {L"Anna Smith", L"Smith office"}}});
    }

    Names StoredEntries() {
        Names names;
        PhonebookDB db;
        db.SetWideMode(true);
        db.SetCurrentFormat(true);
        if (!db.Open(book, 0, 1)) return names;
        RecordList all;
        db.SetSearchText(CMString());
        db.Enumerate(all, false);
        for (const auto& r : all) names.push_back(CMString(r->name));
        std::sort(names.begin(), names.end());
        return names;
    }
};

int RowNamed(HWND list, const wchar_t* name) {
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        wchar_t text[64] = {};
        ListView_GetItemText(list, row, 1, text, 64);
        if (CMString(text) == name) return row;
    }
    return -1;
}

// The status as the dialog words it, with the note about national numbers where the
// region gives no country.
CMString Status(const CMString& text) {
    return HomeCountry() ? text : text + L" " + app::Text(IDS_DUP_NO_HOME);
}

TEST_F(Duplicates, MergeKeepsTheSelectedEntryWithEveryGroupInOneCommit) {
    OpenMain();
    uint64_t before = 0, after = 0;
    ASSERT_TRUE(Model().Database().GetChangeCount(before));
    struct {
        int rows = 0;
        CMString line, status, statusAfter;
        bool mergeAfter = true;
    } seen;
    harness::ModalDriver driver;
    driver
        .Then(Inside([&](HWND dlg) {
            HWND list = GetDlgItem(dlg, IDC_DUP_LIST);
            seen.rows = ListView_GetItemCount(list);
            wchar_t line[32] = {};
            ListView_GetItemText(list, 0, 0, line, 32);
            seen.line = line;
            seen.status = harness::ItemText(dlg, IDC_DUP_STATUS);
            const int keep = RowNamed(list, L"A. Smith");
            ASSERT_GE(keep, 0);
            ListView_SetItemState(list, keep, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            Press(dlg, IDC_DUP_MERGE);
            seen.statusAfter = harness::ItemText(dlg, IDC_DUP_STATUS);
            seen.mergeAfter = harness::IsItemEnabled(dlg, IDC_DUP_MERGE);
        }))
        .ThenPress(IDOK);  // the question before anything is removed
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_DUPLICATES, 0);
    ASSERT_EQ(driver.Seen().size(), 2u);

    EXPECT_EQ(seen.rows, 3);
    EXPECT_EQ(seen.line, L"+49301234567");
    EXPECT_EQ(seen.status, Status(CMString::Formatted(app::Text(IDS_DUP_SOME).c_str(), 1u)));
    EXPECT_NE(driver.Seen()[1].text.Find(L"A. Smith"), -1) << driver.Seen()[1].text.ToUtf8();
    EXPECT_EQ(seen.statusAfter, Status(app::Text(IDS_DUP_NONE)));
    EXPECT_FALSE(seen.mergeAfter);

    EXPECT_EQ(StoredEntries(), (Names{L"A. Smith", L"Bob Jones"}));
    auto groups = StoredGroups(book);
    EXPECT_EQ(groups[L"Sales"], (Names{L"A. Smith", L"Bob Jones"}));
    EXPECT_EQ(groups[L"Support"], (Names{L"A. Smith"}));
    EXPECT_EQ(groups[L"Both"], (Names{L"A. Smith"}));
    ASSERT_TRUE(Model().Database().GetChangeCount(after));
    EXPECT_EQ(after, before + 1);
    // The main window shows the book as it is now.
    EXPECT_EQ(RowOf(MainList(), L"Anna Smith"), -1);
    EXPECT_GE(RowOf(MainList(), L"A. Smith"), 0);
}

TEST_F(Duplicates, EntryAndGroupDialogsNameWhoSharesTheLine) {
    OpenMain();
    CMString entryNote, typedNote, groupNote;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        entryNote = harness::ItemText(dlg, IDC_ENTRY_SAME_LINE);
        Replace(dlg, IDC_ENTRY_FAX, L"+49 30 123 45 67");
        typedNote = harness::ItemText(dlg, IDC_ENTRY_SAME_LINE);
    }));
    Select(MainList(), {L"Bob Jones"});
    EditSelected();
    driver.Then(Inside([&](HWND dlg) { groupNote = harness::ItemText(dlg, IDC_GROUP_SAME_LINE); }));
    EditGroup(L"[Both]");
    ASSERT_EQ(driver.Seen().size(), 2u);

    EXPECT_EQ(entryNote, L"");
    EXPECT_EQ(typedNote, CMString::Formatted(app::Text(IDS_ENTRY_SAME_LINE).c_str(), L"Anna Smith, A. Smith, Smith office"));
    EXPECT_EQ(groupNote, CMString::Formatted(app::Text(IDS_GROUP_SAME_LINE).c_str(), L"Anna Smith, Smith office"));
}

}  // namespace
