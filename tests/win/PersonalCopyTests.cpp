// Copying an entry into the user's personal phone book from the entry dialog of a
// shared book: where that book lies, when the copy is offered, and that every failure
// of the copy is reported by the storage wrapper and leaves the main save alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "EntryDialogScript.h"
#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "dialogs/PersonalPhonebook.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"

namespace {

using namespace entrytest;
using harness::ItemText;

TEST(PersonalCopy, PersonalBookIsMyDocumentsUnderTheProfile) {
    wchar_t profile[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
    CMString expected = profile;
    if (expected.Right(1) == CMString(L"\\")) expected = expected.Left(expected.GetLength() - 1);
    EXPECT_EQ(FindPersonalPhonebookPath().MakeLower(), (expected + L"\\My Documents\\default.pb").MakeLower());
}

// Drive letters G to Z count as shared places. Wine's own DefineDosDevice cannot make
// one, so its mount manager is asked, as its configuration tool does: the letter then
// names the folder (or, given no folder, is removed).
bool MapDrive(wchar_t letter, const CMString& folder) {
    struct UnixDrive {
        ULONG size;
        ULONG type;
        ULONG fsType;
        DWORD serial;
        ULONGLONG unixDevice;
        WCHAR letter;
        USHORT mountPointOffset;
        USHORT deviceOffset;
        USHORT labelOffset;
    };
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    std::string target;
    if (!folder.IsEmpty()) {
        char* name = unixName(folder.c_str());
        if (!name) return false;
        target = name;
        HeapFree(GetProcessHeap(), 0, name);
    }
    std::vector<char> buffer(sizeof(UnixDrive) + target.size() + 1, 0);
    auto* drive = reinterpret_cast<UnixDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = folder.IsEmpty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
    drive->letter = letter;
    if (!folder.IsEmpty()) {
        drive->mountPointOffset = sizeof(UnixDrive);
        memcpy(buffer.data() + sizeof(UnixDrive), target.c_str(), target.size() + 1);
    }
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    const DWORD defineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, defineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr, 0,
                              &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

// A book on drive H:, which counts as a shared place, opened in the main window; the
// test profile's personal book starts absent.
class PersonalCopyFromSharedBook : public testing::Test {
protected:
    void SetUp() override {
        testenv::UseLanguage(L"en-US");
        personal = FindPersonalPhonebookPath();
        ASSERT_FALSE(personal.IsEmpty());
        personalFolder = personal.Left(personal.ReverseFind(L'\\'));
        madeFolder = CreateDirectoryW(personalFolder.c_str(), nullptr) != FALSE;
        RemovePersonal();

        ASSERT_TRUE(MapDrive(L'h', share.Path()));
        mapped = true;
        ASSERT_TRUE(testenv::MakeBook(share.File(L"shared.mpb2"), L"mpb2"));
        AddToBook(share.File(L"shared.mpb2"), {{L"Anna", L"0301", L"Acme", L"555 1", L"anna@example.com", L"7"}});
        OpenMain(L"H:\\shared.mpb2");
        ASSERT_EQ(main->GetBookLocation(), BookLocation::Shared);
    }
    void TearDown() override {
        CloseMain();
        DestroyWindow(owner);
        if (mapped) MapDrive(L'h', CMString());
        RemovePersonal();
        if (madeFolder) RemoveDirectoryW(personalFolder.c_str());
    }
    void RemovePersonal() {
        SetFileAttributesW(personal.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(personal.c_str());
        RemoveDirectoryW(personal.c_str());
    }
    void OpenMain(const CMString& path, const CMString& personalPath = CMString()) {
        CloseMain();
        MainDialogStart start;
        start.currentPath = path;
        start.personalPath = personalPath;
        main = std::make_unique<CPhoneBookDlg>(start);
        hwnd = main->CreateModeless(owner, IDD_MAIN, IDD_MAIN_RTL);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        harness::PumpUntilIdle();
    }
    void CloseMain() {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        hwnd = nullptr;
        main.reset();
    }
    std::vector<Stored> Shared() { return ReadBook(share.File(L"shared.mpb2")); }

    testenv::TempFolder share;
    CMString personal, personalFolder;
    bool madeFolder = false;
    bool mapped = false;
    HWND owner = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    std::unique_ptr<CPhoneBookDlg> main;
    HWND hwnd = nullptr;
};

TEST_F(PersonalCopyFromSharedBook, CopyIsOfferedOnlyForASharedBook) {
    testenv::TempFolder local;
    ASSERT_TRUE(testenv::MakeBook(local.File(L"local.mpb2"), L"mpb2"));
    AddToBook(local.File(L"local.mpb2"), {{L"Anna", L"0301"}});
    struct { CMString path; bool offered; } cases[] = {{L"H:\\shared.mpb2", true}, {local.File(L"local.mpb2"), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.ToUtf8());
        OpenMain(c.path);
        main->List()->SetItemSelected(0, true);
        Script script([&](HWND d) {
            HWND box = GetDlgItem(d, IDC_ENTRY_PERSONAL_COPY);
            EXPECT_EQ(IsWindowVisible(box) != FALSE, c.offered);
            EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
            EXPECT_EQ(ItemText(d, IDC_ENTRY_PERSONAL_COPY), app::Text(IDS_PERSONAL_COPY_BOX));
            Click(d, IDCANCEL);
        });
        SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
    }
}

TEST_F(PersonalCopyFromSharedBook, TickedBoxCopiesTheNewEntryIntoThePersonalBookToo) {
    for (bool tick : {false, true}) {
        SCOPED_TRACE(tick ? "ticked" : "not ticked");
        RemovePersonal();
        const wchar_t* name = tick ? L"Bert" : L"Carl";
        Script script([&](HWND d) {
            TypeFields(d, {name, L"0302", L"Bakery", L"555 2", L"bert@example.com", L"12"});
            if (tick) Click(d, IDC_ENTRY_PERSONAL_COPY);
            Click(d, IDOK);
        });
        SendMessageW(hwnd, WM_COMMAND, ID_NEW_ENTRY, 0);
        EXPECT_EQ(script.driver.Seen().size(), 1u);
        EXPECT_NE(Find(Shared(), name), nullptr);
        const auto copied = ReadBook(personal);
        ASSERT_EQ(copied.size(), tick ? 1u : 0u);
        if (tick) {
            EXPECT_EQ(copied[0].name, CMString(name));
            EXPECT_EQ(copied[0].fax, CMString(L"0302"));
            EXPECT_EQ(copied[0].organization, CMString(L"Bakery"));
            EXPECT_EQ(copied[0].phone, CMString(L"555 2"));
            EXPECT_EQ(copied[0].email, CMString(L"bert@example.com"));
            EXPECT_EQ(copied[0].mailbox, 12u);
        }
    }
}

// A shared book is not editable here: Edit only shows the entry, and OK copies it.
TEST_F(PersonalCopyFromSharedBook, ViewedEntryIsCopiedWithoutChangingTheSharedBook) {
    main->List()->SetItemSelected(0, true);
    Script script([&](HWND d) {
        EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(d, IDC_ENTRY_NAME), GWL_STYLE) & ES_READONLY);
        Click(d, IDC_ENTRY_PERSONAL_COPY);
        Click(d, IDOK);
    });
    SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
    const auto copied = ReadBook(personal);
    ASSERT_EQ(copied.size(), 1u);
    EXPECT_EQ(copied[0].name, CMString(L"Anna"));
    EXPECT_EQ(copied[0].organization, CMString(L"Acme"));
    EXPECT_EQ(copied[0].mailbox, 7u);
    EXPECT_EQ(Shared().size(), 1u);
}

// The entry dialog's copy and the main window's copy go to the same book: the one "-p"
// names, else the user's own.
TEST_F(PersonalCopyFromSharedBook, EntryDialogAndMainWindowCopyIntoTheSameBook) {
    testenv::TempFolder elsewhere;
    const CMString given = elsewhere.File(L"mine.mpb2");
    struct { CMString personalPath; CMString receives; } cases[] = {{CMString(), personal}, {given, given}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.receives.ToUtf8());
        RemovePersonal();
        OpenMain(L"H:\\shared.mpb2", c.personalPath);
        Script script([&](HWND d) {
            TypeFields(d, {L"Bert", L"0302"});
            Click(d, IDC_ENTRY_PERSONAL_COPY);
            Click(d, IDOK);
        });
        SendMessageW(hwnd, WM_COMMAND, ID_NEW_ENTRY, 0);
        main->List()->ClearSelection();
        main->List()->SetItemSelected(0, true);  // Anna, first by name
        SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_COPY_PERSONAL, BN_CLICKED), 0);
        const auto copied = ReadBook(c.receives);
        EXPECT_NE(Find(copied, L"Anna"), nullptr);
        EXPECT_NE(Find(copied, L"Bert"), nullptr);
        EXPECT_EQ(copied.size(), 2u);
        if (c.receives == given) EXPECT_EQ(GetFileAttributesW(personal.c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(PersonalCopyFromSharedBook, FailedCopyIsReportedAndTheEntryIsStillSaved) {
    enum class Trouble { CannotOpen, WriteProtected, NameInUse };
    struct { Trouble trouble; unsigned caption; } cases[] = {
        {Trouble::CannotOpen, IDS_OPEN_FAILED_CAPTION},
        {Trouble::WriteProtected, IDS_OPEN_FAILED_CAPTION},
        {Trouble::NameInUse, IDS_ENTRY_EXISTS_CAPTION_OLD},  // the personal book is of the oldest kind
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.trouble));
        RemovePersonal();
        switch (c.trouble) {
            case Trouble::CannotOpen: ASSERT_TRUE(CreateDirectoryW(personal.c_str(), nullptr)); break;
            case Trouble::WriteProtected:
                ASSERT_TRUE(testenv::MakeBook(personal, L"pb"));
                ASSERT_TRUE(SetFileAttributesW(personal.c_str(), FILE_ATTRIBUTE_READONLY));
                break;
            case Trouble::NameInUse:
                ASSERT_TRUE(testenv::MakeBook(personal, L"pb"));
                break;
        }
        const CMString name = CMString::Formatted(L"Dora %d", ++n);
        if (c.trouble == Trouble::NameInUse) AddToBook(personal, {{name.c_str(), L"0304"}});
        Script script([&](HWND d) {
            TypeFields(d, {name.c_str(), L"0304"});
            Click(d, IDC_ENTRY_PERSONAL_COPY);
            Click(d, IDOK);
        });
        script.Then(harness::ModalDriver::Press(IDC_MESSAGE_BUTTON));
        SendMessageW(hwnd, WM_COMMAND, ID_NEW_ENTRY, 0);
        ASSERT_EQ(script.driver.Seen().size(), 2u);
        EXPECT_EQ(script.driver.Seen()[1].caption, app::Text(c.caption));
        if (c.caption == IDS_OPEN_FAILED_CAPTION) {
            EXPECT_EQ(script.driver.Seen()[1].text,
                      CMString::Formatted(app::Text(IDS_OPEN_FAILED).c_str(), personal.c_str()));
        }
        EXPECT_NE(Find(Shared(), name.c_str()), nullptr);
        if (c.trouble != Trouble::CannotOpen) {
            SetFileAttributesW(personal.c_str(), FILE_ATTRIBUTE_NORMAL);
            EXPECT_EQ(ReadBook(personal).size(), c.trouble == Trouble::NameInUse ? 1u : 0u);
        }
    }
}

TEST_F(PersonalCopyFromSharedBook, DoubtfulEmailIsQuestionedForTheCopyAndForTheSave) {
    Script script([&](HWND d) {
        TypeFields(d, {L"Eve", L"0305", L"", L"", L"eve(at)example"});
        Click(d, IDC_ENTRY_PERSONAL_COPY);
        Click(d, IDOK);
    });
    script.Then(harness::ModalDriver::Press(IDYES)).Then(harness::ModalDriver::Press(IDYES));
    SendMessageW(hwnd, WM_COMMAND, ID_NEW_ENTRY, 0);
    ASSERT_EQ(script.driver.Seen().size(), 3u);
    for (size_t i = 1; i < 3; ++i) EXPECT_EQ(script.driver.Seen()[i].caption, app::Text(IDS_EMAIL_CAPTION));
    ASSERT_EQ(ReadBook(personal).size(), 1u);
    EXPECT_EQ(ReadBook(personal)[0].email, CMString(L"eve(at)example"));
    EXPECT_EQ(Find(Shared(), L"Eve")->email, CMString(L"eve(at)example"));
}

// An address answered No is emptied and nothing is stored, neither in the shared book
// nor in the personal one, until OK is pressed again.
TEST_F(PersonalCopyFromSharedBook, EmailAnsweredNoStopsBeforeAnythingIsStored) {
    struct { bool emailEmptied = false, emailFocused = false, stillOpen = false, personal = true; size_t shared = 0; } seen;
    Script script([&](HWND d) {
        TypeFields(d, {L"Eve", L"0305", L"", L"", L"eve(at)example"});
        Click(d, IDC_ENTRY_PERSONAL_COPY);
        Click(d, IDOK);
        seen.emailEmptied = ItemText(d, IDC_ENTRY_EMAIL).IsEmpty();
        seen.emailFocused = HasFocus(d, IDC_ENTRY_EMAIL);
        seen.stillOpen = IsWindowVisible(d) != FALSE;
        seen.shared = Shared().size();
        seen.personal = GetFileAttributesW(personal.c_str()) != INVALID_FILE_ATTRIBUTES;
        Type(d, IDC_ENTRY_EMAIL, L"eve@example.com");
        Click(d, IDOK);
    });
    script.Then(harness::ModalDriver::Press(IDNO));
    SendMessageW(hwnd, WM_COMMAND, ID_NEW_ENTRY, 0);
    // One question only: the save did not ask again after the copy's No.
    ASSERT_EQ(script.driver.Seen().size(), 2u);
    EXPECT_EQ(script.driver.Seen()[1].caption, app::Text(IDS_EMAIL_CAPTION));
    EXPECT_TRUE(seen.emailEmptied);
    EXPECT_TRUE(seen.emailFocused);
    EXPECT_TRUE(seen.stillOpen);
    EXPECT_EQ(seen.shared, 1u);
    EXPECT_FALSE(seen.personal);
    // The second OK stores the entry with the address typed then, in both books.
    ASSERT_NE(Find(Shared(), L"Eve"), nullptr);
    EXPECT_EQ(Find(Shared(), L"Eve")->email, CMString(L"eve@example.com"));
    ASSERT_EQ(ReadBook(personal).size(), 1u);
    EXPECT_EQ(ReadBook(personal)[0].email, CMString(L"eve@example.com"));
}

}  // namespace
