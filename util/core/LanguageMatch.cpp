#include "util/core/LanguageMatch.h"

#include <algorithm>

namespace mrv {
namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool SameNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) { return AsciiLower(x) == AsciiLower(y); });
}

std::wstring_view Primary(std::wstring_view tag) {
    size_t cut = tag.find_first_of(L"-_");
    return cut == std::wstring_view::npos ? tag : tag.substr(0, cut);
}

}  // namespace

std::wstring MatchLanguageFolder(const std::vector<std::wstring>& preferred,
                                 const std::vector<std::wstring>& shipped) {
    // Preference order wins over match quality: a user who prefers de-AT, then en-US,
    // reads German rather than English.
    for (const auto& want : preferred) {
        if (want.empty()) continue;
        for (const auto& have : shipped)
            if (SameNoCase(want, have)) return have;
        std::wstring_view primary = Primary(want);
        for (const auto& have : shipped)
            if (SameNoCase(Primary(have), primary)) return have;
    }
    return std::wstring(kFallbackLanguage);
}

}  // namespace mrv
