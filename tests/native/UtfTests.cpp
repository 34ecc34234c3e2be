#include <gtest/gtest.h>

#include "PrintCMString.h"

#include "util/core/Utf.h"

TEST(Utf, DecodeTable) {
    struct { const char* what; std::string in; std::wstring out; bool valid; } cases[] = {
        {"ascii", "abc", L"abc", true},
        {"two byte", "\xC3\xBC", L"\u00fc", true},
        {"three byte", "\xE2\x82\xAC", L"\u20ac", true},
        {"four byte", "\xF0\x9F\x93\xA0", std::wstring(L"\U0001F4E0"), true},
        {"overlong", "\xC0\xAF", L"\ufffd\ufffd", false},
        {"surrogate encoded", "\xED\xA0\x80", L"\ufffd", false},
        {"truncated at end", "a\xE2\x82", L"a\ufffd", false},
        {"bad continuation keeps next byte", "\xE2(x", L"\ufffd(x", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", L"\ufffd", false},
        {"lone continuation", "\x80z", L"\ufffdz", false},
        {"embedded zero", std::string("a\0b", 3), std::wstring(L"a\0b", 3), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mrv::Utf8ToWide(c.in), c.out) << c.what;
        EXPECT_EQ(mrv::IsValidUtf8(c.in), c.valid) << c.what;
    }
}

TEST(Utf, EncodeRoundTripsEveryPlane) {
    std::wstring text = L"a\u00e9\u0800\uffff";
    text += std::wstring(L"\U00010000\U0010FFFF");
    EXPECT_EQ(mrv::Utf8ToWide(mrv::WideToUtf8(text)), text);
}

TEST(Utf, LoneSurrogateBecomesReplacement) {
    if constexpr (sizeof(wchar_t) == 2) {
        std::wstring lone(1, static_cast<wchar_t>(0xD800));
        EXPECT_EQ(mrv::WideToUtf8(lone), "\xEF\xBF\xBD");
    }
}
