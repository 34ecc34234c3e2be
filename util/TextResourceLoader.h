#pragma once
// The process-wide language library: every user-visible text is read through here.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "util/CMString.h"

class TextResourceLoader {
public:
    // Loads the library at path. failIfMissing false: a missing library leaves every
    // text empty; true: a missing library keeps the one loaded before. False on failure.
    static bool Initialize(const CMString& path, bool failIfMissing);
    // Loads the library of the printer's language (see GenerateTextDllFilePath).
    static bool Initialize(HANDLE printer, bool failIfMissing);
    static void Shutdown();

    // Full path of the library for the printer's language: the language the printer
    // reports in its "Language" printer data (a name such as "de-DE" or a LANGID),
    // else the user's UI language; mapped to a shipped folder like the UI language.
    static CMString GenerateTextDllFilePath(HANDLE printer);
    // Folder name of the shipped language that serves the user's UI language.
    static CMString GetCurrentUserUILanguage();

    static CMString LoadStringW(uint64_t id);
    static bool IsRightToLeftLanguage();

    // "<program folder>Morva\Language Data\V5.0\" with a trailing backslash.
    static CMString LanguageRoot();
    static CMString LibraryPathFor(const CMString& languageFolder);
    // The library loaded last (empty when none is).
    static CMString LoadedPath();
    // Language folders present under LanguageRoot().
    static std::vector<std::wstring> ShippedLanguages();
    static bool IsRightToLeft(LANGID language);
};
