#include <windows.h>

#include "util/CMString.h"

namespace mrv {
// LCMapStringEx with the invariant locale gives the simple mapping for all of Unicode.
static wchar_t MapChar(wchar_t ch, DWORD flags) {
    wchar_t out = ch;
    if (ch >= 0xD800 && ch <= 0xDFFF) return ch;
    if (LCMapStringEx(LOCALE_NAME_INVARIANT, flags, &ch, 1, &out, 1, nullptr, nullptr, 0) != 1) return ch;
    return out;
}
wchar_t ToLowerChar(wchar_t ch) {
    if (ch < 0x80) return (ch >= L'A' && ch <= L'Z') ? static_cast<wchar_t>(ch + 32) : ch;
    return MapChar(ch, LCMAP_LOWERCASE);
}
wchar_t ToUpperChar(wchar_t ch) {
    if (ch < 0x80) return (ch >= L'a' && ch <= L'z') ? static_cast<wchar_t>(ch - 32) : ch;
    return MapChar(ch, LCMAP_UPPERCASE);
}
}  // namespace mrv

std::string CMString::ToAnsi() const {
    if (str().empty()) return {};
    int len = WideCharToMultiByte(CP_ACP, 0, str().data(), GetLength(), nullptr, 0, nullptr, nullptr);
    if (len <= 0) return {};
    std::string out(static_cast<size_t>(len), '\0');
    WideCharToMultiByte(CP_ACP, 0, str().data(), GetLength(), out.data(), len, nullptr, nullptr);
    return out;
}

CMString CMString::FromAnsi(std::string_view ansi) {
    if (ansi.empty()) return {};
    int len = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    if (len <= 0) return {};
    std::wstring out(static_cast<size_t>(len), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), out.data(), len);
    return CMString(std::move(out));
}
