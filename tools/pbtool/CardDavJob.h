#pragma once
// An address book on a CardDAV server as pbtool's source: its cards read into records for
// import and sync, and what it gives shown without a book.
#include <string>

#include "BookJobs.h"
#include "intake/core/Records.h"

namespace pbtool {

// The URL names a server or an account rather than one address book: its books are
// listed and nothing changes.
inline constexpr int kExitNotAddressBook = 4;

// The address book's records, or the fault told and an exit code. A read cut short is
// kept (the plan refuses a sync on it; an import takes what arrived and says so).
int ReadFromAddressBook(const TextJob& job, intake::SourceRead& read);

// What the address book gives, without a book: a line per record with a fax; for a URL
// that leads to several address books, a line per book (URL, name, cards).
int ListAddressBook(const TextJob& job);

}  // namespace pbtool
