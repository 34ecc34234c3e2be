#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "PrintCMString.h"
#include "harness/TestEnvironment.h"
#include "util/OperatingSystem.h"
#include "util/Printer.h"
#include "util/RegistryKey.h"
#include "util/ResourceLoader.h"
#include "util/TextResourceLoader.h"
#include "resources/text_ids.h"

namespace {

const CMString kKey = L"Software\\PbeTests\\Registry";

TEST(RegistryKey, CreateWriteReadAndMissing) {
    testenv::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
    RegistryKey key;
    EXPECT_EQ(key.OpenRegistryKey(HKEY_CURRENT_USER, kKey, KEY_READ), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.GetStringValue(L"x", L"fallback"), CMString(L"fallback"));
    ASSERT_EQ(key.CreateRegistryKey(HKEY_CURRENT_USER, kKey, KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(key.SetDWordValue(L"Width", 364), ERROR_SUCCESS);
    EXPECT_EQ(key.SetStringValue(L"Help", L"C:\\Hilfe\\%s.htm"), ERROR_SUCCESS);
    key.Close();

    RegistryKey reader;
    ASSERT_EQ(reader.OpenRegistryKey(HKEY_CURRENT_USER, kKey, KEY_READ), ERROR_SUCCESS);
    DWORD width = 0;
    EXPECT_TRUE(reader.GetDWordValue(L"Width", width));
    EXPECT_EQ(width, 364u);
    EXPECT_EQ(reader.GetStringValue(L"Help"), CMString(L"C:\\Hilfe\\%s.htm"));
    // A DWORD is not a string: the default comes back.
    EXPECT_EQ(reader.GetStringValue(L"Width", L"d"), CMString(L"d"));
    EXPECT_EQ(reader.GetStringValue(L"Missing", L"d"), CMString(L"d"));
    testenv::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
}

TEST(RegistryKey, StringWithoutTerminatorIsReadSafely) {
    testenv::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
    HKEY raw = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &raw, nullptr),
              ERROR_SUCCESS);
    const wchar_t data[3] = {L'a', L'b', L'c'};
    RegSetValueExW(raw, L"NoZero", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(raw);
    RegistryKey key;
    ASSERT_EQ(key.OpenRegistryKey(HKEY_CURRENT_USER, kKey, KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(key.GetStringValue(L"NoZero"), CMString(L"abc"));
    testenv::DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
}

TEST(ResourceLoader, ReadsStringsByIdAndFailsQuietly) {
    ResourceLoader loader;
    EXPECT_TRUE(loader.LoadStringW(IDS_TITLE).IsEmpty());
    EXPECT_FALSE(loader.LoadDll(L"C:\\nowhere\\m2txtZY.dll"));
    EXPECT_TRUE(loader.LoadStringW(IDS_TITLE).IsEmpty());
    ASSERT_TRUE(loader.LoadDll(testenv::LanguageLibrary(L"en-US")));
    EXPECT_FALSE(loader.LoadStringW(IDS_TITLE).IsEmpty());
    EXPECT_FALSE(loader.LoadStringW(IDS_APP_CLASS).IsEmpty());
    // Ids with no text, in a block that exists and in one that does not, and past 16 bits.
    EXPECT_TRUE(loader.LoadStringW(65535).IsEmpty());
    EXPECT_TRUE(loader.LoadStringW(70000).IsEmpty());
    EXPECT_EQ(PRIMARYLANGID(loader.StringTableLanguage()), LANG_ENGLISH);
}

TEST(TextResourceLoader, DirectionFollowsTheLibrary) {
    struct { const wchar_t* language; bool rtl; } cases[] = {
        {L"en-US", false}, {L"he-IL", true}, {L"de-DE", false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(testenv::UseLanguage(c.language)) << CMString(c.language).ToUtf8();
        EXPECT_EQ(TextResourceLoader::IsRightToLeftLanguage(), c.rtl) << CMString(c.language).ToUtf8();
        EXPECT_FALSE(TextResourceLoader::LoadStringW(IDS_TITLE).IsEmpty());
    }
    // A library that cannot be loaded leaves every text empty and the direction left to right.
    EXPECT_FALSE(TextResourceLoader::Initialize(L"C:\\nowhere\\m2txtZY.dll", false));
    EXPECT_TRUE(TextResourceLoader::LoadStringW(IDS_TITLE).IsEmpty());
    EXPECT_FALSE(TextResourceLoader::IsRightToLeftLanguage());
    EXPECT_TRUE(TextResourceLoader::LoadStringW(0x100000000ull + IDS_TITLE).IsEmpty());
    testenv::UseLanguage(L"en-US");
}

TEST(TextResourceLoader, PrinterWithoutLanguageUsesUiLanguage) {
    Printer printer;
    EXPECT_FALSE(printer.CreateHandle(L"No Such Printer 4711"));
    EXPECT_EQ(printer.GetPrinterHandle(false), nullptr);
    CMString path = TextResourceLoader::GenerateTextDllFilePath(nullptr);
    EXPECT_EQ(path, TextResourceLoader::LibraryPathFor(TextResourceLoader::GetCurrentUserUILanguage()));
    EXPECT_EQ(path.Right(12), CMString(L"\\m2txtZY.dll"));
}

TEST(CMStringWin, CaseMappingCoversUnicode) {
    struct { const wchar_t* a; const wchar_t* b; } same[] = {
        {L"M\u00dcLLER", L"m\u00fcller"}, {L"\u03a9MEGA", L"\u03c9mega"}, {L"\u0418\u0412\u0410\u041d", L"\u0438\u0432\u0430\u043d"}};
    for (const auto& c : same) EXPECT_EQ(CMString(c.a).CompareNoCase(c.b), 0) << CMString(c.a).ToUtf8();
    EXPECT_EQ(CMString(L"\u00c4RGER").MakeLower(), CMString(L"\u00e4rger"));
}

TEST(CMStringWin, AnsiRoundTrip) {
    CMString text(L"Fax 0815-4711");
    EXPECT_EQ(text.ToAnsi(), std::string("Fax 0815-4711"));
    EXPECT_EQ(CMString::FromAnsi(text.ToAnsi()), text);
    EXPECT_TRUE(CMString().ToAnsi().empty());
}

TEST(OperatingSystem, FilesAndModules) {
    testenv::TempFolder folder;
    CMString file = folder.File(L"x.txt");
    EXPECT_FALSE(OperatingSystem::FileExists(file));
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(OperatingSystem::FileExists(file));
    EXPECT_FALSE(OperatingSystem::FileExists(folder.Path()));
    EXPECT_FALSE(OperatingSystem::FileExists(L""));
    EXPECT_EQ(OperatingSystem::LoadModule(folder.File(L"missing.dll")), nullptr);
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    HMODULE kernel = OperatingSystem::LoadModule(CMString(system) + L"\\kernel32.dll");
    EXPECT_NE(kernel, nullptr);
    OperatingSystem::UnloadModule(kernel);
}

// A library by its full path only: by a bare or relative name the system would search
// for it along its search path (the current folder among it), where another library of
// the name may wait. The engine's copy beside this program serves as the library.
TEST(OperatingSystem, ModulesLoadByTheirFullPathOnly) {
    const CMString folder = OperatingSystem::ModuleFolder(nullptr);
    ASSERT_TRUE(OperatingSystem::FileExists(folder + L"m2fpd02.dll")) << folder.ToUtf8();
    for (const wchar_t* name : {L"m2fpd02.dll", L".\\m2fpd02.dll", L"kernel32.dll"}) {
        SCOPED_TRACE(CMString(name).ToUtf8());
        HMODULE module = OperatingSystem::LoadModule(name);
        EXPECT_EQ(module, nullptr);
        OperatingSystem::UnloadModule(module);
    }
    HMODULE engine = OperatingSystem::LoadModule(folder + L"m2fpd02.dll");
    EXPECT_NE(engine, nullptr);
    OperatingSystem::UnloadModule(engine);

    struct { const wchar_t* path; bool full; } cases[] = {
        {L"C:\\Books\\m2fpd02.dll", true}, {L"z:/books/m2fpd02.dll", true},
        {L"\\\\server\\share\\m2fpd02.dll", true}, {L"\\\\?\\C:\\Books\\m2fpd02.dll", true},
        {L"m2fpd02.dll", false}, {L"C:m2fpd02.dll", false}, {L"\\m2fpd02.dll", false},
        {L"..\\m2fpd02.dll", false}, {L"1:\\m2fpd02.dll", false}, {L"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(OperatingSystem::IsFullPath(c.path), c.full) << CMString(c.path).ToUtf8();
}

// The program's own path however long: a buffer too small for it grows until it fits.
TEST(OperatingSystem, ModuleFileNameGrowsUntilThePathFits) {
    std::vector<wchar_t> big(32768);
    const DWORD n = GetModuleFileNameW(nullptr, big.data(), static_cast<DWORD>(big.size()));
    ASSERT_GT(n, 0u);
    const CMString whole(big.data(), n);
    const DWORD starts[] = {1, 2, 5, n, n + 1, 32768};
    for (DWORD start : starts)
        EXPECT_EQ(OperatingSystem::ModuleFileName(nullptr, start), whole) << start;
    EXPECT_EQ(OperatingSystem::ModuleFileName(nullptr), whole);
    EXPECT_EQ(OperatingSystem::ModuleFolder(nullptr), whole.Left(whole.ReverseFind(L'\\') + 1));
}

}  // namespace
