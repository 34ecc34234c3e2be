#pragma once
// What a print holds, chosen from a book: the entries shown or the members of some
// groups, in the list's order, as one run or one section per group.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "printing/core/PageLayout.h"

namespace printing {

// The book as printing reads it.
struct BookEntry {
    uint16_t id = 0;
    // Name, fax, organization, phone, e-mail, mailbox: the first six columns.
    std::array<std::wstring, 6> fields;
};
struct BookGroup {
    uint16_t id = 0;
    std::wstring name;
    std::vector<uint16_t> members;
};
struct Book {
    std::vector<BookEntry> entries;
    std::vector<BookGroup> groups;  // in the order sections and the groups column take
};

struct Choice {
    // The entries to consider, by id, in print order; ids the book lacks are passed over.
    std::vector<uint16_t> order;
    // Not empty: only the members of these groups (and, by group, only their sections).
    std::vector<uint16_t> groups;
    bool byGroup = false;
    // The heading of the entries in no group, printed by group.
    std::wstring ungroupedHeading;
};

// Fills the document's entries and sections; its columns, captions and texts stay.
void Select(const Book& book, const Choice& choice, Document& document);

// Column names as pbtool and the settings write them: name, fax, organization, phone,
// email, mailbox, groups. False for a name that is none of them.
bool ColumnFromName(const std::wstring& name, Column* column);
const wchar_t* ColumnName(Column column);
// A comma-separated list, each column at most once; false (and out untouched) otherwise.
bool ParseColumnList(const std::wstring& list, std::vector<Column>* out);
std::wstring ColumnList(const std::vector<Column>& columns);

}  // namespace printing
