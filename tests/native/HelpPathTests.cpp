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

TEST(HelpPath, LocalPagesFollowTheLanguageSpoken) {
    const std::vector<std::wstring> shipped = {L"de-DE", L"en-US", L"he-IL"};
    struct { const wchar_t* target; const wchar_t* language; const wchar_t* expected; } cases[] = {
        {L"C:\\Fax\\help\\en-US\\wi_fax_phonebook.html", L"de-DE", L"C:\\Fax\\help\\de-DE\\wi_fax_phonebook.html"},
        {L"C:\\Fax\\help\\en-US\\wi_fax_phonebook.html", L"he-IL", L"C:\\Fax\\help\\he-IL\\wi_fax_phonebook.html"},
        {L"C:\\Fax\\help\\de-DE\\db_book_entry.html", L"en-US", L"C:\\Fax\\help\\en-US\\db_book_entry.html"},
        {L"\\\\server\\share\\EN-us\\db_book_entry.html", L"he-IL", L"\\\\server\\share\\he-IL\\db_book_entry.html"},
        {L"Z:/dist/help/en-US/db_add_to_group.html", L"de-DE", L"Z:/dist/help/de-DE/db_add_to_group.html"},
        {L"help\\en-US\\x.html", L"de-DE", L"help\\de-DE\\x.html"},
        // The folder nearest the page is the one that names its language.
        {L"C:\\he-IL\\help\\en-US\\x.html", L"de-DE", L"C:\\he-IL\\help\\de-DE\\x.html"},
        // Already the language spoken, or nothing to say which one the pages are in.
        {L"C:\\Fax\\help\\de-DE\\x.html", L"de-DE", L""},
        {L"C:\\Fax\\help\\de-de\\x.html", L"de-DE", L""},
        {L"C:\\Fax\\help\\x.html", L"de-DE", L""},
        {L"C:\\Fax\\help\\fr-FR\\x.html", L"de-DE", L""},
        {L"C:\\Fax\\help\\en-US.html", L"de-DE", L""},  // a page's own name is no folder
        {L"C:\\Fax\\help\\en-US\\x.html", L"", L""},
        // Addresses are the server's business.
        {L"http://help.example.com/en-US/x.htm", L"de-DE", L""},
        {L"HTTP://help.example.com/en-US/x.htm", L"de-DE", L""},
        {L"file:///C:/help/en-US/x.html", L"de-DE", L""},
        {L"", L"de-DE", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HelpTargetInLanguage(c.target, c.language, shipped), CMString(c.expected))
            << CMString(c.target).ToUtf8() << " in " << CMString(c.language).ToUtf8();
}
