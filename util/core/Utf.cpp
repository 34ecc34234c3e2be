#include "util/core/Utf.h"

#include <cstdint>

namespace mrv {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point starting at i; advances i past it (at least one byte).
char32_t DecodeOne(std::string_view s, size_t& i, bool& ok) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char b0 = byte(i);
    ok = true;
    if (b0 < 0x80) { ++i; return b0; }
    int extra;
    char32_t cp, min;
    if (b0 >= 0xC2 && b0 <= 0xDF) { extra = 1; cp = b0 & 0x1F; min = 0x80; }
    else if (b0 >= 0xE0 && b0 <= 0xEF) { extra = 2; cp = b0 & 0x0F; min = 0x800; }
    else if (b0 >= 0xF0 && b0 <= 0xF4) { extra = 3; cp = b0 & 0x07; min = 0x10000; }
    else { ++i; ok = false; return kReplacement; }
    size_t k = i + 1;
    for (int n = 0; n < extra; ++n, ++k) {
        if (k >= s.size() || (byte(k) & 0xC0) != 0x80) {
            // Consume the maximal valid prefix only, so the next byte is looked at afresh.
            i = k;
            ok = false;
            return kReplacement;
        }
        cp = (cp << 6) | (byte(k) & 0x3F);
    }
    i = k;
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { ok = false; return kReplacement; }
    return cp;
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}


}  // namespace

std::wstring Utf8ToWide(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    bool ok;
    for (size_t i = 0; i < utf8.size();) AppendWide(out, DecodeOne(utf8, i, ok));
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    bool ok = true;
    for (size_t i = 0; i < bytes.size() && ok;) DecodeOne(bytes, i, ok);
    return ok;
}

char32_t NextCodePoint(std::wstring_view text, size_t& i) {
    char32_t cp = static_cast<char32_t>(text[i++]);
    if constexpr (sizeof(wchar_t) == 2) {
        cp &= 0xFFFF;
        if (cp >= 0xD800 && cp <= 0xDBFF && i < text.size()) {
            const char32_t lo = static_cast<char32_t>(text[i]) & 0xFFFF;
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                ++i;
            }
        }
    }
    return cp;
}

std::string WideToUtf8(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size();) {
        char32_t cp = NextCodePoint(wide, i);
        if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
        AppendUtf8(out, cp);
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace mrv
