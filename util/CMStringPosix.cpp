// Case mapping for the native test build. Only the portable core runs here; the
// full Unicode mapping lives with the Windows build.
#include <cwctype>

#include "util/CMString.h"

namespace mrv {
wchar_t ToLowerChar(wchar_t ch) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch))); }
wchar_t ToUpperChar(wchar_t ch) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch))); }
}  // namespace mrv
