#pragma once
// Text rules of the engine: case folding over Unicode's simple case mapping, and
// the search match (every term a prefix of a word of one of the searched fields).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pbcore {

// Folds one code point so that upper, lower and title case forms compare equal.
char32_t FoldCase(char32_t c);

// Texts of the oldest format are bytes of the system code page; matching reads them
// through this decoder. The default is Windows-1252; the DLL installs the real one.
using AnsiDecoder = std::u16string (*)(std::string_view bytes);
void SetAnsiDecoder(AnsiDecoder decoder);
std::u16string DecodeAnsi(std::string_view bytes);
std::u16string DecodeCp1252(std::string_view bytes);

// A text as stored: 16-bit units (wide formats) or bytes (oldest format), held as
// u16 units either way so the format code has one path.
using Units = std::u16string;

// Folded code points of a text; ansi selects how units are read.
void FoldInto(const char16_t* units, size_t count, bool ansi, std::u32string& out);
std::u32string Folded(const Units& text, bool ansi);

// The same into a caller's buffer (no allocation for plain text); returns the length.
size_t FoldInto(const char16_t* units, size_t count, bool ansi, char32_t* out, size_t capacity);

// True when the term (folded, without its "*") is a prefix of a word of the text.
bool HasWordWithPrefix(const char32_t* text, size_t length, const std::u32string& term);
inline bool HasWordWithPrefix(const std::u32string& text, const std::u32string& term) {
    return HasWordWithPrefix(text.data(), text.size(), term);
}

// Search terms as they arrive ("anna*"): folded, trailing "*" removed, empty ones dropped.
std::vector<std::u32string> PrepareTerms(const std::vector<Units>& terms, bool ansi);

}  // namespace pbcore
