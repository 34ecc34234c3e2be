#include <gtest/gtest.h>

#include "dialogs/core/GroupName.h"

namespace {

TEST(GroupName, BlankNamesAndThePlaceholderNameNoGroup) {
    struct { const wchar_t* name; const wchar_t* placeholder; bool usable; } cases[] = {
        {L"", L"(required)", false},
        {L" \t ", L"(required)", false},
        {L"(required)", L"(required)", false},
        {L"(REQUIRED)", L"(required)", false},
        {L"(required) ", L"(required)", true},   // only the placeholder itself is refused
        {L"Sales", L"(required)", true},
        {L"Sales", L"", true},                   // no placeholder text: only blanks are refused
        {L"\u05e9\u05dd", L"(\u05d7\u05d5\u05d1\u05d4)", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsUsableGroupName(c.name, c.placeholder), c.usable) << CMString(c.name).ToUtf8();
}

}  // namespace
