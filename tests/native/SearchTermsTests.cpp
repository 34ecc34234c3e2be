#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "data/core/SearchTerms.h"

TEST(SearchTerms, TextToTerms) {
    struct { const wchar_t* text; std::vector<const wchar_t*> terms; } cases[] = {
        {L"", {}},
        {L"     ", {}},
        {L"Smith", {L"smith*"}},
        {L"  Anna   SMITH  ", {L"anna*", L"smith*"}},
        {L"a b c", {L"a*", L"b*", L"c*"}},
        {L"fax*", {L"fax*"}},
        {L"a**b", {L"a*", L"b*"}},
        {L"M\u00dcLLER", {L"m\u00fcller*"}},
    };
    for (const auto& c : cases) {
        auto terms = BuildSearchTerms(c.text);
        ASSERT_EQ(terms.size(), c.terms.size()) << CMString(c.text).ToUtf8();
        for (size_t i = 0; i < terms.size(); ++i) EXPECT_EQ(terms[i], CMString(c.terms[i]));
    }
}
