// Fax numbers in their normal form, read against each home country's dialling plan.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "numbers/core/FaxNumber.h"
#include "util/core/Utf.h"

using faxnum::CountryByIso;
using faxnum::NormalForm;

TEST(FaxNumber, NormalFormByHomeCountry) {
    struct { const wchar_t* home; const wchar_t* typed; const wchar_t* form; } cases[] = {
        // Trunk prefix 0; "(0)" after the calling code; 00; separators of every kind.
        {L"DE", L"+49 (0)30 1234-567", L"+49301234567"},
        {L"DE", L"0049 30 1234567", L"+49301234567"},
        {L"DE", L"030/1234567", L"+49301234567"},
        {L"DE", L"[030] 12.34.567", L"+49301234567"},
        {L"DE", L"(0)30 1234567", L"+49301234567"},
        {L"DE", L"+49 30 (0) 1234567", L"+493001234567"},   // not after the code: a digit
        {L"DE", L"+49 030 1234567", L"+490301234567"},      // international is as written
        {L"DE", L"30 1234567", L""},                        // local number, area unknown
        {L"DE", L"  030\u00a01234\u2013567 \t", L"+49301234567"},
        {L"AT", L"01 234 56 78", L"+4312345678"},
        {L"CH", L"044 668 18 00", L"+41446681800"},
        {L"FR", L"+33 (0)1 23 45 67 89", L"+33123456789"},
        {L"BE", L"02 555 12 12", L"+3225551212"},
        {L"NL", L"020-1234567", L"+31201234567"},
        {L"GB", L"+44 (0)20 7946 0000", L"+442079460000"},
        {L"GB", L"0113 496 0000", L"+441134960000"},        // 011 is Leeds, not abroad
        {L"GG", L"01481 123456", L"+441481123456"},
        {L"IE", L"01 234 5678", L"+35312345678"},
        {L"FI", L"09 1234 567", L"+35891234567"},
        {L"SE", L"08-123 456 78", L"+46812345678"},
        {L"TR", L"0212 123 45 67", L"+902121234567"},
        {L"ZA", L"021 123 4567", L"+27211234567"},
        {L"CN", L"010 1234 5678", L"+861012345678"},        // Beijing; abroad is 00
        {L"IN", L"011 2345 6789", L"+911123456789"},        // Delhi
        {L"NZ", L"09 123 4567", L"+6491234567"},
        // No trunk prefix: the digits are the number, Italy's leading 0 included.
        {L"IT", L"06 1234 5678", L"+390612345678"},
        {L"IT", L"+39 (0)6 1234 5678", L"+390612345678"},
        {L"VA", L"06 698 12345", L"+390669812345"},
        {L"ES", L"912 345 678", L"+34912345678"},
        {L"PT", L"21 123 4567", L"+351211234567"},
        {L"DK", L"33 12 34 56", L"+4533123456"},
        {L"NO", L"+47 (0)22 12 34 56", L"+47022123456"},
        {L"LU", L"26 12 34 56", L"+35226123456"},
        {L"PL", L"22 123 45 67", L"+48221234567"},
        {L"CZ", L"224 123 456", L"+420224123456"},
        {L"GR", L"210 123 4567", L"+302101234567"},
        {L"SG", L"6123 4567", L"+6561234567"},
        {L"HK", L"2123 4567", L"+85221234567"},
        // Trunk prefix 06, 8, 1; 1 and 8 optional before the fixed ten digits.
        {L"HU", L"06 1 234 5678", L"+3612345678"},
        {L"HU", L"06-30-123-4567", L"+36301234567"},
        {L"HU", L"1 234 5678", L""},
        {L"RU", L"8 (495) 123-45-67", L"+74951234567"},
        {L"RU", L"(495) 123-45-67", L"+74951234567"},
        {L"RU", L"8 800 555 35 35", L"+78005553535"},
        {L"RU", L"8 10 49 30 1234567", L"+49301234567"},
        {L"RU", L"495 123 45 6", L""},
        {L"KZ", L"8 727 258 12 34", L"+77272581234"},
        {L"BY", L"8 017 123 45 67", L"+375171234567"},
        {L"LT", L"8 5 212 3456", L"+37052123456"},
        {L"US", L"(212) 555-1234", L"+12125551234"},
        {L"US", L"1-212-555-1234", L"+12125551234"},
        {L"US", L"011 49 30 1234567", L"+49301234567"},
        {L"US", L"0049 30 1234567", L"+49301234567"},
        {L"US", L"555-1234", L""},
        {L"US", L"+1 212 555 123", L""},
        {L"CA", L"+1 (416) 555-0199", L"+14165550199"},
        {L"JM", L"876 555 1234", L"+18765551234"},
        {L"MH", L"1 625 1234", L"+6926251234"},
        // Other international prefixes, and 00 beside them.
        {L"JP", L"03-1234-5678", L"+81312345678"},
        {L"JP", L"010 49 30 1234567", L"+49301234567"},
        {L"JP", L"0037 6 123 456", L""},                    // a service code, not abroad
        {L"AU", L"(02) 9876 5432", L"+61298765432"},
        {L"AU", L"0011 49 30 1234567", L"+49301234567"},
        {L"AU", L"0049 30 1234567", L"+49301234567"},
        {L"KE", L"000 49 30 1234567", L"+49301234567"},
        {L"NG", L"009 44 20 7946 0000", L"+442079460000"},
        {L"IL", L"013 49 30 1234567", L"+49301234567"},
        {L"IL", L"03-123-4567", L"+97231234567"},
        {L"KR", L"001 49 30 1234567", L"+49301234567"},
        {L"KR", L"02-312-3456", L"+8223123456"},
        {L"BR", L"0021 49 30 1234567", L"+49301234567"},
        {L"CV", L"0 49 30 1234567", L"+49301234567"},
        {L"CV", L"0049 30 1234567", L"+49301234567"},
        // Carriers' own prefixes: the country code follows the carrier's digit, and 00
        // is not "+" where a carrier's prefix or a number at home starts with it.
        {L"TH", L"006 49 30 12345", L"+493012345"},
        {L"TH", L"009 64 9 301 2345", L"+6493012345"},
        {L"TH", L"000 49 30 1234567", L""},
        {L"KH", L"004 49 30 1234567", L"+49301234567"},
        {L"ID", L"007 49 30 1234567", L"+49301234567"},       // listed, though not the library's
        {L"KH", L"009 1 212 555 1234", L"+12125551234"},
        {L"BR", L"0055 49 30 1234567", L"+49301234567"},
        {L"BR", L"0099 1 212 555 1234", L"+12125551234"},
        {L"BR", L"0049 30 1234567", L"+49301234567"},       // no carrier 49: 00 is "+"
        {L"MX", L"09 49 30 1234567", L"+49301234567"},
        {L"CO", L"00444 49 30 1234567", L"+49301234567"},
        {L"CL", L"1120 49 30 1234567", L"+49301234567"},
        {L"KR", L"00700 49 30 1234567", L"+49301234567"},
        {L"KR", L"0049 30 1234567", L""},                   // 00 begins numbers at home
        {L"CN", L"17951 00 49 30 1234567", L"+49301234567"},
        {L"SG", L"019 49 30 1234567", L"+49301234567"},
        // Written without the trunk prefix where the country writes its numbers so;
        // shorter ones are local numbers of an area we cannot know.
        {L"BR", L"(11) 2345-6789", L"+551123456789"},
        {L"BR", L"(011) 2345-6789", L"+551123456789"},
        {L"BR", L"(11) 96123-4567", L"+5511961234567"},
        {L"BR", L"2345-6789", L""},
        {L"CO", L"(601) 2345678", L"+576012345678"},
        {L"CN", L"131 2345 6789", L"+8613123456789"},
        {L"CN", L"10 1234 5678", L""},
        {L"MX", L"55 1234 5678", L"+525512345678"},
        {L"MX", L"01 55 1234 5678", L"+525512345678"},
        {L"MX", L"044 55 1234 5678", L""},
        // Internal numbers and codes are kept, without separators.
        {L"DE", L"*55", L"*55"},
        {L"DE", L"# 1 2", L"#12"},
        {L"DE", L"*31#030123", L"*31#030123"},
        {L"DE", L"12 34", L"1234"},
        {L"DE", L"(0)12", L"012"},
        {L"DE", L"123456", L"123456"},
        {L"DE", L"12#3", L""},
        {L"DE", L"+*55", L""},
        // Letters, stray signs, junk; lengths E.164 cannot hold.
        {L"DE", L"030 FAX 1234567", L""},
        {L"US", L"1-800-FLOWERS", L""},
        {L"DE", L"+49 30 1234567 x12", L""},
        {L"DE", L"+49 30 +1234567", L""},
        {L"DE", L"49+30", L""},
        {L"DE", L"", L""},
        {L"DE", L" - ", L""},
        {L"DE", L"+", L""},
        {L"DE", L"+49 301", L""},
        {L"DE", L"+49 3012", L"+493012"},
        {L"DE", L"+49 1234 5678 9012 3", L"+491234567890123"},
        {L"DE", L"+49 1234 5678 9012 34", L""},
        {L"DE", L"+28 1234567", L""},                       // no such calling code
        {L"DE", L"+870 7612 34567", L"+870761234567"},      // a global service
        // Digits of other forms: full-width and Arabic-Indic read, others refused.
        {L"DE", L"\uff0b\uff14\uff19 \uff13\uff10 \uff11\uff12\uff13\uff14\uff15\uff16\uff17", L"+49301234567"},
        {L"DE", L"\u0660\u0663\u0660 \u0661\u0662\u0663\u0664\u0665\u0666\u0667", L"+49301234567"},
        {L"IR", L"\u06f0\u06f2\u06f1 \u06f1\u06f2\u06f3\u06f4 \u06f5\u06f6\u06f7\u06f8", L"+982112345678"},
        {L"IN", L"\u0966\u0967\u0967 \u0968\u0969\u096a\u096b \u096c\u096d\u096e\u096f", L""},
        // Unknown home: only international forms.
        {nullptr, L"+49 30 1234567", L"+49301234567"},
        {nullptr, L"0049 30 1234567", L"+49301234567"},
        {nullptr, L"011 49 30 1234567", L""},
        {nullptr, L"030 1234567", L""},
        {nullptr, L"*55", L"*55"},
    };
    for (const auto& c : cases) {
        const faxnum::Country* home = c.home ? CountryByIso(c.home) : nullptr;
        ASSERT_TRUE(!c.home || home) << mrv::WideToUtf8(c.home);
        EXPECT_EQ(mrv::WideToUtf8(NormalForm(c.typed, home)), mrv::WideToUtf8(c.form))
            << (c.home ? mrv::WideToUtf8(c.home) : "no home") << " " << mrv::WideToUtf8(c.typed);
    }
}

TEST(FaxNumber, CountryByIso) {
    struct { const wchar_t* iso; const char* found; int code; const char* trunk; } cases[] = {
        {L"de", "DE", 49, "0"}, {L"De", "DE", 49, "0"}, {L"HU", "HU", 36, "06"},
        {L"it", "IT", 39, ""}, {L"MX", "MX", 52, "01"}, {L"RU", "RU", 7, "8"}, {L"KZ", "KZ", 7, "8"}, {L"US", "US", 1, "1"},
        {L"GG", "GG", 44, "0"}, {L"", nullptr}, {L"D", nullptr}, {L"DEU", nullptr},
        {L"XX", nullptr}, {L"D\u00c4", nullptr}, {L"1E", nullptr},
    };
    for (const auto& c : cases) {
        const faxnum::Country* country = CountryByIso(c.iso);
        if (!c.found) {
            EXPECT_EQ(country, nullptr) << mrv::WideToUtf8(c.iso);
            continue;
        }
        ASSERT_NE(country, nullptr) << c.found;
        EXPECT_STREQ(country->iso, c.found);
        EXPECT_EQ(country->callingCode, c.code) << c.found;
        EXPECT_STREQ(country->trunkPrefix, c.trunk) << c.found;
    }
}

TEST(FaxNumber, DuplicateSets) {
    using Sets = std::vector<std::vector<size_t>>;
    struct { const wchar_t* home; std::vector<std::wstring> numbers; Sets sets; } cases[] = {
        // Ordered by first index, though "*55" sorts before "+49...".
        {L"DE",
         {L"+49 (0)30 1234-567", L"0049 30 1234567", L"*55", L"030/1234567", L"junk", L"junk",
          L"* 55", L"+49301234567", L"0031 20 1234567", L"+31 20 123 4567", L""},
         {{0, 1, 3, 7}, {2, 6}, {8, 9}}},
        {nullptr, {L"030 1234567", L"030 1234567", L"+49 30 1234567"}, {}},
        {L"US", {L"(212) 555-1234", L"+1 212 555 1234", L"212 555 1235"}, {{0, 1}}},
        // Germany by carrier 006 is not New Zealand; Brazil's bare area code is national.
        {L"TH", {L"006 49 30 12345", L"+64 9 301 2345", L"+49 30 12345"}, {{0, 2}}},
        {L"BR", {L"(11) 2345-6789", L"+55 11 2345-6789", L"0014 55 11 2345 6789"}, {{0, 1, 2}}},
        {L"DE", {}, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(faxnum::DuplicateSets(c.numbers, c.home ? CountryByIso(c.home) : nullptr), c.sets);
}
