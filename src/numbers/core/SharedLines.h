#pragma once
// Entries of one book whose fax numbers share a normal form: one fax line entered more
// than once. The Duplicates dialog lists them and merges a set into the entry the user
// keeps; the entry dialog names the others that share the number typed; the group
// dialog names members that share one line.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "numbers/core/FaxNumber.h"

namespace faxnum {

// The book as read: entries and groups in the engine's order.
struct BookEntry {
    uint16_t id = 0;
    std::wstring name;
    std::wstring fax;  // as stored
};
struct BookGroup {
    uint16_t id = 0;
    std::wstring name;
    std::vector<uint16_t> members;
};
struct Book {
    std::vector<BookEntry> entries;
    std::vector<BookGroup> groups;
};

struct LineEntry {
    uint16_t id = 0;
    std::wstring name;
    std::wstring fax;
    std::vector<std::wstring> groups;  // names, in book order
};
struct SharedLine {
    std::wstring normalForm;
    std::vector<LineEntry> entries;  // two or more, in book order
};

// Every set of two or more entries sharing a normal form, ordered by its first entry.
std::vector<SharedLine> SharedLines(const Book& book, const Country* home);

// What keeping one entry of a set does: the others of the set go, and the kept entry
// joins each group one of them was in. The book may have changed since the set was
// shown: only entries that still exist and still share the kept entry's line go.
struct MergePlan {
    bool possible = false;          // the kept entry exists and has a normal form
    std::vector<uint16_t> remove;   // in the order given
    std::vector<uint16_t> join;     // groups, in book order, the kept entry is not in yet
};
MergePlan PlanMerge(const Book& book, const std::vector<uint16_t>& set, uint16_t keep, const Country* home);

// The entries other than self whose numbers share the normal form of typed, in book
// order; none when typed has none.
std::vector<const BookEntry*> SameLineAs(const Book& book, std::wstring_view typed, uint16_t self, const Country* home);

}  // namespace faxnum
