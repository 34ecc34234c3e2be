#pragma once
// The office's directory as a contact source: Windows' own LDAP client (version 3,
// simple bind or anonymous, StartTLS or LDAPS, paged results, a time limit on every
// call) reads every entry a search gives into records. Nothing in the book changes.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "directory/core/Entries.h"
#include "directory/core/Request.h"
#include "directory/core/Url.h"
#include "intake/core/Records.h"

namespace directory {

struct Connection {
    Url url;
    // StartTLS on an ldap:// connection (ldaps:// is secure from the start).
    bool startTls = false;
    // A DN or a user@domain name; empty: anonymous.
    std::wstring bindDn;
    std::wstring password;
    // Entries a page; 0 asks for them unpaged (a directory caps such a search).
    uint32_t pageSize = 500;
    // Seconds for the connect, the bind and each page.
    uint32_t timeoutSeconds = 30;
};

// Why a directory could not be read (or was read only in part).
enum class Fault : uint8_t {
    None,
    NotSent,        // refused before anything was sent: see ReadResult::request
    Unreachable,    // no server answers at host and port
    LoginRefused,   // the name or password was not accepted
    NoSuchBase,     // the base DN is not in the directory
    BadFilter,      // the server does not take the filter
    SecureFailed,   // StartTLS or LDAPS could not be set up
    TimedOut,       // a call took longer than the time-out
    CutOff,         // the result stopped short: a size or time limit, a page or connection lost
    Failed,         // anything else the client or server said
};

struct ReadResult {
    Fault fault = Fault::None;
    // The client's or server's code, for the message.
    ULONG code = 0;
    // NotSent: why.
    RequestCheck request;
    // Entries the search gave (a person with two fax numbers is one entry, two records).
    size_t entries = 0;
    intake::SourceRead read;
    // Milliseconds spent connecting and binding, and searching.
    double connectMs = 0, searchMs = 0;
};

// Reads every entry of the URL's search, the mapping limited to the URL's attributes. A
// login without a password or attributes the mapping cannot honour are refused before
// anything is sent (NotSent). A fault before the search leaves no records; a result cut
// off keeps what arrived and is not complete.
ReadResult ReadDirectory(const Connection& connection, const Mapping& mapping, const entry::CharacterRules& rules,
                         const std::function<void(size_t entries)>& progress = {});

// The language's words for a fault (empty for none), naming what it concerns.
CMString FaultText(const ReadResult& result, const Connection& connection);
CMString RequestFaultText(const RequestCheck& check, const Connection& connection);

}  // namespace directory
