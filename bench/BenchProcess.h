#pragma once
// What the benchmarks that start the program from outside share: a millisecond clock and
// the folder the program lies in (PBE_DIST_DIR, as a Windows path under Wine).
#include <windows.h>

#include <string>

namespace bench {

inline double Now() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline std::wstring DistDir() {
    std::string dist = PBE_DIST_DIR;
    std::wstring out = dist.front() == '/' ? L"Z:" : L"";
    for (char c : dist) out += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return out + L"\\";
}

}  // namespace bench
