#pragma once
// printf-style formatting with the Windows wide-printf meaning of the conversions:
// in a wide format "%s" takes a wide string and "%hs"/"%S" a narrow one, on every
// compiler and C runtime (mingw's C99 printf family reads "%s" as narrow).
#include <cstdarg>
#include <string>

namespace mrv {

std::wstring FormatV(const wchar_t* format, va_list args);
std::wstring Format(const wchar_t* format, ...);

}  // namespace mrv
