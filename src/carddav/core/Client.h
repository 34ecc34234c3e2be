#pragma once
// An address book client over any HTTP transport: it finds the address books of an
// account (from the server's address, through /.well-known/carddav, the user's
// principal and the address book home), and reads every card of one address book into
// a source's records (PROPFIND for the members, then REPORT addressbook-multiget in
// batches). The transport is the platform's; everything else is here.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
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
    // Cards that came from the cache rather than the server.
    size_t cachedCards = 0;
    double listMs = 0, fetchMs = 0, parseMs = 0;
};

// Cards a REPORT asks for at once.
inline constexpr size_t kBatch = 200;

// What a whole read of an address book leaves for the next: the collection's sync token
// and each card's ETag and text, so that the next read asks only for what changed (and
// nothing more when the token is the same), yet still gives every card.
struct BookCache {
    struct Card {
        std::string href;  // as the server wrote it
        std::string etag;
        std::string text;
    };
    // The address book's URL (Text) the cards are of.
    std::string url;
    std::string syncToken;
    // By PathKey of the href.
    std::map<std::string, Card> cards;
};
// The cache as bytes, and back; false (and cache empty) for bytes that are not a whole
// cache, which a read then ignores.
std::string SaveCache(const BookCache& cache);
bool LoadCache(std::string_view bytes, BookCache& cache);

// Every card of the address book at url. A URL that is not an address book gives
// NotAddressBook with the books it leads to. Cards that fail, or an answer cut short,
// keep what arrived and leave the read not complete (fault CutOff). With a cache, cards
// whose ETag is unchanged come from it (all of them when the sync token is), and a whole
// read leaves the cache as the book is now; a read that is not whole leaves it alone.
BookRead ReadBook(Transport& transport, const Url& url, const delimited::CharacterRules& rules,
                  const std::function<void(size_t done, size_t total)>& progress = {}, BookCache* cache = nullptr);

// The card's UID (its first), as written; empty without one.
std::string CardUid(std::string_view card);

// A card's text as records (one, rejected Unreadable, when the vCard reader finds no
// whole card in it).
void AppendCard(std::string_view card, const delimited::CharacterRules& rules, std::vector<intake::Record>& records);

}  // namespace carddav
