#pragma once
#include <windows.h>

#include "util/CMString.h"
#include "util/Handles.h"

class RegistryKey {
public:
    // Win32 error codes: ERROR_SUCCESS when the key is open.
    LONG OpenRegistryKey(HKEY root, const CMString& path, REGSAM access);
    LONG CreateRegistryKey(HKEY root, const CMString& path, REGSAM access);
    void Close() { m_key.Reset(); }
    bool IsOpen() const { return static_cast<bool>(m_key); }

    // REG_SZ or REG_EXPAND_SZ value (not expanded); the default when absent or of another type.
    CMString GetStringValue(const CMString& name, const CMString& defaultValue = CMString()) const;
    LONG SetDWordValue(const CMString& name, DWORD value);
    LONG SetStringValue(const CMString& name, const CMString& value);
    bool GetDWordValue(const CMString& name, DWORD& value) const;

private:
    UniqueRegKey m_key;
};
