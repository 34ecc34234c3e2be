#pragma once
// Phone book entries as delimited text: one record per entry, one field per selected
// column. The program's own form has no header line and no escaping, so such a file
// reads back only with the settings it was written with; the quoted form (a header
// line, RFC 4180 quoting) is what other programs write and read.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "entry/core/Fields.h"
#include "util/CMString.h"

namespace delimited {

// The column kinds are the entry's fields, in the column list's initial order.
using entry::Column;
using entry::kColumnCount;
using EntryFields = entry::Fields;
using entry::CharacterRules;

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
    // Fields quoted as RFC 4180 has it: a quoted field may hold delimiters, line ends
    // and doubled quotation marks, and a record ends at a line end (CR LF, LF or CR)
    // or the record delimiter outside quotation marks.
    bool quoted = false;

    // An empty delimiter would find a record end everywhere: the defaults stand in.
    const CMString& RecordDelimiter() const;
    const CMString& FieldDelimiter() const;
    bool DelimitersEqual() const { return RecordDelimiter() == FieldDelimiter(); }
};

// The value as written to the file: between quotation marks when it holds the field
// delimiter, otherwise unchanged (inner quotation marks are not doubled).
CMString QuoteField(const CMString& value, const CMString& fieldDelimiter);

// The quoted form's field: between quotation marks, inner ones doubled, when the value
// holds a quotation mark, CR, LF or a character of either delimiter (for one-character
// delimiters: the delimiter itself), so no delimiter can be found inside or across it.
CMString QuoteCsvField(const CMString& value, const Layout& layout);

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
// In the quoted form, the first line end or record delimiter outside quotation marks;
// while more may follow, a text that ends inside quotation marks or on a CR has none yet.
RecordEnd FindRecordEnd(std::wstring_view text, const Layout& layout, bool complete = true);

// Walks text of the quoted form, keeping where it stands (inside quotation marks or
// not) from one piece of text to the next.
class QuotedScan {
public:
    explicit QuotedScan(const Layout& layout);
    // Where in text the record ends (npos: not in it), and the length of its end.
    size_t Find(std::wstring_view text, size_t& endLength);

private:
    enum class State : uint8_t { FieldStart, Plain, Quoted, AfterQuote };
    State m_state = State::FieldStart;
    std::wstring_view m_field;
    std::wstring_view m_record;
};

// The fields of one record of the quoted form, unquoted: a field that starts with a
// quotation mark runs to the mark that closes it ("" inside reads as one mark, and what
// follows the closing mark up to the delimiter is kept); a missing closing mark takes
// the rest. Any other field runs to the next field delimiter, marks and all.
void SplitQuotedRecord(std::wstring_view record, std::wstring_view delimiter, std::vector<std::wstring>& fields);

// A record with nothing in it: white space only, or in the quoted form also nothing but
// field delimiters and quotation marks (the empty rows a spreadsheet leaves).
bool IsBlankRecord(std::wstring_view record, const Layout& layout);

// Splits a record into the selected columns' values: a value that starts with a quotation
// mark runs to the next one, any other to the next field delimiter. A value with no end
// takes the rest of the record once a name (or part) or the fax number is known; before
// that the record has no usable shape and the result is false. Hyphens leave the fax
// number, and an empty name is composed from the two parts.
bool ParseRecord(const CMString& record, const Layout& layout, EntryFields& out);
// The same, with the columns the record reaches: those after the line's end are not given.
bool ParseRecord(const CMString& record, const Layout& layout, EntryFields& out, entry::FieldSet& given);

enum class RecordCheck { Accepted, NoFax, FaxCharacter, MailboxCharacter };
RecordCheck CheckRecord(const EntryFields& fields, const CMString& allowedFax, const CMString& allowedMailbox);

// What became of one record read; the model's add decides all but Rejected.
enum class RecordOutcome { Imported, Rejected, AlreadyPresent, Full, Refused, Updated, Unchanged };

// The model's add: an engine code (0 added, 16 phone book full, 18 already present), or
// for an import that updates one of these two.
inline constexpr int kEntryUpdated = 1000;
inline constexpr int kEntryUnchanged = 1001;
using AddEntry = std::function<int(const EntryFields&)>;
// What the add's code makes of the record.
RecordOutcome OutcomeOf(int addCode);

// Parses and checks one record, and hands an acceptable one to add.
RecordOutcome ImportOne(const CMString& record, const Layout& layout, const CharacterRules& rules,
                        const AddEntry& add);

struct ImportCounters {
    uint32_t read = 0;
    uint32_t imported = 0;
    uint32_t rejected = 0;
    uint32_t alreadyPresent = 0;
    uint32_t full = 0;
    // The file could not be read to its end: the records after those read are unknown.
    bool readFailed = false;
    // An import that updates: entries changed in place, and records equal to their entry.
    uint32_t updated = 0;
    uint32_t unchanged = 0;
    // Records the book refused for another reason (a blank name in an import that adds);
    // and, besides the records, entries a sync removed.
    uint32_t other = 0;
    uint32_t removed = 0;

    void Count(RecordOutcome outcome);
    uint32_t NotImported() const { return read - imported - updated - unchanged; }
    // Records whose entry the book has now: added, updated or already equal.
    uint32_t Accepted() const { return imported + updated + unchanged; }
};

// The summary shown when something read was not imported or the file could not be read
// to its end; empty otherwise. text gives the language's formats by id. An import that
// updates always has one: what it did to how many records.
CMString ImportSummary(const ImportCounters& counters, unsigned capacity,
                       const std::function<CMString(unsigned)>& text, bool updating = false);

}  // namespace delimited
