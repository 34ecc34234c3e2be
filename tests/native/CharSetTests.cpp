#include <gtest/gtest.h>

#include <string>

#include "dialogs/core/CharSet.h"

namespace {

// The codes 0-255 a set text names, in order.
std::wstring Named(const wchar_t* spec) {
    CharSet set;
    set.Apply(spec, true);
    std::wstring members;
    for (char32_t code = 0; code < 256; ++code)
        if (set.Contains(code)) members += static_cast<wchar_t>(code);
    return members;
}

TEST(CharSet, SpecificationNamesTheseCharacters) {
    struct { const wchar_t* spec; const wchar_t* named; } cases[] = {
        {L"", L""},
        {L"0-9", L"0123456789"},
        {L"|[]", L"[]|"},
        {L"a-c-e", L"abcde"},          // the end of a range starts the next
        {L"-09", L"-09"},              // a minus at the start or the end is itself
        {L"09-", L"-09"},
        {L"--", L"-"},
        {L"a--", L"-a"},               // a range that does not run upward names its end
        {L"z-a", L"az"},
        {L"\\-", L"-"},                // escapes: a plain minus, the backslash itself
        {L"0\\-9", L"-09"},
        {L"\\\\", L"\\"},
        {L"\\a", L"a"},
        {L"\\", L"\\"},                // a trailing backslash stands for itself
        {L"\\--/", L"-./"},            // an escaped character starts a range
        {L" ()+-/0-9", L" ()+,-./0123456789"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Named(c.spec), std::wstring(c.named)) << testing::PrintToString(std::wstring(c.spec));
}

TEST(CharSet, CodesAboveTwoFiftyFiveAreJudgedWhole) {
    CharSet digits;
    digits.Apply(L"0-9", true);
    // Same low bytes as '0' and '1', but no digits.
    EXPECT_FALSE(digits.Contains(0x0130));
    EXPECT_FALSE(digits.Contains(0x0231));

    CharSet name;
    name.SetAll(true);
    name.Apply(L"|[]", false);
    EXPECT_FALSE(name.Contains(L'|'));
    for (char32_t letter : {0x017C, 0x015B, 0x015D, 0x05D0}) EXPECT_TRUE(name.Contains(letter));

    // Named ones are honoured, across 255 too; a later refusal wins.
    CharSet wide;
    wide.Apply(L"\u00FE-\u0101\u0660-\u0669", true);
    wide.Apply(L"\u0100", false);
    for (char32_t code : {0xFE, 0xFF, 0x101, 0x660, 0x669}) EXPECT_TRUE(wide.Contains(code));
    for (char32_t code : {0xFD, 0x100, 0x102, 0x66A}) EXPECT_FALSE(wide.Contains(code));
    wide.SetAll(false);
    EXPECT_FALSE(wide.Contains(0x660));
}

}  // namespace
