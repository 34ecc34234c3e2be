#pragma once
// Where an address book is: an http:// or https:// URL, split for the HTTP client, and
// the hrefs a server answers with, resolved against the URL they came from.
#include <cstdint>
#include <string>
#include <string_view>

namespace carddav {

struct Url {
    bool secure = false;
    // Without the brackets of an IPv6 literal; lower case.
    std::string host;
    uint16_t port = 80;
    // Percent-encoded as the server wants it, from '/' (no query, no fragment).
    std::string path = "/";
};

// Whether the text begins with http:// or https:// (any case).
bool IsHttpUrl(std::wstring_view text);

// Reads http[s]://host[:port][/path]. A path's characters that a URL should
// percent-encode (spaces, text outside ASCII) are encoded; a user part (name@) is
// refused, as a password must never be part of a URL. False when it is not such a URL.
bool ParseUrl(std::wstring_view text, Url& url);

// The URL as text, the port only when not the scheme's own.
std::string Text(const Url& url);
std::wstring WideText(const Url& url);

// An href of a server's answer (a full URL, an absolute path or a relative one) as a
// URL, resolved against base. False for a URL on another scheme.
bool Resolve(const Url& base, std::string_view href, Url& out);

// A path (or a full URL's path) as a key that two spellings of one resource share:
// percent escapes decoded, a trailing '/' dropped.
std::string PathKey(std::string_view href);
inline bool SamePath(std::string_view a, std::string_view b) { return PathKey(a) == PathKey(b); }

// The decoded path's last segment, for a card without its own name.
std::string LastSegment(std::string_view path);

}  // namespace carddav
