// Every help topic the dialogs open has its page in the shipped help folder, in every
// shipped language, each page in its own language and reading direction.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "PrintCMString.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/HelpAbout.h"

namespace {

std::string ReadPage(const CMString& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[8192];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

std::string Between(const std::string& text, const char* open, const char* close) {
    size_t first = text.find(open);
    if (first == std::string::npos) return {};
    first += strlen(open);
    size_t last = text.find(close, first);
    return last == std::string::npos ? std::string() : text.substr(first, last - first);
}

TEST(HelpPages, EveryTopicHasItsPage) {
    const wchar_t* topics[] = {helptopic::kMainDialog, helptopic::kNewEntry, helptopic::kEntry,
                               helptopic::kNewGroup,   helptopic::kGroup,    helptopic::kAddToGroup,
                               helptopic::kConvert,    helptopic::kImport,   helptopic::kExport,
                               helptopic::kDirectory,  helptopic::kDuplicates, helptopic::kPrint,
                               helptopic::kAddressBook};
    struct { const wchar_t* folder; const char* html; } languages[] = {
        {L"en-US", "<html lang=\"en-US\" dir=\"ltr\">"},
        {L"de-DE", "<html lang=\"de-DE\" dir=\"ltr\">"},
        {L"he-IL", "<html lang=\"he-IL\" dir=\"rtl\">"},
    };
    for (const wchar_t* topic : topics) {
        std::string englishHeading;
        for (const auto& language : languages) {
            SCOPED_TRACE(CMString(language.folder).ToUtf8() + " " + CMString(topic).ToUtf8());
            CMString path = testenv::DistDir() + L"help\\" + language.folder + L"\\" + topic + L".html";
            std::string text = ReadPage(path);
            ASSERT_FALSE(text.empty());
            EXPECT_NE(text.find(language.html), std::string::npos);
            EXPECT_NE(text.find("<meta charset=\"utf-8\">"), std::string::npos);
            EXPECT_NE(text.find("</html>"), std::string::npos);
            // Translated, not a copy of the English page.
            std::string heading = Between(text, "<h1>", "</h1>");
            EXPECT_FALSE(heading.empty());
            if (englishHeading.empty()) englishHeading = heading;
            else EXPECT_NE(heading, englishHeading);
        }
    }
}

}  // namespace
