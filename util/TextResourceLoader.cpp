#include "util/TextResourceLoader.h"

#include <winspool.h>

#include "util/OperatingSystem.h"
#include "util/ResourceLoader.h"
#include "util/core/LanguageMatch.h"

namespace {

struct State {
    ResourceLoader library;
    bool rightToLeft = false;
    CMString path;
};

State& Loaded() {
    static State state;
    return state;
}

std::wstring NameOfLanguage(LANGID language) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) return {};
    return name;
}

std::vector<std::wstring> PreferredUILanguages() {
    std::vector<std::wstring> result;
    ULONG count = 0, size = 0;
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) && size > 0) {
        std::wstring buffer(size, L'\0');
        if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, buffer.data(), &size)) {
            for (const wchar_t* p = buffer.c_str(); *p; p += wcslen(p) + 1) result.emplace_back(p);
        }
    }
    if (result.empty()) {
        std::wstring name = NameOfLanguage(GetUserDefaultUILanguage());
        if (!name.empty()) result.push_back(name);
    }
    return result;
}

// What the printer says its language is, or empty.
std::wstring PrinterLanguage(HANDLE printer) {
    if (!printer) return {};
    DWORD type = 0, needed = 0;
    BYTE data[256] = {};
    if (GetPrinterDataW(printer, const_cast<LPWSTR>(L"Language"), &type, data, sizeof data - sizeof(wchar_t),
                        &needed) != ERROR_SUCCESS)
        return {};
    if (type == REG_SZ) return std::wstring(reinterpret_cast<const wchar_t*>(data));
    if (type == REG_DWORD && needed == sizeof(DWORD)) {
        DWORD id;
        memcpy(&id, data, sizeof id);
        return NameOfLanguage(static_cast<LANGID>(id));
    }
    return {};
}

}  // namespace

CMString TextResourceLoader::LanguageRoot() {
    // Below the program's folder, by its full path however long; none when that folder
    // is not known (a relative path would be looked for in the current folder).
    const CMString folder = OperatingSystem::ModuleFolder(nullptr);
    return folder.IsEmpty() ? CMString() : folder + L"Morva\\Language Data\\V5.0\\";
}

CMString TextResourceLoader::LibraryPathFor(const CMString& languageFolder) {
    const CMString root = LanguageRoot();
    return root.IsEmpty() ? CMString() : root + languageFolder + L"\\m2txtZY.dll";
}

std::vector<std::wstring> TextResourceLoader::ShippedLanguages() {
    std::vector<std::wstring> result;
    if (LanguageRoot().IsEmpty()) return result;
    CMString pattern = LanguageRoot() + L"*";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return result;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && data.cFileName[0] != L'.')
            result.emplace_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return result;
}

bool TextResourceLoader::IsRightToLeft(LANGID language) {
    switch (PRIMARYLANGID(language)) {
        case LANG_ARABIC: case LANG_HEBREW: case LANG_PERSIAN: case LANG_URDU: case LANG_SYRIAC:
        case LANG_DIVEHI: case LANG_PASHTO: case LANG_UIGHUR: case LANG_SINDHI:
            return true;
        default:
            return false;
    }
}

bool TextResourceLoader::Initialize(const CMString& path, bool failIfMissing) {
    State& state = Loaded();
    ResourceLoader next;
    if (!next.LoadDll(path)) {
        if (!failIfMissing) {
            state.library.Unload();
            state.rightToLeft = false;
            state.path = CMString();
        }
        return false;
    }
    state.library = std::move(next);
    state.path = path;
    state.rightToLeft = IsRightToLeft(state.library.StringTableLanguage());
    return true;
}

bool TextResourceLoader::Initialize(HANDLE printer, bool failIfMissing) {
    return Initialize(GenerateTextDllFilePath(printer), failIfMissing);
}

void TextResourceLoader::Shutdown() {
    Loaded().library.Unload();
    Loaded().rightToLeft = false;
    Loaded().path = CMString();
}

CMString TextResourceLoader::LoadedPath() { return Loaded().path; }

CMString TextResourceLoader::GetCurrentUserUILanguage() {
    return CMString(mrv::MatchLanguageFolder(PreferredUILanguages(), ShippedLanguages()));
}

CMString TextResourceLoader::GenerateTextDllFilePath(HANDLE printer) {
    std::wstring language = PrinterLanguage(printer);
    // A printer that names no language (or no printer at all) speaks the user's language.
    if (language.empty()) return LibraryPathFor(GetCurrentUserUILanguage());
    return LibraryPathFor(CMString(mrv::MatchLanguageFolder({language}, ShippedLanguages())));
}

CMString TextResourceLoader::LoadStringW(uint64_t id) {
    if (id > 0xFFFFFFFFull) return {};
    return Loaded().library.LoadStringW(static_cast<uint32_t>(id));
}

bool TextResourceLoader::IsRightToLeftLanguage() { return Loaded().rightToLeft; }
