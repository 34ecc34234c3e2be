#include "util/OperatingSystem.h"

#include "util/Handles.h"

namespace OperatingSystem {

bool FileExists(const CMString& path) {
    if (path.IsEmpty()) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HMODULE LoadModule(const CMString& path) {
    if (path.IsEmpty()) return nullptr;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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
