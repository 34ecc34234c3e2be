#pragma once
// Entries of a book that share a fax line: their numbers have one normal form, however
// each is written. Found in a snapshot of the book, so pbtool and the program's windows
// see the same sets.
#include <cstddef>
#include <string>
#include <vector>

#include "intake/core/Plan.h"

namespace intake {

struct DuplicateEntry {
    size_t entry = 0;           // index into Snapshot::entries
    std::vector<size_t> groups;  // indices into Snapshot::groups of the groups it is in
};

struct DuplicateSet {
    std::wstring line;  // the normal form the entries share
    std::vector<DuplicateEntry> entries;  // two or more, in the book's order
};

// Every set of two or more entries with one normal form, ordered by its first entry.
// Numbers without a normal form are in no set (home nullptr: national numbers have none).
std::vector<DuplicateSet> FindDuplicates(const Snapshot& book, const faxnum::Country* home);

}  // namespace intake
