#include "Console.h"

#include <windows.h>

namespace pbtool {

void Out(FILE* f, const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fflush(f);
}

void Say(const std::wstring& text) { Out(stdout, text + L"\n"); }

int Fail(int exitCode, const std::wstring& text) {
    Out(stderr, L"pbtool: " + text + L"\n");
    return exitCode;
}

void Progress::operator()(unsigned long long done, unsigned long long total) {
    if (total < m_worthFrom || total == 0) return;
    const int tenth = static_cast<int>(done * 10 / total);
    if (tenth == m_shown) return;
    m_shown = tenth;
    Out(stderr, L"pbtool: " + m_what + L" " + std::to_wstring(tenth * 10) + L"%\n");
}

}  // namespace pbtool
