// Windows tests run with the program's own resources linked in, the version 6
// common controls, the program's COM apartment, and English texts unless a test picks
// another language.
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "app/AppGlobals.h"
#include "harness/BookLock.h"
#include "harness/TestEnvironment.h"

int main(int argc, char** argv) {
    // A child role some tests start this program in, before anything of the tests.
    int wideCount = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &wideCount)) {
        int exitCode = 0;
        const bool child = booklock::RunHolderRole(wideCount, wide, &exitCode);
        LocalFree(wide);
        if (child) return exitCode;
    }
    testing::InitGoogleTest(&argc, argv);
    app::SetInstance(GetModuleHandleW(nullptr));
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    testenv::UseLanguage(L"en-US");
    return RUN_ALL_TESTS();
}
