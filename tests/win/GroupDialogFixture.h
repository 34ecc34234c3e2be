#pragma once
// The main window over a real phone book with entries and groups, from which the group
// dialog and its member picker are opened as a user opens them, and scripted from
// inside their own modal loops.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "dialogs/AddGroupMemberDlg.h"
#include "dialogs/PhonebookGroupDlg.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"

namespace grouptest {

using Names = std::vector<CMString>;

// Runs an action inside the modal loop of the dialog that has just become active (a
// timer fires once its loop runs). Afterwards the dialog is cancelled, so a failed
// expectation never leaves a test waiting on it; a dialog the action ended keeps its result.
inline std::map<UINT_PTR, std::function<void(HWND)>>& PendingActions() {
    static std::map<UINT_PTR, std::function<void(HWND)>> actions;
    return actions;
}

inline void CALLBACK RunPendingAction(HWND hwnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hwnd, id);
    auto it = PendingActions().find(id);
    if (it == PendingActions().end()) return;
    auto action = std::move(it->second);
    PendingActions().erase(it);
    action(hwnd);
    PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

inline harness::ModalDriver::Step Inside(std::function<void(HWND)> action) {
    return [action](const harness::SeenWindow& seen) {
        static UINT_PTR next = 0x6100;
        UINT_PTR id = ++next;
        PendingActions()[id] = action;
        SetTimer(seen.window, id, 0, RunPendingAction);
    };
}

inline void Press(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline void Type(HWND dialog, int id, const wchar_t* text) {
    HWND field = GetDlgItem(dialog, id);
    for (const wchar_t* p = text; *p; ++p) SendMessageW(field, WM_CHAR, *p, 1);
}

inline void Replace(HWND dialog, int id, const wchar_t* text) {
    SendDlgItemMessageW(dialog, id, EM_SETSEL, 0, -1);
    Type(dialog, id, text);
    if (!*text) SendDlgItemMessageW(dialog, id, WM_CHAR, VK_BACK, 1);
}

// Column 0 of every row, top to bottom.
inline Names Rows(const ListViewUIControl& list) {
    Names rows;
    for (int i = 0; i < list.GetItemCount(); ++i) {
        CMString text;
        list.GetItemText(i, 0, text, 60);
        rows.push_back(text);
    }
    return rows;
}

inline int RowOf(const ListViewUIControl& list, const wchar_t* text) {
    Names rows = Rows(list);
    auto it = std::find(rows.begin(), rows.end(), CMString(text));
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
}

// Selects exactly these rows, by their column-0 text.
inline void Select(ListViewUIControl& list, std::initializer_list<const wchar_t*> rows) {
    list.ClearSelection();
    for (const wchar_t* text : rows) {
        int row = RowOf(list, text);
        EXPECT_GE(row, 0) << CMString(text).ToUtf8();
        if (row >= 0) list.SetItemSelected(row, true);
    }
}

// A double click on the list as the control reports it to its dialog.
inline void DoubleClick(HWND dialog, const ListViewUIControl& list, int row) {
    NMITEMACTIVATE click = {};
    click.hdr.hwndFrom = list.ListWindow();
    click.hdr.idFrom = list.ControlId();
    click.hdr.code = NM_DBLCLK;
    click.iItem = row;
    SendMessageW(dialog, WM_NOTIFY, list.ControlId(), reinterpret_cast<LPARAM>(&click));
}

inline void ClickHeader(HWND dialog, const ListViewUIControl& list, int column) {
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = list.ListWindow();
    click.hdr.idFrom = list.ControlId();
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(dialog, WM_NOTIFY, list.ControlId(), reinterpret_cast<LPARAM>(&click));
}

inline CPhonebookGroupDlg* GroupDlgOf(HWND hwnd) { return dynamic_cast<CPhonebookGroupDlg*>(Dialog::FromWindow(hwnd)); }
inline CAddGroupMemberDlg* PickerOf(HWND hwnd) { return dynamic_cast<CAddGroupMemberDlg*>(Dialog::FromWindow(hwnd)); }

// Stands in for the hidden application window.
struct Owner {
    Owner() { hwnd = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); }
    ~Owner() { DestroyWindow(hwnd); }
    HWND hwnd;
};

struct Entry {
    const wchar_t* name;
    const wchar_t* fax;
};
struct Group {
    const wchar_t* name;
    std::vector<const wchar_t*> members;
};

// The groups of a phone book file as stored: name -> member names in name order.
inline std::map<CMString, Names> StoredGroups(const CMString& path) {
    std::map<CMString, Names> groups;
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    if (!db.Open(path, 0, 1)) {
        ADD_FAILURE() << "cannot read " << path.ToUtf8();
        return groups;
    }
    db.SetSearchText(CMString());
    RecordList all;
    db.Enumerate(all, true);
    for (const auto& r : all) {
        if (!r->IsGroup()) continue;
        Names& members = groups[CMString(r->name)];
        if (!db.ReadRecordById(r->id)) continue;
        RecordList stored;
        db.ListGroupMembers(stored);
        for (const auto& m : stored) members.push_back(CMString(m->name));
        std::sort(members.begin(), members.end());
    }
    return groups;
}

class GroupFixture : public testing::Test {
protected:
    void SetUp() override {
        testenv::UseLanguage(L"en-US");
        book = folder.File(L"groups.mpb2");
        ASSERT_TRUE(testenv::MakeBook(book, L"mpb2"));
        Fill({{L"Anna Smith", L"0301"}, {L"Bob Jones", L"0302"}, {L"Carl Smith", L"0303"}, {L"Dora Brown", L"0304"}},
             {{L"Sales", {L"Anna Smith", L"Bob Jones", L"Carl Smith"}}, {L"Support", {}}});
    }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        main.reset();
        testenv::UseLanguage(L"en-US");
    }

    void Fill(const std::vector<Entry>& entries, const std::vector<Group>& groups) {
        PhonebookDB db;
        db.SetWideMode(true);
        db.SetCurrentFormat(true);
        ASSERT_TRUE(db.Open(book, 0, 0));
        for (const auto& e : entries) {
            RecordPtr r = MakeRecord();
            CopyField(r->name, e.name);
            CopyField(r->fax, e.fax);
            EngineRecord er = db.NewEngineRecord();
            db.ToEngineRecord(*r, er);
            ASSERT_EQ(db.AddRecord(er, false), 0);
        }
        // Members by name, among every entry of the book.
        std::map<CMString, uint16_t> ids;
        RecordList all;
        db.SetSearchText(CMString());
        db.Enumerate(all, false);
        for (const auto& r : all) ids[CMString(r->name)] = r->id;
        for (const auto& g : groups) {
            CMString name = g.name;
            uint16_t id = 0;
            ASSERT_TRUE(db.CreateGroup(name, &id, false));
            for (const wchar_t* m : g.members) {
                ASSERT_EQ(ids.count(m), 1u) << CMString(m).ToUtf8();
                ASSERT_EQ(db.AddMemberById(id, ids[m]), 0);
            }
        }
    }

    void OpenMain(bool readOnly = false) {
        MainDialogStart start;
        start.currentPath = book;
        start.forceReadOnly = readOnly;
        main = std::make_unique<CPhoneBookDlg>(start);
        hwnd = main->CreateModeless(owner.hwnd, IDD_MAIN, IDD_MAIN_RTL);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        harness::PumpUntilIdle();
    }
    ListViewUIControl& MainList() { return *main->List(); }
    CPhonebook& Model() { return *main->Model(); }

    // The main window's New group and Edit, as the keyboard gives them.
    void NewGroup() { SendMessageW(hwnd, WM_COMMAND, ID_NEW_GROUP, 0); }
    void EditSelected() { SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0); }
    void EditGroup(const wchar_t* shownName) {
        Select(MainList(), {shownName});
        EditSelected();
    }

    testenv::TempFolder folder;
    CMString book;
    Owner owner;
    std::unique_ptr<CPhoneBookDlg> main;
    HWND hwnd = nullptr;
};

}  // namespace grouptest
