#pragma once
// What a WebDAV server answers to PROPFIND and REPORT (RFC 4918's multistatus, with the
// CardDAV properties of RFC 6352 and RFC 5397): one Resource per response, with the
// properties an address book client reads. Nothing here talks to a server.
#include <string>
#include <string_view>
#include <vector>

namespace carddav {

inline constexpr std::string_view kDav = "DAV:";
inline constexpr std::string_view kCardDav = "urn:ietf:params:xml:ns:carddav";

struct Resource {
    // As the server wrote it (percent-encoded).
    std::string href;
    // The response's own status (404 for a card that went away), else the status of
    // the properties that were found; 0 when the response gives neither.
    int status = 0;
    bool collection = false;
    bool addressBook = false;
    std::string displayName;
    std::string etag;
    std::string contentType;
    // A principal's or a collection's; empty when the server did not give them.
    std::string principal;
    std::string home;
    std::string syncToken;
    // The card (REPORT); hasCard when the server gave address-data with status 200.
    bool hasCard = false;
    std::string card;
    // address-data was asked for and came with a failing status.
    bool cardFailed = false;
};

// The responses of a multistatus body; false when the body is not one (not well-formed,
// which a body cut short never is, or another root element).
bool ReadMultistatus(std::string_view body, std::vector<Resource>& resources);

// The status code of an HTTP status line ("HTTP/1.1 200 OK": 200); 0 when there is none.
int StatusCode(std::string_view line);

// Request bodies.
// PROPFIND of a collection or principal: resource type, display name, sync token, the
// current user's principal and the address book home.
std::string PropfindBody();
// PROPFIND of a collection's members: their type, ETag and content type.
std::string MembersBody();
// REPORT addressbook-multiget of these hrefs (as the server wrote them), each card's
// ETag and whole vCard.
std::string MultigetBody(const std::vector<std::string>& hrefs);

}  // namespace carddav
