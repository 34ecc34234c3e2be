#pragma once
// Import, export and conversion from the command line, run by the program's own code
// (the import/export dialog's DelimitedTextFile, the storage wrapper's conversion) on a
// book opened as the main window opens one; messages that code would show on screen
// come out as text.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "carddav/core/Url.h"
#include "directory/core/Entries.h"
#include "directory/core/Url.h"
#include "importexport/core/DelimitedText.h"
#include "numbers/core/FaxNumber.h"

namespace pbtool {

enum class TextEncoding { AsBookOffers, Utf8, Ansi };

// A source read once for a job, kept while the job waits for a busy book.
struct SourceCache;

struct TextJob {
    std::wstring book;
    std::wstring file;
    // Delimiters and the columns in file order; no columns: the dialog's selection.
    delimited::Layout layout;
    TextEncoding encoding = TextEncoding::AsBookOffers;
    // Export: a first line that names the columns (and fields quoted as needed).
    bool header = false;
    // Export: an existing file is replaced rather than kept.
    bool replace = false;
    // Import: records update the entries of their names (sync always does).
    bool update = false;
    // Sync: it may remove more than half of the entries it considers.
    bool allowShrink = false;
    // Import, sync: national fax numbers are read as this country's when compared.
    const faxnum::Country* home = nullptr;
    // Sync and import that updates: the group the file's entries join, and to which a
    // sync's removals are limited. Empty: none.
    std::wstring group;
    // Import, sync: the plan is printed (as JSON with json) and nothing changes.
    bool dryRun = false;
    bool json = false;
    // The source is the office's directory: file is an ldap:// or ldaps:// URL.
    bool fromDirectory = false;
    directory::Url url;
    bool startTls = false;
    std::wstring bindDn;
    // The password's file (its first line); none with a bind DN: asked on the console.
    std::wstring passwordFile;
    uint32_t pageSize = 500;
    uint32_t timeoutSeconds = 30;
    directory::Mapping mapping;
    // The source is an address book on a CardDAV server: file is its http(s):// URL. The
    // login is bindDn's name, with the password as for a directory.
    bool fromAddressBook = false;
    carddav::Url addressBook;
    // Import, sync with --group: entries outside the group may join it and be updated.
    bool adopt = false;
    // Import, sync: where the source's records are kept between tries; none: read each try.
    SourceCache* source = nullptr;
    // The login's password when it is known already (the one the user let the program
    // remember); empty: as passwordFile says.
    std::wstring password;
    // Import, sync: what the book took, when its changes were stored.
    delimited::ImportCounters* landed = nullptr;
};

// What a job read from its source: made by the caller, filled by the first try that reads.
std::shared_ptr<SourceCache> NewSourceCache();
// The language library, loaded once; false (told) when it cannot be.
bool LoadLanguage();
// The password of a login (the first line of passwordFile, else asked on the console);
// empty without a login name.
bool ReadPassword(const TextJob& job, std::wstring& password);

// Whether an operand names a directory (ldap:// or ldaps://, in any case).
bool IsDirectoryUrl(const std::wstring& operand);
// A source's records with a fax number, a line each (name, fax number, groups), on
// standard output; how many had one and how many were rejected are counted.
void SayRecords(const intake::SourceRead& read, size_t& withFax, size_t& rejected);
// What a directory's search gives, without a book: one line per record.
int ListDirectory(const TextJob& job);

// Each returns an exit code of Console.h.
int ImportText(const TextJob& job);
// The book follows the file: an import that updates, and the entries no record of the
// file gave are removed; refused, with the book unchanged, when that is not safe.
int SyncText(const TextJob& job);
int ExportText(const TextJob& job);
// newBook empty: the old book's name with the current extension.
int ConvertBook(const std::wstring& oldBook, std::wstring newBook, bool replace);

// Runs the job again while it ends as kExitBusy, with a growing pause, for up to
// seconds (no try begins that the last busy one says would end past them); tells once
// that it waits, and at the end that the book is in use, giving kExitFailed.
int WaitWhileBusy(const std::wstring& book, unsigned seconds, const std::function<int()>& job);

}  // namespace pbtool
