#include "directory/DirectoryDlg.h"

#include <commctrl.h>
#include <dpapi.h>

#include <mutex>
#include <thread>

#include "app/AppGlobals.h"
#include "carddav/AddressBook.h"
#include "controls/MessageBoxes.h"
#include "controls/ToolTip.h"
#include "data/CPhonebook.h"
#include "directory/LdapReader.h"
#include "directory/core/Filter.h"
#include "directory/core/Request.h"
#include "intake/Applier.h"
#include "mainwindow/HelpAbout.h"
#include "numbers/HomeCountry.h"
#include "resources/resource.h"
#include "settings/DialogPolicy.h"
#include "util/RegistryKey.h"

const wchar_t CDirectoryDlg::kSettingsKey[] = L"Software\\Morva\\PhoneBookEditor\\Directory";
const wchar_t CDirectoryDlg::kAddressBookKey[] = L"Software\\Morva\\PhoneBookEditor\\Directory\\AddressBook";

// One read on a worker thread. The worker fills in the result, then posts kDoneMessage;
// a dialog closed meanwhile has cleared the window, and nothing is posted to it.
struct CDirectoryDlg::Work {
    std::mutex lock;
    HWND window = nullptr;
    bool import = false;
    ServerSettings::Kind kind = ServerSettings::kDirectory;
    delimited::CharacterRules rules;
    directory::Connection ldap;
    directory::ReadResult ldapRead;
    carddav::Connection dav;
    carddav::Discovery found;
    carddav::BookRead book;

    void Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        std::lock_guard<std::mutex> hold(lock);
        if (window) PostMessageW(window, message, wParam, lParam);
    }
    void Abandon() {
        std::lock_guard<std::mutex> hold(lock);
        window = nullptr;
    }
};

namespace {

// The language's words for an address book's fault, naming it by its system error code
// or, without one, its HTTP status.
CMString DavFault(carddav::Fault fault, uint32_t code, int status, const carddav::Connection& c, size_t arrived = 0,
                  size_t cards = 0) {
    return carddav::FaultText(fault, code ? code : static_cast<uint32_t>(status), c, arrived, cards);
}

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

void Wipe(std::wstring& secret) { SecureZeroMemory(secret.data(), secret.size() * sizeof(wchar_t)); }

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

// The remembered password of a kind's key (its value "Password"), into the login; the
// login is marked remembered when there is one.
void LoadSecret(const wchar_t* key, ServerLogin& login) {
    // The encrypted password is as long as it is: its size is asked first.
    DWORD size = 0;
    std::vector<BYTE> secret;
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"Password", RRF_RT_REG_BINARY, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return;
    secret.resize(size);
    if (RegGetValueW(HKEY_CURRENT_USER, key, L"Password", RRF_RT_REG_BINARY, nullptr, secret.data(), &size) !=
        ERROR_SUCCESS)
        return;
    secret.resize(size);
    login.password = Unprotect(secret);
    SecureZeroMemory(secret.data(), secret.size());
    login.remember = true;
}

// Keeps the login's password encrypted under the kind's key when it is to be remembered,
// and drops any older copy otherwise. False when it was to be kept and could not be.
bool SaveSecret(const wchar_t* key, const ServerLogin& login) {
    const bool remember = login.remember && !login.user.IsEmpty();
    std::vector<BYTE> secret;
    if (remember) secret = Protect(login.password);
    // A password that could not be encrypted takes the older one with it: a copy left
    // behind would log in with what the user has since changed.
    if (secret.empty() || RegSetKeyValueW(HKEY_CURRENT_USER, key, L"Password", REG_BINARY, secret.data(),
                                          static_cast<DWORD>(secret.size())) != ERROR_SUCCESS) {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, key, L"Password");
        return !remember;
    }
    return true;
}

// The controls of each kind's own fields, shown only for that kind.
const int kDirectoryControls[] = {IDC_DIR_SERVER_LABEL,   IDC_DIR_SERVER,    IDC_DIR_BASE_LABEL, IDC_DIR_BASE,
                                  IDC_DIR_FILTER_LABEL,   IDC_DIR_FILTER,    IDC_DIR_SECURITY_LABEL,
                                  IDC_DIR_SECURITY,       IDC_DIR_ANONYMOUS, IDC_DIR_LOGIN,      IDC_DIR_USER,
                                  IDC_DIR_PASSWORD_LABEL, IDC_DIR_PASSWORD,  IDC_DIR_REMEMBER};
const int kAddressBookControls[] = {IDC_DAV_URL_LABEL,  IDC_DAV_URL,           IDC_DAV_BOOK_LABEL,
                                    IDC_DAV_BOOK,       IDC_DAV_USER_LABEL,    IDC_DAV_USER,
                                    IDC_DAV_PASSWORD_LABEL, IDC_DAV_PASSWORD, IDC_DAV_REMEMBER};

}  // namespace

ServerSettings ServerSettings::Load() {
    ServerSettings s;
    s.filter = directory::kDefaultFilter;
    RegistryKey key;
    if (key.OpenRegistryKey(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey, KEY_READ) == ERROR_SUCCESS) {
        DWORD number = 0;
        s.kind = key.GetDWordValue(L"Kind", number) && number == kAddressBook ? kAddressBook : kDirectory;
        s.server = key.GetStringValue(L"Server", L"");
        s.baseDn = key.GetStringValue(L"BaseDN", L"");
        s.filter = key.GetStringValue(L"Filter", s.filter.c_str());
        number = kNone;
        key.GetDWordValue(L"Security", number);
        s.security = static_cast<Security>(std::min<DWORD>(number, kLdaps));
        s.directoryLogin.user = key.GetStringValue(L"User", L"");
        s.group = key.GetStringValue(L"Group", L"");
        number = 1;
        key.GetDWordValue(L"Update", number);
        s.update = number != 0;
        number = 0;
        key.GetDWordValue(L"Sync", number);
        s.sync = number != 0;
        number = 0;
        key.GetDWordValue(L"Adopt", number);
        s.adopt = number != 0;
        key.Close();
        LoadSecret(CDirectoryDlg::kSettingsKey, s.directoryLogin);
    }
    if (key.OpenRegistryKey(HKEY_CURRENT_USER, CDirectoryDlg::kAddressBookKey, KEY_READ) == ERROR_SUCCESS) {
        s.url = key.GetStringValue(L"Url", L"");
        s.bookUrl = key.GetStringValue(L"Book", L"");
        s.bookName = key.GetStringValue(L"BookName", L"");
        s.addressBookLogin.user = key.GetStringValue(L"User", L"");
        key.Close();
        LoadSecret(CDirectoryDlg::kAddressBookKey, s.addressBookLogin);
    }
    return s;
}

bool ServerSettings::Save() const {
    RegistryKey key;
    if (key.CreateRegistryKey(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey, KEY_WRITE) != ERROR_SUCCESS) return true;
    key.SetDWordValue(L"Kind", kind);
    key.SetStringValue(L"Server", server);
    key.SetStringValue(L"BaseDN", baseDn);
    key.SetStringValue(L"Filter", filter);
    key.SetDWordValue(L"Security", security);
    key.SetStringValue(L"User", directoryLogin.user);
    key.SetStringValue(L"Group", group);
    key.SetDWordValue(L"Update", update);
    key.SetDWordValue(L"Sync", sync);
    key.SetDWordValue(L"Adopt", adopt);
    key.Close();
    bool kept = SaveSecret(CDirectoryDlg::kSettingsKey, directoryLogin);
    if (key.CreateRegistryKey(HKEY_CURRENT_USER, CDirectoryDlg::kAddressBookKey, KEY_WRITE) == ERROR_SUCCESS) {
        key.SetStringValue(L"Url", url);
        key.SetStringValue(L"Book", bookUrl);
        key.SetStringValue(L"BookName", bookName);
        key.SetStringValue(L"User", addressBookLogin.user);
        key.Close();
        kept = SaveSecret(CDirectoryDlg::kAddressBookKey, addressBookLogin) && kept;
    }
    return kept;
}

CDirectoryDlg::CDirectoryDlg(CPhonebook& model) : m_model(model) {}

// A read still running goes on alone and tells nobody.
CDirectoryDlg::~CDirectoryDlg() {
    if (m_work) m_work->Abandon();
}

INT_PTR CDirectoryDlg::Run(HWND owner) { return RunModal(owner, IDD_DIRECTORY, IDD_DIRECTORY_RTL); }

BOOL CDirectoryDlg::OnInitDialog() {
    SetWindowTextW(m_hwnd, app::Text(IDS_SRV_CAPTION).c_str());
    const std::pair<int, unsigned> texts[] = {
        {IDC_SRV_KIND_LABEL, IDS_SRV_KIND},
        {IDC_DIR_SERVER_LABEL, IDS_DIR_SERVER}, {IDC_DIR_BASE_LABEL, IDS_DIR_BASE},
        {IDC_DIR_FILTER_LABEL, IDS_DIR_FILTER}, {IDC_DIR_SECURITY_LABEL, IDS_DIR_SECURITY},
        {IDC_DIR_ANONYMOUS, IDS_DIR_ANONYMOUS}, {IDC_DIR_LOGIN, IDS_DIR_LOGIN},
        {IDC_DIR_PASSWORD_LABEL, IDS_DIR_PASSWORD}, {IDC_DIR_REMEMBER, IDS_DIR_REMEMBER},
        {IDC_DAV_URL_LABEL, IDS_DAV_URL}, {IDC_DAV_BOOK_LABEL, IDS_DAV_BOOK}, {IDC_DAV_USER_LABEL, IDS_DAV_USER},
        {IDC_DAV_PASSWORD_LABEL, IDS_DAV_PASSWORD}, {IDC_DAV_REMEMBER, IDS_DAV_REMEMBER},
        {IDC_DIR_GROUP_LABEL, IDS_DIR_GROUP}, {IDC_DIR_UPDATE, IDS_IMPORT_UPDATE}, {IDC_DIR_TEST, IDS_DIR_TEST},
        {IDOK, IDS_DIR_IMPORT}, {IDCANCEL, IDS_CANCEL}, {IDC_HELP_BUTTON, IDS_TIP_HELP},
    };
    for (const auto& [id, text] : texts) SetDlgItemTextW(m_hwnd, id, app::Text(text).c_str());
    // Names, DNs, filters and URLs read left to right in every language.
    KeepLeftToRight(m_hwnd, {IDC_DIR_SERVER, IDC_DIR_BASE, IDC_DIR_FILTER, IDC_DIR_USER, IDC_DIR_PASSWORD, IDC_DAV_URL,
                             IDC_DAV_USER, IDC_DAV_PASSWORD});
    HWND kind = GetDlgItem(m_hwnd, IDC_SRV_KIND);
    for (unsigned text : {IDS_SRV_KIND_DIRECTORY, IDS_SRV_KIND_ADDRESS_BOOK})
        SendMessageW(kind, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(app::Text(text).c_str()));
    HWND security = GetDlgItem(m_hwnd, IDC_DIR_SECURITY);
    for (unsigned text : {IDS_DIR_SECURITY_NONE, IDS_DIR_SECURITY_STARTTLS, IDS_DIR_SECURITY_LDAPS})
        SendMessageW(security, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(app::Text(text).c_str()));
    m_helpButton.LoadImages(IDB_HELP, 0);
    m_helpButton.SetMetrics(BitmapButton::kDefaultMetrics);
    HWND help = GetDlgItem(m_hwnd, IDC_HELP_BUTTON);
    m_helpButton.Attach(m_hwnd, help);
    AddToolTip(CreateToolTipWindow(help), help, app::Text(IDS_TIP_HELP));
    // What an administrator set stands where the user has nothing of their own (or is locked).
    ServerSettings remembered = ServerSettings::Load();
    settings::OverlayPolicy(remembered);
    Fill(remembered);
    return TRUE;
}

void CDirectoryDlg::Fill(const ServerSettings& s) {
    m_filling = true;
    SendDlgItemMessageW(m_hwnd, IDC_SRV_KIND, CB_SETCURSEL, s.kind, 0);
    SetDlgItemTextW(m_hwnd, IDC_DIR_SERVER, s.server.c_str());
    SetDlgItemTextW(m_hwnd, IDC_DIR_BASE, s.baseDn.c_str());
    SetDlgItemTextW(m_hwnd, IDC_DIR_FILTER, s.filter.c_str());
    SendDlgItemMessageW(m_hwnd, IDC_DIR_SECURITY, CB_SETCURSEL, s.security, 0);
    SetDlgItemTextW(m_hwnd, IDC_DIR_USER, s.directoryLogin.user.c_str());
    CheckRadioButton(m_hwnd, IDC_DIR_ANONYMOUS, IDC_DIR_LOGIN,
                     s.directoryLogin.user.IsEmpty() ? IDC_DIR_ANONYMOUS : IDC_DIR_LOGIN);
    SetDlgItemTextW(m_hwnd, IDC_DIR_PASSWORD, s.directoryLogin.password.c_str());
    CheckDlgButton(m_hwnd, IDC_DIR_REMEMBER, s.directoryLogin.remember ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(m_hwnd, IDC_DAV_URL, s.url.c_str());
    // The book picked last time stands alone in the list until Test finds them all.
    m_books.clear();
    SendDlgItemMessageW(m_hwnd, IDC_DAV_BOOK, CB_RESETCONTENT, 0, 0);
    if (!s.bookUrl.IsEmpty()) {
        m_books.emplace_back(s.bookUrl, s.bookName);
        const CMString name = s.bookName.IsEmpty() ? s.bookUrl : s.bookName;
        SendDlgItemMessageW(m_hwnd, IDC_DAV_BOOK, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        SendDlgItemMessageW(m_hwnd, IDC_DAV_BOOK, CB_SETCURSEL, 0, 0);
    }
    SetDlgItemTextW(m_hwnd, IDC_DAV_USER, s.addressBookLogin.user.c_str());
    SetDlgItemTextW(m_hwnd, IDC_DAV_PASSWORD, s.addressBookLogin.password.c_str());
    CheckDlgButton(m_hwnd, IDC_DAV_REMEMBER, s.addressBookLogin.remember ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(m_hwnd, IDC_DIR_GROUP, s.group.c_str());
    CheckDlgButton(m_hwnd, IDC_DIR_UPDATE, s.update ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hwnd, IDC_DIR_SYNC, s.sync ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(m_hwnd, IDC_DIR_ADOPT, s.adopt ? BST_CHECKED : BST_UNCHECKED);
    m_filling = false;
    ShowKind();
    UpdateStates();
}

ServerSettings CDirectoryDlg::Collect() const {
    ServerSettings s;
    s.kind = Kind();
    s.server = FieldText(m_hwnd, IDC_DIR_SERVER);
    s.baseDn = FieldText(m_hwnd, IDC_DIR_BASE);
    s.filter = FieldText(m_hwnd, IDC_DIR_FILTER);
    const LRESULT security = SendDlgItemMessageW(m_hwnd, IDC_DIR_SECURITY, CB_GETCURSEL, 0, 0);
    s.security = security == ServerSettings::kStartTls || security == ServerSettings::kLdaps
                     ? static_cast<ServerSettings::Security>(security)
                     : ServerSettings::kNone;
    if (Checked(m_hwnd, IDC_DIR_LOGIN)) {
        s.directoryLogin.user = FieldText(m_hwnd, IDC_DIR_USER);
        s.directoryLogin.password = RawText(m_hwnd, IDC_DIR_PASSWORD);
        s.directoryLogin.remember = Checked(m_hwnd, IDC_DIR_REMEMBER);
    }
    s.url = FieldText(m_hwnd, IDC_DAV_URL);
    const LRESULT book = SendDlgItemMessageW(m_hwnd, IDC_DAV_BOOK, CB_GETCURSEL, 0, 0);
    if (book >= 0 && static_cast<size_t>(book) < m_books.size()) {
        s.bookUrl = m_books[static_cast<size_t>(book)].first;
        s.bookName = m_books[static_cast<size_t>(book)].second;
    }
    s.addressBookLogin.user = FieldText(m_hwnd, IDC_DAV_USER);
    s.addressBookLogin.password = RawText(m_hwnd, IDC_DAV_PASSWORD);
    s.addressBookLogin.remember = Checked(m_hwnd, IDC_DAV_REMEMBER);
    s.group = FieldText(m_hwnd, IDC_DIR_GROUP);
    s.update = Checked(m_hwnd, IDC_DIR_UPDATE);
    s.sync = Checked(m_hwnd, IDC_DIR_SYNC);
    s.adopt = Checked(m_hwnd, IDC_DIR_ADOPT);
    return s;
}

ServerSettings::Kind CDirectoryDlg::Kind() const {
    return SendDlgItemMessageW(m_hwnd, IDC_SRV_KIND, CB_GETCURSEL, 0, 0) == ServerSettings::kAddressBook
               ? ServerSettings::kAddressBook
               : ServerSettings::kDirectory;
}

void CDirectoryDlg::ShowKind() {
    const bool book = Kind() == ServerSettings::kAddressBook;
    for (int id : kDirectoryControls) ShowWindow(GetDlgItem(m_hwnd, id), book ? SW_HIDE : SW_SHOW);
    for (int id : kAddressBookControls) ShowWindow(GetDlgItem(m_hwnd, id), book ? SW_SHOW : SW_HIDE);
    // The options name the source they follow.
    SetDlgItemTextW(m_hwnd, IDC_DIR_ADOPT, app::Text(book ? IDS_DAV_ADOPT : IDS_DIR_ADOPT).c_str());
    SetDlgItemTextW(m_hwnd, IDC_DIR_SYNC, app::Text(book ? IDS_DAV_SYNC : IDS_DIR_SYNC).c_str());
}

void CDirectoryDlg::UpdateStates() {
    const bool login = Checked(m_hwnd, IDC_DIR_LOGIN);
    for (int id : {IDC_DIR_USER, IDC_DIR_PASSWORD_LABEL, IDC_DIR_PASSWORD, IDC_DIR_REMEMBER})
        EnableWindow(GetDlgItem(m_hwnd, id), login);
    // The address books to choose from are those Test found (or the one chosen before).
    const bool books = SendDlgItemMessageW(m_hwnd, IDC_DAV_BOOK, CB_GETCOUNT, 0, 0) > 0;
    EnableWindow(GetDlgItem(m_hwnd, IDC_DAV_BOOK_LABEL), books);
    EnableWindow(GetDlgItem(m_hwnd, IDC_DAV_BOOK), books);
    // Removing goes with updating: a sync updates what it keeps.
    const bool update = Checked(m_hwnd, IDC_DIR_UPDATE);
    if (!update) CheckDlgButton(m_hwnd, IDC_DIR_SYNC, BST_UNCHECKED);
    EnableWindow(GetDlgItem(m_hwnd, IDC_DIR_SYNC), update);
    // Adopting means taking entries into the managed group, which updating brings.
    EnableWindow(GetDlgItem(m_hwnd, IDC_DIR_ADOPT), update && !FieldText(m_hwnd, IDC_DIR_GROUP).IsEmpty());
    settings::ShowPolicy(m_hwnd);
}

bool CDirectoryDlg::Gather(directory::Connection& c) {
    const CMString server = FieldText(m_hwnd, IDC_DIR_SERVER);
    const int security = static_cast<int>(SendDlgItemMessageW(m_hwnd, IDC_DIR_SECURITY, CB_GETCURSEL, 0, 0));
    const CMString caption = app::Text(IDS_SRV_CAPTION);
    // A URL says everything; a name is the host, and the fields say the rest.
    CMString url = server;
    if (url.Find(L"://") < 0)
        url = CMString(security == ServerSettings::kLdaps ? L"ldaps://" : L"ldap://") + server + L"/" +
              FieldText(m_hwnd, IDC_DIR_BASE);
    directory::UrlFault fault = directory::UrlFault::None;
    if (server.IsEmpty() || !directory::ParseUrl(url.view(), c.url, fault)) {
        ShowMessageBox(m_hwnd, app::Text(IDS_DIR_BAD_URL), caption, MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(m_hwnd, IDC_DIR_SERVER));
        return false;
    }
    // A URL with its own query says its filter itself; otherwise the field does.
    const CMString filter = FieldText(m_hwnd, IDC_DIR_FILTER);
    if (!filter.IsEmpty() && !(server.Find(L"://") >= 0 && server.Find(L'?') >= 0)) c.url.filter = filter.str();
    if (directory::CheckFilter(c.url.filter).fault != directory::FilterFault::None) {
        directory::ReadResult bad;
        bad.fault = directory::Fault::BadFilter;
        ShowMessageBox(m_hwnd, directory::FaultText(bad, c), caption, MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(m_hwnd, IDC_DIR_FILTER));
        return false;
    }
    if (security == ServerSettings::kLdaps && !c.url.secure) {
        c.url.secure = true;
        if (c.url.port == directory::kLdapPort) c.url.port = directory::kLdapsPort;
    }
    c.startTls = security == ServerSettings::kStartTls;
    if (Checked(m_hwnd, IDC_DIR_LOGIN)) {
        c.bindDn = FieldText(m_hwnd, IDC_DIR_USER).str();
        c.password = RawText(m_hwnd, IDC_DIR_PASSWORD);
        // An empty name would log in anonymously, which is not what was chosen.
        if (c.bindDn.empty()) {
            ShowMessageBox(m_hwnd, app::Text(IDS_DIR_NO_USER), caption, MB_ICONEXCLAMATION);
            SetFocus(GetDlgItem(m_hwnd, IDC_DIR_USER));
            return false;
        }
    }
    // What the reader would refuse before sending anything, told at the field concerned.
    directory::Mapping mapping;
    const directory::RequestCheck check = directory::CheckRequest(c.url, c.bindDn, c.password, mapping);
    if (check.fault != directory::RequestFault::None) {
        ShowMessageBox(m_hwnd, directory::RequestFaultText(check, c), caption, MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(m_hwnd, check.fault == directory::RequestFault::NoPassword ? IDC_DIR_PASSWORD : IDC_DIR_SERVER));
        return false;
    }
    return true;
}

bool CDirectoryDlg::Gather(carddav::Connection& c, bool chosenBook) {
    const CMString caption = app::Text(IDS_SRV_CAPTION);
    const CMString url = FieldText(m_hwnd, IDC_DAV_URL);
    if (!carddav::IsHttpUrl(url.view()) || !carddav::ParseUrl(url.view(), c.url)) {
        ShowMessageBox(m_hwnd, app::Text(IDS_DAV_BAD_URL), caption, MB_ICONEXCLAMATION);
        SetFocus(GetDlgItem(m_hwnd, IDC_DAV_URL));
        return false;
    }
    // The book picked in the list is read rather than the server it was found on. The
    // login goes to the book's server then: the server the user logged into named it,
    // and it has the password already; but never in the clear after a secure start.
    const LRESULT book = SendDlgItemMessageW(m_hwnd, IDC_DAV_BOOK, CB_GETCURSEL, 0, 0);
    if (chosenBook && book >= 0 && static_cast<size_t>(book) < m_books.size()) {
        carddav::Url picked;
        if (carddav::ParseUrl(m_books[static_cast<size_t>(book)].first.view(), picked) &&
            (picked.secure || !c.url.secure))
            c.url = picked;
    }
    c.user = FieldText(m_hwnd, IDC_DAV_USER).str();
    if (!c.user.empty()) {
        c.password = RawText(m_hwnd, IDC_DAV_PASSWORD);
        if (c.password.empty()) {
            ShowMessageBox(m_hwnd, CMString::Formatted(app::Text(IDS_DAV_NO_PASSWORD).c_str(), c.user.c_str()), caption,
                           MB_ICONEXCLAMATION);
            SetFocus(GetDlgItem(m_hwnd, IDC_DAV_PASSWORD));
            return false;
        }
    }
    // A long first listing is no silence: the time-out counts from the last data.
    c.timeoutSeconds = 60;
    return true;
}

void CDirectoryDlg::ShowStatus(const CMString& text) { SetDlgItemTextW(m_hwnd, IDC_DIR_STATUS, text.c_str()); }

void CDirectoryDlg::SetBusy(bool busy) {
    for (int id : {IDC_SRV_KIND, IDC_DIR_TEST, IDOK}) EnableWindow(GetDlgItem(m_hwnd, id), !busy);
    HWND progress = GetDlgItem(m_hwnd, IDC_DIR_PROGRESS);
    if (busy) {
        SetWindowLongPtrW(progress, GWL_STYLE, GetWindowLongPtrW(progress, GWL_STYLE) | PBS_MARQUEE);
        SendMessageW(progress, PBM_SETMARQUEE, TRUE, 0);
        ShowWindow(progress, SW_SHOW);
    } else {
        SendMessageW(progress, PBM_SETMARQUEE, FALSE, 0);
        ShowWindow(progress, SW_HIDE);
    }
}

void CDirectoryDlg::ShowProgress(size_t done, size_t total) {
    HWND progress = GetDlgItem(m_hwnd, IDC_DIR_PROGRESS);
    // A directory tells how many have come, not of how many: it stays a marquee.
    if (total == 0) return;
    if (GetWindowLongPtrW(progress, GWL_STYLE) & PBS_MARQUEE) {
        SendMessageW(progress, PBM_SETMARQUEE, FALSE, 0);
        SetWindowLongPtrW(progress, GWL_STYLE, GetWindowLongPtrW(progress, GWL_STYLE) & ~PBS_MARQUEE);
    }
    SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(total));
    SendMessageW(progress, PBM_SETPOS, static_cast<WPARAM>(done), 0);
}

void CDirectoryDlg::Start(bool import) {
    if (m_work) return;
    auto work = std::make_shared<Work>();
    work->import = import;
    work->kind = Kind();
    if (work->kind == ServerSettings::kAddressBook ? !Gather(work->dav, import) : !Gather(work->ldap)) return;
    if (import) {
        ServerSettings settings = Collect();
        const bool kept = settings.Save();
        Wipe(settings.directoryLogin.password);
        Wipe(settings.addressBookLogin.password);
        if (!kept)
            ShowMessageBox(m_hwnd, app::Text(IDS_DIR_PASSWORD_NOT_KEPT), app::Text(IDS_SRV_CAPTION), MB_ICONEXCLAMATION);
    }
    work->rules = {m_model.AllowedFaxChars(), m_model.AllowedMailboxChars()};
    work->window = m_hwnd;
    m_work = work;
    ShowStatus(app::Text(work->kind == ServerSettings::kDirectory ? IDS_DIR_READING
                         : import                                ? IDS_DAV_READING
                                                                 : IDS_DAV_FINDING));
    SetBusy(true);
    std::thread([work] {
        auto told = [work](size_t done, size_t total) {
            work->Post(kProgressMessage, static_cast<WPARAM>(done), static_cast<LPARAM>(total));
        };
        if (work->kind == ServerSettings::kDirectory) {
            work->ldapRead = directory::ReadDirectory(work->ldap, directory::Mapping(), work->rules,
                                                      [&](size_t entries) { told(entries, 0); });
        } else if (!work->import) {
            work->found = carddav::DiscoverAddressBooks(work->dav);
        } else {
            work->book = carddav::ReadAddressBook(work->dav, work->rules, told);
            // A server or an account with one address book: that is the one meant.
            if (work->book.fault == carddav::Fault::NotAddressBook && work->book.books.size() == 1) {
                work->found.books = work->book.books;
                work->dav.url = work->book.books.front().url;
                work->book = carddav::ReadAddressBook(work->dav, work->rules, told);
            }
        }
        work->Post(kDoneMessage);
    }).detach();
}

void CDirectoryDlg::Finish() {
    const std::shared_ptr<Work> work = std::move(m_work);
    if (!work) return;
    SetBusy(false);
    if (work->kind == ServerSettings::kDirectory)
        FinishDirectory(*work);
    else
        FinishAddressBook(*work);
    Wipe(work->ldap.password);
    Wipe(work->dav.password);
}

void CDirectoryDlg::FinishDirectory(Work& work) {
    const directory::ReadResult& result = work.ldapRead;
    // A result cut short is told; an import keeps what arrived, a sync is refused.
    if (result.fault != directory::Fault::None && (!work.import || result.fault != directory::Fault::CutOff)) {
        ShowStatus(directory::FaultText(result, work.ldap));
        return;
    }
    if (!work.import) {
        unsigned withFax = 0;
        for (const intake::Record& r : result.read.records) withFax += r.rejection == intake::Rejection::None;
        ShowStatus(CMString::Formatted(app::Text(IDS_DIR_TEST_RESULT).c_str(), withFax));
        return;
    }
    Apply(work);
}

void CDirectoryDlg::ListBooks(const Work& work) {
    const std::vector<carddav::BookInfo>& books = work.found.books;
    // The book chosen before stays chosen when it is among them.
    const LRESULT was = SendDlgItemMessageW(m_hwnd, IDC_DAV_BOOK, CB_GETCURSEL, 0, 0);
    const CMString before = was >= 0 && static_cast<size_t>(was) < m_books.size() ? m_books[static_cast<size_t>(was)].first
                                                                                    : CMString();
    m_books.clear();
    HWND list = GetDlgItem(m_hwnd, IDC_DAV_BOOK);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    int chosen = books.size() == 1 ? 0 : -1;
    for (const carddav::BookInfo& b : books) {
        const CMString url = carddav::WideText(b.url).c_str();
        const CMString name = CMString::FromUtf8(b.displayName);
        if (url == before) chosen = static_cast<int>(m_books.size());
        m_books.emplace_back(url, name);
        const CMString item = CMString::Formatted(app::Text(IDS_DAV_BOOK_ITEM).c_str(), name.c_str(),
                                                  static_cast<unsigned>(b.cards));
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    UpdateStates();
}

void CDirectoryDlg::FinishAddressBook(Work& work) {
    const carddav::Connection& c = work.dav;
    if (!work.import) {
        const carddav::Discovery& found = work.found;
        if (found.fault != carddav::Fault::None) {
            ShowStatus(DavFault(found.fault, found.code, found.status, c));
            return;
        }
        ListBooks(work);
        if (found.isBook && !found.books.empty())
            ShowStatus(CMString::Formatted(app::Text(IDS_DAV_TEST_BOOK).c_str(),
                                           CMString::FromUtf8(found.books.front().displayName).c_str(),
                                           static_cast<unsigned>(found.books.front().cards)));
        else
            ShowStatus(CMString::Formatted(app::Text(IDS_DAV_TEST_BOOKS).c_str(), static_cast<unsigned>(found.books.size())));
        return;
    }
    const carddav::BookRead& book = work.book;
    if (book.fault == carddav::Fault::NotAddressBook) {
        // Several books: the user picks one, then imports again.
        work.found.books = book.books;
        ListBooks(work);
        ShowStatus(CMString::Formatted(app::Text(IDS_DAV_CHOOSE_BOOK).c_str(), carddav::WideText(c.url).c_str(),
                                       static_cast<unsigned>(book.books.size())));
        SetFocus(GetDlgItem(m_hwnd, IDC_DAV_BOOK));
        return;
    }
    // A read cut short keeps what arrived for an import; with nothing, it is a failure.
    const bool keep = book.fault == carddav::Fault::None ||
                      (book.fault == carddav::Fault::CutOff && (book.cards > 0 || !book.read.records.empty()));
    if (!keep) {
        ShowStatus(DavFault(book.fault, book.code, book.status, c, book.cards - book.failedCards, book.cards));
        return;
    }
    // The book a server's only address book was read from is the one remembered.
    if (!work.found.books.empty()) {
        ListBooks(work);
        RegistryKey key;
        if (m_books.size() == 1 && key.CreateRegistryKey(HKEY_CURRENT_USER, kAddressBookKey, KEY_WRITE) == ERROR_SUCCESS) {
            key.SetStringValue(L"Book", m_books.front().first);
            key.SetStringValue(L"BookName", m_books.front().second);
        }
    }
    Apply(work);
}

void CDirectoryDlg::Apply(Work& work) {
    const bool book = work.kind == ServerSettings::kAddressBook;
    intake::SourceRead& read = book ? work.book.read : work.ldapRead.read;
    const bool cut = book ? work.book.fault == carddav::Fault::CutOff : work.ldapRead.fault == directory::Fault::CutOff;
    if (cut) read.complete = false;
    const CMString cutShort =
        !cut  ? CMString()
        : book ? DavFault(carddav::Fault::CutOff, 0, 0, work.dav, work.book.cards - work.book.failedCards, work.book.cards)
               : directory::FaultText(work.ldapRead, work.ldap);
    const unsigned given = static_cast<unsigned>(book ? work.book.cards : work.ldapRead.entries);
    const CMString caption = app::Text(IDS_SRV_CAPTION);
    intake::Options options;
    options.mode = !Checked(m_hwnd, IDC_DIR_UPDATE) ? intake::Mode::Add
                   : Checked(m_hwnd, IDC_DIR_SYNC)   ? intake::Mode::Sync
                                                     : intake::Mode::Update;
    options.managedGroup = FieldText(m_hwnd, IDC_DIR_GROUP);
    options.adopt = IsWindowEnabled(GetDlgItem(m_hwnd, IDC_DIR_ADOPT)) && Checked(m_hwnd, IDC_DIR_ADOPT);
    options.home = HomeCountry();
    const unsigned capacity = static_cast<unsigned>(m_model.Database().Capacity());
    intake::Applier applier(m_model, m_hwnd);
    applier.SetSourceName(FieldText(m_hwnd, IDC_DIR_SERVER));
    if (options.mode == intake::Mode::Sync) {
        // Nothing is removed without the administrator seeing how much first.
        const intake::Outcome planned = applier.Run(read, options, true);
        const intake::Plan& p = planned.plan;
        if (p.refusal != intake::Refusal::None) {
            CMString why = cutShort;
            if (p.refusal == intake::Refusal::NoRoom && p.groupsWithoutRoom.empty())
                why = CMString::Formatted(app::Text(book ? IDS_DAV_TOO_MANY : IDS_DIR_TOO_MANY).c_str(),
                                          p.counts.Accepted() + p.counts.full, capacity);
            ShowStatus(why.IsEmpty() ? intake::Applier::SummaryText(planned, capacity) : why);
            return;
        }
        if (!p.removals.empty() &&
            ShowMessageBox(m_hwnd,
                           CMString::Formatted(app::Text(book ? IDS_DAV_CONFIRM_SYNC : IDS_DIR_CONFIRM_SYNC).c_str(), given,
                                               static_cast<unsigned>(p.adds.size()), static_cast<unsigned>(p.updates.size()),
                                               static_cast<unsigned>(p.removals.size())),
                           caption, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
    }
    const intake::Outcome outcome = applier.Run(read, options);
    if (cut) ShowStatus(cutShort);
    applier.ShowSummary(outcome, capacity, cutShort);
    if (outcome.stored && outcome.plan.refusal == intake::Refusal::None) {
        m_done = true;
        EndDialog(m_hwnd, IDOK);
    }
}

INT_PTR CDirectoryDlg::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    m_hwnd = hwnd;
    // Each kind has its page.
    auto topic = [this] {
        return Kind() == ServerSettings::kAddressBook ? helptopic::kAddressBook : helptopic::kDirectory;
    };
    switch (message) {
        case WM_INITDIALOG: return OnInitDialog();
        case WM_DRAWITEM:
            if (wParam != IDC_HELP_BUTTON) return FALSE;
            m_helpButton.Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case kProgressMessage:
            if (m_work) ShowProgress(static_cast<size_t>(wParam), static_cast<size_t>(lParam));
            return TRUE;
        case kDoneMessage: Finish(); return TRUE;
        case WM_DESTROY:
            if (m_work) m_work->Abandon();
            m_work.reset();
            return FALSE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_SRV_KIND:
                    if (HIWORD(wParam) == CBN_SELCHANGE) {
                        ShowKind();
                        ShowStatus(CMString());
                    }
                    return TRUE;
                case IDC_DAV_URL:
                    // Books found for another address are not this one's.
                    if (HIWORD(wParam) == EN_CHANGE && !m_filling && !m_books.empty()) {
                        m_books.clear();
                        SendDlgItemMessageW(hwnd, IDC_DAV_BOOK, CB_RESETCONTENT, 0, 0);
                        UpdateStates();
                    }
                    return TRUE;
                case IDC_DIR_ANONYMOUS:
                case IDC_DIR_LOGIN:
                case IDC_DIR_UPDATE: UpdateStates(); return TRUE;
                case IDC_DIR_GROUP:
                    if (HIWORD(wParam) == EN_CHANGE) UpdateStates();
                    return TRUE;
                case IDC_DIR_TEST: Start(false); return TRUE;
                case IDOK: Start(true); return TRUE;
                // A close that comes after the book took the source does not undo its answer;
                // a read still running is left to end alone.
                case IDCANCEL:
                    if (!m_done) EndDialog(hwnd, IDCANCEL);
                    return TRUE;
                case IDC_HELP_BUTTON: ShowHelpTopic(topic()); return TRUE;
                default: return FALSE;
            }
        case WM_HELP: ShowHelpTopic(topic()); return TRUE;
        default: return FALSE;
    }
}
