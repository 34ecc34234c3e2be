#include <gtest/gtest.h>

#include <string>

#include "dialogs/core/CharSet.h"

namespace {

// The codes 0-255 a set holds, in order, as text.
std::wstring LowMembers(const CharSet& set) {
    std::wstring members;
    for (char32_t code = 0; code < 256; ++code)
        if (set.Contains(code)) members += static_cast<wchar_t>(code);
    return members;
}

std::wstring Span(wchar_t first, wchar_t last) {
    std::wstring text;
    for (wchar_t ch = first; ch <= last; ++ch) text += ch;
    return text;
}

TEST(CharSet, SpecificationNamesTheseCharacters) {
    struct { const wchar_t* spec; std::wstring named; } cases[] = {
        {L"", L""},
        {L"0-9", Span(L'0', L'9')},
        {L"|[]", L"[]|"},
        {L"0-9+", L"+" + Span(L'0', L'9')},
        {L"a-c-e", L"abcde"},          // the end of a range starts the next
        {L"-09", L"-09"},              // a minus at the start is itself
        {L"09-", L"-09"},              // and at the end
        {L"-", L"-"},
        {L"--", L"-"},
        {L"-a-", L"-a"},               // start and end minus, nothing in between
        {L"a--", L"-a"},               // a range that runs downward names its end
        {L"z-a", L"az"},
        {L"a-a", L"a"},
        {L"\\-", L"-"},                // an escaped minus is a plain minus
        {L"0\\-9", L"-09"},
        {L"\\\\", L"\\"},
        {L"\\a\\b", L"ab"},
        {L"\\", L"\\"},                // a trailing backslash stands for itself
        {L"ab\\", L"\\ab"},
        {L"\\--/", L"-./"},            // an escaped character starts a range
        {L" ()+-/0-9", L" ()+,-./0123456789"},
        {L"\x01-\x03", L"\x01\x02\x03"},
    };
    for (const auto& c : cases) {
        CharSet set;
        set.Apply(c.spec, true);
        EXPECT_EQ(LowMembers(set), c.named) << "spec: " << testing::PrintToString(std::wstring(c.spec));
    }
}

TEST(CharSet, RefusingRemovesOnlyWhatIsNamed) {
    CharSet set;
    set.SetAll(true);
    set.Apply(L"|[]", false);
    std::wstring expected;
    for (wchar_t ch = 0; ch < 256; ++ch)
        if (ch != L'|' && ch != L'[' && ch != L']') expected += ch;
    EXPECT_EQ(LowMembers(set), expected);

    CharSet phone;
    phone.Apply(L"0-9 +|", true);
    phone.Apply(L"|", false);
    EXPECT_EQ(LowMembers(phone), L" +" + Span(L'0', L'9'));
}

TEST(CharSet, CodesAboveTwoFiftyFiveAreJudgedWhole) {
    CharSet digits;
    digits.Apply(L"0-9", true);
    // U+0130 and U+0231 share their low byte with '0' and '1', but are no digits.
    EXPECT_FALSE(digits.Contains(0x0130));
    EXPECT_FALSE(digits.Contains(0x0231));
    EXPECT_TRUE(digits.Contains(L'0'));

    CharSet name;
    name.SetAll(true);
    name.Apply(L"|[]", false);
    // Polish letters whose low bytes are '|', '[' and ']' remain allowed.
    for (char32_t letter : {0x017C, 0x015B, 0x015D, 0x05D0, 0x1F600}) EXPECT_TRUE(name.Contains(letter));
    EXPECT_FALSE(name.Contains(L'|'));

    // Characters above 255 a specification names are honoured, ranges included.
    CharSet arabic;
    arabic.Apply(L"\u0660-\u0669", true);
    EXPECT_TRUE(arabic.Contains(0x0660));
    EXPECT_TRUE(arabic.Contains(0x0665));
    EXPECT_TRUE(arabic.Contains(0x0669));
    EXPECT_FALSE(arabic.Contains(0x066A));
    EXPECT_EQ(LowMembers(arabic), L"");

    // A range across 255 covers both sides; a later refusal wins over an earlier allow.
    CharSet across;
    across.Apply(L"\u00FE-\u0101", true);
    across.Apply(L"\u0100", false);
    EXPECT_EQ(LowMembers(across), L"\u00FE\u00FF");
    EXPECT_FALSE(across.Contains(0x0100));
    EXPECT_TRUE(across.Contains(0x0101));
}

TEST(CharSet, SetAllResetsEarlierChanges) {
    CharSet set;
    set.Apply(L"\u0400-\u04FF", true);
    set.SetAll(false);
    EXPECT_FALSE(set.Contains(0x0410));
    EXPECT_EQ(LowMembers(set), L"");
    set.SetAll(true);
    set.Apply(L"\u0410", false);
    EXPECT_FALSE(set.Contains(0x0410));
    EXPECT_TRUE(set.Contains(0x0411));
}

}  // namespace
