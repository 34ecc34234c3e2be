#pragma once
// Where the built program lives, and scratch space that tests clean up after.
#include <windows.h>

#include "util/CMString.h"

namespace testenv {

// The shipped folder of this build (from PBE_DIST), as a Windows path with a trailing backslash.
CMString DistDir();
CMString LanguageLibrary(const wchar_t* language);
// Loads the program's texts in this language (as start-up does).
bool UseLanguage(const wchar_t* language);

// A fresh folder under the temporary folder; removed with its files on destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const CMString& Path() const { return m_path; }
    CMString File(const wchar_t* name) const { return m_path + name; }

private:
    CMString m_path;
};

// Runs a command line without a window and waits; its exit code, or -1.
int RunAndWait(const CMString& commandLine, DWORD timeoutMs = 60000);
// Runs dist\pbtool.exe with these arguments and waits; its exit code, or -1.
int RunPbtool(const CMString& arguments);
// The first visible dialog of that process, once it shows; null after the timeout.
HWND WaitForProcessDialog(DWORD process, int timeoutMs = 20000);
// Makes an empty phone book of one kind (mpb2, mpb or pb) with pbtool, replacing a
// file that is there; false on failure.
bool MakeBook(const CMString& path, const wchar_t* format);

// Removes a registry tree so a test starts and ends clean.
void DeleteRegistryTree(HKEY root, const CMString& path);

}  // namespace testenv
