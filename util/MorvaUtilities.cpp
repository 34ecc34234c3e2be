#include "util/MorvaUtilities.h"

#include "util/CMString.h"

namespace MorvaUtilities {

bool IsEmailAddressValid(std::wstring_view address) {
    size_t at = std::wstring_view::npos;
    for (size_t i = 0; i < address.size(); ++i) {
        wchar_t ch = address[i];
        if (static_cast<unsigned>(ch) < 0x20 || ch == 0x7F || mrv::IsWhiteSpace(ch)) return false;
        if (ch == L'@') {
            if (at != std::wstring_view::npos) return false;
            at = i;
        }
    }
    if (at == std::wstring_view::npos || at == 0) return false;
    std::wstring_view domain = address.substr(at + 1);
    if (domain.empty() || domain.find(L'.') == std::wstring_view::npos) return false;
    // Every label between dots must have text: no leading, trailing or doubled dot.
    if (domain.front() == L'.' || domain.back() == L'.' || domain.find(L"..") != std::wstring_view::npos)
        return false;
    return true;
}

}  // namespace MorvaUtilities
