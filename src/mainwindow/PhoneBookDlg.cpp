#include "mainwindow/PhoneBookDlg.h"

#include <commctrl.h>

#include "app/AppGlobals.h"
#include "controls/Dpi.h"
#include "controls/ToolTip.h"
#include "resources/resource.h"
#include "util/RegistryKey.h"
#include "util/TextResourceLoader.h"

namespace {

constexpr int kInitialWidth = 364;
constexpr int kInitialHeight = 268;
constexpr int kMinTrackWidth = 580;
constexpr int kMinTrackHeight = 362;

// Owner-drawn buttons with their window and tooltip texts, in tooltip order.
struct ButtonText {
    int control;
    unsigned text;
};
constexpr ButtonText kButtonTexts[] = {
    {IDC_EDIT_BUTTON, IDS_TIP_EDIT},   {IDC_NEW_ENTRY, IDS_TIP_NEW_ENTRY}, {IDC_NEW_GROUP, IDS_TIP_NEW_GROUP},
    {IDC_DELETE, IDS_TIP_DELETE},      {IDC_HELP_BUTTON, IDS_TIP_HELP},    {IDC_FILE, IDS_TIP_FILE},
    {IDC_COPY_PERSONAL, IDS_TIP_COPY_PERSONAL},
};

}  // namespace

CPhoneBookDlg::CPhoneBookDlg(const MainDialogStart& start)
    : m_currentPath(start.currentPath),
      m_personalPath(start.personalPath),
      m_lockFileCommands(start.lockFileCommands),
      m_forceReadOnly(start.forceReadOnly),
      m_rightToLeft(TextResourceLoader::IsRightToLeftLanguage()) {
    // One resource, drawn at both sizes rather than one image scaled.
    m_icon = static_cast<HICON>(LoadImageW(app::Instance(), MAKEINTRESOURCEW(IDI_PHONEBOOK), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    m_smallIcon = static_cast<HICON>(LoadImageW(app::Instance(), MAKEINTRESOURCEW(IDI_PHONEBOOK), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                LR_SHARED));
}

CPhoneBookDlg::~CPhoneBookDlg() = default;

CMString CPhoneBookDlg::SizeKeyPath() { return CMString(L"Software\\Morva\\") + app::Text(IDS_APP_CLASS); }

void CPhoneBookDlg::UpdateTitle() {
    // Only an open phone book can be read-only; with none open the plain title shows.
    SetWindowTextW(m_hwnd, app::Text(m_readOnly ? IDS_TITLE_READONLY : IDS_TITLE).c_str());
}

bool CPhoneBookDlg::OpenPhoneBookFile(const CMString& path) {
    // Phone books are opened through the storage engine, which this build does not load yet.
    (void)path;
    return false;
}

void CPhoneBookDlg::SetControlTexts() {
    m_searchEnabled = false;
    SetDlgItemTextW(m_hwnd, IDC_SEARCH, app::Text(IDS_SEARCH_PROMPT).c_str());
    for (const auto& button : kButtonTexts) SetDlgItemTextW(m_hwnd, button.control, app::Text(button.text).c_str());
    m_searchEnabled = true;
}

BOOL CPhoneBookDlg::OnInitDialog() {
    SendDlgItemMessageW(m_hwnd, IDC_SEARCH, EM_LIMITTEXT, 100, 0);

    CMString about = app::Text(IDS_ABOUT_MENU);
    if (!about.IsEmpty()) {
        HMENU system = GetSystemMenu(m_hwnd, FALSE);
        AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(system, MF_STRING, IDM_SYS_ABOUT, about.c_str());
    }

    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_smallIcon));

    SetWindowPos(m_hwnd, nullptr, 0, 0, ScalePixels(m_hwnd, kInitialWidth), ScalePixels(m_hwnd, kInitialHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (const auto& button : kButtonTexts) {
        HWND control = GetDlgItem(m_hwnd, button.control);
        AddToolTip(CreateToolTipWindow(control), control, app::Text(button.text));
    }

    m_closeText = app::Text(IDS_CLOSE);
    SetDlgItemTextW(m_hwnd, IDC_CLOSE, m_closeText.c_str());
    SetControlTexts();

    if (!m_currentPath.IsEmpty()) {
        m_bookLocation = BookLocation::Local;
        CMString path = m_currentPath;
        m_currentPath.Empty();
        OpenPhoneBookFile(path);
    } else {
        m_bookLocation = BookLocation::None;
        EnableWindow(GetDlgItem(m_hwnd, IDC_NEW_ENTRY), FALSE);
        EnableWindow(GetDlgItem(m_hwnd, IDC_NEW_GROUP), FALSE);
    }
    UpdateTitle();
    return TRUE;
}

void CPhoneBookDlg::StoreSize(const wchar_t* name, DWORD value) {
    RegistryKey key;
    LONG rc = key.OpenRegistryKey(HKEY_CURRENT_USER, SizeKeyPath(), KEY_QUERY_VALUE | KEY_SET_VALUE);
    if (rc == ERROR_FILE_NOT_FOUND) rc = key.CreateRegistryKey(HKEY_CURRENT_USER, SizeKeyPath(), KEY_ALL_ACCESS);
    if (rc == ERROR_SUCCESS) key.SetDWordValue(name, value);
}

void CPhoneBookDlg::OnClose() {
    RECT rect = {};
    GetWindowRect(m_hwnd, &rect);
    StoreSize(L"InitSize_X", static_cast<DWORD>(rect.right - rect.left));
    StoreSize(L"InitSize_Y", static_cast<DWORD>(rect.bottom - rect.top));
    PostMessageW(GetWindow(m_hwnd, GW_OWNER), WM_CLOSE, 0, 0);
    EndDialog(m_hwnd, 1);
}

INT_PTR CPhoneBookDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG:
            return OnInitDialog();
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_CLOSE:
                case ID_FILE_CLOSE:
                    SendMessageW(hwnd, WM_CLOSE, 0, 0);
                    return TRUE;
                default:
                    return FALSE;
            }
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = ScalePixels(hwnd, kMinTrackWidth);
            info->ptMinTrackSize.y = ScalePixels(hwnd, kMinTrackHeight);
            return FALSE;
        }
        case WM_CLOSE:
            OnClose();
            return TRUE;
        default:
            return FALSE;
    }
}
