#pragma once
// Import, export and conversion from the command line, run by the program's own code
// (the import/export dialog's DelimitedTextFile, the storage wrapper's conversion) on a
// book opened as the main window opens one; messages that code would show on screen
// come out as text.
#include <string>

#include "importexport/core/DelimitedText.h"

namespace pbtool {

enum class TextEncoding { AsBookOffers, Utf8, Ansi };

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
    // Sync and import that updates: the group the file's entries join, and to which a
    // sync's removals are limited. Empty: none.
    std::wstring group;
    // Import, sync: the plan is printed (as JSON with json) and nothing changes.
    bool dryRun = false;
    bool json = false;
};

// Each returns an exit code of Console.h.
int ImportText(const TextJob& job);
// The book follows the file: an import that updates, and the entries no record of the
// file gave are removed; refused, with the book unchanged, when that is not safe.
int SyncText(const TextJob& job);
int ExportText(const TextJob& job);
// newBook empty: the old book's name with the current extension.
int ConvertBook(const std::wstring& oldBook, std::wstring newBook, bool replace);

}  // namespace pbtool
