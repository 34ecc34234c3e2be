// The member picker opened from the group dialog's Add button: the candidates and
// their search, adding and removing, and what OK and Cancel hand back.
#include "GroupDialogFixture.h"

namespace {

using namespace grouptest;

class AddGroupMember : public GroupFixture {};

TEST_F(AddGroupMember, OpensWithTheEntriesAndTheGroupsMembers) {
    OpenMain();
    struct {
        CMString search, searchText, add, remove;
        Names candidates, chosen, membersAfter;
        bool listsAreModels = false, addEnabled = false, removeEnabled = true, handedBack = false;
        ListViewUIControl* candidateList = nullptr;
        ListViewUIControl* chosenList = nullptr;
    } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              ListViewUIControl& members = *GroupDlgOf(dlg)->MemberList();
              // A member list in an order of the user's own, which the picker keeps.
              ClickHeader(dlg, members, 0);
              ClickHeader(dlg, members, 0);
              Press(dlg, IDC_MEMBER_ADD);
              seen.membersAfter = Rows(members);
              seen.handedBack = Model().OtherList() == &members && Model().ActiveList() == &members &&
                                Model().MainList() != seen.candidateList;
          }))
        .Then(Inside([&](HWND picker) {
            CAddGroupMemberDlg* dlg = PickerOf(picker);
            seen.search = harness::ItemText(picker, IDC_SEARCH);
            seen.searchText = Model().SearchText();
            seen.add = harness::ItemText(picker, IDC_MEMBER_ADD);
            seen.remove = harness::ItemText(picker, IDC_MEMBER_REMOVE);
            seen.candidates = Rows(*dlg->Candidates());
            seen.chosen = Rows(*dlg->Chosen());
            seen.candidateList = dlg->Candidates();
            seen.chosenList = dlg->Chosen();
            seen.listsAreModels = Model().MainList() == dlg->Candidates() && Model().OtherList() == dlg->Chosen();
            seen.addEnabled = harness::IsItemEnabled(picker, IDC_MEMBER_ADD);
            seen.removeEnabled = harness::IsItemEnabled(picker, IDC_MEMBER_REMOVE);
            Press(picker, IDCANCEL);
        }));
    EditGroup(L"[Sales]");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].caption, app::Text(IDS_PICKER_TITLE));
    EXPECT_EQ(seen.search, app::Text(IDS_PICKER_SEARCH_PROMPT));
    // The first text is no search: every entry is a candidate, and no group is.
    EXPECT_EQ(seen.searchText, CMString());
    EXPECT_EQ(seen.candidates, (Names{L"Anna Smith", L"Bob Jones", L"Carl Smith", L"Dora Brown"}));
    EXPECT_EQ(seen.chosen, (Names{L"Carl Smith", L"Bob Jones", L"Anna Smith"}));
    // Add's window text is its tooltip, the name a reader announces.
    EXPECT_EQ(seen.add, app::Text(IDS_TIP_PICKER_ADD));
    EXPECT_EQ(seen.remove, app::Text(IDS_REMOVE_MEMBERS));
    EXPECT_TRUE(seen.listsAreModels);
    EXPECT_TRUE(seen.addEnabled);  // a refill selects its first row
    EXPECT_FALSE(seen.removeEnabled);
    EXPECT_EQ(seen.membersAfter, (Names{L"Carl Smith", L"Bob Jones", L"Anna Smith"}));
    EXPECT_TRUE(seen.handedBack);
}

TEST_F(AddGroupMember, SearchNarrowsTheCandidatesAtEveryKeystroke) {
    OpenMain();
    struct { const wchar_t* typed; int candidates; } steps[] = {{L"s", 2}, {L"m", 2}, {L"ith c", 1}, {L"x", 0}};
    std::vector<int> counts;
    CMString searchText;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              Press(dlg, IDC_MEMBER_ADD);
              Press(dlg, IDCANCEL);
          }))
        .Then(Inside([&](HWND picker) {
            ListViewUIControl& candidates = *PickerOf(picker)->Candidates();
            SendDlgItemMessageW(picker, IDC_SEARCH, EM_SETSEL, 0, -1);
            for (const auto& s : steps) {
                Type(picker, IDC_SEARCH, s.typed);
                counts.push_back(candidates.GetItemCount());
            }
            // Back one character: the match is there again.
            SendDlgItemMessageW(picker, IDC_SEARCH, WM_CHAR, VK_BACK, 1);
            counts.push_back(candidates.GetItemCount());
            searchText = Model().SearchText();
            Press(picker, IDOK);
        }));
    NewGroup();
    ASSERT_EQ(counts.size(), std::size(steps) + 1);
    for (size_t i = 0; i < std::size(steps); ++i) EXPECT_EQ(counts[i], steps[i].candidates) << i;
    EXPECT_EQ(counts.back(), 1);
    EXPECT_EQ(searchText, CMString(L"smith c"));
    // The search text is the model's: the main window's list follows it.
    EXPECT_EQ(Rows(MainList()), Names{L"Carl Smith"});
}

// The main window's last search filters the candidates from the start; the box says so.
TEST_F(AddGroupMember, StartsWithTheMainWindowsSearchInItsBox) {
    OpenMain();
    SetDlgItemTextW(hwnd, IDC_SEARCH, L"smith");
    ASSERT_EQ(Rows(MainList()), (Names{L"Anna Smith", L"Carl Smith"}));
    struct { CMString box, searchText; Names candidates, afterTyping; } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) { Press(dlg, IDC_MEMBER_ADD); })).Then(Inside([&](HWND picker) {
        seen.box = harness::ItemText(picker, IDC_SEARCH);
        seen.searchText = Model().SearchText();
        seen.candidates = Rows(*PickerOf(picker)->Candidates());
        // Typing on at the end of the text narrows that search.
        SendDlgItemMessageW(picker, IDC_SEARCH, EM_SETSEL, 5, 5);
        Type(picker, IDC_SEARCH, L" c");
        seen.afterTyping = Rows(*PickerOf(picker)->Candidates());
    }));
    NewGroup();
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(seen.box, CMString(L"smith"));
    EXPECT_EQ(seen.searchText, CMString(L"smith"));
    EXPECT_EQ(seen.candidates, (Names{L"Anna Smith", L"Carl Smith"}));
    EXPECT_EQ(seen.afterTyping, Names{L"Carl Smith"});
}

TEST_F(AddGroupMember, AddCopiesSelectedCandidatesOnceAndRemoveTakesThemOut) {
    OpenMain();
    Select(MainList(), {});
    struct {
        Names afterAdd, afterAgain, afterRemove, members;
        int selectedAfterAdd = -1, selectedAfterAgain = -1;
        bool addAfter = true, removeAfterAdd = true, removeAfterRemove = true;
    } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              Press(dlg, IDC_MEMBER_ADD);
              seen.members = Rows(*GroupDlgOf(dlg)->MemberList());
              Replace(dlg, IDC_GROUP_NAME, L"Team");
              Press(dlg, IDOK);
          }))
        .Then(Inside([&](HWND picker) {
            ListViewUIControl& candidates = *PickerOf(picker)->Candidates();
            ListViewUIControl& chosen = *PickerOf(picker)->Chosen();
            Select(candidates, {L"Anna Smith", L"Carl Smith", L"Dora Brown"});
            Press(picker, IDC_MEMBER_ADD);
            seen.afterAdd = Rows(chosen);
            seen.selectedAfterAdd = candidates.GetSelectedCount();
            seen.addAfter = harness::IsItemEnabled(picker, IDC_MEMBER_ADD);
            Select(chosen, {});
            seen.removeAfterAdd = harness::IsItemEnabled(picker, IDC_MEMBER_REMOVE);
            // Already chosen: nothing is copied, but the selection goes.
            Select(candidates, {L"Carl Smith"});
            Press(picker, IDC_MEMBER_ADD);
            seen.afterAgain = Rows(chosen);
            seen.selectedAfterAgain = candidates.GetSelectedCount();
            Select(chosen, {L"Carl Smith"});
            Press(picker, IDC_MEMBER_REMOVE);
            seen.afterRemove = Rows(chosen);
            seen.removeAfterRemove = harness::IsItemEnabled(picker, IDC_MEMBER_REMOVE);
            Press(picker, IDOK);
        }));
    NewGroup();
    ASSERT_EQ(driver.Seen().size(), 2u);
    // Each copy goes to the top: reverse index order.
    EXPECT_EQ(seen.afterAdd, (Names{L"Dora Brown", L"Carl Smith", L"Anna Smith"}));
    EXPECT_EQ(seen.selectedAfterAdd, 0);
    EXPECT_FALSE(seen.addAfter);
    EXPECT_FALSE(seen.removeAfterAdd);
    EXPECT_EQ(seen.afterAgain, seen.afterAdd);
    EXPECT_EQ(seen.selectedAfterAgain, 0);
    EXPECT_EQ(seen.afterRemove, (Names{L"Dora Brown", L"Anna Smith"}));
    EXPECT_FALSE(seen.removeAfterRemove);
    // OK hands the chosen rows back in their order.
    EXPECT_EQ(seen.members, (Names{L"Dora Brown", L"Anna Smith"}));
    EXPECT_EQ(StoredGroups(book)[L"Team"], (Names{L"Anna Smith", L"Dora Brown"}));
}

TEST_F(AddGroupMember, CancelLeavesTheGroupUnchanged) {
    OpenMain();
    Names members;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              Press(dlg, IDC_MEMBER_ADD);
              members = Rows(*GroupDlgOf(dlg)->MemberList());
              Press(dlg, IDOK);
          }))
        .Then(Inside([&](HWND picker) {
            Select(*PickerOf(picker)->Candidates(), {L"Dora Brown"});
            Press(picker, IDC_MEMBER_ADD);
            Select(*PickerOf(picker)->Chosen(), {L"Anna Smith", L"Bob Jones"});
            Press(picker, IDC_MEMBER_REMOVE);
            Press(picker, IDCANCEL);
        }));
    auto before = StoredGroups(book);
    EditGroup(L"[Sales]");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(members, (Names{L"Anna Smith", L"Bob Jones", L"Carl Smith"}));
    EXPECT_EQ(StoredGroups(book), before);
}

TEST_F(AddGroupMember, OkWithNothingChosenEmptiesTheGroup) {
    OpenMain();
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              Press(dlg, IDC_MEMBER_ADD);
              Press(dlg, IDOK);
          }))
        .Then(Inside([&](HWND picker) {
            ListViewUIControl& chosen = *PickerOf(picker)->Chosen();
            for (int i = 0; i < chosen.GetItemCount(); ++i) chosen.SetItemSelected(i, true);
            Press(picker, IDC_MEMBER_REMOVE);
            Press(picker, IDOK);
        }));
    EditGroup(L"[Sales]");
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(StoredGroups(book)[L"Sales"], Names{});
}

// Viewing an entry makes the list it came from the model's active list, with its row
// selected, for the entry dialog to read.
TEST_F(AddGroupMember, ViewFollowsTheListItCameFrom) {
    OpenMain();
    struct { bool chosenActive = false, candidatesActive = false; int chosenRow = -1, candidateRow = -1; } seen;
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) { Press(dlg, IDC_MEMBER_ADD); })).Then(Inside([&](HWND picker) {
        CAddGroupMemberDlg* dlg = PickerOf(picker);
        Select(*dlg->Chosen(), {L"Bob Jones"});
        DoubleClick(picker, *dlg->Chosen(), 1);
        seen.chosenActive = Model().ActiveList() == dlg->Chosen();
        seen.chosenRow = Model().GetSelectedRow();
        Select(*dlg->Candidates(), {L"Dora Brown"});
        DoubleClick(picker, *dlg->Candidates(), 3);
        seen.candidatesActive = Model().ActiveList() == dlg->Candidates();
        seen.candidateRow = Model().GetSelectedRow();
    }));
    EditGroup(L"[Sales]");
    ASSERT_GE(driver.Seen().size(), 2u);
    EXPECT_TRUE(seen.chosenActive);
    EXPECT_EQ(seen.chosenRow, 1);
    EXPECT_TRUE(seen.candidatesActive);
    EXPECT_EQ(seen.candidateRow, 3);
}

// Columns share the width a vertical scroll bar leaves, in the picker's lists as in the
// group dialog's, so a long list does not scroll sideways too.
TEST_F(AddGroupMember, LongListsScrollOnlyUpAndDown) {
    std::vector<std::wstring> names;
    for (int i = 0; i < 30; ++i) names.push_back(L"Member " + std::to_wstring(100 + i));
    std::vector<Entry> entries;
    for (const auto& n : names) entries.push_back({n.c_str(), L"555"});
    Fill(entries, {});
    OpenMain();
    for (int i = 0; i < MainList().GetItemCount(); ++i) MainList().SetItemSelected(i, true);
    std::vector<LONG_PTR> styles;
    auto style = [&](const ListViewUIControl& list) { styles.push_back(GetWindowLongPtrW(list.ListWindow(), GWL_STYLE)); };
    harness::ModalDriver driver;
    driver.Then(Inside([&](HWND dlg) {
              style(*GroupDlgOf(dlg)->MemberList());
              Press(dlg, IDC_MEMBER_ADD);
          }))
        .Then(Inside([&](HWND picker) {
            style(*PickerOf(picker)->Candidates());
            style(*PickerOf(picker)->Chosen());
        }));
    NewGroup();
    ASSERT_EQ(styles.size(), 3u);
    for (LONG_PTR s : styles) {
        EXPECT_TRUE(s & WS_VSCROLL);
        EXPECT_FALSE(s & WS_HSCROLL);
    }
}

}  // namespace
