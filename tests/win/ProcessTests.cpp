// The shipped program as a user starts it: its own process, its own command line.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

#include "PrintCMString.h"
#include "data/PhonebookDB.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "util/RegistryKey.h"
#include "util/ResourceLoader.h"
#include "resources/resource.h"
#include "resources/text_ids.h"

namespace {

struct Outcome {
    CMString title;
    DWORD exitCode = STILL_ACTIVE;
    bool rightToLeft = false;
};

// Runs whileOpen on the program's main dialog before closing it.
Outcome StartAndClose(const CMString& arguments, const std::function<void(HWND, HANDLE)>& whileOpen = {}) {
    Outcome run;
    CMString commandLine = CMString(L"\"") + testenv::DistDir() + L"PhonebookEditor.exe\" " + arguments;
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, commandLine.GetBuffer(commandLine.GetLength() + 1), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << commandLine.ToUtf8();
        return run;
    }
    HWND dialog = testenv::WaitForProcessDialog(pi.dwProcessId);
    EXPECT_TRUE(dialog) << "no main dialog for " << arguments.ToUtf8();
    if (dialog) {
        run.title = harness::WindowText(dialog);
        run.rightToLeft = (GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        if (whileOpen) whileOpen(dialog, pi.hProcess);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "program did not end";
        TerminateProcess(pi.hProcess, 99);
    }
    GetExitCodeProcess(pi.hProcess, &run.exitCode);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return run;
}

CMString ExpectedText(const wchar_t* language, unsigned id) {
    ResourceLoader library;
    library.LoadDll(testenv::LanguageLibrary(language));
    return library.LoadStringW(id);
}

TEST(Program, StartsAndClosesWithExitCodeZero) {
    CMString sizeKey = CMString(L"Software\\Morva\\") + ExpectedText(L"en-US", IDS_APP_CLASS);
    testenv::TempFolder folder;
    CMString existing = folder.File(L"\u05e9\u05dc\u05d5\u05dd \u00e9.mpb2");
    ASSERT_TRUE(testenv::MakeBook(existing, L"mpb2"));
    struct { CMString arguments; unsigned title; } cases[] = {
        {L"", IDS_TITLE},
        // A book that does not exist yet is made when opened for writing.
        {CMString(L"-f \"") + folder.File(L"new.mpb2") + L"\"", IDS_TITLE},
        {CMString(L"-f \"") + existing + L"\" -t \"1\" -^ \"1\"", IDS_TITLE_READONLY},
        {CMString(L"-f \"") + folder.File(L"p.mpb2") + L"\" -n \"No Such Printer\"", IDS_TITLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.ToUtf8());
        testenv::DeleteRegistryTree(HKEY_CURRENT_USER, sizeKey);
        Outcome run = StartAndClose(c.arguments);
        EXPECT_EQ(run.exitCode, 0u);
        EXPECT_EQ(run.title, ExpectedText(L"en-US", c.title));
        RegistryKey key;
        ASSERT_EQ(key.OpenRegistryKey(HKEY_CURRENT_USER, sizeKey, KEY_READ), ERROR_SUCCESS);
        DWORD width = 0, height = 0;
        EXPECT_TRUE(key.GetDWordValue(L"InitSize_X", width));
        EXPECT_TRUE(key.GetDWordValue(L"InitSize_Y", height));
        EXPECT_GE(width, 364u);
        EXPECT_GE(height, 268u);
    }
}

// What a screen reader in its own process reads of the main list: the control asks the
// program for each text, and only what lands in the reader's own buffer reaches it.
TEST(Program, AnotherProcessReadsTheListsTexts) {
    testenv::TempFolder folder;
    const CMString book = folder.File(L"read.mpb2");
    ASSERT_TRUE(testenv::MakeBook(book, L"mpb2"));
    {
        PhonebookDB db;
        db.SetWideMode(true);
        db.SetCurrentFormat(true);
        ASSERT_TRUE(db.Open(book, 0, 0));
        RecordPtr r = MakeRecord();
        CopyField(r->name, CMString(L"Anna Smith"));
        CopyField(r->fax, CMString(L"0301"));
        EngineRecord e = db.NewEngineRecord();
        db.ToEngineRecord(*r, e);
        ASSERT_EQ(db.AddRecord(e, false), 0);
        CMString team = L"Team";
        ASSERT_TRUE(db.CreateGroup(team, nullptr, false));
    }
    std::vector<CMString> read;
    StartAndClose(CMString(L"-f \"") + book + L"\"", [&](HWND dialog, HANDLE process) {
        HWND list = GetDlgItem(dialog, IDC_LIST);
        ASSERT_TRUE(harness::PumpUntil([&] { return ListView_GetItemCount(list) == 2; }));
        struct Remote {
            LVITEMW item;
            wchar_t text[100];
        };
        std::unique_ptr<void, std::function<void(void*)>> remote(
            VirtualAllocEx(process, nullptr, sizeof(Remote), MEM_COMMIT, PAGE_READWRITE),
            [process](void* at) { VirtualFreeEx(process, at, 0, MEM_RELEASE); });
        ASSERT_TRUE(remote);
        auto* at = static_cast<Remote*>(remote.get());
        for (int cell = 0; cell < 4; ++cell) {
            Remote local = {};
            local.item.iSubItem = cell % 2;
            local.item.pszText = at->text;
            local.item.cchTextMax = 100;
            WriteProcessMemory(process, at, &local, sizeof local, nullptr);
            SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(cell / 2), reinterpret_cast<LPARAM>(&at->item));
            ReadProcessMemory(process, at, &local, sizeof local, nullptr);
            read.emplace_back(local.text);
        }
    });
    EXPECT_EQ(read, (std::vector<CMString>{L"Anna Smith", L"0301", L"[Team]", L""}));
}

// The language follows the user's (Wine takes it from the Unix locale the test runs
// in, see tests/CMakeLists.txt): shipped exactly, by primary language, or English;
// Hebrew also mirrors the window.
TEST(Program, LanguageFollowsUser) {
    const char* expected = std::getenv("PBE_EXPECT_LANGUAGE");
    CMString library = CMString::FromUtf8(expected ? expected : "en-US");
    Outcome run = StartAndClose(L"");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.title, ExpectedText(library.c_str(), IDS_TITLE));
    EXPECT_EQ(run.rightToLeft, library == CMString(L"he-IL"));
}

}  // namespace
