#include "directory/DirectoryDlg.h"

#include <commctrl.h>
#include <dpapi.h>

#include <vector>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "directory/core/Filter.h"
#include "directory/core/Request.h"
#include "intake/Applier.h"
#include "numbers/HomeCountry.h"
#include "mainwindow/HelpAbout.h"
#include "resources/resource.h"
#include "util/Handles.h"
#include "util/RegistryKey.h"

const wchar_t CDirectoryDlg::kSettingsKey[] = L"Software\\Morva\\PhoneBookEditor\\Directory";

INT_PTR CDirectoryDlg::Run(HWND owner) { return RunModal(owner, IDD_DIRECTORY, IDD_DIRECTORY_RTL); }

namespace {

enum Security { kNone, kStartTls, kLdaps };

CMString FieldText(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    CMString value(text);
    value.Trim();
    return value;
}

// A password as typed: spaces at either end are part of it.
std::wstring RawText(HWND dialog, int id) {
    HWND field = GetDlgItem(dialog, id);
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The password encrypted for this user on this machine (nothing else can read it).
std::vector<BYTE> Protect(const std::wstring& password) {
    DATA_BLOB in = {static_cast<DWORD>(password.size() * sizeof(wchar_t)),
                    reinterpret_cast<BYTE*>(const_cast<wchar_t*>(password.data()))};
    DATA_BLOB out = {};
    if (!CryptProtectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return {};
    std::vector<BYTE> bytes(out.pbData, out.pbData + out.cbData);
    LocalFree(out.pbData);
    return bytes;
}

std::wstring Unprotect(const std::vector<BYTE>& bytes) {
    DATA_BLOB in = {static_cast<DWORD>(bytes.size()), const_cast<BYTE*>(bytes.data())};
    DATA_BLOB out = {};
    if (bytes.empty() || !CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out))
        return {};
    std::wstring password(reinterpret_cast<wchar_t*>(out.pbData), out.cbData / sizeof(wchar_t));
    SecureZeroMemory(out.pbData, out.cbData);
    LocalFree(out.pbData);
    return password;
}

}  // namespace

BOOL CDirectoryDlg::OnInitDialog() {
    SetWindowTextW(m_hwnd, app::Text(IDS_DIR_CAPTION).c_str());
    const std::pair<int, unsigned> texts[] = {
        {IDC_DIR_SERVER_LABEL, IDS_DIR_SERVER}, {IDC_DIR_BASE_LABEL, IDS_DIR_BASE},
        {IDC_DIR_FILTER_LABEL, IDS_DIR_FILTER}, {IDC_DIR_SECURITY_LABEL, IDS_DIR_SECURITY},
        {IDC_DIR_ANONYMOUS, IDS_DIR_ANONYMOUS}, {IDC_DIR_LOGIN, IDS_DIR_LOGIN},
        {IDC_DIR_PASSWORD_LABEL, IDS_DIR_PASSWORD}, {IDC_DIR_REMEMBER, IDS_DIR_REMEMBER},
        {IDC_DIR_GROUP_LABEL, IDS_DIR_GROUP}, {IDC_DIR_ADOPT, IDS_DIR_ADOPT}, {IDC_DIR_UPDATE, IDS_IMPORT_UPDATE},
        {IDC_DIR_SYNC, IDS_DIR_SYNC}, {IDC_DIR_TEST, IDS_DIR_TEST},
        {IDOK, IDS_DIR_IMPORT}, {IDCANCEL, IDS_CANCEL}, {IDC_HELP_BUTTON, IDS_TIP_HELP},
    };
    for (const auto& [id, text] : texts) SetDlgItemTextW(m_hwnd, id, app::Text(text).c_str());
    // Names, DNs and filters read left to right in every language.
    KeepLeftToRight(m_hwnd, {IDC_DIR_SERVER, IDC_DIR_BASE, IDC_DIR_FILTER, IDC_DIR_USER, IDC_DIR_PASSWORD});
    HWND security = GetDlgItem(m_hwnd, IDC_DIR_SECURITY);
    for (unsigned text : {IDS_DIR_SECURITY_NONE, IDS_DIR_SECURITY_STARTTLS, IDS_DIR_SECURITY_LDAPS})
        SendMessageW(security, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(app::Text(text).c_str()));
    m_helpButton.LoadImages(IDB_HELP, 0);
    m_helpButton.SetMetrics(BitmapButton::kDefaultMetrics);
    HWND help = GetDlgItem(m_hwnd, IDC_HELP_BUTTON);
    m_helpButton.Attach(m_hwnd, help);
    AddToolTip(CreateToolTipWindow(help), help, app::Text(IDS_TIP_HELP));
    Load();
    UpdateLogin();
    return TRUE;
}

void CDirectoryDlg::UpdateLogin() {
    const bool login = Checked(m_hwnd, IDC_DIR_LOGIN);
    for (int id : {IDC_DIR_USER, IDC_DIR_PASSWORD_LABEL, IDC_DIR_PASSWORD, IDC_DIR_REMEMBER})
        EnableWindow(GetDlgItem(m_hwnd, id), login);
    // Removing goes with updating: a sync updates what it keeps.
    const bool update = Checked(m_hwnd, IDC_DIR_UPDATE);
    if (!update) CheckDlgButton(m_hwnd, IDC_DIR_SYNC, BST_UNCHECKED);
    EnableWindow(GetDlgItem(m_hwnd, IDC_DIR_SYNC), update);
    // Adopting means taking entries into the managed group, which updating brings.
    EnableWindow(GetDlgItem(m_hwnd, IDC_DIR_ADOPT), update && !FieldText(m_hwnd, IDC_DIR_GROUP).IsEmpty());
}

void CDirectoryDlg::Load() {
    RegistryKey key;
    const bool have = key.OpenRegistryKey(HKEY_CURRENT_USER, kSettingsKey, KEY_READ) == ERROR_SUCCESS;
    auto text = [&](const wchar_t* name, const wchar_t* fallback) {
        return have ? key.GetStringValue(name, fallback) : CMString(fallback);
    };
    auto number = [&](const wchar_t* name, DWORD fallback) {
        DWORD value = fallback;
        if (have) key.GetDWordValue(name, value);
        return value;
    };
    SetDlgItemTextW(m_hwnd, IDC_DIR_SERVER, text(L"Server", L"").c_str());
    SetDlgItemTextW(m_hwnd, IDC_DIR_BASE, text(L"BaseDN", L"").c_str());
    SetDlgItemTextW(m_hwnd, IDC_DIR_FILTER, text(L"Filter", std::wstring(directory::kDefaultFilter).c_str()).c_str());
    SendDlgItemMessageW(m_hwnd, IDC_DIR_SECURITY, CB_SETCURSEL, std::min<DWORD>(number(L"Security", kNone), kLdaps), 0);
    const CMString user = text(L"User", L"");
    SetDlgItemTextW(m_hwnd, IDC_DIR_USER, user.c_str());
    CheckRadioButton(m_hwnd, IDC_DIR_ANONYMOUS, IDC_DIR_LOGIN, user.IsEmpty() ? IDC_DIR_ANONYMOUS : IDC_DIR_LOGIN);
    SetDlgItemTextW(m_hwnd, IDC_DIR_GROUP, text(L"Group", L"").c_str());
    CheckDlgButton(m_hwnd, IDC_DIR_UPDATE, number(L"Update", 1) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hwnd, IDC_DIR_SYNC, number(L"Sync", 0) ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hwnd, IDC_DIR_ADOPT, number(L"Adopt", 0) ? BST_CHECKED : BST_UNCHECKED);
    // The encrypted password is as long as it is: its size is asked first.
    DWORD size = 0;
    std::vector<BYTE> secret;
    if (have && RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Password", RRF_RT_REG_BINARY, nullptr, nullptr, &size) ==
                    ERROR_SUCCESS &&
        (secret.resize(size), RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Password", RRF_RT_REG_BINARY, nullptr,
                                           secret.data(), &size) == ERROR_SUCCESS)) {
        secret.resize(size);
        std::wstring password = Unprotect(secret);
        SecureZeroMemory(secret.data(), secret.size());
        SetDlgItemTextW(m_hwnd, IDC_DIR_PASSWORD, password.c_str());
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
        CheckDlgButton(m_hwnd, IDC_DIR_REMEMBER, BST_CHECKED);
    }
}

bool CDirectoryDlg::Save() const {
    RegistryKey key;
    if (key.CreateRegistryKey(HKEY_CURRENT_USER, kSettingsKey, KEY_WRITE) != ERROR_SUCCESS) return true;
    key.SetStringValue(L"Server", FieldText(m_hwnd, IDC_DIR_SERVER));
    key.SetStringValue(L"BaseDN", FieldText(m_hwnd, IDC_DIR_BASE));
    key.SetStringValue(L"Filter", FieldText(m_hwnd, IDC_DIR_FILTER));
    key.SetDWordValue(L"Security", static_cast<DWORD>(SendDlgItemMessageW(m_hwnd, IDC_DIR_SECURITY, CB_GETCURSEL, 0, 0)));
    key.SetStringValue(L"User", Checked(m_hwnd, IDC_DIR_LOGIN) ? FieldText(m_hwnd, IDC_DIR_USER) : CMString());
    key.SetStringValue(L"Group", FieldText(m_hwnd, IDC_DIR_GROUP));
    key.SetDWordValue(L"Update", Checked(m_hwnd, IDC_DIR_UPDATE));
    key.SetDWordValue(L"Sync", Checked(m_hwnd, IDC_DIR_SYNC));
    key.SetDWordValue(L"Adopt", Checked(m_hwnd, IDC_DIR_ADOPT));
    key.Close();
    std::vector<BYTE> secret;
    const bool remember = Checked(m_hwnd, IDC_DIR_LOGIN) && Checked(m_hwnd, IDC_DIR_REMEMBER);
    if (remember) {
        std::wstring password = RawText(m_hwnd, IDC_DIR_PASSWORD);
        secret = Protect(password);
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    }
    // A password that could not be encrypted takes the older one with it: a copy left
    // behind would log in with what the user has since changed.
    if (secret.empty() || RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"Password", REG_BINARY, secret.data(),
                                          static_cast<DWORD>(secret.size())) != ERROR_SUCCESS) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"Password");
        return !remember;
    }
    return true;
}

bool CDirectoryDlg::Gather(directory::Connection& c) {
    const CMString server = FieldText(m_hwnd, IDC_DIR_SERVER);
    const int security = static_cast<int>(SendDlgItemMessageW(m_hwnd, IDC_DIR_SECURITY, CB_GETCURSEL, 0, 0));
    // A URL says everything; a name is the host, and the fields say the rest.
    CMString url = server;
    if (url.Find(L"://") < 0)
        url = CMString(security == kLdaps ? L"ldaps://" : L"ldap://") + server + L"/" + FieldText(m_hwnd, IDC_DIR_BASE);
    directory::UrlFault fault = directory::UrlFault::None;
    if (server.IsEmpty() || !directory::ParseUrl(url.view(), c.url, fault)) {
        ShowMessageBox(m_hwnd, app::Text(IDS_DIR_BAD_URL), app::Text(IDS_DIR_CAPTION), MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(m_hwnd, IDC_DIR_SERVER));
        return false;
    }
    // A URL with its own query says its filter itself; otherwise the field does.
    const CMString filter = FieldText(m_hwnd, IDC_DIR_FILTER);
    if (!filter.IsEmpty() && !(server.Find(L"://") >= 0 && server.Find(L'?') >= 0)) c.url.filter = filter.str();
    if (directory::CheckFilter(c.url.filter).fault != directory::FilterFault::None) {
        directory::ReadResult bad;
        bad.fault = directory::Fault::BadFilter;
        ShowMessageBox(m_hwnd, directory::FaultText(bad, c), app::Text(IDS_DIR_CAPTION), MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(m_hwnd, IDC_DIR_FILTER));
        return false;
    }
    if (security == kLdaps && !c.url.secure) {
        c.url.secure = true;
        if (c.url.port == directory::kLdapPort) c.url.port = directory::kLdapsPort;
    }
    c.startTls = security == kStartTls;
    if (Checked(m_hwnd, IDC_DIR_LOGIN)) {
        c.bindDn = FieldText(m_hwnd, IDC_DIR_USER).str();
        c.password = RawText(m_hwnd, IDC_DIR_PASSWORD);
        // An empty name would log in anonymously, which is not what was chosen.
        if (c.bindDn.empty()) {
            ShowMessageBox(m_hwnd, app::Text(IDS_DIR_NO_USER), app::Text(IDS_DIR_CAPTION), MB_ICONEXCLAMATION);
            SetFocus(GetDlgItem(m_hwnd, IDC_DIR_USER));
            return false;
        }
    }
    // What the reader would refuse before sending anything, told at the field concerned.
    directory::Mapping mapping;
    const directory::RequestCheck check = directory::CheckRequest(c.url, c.bindDn, c.password, mapping);
    if (check.fault != directory::RequestFault::None) {
        ShowMessageBox(m_hwnd, directory::RequestFaultText(check, c), app::Text(IDS_DIR_CAPTION), MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(m_hwnd, check.fault == directory::RequestFault::NoPassword ? IDC_DIR_PASSWORD : IDC_DIR_SERVER));
        return false;
    }
    return true;
}

void CDirectoryDlg::ShowStatus(const CMString& text) { SetDlgItemTextW(m_hwnd, IDC_DIR_STATUS, text.c_str()); }

void CDirectoryDlg::Test() {
    directory::Connection c;
    if (!Gather(c)) return;
    WaitCursor wait;
    ShowStatus(app::Text(IDS_DIR_READING));
    UpdateWindow(m_hwnd);
    const delimited::CharacterRules rules = {m_model.AllowedFaxChars(), m_model.AllowedMailboxChars()};
    const directory::ReadResult result = directory::ReadDirectory(c, directory::Mapping(), rules);
    if (result.fault != directory::Fault::None) {
        ShowStatus(directory::FaultText(result, c));
        return;
    }
    unsigned withFax = 0;
    for (const intake::Record& r : result.read.records) withFax += r.rejection == intake::Rejection::None;
    ShowStatus(CMString::Formatted(app::Text(IDS_DIR_TEST_RESULT).c_str(), withFax));
}

void CDirectoryDlg::Import() {
    directory::Connection c;
    if (!Gather(c)) return;
    if (!Save()) ShowMessageBox(m_hwnd, app::Text(IDS_DIR_PASSWORD_NOT_KEPT), app::Text(IDS_DIR_CAPTION), MB_ICONEXCLAMATION);
    HWND progress = GetDlgItem(m_hwnd, IDC_DIR_PROGRESS);
    ShowStatus(app::Text(IDS_DIR_READING));
    ShowWindow(progress, SW_SHOW);
    SendMessageW(progress, PBM_SETMARQUEE, TRUE, 0);
    SetWindowLongPtrW(progress, GWL_STYLE, GetWindowLongPtrW(progress, GWL_STYLE) | PBS_MARQUEE);
    UpdateWindow(m_hwnd);
    directory::ReadResult result;
    {
        WaitCursor wait;
        const delimited::CharacterRules rules = {m_model.AllowedFaxChars(), m_model.AllowedMailboxChars()};
        result = directory::ReadDirectory(c, directory::Mapping(), rules, [&](size_t) { UpdateWindow(progress); });
    }
    ShowWindow(progress, SW_HIDE);
    // A result cut short is told; an import keeps what arrived, a sync is refused below.
    if (result.fault != directory::Fault::None && result.fault != directory::Fault::CutOff) {
        ShowStatus(directory::FaultText(result, c));
        return;
    }
    intake::Options options;
    options.mode = !Checked(m_hwnd, IDC_DIR_UPDATE) ? intake::Mode::Add
                   : Checked(m_hwnd, IDC_DIR_SYNC)   ? intake::Mode::Sync
                                                     : intake::Mode::Update;
    options.managedGroup = FieldText(m_hwnd, IDC_DIR_GROUP);
    options.adopt = IsWindowEnabled(GetDlgItem(m_hwnd, IDC_DIR_ADOPT)) && Checked(m_hwnd, IDC_DIR_ADOPT);
    options.home = HomeCountry();
    intake::Applier applier(m_model, m_hwnd);
    applier.SetSourceName(FieldText(m_hwnd, IDC_DIR_SERVER));
    if (options.mode == intake::Mode::Sync) {
        // Nothing is removed without the administrator seeing how much first.
        const intake::Outcome planned = applier.Run(result.read, options, true);
        const intake::Plan& p = planned.plan;
        if (p.refusal != intake::Refusal::None) {
            CMString why = result.fault == directory::Fault::CutOff ? directory::FaultText(result, c) : CMString();
            if (p.refusal == intake::Refusal::NoRoom && p.groupsWithoutRoom.empty())
                why = CMString::Formatted(app::Text(IDS_DIR_TOO_MANY).c_str(), p.counts.Accepted() + p.counts.full,
                                          static_cast<unsigned>(m_model.Database().Capacity()));
            ShowStatus(why.IsEmpty() ? intake::Applier::SummaryText(planned, m_model.Database().Capacity()) : why);
            return;
        }
        if (!p.removals.empty() &&
            ShowMessageBox(m_hwnd,
                           CMString::Formatted(app::Text(IDS_DIR_CONFIRM_SYNC).c_str(), static_cast<unsigned>(result.entries),
                                               static_cast<unsigned>(p.adds.size()), static_cast<unsigned>(p.updates.size()),
                                               static_cast<unsigned>(p.removals.size())),
                           app::Text(IDS_DIR_CAPTION), MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    const intake::Outcome outcome = applier.Run(result.read, options);
    if (result.fault == directory::Fault::CutOff) ShowStatus(directory::FaultText(result, c));
    applier.ShowSummary(outcome, static_cast<unsigned>(m_model.Database().Capacity()),
                        result.fault == directory::Fault::CutOff ? directory::FaultText(result, c) : CMString());
    if (outcome.stored && outcome.plan.refusal == intake::Refusal::None) {
        m_done = true;
        EndDialog(m_hwnd, IDOK);
    }
}

INT_PTR CDirectoryDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_DRAWITEM:
            if (wParam != IDC_HELP_BUTTON) return FALSE;
            m_helpButton.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_DIR_ANONYMOUS:
                case IDC_DIR_LOGIN:
                case IDC_DIR_UPDATE: UpdateLogin(); return TRUE;
                case IDC_DIR_GROUP:
                    if (HIWORD(wParam) == EN_CHANGE) UpdateLogin();
                    return TRUE;
                case IDC_DIR_TEST: Test(); return TRUE;
                case IDOK: Import(); return TRUE;
                // A close that comes after the book took the directory does not undo its answer.
                case IDCANCEL:
                    if (!m_done) EndDialog(hwnd, IDCANCEL);
                    return TRUE;
                case IDC_HELP_BUTTON: ShowHelpTopic(helptopic::kDirectory); return TRUE;
                default: return FALSE;
            }
        case WM_HELP: ShowHelpTopic(helptopic::kDirectory); return TRUE;
        default: return FALSE;
    }
}
