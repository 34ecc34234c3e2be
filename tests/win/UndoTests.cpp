// Undo through the real windows and pbtool over real books: a merge of duplicates taken
// back with Ctrl+Z, a sync taken back from the File menu's item, and pbtool undo. The
// logs go to a settings folder of the test's own.
#include "GroupDialogFixture.h"
#include "PbtoolRun.h"

#include "dialogs/DuplicatesDlg.h"
#include "undo/UndoCommand.h"

namespace {

using namespace grouptest;
using pbtooltest::Contents;
using pbtooltest::Pbtool;
using pbtooltest::Q;

class Undo : public GroupFixture {
protected:
    void SetUp() override {
        testenv::UseLanguage(L"en-US");
        wchar_t old[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"APPDATA", old, MAX_PATH)) m_appData = old;
        const CMString settings = folder.File(L"settings");
        CreateDirectoryW(settings.c_str(), nullptr);
        SetEnvironmentVariableW(L"APPDATA", settings.c_str());
        book = folder.File(L"undo.mpb2");
        ASSERT_TRUE(testenv::MakeBook(book, L"mpb2"));
        Fill({{L"Anna Smith", L"+49 30 1234567"}, {L"A. Smith", L"0049 30 1234567"},
              {L"Smith office", L"+49 (0)30 123 45 67"}, {L"Bob Jones", L"+49 40 555555"}},
             {{L"Sales", {L"Anna Smith", L"Bob Jones"}}, {L"Support", {L"A. Smith"}},
              {L"Both", {L"Anna Smith", L"Smith office"}}});
    }
    void TearDown() override {
        GroupFixture::TearDown();
        SetEnvironmentVariableW(L"APPDATA", m_appData.IsEmpty() ? nullptr : m_appData.c_str());
    }

    // Ctrl+Z as the program's message loop turns it into a command: the real table.
    void PressCtrlZ() {
        BYTE keys[256] = {}, saved[256] = {};
        GetKeyboardState(saved);
        std::copy(std::begin(saved), std::end(saved), keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN));
        MSG msg = {hwnd, WM_KEYDOWN, 'Z', 0x002C0001};
        EXPECT_TRUE(TranslateAcceleratorW(hwnd, table, &msg));
        DestroyAcceleratorTable(table);
        SetKeyboardState(saved);
    }

    CMString m_appData;
};

TEST_F(Undo, MergeOfDuplicatesTakenBackWithCtrlZ) {
    const auto before = Contents(book);
    OpenMain();
    harness::ModalDriver merge;
    merge
        .Then(Inside([&](HWND dlg) {
            HWND list = GetDlgItem(dlg, IDC_DUP_LIST);
            for (int row = 0; row < ListView_GetItemCount(list); ++row) {
                wchar_t text[64] = {};
                ListView_GetItemText(list, row, 1, text, 64);
                if (CMString(text) == L"A. Smith")
                    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            }
            Press(dlg, IDC_DUP_MERGE);
        }))
        .ThenPress(IDOK);
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_DUPLICATES, 0);
    ASSERT_EQ(merge.Seen().size(), 2u);
    ASSERT_EQ(RowOf(MainList(), L"Anna Smith"), -1);
    ASSERT_NE(Contents(book), before);

    const undo::MenuItem item = undo::UndoMenuItem(&Model(), true);
    EXPECT_TRUE(item.enabled);
    EXPECT_EQ(item.text, CMString(L"&Undo merge of 3 entries\tCtrl+Z"));

    harness::ModalDriver question;
    question.ThenPress(IDOK);
    PressCtrlZ();
    ASSERT_EQ(question.Seen().size(), 1u);
    // Asked once, with the counts: two entries come back into their groups.
    EXPECT_NE(question.Seen()[0].text.Find(L"merge of 3 entries"), -1) << question.Seen()[0].text.ToUtf8();
    EXPECT_NE(question.Seen()[0].text.Find(L"2 entries come back"), -1) << question.Seen()[0].text.ToUtf8();
    EXPECT_EQ(Contents(book), before);
    // The list follows.
    EXPECT_GE(RowOf(MainList(), L"Anna Smith"), 0);
    EXPECT_GE(RowOf(MainList(), L"Smith office"), 0);
}

TEST_F(Undo, SyncTakenBackFromTheFileMenu) {
    const auto before = Contents(book);
    const CMString csv = folder.File(L"staff.csv");
    pbtooltest::WriteText(csv, "Anna Smith,+49 30 1234567,Acme\r\nBob Jones,+49 40 555555\r\nNew Person,+49 89 777\r\n");
    const auto sync = Pbtool(folder, L"sync " + Q(book) + L" " + Q(csv) + L" --allow-shrink");
    ASSERT_EQ(sync.code, 0) << sync.err;
    ASSERT_NE(Contents(book), before);

    OpenMain();
    const undo::MenuItem item = undo::UndoMenuItem(&Model(), true);
    EXPECT_TRUE(item.enabled);
    EXPECT_EQ(item.text, CMString(L"&Undo sync from staff.csv: 1 added, 1 updated, 2 removed\tCtrl+Z"));
    // A book open for reading only offers nothing.
    EXPECT_FALSE(undo::UndoMenuItem(&Model(), false).enabled);

    harness::ModalDriver question;
    question.ThenPress(IDOK);
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_UNDO, 0);  // the menu item's command
    ASSERT_EQ(question.Seen().size(), 1u);
    EXPECT_NE(question.Seen()[0].text.Find(L"2 entries come back, 1 changes are reverted, 1 added entries are removed"), -1)
        << question.Seen()[0].text.ToUtf8();
    EXPECT_EQ(Contents(book), before);
    EXPECT_EQ(RowOf(MainList(), L"New Person"), -1);
    EXPECT_GE(RowOf(MainList(), L"Smith office"), 0);
    // The step back is not offered again; the undo itself is in the log.
    EXPECT_EQ(undo::UndoMenuItem(&Model(), true).text.Find(L"sync from staff.csv"), -1);
}

TEST_F(Undo, PbtoolListsAndTakesBackWhatTheBookChangedSinceLeaves) {
    const CMString csv = folder.File(L"staff.csv");
    pbtooltest::WriteText(csv, "Anna Smith,+49 30 1234567,Acme\r\nBob Jones,+49 40 555555,Acme\r\n");
    const auto before = Contents(book);
    ASSERT_EQ(Pbtool(folder, L"import " + Q(book) + L" " + Q(csv) + L" --update").code, 0);
    const auto list = Pbtool(folder, L"undo " + Q(book) + L" --list");
    ASSERT_EQ(list.code, 0) << list.err;
    EXPECT_NE(list.out.find("update from staff.csv: 0 added, 2 updated"), std::string::npos) << list.out;

    // Bob edited since by hand: named, left, and the rest taken back.
    {
        PhonebookDB db;
        db.SetWideMode(true);
        db.SetCurrentFormat(true);
        ASSERT_TRUE(db.Open(book, 0, 0));
        EngineRecord r = db.NewEngineRecord();
        ASSERT_EQ(db.GetRecord(r, L"Bob Jones", L"+49 40 555555", pbabi::kNoId), 0);
        WriteFields(r, L"Bob Jones", L"+49 40 555555", L"Later", L"", L"", L"");
        int code = -1;
        db.ModifyRecord(r.Id(), r, code);
        ASSERT_EQ(code, 0);
    }
    // The newest change is the hand edit: the update is taken back by its number.
    const auto json = Pbtool(folder, L"undo " + Q(book) + L" --list --json");
    const size_t at = json.out.find("update from staff.csv");
    ASSERT_NE(at, std::string::npos) << json.out;
    const size_t idAt = json.out.rfind("\"id\":", at);
    const std::string id = json.out.substr(idAt + 5, json.out.find(',', idAt) - idAt - 5);
    const auto dry = Pbtool(folder, L"undo " + Q(book) + L" --dry-run --json --id " + CMString::FromUtf8(id));
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_NE(dry.out.find("\"reverted\":1"), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("{\"kind\":\"changed-since\",\"name\":\"Bob Jones\"}"), std::string::npos) << dry.out;
    const auto undo = Pbtool(folder, L"undo " + Q(book) + L" --id " + CMString::FromUtf8(id));
    ASSERT_EQ(undo.code, 0) << undo.err;
    const auto after = Contents(book);
    EXPECT_NE(std::find(after.begin(), after.end(), L"E|Anna Smith|+49 30 1234567||||0"), after.end());
    EXPECT_NE(std::find(after.begin(), after.end(), L"E|Bob Jones|+49 40 555555|Later|||0"), after.end());
    EXPECT_EQ(Pbtool(folder, L"undo " + Q(book) + L" --id 999").code, 1);
}

}  // namespace
