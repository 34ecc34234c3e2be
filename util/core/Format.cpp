#include "util/core/Format.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace mrv {
namespace {

enum class Length { None, Hh, H, L, Ll, J, Z, T, BigL };

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int precision = -1;
    Length length = Length::None;
};

void Pad(std::wstring& out, size_t count, wchar_t ch) { out.append(count, ch); }

void EmitText(std::wstring& out, const Spec& spec, const wchar_t* text, size_t len) {
    size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    if (!spec.left && width > len) Pad(out, width - len, L' ');
    out.append(text, len);
    if (spec.left && width > len) Pad(out, width - len, L' ');
}

// Sign, prefix and digits assembled separately so that zero padding goes between them.
void EmitNumber(std::wstring& out, const Spec& spec, bool negative, uintmax_t value, unsigned base,
                bool upper, bool isSigned) {
    wchar_t digits[72];
    size_t n = 0;
    const wchar_t* set = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    while (value != 0) {
        digits[n++] = set[value % base];
        value /= base;
    }
    size_t minDigits = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : 1;
    std::wstring body;
    while (body.size() + n < minDigits) body.push_back(L'0');
    bool octalHasZero = n < minDigits;
    while (n > 0) body.push_back(digits[--n]);
    std::wstring prefix;
    if (isSigned) {
        if (negative) prefix = L"-";
        else if (spec.plus) prefix = L"+";
        else if (spec.space) prefix = L" ";
    }
    if (spec.alt && !body.empty() && body != L"0") {
        if (base == 16) prefix += upper ? L"0X" : L"0x";
        else if (base == 8 && !octalHasZero && body[0] != L'0') body.insert(body.begin(), L'0');
    }
    size_t len = prefix.size() + body.size();
    size_t width = spec.width > 0 ? static_cast<size_t>(spec.width) : 0;
    if (spec.left) {
        out += prefix;
        out += body;
        if (width > len) Pad(out, width - len, L' ');
    } else if (spec.zero && spec.precision < 0) {
        out += prefix;
        if (width > len) Pad(out, width - len, L'0');
        out += body;
    } else {
        if (width > len) Pad(out, width - len, L' ');
        out += prefix;
        out += body;
    }
}

uintmax_t TakeUnsigned(va_list& args, Length length) {
    switch (length) {
        case Length::Hh: return static_cast<unsigned char>(va_arg(args, unsigned));
        case Length::H: return static_cast<unsigned short>(va_arg(args, unsigned));
        case Length::L: return va_arg(args, unsigned long);
        case Length::Ll: case Length::BigL: return va_arg(args, unsigned long long);
        case Length::J: return va_arg(args, uintmax_t);
        case Length::Z: return va_arg(args, size_t);
        case Length::T: return static_cast<uintmax_t>(va_arg(args, ptrdiff_t));
        default: return va_arg(args, unsigned);
    }
}

intmax_t TakeSigned(va_list& args, Length length) {
    switch (length) {
        case Length::Hh: return static_cast<signed char>(va_arg(args, int));
        case Length::H: return static_cast<short>(va_arg(args, int));
        case Length::L: return va_arg(args, long);
        case Length::Ll: case Length::BigL: return va_arg(args, long long);
        case Length::J: return va_arg(args, intmax_t);
        case Length::Z: return static_cast<intmax_t>(va_arg(args, size_t));
        case Length::T: return va_arg(args, ptrdiff_t);
        default: return va_arg(args, int);
    }
}

// Narrow text is taken byte for byte as Latin-1; the program only passes ASCII this way.
std::wstring Widen(const char* text, int precision) {
    std::wstring result;
    if (!text) return L"(null)";
    for (size_t i = 0; text[i] && (precision < 0 || i < static_cast<size_t>(precision)); ++i)
        result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(text[i])));
    return result;
}

void EmitFloat(std::wstring& out, const Spec& spec, wchar_t conv, double value) {
    char fmt[32];
    size_t n = 0;
    fmt[n++] = '%';
    if (spec.left) fmt[n++] = '-';
    if (spec.plus) fmt[n++] = '+';
    if (spec.space) fmt[n++] = ' ';
    if (spec.alt) fmt[n++] = '#';
    if (spec.zero) fmt[n++] = '0';
    fmt[n++] = '*';
    fmt[n++] = '.';
    fmt[n++] = '*';
    fmt[n++] = static_cast<char>(conv);
    fmt[n] = 0;
    char buf[512];
    int width = spec.width > 0 ? spec.width : 0;
    if (width > 400) width = 400;
    int precision = spec.precision >= 0 ? (spec.precision > 100 ? 100 : spec.precision) : 6;
    int len = std::snprintf(buf, sizeof buf, fmt, width, precision, value);
    if (len < 0) return;
    if (static_cast<size_t>(len) >= sizeof buf) len = sizeof buf - 1;
    for (int i = 0; i < len; ++i) out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(buf[i])));
}

}  // namespace

std::wstring FormatV(const wchar_t* format, va_list argsIn) {
    std::wstring out;
    if (!format) return out;
    va_list args;
    va_copy(args, argsIn);
    for (const wchar_t* p = format; *p; ++p) {
        if (*p != L'%') {
            out.push_back(*p);
            continue;
        }
        const wchar_t* start = p++;
        if (*p == L'%') {
            out.push_back(L'%');
            continue;
        }
        Spec spec;
        for (;; ++p) {
            if (*p == L'-') spec.left = true;
            else if (*p == L'+') spec.plus = true;
            else if (*p == L' ') spec.space = true;
            else if (*p == L'#') spec.alt = true;
            else if (*p == L'0') spec.zero = true;
            else break;
        }
        if (*p == L'*') {
            int w = va_arg(args, int);
            if (w < 0) { spec.left = true; w = w == INT32_MIN ? 0 : -w; }
            spec.width = w;
            ++p;
        } else {
            while (*p >= L'0' && *p <= L'9') {
                spec.width = (spec.width < 0 ? 0 : spec.width) * 10 + (*p - L'0');
                if (spec.width > 100000) spec.width = 100000;
                ++p;
            }
        }
        if (*p == L'.') {
            ++p;
            spec.precision = 0;
            if (*p == L'*') {
                int pr = va_arg(args, int);
                spec.precision = pr < 0 ? -1 : pr;
                ++p;
            } else {
                while (*p >= L'0' && *p <= L'9') {
                    spec.precision = spec.precision * 10 + (*p - L'0');
                    if (spec.precision > 100000) spec.precision = 100000;
                    ++p;
                }
            }
        }
        bool narrowText = false, wideText = false;
        switch (*p) {
            case L'h':
                ++p;
                if (*p == L'h') { spec.length = Length::Hh; ++p; } else { spec.length = Length::H; narrowText = true; }
                break;
            case L'l':
                ++p;
                if (*p == L'l') { spec.length = Length::Ll; ++p; } else { spec.length = Length::L; wideText = true; }
                break;
            case L'w': ++p; wideText = true; break;
            case L'j': spec.length = Length::J; ++p; break;
            case L'z': spec.length = Length::Z; ++p; break;
            case L't': spec.length = Length::T; ++p; break;
            case L'L': spec.length = Length::BigL; ++p; break;
            case L'I':
                if (p[1] == L'6' && p[2] == L'4') { spec.length = Length::Ll; p += 3; }
                else if (p[1] == L'3' && p[2] == L'2') { spec.length = Length::None; p += 3; }
                else { spec.length = Length::Z; ++p; }
                break;
            default: break;
        }
        wchar_t conv = *p;
        switch (conv) {
            case L'd': case L'i': {
                intmax_t v = TakeSigned(args, spec.length);
                uintmax_t mag = v < 0 ? 0 - static_cast<uintmax_t>(v) : static_cast<uintmax_t>(v);
                EmitNumber(out, spec, v < 0, mag, 10, false, true);
                break;
            }
            case L'u': EmitNumber(out, spec, false, TakeUnsigned(args, spec.length), 10, false, false); break;
            case L'o': EmitNumber(out, spec, false, TakeUnsigned(args, spec.length), 8, false, false); break;
            case L'x': EmitNumber(out, spec, false, TakeUnsigned(args, spec.length), 16, false, false); break;
            case L'X': EmitNumber(out, spec, false, TakeUnsigned(args, spec.length), 16, true, false); break;
            case L'p': {
                Spec ps = spec;
                ps.precision = static_cast<int>(sizeof(void*) * 2);
                EmitNumber(out, ps, false, reinterpret_cast<uintptr_t>(va_arg(args, void*)), 16, true, false);
                break;
            }
            case L'c': case L'C': {
                int v = va_arg(args, int);
                wchar_t ch = (conv == L'C' && !wideText) || narrowText
                                 ? static_cast<wchar_t>(static_cast<unsigned char>(v))
                                 : static_cast<wchar_t>(v);
                EmitText(out, spec, &ch, 1);
                break;
            }
            case L's': case L'S': {
                bool narrow = narrowText || (conv == L'S' && !wideText);
                if (narrow) {
                    std::wstring w = Widen(va_arg(args, const char*), spec.precision);
                    EmitText(out, spec, w.data(), w.size());
                } else {
                    const wchar_t* w = va_arg(args, const wchar_t*);
                    if (!w) w = L"(null)";
                    size_t len = 0;
                    while (w[len] && (spec.precision < 0 || len < static_cast<size_t>(spec.precision))) ++len;
                    EmitText(out, spec, w, len);
                }
                break;
            }
            case L'e': case L'E': case L'f': case L'F': case L'g': case L'G': case L'a': case L'A': {
                double v = spec.length == Length::BigL ? static_cast<double>(va_arg(args, long double))
                                                       : va_arg(args, double);
                EmitFloat(out, spec, conv, v);
                break;
            }
            case L'n':
                // Writing through an argument is never wanted from a text resource.
                (void)va_arg(args, void*);
                break;
            default:
                // Unknown or truncated conversion: shown as written, nothing consumed.
                out.append(start, static_cast<size_t>((conv ? p + 1 : p) - start));
                if (!conv) --p;
                break;
        }
        if (!*p) break;
    }
    va_end(args);
    return out;
}

std::wstring Format(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::wstring result = FormatV(format, args);
    va_end(args);
    return result;
}

}  // namespace mrv
