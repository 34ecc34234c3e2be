// Where the help path comes from: the command line, or the registry when it is blank.
#include <windows.h>

#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "app/core/CommandLine.h"
#include "app/Startup.h"
#include "harness/TestEnvironment.h"
#include "util/RegistryKey.h"

namespace {

const CMString kHelpKey = L"Software\\Morva\\PhoneBookAppHelpPath";

TEST(Startup, HelpPathFromRegistryOnlyWhenBlankAndPhonebookGiven) {
    RegistryKey key;
    ASSERT_EQ(key.CreateRegistryKey(HKEY_LOCAL_MACHINE, kHelpKey, KEY_ALL_ACCESS), ERROR_SUCCESS);
    key.SetStringValue(L"HelpPath", L"C:\\Help\\%s.htm");
    key.Close();
    struct { const wchar_t* line; const wchar_t* help; } cases[] = {
        {L"", L""},
        {L"-h \"X\"", L""},
        {L"-f \"a.pb\"", L"C:\\Help\\%s.htm"},
        {L"-f \"a.pb\" -h \"\"", L"C:\\Help\\%s.htm"},
        {L"-f \"a.pb\" -h \"  \"", L"C:\\Help\\%s.htm"},
        {L"-f \"a.pb\" -h \"D:\\%s\"", L"D:\\%s"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ResolveHelpPath(ParseCommandLine(c.line)), CMString(c.help)) << CMString(c.line).ToUtf8();

    testenv::DeleteRegistryTree(HKEY_LOCAL_MACHINE, kHelpKey);
    EXPECT_EQ(ResolveHelpPath(ParseCommandLine(L"-f \"a.pb\"")), CMString());
}

}  // namespace
