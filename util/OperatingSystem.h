#pragma once
#include <windows.h>

#include "util/CMString.h"

namespace OperatingSystem {
// An existing file (not a folder).
bool FileExists(const CMString& path);
// A code library by its full path, searched beside itself for its own dependencies;
// null on failure and for a relative path or a bare file name, which the system would
// look for along its search path (where another library of that name may wait).
HMODULE LoadModule(const CMString& path);
// Whether the path names its file from a drive's root (C:\...) or a share's (\\...).
bool IsFullPath(const CMString& path);
// The full path of a loaded module's file (null: the program's own), however long:
// the buffer grows from initialSize until the path fits. Empty when the system gives none.
CMString ModuleFileName(HMODULE module, DWORD initialSize = MAX_PATH);
// The folder of that file with a trailing backslash; empty when it is not known.
CMString ModuleFolder(HMODULE module);
void UnloadModule(HMODULE module);
// Visual styles are active for this program (UxTheme present, themed, and active).
bool IsUiThemeEnabled();
}  // namespace OperatingSystem
