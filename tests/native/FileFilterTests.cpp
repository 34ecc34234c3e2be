#include <gtest/gtest.h>

#include <string>

#include "PrintCMString.h"
#include "importexport/core/FileFilter.h"

namespace {

// The list as the platform reads it: UTF-16 code units, little-endian.
std::u16string Units(const ByteBuffer& list) {
    std::u16string units;
    for (size_t i = 0; i + 1 < list.Size(); i += 2)
        units.push_back(static_cast<char16_t>(list.Data()[i] | (list.Data()[i + 1] << 8)));
    return units;
}

}  // namespace

TEST(FileFilter, PairsBecomeTheListThePlatformReads) {
    using namespace std::string_literals;
    struct { std::vector<FileFilterText> pairs; std::u16string units; } cases[] = {
        {{}, u"\0"s},
        {{{L"Phone books", L"*.mpb2;*.mpb; *.pb"}, {L"All files", L"*.*"}},
         u"Phone books\0*.mpb2;*.mpb; *.pb\0All files\0*.*\0\0"s},
        {{{L"CSV", L"*.csv"}, {L"Text", L"*.txt"}, {L"All", L"*.*"}}, u"CSV\0*.csv\0Text\0*.txt\0All\0*.*\0\0"s},
        // A missing language text must not end the list before its pattern.
        {{{L"", L"*.csv"}, {L"All", L"*.*"}}, u"*.csv\0*.csv\0All\0*.*\0\0"s},
        // Neither must an empty pattern.
        {{{L"Nothing", L""}, {L"All", L"*.*"}}, u"All\0*.*\0\0"s},
        {{{L"Telefonb\u00fccher", L"*.mpb2"}}, u"Telefonb\u00fccher\0*.mpb2\0\0"s},
        {{{L"\u05e1\u05e4\u05e8\u05d9\u05dd", L"*.pb"}}, u"\u05e1\u05e4\u05e8\u05d9\u05dd\0*.pb\0\0"s},
    };
    for (const auto& c : cases) {
        ByteBuffer list = MakeFilterList(c.pairs);
        EXPECT_EQ(list.Size() % 2, 0u);
        EXPECT_EQ(Units(list), c.units) << (c.pairs.empty() ? "" : c.pairs[0].description.ToUtf8());
    }
}

TEST(FileFilter, CharactersBeyondTheBasicPlaneBecomeSurrogatePairs) {
    std::wstring musical = sizeof(wchar_t) == 2 ? std::wstring(L"\xD834\xDD1E") : std::wstring(1, wchar_t(0x1D11E));
    ByteBuffer list = MakeFilterList({{CMString(L"Notes ") + CMString(musical), L"*.txt"}});
    EXPECT_EQ(Units(list), std::u16string(u"Notes \xD834\xDD1E\0*.txt\0\0", 16));
}
