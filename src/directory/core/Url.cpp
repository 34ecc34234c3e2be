#include "directory/core/Url.h"

#include "directory/core/Filter.h"
#include "util/CMString.h"
#include "util/core/Utf.h"

namespace directory {
namespace {

bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }
bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

int HexValue(wchar_t c) {
    if (IsDigit(c)) return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && CMString(text.substr(0, prefix.size())).EqualsNoCase(prefix);
}

// %XX sequences are bytes of UTF-8; the characters between them are taken as they are.
bool PercentDecode(std::wstring_view text, std::wstring& out) {
    if (text.find(L'%') == std::wstring_view::npos) {
        out.assign(text);
        return true;
    }
    std::string bytes;
    size_t run = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] != L'%') {
            ++i;
            continue;
        }
        bytes += mrv::WideToUtf8(text.substr(run, i - run));
        if (i + 2 >= text.size()) return false;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high * 16 + low);
        i += 3;
        run = i;
    }
    bytes += mrv::WideToUtf8(text.substr(run));
    if (!mrv::IsValidUtf8(bytes)) return false;
    out = mrv::Utf8ToWide(bytes);
    return true;
}

// The characters a URL's path and query may hold as they are (RFC 3986's unreserved,
// sub-delims, ":" and "@"), less "?" which separates the parts; "/" too in the DN and
// filter. Text outside ASCII is kept for the reader's sake.
void AppendEncoded(std::wstring& out, std::wstring_view text, bool slash) {
    static constexpr std::wstring_view kKept = L"-._~!$&'()*+,;=:@";
    for (wchar_t c : text) {
        const bool ascii = static_cast<uint32_t>(c) < 0x80;
        if (!ascii || IsAsciiLetter(c) || IsDigit(c) || kKept.find(c) != std::wstring_view::npos || (slash && c == L'/')) {
            out += c;
            continue;
        }
        static constexpr wchar_t kHex[] = L"0123456789ABCDEF";
        out += L'%';
        out += kHex[(c >> 4) & 0xF];
        out += kHex[c & 0xF];
    }
}

// A DNS name (non-ASCII letters allowed, for names a resolver converts) or an IPv4
// address. Anything a URL's host could hold beyond that (=, ",") is kept out, so an
// ADSI path (LDAP://CN=...) is not taken for a host.
bool IsHostName(std::wstring_view host) {
    for (wchar_t c : host) {
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'-' && c != L'.' && c != L'_' && static_cast<uint32_t>(c) < 0x80)
            return false;
    }
    return true;
}

bool IsIpv6Literal(std::wstring_view host) {
    if (host.find(L':') == std::wstring_view::npos) return false;
    for (wchar_t c : host) {
        if (HexValue(c) < 0 && c != L':' && c != L'.') return false;
    }
    return true;
}

bool ParseAuthority(std::wstring_view authority, bool secure, Url& url, UrlFault& fault) {
    std::wstring_view host = authority;
    std::wstring_view port;
    bool bracketed = false;
    if (!authority.empty() && authority.front() == L'[') {
        const size_t close = authority.find(L']');
        if (close == std::wstring_view::npos) return (fault = UrlFault::BadHost), false;
        host = authority.substr(1, close - 1);
        const std::wstring_view rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != L':') return (fault = UrlFault::BadHost), false;
        if (!rest.empty()) port = rest.substr(1);
        bracketed = true;
    } else if (const size_t colon = authority.rfind(L':'); colon != std::wstring_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    std::wstring decoded;
    if (!PercentDecode(host, decoded)) return (fault = UrlFault::BadEscape), false;
    if (bracketed ? !IsIpv6Literal(decoded) : !IsHostName(decoded)) return (fault = UrlFault::BadHost), false;
    url.host = std::move(decoded);
    // An empty port after the colon is the scheme's, as RFC 3986 has it.
    uint32_t number = secure ? kLdapsPort : kLdapPort;
    if (!port.empty()) {
        number = 0;
        for (wchar_t c : port) {
            if (!IsDigit(c) || number > 6553) return (fault = UrlFault::BadPort), false;
            number = number * 10 + static_cast<uint32_t>(c - L'0');
        }
        if (number == 0 || number > 65535) return (fault = UrlFault::BadPort), false;
    }
    url.port = static_cast<uint16_t>(number);
    return true;
}

// The parts between question marks: DN, attributes, scope, filter, extensions.
bool ParseQuery(std::wstring_view rest, Url& url, UrlFault& fault) {
    std::wstring_view parts[5];
    size_t count = 0;
    for (size_t from = 0;; ++count) {
        if (count == 5) return (fault = UrlFault::TooManyParts), false;
        const size_t to = rest.find(L'?', from);
        parts[count] = rest.substr(from, to == std::wstring_view::npos ? std::wstring_view::npos : to - from);
        if (to == std::wstring_view::npos) break;
        from = to + 1;
    }
    if (!PercentDecode(parts[0], url.baseDn)) return (fault = UrlFault::BadEscape), false;

    for (size_t from = 0; !parts[1].empty();) {
        const size_t to = parts[1].find(L',', from);
        std::wstring name;
        if (!PercentDecode(parts[1].substr(from, to == std::wstring_view::npos ? to : to - from), name))
            return (fault = UrlFault::BadEscape), false;
        // "*" is every user attribute, as in a search request.
        if (name != L"*" && !IsAttributeName(name)) return (fault = UrlFault::BadAttribute), false;
        url.attributes.push_back(std::move(name));
        if (to == std::wstring_view::npos) break;
        from = to + 1;
    }

    std::wstring scope;
    if (!PercentDecode(parts[2], scope)) return (fault = UrlFault::BadEscape), false;
    const CMString scopeText(scope);
    if (scopeText.EqualsNoCase(L"base")) url.scope = Scope::Base;
    else if (scopeText.EqualsNoCase(L"one")) url.scope = Scope::One;
    else if (scopeText.EqualsNoCase(L"sub")) url.scope = Scope::Sub;
    else if (!scope.empty()) return (fault = UrlFault::BadScope), false;

    if (!parts[3].empty()) {
        if (!PercentDecode(parts[3], url.filter)) return (fault = UrlFault::BadEscape), false;
        if (CheckFilter(url.filter).fault != FilterFault::None) return (fault = UrlFault::BadFilter), false;
    }

    // Extensions: [!]type[=value], separated by commas. None is known here; one that
    // is not critical may be passed over.
    for (size_t from = 0; !parts[4].empty();) {
        const size_t to = parts[4].find(L',', from);
        std::wstring extension;
        if (!PercentDecode(parts[4].substr(from, to == std::wstring_view::npos ? to : to - from), extension))
            return (fault = UrlFault::BadEscape), false;
        if (!extension.empty() && extension.front() == L'!') return (fault = UrlFault::CriticalExtension), false;
        if (to == std::wstring_view::npos) break;
        from = to + 1;
    }
    return true;
}

}  // namespace

bool IsAttributeName(std::wstring_view text) {
    if (text.empty() || !(IsAsciiLetter(text.front()) || IsDigit(text.front()))) return false;
    for (wchar_t c : text) {
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'-' && c != L'.' && c != L';') return false;
    }
    return text.back() != L';';
}

bool ParseUrl(std::wstring_view text, Url& url, UrlFault& fault) {
    while (!text.empty() && mrv::IsWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && mrv::IsWhiteSpace(text.back())) text.remove_suffix(1);
    Url parsed;
    fault = UrlFault::None;
    if (StartsWithNoCase(text, L"ldaps://")) {
        parsed.secure = true;
        text.remove_prefix(8);
    } else if (StartsWithNoCase(text, L"ldap://")) {
        text.remove_prefix(7);
    } else {
        fault = UrlFault::NotLdapUrl;
        return false;
    }
    const size_t slash = text.find(L'/');
    if (!ParseAuthority(text.substr(0, slash), parsed.secure, parsed, fault)) return false;
    if (slash != std::wstring_view::npos && !ParseQuery(text.substr(slash + 1), parsed, fault)) return false;
    url = std::move(parsed);
    return true;
}

std::wstring FormatUrl(const Url& url) {
    std::wstring out = url.secure ? L"ldaps://" : L"ldap://";
    if (url.host.find(L':') != std::wstring::npos) {
        out += L'[';
        out += url.host;
        out += L']';
    } else {
        AppendEncoded(out, url.host, false);
    }
    if (url.port != (url.secure ? kLdapsPort : kLdapPort)) out += L':' + std::to_wstring(url.port);
    out += L'/';
    AppendEncoded(out, url.baseDn, true);
    out += L'?';
    for (size_t i = 0; i < url.attributes.size(); ++i) {
        if (i > 0) out += L',';
        AppendEncoded(out, url.attributes[i], false);
    }
    static constexpr const wchar_t* kScopes[] = {L"?base?", L"?one?", L"?sub?"};
    out += kScopes[static_cast<size_t>(url.scope)];
    AppendEncoded(out, url.filter, true);
    return out;
}

}  // namespace directory
