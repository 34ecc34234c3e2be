#include "numbers/core/FaxNumber.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace faxnum {
namespace {

struct CallingCode {
    uint16_t code;
    bool hasTrunk;        // so "(0)" after it is that trunk prefix, not a digit of the number
    uint8_t fixedLength;  // every national number has this many digits; 0 when they vary
};

#include "Countries.inc"

constexpr size_t kMaxDigits = 15;        // E.164: calling code and national number
constexpr size_t kMaxInternal = 6;       // digits of an extension kept as typed
constexpr size_t kMinNational = 4;       // no country's numbers are shorter
constexpr size_t kMaxTyped = 24;         // longest prefix and number, with room to spare

// What one typed character is to a number: an ASCII digit, '+', '*', '#', '(' or ')'
// for any bracket, ' ' for any other separator, or 0 for a character no number holds.
wchar_t Classify(wchar_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E)  // full-width forms of ASCII
        c = static_cast<wchar_t>(c - 0xFEE0);
    if (c >= L'0' && c <= L'9')
        return c;
    if (c >= 0x0660 && c <= 0x0669)  // Arabic-Indic digits
        return static_cast<wchar_t>(L'0' + (c - 0x0660));
    if (c >= 0x06F0 && c <= 0x06F9)  // extended Arabic-Indic (Persian, Urdu) digits
        return static_cast<wchar_t>(L'0' + (c - 0x06F0));
    switch (c) {
    case L'+': case L'*': case L'#':
        return c;
    case L'(': case L'[':
        return L'(';
    case L')': case L']':
        return L')';
    case L' ': case L'\t': case L'\n': case L'\r': case L'\v': case L'\f':
    case L'-': case L'.': case L'/':
    case 0x00A0: case 0x00AD: case 0x200B: case 0x202F: case 0x205F: case 0x2060:
    case 0x2212: case 0x3000:
        return L' ';
    default:
        // Typographic spaces, hyphens and dashes, as word processors put them in.
        if ((c >= 0x2000 && c <= 0x200A) || (c >= 0x2010 && c <= 0x2015))
            return L' ';
        return 0;
    }
}

// The typed number reduced to its digits (and '*', '#'), with where a "(0)" stood.
struct Reading {
    char marks[kMaxTyped];
    size_t count = 0;
    bool plus = false;
    size_t bracketZero = std::string_view::npos;  // index of the 0 of the first "(0)"
};

bool Read(std::wstring_view typed, Reading& r) {
    for (size_t i = 0; i < typed.size(); ++i) {
        wchar_t c = Classify(typed[i]);
        if (c == 0)
            return false;
        if (c == L' ' || c == L')')
            continue;
        if (c == L'+') {
            if (r.plus || r.count)
                return false;
            r.plus = true;
            continue;
        }
        if (c == L'(') {
            // "(0)", blanks allowed inside: the 0 is noted, and read as a digit for now.
            size_t j = i + 1;
            while (j < typed.size() && Classify(typed[j]) == L' ')
                ++j;
            if (j < typed.size() && Classify(typed[j]) == L'0') {
                size_t k = j + 1;
                while (k < typed.size() && Classify(typed[k]) == L' ')
                    ++k;
                if (k < typed.size() && Classify(typed[k]) == L')' && r.bracketZero == std::string_view::npos)
                    r.bracketZero = r.count;
            }
            continue;
        }
        if (r.count == kMaxTyped)
            return false;
        r.marks[r.count++] = static_cast<char>(c);
    }
    return r.count > 0;
}

const CallingCode* FindCallingCode(unsigned code) {
    auto found = std::lower_bound(std::begin(kCallingCodes), std::end(kCallingCodes), code,
                                  [](const CallingCode& c, unsigned v) { return c.code < v; });
    return found != std::end(kCallingCodes) && found->code == code ? found : nullptr;
}

// The calling code the digits start with; no code begins another, so the first found.
const CallingCode* LeadingCallingCode(std::string_view digits, size_t& length) {
    unsigned code = 0;
    for (length = 1; length <= 3 && length <= digits.size(); ++length) {
        code = code * 10 + static_cast<unsigned>(digits[length - 1] - '0');
        if (const CallingCode* found = FindCallingCode(code))
            return found;
    }
    return nullptr;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// Length of the international prefix the digits start with, 0 when none: the longest
// of the home's own that fits ("x" stands for any digit), else "00" where it stands for
// "+" (home unknown, or no number dialled at home starts with it).
size_t InternationalPrefixLength(std::string_view digits, const Country* home) {
    if (!home)
        return StartsWith(digits, "00") ? 2 : 0;
    size_t best = 0;
    for (const char* p = home->internationalPrefixes; *p;) {
        size_t n = 0;
        while (p[n] && p[n] != '|' && n < digits.size() && (p[n] == digits[n] || p[n] == 'x'))
            ++n;
        if ((!p[n] || p[n] == '|') && n > best)
            best = n;
        while (p[n] && p[n] != '|')
            ++n;
        p += p[n] ? n + 1 : n;
    }
    if (best < 2 && home->doubleZeroIsPlus && StartsWith(digits, "00"))
        best = 2;
    return best;
}

std::wstring Complete(const CallingCode& code, std::string_view national) {
    wchar_t out[1 + kMaxDigits];
    size_t n = 0;
    out[n++] = L'+';
    for (unsigned scale = code.code >= 100 ? 100 : code.code >= 10 ? 10 : 1; scale; scale /= 10)
        out[n++] = static_cast<wchar_t>(L'0' + code.code / scale % 10);
    if (national.size() < kMinNational || n - 1 + national.size() > kMaxDigits)
        return {};
    if (code.fixedLength && national.size() != code.fixedLength)
        return {};
    for (char c : national)
        out[n++] = static_cast<wchar_t>(c);
    return std::wstring(out, n);
}

std::wstring International(std::string_view digits, size_t bracketZero) {
    size_t codeLength = 0;
    const CallingCode* code = LeadingCallingCode(digits, codeLength);
    if (!code)
        return {};
    std::string_view national = digits.substr(codeLength);
    if (bracketZero == codeLength && code->hasTrunk)
        national.remove_prefix(1);
    return Complete(*code, national);
}

std::wstring National(std::string_view digits, const Country* home, const CallingCode* code) {
    if (!code || (!home->doubleZeroIsPlus && StartsWith(digits, "00")))
        return {};
    std::string_view trunk = home->trunkPrefix;
    if (code->fixedLength && digits.size() == code->fixedLength)
        return Complete(*code, digits);
    // Where numbers are written without the trunk prefix, none of them starts with its
    // first digit (Mexico's 01: "044 55 ..." is an old mobile prefix, not a number).
    if (trunk.empty() || (home->bareLength && digits.size() >= home->bareLength && digits[0] != trunk[0]))
        return Complete(*code, digits);
    if (!StartsWith(digits, trunk))
        return {};
    return Complete(*code, digits.substr(trunk.size()));
}

}  // namespace

const Country* CountryByIso(std::wstring_view iso2) {
    if (iso2.size() != 2)
        return nullptr;
    char key[3] = {};
    for (size_t i = 0; i < 2; ++i) {
        wchar_t c = iso2[i];
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c < L'A' || c > L'Z')
            return nullptr;
        key[i] = static_cast<char>(c);
    }
    auto found = std::lower_bound(std::begin(kCountries), std::end(kCountries), key,
                                  [](const Country& c, const char* k) { return std::strcmp(c.iso, k) < 0; });
    if (found == std::end(kCountries) || std::strcmp(found->iso, key) != 0)
        return nullptr;
    return found;
}

std::wstring NormalForm(std::wstring_view typed, const Country* home) {
    Reading r;
    if (!Read(typed, r))
        return {};
    std::string_view marks(r.marks, r.count);
    if (marks.find_first_of("*#") != std::string_view::npos) {
        if (r.plus || (marks[0] != '*' && marks[0] != '#'))
            return {};
        return std::wstring(marks.begin(), marks.end());
    }
    if (r.plus)
        return International(marks, r.bracketZero);
    if (marks.size() <= kMaxInternal)
        return std::wstring(marks.begin(), marks.end());
    const CallingCode* homeCode = home ? FindCallingCode(home->callingCode) : nullptr;
    if (size_t prefix = InternationalPrefixLength(marks, home)) {
        size_t zero = r.bracketZero >= prefix ? r.bracketZero - prefix : std::string_view::npos;
        return International(marks.substr(prefix), zero);
    }
    return National(marks, home, homeCode);
}

std::vector<std::vector<size_t>> DuplicateSets(const std::vector<std::wstring>& numbers, const Country* home) {
    std::vector<std::pair<std::wstring, size_t>> forms;
    forms.reserve(numbers.size());
    for (size_t i = 0; i < numbers.size(); ++i) {
        std::wstring form = NormalForm(numbers[i], home);
        if (!form.empty())
            forms.emplace_back(std::move(form), i);
    }
    std::sort(forms.begin(), forms.end());
    std::vector<std::vector<size_t>> sets;
    for (size_t i = 0; i < forms.size();) {
        size_t end = i + 1;
        while (end < forms.size() && forms[end].first == forms[i].first)
            ++end;
        if (end - i >= 2) {
            std::vector<size_t> set;
            for (size_t k = i; k < end; ++k)
                set.push_back(forms[k].second);
            sets.push_back(std::move(set));
        }
        i = end;
    }
    std::sort(sets.begin(), sets.end(), [](const auto& a, const auto& b) { return a.front() < b.front(); });
    return sets;
}

}  // namespace faxnum
