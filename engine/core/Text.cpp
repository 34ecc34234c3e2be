#include "Text.h"

#include <algorithm>
#include <atomic>

namespace pbcore {

namespace {

struct FoldRange {
    char32_t first;
    char32_t last;
    int stride;
    int delta;
};

constexpr FoldRange kFoldRanges[] = {
#include "CaseFoldTable.inc"
};

// The byte values 0x80..0x9F of Windows-1252; the rest equals Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::atomic<AnsiDecoder> g_decoder{&DecodeCp1252};

bool IsSeparator(char32_t c) {
    if (c <= 0x20) return true;
    if (c < 0x80) {
        switch (c) {
            case '-': case '.': case ',': case ';': case ':': case '/': case '\\': case '(': case ')':
            case '[': case ']': case '{': case '}': case '<': case '>': case '@': case '+': case '&':
            case '_': case '\'': case '"': case '!': case '?': case '#': case '*': case '|': case '=':
                return true;
            default:
                return false;
        }
    }
    return c == 0xA0 || (c >= 0x2000 && c <= 0x200B) || c == 0x2010 || c == 0x2013 || c == 0x2014 ||
           c == 0x202F || c == 0x3000 || c == 0x3001 || c == 0x3002 || c == 0xFF0C;
}

}  // namespace

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
    const FoldRange* end = std::end(kFoldRanges);
    const FoldRange* r = std::upper_bound(std::begin(kFoldRanges), end, c,
                                          [](char32_t v, const FoldRange& x) { return v < x.first; });
    if (r == std::begin(kFoldRanges)) return c;
    --r;
    if (c > r->last || (c - r->first) % static_cast<char32_t>(r->stride) != 0) return c;
    return static_cast<char32_t>(static_cast<int32_t>(c) + r->delta);
}

void SetAnsiDecoder(AnsiDecoder decoder) { g_decoder.store(decoder ? decoder : &DecodeCp1252); }

std::u16string DecodeAnsi(std::string_view bytes) { return g_decoder.load()(bytes); }

std::u16string DecodeCp1252(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto b = static_cast<unsigned char>(ch);
        out.push_back(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : static_cast<char16_t>(b));
    }
    return out;
}

size_t FoldInto(const char16_t* units, size_t count, bool ansi, char32_t* out, size_t capacity) {
    bool plain = true;
    for (size_t i = 0; i < count && plain; ++i) plain = units[i] < 0x80;
    if (ansi && !plain) {
        std::string bytes;
        for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>(units[i] & 0xFF));
        std::u16string wide = DecodeAnsi(bytes);
        return FoldInto(wide.data(), wide.size(), false, out, capacity);
    }
    size_t n = 0;
    for (size_t i = 0; i < count && n < capacity; ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        out[n++] = FoldCase(c);
    }
    return n;
}

void FoldInto(const char16_t* units, size_t count, bool ansi, std::u32string& out) {
    // A code page may turn one byte into two units, never more.
    out.resize(2 * count);
    out.resize(FoldInto(units, count, ansi, out.data(), out.size()));
}

std::u32string Folded(const Units& text, bool ansi) {
    std::u32string out;
    FoldInto(text.data(), text.size(), ansi, out);
    return out;
}

bool HasWordWithPrefix(const char32_t* text, size_t length, const std::u32string& term) {
    if (term.empty()) return true;
    if (term.size() > length) return false;
    for (size_t i = 0; i + term.size() <= length; ++i) {
        if (i > 0 && !IsSeparator(text[i - 1])) continue;
        if (std::equal(term.begin(), term.end(), text + i)) return true;
    }
    return false;
}

std::vector<std::u32string> PrepareTerms(const std::vector<Units>& terms, bool ansi) {
    std::vector<std::u32string> out;
    for (const Units& t : terms) {
        std::u32string f = Folded(t, ansi);
        while (!f.empty() && f.back() == U'*') f.pop_back();
        if (!f.empty()) out.push_back(std::move(f));
    }
    return out;
}

}  // namespace pbcore
