#include "dialogs/core/CharSet.h"

void CharSet::SetAll(bool allow) {
    if (allow) m_low.set(); else m_low.reset();
    m_high.clear();
    m_highDefault = allow;
}

void CharSet::Set(char32_t first, char32_t last, bool allow) {
    for (char32_t code = first; code <= last && code < 256; ++code) m_low.set(code, allow);
    if (last < 256) return;
    if (first < 256) first = 256;
    // Specifications are short, so the list stays a handful of spans.
    m_high.push_back({first, last, allow});
}

void CharSet::Apply(std::wstring_view spec, bool allow) {
    auto at = [&spec](size_t i) { return static_cast<char32_t>(spec[i]); };
    const size_t n = spec.size();
    size_t i = 0;
    while (i < n) {
        const wchar_t ch = spec[i];
        if (ch == L'\\') {
            // A trailing backslash stands for itself; nothing past the end is read.
            const size_t named = i + 1 < n ? i + 1 : i;
            Set(at(named), at(named), allow);
            i = named + 1;
        } else if (ch == L'-' && i > 0 && i + 1 < n) {
            const char32_t first = at(i - 1);
            const char32_t last = at(i + 1);
            if (last > first) Set(first + 1, last, allow);
            else Set(last, last, allow);
            i += 2;
        } else {
            Set(at(i), at(i), allow);
            ++i;
        }
    }
}

bool CharSet::Contains(char32_t code) const {
    if (code < 256) return m_low.test(code);
    for (auto it = m_high.rbegin(); it != m_high.rend(); ++it)
        if (code >= it->first && code <= it->last) return it->allow;
    return m_highDefault;
}
