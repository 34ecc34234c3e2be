#include <gtest/gtest.h>

#include "PrintCMString.h"

#include "util/CMString.h"
#include "util/MorvaUtilities.h"

TEST(Email, Validity) {
    struct { const wchar_t* address; bool valid; } cases[] = {
        {L"a@b.c", true},
        {L"first.last@example.co.uk", true},
        {L"m\u00fcller@beispiel.de", true},
        {L"", false},
        {L"plain", false},
        {L"@example.com", false},
        {L"a@", false},
        {L"a@localhost", false},
        {L"a@@b.c", false},
        {L"a@b@c.d", false},
        {L"a b@c.d", false},
        {L"a@b.c ", false},
        {L"a\t@b.c", false},
        {L"a@.b.c", false},
        {L"a@b.c.", false},
        {L"a@b..c", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MorvaUtilities::IsEmailAddressValid(c.address), c.valid) << CMString(c.address).ToUtf8();
}
