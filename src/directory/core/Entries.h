#pragma once
// Directory entries made into a source's records: which attributes give which field
// (the defaults serve inetOrgPerson and Active Directory alike, and can be replaced
// field by field), the attributes a search asks for, and the records of what a search
// found. Nothing here talks to a server.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "entry/core/Fields.h"
#include "intake/core/Records.h"

namespace directory {

// One attribute of an entry as the server named it (names compare without regard to
// case), with its values decoded to text.
struct Attribute {
    std::wstring name;
    std::vector<std::wstring> values;
};
using Entry = std::vector<Attribute>;

// One way to read a field: the first values of these attributes joined by a space.
// A way of one attribute gives each of its values (a fax number's record each).
using Way = std::vector<std::wstring>;

struct Mapping {
    // Per field the ways to read it, the first that gives text winning. A field without
    // a way is not read (records leave the book's value alone).
    std::vector<Way> name = {{L"displayName"}, {L"cn"}, {L"givenName", L"sn"}};
    std::vector<Way> fax = {{L"facsimileTelephoneNumber"}};
    std::vector<Way> organization = {{L"o"}, {L"company"}};
    std::vector<Way> phone = {{L"telephoneNumber"}};
    std::vector<Way> email = {{L"mail"}};
    std::vector<Way> mailbox;
    // Each value of this attribute names a group of the entry; a DN names it by its
    // first RDN's value (memberOf). Empty: no groups.
    std::wstring groups;
};

enum class MappingFault : uint8_t {
    None,
    NoEquals,       // an item that is not field=attributes
    UnknownField,   // not name, fax, organization, phone, email or mailbox
    RepeatedField,  // a field given twice
    BadAttribute,   // not an attribute name
    Required,       // name or fax given no attribute
};

// Replaces the ways of the fields an override names: "field=attribute,..." where an
// attribute may be several joined by "+" (read together, separated by a space) or
// alternatives separated by "|" (the first the entry has); "phone=" stops a field from
// being read. Field names are in any case. On failure the mapping is left as it was and
// item is the offending item.
bool ParseMapping(std::wstring_view text, Mapping& mapping, MappingFault& fault, std::wstring& item);

// Every attribute the mapping reads, each once, for the search to ask for.
std::vector<std::wstring> RequestedAttributes(const Mapping& mapping);

// The value of a DN's first RDN (cn=Sales,ou=Groups,dc=example,dc=org: Sales), its
// escapes (RFC 4514, and a value in quotation marks) undone. A text that is not a DN
// is given back as it is.
std::wstring FirstRdnValue(std::wstring_view dn);

// The entry's records, appended: one per fax number (each with the entry's other
// fields), or one without a fax number, rejected. Values are trimmed, hyphens leave fax
// numbers, and records are judged as every source's are. Name and fax are present; the
// other fields when the entry gives them, so a missing attribute blanks nothing.
void AppendRecords(const Entry& entry, const Mapping& mapping, const entry::CharacterRules& rules,
                   std::vector<intake::Record>& records);

// The records of a search's entries. complete: the search reached its end (a result cut
// short by a size limit, a time limit or a lost connection did not).
intake::SourceRead Collect(const std::vector<Entry>& entries, const Mapping& mapping,
                           const entry::CharacterRules& rules, bool complete = true);

}  // namespace directory
