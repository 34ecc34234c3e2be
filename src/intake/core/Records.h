#pragma once
// What a contact source gives: every record of its input, read once, with the fields it
// fills and why it was rejected, and whether the read reached the end of the input. A
// source knows nothing of the book; the plan decides what the records do to it.
#include <cstdint>
#include <vector>

#include "entry/core/Fields.h"
#include "util/CMString.h"

namespace intake {

// Why a record cannot become an entry. NoName stands apart: an import that adds counts
// it nowhere but in the records read (the book refuses a blank name), while an import
// that updates takes the organization for the name when there is one.
enum class Rejection : uint8_t { None, Unreadable, NoFax, FaxCharacter, MailboxCharacter, NoName, Duplicate };
inline constexpr int kRejectionCount = 7;

// The field's bit in Record::present.
constexpr uint8_t Bit(entry::Column column) { return static_cast<uint8_t>(1u << static_cast<unsigned>(column)); }
inline constexpr uint8_t kEveryField = Bit(entry::Column::Name) | Bit(entry::Column::Fax) |
                                       Bit(entry::Column::Organization) | Bit(entry::Column::Phone) |
                                       Bit(entry::Column::Email) | Bit(entry::Column::Mailbox);

// An entry field of the six an entry keeps (the name for the name parts).
CMString& FieldOf(entry::Fields& fields, entry::Column column);
inline const CMString& FieldOf(const entry::Fields& fields, entry::Column column) {
    return FieldOf(const_cast<entry::Fields&>(fields), column);
}

struct Record {
    // Name, fax number, organization, phone number, e-mail address and mailbox, trimmed.
    entry::Fields fields;
    // The groups the record's entry belongs to, each once.
    std::vector<CMString> groups;
    // The fields the source gives (Bit of each): an update replaces these and keeps the
    // entry's others. The name is given when its parts are.
    uint8_t present = kEveryField;
    Rejection rejection = Rejection::None;
    // The source's own lasting name of the record, when it has one (an address book
    // card's UID), so that a script can follow a person through plans. Empty: none.
    CMString uid;
};

struct SourceRead {
    std::vector<Record> records;
    // False when the input could not be read to its end: the records after those read
    // are unknown, so nothing may be judged gone.
    bool complete = true;
};

}  // namespace intake
