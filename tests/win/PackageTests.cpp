// The installer package as an administrator deploys it: silently onto a fresh Windows,
// the next version over it, and away again. Runs only where the build hands it the
// packages (its own ctest entry, on a prefix of its own).
#include <windows.h>

#include <commctrl.h>
#include <msi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "settings/SettingsStore.h"

#include <cstdlib>

#include "PrintCMString.h"
#include "harness/TestEnvironment.h"
#include "resources/resource.h"
#include "resources/text_ids.h"
#include "util/ResourceLoader.h"

namespace {

constexpr wchar_t kUpgradeCode[] = L"{7C0F2B1E-5D7A-4E43-9A61-3F0B8C2D9E14}";

CMString Env(const char* name) {
    const char* value = std::getenv(name);
    CMString text = CMString::FromUtf8(value ? value : "");
    text.Replace(L"/", L"\\");
    return text;
}

CMString Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return CMString(path) + L"\\";
}

bool Exists(const CMString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const CMString& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

CMString RegText(HKEY root, const CMString& path, const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, value, &size) != ERROR_SUCCESS)
        return CMString();
    return CMString(value);
}

// Product codes installed under our upgrade code, with their versions.
std::vector<CMString> InstalledVersions() {
    std::vector<CMString> versions;
    wchar_t product[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsW(kUpgradeCode, 0, i, product) == ERROR_SUCCESS; ++i) {
        wchar_t version[64] = {};
        DWORD size = 64;
        MsiGetProductInfoW(product, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        versions.push_back(version);
    }
    return versions;
}

int Msiexec(const wchar_t* action, const CMString& package) {
    return testenv::RunAndWait(CMString(L"msiexec ") + action + L" \"" + package + L"\" /qn", 180000);
}

// The Start-menu shortcut: the common menu on Windows; Wine's installer puts a
// per-machine package's shortcut into the installing user's menu.
CMString Shortcut() {
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        CMString path = Folder(csidl) + L"Phone Book Editor.lnk";
        if (Exists(path)) return path;
    }
    return CMString();
}

struct Opened {
    CMString program;
    CMString title;
    int rows = -1;
};

// Reads what the program shows once it is up, and closes it again.
Opened Observe(HANDLE process) {
    Opened seen;
    wchar_t image[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    QueryFullProcessImageNameW(process, 0, image, &size);
    seen.program = image;
    if (HWND dialog = testenv::WaitForProcessDialog(GetProcessId(process))) {
        wchar_t title[256] = {};
        GetWindowTextW(dialog, title, 256);
        seen.title = title;
        seen.rows = static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_LIST), LVM_GETITEMCOUNT, 0, 0));
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    EXPECT_EQ(WaitForSingleObject(process, 20000), WAIT_OBJECT_0);
    CloseHandle(process);
    return seen;
}

// Opens a document through the shell, as a double-click does.
Opened OpenThroughShell(const CMString& document) {
    SHELLEXECUTEINFOW info = {sizeof info};
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = document.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info) || !info.hProcess) {
        ADD_FAILURE() << "the shell cannot open " << document.ToUtf8();
        return Opened();
    }
    return Observe(info.hProcess);
}

// Starts what a shortcut names, its target with its arguments as the shell reads them.
// (Wine's shell, asked to open the link itself, waits on its desktop process.)
Opened StartShortcut(const CMString& link) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* shortcut = nullptr;
    IPersistFile* file = nullptr;
    CMString commandLine;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shortcut))) &&
        SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
        wchar_t target[MAX_PATH] = {}, arguments[1024] = {};
        shortcut->GetPath(target, MAX_PATH, nullptr, 0);
        shortcut->GetArguments(arguments, 1024);
        commandLine = CMString(L"\"") + target + L"\" " + arguments;
    }
    if (file) file->Release();
    if (shortcut) shortcut->Release();
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    if (commandLine.IsBlank() || !CreateProcessW(nullptr, commandLine.GetBuffer(commandLine.GetLength() + 1), nullptr,
                                                 nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start the shortcut " << link.ToUtf8() << ": " << commandLine.ToUtf8();
        return Opened();
    }
    CloseHandle(pi.hThread);
    return Observe(pi.hProcess);
}

TEST(Package, InstallsUpgradesInPlaceAndUninstallsCleanly) {
    const CMString package = Env("PBE_MSI"), next = Env("PBE_MSI_NEXT");
    if (package.IsBlank()) GTEST_SKIP() << "run by its own test entry, which builds the packages";
    const CMString programFiles = Folder(CSIDL_PROGRAM_FILES);
    const CMString installDir = programFiles + L"Morva\\Phone Book Editor\\";
    const CMString exe = installDir + L"PhonebookEditor.exe";
    const CMString helpKey = L"Software\\Morva\\PhoneBookAppHelpPath";
    const CMString sizeKey = L"Software\\Morva\\PhoneBookEditor";
    const CMString progId = L"Software\\Classes\\Morva.PhoneBookEditor.PhoneBook";

    ASSERT_EQ(Msiexec(L"/i", package), 0);
    for (const wchar_t* file : {L"PhonebookEditor.exe", L"m2fpd02.dll", L"pbtool.exe",
                                L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll",
                                L"Morva\\Language Data\\V5.0\\de-DE\\m2txtZY.dll",
                                L"Morva\\Language Data\\V5.0\\he-IL\\m2txtZY.dll"})
        EXPECT_TRUE(Exists(installDir + file)) << CMString(file).ToUtf8();
    const CMString helpPath = RegText(HKEY_LOCAL_MACHINE, helpKey, L"HelpPath");
    EXPECT_EQ(helpPath, installDir + L"help\\en-US\\%s.html");
    EXPECT_TRUE(Exists(CMString::Formatted(helpPath.c_str(), L"wi_fax_phonebook")));
    for (const wchar_t* type : {L".mpb2", L".mpb", L".pb"})
        EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, CMString(L"Software\\Classes\\") + type, nullptr),
                  L"Morva.PhoneBookEditor.PhoneBook");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, progId + L"\\shell\\open\\command", nullptr),
              CMString(L"\"") + exe + L"\" -f \"%1\"");
    EXPECT_FALSE(Shortcut().IsBlank());

    // A book opened through its file type, by the installed program in its own language.
    testenv::TempFolder folder;
    const CMString book = folder.File(L"Office.mpb2");
    ASSERT_EQ(testenv::RunPbtool(CMString(L"sample \"") + book + L"\" --entries 5 --groups 1"), 0);
    CMString title;
    {
        // Let go of the library again, or the uninstall could not remove it.
        ResourceLoader texts;
        ASSERT_TRUE(texts.LoadDll(installDir + L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll"));
        title = texts.LoadStringW(IDS_TITLE);
    }
    EXPECT_FALSE(title.IsBlank());
    Opened seen = OpenThroughShell(book);
    EXPECT_TRUE(seen.program.EqualsNoCase(exe.str())) << seen.program.ToUtf8();
    EXPECT_EQ(seen.title, title);
    EXPECT_EQ(seen.rows, 6);
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sizeKey)) << "the window size is stored on close";
    EXPECT_EQ(InstalledVersions(), std::vector<CMString>{CMString(PBE_VERSION_TEXT)});
    // The Start menu opens the machine's shared book, made on first use, so that the
    // help path is read and the help buttons work.
    const CMString sharedBook = Folder(CSIDL_COMMON_DOCUMENTS) + L"Phone Book.mpb2";
    EXPECT_EQ(StartShortcut(Shortcut()).title, title);
    EXPECT_TRUE(Exists(sharedBook));

    // The next version replaces this one: one product, the new version, files in place.
    ASSERT_EQ(Msiexec(L"/i", next), 0);
    EXPECT_EQ(InstalledVersions(), std::vector<CMString>{Env("PBE_NEXT_VERSION")});
    EXPECT_TRUE(Exists(exe));
    EXPECT_FALSE(Shortcut().IsBlank());

    ASSERT_EQ(Msiexec(L"/x", next), 0);
    EXPECT_TRUE(InstalledVersions().empty());
    EXPECT_FALSE(Exists(installDir));
    EXPECT_FALSE(Exists(programFiles + L"Morva")) << "the maker's folder we made goes with us";
    EXPECT_TRUE(Shortcut().IsBlank());
    for (const CMString& key : {helpKey, progId, CMString(L"Software\\Morva\\PhoneBookEditorSetup"),
                                CMString(L"Software\\Classes\\.mpb2"), CMString(L"Software\\Classes\\.mpb"),
                                CMString(L"Software\\Classes\\.pb")})
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << key.ToUtf8();
    // What belongs to the users stays: their books and the window size.
    EXPECT_TRUE(Exists(book));
    EXPECT_TRUE(Exists(sharedBook));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sizeKey));
}

// A management tool's install with public properties writes the machine's defaults of
// the book's source (not policies: each user may still change them), ships the policy
// templates, and an uninstall takes the defaults away again.
TEST(Package, PublicPropertiesWriteMachineDefaults) {
    const CMString package = Env("PBE_MSI");
    if (package.IsBlank()) GTEST_SKIP() << "run by its own test entry, which builds the packages";
    const CMString installDir = Folder(CSIDL_PROGRAM_FILES) + L"Morva\\Phone Book Editor\\";
    const CMString key = settings::kSettingsKey;
    ASSERT_EQ(testenv::RunAndWait(CMString(L"msiexec /i \"") + package +
                                      L"\" DIRECTORYURL=ldap://dir.example.org/o=Example MANAGEDGROUP=Office "
                                      L"FOLLOWHOURS=8 /qn",
                                  180000),
              0);
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, L"Server"), L"ldap://dir.example.org/o=Example");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, L"Group"), L"Office");
    EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, key, L"FollowHours"), L"8");
    // What was not given is not written: the program's own default stays.
    EXPECT_TRUE(RegText(HKEY_LOCAL_MACHINE, key, L"BaseDN").IsEmpty());
    const settings::Effective effective = settings::ReadEffective();
    EXPECT_EQ(effective[settings::Id::Server].origin, settings::Origin::MachineDefault);
    EXPECT_EQ(effective[settings::Id::FollowHours].number, 8u);
    EXPECT_EQ(effective[settings::Id::FollowHours].origin, settings::Origin::MachineDefault);
    EXPECT_EQ(effective[settings::Id::BaseDN].origin, settings::Origin::Default);
    EXPECT_FALSE(effective[settings::Id::Server].locked);
    for (const wchar_t* file : {L"PhoneBookEditor.admx", L"en-US\\PhoneBookEditor.adml", L"de-DE\\PhoneBookEditor.adml",
                                L"he-IL\\PhoneBookEditor.adml"})
        EXPECT_TRUE(Exists(installDir + L"PolicyDefinitions\\" + file)) << CMString(file).ToUtf8();

    ASSERT_EQ(Msiexec(L"/x", package), 0);
    EXPECT_TRUE(RegText(HKEY_LOCAL_MACHINE, key, L"Server").IsEmpty());
    EXPECT_TRUE(RegText(HKEY_LOCAL_MACHINE, key, L"Group").IsEmpty());
    EXPECT_EQ(settings::ReadEffective()[settings::Id::FollowHours].origin, settings::Origin::Default);
    EXPECT_FALSE(Exists(installDir));
}

}  // namespace
