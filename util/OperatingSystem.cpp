#include "util/OperatingSystem.h"

#include <algorithm>
#include <vector>

#include "util/Handles.h"

namespace OperatingSystem {

bool FileExists(const CMString& path) {
    if (path.IsEmpty()) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HMODULE LoadModule(const CMString& path) {
    // The altered search order is only defined, and only safe, for a full path.
    if (!IsFullPath(path)) return nullptr;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool IsFullPath(const CMString& path) {
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const int n = path.GetLength();
    if (n >= 3 && path.GetAt(1) == L':' && separator(path.GetAt(2))) {
        const wchar_t drive = path.GetAt(0);
        return (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    }
    // \\server\share\..., and \\?\ or \\.\ forms.
    return n >= 3 && separator(path.GetAt(0)) && separator(path.GetAt(1)) && !separator(path.GetAt(2));
}

CMString ModuleFileName(HMODULE module, DWORD initialSize) {
    // Far beyond any path the system keeps (32767 units).
    constexpr DWORD kLongest = 65536;
    std::vector<wchar_t> buffer(initialSize > 0 ? initialSize : 1);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = GetModuleFileNameW(module, buffer.data(), size);
        if (n == 0) return {};
        // A path that filled the buffer may have been cut: only a shorter one is whole.
        if (n < size) return CMString(buffer.data(), n);
        if (size >= kLongest) return {};
        buffer.resize(std::min<size_t>(static_cast<size_t>(size) * 2, kLongest));
    }
}

CMString ModuleFolder(HMODULE module) {
    const CMString path = ModuleFileName(module);
    const int slash = path.ReverseFind(L'\\');
    if (slash < 0 || !IsFullPath(path)) return {};
    return path.Left(slash + 1);
}

void UnloadModule(HMODULE module) {
    if (module) FreeLibrary(module);
}

bool IsUiThemeEnabled() {
    UniqueModule uxtheme(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!uxtheme) return false;
    using BoolFn = BOOL(WINAPI*)();
    auto isAppThemed = reinterpret_cast<BoolFn>(reinterpret_cast<void*>(GetProcAddress(uxtheme.Get(), "IsAppThemed")));
    auto isThemeActive = reinterpret_cast<BoolFn>(reinterpret_cast<void*>(GetProcAddress(uxtheme.Get(), "IsThemeActive")));
    return isAppThemed && isThemeActive && isAppThemed() && isThemeActive();
}

}  // namespace OperatingSystem
