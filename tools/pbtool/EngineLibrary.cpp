#include "EngineLibrary.h"

namespace {

template <class Fn>
bool Resolve(HMODULE module, const char* name, Fn& fn, std::wstring* error) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!fn && error && error->empty()) *error = std::wstring(name, name + strlen(name));
    return fn != nullptr;
}

}  // namespace

EngineLibrary::~EngineLibrary() {
    if (module) FreeLibrary(module);
}

bool EngineLibrary::Load(const std::wstring& path, std::wstring* error) {
    module = LoadLibraryW(path.c_str());
    if (!module) {
        if (error) *error = path;
        return false;
    }
    using namespace pbabi;
    const char* const* w = kWideExports;
    const char* const* a = kAnsiExports;
    bool ok = Resolve(module, w[0], wCreate, error) & Resolve(module, w[1], wOpen, error) &
              Resolve(module, w[2], wFree, error) & Resolve(module, w[3], wFind, error) &
              Resolve(module, w[4], wFind2, error) & Resolve(module, w[5], wAdd, error) &
              Resolve(module, w[6], wGet, error) & Resolve(module, w[7], wAddToGroup, error) &
              Resolve(module, w[8], wModify, error) & Resolve(module, w[9], wRemove, error) &
              Resolve(module, w[10], wRemoveFromGroup, error) & Resolve(module, a[0], aCreate, error) &
              Resolve(module, a[1], aOpen, error) & Resolve(module, a[2], aFree, error) &
              Resolve(module, a[3], aFind, error) & Resolve(module, a[4], aFind2, error) &
              Resolve(module, a[5], aAdd, error) & Resolve(module, a[6], aGet, error) &
              Resolve(module, a[7], aAddToGroup, error) & Resolve(module, a[8], aModify, error) &
              Resolve(module, a[9], aRemove, error) & Resolve(module, a[10], aRemoveFromGroup, error);
    Resolve(module, kWideOptionalExports[0], wBegin, nullptr);
    Resolve(module, kWideOptionalExports[1], wEnd, nullptr);
    Resolve(module, kWideOptionalExports[2], wChangeCount, nullptr);
    return ok;
}

std::wstring ExecutableFolder() {
    wchar_t buf[MAX_PATH * 4] = {};
    DWORD n = GetModuleFileNameW(nullptr, buf, static_cast<DWORD>(std::size(buf)));
    std::wstring path(buf, n);
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}
