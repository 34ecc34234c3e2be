#pragma once
// A resource-only library (a language library) loaded as data and read by id.
#include <windows.h>

#include <cstdint>

#include "util/CMString.h"
#include "util/Handles.h"

class ResourceLoader {
public:
    ResourceLoader() = default;
    // Replaces any library held before; false when the file cannot be loaded.
    bool LoadDll(const CMString& path);
    void Unload() { m_module.Reset(); }
    bool IsLoaded() const { return static_cast<bool>(m_module); }
    HMODULE Module() const { return m_module.Get(); }

    // The text of a string id; empty when nothing is loaded or the id has no text.
    CMString LoadStringW(uint32_t id) const;
    // Primary language of the library's string table (0 when none).
    LANGID StringTableLanguage() const;

    // Reads a string straight from a module's string table, whatever its load mode.
    static CMString ReadString(HMODULE module, uint32_t id);

private:
    UniqueModule m_module;
};
