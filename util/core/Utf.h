#pragma once
// UTF-8 <-> wide text. Wide text is UTF-16 where wchar_t has 16 bits (Windows) and
// UTF-32 elsewhere, so the same code is tested natively. Invalid input never fails:
// each bad sequence becomes U+FFFD, as the platform converters do.
#include <string>
#include <string_view>

namespace mrv {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// The code point at i (a surrogate pair where wchar_t has 16 bits; a lone surrogate as
// it is), and i moved past it. i must be inside the text.
char32_t NextCodePoint(std::wstring_view text, size_t& i);

// True when the bytes are well-formed UTF-8 (no overlongs, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace mrv
