#pragma once
// Fax numbers in a normal form, so one line written many ways is recognised as one.
//
// How a number is read (NormalForm):
//  - Blanks (any white space, no-break and narrow spaces), "-", ".", "/", brackets and
//    typographic hyphens and dashes separate digits and are dropped. Full-width forms
//    (East Asian input) read as their ASCII counterparts; Arabic-Indic and extended
//    Arabic-Indic digits read as digits; any other character (letters, other scripts'
//    digits, "~", "x" for an extension) leaves the number without a normal form.
//  - "+" may only come before the first digit; "+" and the digits form "+<digits>".
//  - Anything starting with "*" or "#" is a code for the fax machine or exchange, and a
//    number of at most 6 digits without "+" is an internal extension: both are kept
//    as typed, only without separators ("*55", "# 12" -> "#12"). "*" or "#" elsewhere
//    leaves the number without a normal form.
//  - An international prefix of the home country stands for "+", the longest that
//    fits: carriers' own prefixes are among them (Thailand's 001-009, Brazil's 0014,
//    Australia's 0011), so "006 49" at home in Thailand is Germany by carrier 006.
//    "00" stands for "+" where the home has no prefix of its own that fits and no
//    number dialled at home starts with it (not in Japan, Korea, Thailand: there such
//    a number has no normal form), and with the home unknown. "011" counts only where
//    it is the home's own prefix: in Britain 0113 is Leeds.
//  - A calling code must be one assigned; "(0)" directly after it is the trunk prefix
//    written out of habit and goes, unless the code's countries have none (Italy,
//    whose numbers start with 0): then, as anywhere else, the brackets are separators
//    and the 0 a digit.
//  - A national number (no "+" or international prefix) needs a known home country:
//    its trunk prefix ("0", "1", "8", "06") is replaced by "+" and the home's calling
//    code. A home without a trunk prefix (Italy, Norway) takes the digits as they
//    are; so does a home that writes its numbers without the trunk prefix (Brazil's
//    "(11) 2345-6789"), for numbers at least as long as those it writes so. Where
//    numbers have one fixed length and the trunk prefix is optional (+1, +7), a number
//    of exactly that length is read without it. A number lacking the trunk prefix
//    elsewhere is a local number of an area we cannot know: none.
//  - The country's own part must have at least 4 digits, all of it at most 15 (E.164),
//    and exactly the fixed length where the code has one.
//  - An international number is taken as written: "+49 030 ..." keeps its 0.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace faxnum {

struct Country {            // one row of the generated table
    char iso[3];            // "DE"
    uint16_t callingCode;   // 49
    const char* internationalPrefixes; // the main one first, others after "|", x any digit: "00|012|00x"
    const char* trunkPrefix;           // "0", "1", "8", "06", or "" for none
    bool doubleZeroIsPlus;             // 00 stands for "+" where no own prefix fits
    uint8_t bareLength;                // national numbers this long may lack the trunk prefix; 0: none
};

// Case-insensitive ISO 3166 alpha-2 lookup; nullptr when unknown.
const Country* CountryByIso(std::wstring_view iso2);

// The normal form: "+" and digits for a full number, the short internal number as kept,
// or empty when the number has none. home may be nullptr (unknown home country).
std::wstring NormalForm(std::wstring_view typed, const Country* home);

// Sets of indices whose numbers share a (non-empty) normal form, each set in index order,
// sets ordered by their first index; only sets of two or more.
std::vector<std::vector<size_t>> DuplicateSets(const std::vector<std::wstring>& numbers, const Country* home);

}  // namespace faxnum
