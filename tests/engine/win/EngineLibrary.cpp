#include "EngineLibrary.h"

#include <cstring>

EngineLibrary::~EngineLibrary() {
    if (module) FreeLibrary(module);
}

bool EngineLibrary::Load(const std::wstring& path, std::wstring* error) {
    module = LoadLibraryW(path.c_str());
    if (!module) {
        if (error) *error = path;
        return false;
    }
    const char* missing = nullptr;
    bool ok = ResolveCalls(module, wide, &missing);
    ok = ResolveCalls(module, ansi, ok ? &missing : nullptr) && ok;
    changes = ResolveChangeCalls(module);
    if (!ok && error && missing) *error = std::wstring(missing, missing + std::strlen(missing));
    return ok;
}
