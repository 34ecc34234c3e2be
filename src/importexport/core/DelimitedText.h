#pragma once
// Phone book entries as delimited text: one record per entry, one field per selected
// column. The form has no header line and no escaping, so a file reads back only with
// the settings it was written with.
#include <cstdint>
#include <functional>
#include <vector>

#include "util/CMString.h"

namespace delimited {

// The column kinds, in the column list's initial order.
enum class Column : uint8_t { Name, FirstNamePart, SecondNamePart, Fax, Organization, Phone, Email, Mailbox };
inline constexpr int kColumnCount = 8;

// Text id of the column's label, by which the column list names it.
unsigned ColumnLabelId(Column column);
// The two name parts only make sense when reading: a stored entry has one name.
bool IsOfferedOnExport(Column column);

// The column list as a dialog first shows it: every column offered, in order; on import
// the two name parts start unselected.
struct ColumnItem {
    Column column;
    bool selected;
};
std::vector<ColumnItem> InitialColumns(bool forImport);

struct Layout {
    CMString recordDelimiter = L"\r\n";
    CMString fieldDelimiter = L",";
    // The selected columns, in list order.
    std::vector<Column> columns;

    // An empty delimiter would find a record end everywhere: the defaults stand in.
    const CMString& RecordDelimiter() const;
    const CMString& FieldDelimiter() const;
    bool DelimitersEqual() const { return RecordDelimiter() == FieldDelimiter(); }
};

// The value as written to the file: between quotation marks when it holds the field
// delimiter, otherwise unchanged (inner quotation marks are not doubled).
CMString QuoteField(const CMString& value, const CMString& fieldDelimiter);

// One record as written: the values of the selected columns in order, each quoted as
// needed, separated by the field delimiter and ended by the record delimiter.
CMString FormatRecord(const std::vector<CMString>& values, const Layout& layout);

// A path without ".csv" or ".txt" at its end gets ".csv" (just "csv" after a full stop).
CMString WithExportExtension(const CMString& path);

// Where a record ends in decoded text: the start and length of its record delimiter.
struct RecordEnd {
    bool found = false;
    size_t start = 0;
    size_t length = 0;
};
// The first record delimiter; when it equals the field delimiter, the one that follows
// as many fields as columns are selected (quoted fields may hold the delimiter), which
// is how the writer lays such a record out. complete tells whether more text may follow:
// until it cannot, a quotation mark left open there means the end is not known yet.
RecordEnd FindRecordEnd(std::wstring_view text, const Layout& layout, bool complete = true);

// The values one record gives, trimmed.
struct EntryFields {
    CMString name;
    CMString firstNamePart;
    CMString secondNamePart;
    CMString fax;
    CMString organization;
    CMString phone;
    CMString email;
    CMString mailbox;
};

// Splits a record into the selected columns' values: a value that starts with a quotation
// mark runs to the next one, any other to the next field delimiter. A value with no end
// takes the rest of the record once a name (or part) or the fax number is known; before
// that the record has no usable shape and the result is false. Hyphens leave the fax
// number, and an empty name is composed from the two parts.
bool ParseRecord(const CMString& record, const Layout& layout, EntryFields& out);

enum class RecordCheck { Accepted, NoFax, FaxCharacter, MailboxCharacter };
RecordCheck CheckRecord(const EntryFields& fields, const CMString& allowedFax, const CMString& allowedMailbox);

// What became of one record read; the model's add decides the last three.
enum class RecordOutcome { Imported, Rejected, AlreadyPresent, Full, Refused };

// The model's add: an engine code (0 added, 16 phone book full, 18 already present).
using AddEntry = std::function<int(const EntryFields&)>;

struct CharacterRules {
    CMString allowedFax;
    CMString allowedMailbox;
};

// Parses and checks one record, and hands an acceptable one to add.
RecordOutcome ImportOne(const CMString& record, const Layout& layout, const CharacterRules& rules,
                        const AddEntry& add);

struct ImportCounters {
    uint32_t read = 0;
    uint32_t imported = 0;
    uint32_t rejected = 0;
    uint32_t alreadyPresent = 0;
    uint32_t full = 0;

    void Count(RecordOutcome outcome);
    uint32_t NotImported() const { return read - imported; }
};

// The summary shown when something read was not imported; empty otherwise. text gives
// the language's formats by id.
CMString ImportSummary(const ImportCounters& counters, unsigned capacity,
                       const std::function<CMString(unsigned)>& text);

}  // namespace delimited
