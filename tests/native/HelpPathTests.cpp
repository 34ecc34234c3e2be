#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "mainwindow/core/HelpPath.h"

TEST(HelpPath, TopicTakesThePlaceOfTheFirstPercentS) {
    struct { const wchar_t* path; const wchar_t* expected; } cases[] = {
        {L"C:\\Help\\%s.html", L"C:\\Help\\wi_fax_phonebook.html"},
        {L"http://help.example.com/fax/%s.htm", L"http://help.example.com/fax/wi_fax_phonebook.htm"},
        {L"%s", L"wi_fax_phonebook"},
        {L"C:\\Help\\index.html", L"C:\\Help\\index.html"},
        {L"", L""},
        // The path is the user's data, not a printf format: nothing else is interpreted.
        {L"http://host/a%20b/%s?x=%d", L"http://host/a%20b/wi_fax_phonebook?x=%d"},
        {L"C:\\%s\\%s.html", L"C:\\wi_fax_phonebook\\%s.html"},
        {L"C:\\100%%\\%s", L"C:\\100%\\wi_fax_phonebook"},
        {L"C:\\Help\\%n%x%", L"C:\\Help\\%n%x%"},
        {L"C:\\Help\\%S.html", L"C:\\Help\\%S.html"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatHelpPath(c.path, L"wi_fax_phonebook"), CMString(c.expected)) << CMString(c.path).ToUtf8();
}

TEST(HelpPath, OnlyLowerCaseHttpCountsAsWebHelp) {
    struct { const wchar_t* path; bool web; } cases[] = {
        {L"http://help.example.com/%s", true},
        {L"see http:%s", true},
        {L"HTTP://help.example.com/%s", false},
        {L"Http://help.example.com/%s", false},
        {L"https://help.example.com/%s", false},
        {L"C:\\http\\%s.html", false},
        {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsWebHelpPath(c.path), c.web) << CMString(c.path).ToUtf8();
}
