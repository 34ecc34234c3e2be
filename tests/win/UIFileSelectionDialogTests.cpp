// The platform's open and save dialogs, driven as a user meets them: a name typed into
// the file name field and OK pressed.
#include <windows.h>
#include <commdlg.h>
#include <cderr.h>
#include <dlgs.h>

#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "importexport/UIFileSelectionDialog.h"
#include "resources/text_ids.h"

namespace {

const DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
const DWORD kSaveFlags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;

// The file name field: an edit, or the edit inside the file name combo box.
HWND FileNameField(HWND dialog) {
    if (HWND combo = GetDlgItem(dialog, cmb13)) return combo;
    return GetDlgItem(dialog, edt1);
}

// Types a name and presses OK, as a user does.
harness::ModalDriver::Step TypeAndOk(const CMString& name, CMString* seenName = nullptr) {
    return [name, seenName](const harness::SeenWindow& seen) {
        HWND field = FileNameField(seen.window);
        if (seenName) *seenName = harness::WindowText(field);
        SetWindowTextW(field, name.c_str());
        harness::ModalDriver::Press(IDOK)(seen);
    };
}

bool WriteFile(const CMString& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

ByteBuffer ImportFilter() {
    return BuildFilter({{IDS_FILTER_CSV, L"*.csv"}, {IDS_FILTER_TXT, L"*.txt"}, {IDS_FILTER_ALL_FILES, L"*.*"}});
}

TEST(UIFileSelectionDialog, ChosenNameComesBackAsFullPath) {
    testenv::TempFolder folder;
    ASSERT_TRUE(WriteFile(folder.File(L"contacts.csv")));
    ASSERT_TRUE(WriteFile(folder.File(L"old.pb")));
    ByteBuffer books = BuildSingleFilter(L"*.mpb2");
    ByteBuffer all = BuildFilter({{IDS_FILTER_ALL_FILES, L"*.*"}});
    struct { bool save; DWORD flags; const ByteBuffer& filter; const wchar_t* extension; const wchar_t* typed;
             const wchar_t* chosen; } cases[] = {
        {false, kOpenFlags, ImportFilter(), L".csv", L"contacts.csv", L"contacts.csv"},
        {false, OFN_HIDEREADONLY, ImportFilter(), L".csv", L"later.csv", L"later.csv"},
        {true, kSaveFlags, books, L".mpb2", L"new book", L"new book.mpb2"},
        {true, kSaveFlags, books, L".mpb2", L"copy.mpb2", L"copy.mpb2"},
        // The extension is given with its dot, as callers write it; the platform adds its own.
        {true, kSaveFlags, all, L".pb", L"copy", L"copy.pb"},
        {true, kSaveFlags, all, L"pb", L"copy", L"copy.pb"},
        {true, kSaveFlags, all, L"", L"plain", L"plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.typed).ToUtf8());
        UIFileSelectionDialog dialog(c.save, c.extension, L"", c.flags, c.filter, nullptr);
        dialog.SetTitle(L"Pick a file");
        dialog.SetInitialFolder(folder.Path());
        harness::ModalDriver driver;
        driver.Then(TypeAndOk(folder.Path() + c.typed));
        DWORD error = 0xdeadbeef;
        ASSERT_TRUE(dialog.Run(error));
        EXPECT_EQ(error, 0u);
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].caption, L"Pick a file");
        EXPECT_EQ(dialog.GetFileName(), folder.File(c.chosen));
        EXPECT_EQ(dialog.GetChosenFileTitle(), CMString(c.chosen));
        EXPECT_TRUE(dialog.HasResult());
    }
}

TEST(UIFileSelectionDialog, CancelLeavesNoFileName) {
    UIFileSelectionDialog dialog(false, L".csv", L"start.csv", OFN_HIDEREADONLY, ImportFilter(), nullptr);
    EXPECT_TRUE(dialog.GetFileName().IsEmpty());
    testenv::TempFolder folder;
    ASSERT_TRUE(WriteFile(folder.File(L"first.csv")));
    {
        harness::ModalDriver driver;
        driver.Then(TypeAndOk(folder.File(L"first.csv")));
        DWORD error = 0;
        ASSERT_TRUE(dialog.Run(error));
        EXPECT_EQ(dialog.GetFileName(), folder.File(L"first.csv"));
    }
    // A later run that is cancelled gives nothing back, not the earlier choice.
    harness::ModalDriver driver;
    driver.ThenPress(IDCANCEL);
    DWORD error = 0xdeadbeef;
    EXPECT_FALSE(dialog.Run(error));
    EXPECT_EQ(error, 0u);
    EXPECT_FALSE(dialog.HasResult());
    EXPECT_TRUE(dialog.GetFileName().IsEmpty());
    EXPECT_TRUE(dialog.GetChosenFileTitle().IsEmpty());
}

TEST(UIFileSelectionDialog, PathLongerThanTheBufferIsNotReturned) {
    // Wine's own dialog copies the typed path into a buffer of MAX_PATH characters
    // and crashes on a longer one before it can report anything.
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "the platform's dialog under Wine cannot take a path this long";
    testenv::TempFolder folder;
    CMString name = CMString(std::wstring(240, L'n')) + L".csv";
    ASSERT_GT(folder.File(name.c_str()).GetLength(), 260);
    UIFileSelectionDialog dialog(false, L".csv", L"", OFN_HIDEREADONLY, ImportFilter(), nullptr);
    harness::ModalDriver driver;
    driver.Then(TypeAndOk(folder.File(name.c_str())));
    DWORD error = 0;
    EXPECT_FALSE(dialog.Run(error));
    EXPECT_EQ(error, static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
    EXPECT_TRUE(dialog.GetFileName().IsEmpty());
}

// Read once the dialog has filled its lists, which it does after it became active.
struct ShownState {
    CMString fileName;
    std::vector<CMString> types;
};
ShownState* g_shown = nullptr;

void CALLBACK ReadShownState(HWND dialog, UINT, UINT_PTR id, DWORD) {
    KillTimer(dialog, id);
    g_shown->fileName = harness::WindowText(FileNameField(dialog));
    HWND typeList = GetDlgItem(dialog, cmb1);
    int count = static_cast<int>(SendMessageW(typeList, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        int length = static_cast<int>(SendMessageW(typeList, CB_GETLBTEXTLEN, i, 0));
        std::wstring text(length > 0 ? length : 0, L'\0');
        if (length > 0) SendMessageW(typeList, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
        g_shown->types.emplace_back(text);
    }
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

TEST(UIFileSelectionDialog, ShowsInitialNameAndLanguageFilterTexts) {
    UIFileSelectionDialog dialog(false, L".csv", L"export.csv", OFN_HIDEREADONLY, ImportFilter(), nullptr);
    ShownState shown;
    g_shown = &shown;
    harness::ModalDriver driver;
    driver.Then([](const harness::SeenWindow& seen) { SetTimer(seen.window, 1, 100, ReadShownState); });
    DWORD error = 0;
    EXPECT_FALSE(dialog.Run(error));
    g_shown = nullptr;
    EXPECT_EQ(shown.fileName, L"export.csv");
    ASSERT_EQ(shown.types.size(), 3u);
    EXPECT_EQ(shown.types[0], app::Text(IDS_FILTER_CSV));
    EXPECT_EQ(shown.types[1], app::Text(IDS_FILTER_TXT));
    EXPECT_EQ(shown.types[2], app::Text(IDS_FILTER_ALL_FILES));
}

// The save form asks before a chosen file is replaced; No keeps the dialog open.
TEST(UIFileSelectionDialog, SaveFormAsksBeforeReplacing) {
    testenv::TempFolder folder;
    ASSERT_TRUE(WriteFile(folder.File(L"book.mpb2")));
    struct { int answer; bool chosen; } cases[] = {{IDYES, true}, {IDNO, false}};
    for (const auto& c : cases) {
        UIFileSelectionDialog dialog(true, L".mpb2", L"", kSaveFlags, BuildSingleFilter(L"*.mpb2"), nullptr);
        static HWND s_fileDialog;
        s_fileDialog = nullptr;
        harness::ModalDriver driver;
        driver.Then([&](const harness::SeenWindow& seen) {
            s_fileDialog = seen.window;
            TypeAndOk(folder.File(L"book.mpb2"))(seen);
        });
        driver.Then([&](const harness::SeenWindow& seen) {
            harness::ModalDriver::Press(c.answer)(seen);
            // After No the file dialog is still up: give up on it once the question is gone.
            if (c.answer == IDNO)
                SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
                    KillTimer(nullptr, id);
                    PostMessageW(s_fileDialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
                });
        });
        DWORD error = 0;
        EXPECT_EQ(dialog.Run(error), c.chosen);
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(dialog.GetFileName(), c.chosen ? folder.File(L"book.mpb2") : CMString());
    }
}

TEST(UIFileSelectionDialog, EveryDialogIsExplorerStyle) {
    const DWORD flagSets[] = {0, OFN_HIDEREADONLY, kOpenFlags, kSaveFlags, OFN_EXPLORER | OFN_FILEMUSTEXIST};
    for (DWORD flags : flagSets) {
        UIFileSelectionDialog dialog(false, L"", L"", flags, {}, nullptr);
        EXPECT_EQ(dialog.Flags(), flags | OFN_EXPLORER);
        dialog.SetFlags(flags & ~OFN_EXPLORER);
        EXPECT_EQ(dialog.Flags(), flags | OFN_EXPLORER);
        UIFileSelectionDialog copy = dialog;
        EXPECT_EQ(copy.Flags(), flags | OFN_EXPLORER);
    }
}

}  // namespace
