#pragma once
// Where an office's directory is and what to ask it, as one LDAP URL (RFC 4516):
// ldap[s]://host[:port]/base-DN?attributes?scope?filter?extensions. The form a user
// types is read leniently: characters that a URL should percent-encode (spaces, text
// outside ASCII) are taken as they stand.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace directory {

enum class Scope : uint8_t { Base, One, Sub };

// Entries that have a fax number, which is all a phone book takes.
inline constexpr std::wstring_view kDefaultFilter = L"(facsimileTelephoneNumber=*)";
inline constexpr uint16_t kLdapPort = 389;
inline constexpr uint16_t kLdapsPort = 636;

struct Url {
    // ldaps: TLS from the first byte.
    bool secure = false;
    // Without the brackets of an IPv6 literal. Empty: the client's own default server
    // (for Active Directory, a domain controller of the computer's domain).
    std::wstring host;
    uint16_t port = kLdapPort;
    std::wstring baseDn;
    // The only attributes read (see LimitToUrl). Empty, or "*": those the mapping reads.
    std::vector<std::wstring> attributes;
    // A whole directory is searched unless the URL says otherwise (RFC 4516's own
    // default is base, which would find one entry at most).
    Scope scope = Scope::Sub;
    std::wstring filter = std::wstring(kDefaultFilter);
};

enum class UrlFault : uint8_t {
    None,
    NotLdapUrl,         // neither ldap:// nor ldaps://
    BadHost,            // not a host name or a bracketed IPv6 address
    BadPort,            // not a number from 1 to 65535
    BadEscape,          // % not followed by two hex digits, or bytes that are not UTF-8
    BadAttribute,       // an attribute list item that is no attribute name
    BadScope,           // not base, one or sub
    BadFilter,          // see CheckFilter
    TooManyParts,       // a fifth question mark
    CriticalExtension,  // an extension marked "!", which nothing here honours
};

// On failure url is left as it was.
bool ParseUrl(std::wstring_view text, Url& url, UrlFault& fault);

// The URL that reads back as url, every part written out (scope and filter too, since
// their defaults here are not those of other LDAP programs); the port only when it is
// not the scheme's. Text outside ASCII stays as it is; other characters a URL cannot
// hold are percent-encoded.
std::wstring FormatUrl(const Url& url);

// Whether the text names an attribute (a name or an OID, with ;options).
bool IsAttributeName(std::wstring_view text);

}  // namespace directory
