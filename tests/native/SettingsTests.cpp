// Where each setting of the source comes from: the machine's policy, the user's policy,
// the user's own, the package's machine default, the built-in default; locks; the
// follow's schedule; and the policy template against the names the program reads.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "settings/core/Settings.h"

using namespace settings;

namespace {

// The stores as maps of value name to text ("#n" for a number n).
using Stores = std::map<Store, std::map<std::wstring, std::wstring>>;

Reader ReaderOf(const Stores& stores) {
    return [&stores](Store store, const std::wstring& name, Type type) {
        Raw raw;
        auto s = stores.find(store);
        if (s == stores.end()) return raw;
        auto v = s->second.find(name);
        if (v == s->second.end()) return raw;
        const bool number = !v->second.empty() && v->second[0] == L'#';
        if (number != (type == Type::Number)) return raw;  // a value of the wrong type is none
        raw.present = true;
        if (number) raw.number = static_cast<uint32_t>(std::stoul(v->second.substr(1)));
        else raw.text = v->second;
        return raw;
    };
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

constexpr Store HKLMP = Store::PolicyMachine, HKCUP = Store::PolicyUser, USER = Store::User, MACH = Store::MachineDefault;

TEST(Settings, Precedence) {
    struct Case {
        const char* what;
        Stores stores;
        Id id;
        std::wstring text;
        uint32_t number;
        Origin origin;
        bool locked;
    };
    const Case cases[] = {
        {"nothing set: built-in default", {}, Id::Filter, L"(facsimileTelephoneNumber=*)", 0, Origin::Default, false},
        {"built-in number", {}, Id::Update, L"", 1, Origin::Default, false},
        {"machine default under all", {{MACH, {{L"Server", L"ldap://m"}}}}, Id::Server, L"ldap://m", 0, Origin::MachineDefault, false},
        {"user over machine default", {{MACH, {{L"Server", L"ldap://m"}}}, {USER, {{L"Server", L"ldap://u"}}}}, Id::Server,
         L"ldap://u", 0, Origin::User, false},
        {"unlocked policy is a default the user overrides",
         {{HKLMP, {{L"Server", L"ldap://p"}}}, {USER, {{L"Server", L"ldap://u"}}}}, Id::Server, L"ldap://u", 0, Origin::User, false},
        {"unlocked policy over the machine default",
         {{HKCUP, {{L"Server", L"ldap://p"}}}, {MACH, {{L"Server", L"ldap://m"}}}}, Id::Server, L"ldap://p", 0,
         Origin::PolicyUser, false},
        {"locked policy over the user's",
         {{HKCUP, {{L"Server", L"ldap://p"}, {L"ServerLocked", L"#1"}}}, {USER, {{L"Server", L"ldap://u"}}}}, Id::Server,
         L"ldap://p", 0, Origin::PolicyUser, true},
        {"lock 0 is no lock",
         {{HKLMP, {{L"Server", L"ldap://p"}, {L"ServerLocked", L"#0"}}}, {USER, {{L"Server", L"ldap://u"}}}}, Id::Server,
         L"ldap://u", 0, Origin::User, false},
        {"HKLM over HKCU",
         {{HKLMP, {{L"Group", L"Office"}}}, {HKCUP, {{L"Group", L"Mine"}, {L"GroupLocked", L"#1"}}}}, Id::Group, L"Office", 0,
         Origin::PolicyMachine, false},
        {"HKLM's lock goes with HKLM's value",
         {{HKLMP, {{L"FollowHours", L"#8"}, {L"FollowHoursLocked", L"#1"}}}, {HKCUP, {{L"FollowHours", L"#2"}}},
          {USER, {{L"FollowHours", L"#1"}}}},
         Id::FollowHours, L"", 8, Origin::PolicyMachine, true},
        {"a lock without a value locks nothing", {{HKLMP, {{L"GroupLocked", L"#1"}}}, {USER, {{L"Group", L"Mine"}}}}, Id::Group,
         L"Mine", 0, Origin::User, false},
        {"a number out of range is no value", {{HKLMP, {{L"Security", L"#7"}, {L"SecurityLocked", L"#1"}}}, {USER, {{L"Security", L"#1"}}}},
         Id::Security, L"", 1, Origin::User, false},
        {"a value of the wrong type is no value", {{HKLMP, {{L"Security", L"2"}}}}, Id::Security, L"", 0, Origin::Default, false},
        {"the dialog's empty field says nothing", {{HKLMP, {{L"BaseDN", L"o=x"}}}, {USER, {{L"BaseDN", L""}}}}, Id::BaseDN, L"o=x",
         0, Origin::PolicyMachine, false},
        {"a policy 0 is a value", {{HKLMP, {{L"Update", L"#0"}, {L"UpdateLocked", L"#1"}}}, {USER, {{L"Update", L"#1"}}}}, Id::Update,
         L"", 0, Origin::PolicyMachine, true},
    };
    for (const Case& c : cases) {
        const Value v = ResolveOne(DefinitionOf(c.id), ReaderOf(c.stores));
        EXPECT_EQ(v.text, c.text) << c.what;
        EXPECT_EQ(v.number, c.number) << c.what;
        EXPECT_EQ(v.origin, c.origin) << c.what;
        EXPECT_EQ(v.locked, c.locked) << c.what;
    }
}

TEST(Settings, NoPasswordIsRead) {
    // However a policy spells it, a password is not a setting.
    for (const std::wstring& name : PolicyValueNames())
        EXPECT_EQ(name.find(L"assword"), std::wstring::npos) << std::string(name.begin(), name.end());
}

TEST(Settings, SourceFromSettings) {
    struct Case {
        const char* what;
        Stores stores;
        SourceFault fault;
        SourceKind kind;
        std::wstring host;
        uint16_t port;
        std::wstring filter;
        bool startTls;
    };
    const Case cases[] = {
        {"host, base and LDAPS make the URL",
         {{HKLMP, {{L"Server", L"dir.example"}, {L"BaseDN", L"o=x"}, {L"Security", L"#2"}}}}, SourceFault::None,
         SourceKind::Directory, L"dir.example", 636, L"(facsimileTelephoneNumber=*)", false},
        {"StartTLS on ldap://", {{USER, {{L"Server", L"ldap://d:1389/o=x"}, {L"Security", L"#1"}}}}, SourceFault::None,
         SourceKind::Directory, L"d", 1389, L"(facsimileTelephoneNumber=*)", true},
        {"the filter setting", {{USER, {{L"Server", L"ldap://d/o=x"}, {L"Filter", L"(cn=a*)"}}}}, SourceFault::None,
         SourceKind::Directory, L"d", 389, L"(cn=a*)", false},
        {"a URL's own filter wins", {{USER, {{L"Server", L"ldap://d/o=x??sub?(sn=b*)"}, {L"Filter", L"(cn=a*)"}}}},
         SourceFault::None, SourceKind::Directory, L"d", 389, L"(sn=b*)", false},
        {"an address book", {{MACH, {{L"Server", L"https://dav.example/books/office/"}}}}, SourceFault::None,
         SourceKind::AddressBook, L"", 0, L"(facsimileTelephoneNumber=*)", false},
        {"nothing set", {}, SourceFault::NoServer, SourceKind::None, L"", 0, L"", false},
        {"a login without a name", {{USER, {{L"Server", L"ldap://d/"}, {L"Login", L"#1"}}}}, SourceFault::NoUser, SourceKind::None,
         L"", 0, L"", false},
        {"a bad filter", {{USER, {{L"Server", L"ldap://d/"}, {L"Filter", L"(cn=a"}}}}, SourceFault::BadFilter, SourceKind::None,
         L"", 0, L"", false},
        {"a bad mapping", {{USER, {{L"Server", L"ldap://d/"}, {L"Mapping", L"colour=x"}}}}, SourceFault::BadMapping,
         SourceKind::None, L"", 0, L"", false},
        {"not a URL", {{USER, {{L"Server", L"ftp://d/"}}}}, SourceFault::BadUrl, SourceKind::None, L"", 0, L"", false},
    };
    for (const Case& c : cases) {
        Source source;
        EXPECT_EQ(SourceFrom(Resolve(ReaderOf(c.stores)), source), c.fault) << c.what;
        if (c.fault != SourceFault::None) continue;
        EXPECT_EQ(source.kind, c.kind) << c.what;
        if (c.kind != SourceKind::Directory) continue;
        EXPECT_EQ(source.url.host, c.host) << c.what;
        EXPECT_EQ(source.url.port, c.port) << c.what;
        EXPECT_EQ(source.url.filter, c.filter) << c.what;
        EXPECT_EQ(source.startTls, c.startTls) << c.what;
    }
}

TEST(Settings, FollowSchedule) {
    struct Case {
        const char* what;
        Stores stores;
        uint64_t now, last;
        bool starting, due;
        uint64_t next;
    };
    const Stores every8 = {{HKLMP, {{L"Server", L"ldap://d/"}, {L"FollowHours", L"#8"}}}};
    const Stores atStart = {{USER, {{L"Server", L"ldap://d/"}, {L"FollowAtStart", L"#1"}}}};
    const uint64_t h = 3600, t = 1'000'000;
    const Case cases[] = {
        {"never followed: due at start", every8, t, 0, true, true, 1},
        {"followed an hour ago: not due", every8, t, t - h, true, false, 7 * h},
        {"followed 8 hours ago: due", every8, t, t - 8 * h, false, true, 1},
        {"a last follow in the future: due", every8, t, t + h, false, true, 1},
        {"at start: due at start whatever the last", atStart, t, t - 1, true, true, 0},
        {"at start only: not by the clock", atStart, t, t - 100 * h, false, false, 0},
        {"no server: nothing follows", {{HKLMP, {{L"FollowHours", L"#1"}}}}, t, 0, true, false, 0},
    };
    for (const Case& c : cases) {
        const Effective e = Resolve(ReaderOf(c.stores));
        EXPECT_EQ(FollowDue(e, c.now, c.last, c.starting), c.due) << c.what;
        EXPECT_EQ(SecondsToNextFollow(e, c.now, c.last), c.next) << c.what;
    }
    EXPECT_EQ(FollowStateName(L"C:\\Users\\Ann\\Fax.MPB2"), L"c:/users/ann/fax.mpb2");
}

// The policy template and the program agree: every value the template writes is one the
// program reads, and every value the program reads has a policy.
TEST(Settings, TemplateMatchesProgram) {
    const std::string root = PBE_SOURCE_ROOT;
    std::ifstream file(root + "/packaging/PolicyDefinitions/PhoneBookEditor.admx", std::ios::binary);
    ASSERT_TRUE(file) << root;
    std::stringstream text;
    text << file.rdbuf();
    const std::string admx = text.str();
    std::set<std::wstring> written;
    const std::regex valueName("valueName=\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), valueName); it != std::sregex_iterator(); ++it)
        written.insert(Wide((*it)[1].str()));
    // Every policy writes under the program's policy key.
    const std::regex key("key=\"([^\"]+)\"");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), key); it != std::sregex_iterator(); ++it)
        EXPECT_EQ(Wide((*it)[1].str()), kPolicyKey);
    const std::vector<std::wstring> names = PolicyValueNames();
    const std::set<std::wstring> read(names.begin(), names.end());
    for (const std::wstring& name : written) EXPECT_TRUE(read.count(name)) << std::string(name.begin(), name.end());
    for (const std::wstring& name : read) EXPECT_TRUE(written.count(name)) << std::string(name.begin(), name.end());
}

}  // namespace
