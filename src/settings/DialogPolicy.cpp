#include "settings/DialogPolicy.h"

#include <initializer_list>

#include "app/AppGlobals.h"
#include "directory/DirectoryDlg.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"

namespace settings {
namespace {

bool FromAdministrator(const Value& v) { return v.origin != Origin::User && v.origin != Origin::Default; }

struct Controls {
    Id id;
    std::initializer_list<int> controls;
};
// The controls that show each setting (the server's kind follows its URL).
const Controls kControls[] = {
    {Id::Server, {IDC_SRV_KIND, IDC_DIR_SERVER, IDC_DAV_URL}},
    {Id::BaseDN, {IDC_DIR_BASE}},
    {Id::Filter, {IDC_DIR_FILTER}},
    {Id::Security, {IDC_DIR_SECURITY}},
    {Id::Login, {IDC_DIR_ANONYMOUS, IDC_DIR_LOGIN}},
    {Id::User, {IDC_DIR_USER, IDC_DAV_USER}},
    {Id::Group, {IDC_DIR_GROUP}},
    {Id::Update, {IDC_DIR_UPDATE}},
    {Id::Sync, {IDC_DIR_SYNC}},
    {Id::Adopt, {IDC_DIR_ADOPT}},
};

}  // namespace

void OverlayPolicy(ServerSettings& s) {
    const Effective e = ReadEffective();
    auto set = [&](Id id) { return FromAdministrator(e[id]); };
    const bool addressBook = set(Id::Server) ? KindOf(e.Text(Id::Server)) == SourceKind::AddressBook
                                             : s.kind == ServerSettings::kAddressBook;
    if (set(Id::Server)) {
        s.kind = addressBook ? ServerSettings::kAddressBook : ServerSettings::kDirectory;
        // A book picked among another URL's is no book of this one.
        if (addressBook && s.url.Compare(e.Text(Id::Server)) != 0) s.bookUrl.Empty();
        (addressBook ? s.url : s.server) = e.Text(Id::Server).c_str();
    }
    if (set(Id::BaseDN)) s.baseDn = e.Text(Id::BaseDN).c_str();
    if (set(Id::Filter)) s.filter = e.Text(Id::Filter).c_str();
    if (set(Id::Security)) s.security = static_cast<ServerSettings::Security>(e.Number(Id::Security));
    ServerLogin& login = addressBook ? s.addressBookLogin : s.directoryLogin;
    if (set(Id::User) || set(Id::Login)) {
        login.user = e.Number(Id::Login) ? CMString(e.Text(Id::User).c_str()) : CMString();
        if (login.user.IsEmpty()) login.remember = false;
    }
    if (set(Id::Group)) s.group = e.Text(Id::Group).c_str();
    if (set(Id::Update)) s.update = e.Number(Id::Update) != 0;
    if (set(Id::Sync)) s.sync = e.Number(Id::Sync) != 0;
    if (set(Id::Adopt)) s.adopt = e.Number(Id::Adopt) != 0;
}

void ShowPolicy(HWND dialog) {
    const Effective e = ReadEffective();
    bool locked = false, suggested = false;
    for (const Controls& c : kControls) {
        const Value& v = e[c.id];
        if (v.locked) {
            locked = true;
            for (int control : c.controls) EnableWindow(GetDlgItem(dialog, control), FALSE);
        } else if (v.origin == Origin::PolicyMachine || v.origin == Origin::PolicyUser) {
            suggested = true;
        }
    }
    if (!locked && !suggested) return;
    HWND status = GetDlgItem(dialog, IDC_DIR_STATUS);
    if (GetWindowTextLengthW(status) == 0)
        SetWindowTextW(status, app::Text(locked ? IDS_POLICY_LOCKED : IDS_POLICY_DEFAULT).c_str());
}

}  // namespace settings
