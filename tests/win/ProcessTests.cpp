// The shipped program as a user starts it: its own process, its own command line.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "PrintCMString.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "util/RegistryKey.h"
#include "util/ResourceLoader.h"
#include "resources/text_ids.h"

namespace {

struct Outcome {
    CMString title;
    DWORD exitCode = STILL_ACTIVE;
    bool rightToLeft = false;
};

Outcome StartAndClose(const CMString& arguments) {
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
