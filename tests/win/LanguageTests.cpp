// Every text the program uses exists in every language, and each format text takes
// exactly the arguments the code passes (a %s fed a number would crash).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "PrintCMString.h"
#include "harness/TestEnvironment.h"
#include "resources/text_ids.h"
#include "util/ResourceLoader.h"

namespace {

struct TextArgs {
    unsigned id;
    const char* name;
    const char* kinds;
};

#define TEXT_ARGS(id, kinds) {id, #id, kinds},
const TextArgs kTexts[] = {
#include "text_args.inc"
};
#undef TEXT_ARGS

// The argument kinds a printf format consumes: s wide text, d signed, u unsigned, c char.
std::string ConversionKinds(const CMString& format, bool& malformed) {
    std::string kinds;
    malformed = false;
    const std::wstring& f = format.str();
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != L'%') continue;
        ++i;
        if (i < f.size() && f[i] == L'%') continue;
        while (i < f.size() && wcschr(L"-+ #0", f[i])) ++i;
        while (i < f.size() && (iswdigit(f[i]) || f[i] == L'.')) ++i;
        if (i < f.size() && (f[i] == L'*')) { malformed = true; return kinds; }
        while (i < f.size() && wcschr(L"hlLwzjtI64", f[i])) ++i;
        if (i >= f.size()) { malformed = true; return kinds; }
        switch (f[i]) {
            case L's': kinds += 's'; break;
            case L'd': case L'i': kinds += 'd'; break;
            case L'u': case L'x': case L'X': case L'o': kinds += 'u'; break;
            case L'c': kinds += 'c'; break;
            default: malformed = true; return kinds;
        }
    }
    return kinds;
}

class LanguageLibrary : public testing::TestWithParam<const wchar_t*> {};

TEST_P(LanguageLibrary, EveryTextPresentWithMatchingArguments) {
    ResourceLoader library;
    ASSERT_TRUE(library.LoadDll(testenv::LanguageLibrary(GetParam())));
    for (const auto& t : kTexts) {
        CMString text = library.LoadStringW(t.id);
        EXPECT_FALSE(text.IsEmpty()) << t.name << " (" << t.id << ") has no text";
        bool malformed = false;
        EXPECT_EQ(ConversionKinds(text, malformed), std::string(t.kinds)) << t.name << ": " << text.ToUtf8();
        EXPECT_FALSE(malformed) << t.name << ": " << text.ToUtf8();
    }
}

INSTANTIATE_TEST_SUITE_P(Shipped, LanguageLibrary, testing::Values(L"en-US", L"de-DE", L"he-IL"),
                         [](const testing::TestParamInfo<const wchar_t*>& param) {
                             std::string name = CMString(param.param).ToUtf8();
                             name.erase(name.find('-'), 1);
                             return name;
                         });

TEST(LanguageLibrary, KindParserReadsWindowsFormats) {
    struct { const wchar_t* format; const char* kinds; } cases[] = {
        {L"plain", ""}, {L"100%% sure", ""}, {L"%s and %d", "sd"}, {L"%03d", "d"}, {L"%lu of %u", "uu"},
        {L"%-10s|%c", "sc"}};
    for (const auto& c : cases) {
        bool malformed = false;
        EXPECT_EQ(ConversionKinds(c.format, malformed), std::string(c.kinds));
        EXPECT_FALSE(malformed);
    }
}

}  // namespace
