// The group dialog opened from the main window over a real phone book: its start
// state, the name rule and filter, removing members, and what OK and Cancel leave in
// the file.
#include "GroupDialogFixture.h"

#include "dialogs/MEdit.h"
#include "dialogs/core/GroupName.h"

namespace {

using namespace grouptest;

class GroupDialog : public GroupFixture {};

int g_beeps = 0;

// Counts the name filter's beeps while it lives.
class BeepCounter {
public:
    BeepCounter() : m_previous(MEdit::SetBeep([] { ++g_beeps; })) { g_beeps = 0; }
    ~BeepCounter() { MEdit::SetBeep(m_previous); }

private:
    MEdit::BeepFunction m_previous;
};

TEST_F(GroupDialog, NewGroupStartsWithTheSelectedEntriesInReverseOrder) {
    OpenMain();
    Select(MainList(), {L"Anna Smith", L"Carl Smith", L"[Support]", L"Dora Brown"});
    struct {
        CMString caption, name, label, ok, cancel, add, remove;
        bool okEnabled = true, okAfterName = false, membersAreOtherList = false, addEnabled = false;
        bool removeEnabled = true;
        int limit = 0;
        Names members;
    } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        CPhonebookGroupDlg* group = GroupDlgOf(dlg);
        ASSERT_NE(group, nullptr);
        seen.caption = harness::WindowText(dlg);
        seen.name = harness::ItemText(dlg, IDC_GROUP_NAME);
        seen.label = harness::ItemText(dlg, IDC_GROUP_NAME_LABEL);
        seen.ok = harness::ItemText(dlg, IDOK);
        seen.cancel = harness::ItemText(dlg, IDCANCEL);
        seen.add = harness::ItemText(dlg, IDC_MEMBER_ADD);
        seen.remove = harness::ItemText(dlg, IDC_MEMBER_REMOVE);
        seen.okEnabled = harness::IsItemEnabled(dlg, IDOK);
        seen.addEnabled = harness::IsItemEnabled(dlg, IDC_MEMBER_ADD);
        seen.removeEnabled = harness::IsItemEnabled(dlg, IDC_MEMBER_REMOVE);
        seen.limit = static_cast<int>(SendDlgItemMessageW(dlg, IDC_GROUP_NAME, EM_GETLIMITTEXT, 0, 0));
        seen.members = Rows(*group->MemberList());
        seen.membersAreOtherList = Model().OtherList() == group->MemberList() && !Model().IsMainListActive();
        Replace(dlg, IDC_GROUP_NAME, L"Team");
        seen.okAfterName = harness::IsItemEnabled(dlg, IDOK);
        Press(dlg, IDOK);
    }));
    NewGroup();
    ASSERT_EQ(driver.Seen().size(), 1u);

    EXPECT_EQ(seen.caption, app::Text(IDS_TIP_NEW_GROUP));
    EXPECT_EQ(seen.name, app::Text(IDS_REQUIRED));
    EXPECT_EQ(seen.label, app::Text(IDS_LABEL_GROUP_NAME));
    EXPECT_EQ(seen.ok, app::Text(IDS_OK));
    EXPECT_EQ(seen.cancel, app::Text(IDS_CANCEL));
    EXPECT_EQ(seen.add, app::Text(IDS_ADD_MEMBERS));
    EXPECT_EQ(seen.remove, app::Text(IDS_REMOVE_MEMBERS));
    EXPECT_FALSE(seen.okEnabled);
    EXPECT_TRUE(seen.addEnabled);
    EXPECT_FALSE(seen.removeEnabled);
    EXPECT_EQ(seen.limit, kGroupNameLimit);
    EXPECT_EQ(seen.members, (Names{L"Dora Brown", L"Carl Smith", L"Anna Smith"}));
    EXPECT_TRUE(seen.membersAreOtherList);
    EXPECT_TRUE(seen.okAfterName);

    auto groups = StoredGroups(book);
    EXPECT_EQ(groups[L"Team"], (Names{L"Anna Smith", L"Carl Smith", L"Dora Brown"}));
    EXPECT_EQ(groups.size(), 3u);
    // The main window has its list back, refreshed with the new group.
    EXPECT_GE(RowOf(MainList(), L"[Team]"), 0);
    EXPECT_EQ(Model().MainList(), main->List());
    EXPECT_EQ(Model().OtherList(), nullptr);
    EXPECT_TRUE(Model().IsMainListActive());
}

TEST_F(GroupDialog, NameRuleAndFilter) {
    OpenMain();
    Select(MainList(), {});
    BeepCounter beeps;
    struct { const wchar_t* text; bool typed; const wchar_t* shown; bool ok; int beeps; } cases[] = {
        {L"", false, L"", false, 0},
        {L"   ", false, L"   ", false, 0},
        {L"(REQUIRED)", false, L"(REQUIRED)", false, 0},
        {L"(required) 2", false, L"(required) 2", true, 0},
        {L"Key accounts", false, L"Key accounts", true, 0},
        {L"[Key] |acc", true, L"Key acc", true, 3},
        {L"[]|", true, L"", false, 3},
    };
    struct Result { CMString shown; bool ok; int beeps; };
    std::vector<Result> results;
    CMString cleaned;
    int pasteBeeps = 0;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        for (const auto& c : cases) {
            g_beeps = 0;
            // Typed ones into an emptied field, key by key.
            SetDlgItemTextW(dlg, IDC_GROUP_NAME, c.typed ? L"" : c.text);
            if (c.typed) Type(dlg, IDC_GROUP_NAME, c.text);
            results.push_back({harness::ItemText(dlg, IDC_GROUP_NAME), harness::IsItemEnabled(dlg, IDOK), g_beeps});
        }
        // Pasted text is cleaned when the field loses the focus.
        SetFocus(GetDlgItem(dlg, IDC_GROUP_NAME));
        SendDlgItemMessageW(dlg, IDC_GROUP_NAME, EM_SETSEL, 0, -1);
        SendDlgItemMessageW(dlg, IDC_GROUP_NAME, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"a|b[c]"));
        g_beeps = 0;
        SetFocus(GetDlgItem(dlg, IDC_GROUP_MEMBERS));
        cleaned = harness::ItemText(dlg, IDC_GROUP_NAME);
        pasteBeeps = g_beeps;
        Press(dlg, IDCANCEL);
    }));
    NewGroup();
    ASSERT_EQ(results.size(), std::size(cases));
    for (size_t i = 0; i < results.size(); ++i) {
        SCOPED_TRACE(CMString(cases[i].text).ToUtf8());
        EXPECT_EQ(results[i].shown, CMString(cases[i].shown));
        EXPECT_EQ(results[i].ok, cases[i].ok);
        EXPECT_EQ(results[i].beeps, cases[i].beeps);
    }
    EXPECT_EQ(cleaned, CMString(L"abc"));
    EXPECT_EQ(pasteBeeps, 1);
    // Cancel wrote nothing.
    EXPECT_EQ(StoredGroups(book).size(), 2u);
}

// An OK command that arrives while the button is disabled still refuses a name that
// names no group, and stays on the field.
TEST_F(GroupDialog, OkRefusesNamesThatNameNoGroup) {
    OpenMain();
    Select(MainList(), {L"Bob Jones"});
    const wchar_t* names[] = {L"", L"   ", L"(Required)", L"[]"};
    std::vector<bool> stayed;
    bool focusOnName = false;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        for (const wchar_t* name : names) {
            SetDlgItemTextW(dlg, IDC_GROUP_NAME, name);
            Press(dlg, IDOK);
            stayed.push_back(IsWindowVisible(dlg) != FALSE);
        }
        focusOnName = GetFocus() == GetDlgItem(dlg, IDC_GROUP_NAME);
    }));
    for (size_t i = 0; i < std::size(names); ++i) driver.ThenPress(IDOK);
    NewGroup();
    ASSERT_EQ(driver.Seen().size(), 1 + std::size(names));
    for (size_t i = 1; i < driver.Seen().size(); ++i) {
        EXPECT_EQ(driver.Seen()[i].caption, app::Text(IDS_MISSING_CAPTION));
        EXPECT_EQ(driver.Seen()[i].text, app::Text(IDS_GROUP_NAME_MISSING));
    }
    EXPECT_EQ(stayed, std::vector<bool>(std::size(names), true));
    EXPECT_TRUE(focusOnName);
    EXPECT_EQ(StoredGroups(book).size(), 2u);
}

TEST_F(GroupDialog, EditRemovesMembersAndRenames) {
    OpenMain();
    struct {
        CMString caption, name;
        bool okEnabled = false, removeAfter = true;
        Names members, left;
    } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        ListViewUIControl& members = *GroupDlgOf(dlg)->MemberList();
        seen.caption = harness::WindowText(dlg);
        seen.name = harness::ItemText(dlg, IDC_GROUP_NAME);
        seen.okEnabled = harness::IsItemEnabled(dlg, IDOK);
        seen.members = Rows(members);
        Select(members, {L"Bob Jones"});
        Press(dlg, IDC_MEMBER_REMOVE);
        seen.left = Rows(members);
        seen.removeAfter = harness::IsItemEnabled(dlg, IDC_MEMBER_REMOVE);
        // As pasted, with the focus still in the field (Enter): OK cleans it first.
        SetDlgItemTextW(dlg, IDC_GROUP_NAME, L"Key |accounts");
        Press(dlg, IDOK);
    }));
    EditGroup(L"[Sales]");
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(seen.caption, app::Text(IDS_GROUP_TITLE));
    EXPECT_EQ(seen.name, CMString(L"Sales"));
    EXPECT_TRUE(seen.okEnabled);
    EXPECT_EQ(seen.members, (Names{L"Anna Smith", L"Bob Jones", L"Carl Smith"}));
    EXPECT_EQ(seen.left, (Names{L"Anna Smith", L"Carl Smith"}));
    EXPECT_FALSE(seen.removeAfter);

    auto groups = StoredGroups(book);
    EXPECT_EQ(groups.count(L"Sales"), 0u);
    EXPECT_EQ(groups[L"Key accounts"], (Names{L"Anna Smith", L"Carl Smith"}));
    EXPECT_EQ(groups[L"Support"], Names{});
    EXPECT_GE(RowOf(MainList(), L"[Key accounts]"), 0);
}

// Adds and removes entries in one batch until the engine's ids reach `below`: a new
// record gets an id above the highest in use, so the last one added stays.
void RaiseIds(const CMString& path, uint16_t below) {
    PhonebookDB db;
    ASSERT_TRUE(db.Open(path, 0, 0));
    ChangeBatch batch(db);
    EngineRecord e = db.NewEngineRecord();
    for (uint16_t last = 0, step = 0; last < below; ++step) {
        e.Clear();
        e.SetKind(pbabi::kKindEntry);
        WriteFields(e, step % 2 ? L"Odd" : L"Even", L"1", {}, {}, {}, {});
        ASSERT_EQ(db.AddRecord(e, false), 0);
        ASSERT_TRUE(last == 0 || db.RemoveRecord(last) == 0);
        last = e.Id();
    }
    ASSERT_TRUE(batch.End());
}

// Rows know their records' kind however the names read, and ids past 0x7FFF are one
// value from the file to the list: a group named to the engine's full 31 characters
// (more than the dialog takes) and an entry named like a group are found, opened in
// the dialog of their kind and deleted from the main list.
TEST_F(GroupDialog, RowsOpenAndDeleteByTheirRecordsKind) {
    const CMString group = L"Regional sales and key accounts";
    book = folder.File(L"high.mpb2");
    ASSERT_TRUE(testenv::MakeBook(book, L"mpb2"));
    RaiseIds(book, 0x8000);
    Fill({{L"[x]", L"0302"}}, {{group.c_str(), {L"[x]"}}});
    RecordList stored;
    {
        PhonebookDB db;
        ASSERT_TRUE(db.Open(book, 0, 1));
        db.Enumerate(stored, true);
    }
    OpenMain();
    struct { CMString name; bool entry; unsigned title; CMString question; } cases[] = {
        {group, false, IDS_GROUP_TITLE, CMString::Formatted(app::Text(IDS_DELETE_GROUP).c_str(), group.c_str())},
        {L"[x]", true, IDS_ENTRY_TITLE, CMString::Formatted(app::Text(IDS_DELETE_ENTRY).c_str(), L"[x]", L"0302")},
    };
    for (const auto& c : cases) {
        const CMString shown = c.entry ? c.name : L"[" + c.name + L"]";
        SCOPED_TRACE(shown.ToUtf8());
        const int row = RowOf(MainList(), shown.c_str());
        ASSERT_GE(row, 0);
        EXPECT_EQ(Model().GetRowName(row), c.name);
        EXPECT_EQ(Model().IsEntryRow(row), c.entry);
        auto r = std::find_if(stored.begin(), stored.end(), [&](const RecordPtr& s) { return c.name == CMString(s->name); });
        ASSERT_NE(r, stored.end());
        EXPECT_GE((*r)->id, 0x8000);
        EXPECT_EQ(MainList().FindItemByData((*r)->id), row);
        EXPECT_TRUE(Model().ListContainsId((*r)->id, MainList()));

        CMString title, name;
        harness::ModalDriver open;
        open.Then(Inside([&](HWND dlg) {
            title = harness::WindowText(dlg);
            name = harness::ItemText(dlg, c.entry ? IDC_ENTRY_NAME : IDC_GROUP_NAME);
        }));
        Select(MainList(), {shown.c_str()});
        EditSelected();
        EXPECT_EQ(title, app::Text(c.title));
        EXPECT_EQ(name, c.name);

        harness::ModalDriver confirm;
        confirm.ThenPress(IDOK);
        Select(MainList(), {shown.c_str()});
        SendMessageW(hwnd, WM_COMMAND, ID_DELETE_ENTRY, 0);
        ASSERT_EQ(confirm.Seen().size(), 1u);
        EXPECT_EQ(confirm.Seen()[0].text, c.question);
        EXPECT_EQ(RowOf(MainList(), shown.c_str()), -1);
    }
}

// A member whose fax number holds a character the lists do not show never appears,
// so the user cannot have taken it out: OK keeps it in the group.
TEST_F(GroupDialog, MembersTheListCannotShowStayInTheGroup) {
    Fill({{L"Eve Hidden", L"0305 ext 5"}}, {});
    Fill({}, {{L"Night shift", {L"Dora Brown", L"Eve Hidden"}}});
    OpenMain();
    Names shown;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        ListViewUIControl& members = *GroupDlgOf(dlg)->MemberList();
        shown = Rows(members);
        Select(members, {L"Dora Brown"});
        Press(dlg, IDC_MEMBER_REMOVE);
        Press(dlg, IDOK);
    }));
    EditGroup(L"[Night shift]");
    EXPECT_EQ(shown, Names{L"Dora Brown"});
    EXPECT_EQ(StoredGroups(book)[L"Night shift"], Names{L"Eve Hidden"});
}

TEST_F(GroupDialog, EmptyGroupGetsItsFirstMembersThroughThePicker) {
    OpenMain();
    Names listed;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              Press(dlg, IDC_MEMBER_ADD);
              listed = Rows(*GroupDlgOf(dlg)->MemberList());
              Press(dlg, IDOK);
          }))
        .Then(Inside([&](HWND picker) {
            Select(*PickerOf(picker)->Candidates(), {L"Dora Brown", L"Bob Jones"});
            Press(picker, IDC_MEMBER_ADD);
            Press(picker, IDOK);
        }));
    EditGroup(L"[Support]");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(listed, (Names{L"Dora Brown", L"Bob Jones"}));
    EXPECT_EQ(StoredGroups(book)[L"Support"], (Names{L"Bob Jones", L"Dora Brown"}));
}

TEST_F(GroupDialog, CancelWritesNothing) {
    OpenMain();
    Names membersAfterPicker;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              ListViewUIControl& members = *GroupDlgOf(dlg)->MemberList();
              Select(members, {L"Anna Smith"});
              Press(dlg, IDC_MEMBER_REMOVE);
              Replace(dlg, IDC_GROUP_NAME, L"Renamed");
              Press(dlg, IDC_MEMBER_ADD);
              membersAfterPicker = Rows(members);
              Press(dlg, IDCANCEL);
          }))
        .Then(Inside([&](HWND picker) {
            Select(*PickerOf(picker)->Candidates(), {L"Dora Brown"});
            Press(picker, IDC_MEMBER_ADD);
            Press(picker, IDOK);
        }));
    auto before = StoredGroups(book);
    EditGroup(L"[Sales]");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(membersAfterPicker, (Names{L"Dora Brown", L"Bob Jones", L"Carl Smith"}));
    EXPECT_EQ(StoredGroups(book), before);
}

TEST_F(GroupDialog, NameInUseKeepsTheDialogOpenOnTheName) {
    struct { bool newGroup; const wchar_t* name; int button; } cases[] = {
        {false, L"SUPPORT", IDOK},                // rename: the storage wrapper's message box
        {true, L"sales", IDC_MESSAGE_BUTTON},    // create: its message dialog
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.name).ToUtf8());
        OpenMain();
        auto before = StoredGroups(book);
        bool stayed = false, focusOnName = false;
        HWND dialog = nullptr;
        harness::ModalDriver driver;
        HWND messageOwner = nullptr;
        driver.Then(Inside([&](HWND dlg) {
                  dialog = dlg;
                  Replace(dlg, IDC_GROUP_NAME, c.name);
                  Press(dlg, IDOK);
                  stayed = IsWindowVisible(dlg) != FALSE;
                  focusOnName = GetFocus() == GetDlgItem(dlg, IDC_GROUP_NAME);
              }))
            .Then([&](const harness::SeenWindow& message) {
                messageOwner = GetWindow(message.window, GW_OWNER);
                harness::ModalDriver::Press(c.button)(message);
            });
        if (c.newGroup)
            NewGroup();
        else
            EditGroup(L"[Sales]");
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[1].caption, app::Text(IDS_GROUP_EXISTS_CAPTION));
        EXPECT_NE(driver.Seen()[1].text.Find(c.name), -1);
        // The message is the group dialog's, not the disabled main window's.
        EXPECT_EQ(messageOwner, dialog);
        EXPECT_TRUE(stayed);
        EXPECT_TRUE(focusOnName);
        EXPECT_EQ(StoredGroups(book), before);
        TearDown();
    }
}

// Changes the engine refuses, with the dialog open: the book write-protected and
// reopened underneath (so it is open only for reading), the file closed underneath,
// or a member whose entry has gone. OK tells the user the changes were not written,
// over the dialog, and the dialog stays open on the name.
TEST_F(GroupDialog, ChangesTheEngineRefusesAreReportedAndKeepTheDialogOpen) {
    enum class Trouble { WriteProtected, Closed, MemberGone };
    struct { const char* what; bool newGroup; Trouble trouble; const wchar_t* name; } cases[] = {
        {"rename, write-protected", false, Trouble::WriteProtected, L"Renamed"},
        {"rename, closed", false, Trouble::Closed, L"Renamed"},
        {"same name, closed", false, Trouble::Closed, L"Sales"},
        {"member gone", false, Trouble::MemberGone, L"Sales"},
        {"new group, write-protected", true, Trouble::WriteProtected, L"Team"},
        {"new group, closed", true, Trouble::Closed, L"Team"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenMain();
        if (c.newGroup) Select(MainList(), {L"Dora Brown"});
        auto before = StoredGroups(book);
        const uint16_t bob = static_cast<uint16_t>(MainList().GetItemData(RowOf(MainList(), L"Bob Jones")));
        bool stayed = false, focusOnName = false;
        HWND dialog = nullptr, messageOwner = nullptr;
        harness::ModalDriver driver;
        driver.Then(Inside([&](HWND dlg) {
                  dialog = dlg;
                  PhonebookDB& db = Model().Database();
                  switch (c.trouble) {
                      case Trouble::WriteProtected:
                          db.Close();
                          SetFileAttributesW(book.c_str(), FILE_ATTRIBUTE_READONLY);
                          ASSERT_TRUE(db.Open(book, 0, 0));
                          ASSERT_TRUE(db.IsReadOnly());
                          break;
                      case Trouble::Closed: db.Close(); break;
                      case Trouble::MemberGone: ASSERT_EQ(db.RemoveRecord(bob), 0); break;
                  }
                  Replace(dlg, IDC_GROUP_NAME, c.name);
                  Press(dlg, IDOK);
                  stayed = IsWindowVisible(dlg) != FALSE;
                  focusOnName = GetFocus() == GetDlgItem(dlg, IDC_GROUP_NAME);
              }))
            .Then([&](const harness::SeenWindow& message) {
                messageOwner = GetWindow(message.window, GW_OWNER);
                harness::ModalDriver::Press(IDC_MESSAGE_BUTTON)(message);
            });
        if (c.newGroup)
            NewGroup();
        else
            EditGroup(L"[Sales]");
        SetFileAttributesW(book.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[1].caption, app::Text(IDS_SAVE_FAILED_CAPTION));
        EXPECT_NE(driver.Seen()[1].text.Find(book.c_str()), -1) << driver.Seen()[1].text.ToUtf8();
        EXPECT_EQ(messageOwner, dialog);
        EXPECT_TRUE(stayed);
        EXPECT_TRUE(focusOnName);
        // Nothing changed but what the trouble itself did.
        if (c.trouble == Trouble::MemberGone) before[L"Sales"] = {L"Anna Smith", L"Carl Smith"};
        EXPECT_EQ(StoredGroups(book), before);
        TearDown();
    }
}

TEST_F(GroupDialog, ReadOnlyBookShowsTheGroupWithoutEditing) {
    OpenMain(true);
    struct { bool nameEnabled = true, addVisible = true, removeVisible = true; Names members; } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        seen.nameEnabled = harness::IsItemEnabled(dlg, IDC_GROUP_NAME);
        seen.addVisible = IsWindowVisible(GetDlgItem(dlg, IDC_MEMBER_ADD)) != FALSE;
        seen.removeVisible = IsWindowVisible(GetDlgItem(dlg, IDC_MEMBER_REMOVE)) != FALSE;
        seen.members = Rows(*GroupDlgOf(dlg)->MemberList());
        Press(dlg, IDOK);
    }));
    auto before = StoredGroups(book);
    EditGroup(L"[Sales]");
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_FALSE(seen.nameEnabled);
    EXPECT_FALSE(seen.addVisible);
    EXPECT_FALSE(seen.removeVisible);
    EXPECT_EQ(seen.members, (Names{L"Anna Smith", L"Bob Jones", L"Carl Smith"}));
    EXPECT_EQ(StoredGroups(book), before);
}

TEST_F(GroupDialog, MemberListViewsAndSorts) {
    OpenMain();
    struct { bool activeIsMembers = false; int selectedRow = -1; Names sortedOnce, sortedTwice; } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
        ListViewUIControl& members = *GroupDlgOf(dlg)->MemberList();
        Select(members, {L"Bob Jones"});
        DoubleClick(dlg, members, 1);
        seen.activeIsMembers = Model().ActiveList() == &members;
        seen.selectedRow = Model().GetSelectedRow();
        ClickHeader(dlg, members, 0);
        seen.sortedOnce = Rows(members);
        ClickHeader(dlg, members, 0);
        seen.sortedTwice = Rows(members);
    }));
    EditGroup(L"[Sales]");
    EXPECT_TRUE(seen.activeIsMembers);
    EXPECT_EQ(seen.selectedRow, 1);
    EXPECT_EQ(seen.sortedOnce, (Names{L"Anna Smith", L"Bob Jones", L"Carl Smith"}));
    EXPECT_EQ(seen.sortedTwice, (Names{L"Carl Smith", L"Bob Jones", L"Anna Smith"}));
}

TEST_F(GroupDialog, RightToLeftLanguageMirrorsBothDialogs) {
    ASSERT_TRUE(testenv::UseLanguage(L"he-IL"));
    OpenMain();
    // Per dialog: mirrored, and every control of the left-to-right template there.
    std::vector<std::pair<bool, int>> shown;
    auto look = [&](HWND dlg, std::initializer_list<int> ids) {
        int present = 0;
        for (int id : ids) present += GetDlgItem(dlg, id) != nullptr;
        shown.emplace_back((GetWindowLongPtrW(dlg, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0,
                           present - static_cast<int>(ids.size()));
    };
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              look(dlg, {IDC_GROUP_NAME_LABEL, IDC_GROUP_NAME, IDC_GROUP_MEMBERS, IDC_MEMBER_ADD, IDC_MEMBER_REMOVE,
                         IDC_HELP_BUTTON, IDOK, IDCANCEL});
              Press(dlg, IDC_MEMBER_ADD);
          }))
        .Then(Inside([&](HWND picker) {
            look(picker, {IDC_SEARCH, IDC_PICK_CANDIDATES, IDC_MEMBER_ADD, IDC_MEMBER_REMOVE, IDC_PICK_CHOSEN,
                          IDC_HELP_BUTTON, IDOK, IDCANCEL});
        }));
    EditGroup(L"[Sales]");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_GROUP_TITLE));
    EXPECT_EQ(driver.Seen()[1].caption, app::Text(IDS_PICKER_TITLE));
    EXPECT_EQ(shown, (std::vector<std::pair<bool, int>>{{true, 0}, {true, 0}}));
}

}  // namespace
