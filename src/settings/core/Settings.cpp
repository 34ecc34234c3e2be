#include "settings/core/Settings.h"

#include "directory/core/Filter.h"
#include "directory/core/Url.h"
#include "util/CMString.h"

namespace settings {

const wchar_t kPolicyKey[] = L"Software\\Policies\\Morva\\PhoneBookEditor";
// The directory dialog's key: what the user typed there is the user's own setting.
const wchar_t kSettingsKey[] = L"Software\\Morva\\PhoneBookEditor\\Directory";
const wchar_t kFollowStateKey[] = L"Software\\Morva\\PhoneBookEditor\\Follow";
const wchar_t kLockSuffix[] = L"Locked";

namespace {

constexpr uint32_t kAnyNumber = 0xFFFFFFFFu;
// A year: an interval longer than that is a mistake, not a wish.
constexpr uint32_t kMostHours = 24 * 366;

const std::array<Definition, kCount> kDefinitions = {{
    {Id::Server, L"Server", Type::Text, L"", 0, 0},
    {Id::BaseDN, L"BaseDN", Type::Text, L"", 0, 0},
    {Id::Filter, L"Filter", Type::Text, directory::kDefaultFilter.data(), 0, 0},
    {Id::Security, L"Security", Type::Number, L"", 0, 2},
    {Id::Login, L"Login", Type::Number, L"", 0, 1},
    {Id::User, L"User", Type::Text, L"", 0, 0},
    {Id::Group, L"Group", Type::Text, L"", 0, 0},
    {Id::Update, L"Update", Type::Number, L"", 1, 1},
    {Id::Sync, L"Sync", Type::Number, L"", 0, 1},
    {Id::Adopt, L"Adopt", Type::Number, L"", 0, 1},
    {Id::GroupsFrom, L"GroupsFrom", Type::Text, L"", 0, 0},
    {Id::Mapping, L"Mapping", Type::Text, L"", 0, 0},
    {Id::FollowHours, L"FollowHours", Type::Number, L"", 0, kMostHours},
    {Id::FollowAtStart, L"FollowAtStart", Type::Number, L"", 0, 1},
    {Id::FollowBook, L"FollowBook", Type::Text, L"", 0, 0},
}};

Origin OriginOf(Store store) { return static_cast<Origin>(store); }

// A value a store may hold: a number in range; text, where the dialog's empty field
// (it writes every field) says nothing.
bool Usable(const Definition& d, const Raw& raw) {
    if (!raw.present) return false;
    if (d.type == Type::Number) return d.max == kAnyNumber || raw.number <= d.max;
    return !raw.text.empty();
}

}  // namespace

const wchar_t* OriginName(Origin origin) {
    switch (origin) {
        case Origin::PolicyMachine: return L"policy HKLM";
        case Origin::PolicyUser: return L"policy HKCU";
        case Origin::User: return L"user";
        case Origin::MachineDefault: return L"machine default";
        case Origin::Default: break;
    }
    return L"default";
}

const std::array<Definition, kCount>& Definitions() { return kDefinitions; }
const Definition& DefinitionOf(Id id) { return kDefinitions[static_cast<size_t>(id)]; }

Value ResolveOne(const Definition& d, const Reader& read) {
    Raw found[kStores];
    bool locked[kStores] = {};
    for (size_t s = 0; s < kStores; ++s) {
        const Store store = static_cast<Store>(s);
        found[s] = read(store, d.name, d.type);
        if (!Usable(d, found[s])) found[s].present = false;
        if (store == Store::PolicyMachine || store == Store::PolicyUser) {
            const Raw lock = read(store, std::wstring(d.name) + kLockSuffix, Type::Number);
            locked[s] = lock.present && lock.number != 0;
        }
    }
    auto take = [&](size_t s, bool isLocked) {
        Value v;
        v.text = found[s].text;
        v.number = found[s].number;
        v.origin = OriginOf(static_cast<Store>(s));
        v.locked = isLocked;
        return v;
    };
    // The machine's policy wins over the user's; a lock goes with its own policy's value.
    const size_t policy = found[0].present ? 0 : found[1].present ? 1 : kStores;
    const size_t user = static_cast<size_t>(Store::User), machine = static_cast<size_t>(Store::MachineDefault);
    if (policy < kStores && locked[policy]) return take(policy, true);
    if (found[user].present) {
        Value v = take(user, false);
        v.policyOverridden = policy < kStores;
        return v;
    }
    if (policy < kStores) return take(policy, false);
    if (found[machine].present) return take(machine, false);
    Value v;
    v.text = d.text;
    v.number = d.number;
    return v;
}

Effective Resolve(const Reader& read) {
    Effective e;
    for (const Definition& d : kDefinitions) e.values[static_cast<size_t>(d.id)] = ResolveOne(d, read);
    return e;
}

std::vector<std::wstring> PolicyValueNames() {
    std::vector<std::wstring> names;
    for (const Definition& d : kDefinitions) {
        names.emplace_back(d.name);
        names.push_back(std::wstring(d.name) + kLockSuffix);
    }
    return names;
}

SourceKind KindOf(const std::wstring& url) {
    const CMString text(url);
    auto starts = [&](const wchar_t* scheme) {
        const size_t n = std::char_traits<wchar_t>::length(scheme);
        return text.Left(static_cast<int>(n)).EqualsNoCase(scheme);
    };
    if (starts(L"ldap://") || starts(L"ldaps://")) return SourceKind::Directory;
    if (starts(L"http://") || starts(L"https://")) return SourceKind::AddressBook;
    return SourceKind::None;
}

SourceFault SourceFrom(const Effective& s, Source& out) {
    const std::wstring& server = s.Text(Id::Server);
    if (server.empty()) return SourceFault::NoServer;
    const uint32_t security = s.Number(Id::Security);
    const bool login = s.Number(Id::Login) != 0;
    out.user = login ? s.Text(Id::User) : std::wstring();
    if (login && out.user.empty()) return SourceFault::NoUser;
    const bool isUrl = server.find(L"://") != std::wstring::npos;
    if (isUrl && KindOf(server) == SourceKind::AddressBook) {
        if (!carddav::ParseUrl(server, out.addressBook)) return SourceFault::BadUrl;
        out.kind = SourceKind::AddressBook;
        return SourceFault::None;
    }
    const std::wstring url =
        isUrl ? server : std::wstring(security == 2 ? L"ldaps://" : L"ldap://") + server + L"/" + s.Text(Id::BaseDN);
    directory::UrlFault fault = directory::UrlFault::None;
    if (!directory::ParseUrl(url, out.url, fault)) return SourceFault::BadUrl;
    if (!(isUrl && server.find(L'?') != std::wstring::npos) && !s.Text(Id::Filter).empty())
        out.url.filter = s.Text(Id::Filter);
    if (directory::CheckFilter(out.url.filter).fault != directory::FilterFault::None) return SourceFault::BadFilter;
    if (security == 2 && !out.url.secure) {
        out.url.secure = true;
        if (out.url.port == directory::kLdapPort) out.url.port = directory::kLdapsPort;
    }
    out.startTls = security == 1 && !out.url.secure;
    directory::MappingFault mappingFault = directory::MappingFault::None;
    std::wstring item;
    if (!s.Text(Id::Mapping).empty() && !directory::ParseMapping(s.Text(Id::Mapping), out.mapping, mappingFault, item))
        return SourceFault::BadMapping;
    if (!s.Text(Id::GroupsFrom).empty()) {
        if (!directory::IsAttributeName(s.Text(Id::GroupsFrom))) return SourceFault::BadGroupsFrom;
        out.mapping.groups = s.Text(Id::GroupsFrom);
    }
    out.kind = SourceKind::Directory;
    return SourceFault::None;
}

const wchar_t* SourceFaultText(SourceFault fault) {
    switch (fault) {
        case SourceFault::None: return L"";
        case SourceFault::NoServer: return L"no server is set";
        case SourceFault::BadUrl: return L"the server is not a URL this program can follow";
        case SourceFault::BadFilter: return L"the filter is not a valid LDAP filter";
        case SourceFault::BadMapping: return L"the field mapping is not field=attribute,...";
        case SourceFault::BadGroupsFrom: return L"the group attribute is not an attribute name";
        case SourceFault::NoUser: return L"a login is set without a name";
    }
    return L"";
}

intake::Mode ModeOf(const Effective& s) {
    if (!s.Number(Id::Update)) return intake::Mode::Add;
    return s.Number(Id::Sync) ? intake::Mode::Sync : intake::Mode::Update;
}

bool FollowDue(const Effective& s, uint64_t now, uint64_t last, bool starting) {
    if (!s.Follows()) return false;
    if (starting && s.Number(Id::FollowAtStart)) return true;
    const uint64_t hours = s.Number(Id::FollowHours);
    if (hours == 0) return false;
    // A last follow in the future (the clock was put back) is no reason to wait a year.
    return last == 0 || last > now || now - last >= hours * 3600;
}

uint64_t SecondsToNextFollow(const Effective& s, uint64_t now, uint64_t last) {
    const uint64_t hours = s.HasSource() ? s.Number(Id::FollowHours) : 0;
    if (hours == 0) return 0;
    const uint64_t interval = hours * 3600;
    if (last == 0 || last > now || now - last >= interval) return 1;
    return interval - (now - last);
}

std::wstring FollowStateName(const std::wstring& bookPath) {
    CMString name(bookPath);
    name.MakeLower();
    std::wstring out = name.str();
    for (wchar_t& c : out)
        if (c == L'\\') c = L'/';
    // Key names are at most 255 characters: a longer path keeps its end, which names the book.
    if (out.size() > 255) out = out.substr(out.size() - 255);
    return out;
}

std::vector<std::wstring> DescribeLines(const Effective& s) {
    std::vector<std::wstring> lines;
    for (const Definition& d : kDefinitions) {
        const Value& v = s[d.id];
        std::wstring line = std::wstring(d.name) + L" = " + (d.type == Type::Text ? v.text : std::to_wstring(v.number));
        line += L"  (" + std::wstring(OriginName(v.origin));
        if (v.locked) line += L", locked";
        if (v.policyOverridden) line += L", over a policy's default";
        line += L")";
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace settings
