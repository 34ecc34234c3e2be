// Every help topic the dialogs open has its page in the shipped help folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "PrintCMString.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/HelpAbout.h"

namespace {

TEST(HelpPages, EveryTopicHasItsPage) {
    const wchar_t* topics[] = {helptopic::kMainDialog, helptopic::kNewEntry, helptopic::kEntry,
                               helptopic::kNewGroup,   helptopic::kGroup,    helptopic::kAddToGroup,
                               helptopic::kConvert,    helptopic::kImport,   helptopic::kExport};
    for (const wchar_t* topic : topics) {
        SCOPED_TRACE(CMString(topic).ToUtf8());
        CMString page = CMString::Formatted((testenv::DistDir() + L"help\\en-US\\%s.html").c_str(), topic);
        HANDLE file = CreateFileW(page.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        char buffer[8192] = {};
        DWORD read = 0;
        ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
        CloseHandle(file);
        std::string text(buffer, read);
        EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos);
        EXPECT_NE(text.find("<h1>"), std::string::npos);
        EXPECT_NE(text.find("</html>"), std::string::npos);
    }
}

}  // namespace
