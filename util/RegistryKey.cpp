#include "util/RegistryKey.h"

#include <vector>

LONG RegistryKey::OpenRegistryKey(HKEY root, const CMString& path, REGSAM access) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(root, path.c_str(), 0, access, &key);
    m_key.Reset(rc == ERROR_SUCCESS ? key : nullptr);
    return rc;
}

LONG RegistryKey::CreateRegistryKey(HKEY root, const CMString& path, REGSAM access) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
    m_key.Reset(rc == ERROR_SUCCESS ? key : nullptr);
    return rc;
}

CMString RegistryKey::GetStringValue(const CMString& name, const CMString& defaultValue) const {
    if (!m_key) return defaultValue;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return defaultValue;
    // Room for a terminator the stored data may lack; retried if the value grew meanwhile.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<BYTE> data(size + 2 * sizeof(wchar_t));
        DWORD got = size;
        LONG rc = RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &type, data.data(), &got);
        if (rc == ERROR_MORE_DATA) { size = got; continue; }
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return defaultValue;
        const auto* text = reinterpret_cast<const wchar_t*>(data.data());
        size_t len = got / sizeof(wchar_t);
        size_t end = 0;
        while (end < len && text[end]) ++end;
        return CMString(text, end);
    }
    return defaultValue;
}

bool RegistryKey::GetDWordValue(const CMString& name, DWORD& value) const {
    if (!m_key) return false;
    DWORD type = 0, size = sizeof value;
    return RegQueryValueExW(m_key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
               ERROR_SUCCESS && type == REG_DWORD && size == sizeof value;
}

LONG RegistryKey::SetDWordValue(const CMString& name, DWORD value) {
    if (!m_key) return ERROR_INVALID_HANDLE;
    return RegSetValueExW(m_key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LONG RegistryKey::SetStringValue(const CMString& name, const CMString& value) {
    if (!m_key) return ERROR_INVALID_HANDLE;
    return RegSetValueExW(m_key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.GetLength() + 1) * sizeof(wchar_t)));
}
