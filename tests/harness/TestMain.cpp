// Windows tests run with the program's own resources linked in, the version 6
// common controls, and English texts unless a test picks another language.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/AppGlobals.h"
#include "harness/TestEnvironment.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    app::SetInstance(GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    testenv::UseLanguage(L"en-US");
    return RUN_ALL_TESTS();
}
