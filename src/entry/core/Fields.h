#pragma once
// The fields of a phone book entry as every source reads them: name, fax number,
// organization, phone number, e-mail address and mailbox (and, while a record is read,
// the name's two parts and the groups text), which fields a record gives, and the
// characters a fax number and a mailbox may hold.
#include <cstdint>

#include "util/CMString.h"

namespace entry {

// The field kinds, in the import column list's initial order.
enum class Column : uint8_t { Name, FirstNamePart, SecondNamePart, Fax, Organization, Phone, Email, Mailbox };
inline constexpr int kColumnCount = 8;

// The values one record gives, trimmed.
struct Fields {
    CMString name;
    CMString firstNamePart;
    CMString secondNamePart;
    CMString fax;
    CMString organization;
    CMString phone;
    CMString email;
    CMString mailbox;
    // A named file's groups column, as it stands (vcard::SplitGroupNames reads it).
    CMString groups;
};

inline CMString& ValueOf(Fields& fields, Column column) {
    switch (column) {
        case Column::Name: return fields.name;
        case Column::FirstNamePart: return fields.firstNamePart;
        case Column::SecondNamePart: return fields.secondNamePart;
        case Column::Fax: return fields.fax;
        case Column::Organization: return fields.organization;
        case Column::Phone: return fields.phone;
        case Column::Email: return fields.email;
        case Column::Mailbox: break;
    }
    return fields.mailbox;
}

// A set of fields a record gives: one bit per column, the parts counting as the name.
// A field outside the set is one the source does not carry, which is not the same as
// one it gives empty: an update keeps the entry's value for it.
using FieldSet = uint8_t;
constexpr FieldSet FieldBit(Column column) {
    if (column == Column::FirstNamePart || column == Column::SecondNamePart) column = Column::Name;
    return static_cast<FieldSet>(1u << static_cast<unsigned>(column));
}

struct CharacterRules {
    CMString allowedFax;
    CMString allowedMailbox;
};

}  // namespace entry
