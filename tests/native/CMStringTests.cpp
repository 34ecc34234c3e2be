#include <gtest/gtest.h>

#include "PrintCMString.h"

#include "util/CMString.h"

TEST(CMString, FindAndSlice) {
    CMString s(L"[Group] name");
    EXPECT_EQ(s.Find(L']'), 6);
    EXPECT_EQ(s.Find(L"name"), 8);
    EXPECT_EQ(s.Find(L'x'), -1);
    EXPECT_EQ(s.Find(L'[', 1), -1);
    EXPECT_EQ(s.Find(L'n', 100), -1);
    EXPECT_EQ(s.ReverseFind(L'e'), 11);
    EXPECT_EQ(s.Left(7), CMString(L"[Group]"));
    EXPECT_EQ(s.Right(4), CMString(L"name"));
    EXPECT_EQ(s.Mid(1, 5), CMString(L"Group"));
    EXPECT_EQ(s.Mid(8), CMString(L"name"));
    // Out-of-range arguments are clamped, never undefined.
    EXPECT_EQ(s.Left(-3), CMString());
    EXPECT_EQ(s.Left(99), s);
    EXPECT_EQ(s.Right(99), s);
    EXPECT_EQ(s.Mid(50, 2), CMString());
    EXPECT_EQ(s.Mid(-5, 2), CMString(L"[G"));
    EXPECT_EQ(s.GetAt(99), L'\0');
}

TEST(CMString, TrimAndBlank) {
    struct { const wchar_t* in; const wchar_t* trimmed; bool blank; } cases[] = {
        {L"", L"", true},
        {L"   ", L"", true},
        {L"\t\r\n x \t", L"x", false},
        {L"\u00a0a b\u3000", L"a b", false},
        {L"abc", L"abc", false},
    };
    for (const auto& c : cases) {
        CMString s(c.in);
        EXPECT_EQ(s.IsBlank(), c.blank) << s.ToUtf8();
        s.Trim();
        EXPECT_EQ(s, CMString(c.trimmed));
    }
}

TEST(CMString, CompareAndCase) {
    EXPECT_EQ(CMString(L"abc").CompareNoCase(L"ABC"), 0);
    EXPECT_LT(CMString(L"abc").CompareNoCase(L"abd"), 0);
    EXPECT_GT(CMString(L"abcd").CompareNoCase(L"ABC"), 0);
    EXPECT_LT(CMString(L"a").Compare(L"b"), 0);
    EXPECT_EQ(CMString(L"MiXeD").MakeLower(), CMString(L"mixed"));
    EXPECT_EQ(CMString(L"MiXeD").MakeUpper(), CMString(L"MIXED"));
}

TEST(CMString, ReplaceAndBuffer) {
    CMString s(L"a-b-c");
    EXPECT_EQ(s.Replace(L"-", L"--"), 2);
    EXPECT_EQ(s, CMString(L"a--b--c"));
    CMString b;
    wchar_t* p = b.GetBuffer(10);
    p[0] = L'h';
    p[1] = L'i';
    p[2] = 0;
    b.ReleaseBuffer();
    EXPECT_EQ(b, CMString(L"hi"));
    EXPECT_EQ(b.GetLength(), 2);
}

TEST(CMString, Utf8RoundTrip) {
    CMString s(L"Zoë \u05e9\u05dc\u05d5\u05dd \u20ac");
    EXPECT_EQ(CMString::FromUtf8(s.ToUtf8()), s);
    EXPECT_EQ(CMString(L"\u20ac").ToUtf8(), std::string("\xE2\x82\xAC"));
}
