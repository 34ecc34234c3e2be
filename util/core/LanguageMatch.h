#pragma once
// Which shipped language folder serves a user's language.
#include <string>
#include <string_view>
#include <vector>

namespace mrv {

inline constexpr std::wstring_view kFallbackLanguage = L"en-US";

// For each preferred language in turn: the shipped folder of exactly that language
// (case-insensitive), else one of the same primary language ("de-DE" for "de-AT").
// When none matches, the fallback: every language we do not ship still finds texts.
std::wstring MatchLanguageFolder(const std::vector<std::wstring>& preferred,
                                 const std::vector<std::wstring>& shipped);

}  // namespace mrv
