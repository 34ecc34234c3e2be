#include <gtest/gtest.h>

#include "PrintCMString.h"

#include "util/CMString.h"
#include "util/core/Format.h"

namespace {

struct Case {
    const char* what;
    std::wstring got;
    std::wstring expected;
};

TEST(Format, WindowsWideConversions) {
    const wchar_t* nullText = nullptr;
    const Case cases[] = {
        {"%s is a wide string", mrv::Format(L"[%s]", L"Müller"), L"[Müller]"},
        {"%ls is a wide string", mrv::Format(L"[%ls]", L"a"), L"[a]"},
        {"%hs is narrow", mrv::Format(L"[%hs]", "abc"), L"[abc]"},
        {"%S is narrow in a wide format", mrv::Format(L"[%S]", "abc"), L"[abc]"},
        {"null string", mrv::Format(L"%s", nullText), L"(null)"},
        {"precision cuts", mrv::Format(L"%.3s", L"abcdef"), L"abc"},
        {"width pads left", mrv::Format(L"%5s|", L"ab"), L"   ab|"},
        {"minus pads right", mrv::Format(L"%-5s|", L"ab"), L"ab   |"},
        {"mailbox form", mrv::Format(L"%03d", 7), L"007"},
        {"negative zero-padded", mrv::Format(L"%05d", -42), L"-0042"},
        {"unsigned max", mrv::Format(L"%u", 4294967295u), L"4294967295"},
        {"int min", mrv::Format(L"%d", -2147483647 - 1), L"-2147483648"},
        {"64-bit I64", mrv::Format(L"%I64u", 18446744073709551615ull), L"18446744073709551615"},
        {"64-bit ll", mrv::Format(L"%lld", -9223372036854775807ll - 1), L"-9223372036854775808"},
        {"size_t", mrv::Format(L"%zu", static_cast<size_t>(2500)), L"2500"},
        {"hex", mrv::Format(L"%x %X %#x", 255u, 255u, 255u), L"ff FF 0xff"},
        {"plus flag", mrv::Format(L"%+d %+d", 5, -5), L"+5 -5"},
        {"star width and precision", mrv::Format(L"%*.*s|", 6, 2, L"abcd"), L"    ab|"},
        {"negative star width means left", mrv::Format(L"%*d|", -4, 1), L"1   |"},
        {"precision on integers", mrv::Format(L"%.4d", 12), L"0012"},
        {"zero with precision ignores 0 flag", mrv::Format(L"%06.3d", 5), L"   005"},
        {"wide char", mrv::Format(L"%c%c", L'\u05d0', L'b'), L"\u05d0b"},
        {"percent", mrv::Format(L"100%%"), L"100%"},
        {"float", mrv::Format(L"%.2f", 3.14159), L"3.14"},
        {"unknown conversion shown", mrv::Format(L"%y!"), L"%y!"},
        {"truncated at end", mrv::Format(L"abc%"), L"abc%"},
        {"several in order", mrv::Format(L"%u of %u: %s", 3u, 10u, L"x"), L"3 of 10: x"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(Format, CMStringFormatAndAppend) {
    CMString s;
    s.Format(L"%s-%d", L"a", 1);
    s.AppendFormat(L"/%s", L"b");
    EXPECT_EQ(s, CMString(L"a-1/b"));
    EXPECT_EQ(CMString::Formatted(L"%sMorva\\%s", L"C:\\p\\", L"x"), CMString(L"C:\\p\\Morva\\x"));
}

TEST(Format, LongTextIsNotCut) {
    std::wstring big(5000, L'x');
    EXPECT_EQ(mrv::Format(L"<%s>", big.c_str()).size(), 5002u);
}

}  // namespace
