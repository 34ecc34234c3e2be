// Case mapping for the native test build, where only the portable core runs: the
// scripts our tests use (Latin, Greek, Cyrillic). Windows maps all of Unicode.
#include "util/CMString.h"

namespace mrv {
namespace {
struct Range {
    unsigned upperFirst, upperLast;
    int delta;  // lower = upper + delta
    bool alternating;  // upper and lower alternate (even upper, odd lower)
};
constexpr Range kRanges[] = {
    {0x41, 0x5A, 32, false},   {0xC0, 0xD6, 32, false},   {0xD8, 0xDE, 32, false},
    {0x100, 0x17F, 1, true},   {0x391, 0x3A1, 32, false}, {0x3A3, 0x3AB, 32, false},
    {0x400, 0x40F, 80, false}, {0x410, 0x42F, 32, false},
};
}  // namespace

wchar_t ToLowerChar(wchar_t ch) {
    unsigned c = static_cast<unsigned>(ch);
    for (const auto& r : kRanges) {
        if (c < r.upperFirst || c > r.upperLast) continue;
        if (r.alternating) return (c - r.upperFirst) % 2 == 0 ? static_cast<wchar_t>(c + 1) : ch;
        return static_cast<wchar_t>(c + static_cast<unsigned>(r.delta));
    }
    return ch;
}

wchar_t ToUpperChar(wchar_t ch) {
    unsigned c = static_cast<unsigned>(ch);
    for (const auto& r : kRanges) {
        if (r.alternating) {
            if (c >= r.upperFirst && c <= r.upperLast && (c - r.upperFirst) % 2 == 1) return static_cast<wchar_t>(c - 1);
            continue;
        }
        unsigned d = static_cast<unsigned>(r.delta);
        if (c >= r.upperFirst + d && c <= r.upperLast + d) return static_cast<wchar_t>(c - d);
    }
    return ch;
}
}  // namespace mrv
