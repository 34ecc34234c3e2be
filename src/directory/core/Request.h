#pragma once
// What a read may ask of a directory, judged before anything is sent: a login that a
// server could take for an anonymous one is refused, and the URL's attributes, when it
// names any, are the only ones read.
#include <cstdint>
#include <string>
#include <string_view>

#include "directory/core/Entries.h"
#include "directory/core/Url.h"

namespace directory {

enum class RequestFault : uint8_t {
    None,
    NoPassword,        // a login name with an empty password (RFC 4513's unauthenticated bind)
    NoNameAttribute,   // the URL's attributes leave the name no way to be read
    NoFaxAttribute,    // the same for the fax number
    UnreadAttribute,   // the URL names an attribute that no field and no group reads
    GroupsNotInUrl,    // groups come from an attribute the URL does not name
};

struct RequestCheck {
    RequestFault fault = RequestFault::None;
    // The attribute the fault is about (UnreadAttribute, GroupsNotInUrl).
    std::wstring attribute;
};

// Limits the mapping to the URL's attributes (a URL without any, or with "*", leaves it
// as it is): a way that needs an attribute the URL does not name is dropped, so a field
// left without one is not read and keeps the book's value. On a fault the mapping is
// left as it was.
RequestCheck LimitToUrl(const Url& url, Mapping& mapping);

// The login, then the URL's attributes (see LimitToUrl).
RequestCheck CheckRequest(const Url& url, std::wstring_view bindDn, std::wstring_view password, Mapping& mapping);

}  // namespace directory
