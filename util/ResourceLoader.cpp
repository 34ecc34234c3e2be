#include "util/ResourceLoader.h"

#include <string>

bool ResourceLoader::LoadDll(const CMString& path) {
    m_module.Reset();
    if (path.IsEmpty()) return false;
    // As data: a language library has no code, and nothing of it may run.
    HMODULE h = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!h) h = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    // A program in a folder deeper than MAX_PATH: the loader may take no data file by
    // so long a path (Wine's does not), and the short form names the same file.
    if (!h && path.GetLength() >= MAX_PATH) {
        const DWORD size = GetShortPathNameW(path.c_str(), nullptr, 0);
        std::wstring shortPath(size, L'\0');
        const DWORD n = size > 0 ? GetShortPathNameW(path.c_str(), shortPath.data(), size) : 0;
        if (n > 0 && n < size) {
            shortPath.resize(n);
            h = LoadLibraryExW(shortPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        }
    }
    m_module.Reset(h);
    return h != nullptr;
}

CMString ResourceLoader::ReadString(HMODULE module, uint32_t id) {
    if (!module || id > 0xFFFF) return {};
    // String tables are stored in blocks of 16 counted strings.
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW((id >> 4) + 1), reinterpret_cast<LPCWSTR>(RT_STRING));
    if (!res) return {};
    HGLOBAL mem = LoadResource(module, res);
    DWORD size = SizeofResource(module, res);
    const auto* p = static_cast<const WCHAR*>(mem ? LockResource(mem) : nullptr);
    if (!p) return {};
    const WCHAR* end = p + size / sizeof(WCHAR);
    for (uint32_t i = 0; i < (id & 15); ++i) {
        if (p >= end) return {};
        p += 1 + *p;
    }
    if (p >= end) return {};
    size_t len = *p++;
    if (p + len > end) return {};
    return CMString(p, len);
}

CMString ResourceLoader::LoadStringW(uint32_t id) const { return ReadString(m_module.Get(), id); }

static BOOL CALLBACK FirstLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    *reinterpret_cast<LANGID*>(param) = language;
    return FALSE;
}

static BOOL CALLBACK FirstName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param) {
    EnumResourceLanguagesW(module, type, name, FirstLanguage, param);
    return FALSE;
}

LANGID ResourceLoader::StringTableLanguage() const {
    LANGID language = 0;
    if (m_module)
        EnumResourceNamesW(m_module.Get(), reinterpret_cast<LPCWSTR>(RT_STRING), FirstName,
                           reinterpret_cast<LONG_PTR>(&language));
    return language;
}
