// Help topics opened through the shell, and the about box as a user sees it.
#include <windows.h>

#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/HelpAbout.h"
#include "resources/resource.h"
#include "util/Handles.h"
#include "util/NetworkInterfaces.h"

namespace {

bool WriteText(const CMString& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    CloseHandle(file);
    return ok;
}

std::string ReadText(const CMString& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    char buffer[512] = {};
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer - 1, &read, nullptr);
    CloseHandle(file);
    std::string text(buffer, read);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Restores the help path a test changed.
class HelpPathScope {
public:
    explicit HelpPathScope(const CMString& path) : m_saved(app::HelpPath()) { app::SetHelpPath(path); }
    ~HelpPathScope() { app::SetHelpPath(m_saved); }

private:
    CMString m_saved;
};

// The help "pages" are scripts the shell runs when it opens them: each writes the name
// it was opened by, so the test sees exactly which file the help path led to.
TEST(Help, LocalHelpPathOpensTheTopicsFile) {
    const wchar_t* topics[] = {helptopic::kMainDialog, helptopic::kImport};
    for (const wchar_t* topic : topics) {
        SCOPED_TRACE(CMString(topic).ToUtf8());
        testenv::TempFolder folder;
        CMString marker = folder.File(L"opened.txt");
        for (const wchar_t* page : topics)
            ASSERT_TRUE(WriteText(folder.File(page) + L".cmd", "@echo %~n0> \"" + marker.ToUtf8() + "\"\r\n"));
        HelpPathScope scope(folder.Path() + L"%s.cmd");
        harness::ModalDriver driver;
        ShowHelpTopic(topic);
        EXPECT_TRUE(harness::PumpUntil([&] { return !ReadText(marker).empty(); }, 15000));
        EXPECT_EQ(ReadText(marker), CMString(topic).ToUtf8());
        EXPECT_TRUE(driver.Seen().empty());
    }
}

// One help path for every user, naming the English pages: each user gets the page of
// the language the program speaks to them, where it is installed, else the one named.
TEST(Help, LocalPagesOpenInTheProgramsLanguage) {
    testenv::TempFolder folder;
    CMString marker = folder.File(L"opened.txt");
    const wchar_t* installed[] = {L"en-US", L"de-DE", L"he-IL"};
    CMString help = folder.File(L"help\\");
    ASSERT_TRUE(CreateDirectoryW(help.c_str(), nullptr));
    for (const wchar_t* language : installed) {
        CMString pages = help + language + L"\\";
        ASSERT_TRUE(CreateDirectoryW(pages.c_str(), nullptr));
        for (const wchar_t* topic : {helptopic::kMainDialog, helptopic::kEntry}) {
            // The Hebrew entry page is missing: that topic falls back to the page named.
            if (CMString(language) == L"he-IL" && CMString(topic) == helptopic::kEntry) continue;
            ASSERT_TRUE(WriteText(pages + topic + L".cmd", "@echo " + CMString(language).ToUtf8() + " %~n0> \"" +
                                                               marker.ToUtf8() + "\"\r\n"));
        }
    }
    ASSERT_TRUE(WriteText(folder.File(helptopic::kMainDialog) + L".cmd", "@echo plain %~n0> \"" + marker.ToUtf8() + "\"\r\n"));

    struct { const wchar_t* language; const wchar_t* pathFolder; const wchar_t* topic; const char* opened; } cases[] = {
        {L"en-US", L"help\\en-US\\", helptopic::kMainDialog, "en-US wi_fax_phonebook"},
        {L"de-DE", L"help\\en-US\\", helptopic::kMainDialog, "de-DE wi_fax_phonebook"},
        {L"he-IL", L"help\\en-US\\", helptopic::kMainDialog, "he-IL wi_fax_phonebook"},
        {L"de-DE", L"help\\en-US\\", helptopic::kEntry, "de-DE db_book_entry"},
        {L"he-IL", L"help\\en-US\\", helptopic::kEntry, "en-US db_book_entry"},
        {L"en-US", L"help\\de-DE\\", helptopic::kEntry, "en-US db_book_entry"},
        {L"he-IL", L"help\\de-DE\\", helptopic::kEntry, "de-DE db_book_entry"},
        // A path without a language folder is opened as it stands.
        {L"de-DE", L"", helptopic::kMainDialog, "plain wi_fax_phonebook"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.language).ToUtf8() + " " + CMString(c.pathFolder).ToUtf8() + CMString(c.topic).ToUtf8());
        ASSERT_TRUE(testenv::UseLanguage(c.language));
        DeleteFileW(marker.c_str());
        HelpPathScope scope(folder.Path() + c.pathFolder + L"%s.cmd");
        harness::ModalDriver driver;
        ShowHelpTopic(c.topic);
        EXPECT_TRUE(harness::PumpUntil([&] { return !ReadText(marker).empty(); }, 15000));
        EXPECT_EQ(ReadText(marker), c.opened);
        EXPECT_TRUE(driver.Seen().empty());
    }
    testenv::UseLanguage(L"en-US");
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Runs one test of this program again in a process where Wine may not load the network
// list (a DLL override in the test prefix): such a machine counts as offline. Its exit
// code, or -1.
int RunOfflineChild(const wchar_t* test) {
    const wchar_t* key = L"Software\\Wine\\DllOverrides";
    HKEY overrides = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &overrides, nullptr))
        return -1;
    UniqueRegKey closer(overrides);
    RegSetValueExW(overrides, L"netprofm", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    SetEnvironmentVariableW(L"PBE_OFFLINE_CHILD", L"1");
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    CMString line = CMString(L"\"") + exe + L"\" --gtest_brief=1 --gtest_filter=" + test;
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(nullptr, line.GetBuffer(line.GetLength() + 1), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &si, &pi);
    DWORD code = static_cast<DWORD>(-1);
    if (started) {
        if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    SetEnvironmentVariableW(L"PBE_OFFLINE_CHILD", nullptr);
    RegDeleteValueW(overrides, L"netprofm");
    return static_cast<int>(code);
}

// Web addresses are opened by this test's own command for the scheme, set in the test
// prefix for the time of the test: it writes the address it was given instead of
// starting a browser. The prefix's own command is put back afterwards.
class WebAddressHandler {
public:
    explicit WebAddressHandler(const CMString& marker) {
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                            nullptr, &m_key, nullptr) != ERROR_SUCCESS)
            return;
        wchar_t saved[1024] = {};
        DWORD size = sizeof saved - sizeof(wchar_t);
        DWORD type = 0;
        m_hadCommand = RegQueryValueExW(m_key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(saved), &size) ==
                       ERROR_SUCCESS && type == REG_SZ;
        m_saved = saved;
        CMString command = L"\"C:\\windows\\system32\\cmd.exe\" /c echo %1> \"" + marker + L"\"";
        m_ok = Set(command);
    }
    ~WebAddressHandler() {
        if (!m_key) return;
        if (m_hadCommand) Set(m_saved);
        else RegDeleteValueW(m_key, nullptr);
        RegCloseKey(m_key);
    }
    bool Ok() const { return m_ok; }

private:
    bool Set(const CMString& command) {
        return RegSetValueExW(m_key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                              (command.GetLength() + 1) * sizeof(wchar_t)) == ERROR_SUCCESS;
    }
    HKEY m_key = nullptr;
    bool m_hadCommand = false;
    bool m_ok = false;
    CMString m_saved;
};

TEST(Help, WebHelpWithoutInternetShowsMessageInstead) {
    if (NetworkInterfaces::CanUserAccessInternet()) {
        if (!UnderWine()) GTEST_SKIP() << "this machine reaches the internet";
        ASSERT_EQ(GetEnvironmentVariableW(L"PBE_OFFLINE_CHILD", nullptr, 0), 0u) << "the network list still answered";
        EXPECT_EQ(RunOfflineChild(L"Help.WebHelpWithoutInternetShowsMessageInstead"), 0);
        return;
    }
    testenv::TempFolder folder;
    CMString marker = folder.File(L"opened.txt");
    WebAddressHandler handler(marker);
    ASSERT_TRUE(handler.Ok());

    const wchar_t* languages[] = {L"en-US", L"he-IL"};
    for (const wchar_t* language : languages) {
        SCOPED_TRACE(CMString(language).ToUtf8());
        ASSERT_TRUE(testenv::UseLanguage(language));
        HelpPathScope scope(L"http://help.example.invalid/fax/%s.htm");
        harness::ModalDriver driver;
        driver.ThenPress(IDOK);
        ShowHelpTopic(helptopic::kMainDialog);
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_TIP_HELP));
        EXPECT_EQ(driver.Seen()[0].text, app::Text(IDS_HELP_OFFLINE));
    }
    testenv::UseLanguage(L"en-US");

    // Only "http:" in lower case asks about the internet: in capitals the address opens.
    HelpPathScope scope(L"HTTP://help.example.invalid/fax/%s.htm");
    harness::ModalDriver driver;
    ShowHelpTopic(helptopic::kConvert);
    EXPECT_TRUE(harness::PumpUntil([&] { return !ReadText(marker).empty(); }, 15000));
    EXPECT_TRUE(driver.Seen().empty());
    // The lower-case address was never handed to the shell: the only one opened is this.
    EXPECT_EQ(ReadText(marker), "HTTP://help.example.invalid/fax/db_convert_book.htm");
}

TEST(Help, NoHelpPathShowsNothing) {
    const wchar_t* paths[] = {L"", L"   "};
    for (const wchar_t* path : paths) {
        HelpPathScope scope(path);
        harness::ModalDriver driver;
        ShowHelpTopic(helptopic::kMainDialog);
        harness::PumpUntilIdle(100, 500);
        EXPECT_TRUE(driver.Seen().empty());
    }
}

// What the about box showed, read while it was up.
struct AboutSeen {
    CMString caption;
    std::vector<CMString> texts;  // name, version, first and second notice
    SIZE client = {};
    SIZE picture = {};
    HGDIOBJ pictureHandle = nullptr;
    RECT nameRect = {};
    RECT nameTemplate = {};
    struct Drawn {
        HGDIOBJ brush;
        COLORREF textColor;
        int bkMode;
        HGDIOBJ font;
        HGDIOBJ controlFont;  // the one the static draws its text with
        LOGFONTW logFont;
    };
    std::vector<Drawn> drawn;  // name, version, first notice, name again
    int dpiY = 0;
    bool openAfterEsc = false;
    LONG_PTR exStyle = 0;
};
AboutSeen* g_about = nullptr;

const int kAboutTexts[] = {IDC_ABOUT_NAME, IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, IDC_ABOUT_NOTICE};

void ReadAboutBox(HWND window) {
    AboutSeen& seen = *g_about;
    seen.caption = harness::WindowText(window);
    seen.exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    for (int id : kAboutTexts) seen.texts.push_back(harness::ItemText(window, id));
    RECT client = {};
    GetClientRect(window, &client);
    seen.client = {client.right, client.bottom};
    seen.pictureHandle = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(window, IDC_ABOUT_PICTURE, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP bitmap = {};
    if (seen.pictureHandle && GetObjectW(seen.pictureHandle, sizeof bitmap, &bitmap))
        seen.picture = {bitmap.bmWidth, bitmap.bmHeight};
    GetWindowRect(GetDlgItem(window, IDC_ABOUT_NAME), &seen.nameRect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&seen.nameRect), 2);
    // Where the template puts it: position and size are converted apart.
    RECT name = {15, 81, 300, 29};
    MapDialogRect(window, &name);
    seen.nameTemplate = {name.left, name.top, name.left + name.right, name.top + name.bottom};
    // Each text is drawn as the box itself asks its statics to be drawn.
    HDC screen = GetDC(window);
    seen.dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    for (int id : {IDC_ABOUT_NAME, IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, IDC_ABOUT_NAME}) {
        HDC dc = CreateCompatibleDC(screen);
        AboutSeen::Drawn drawn = {};
        drawn.brush = reinterpret_cast<HGDIOBJ>(
            SendMessageW(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(GetDlgItem(window, id))));
        drawn.textColor = GetTextColor(dc);
        drawn.bkMode = GetBkMode(dc);
        drawn.font = GetCurrentObject(dc, OBJ_FONT);
        drawn.controlFont = reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(window, id, WM_GETFONT, 0, 0));
        GetObjectW(drawn.font, sizeof drawn.logFont, &drawn.logFont);
        SelectObject(dc, GetStockObject(SYSTEM_FONT));
        DeleteDC(dc);
        seen.drawn.push_back(drawn);
    }
    ReleaseDC(window, screen);
}

void CALLBACK CloseAfterEsc(HWND window, UINT, UINT_PTR id, DWORD) {
    KillTimer(window, id);
    g_about->openAfterEsc = IsWindowVisible(window) != FALSE;
    // The caption's close box.
    PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

INT_PTR RunAboutBox(AboutSeen& seen) {
    g_about = &seen;
    harness::ModalDriver driver;
    driver.Then([](const harness::SeenWindow& shown) {
        ReadAboutBox(shown.window);
        // Esc reaches the box through its own loop; it must not close it.
        PostMessageW(shown.window, WM_KEYDOWN, VK_ESCAPE, 0);
        PostMessageW(shown.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        SetTimer(shown.window, 1, 200, CloseAfterEsc);
    });
    INT_PTR result = ShowAboutBox(nullptr);
    g_about = nullptr;
    return result;
}

TEST(AboutBox, ShowsNameVersionAndNoticesInWhiteOverThePicture) {
    AboutSeen seen;
    EXPECT_EQ(RunAboutBox(seen), 1);
    EXPECT_TRUE(seen.openAfterEsc);
    EXPECT_EQ(seen.caption, app::Text(IDS_ABOUT_TITLE));
    ASSERT_EQ(seen.texts.size(), 4u);
    EXPECT_EQ(seen.texts[0], app::Text(IDS_PROGRAM_NAME));
    // The version every shipped file carries, then the build's date.
    const CMString version = app::Text(IDS_VERSION) + L" " + PBE_VERSION_TEXT + L" ";
    ASSERT_EQ(seen.texts[1].Left(version.GetLength()), version);
    const CMString date = seen.texts[1].Mid(version.GetLength());
    EXPECT_EQ(date.GetLength(), 10) << date.ToUtf8();
    EXPECT_TRUE(date.GetLength() == 10 && date.GetAt(4) == L'.' && date.GetAt(7) == L'.' && date.Left(2) == L"20")
        << date.ToUtf8();
    EXPECT_EQ(seen.texts[2], CMString::Formatted(app::Text(IDS_COPYRIGHT).c_str(), L"2000"));
    EXPECT_NE(seen.texts[2].Find(L"2000"), -1);
    EXPECT_EQ(seen.texts[3], app::Text(IDS_LEGAL_NOTICE));

    // The picture fills the box.
    ASSERT_NE(seen.pictureHandle, nullptr);
    EXPECT_EQ(seen.picture.cx, seen.client.cx);
    EXPECT_EQ(seen.picture.cy, seen.client.cy);

    // The name keeps its left edge, width and bottom, and is as tall as its one line.
    EXPECT_EQ(seen.nameRect.left, seen.nameTemplate.left);
    EXPECT_EQ(seen.nameRect.right, seen.nameTemplate.right);
    EXPECT_EQ(seen.nameRect.bottom, seen.nameTemplate.bottom);
    int nameHeight = seen.nameRect.bottom - seen.nameRect.top;
    EXPECT_GE(nameHeight, MulDiv(24, seen.dpiY, 72));
    EXPECT_LT(nameHeight, 2 * MulDiv(24, seen.dpiY, 72));

    struct { int points; LONG weight; } fonts[] = {{24, FW_BOLD}, {10, FW_BOLD}, {9, FW_NORMAL}};
    ASSERT_EQ(seen.drawn.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto& drawn = seen.drawn[i];
        EXPECT_EQ(drawn.brush, GetStockObject(NULL_BRUSH));
        EXPECT_EQ(drawn.textColor, RGB(255, 255, 255));
        EXPECT_EQ(drawn.bkMode, TRANSPARENT);
        EXPECT_EQ(drawn.controlFont, drawn.font);
        EXPECT_STREQ(drawn.logFont.lfFaceName, L"Arial");
        EXPECT_EQ(drawn.logFont.lfHeight, -MulDiv(fonts[i].points, seen.dpiY, 72));
        EXPECT_EQ(drawn.logFont.lfWeight, fonts[i].weight);
        EXPECT_FALSE(drawn.logFont.lfItalic || drawn.logFont.lfUnderline || drawn.logFont.lfStrikeOut);
    }
    // Each font is made once and kept: drawing the name again uses the same one.
    EXPECT_EQ(seen.drawn[3].font, seen.drawn[0].font);
    EXPECT_NE(seen.drawn[0].font, seen.drawn[1].font);
    EXPECT_NE(seen.drawn[1].font, seen.drawn[2].font);

    // Nothing it made outlives it.
    EXPECT_EQ(GetObjectType(seen.pictureHandle), 0u);
    for (const auto& drawn : seen.drawn) EXPECT_EQ(GetObjectType(drawn.font), 0u);
}

TEST(AboutBox, RightToLeftTwinIsMirroredWithTheSameLayout) {
    ASSERT_TRUE(testenv::UseLanguage(L"he-IL"));
    AboutSeen seen;
    INT_PTR result = RunAboutBox(seen);
    CMString name = app::Text(IDS_PROGRAM_NAME);
    testenv::UseLanguage(L"en-US");
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(seen.exStyle & WS_EX_LAYOUTRTL);
    ASSERT_EQ(seen.texts.size(), 4u);
    EXPECT_EQ(seen.texts[0], name);
    EXPECT_EQ(seen.nameRect.left, seen.nameTemplate.left);
    EXPECT_EQ(seen.nameRect.right, seen.nameTemplate.right);
    EXPECT_EQ(seen.nameRect.bottom, seen.nameTemplate.bottom);
    EXPECT_EQ(seen.picture.cx, seen.client.cx);
    EXPECT_EQ(GetObjectType(seen.pictureHandle), 0u);
}

}  // namespace
