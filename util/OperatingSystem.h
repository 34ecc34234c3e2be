#pragma once
#include <windows.h>

#include "util/CMString.h"

namespace OperatingSystem {
// An existing file (not a folder).
bool FileExists(const CMString& path);
// A code library, searched beside itself for its own dependencies; null on failure.
HMODULE LoadModule(const CMString& path);
void UnloadModule(HMODULE module);
// Visual styles are active for this program (UxTheme present, themed, and active).
bool IsUiThemeEnabled();
}  // namespace OperatingSystem
