#pragma once
// An address book on a CardDAV server as a contact source, over Windows' own HTTP
// client (WinHTTP, loaded on first use so a program that never reads one does not
// load it). Login is Basic, sent only to the host of the URL given; certificates are
// checked as Windows checks them. Nothing in the book changes.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "carddav/core/Client.h"
#include "util/CMString.h"

namespace carddav {

struct Connection {
    Url url;
    // Empty: no login.
    std::wstring user;
    std::wstring password;
    // Seconds for the connect and for each answer.
    uint32_t timeoutSeconds = 30;
    // Where a whole read leaves the cards' ETags, texts and the sync token, so that the
    // next read of the same book asks only for what changed; empty: none kept.
    std::wstring cacheFile;
};

// The file of the cache kept for a book that follows an address book (per book, URL
// and user), in the user's local application data; empty when there is no such folder.
std::wstring CacheFileFor(const std::wstring& book, const Url& url, const std::wstring& user);

// Every card of the address book (see carddav::ReadBook); a fault of WinHTTP itself
// (it cannot be loaded) is Failed with its error code.
BookRead ReadAddressBook(const Connection& connection, const delimited::CharacterRules& rules,
                         const std::function<void(size_t done, size_t total)>& progress = {});

// The address books the connection's URL leads to.
Discovery DiscoverAddressBooks(const Connection& connection);

// The language's words for a fault (empty for none), naming what it concerns.
CMString FaultText(Fault fault, uint32_t code, const Connection& connection, size_t arrived = 0, size_t cards = 0);

}  // namespace carddav
