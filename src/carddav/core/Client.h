#pragma once
// An address book client over any HTTP transport: it finds the address books of an
// account (from the server's address, through /.well-known/carddav, the user's
// principal and the address book home), and reads every card of one address book into
// a source's records (PROPFIND for the members, then REPORT addressbook-multiget in
// batches). The transport is the platform's; everything else is here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "carddav/core/Multistatus.h"
#include "carddav/core/Url.h"
#include "importexport/core/DelimitedText.h"
#include "intake/core/Records.h"

namespace carddav {

// Why an address book could not be read (or was read only in part).
enum class Fault : uint8_t {
    None,
    Unreachable,     // no server answers at host and port
    LoginRefused,    // 401: the name or password was not accepted
    NotFound,        // 404: nothing at that address
    NotCardDav,      // the server does not speak WebDAV/CardDAV there
    Certificate,     // the server's certificate failed the check
    TimedOut,        // the server stopped answering
    CutOff,          // an answer stopped short, or cards of it failed
    NotAddressBook,  // the URL is a server or an account: its address books are listed
    NoAddressBook,   // the account has no address book
    Failed,          // anything else the client or server said
};

struct Request {
    std::string method;
    Url url;
    // The Depth header; -1: none.
    int depth = -1;
    std::string body;
};

struct Reply {
    // A fault of the transport itself (Unreachable, Certificate, TimedOut, CutOff,
    // Failed); None when an HTTP answer arrived whole.
    Fault fault = Fault::None;
    // The system's error code of a transport fault, for the message.
    uint32_t code = 0;
    int status = 0;
    std::string location;
    std::string body;
};

class Transport {
public:
    virtual ~Transport() = default;
    virtual Reply Send(const Request& request) = 0;
};

// An address book as discovery found it.
struct BookInfo {
    Url url;
    std::string displayName;
    size_t cards = 0;
};

struct Discovery {
    Fault fault = Fault::None;
    uint32_t code = 0;
    int status = 0;
    // The URL names one address book itself.
    bool isBook = false;
    std::vector<BookInfo> books;
};

// The address books the URL leads to: the book itself, or those of the account the URL
// names (a server's address, a principal, an address book home).
Discovery Discover(Transport& transport, const Url& url);

struct BookRead {
    Fault fault = Fault::None;
    uint32_t code = 0;
    int status = 0;
    // Cards the server listed, and those that could not be had (failed in a
    // multistatus, or missing from it).
    size_t cards = 0;
    size_t failedCards = 0;
    std::string displayName;
    // Fault NotAddressBook: what the URL leads to.
    std::vector<BookInfo> books;
    intake::SourceRead read;
    double listMs = 0, fetchMs = 0, parseMs = 0;
};

// Cards a REPORT asks for at once.
inline constexpr size_t kBatch = 200;

// Every card of the address book at url. A URL that is not an address book gives
// NotAddressBook with the books it leads to. Cards that fail, or an answer cut short,
// keep what arrived and leave the read not complete (fault CutOff).
BookRead ReadBook(Transport& transport, const Url& url, const delimited::CharacterRules& rules,
                  const std::function<void(size_t done, size_t total)>& progress = {});

// A card's text as records (one, rejected Unreadable, when the vCard reader finds no
// whole card in it).
void AppendCard(std::string_view card, const delimited::CharacterRules& rules, std::vector<intake::Record>& records);

}  // namespace carddav
