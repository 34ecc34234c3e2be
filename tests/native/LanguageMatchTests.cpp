#include <gtest/gtest.h>

#include "PrintCMString.h"

#include "util/core/LanguageMatch.h"

TEST(LanguageMatch, PicksShippedFolder) {
    const std::vector<std::wstring> shipped = {L"de-DE", L"en-US", L"he-IL"};
    struct { std::vector<std::wstring> preferred; const wchar_t* folder; } cases[] = {
        {{L"de-DE"}, L"de-DE"},
        {{L"he-il"}, L"he-IL"},
        {{L"de-AT"}, L"de-DE"},
        {{L"de"}, L"de-DE"},
        {{L"fr-FR"}, L"en-US"},
        {{}, L"en-US"},
        {{L""}, L"en-US"},
        {{L"de-AT", L"en-US"}, L"de-DE"},
        {{L"fr-FR", L"he-IL"}, L"he-IL"},
        {{L"en-GB"}, L"en-US"},
    };
    for (const auto& c : cases) EXPECT_EQ(mrv::MatchLanguageFolder(c.preferred, shipped), c.folder);
}

TEST(LanguageMatch, NothingShippedStillNamesFallback) {
    EXPECT_EQ(mrv::MatchLanguageFolder({L"de-DE"}, {}), L"en-US");
}
