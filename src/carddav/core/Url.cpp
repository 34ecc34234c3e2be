#include "carddav/core/Url.h"

#include <cstdio>

#include "util/CMString.h"

namespace carddav {

namespace {

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// Characters a path keeps as they are; the rest are percent-encoded (a '%' that
// starts an escape stays).
bool PathKeeps(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("-._~!$&'()*+,;=:@/").find(static_cast<char>(c)) != std::string_view::npos;
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string EncodePath(std::string_view utf8) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (PathKeeps(c) || (c == '%' && i + 2 < utf8.size() && Hex(utf8[i + 1]) >= 0 && Hex(utf8[i + 2]) >= 0)) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(digits[c >> 4]);
            out.push_back(digits[c & 15]);
        }
    }
    return out;
}

std::string Decode(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && Hex(text[i + 1]) >= 0 && Hex(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

// Reads scheme://authority/path from UTF-8 text.
bool ParseUtf8(std::string_view text, Url& url) {
    size_t at;
    if (StartsNoCase(text, "https://")) {
        url.secure = true;
        url.port = 443;
        at = 8;
    } else if (StartsNoCase(text, "http://")) {
        url.secure = false;
        url.port = 80;
        at = 7;
    } else {
        return false;
    }
    size_t end = text.find_first_of("/?#", at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view authority = text.substr(at, end - at);
    if (authority.find('@') != std::string_view::npos) return false;
    std::string_view host = authority, port;
    if (!authority.empty() && authority[0] == '[') {
        const size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') return false;
            port = rest.substr(1);
        }
        if (host.empty()) return false;
        for (char c : host)
            if (Hex(c) < 0 && c != ':' && c != '.') return false;
    } else {
        const size_t colon = authority.find(':');
        if (colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        if (host.empty()) return false;
        for (char c : host) {
            const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                            c == '.' || c == '_';
            if (!ok) return false;
        }
    }
    if (authority.find(':') != std::string_view::npos && authority.back() != ']' && port.empty()) return false;
    if (!port.empty()) {
        if (port.size() > 5) return false;
        unsigned value = 0;
        for (char c : port) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value == 0 || value > 65535) return false;
        url.port = static_cast<uint16_t>(value);
    }
    url.host.clear();
    for (char c : host) url.host.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    std::string_view path = text.substr(end);
    path = path.substr(0, path.find_first_of("?#"));
    url.path = path.empty() ? std::string("/") : EncodePath(path);
    return true;
}

}  // namespace

bool IsHttpUrl(std::wstring_view text) {
    std::string head;
    for (wchar_t c : text.substr(0, 8)) head.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return StartsNoCase(head, "http://") || StartsNoCase(head, "https://");
}

bool ParseUrl(std::wstring_view text, Url& url) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) text.remove_suffix(1);
    return ParseUtf8(CMString(std::wstring(text)).ToUtf8(), url);
}

std::string Text(const Url& url) {
    std::string text = url.secure ? "https://" : "http://";
    const bool literal6 = url.host.find(':') != std::string::npos;
    if (literal6) text.push_back('[');
    text += url.host;
    if (literal6) text.push_back(']');
    if (url.port != (url.secure ? 443 : 80)) {
        text.push_back(':');
        text += std::to_string(url.port);
    }
    return text + url.path;
}

std::wstring WideText(const Url& url) { return CMString::FromUtf8(Text(url)).str(); }

bool Resolve(const Url& base, std::string_view href, Url& out) {
    while (!href.empty() && (href.front() == ' ' || href.front() == '\t' || href.front() == '\r' || href.front() == '\n'))
        href.remove_prefix(1);
    while (!href.empty() && (href.back() == ' ' || href.back() == '\t' || href.back() == '\r' || href.back() == '\n'))
        href.remove_suffix(1);
    if (StartsNoCase(href, "http://") || StartsNoCase(href, "https://")) {
        Url url;
        if (!ParseUtf8(href, url)) return false;
        if (url.secure != base.secure) return false;
        out = url;
        return true;
    }
    out = base;
    href = href.substr(0, href.find_first_of("?#"));
    if (href.empty()) return true;
    if (href[0] == '/') {
        out.path = EncodePath(href);
        return true;
    }
    const size_t slash = base.path.rfind('/');
    out.path = base.path.substr(0, slash + 1) + EncodePath(href);
    return true;
}

std::string PathKey(std::string_view href) {
    if (StartsNoCase(href, "http://") || StartsNoCase(href, "https://")) {
        const size_t slash = href.find('/', href.find("//") + 2);
        href = slash == std::string_view::npos ? std::string_view("/") : href.substr(slash);
    }
    std::string key = Decode(href.substr(0, href.find_first_of("?#")));
    while (key.size() > 1 && key.back() == '/') key.pop_back();
    return key;
}

std::string LastSegment(std::string_view path) {
    std::string decoded = Decode(path);
    while (!decoded.empty() && decoded.back() == '/') decoded.pop_back();
    return decoded.substr(decoded.rfind('/') + 1);
}

}  // namespace carddav
