#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "dialogs/core/EntryFields.h"

namespace {

TEST(EntryFields, MailboxKeepsItsLeadingNumberWithinRange) {
    struct { const wchar_t* typed; const wchar_t* kept; } cases[] = {
        {L"", L""},         {L"0", L"1"},       {L"1", L"1"},      {L"42", L"42"},     {L"007", L"7"},
        {L"999", L"999"},   {L"1000", L"999"},  {L"abc", L"1"},    {L"12ab", L"12"},   {L" 5", L"5"},
        {L"-3", L"1"},      {L"+8", L"8"},      {L"- 4", L"1"},
        // Far more digits than any integer holds: still the upper bound, not a wrapped value.
        {L"99999999999999999999999", L"999"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entryfields::NormalisedMailbox(c.typed), CMString(c.kept)) << CMString(c.typed).ToUtf8();
}

TEST(EntryFields, RequiredFieldIsUnfilledWhenBlankOrPlaceholder) {
    const CMString placeholder = L"(required)";
    struct { const wchar_t* text; bool unfilled; } cases[] = {
        {L"", true},           {L"   ", true},          {L"(required)", true}, {L"(REQUIRED)", true},
        {L"(Required)", true}, {L"(required) x", false}, {L"Anna", false},     {L" a ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entryfields::IsUnfilled(c.text, placeholder), c.unfilled) << CMString(c.text).ToUtf8();
}

TEST(EntryFields, MultiLineTextBreaksWithCrLfWithinItsRoom) {
    struct { const wchar_t* text; int room; const wchar_t* shown; } cases[] = {
        {L"one\ntwo", 20, L"one\r\ntwo"},
        {L"\n\n", 20, L"\r\n\r\n"},
        {L"a\r\nb", 20, L"a\r\nb"},       // an existing break is not doubled
        {L"abcdef", 4, L"abcd"},
        {L"abc\ndef", 4, L"abc"},          // no carriage return left without its line feed
        {L"abc\ndef", 5, L"abc\r\n"},
        {L"ab\r\ncd", 3, L"ab"},
        {L"", 0, L""},
    };
    for (const auto& c : cases) {
        CMString shown = entryfields::MultiLineText(c.text, c.room);
        EXPECT_EQ(shown, CMString(c.shown)) << CMString(c.text).ToUtf8() << " room " << c.room;
        EXPECT_LE(shown.GetLength(), c.room);
    }
}

TEST(EntryFields, LongMessageFillsButNeverPassesItsRoom) {
    CMString text;
    for (int i = 0; i < 400; ++i) text += L"x\n";
    for (int room : {502, 503}) {
        CMString shown = entryfields::MultiLineText(text, room);
        EXPECT_LE(shown.GetLength(), room);
        EXPECT_GE(shown.GetLength(), room - 2);
        EXPECT_NE(shown.GetAt(shown.GetLength() - 1), L'\r');
    }
}

}  // namespace
