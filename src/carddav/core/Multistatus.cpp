#include "carddav/core/Multistatus.h"

#include "carddav/core/Xml.h"

namespace carddav {

namespace {

std::string Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' || text.front() == '\n'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return std::string(text);
}

// The href inside a property (current-user-principal, addressbook-home-set: the first).
std::string HrefIn(const xml::Element& property) {
    const xml::Element* href = property.Child(kDav, "href");
    return href ? Trimmed(href->text) : std::string();
}

void ReadProperties(const xml::Element& prop, int status, Resource& r) {
    const bool ok = status >= 200 && status < 300;
    for (const xml::Element& p : prop.children) {
        if (p.Is(kCardDav, "address-data")) {
            if (ok) {
                r.hasCard = true;
                r.card = p.text;
            } else {
                r.cardFailed = true;
            }
        }
        if (!ok) continue;
        if (p.Is(kDav, "resourcetype")) {
            r.collection = p.Child(kDav, "collection") != nullptr;
            r.addressBook = p.Child(kCardDav, "addressbook") != nullptr;
        } else if (p.Is(kDav, "displayname")) {
            r.displayName = Trimmed(p.text);
        } else if (p.Is(kDav, "getetag")) {
            r.etag = Trimmed(p.text);
        } else if (p.Is(kDav, "getcontenttype")) {
            r.contentType = Trimmed(p.text);
        } else if (p.Is(kDav, "current-user-principal")) {
            r.principal = HrefIn(p);
        } else if (p.Is(kCardDav, "addressbook-home-set")) {
            r.home = HrefIn(p);
        } else if (p.Is(kDav, "sync-token")) {
            r.syncToken = Trimmed(p.text);
        }
    }
}

}  // namespace

int StatusCode(std::string_view line) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos || line.substr(0, 5) != "HTTP/") return 0;
    int code = 0, digits = 0;
    for (size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 3; ++i, ++digits)
        code = code * 10 + (line[i] - '0');
    return digits == 3 ? code : 0;
}

bool ReadMultistatus(std::string_view body, std::vector<Resource>& resources) {
    resources.clear();
    xml::Element root;
    if (!xml::Parse(body, root) || !root.Is(kDav, "multistatus")) return false;
    for (const xml::Element& response : root.children) {
        if (!response.Is(kDav, "response")) continue;
        Resource& r = resources.emplace_back();
        int propStatus = 0;
        for (const xml::Element& part : response.children) {
            if (part.Is(kDav, "href") && r.href.empty()) {
                r.href = Trimmed(part.text);
            } else if (part.Is(kDav, "status")) {
                r.status = StatusCode(Trimmed(part.text));
            } else if (part.Is(kDav, "propstat")) {
                const xml::Element* status = part.Child(kDav, "status");
                const xml::Element* prop = part.Child(kDav, "prop");
                const int code = status ? StatusCode(Trimmed(status->text)) : 0;
                if (code >= 200 && code < 300 && propStatus == 0) propStatus = code;
                if (prop) ReadProperties(*prop, code, r);
            }
        }
        if (r.status == 0) r.status = propStatus;
    }
    return true;
}

std::string PropfindBody() {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<d:propfind xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
           "<d:prop><d:resourcetype/><d:displayname/><d:sync-token/><d:current-user-principal/>"
           "<c:addressbook-home-set/></d:prop></d:propfind>";
}

std::string MembersBody() {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:resourcetype/><d:getetag/><d:getcontenttype/></d:prop>"
           "</d:propfind>";
}

std::string MultigetBody(const std::vector<std::string>& hrefs) {
    std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<c:addressbook-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:carddav\">"
        "<d:prop><d:getetag/><c:address-data/></d:prop>";
    for (const std::string& href : hrefs) body += "<d:href>" + xml::Escape(href) + "</d:href>";
    return body + "</c:addressbook-multiget>";
}

}  // namespace carddav
