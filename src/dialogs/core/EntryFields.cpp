#include "dialogs/core/EntryFields.h"

namespace entryfields {

bool IsUnfilled(const CMString& text, const CMString& placeholder) {
    return text.IsBlank() || text.EqualsNoCase(placeholder.view());
}

CMString NormalisedMailbox(const CMString& text) {
    if (text.IsEmpty()) return text;
    const std::wstring_view s = text.view();
    size_t i = 0;
    while (i < s.size() && (s[i] == L' ' || (s[i] >= L'\t' && s[i] <= L'\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
    // Saturates well above the upper bound, so a long run of digits cannot overflow.
    long value = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i)
        if (value < 100000) value = value * 10 + (s[i] - L'0');
    if (negative) value = -value;
    if (value <= 0) value = 1;
    if (value >= 1000) value = 999;
    return CMString::Formatted(L"%d", static_cast<int>(value));
}

CMString MultiLineText(const CMString& text, int room) {
    CMString result;
    const std::wstring_view s = text.view();
    for (size_t i = 0; i < s.size(); ++i) {
        // A break already written as CR LF stays one break; a bare line feed gets its CR.
        const bool pair = s[i] == L'\r' && i + 1 < s.size() && s[i + 1] == L'\n';
        const bool lineFeed = pair || s[i] == L'\n';
        if (result.GetLength() + (lineFeed ? 2 : 1) > room) break;
        if (lineFeed) {
            result += L"\r\n";
            if (pair) ++i;
        } else {
            result += s[i];
        }
    }
    return result;
}

}  // namespace entryfields
