#include "mainwindow/HelpAbout.h"

#include <shellapi.h>

#include "app/AppGlobals.h"
#include "mainwindow/core/HelpPath.h"
#include "resources/resource.h"
#include "util/NetworkInterfaces.h"
#include "util/TextResourceLoader.h"

const wchar_t kProgramVersion[] = PBE_VERSION_TEXT L" " PBE_BUILD_DATE;

namespace {

// The language of the library the program took its texts from (the folder it lies in),
// and every language shipped beside it.
struct SpokenLanguage {
    CMString language;
    std::vector<std::wstring> shipped;
};

SpokenLanguage LanguageOfTexts() {
    SpokenLanguage spoken;
    CMString library = TextResourceLoader::LoadedPath();
    int slash = library.ReverseFind(L'\\');
    if (slash <= 0) return spoken;
    CMString folder = library.Left(slash);
    slash = folder.ReverseFind(L'\\');
    if (slash < 0) return spoken;
    spoken.language = folder.Mid(slash + 1);
    CMString pattern = folder.Left(slash + 1) + L"*";
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return spoken;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != L'.')
            spoken.shipped.emplace_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return spoken;
}

bool IsFile(const CMString& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

CMString HelpTargetFor(const CMString& topic) {
    CMString target = FormatHelpPath(app::HelpPath(), topic);
    // The one help path names one language's pages; a user who reads another language
    // gets that language's page when it is installed, else the page named.
    SpokenLanguage spoken = LanguageOfTexts();
    CMString translated = HelpTargetInLanguage(target, spoken.language, spoken.shipped);
    return !translated.IsEmpty() && IsFile(translated) ? translated : target;
}

}  // namespace

void ShowHelpTopic(const CMString& topic) {
    const CMString& helpPath = app::HelpPath();
    if (IsWebHelpPath(helpPath) && !NetworkInterfaces::CanUserAccessInternet()) {
        MessageBoxW(nullptr, app::Text(IDS_HELP_OFFLINE).c_str(), app::Text(IDS_TIP_HELP).c_str(), MB_ICONEXCLAMATION);
        return;
    }
    // The shell opens an empty name as the current folder: without a help path
    // nothing is to be shown at all.
    if (helpPath.IsBlank()) return;
    CMString target = HelpTargetFor(topic);
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

namespace {

struct FontSpec {
    int points;
    int weight;
};
constexpr FontSpec kTitleFont = {24, FW_BOLD};
constexpr FontSpec kVersionFont = {10, FW_BOLD};
constexpr FontSpec kOtherFont = {9, FW_NORMAL};

HFONT MakeFont(const FontSpec& spec, HDC dc) {
    LOGFONTW font = {};
    font.lfHeight = -MulDiv(spec.points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    font.lfWeight = spec.weight;
    lstrcpynW(font.lfFaceName, L"Arial", LF_FACESIZE);
    return CreateFontIndirectW(&font);
}

}  // namespace

INT_PTR ShowAboutBox(HWND owner) {
    CAboutDlg about;
    return about.RunModal(owner, IDD_ABOUT, IDD_ABOUT_RTL);
}

INT_PTR CAboutDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(hwnd);
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SelectObject(dc, FontFor(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), dc));
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    case WM_CLOSE:
        ReleaseState();
        EndDialog(hwnd, 1);
        return TRUE;
    case WM_DESTROY:
        // Ended some other way (its owner went first): nothing stays behind either.
        ReleaseState();
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL CAboutDlg::OnInitDialog(HWND hwnd) {
    ReleaseState();

    // The picture is drawn for the box at 96 DPI; at other sizes it is scaled to fill it.
    RECT client = {};
    GetClientRect(hwnd, &client);
    m_picture.Reset(LoadImageW(app::Instance(), MAKEINTRESOURCEW(IDB_ABOUT), IMAGE_BITMAP, client.right, client.bottom,
                               LR_DEFAULTCOLOR));
    if (m_picture) SendDlgItemMessageW(hwnd, IDC_ABOUT_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                                       reinterpret_cast<LPARAM>(m_picture.Get()));

    SetWindowTextW(hwnd, app::Text(IDS_ABOUT_TITLE).c_str());
    ApplyFonts(hwnd);
    SetDlgItemTextW(hwnd, IDC_ABOUT_NAME, app::Text(IDS_PROGRAM_NAME).c_str());
    FitNameToText(hwnd);
    CMString version = app::Text(IDS_VERSION) + L" " + kProgramVersion;
    SetDlgItemTextW(hwnd, IDC_ABOUT_VERSION, version.c_str());
    CMString copyright = CMString::Formatted(app::Text(IDS_COPYRIGHT).c_str(), L"2000");
    SetDlgItemTextW(hwnd, IDC_ABOUT_COPYRIGHT, copyright.c_str());
    SetDlgItemTextW(hwnd, IDC_ABOUT_NOTICE, app::Text(IDS_LEGAL_NOTICE).c_str());
    return TRUE;
}

void CAboutDlg::FitNameToText(HWND hwnd) {
    // The name's bottom edge is its anchor: a name that wraps grows upwards.
    HWND name = GetDlgItem(hwnd, IDC_ABOUT_NAME);
    RECT bounds = {};
    GetWindowRect(name, &bounds);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&bounds), 2);
    RECT measured = {};
    GetClientRect(name, &measured);
    CMString text = app::Text(IDS_PROGRAM_NAME);

    ScopedGetDC dc(hwnd);
    {
        ScopedSelectObject select(dc.Get(), FontFor(IDC_ABOUT_NAME, dc.Get()));
        DrawTextW(dc.Get(), text.c_str(), text.GetLength(), &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    }
    int height = measured.bottom - measured.top;
    MoveWindow(name, bounds.left, bounds.bottom - height, bounds.right - bounds.left, height, FALSE);
}

void CAboutDlg::ApplyFonts(HWND hwnd) {
    // Static controls select the font they were given over the one chosen while they ask
    // for their colours, so each text is given its font as well.
    ScopedGetDC dc(hwnd);
    for (int id : {IDC_ABOUT_NAME, IDC_ABOUT_VERSION, IDC_ABOUT_COPYRIGHT, IDC_ABOUT_NOTICE})
        SendDlgItemMessageW(hwnd, id, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(id, dc.Get())), FALSE);
}

HFONT CAboutDlg::FontFor(int controlId, HDC dc) {
    UniqueGdiObject* slot = &m_otherFont;
    FontSpec spec = kOtherFont;
    if (controlId == IDC_ABOUT_NAME) {
        slot = &m_titleFont;
        spec = kTitleFont;
    } else if (controlId == IDC_ABOUT_VERSION) {
        slot = &m_versionFont;
        spec = kVersionFont;
    }
    if (!*slot) slot->Reset(MakeFont(spec, dc));
    return static_cast<HFONT>(slot->Get());
}

void CAboutDlg::ReleaseState() {
    m_picture.Reset();
    m_titleFont.Reset();
    m_versionFont.Reset();
    m_otherFont.Reset();
}
