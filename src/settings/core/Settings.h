#pragma once
// The settings of the book's source (a directory or an address book) and where each
// comes from. An administrator's policy (the machine's, then the user's) may set a value
// and lock it; a locked value wins over the user's own, an unlocked one is a default the
// user may change. Under the user's own come the defaults the package wrote for the
// machine, and under those the program's own. A password is never a policy: only the
// user types it, and only the user's store keeps it (encrypted).
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "carddav/core/Url.h"
#include "directory/core/Entries.h"
#include "directory/core/Url.h"
#include "intake/core/Plan.h"

namespace settings {

// Strongest first.
enum class Origin : uint8_t { PolicyMachine, PolicyUser, User, MachineDefault, Default };
const wchar_t* OriginName(Origin origin);

// The stores the program reads, strongest first (the built-in default is no store).
enum class Store : uint8_t { PolicyMachine, PolicyUser, User, MachineDefault };
constexpr size_t kStores = 4;

// The registry's places of the stores: the policies' key under HKLM and HKCU, the user's
// and the package's key under HKCU and HKLM.
extern const wchar_t kPolicyKey[];
extern const wchar_t kSettingsKey[];
// The user's record of each book's last follow, under HKCU.
extern const wchar_t kFollowStateKey[];
// A policy value's lock: this suffix on its name, a DWORD 1.
extern const wchar_t kLockSuffix[];

enum class Id : uint8_t {
    Server,      // ldap:// or ldaps:// for a directory, http:// or https:// for an address book
    BaseDN,
    Filter,
    Security,    // 0 none, 1 StartTLS, 2 LDAPS
    Login,       // 0 anonymous, 1 a login (bind name in User)
    User,
    Group,       // the managed group
    Update,      // records update the entries of their names
    Sync,        // entries the source no longer gives are removed (needs Update)
    Adopt,
    GroupsFrom,  // the directory attribute whose values name groups
    Mapping,     // field=attribute,...
    FollowHours, // 0: no follow by the clock; N: every N hours
    FollowAtStart,
    FollowBook,  // empty: the user's own book; else the named one's path
    Count
};
constexpr size_t kCount = static_cast<size_t>(Id::Count);

enum class Type : uint8_t { Text, Number };

struct Definition {
    Id id;
    const wchar_t* name;  // the registry value's name, the same in every store
    Type type;
    const wchar_t* text;  // built-in default (Text)
    uint32_t number;      // built-in default (Number)
    uint32_t max;         // a number above it is no value (Number)
};
const std::array<Definition, kCount>& Definitions();
const Definition& DefinitionOf(Id id);

// What a store holds for one value name; present false: nothing (or of the wrong type).
struct Raw {
    bool present = false;
    std::wstring text;
    uint32_t number = 0;
};
// Reads one value of a store: its text for Type::Text, its number otherwise.
using Reader = std::function<Raw(Store store, const std::wstring& name, Type type)>;

struct Value {
    std::wstring text;
    uint32_t number = 0;
    Origin origin = Origin::Default;
    // A policy locked it: the user cannot change it.
    bool locked = false;
    // The policy's value when it is only a default the user overrode: what "reset" would give.
    bool policyOverridden = false;
};

struct Effective {
    std::array<Value, kCount> values;
    const Value& operator[](Id id) const { return values[static_cast<size_t>(id)]; }
    const std::wstring& Text(Id id) const { return (*this)[id].text; }
    uint32_t Number(Id id) const { return (*this)[id].number; }
    // A source is configured when it names a server.
    bool HasSource() const { return !Text(Id::Server).empty(); }
    bool Follows() const { return HasSource() && (Number(Id::FollowHours) > 0 || Number(Id::FollowAtStart) != 0); }
};

// One value by the precedence rules; Resolve: all of them.
Value ResolveOne(const Definition& definition, const Reader& read);
Effective Resolve(const Reader& read);

// Every name the program reads under the policy key: each setting's and its lock's.
std::vector<std::wstring> PolicyValueNames();

enum class SourceKind : uint8_t { None, Directory, AddressBook };
// The scheme tells: ldap:// and ldaps:// a directory, http:// and https:// an address book.
SourceKind KindOf(const std::wstring& url);

// The source as the readers take it, or why it cannot be read (nothing is sent then).
enum class SourceFault : uint8_t { None, NoServer, BadUrl, BadFilter, BadMapping, BadGroupsFrom, NoUser };
struct Source {
    SourceKind kind = SourceKind::None;
    directory::Url url;
    bool startTls = false;
    directory::Mapping mapping;
    carddav::Url addressBook;
    // The login's name; empty: anonymous.
    std::wstring user;
};
// As the directory dialog reads its fields: a host name with the security and base
// makes the URL; a URL with its own filter keeps it, else the filter setting applies.
SourceFault SourceFrom(const Effective& settings, Source& source);
const wchar_t* SourceFaultText(SourceFault fault);
// What a follow does to the book, as the dialog's check boxes say: add, update, or
// update and remove what the source no longer gives.
intake::Mode ModeOf(const Effective& settings);

// Whether a follow is due: at start when asked for at start or when the last one (0:
// never) is older than the interval; while running, when the interval has passed.
bool FollowDue(const Effective& settings, uint64_t nowSeconds, uint64_t lastSeconds, bool starting);
// Seconds from now until the next follow by the clock; 0: none (no interval).
uint64_t SecondsToNextFollow(const Effective& settings, uint64_t nowSeconds, uint64_t lastSeconds);

// The name under kFollowStateKey of a book's record: its path, folded to lower case,
// with the registry's separator replaced.
std::wstring FollowStateName(const std::wstring& bookPath);

// The settings as lines "name = value  (origin[, locked])", one per setting.
std::vector<std::wstring> DescribeLines(const Effective& settings);

}  // namespace settings
