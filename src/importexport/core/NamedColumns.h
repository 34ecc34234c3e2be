#pragma once
// Files other programs export: a first line that names the columns, after which the
// records are read by those names instead of by the column list's order, in the quoted
// form. A file in the program's own layout never has such a line, and is read as
// before.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "importexport/core/DelimitedText.h"
#include "importexport/core/RecordReader.h"
#include "util/CMString.h"

namespace delimited {

// What one column name of a header stands for.
struct ColumnMeaning {
    enum class Kind : uint8_t { None, Field, PhoneType, PhoneValue };
    Kind kind = Kind::None;
    Column field = Column::Name;
    // Among columns that fill the same field, the first non-empty one of the lowest
    // rank is taken.
    uint8_t rank = 0;
    // The number of a phone type/value pair.
    unsigned pair = 0;
};

// The names a header may give its columns: a table of what mail programs and
// spreadsheets write (KnownColumnNames.inc), and the program's own column labels.
class ColumnNames {
public:
    ColumnNames();
    // A label of the column list (in any language) names its column; a name the table
    // already knows keeps its meaning.
    void AddLabel(Column column, const CMString& label);
    ColumnMeaning Meaning(std::wstring_view name) const;
    // The form names are compared in: lower case, without blanks, "-" and "_".
    static std::wstring Key(std::wstring_view name);

private:
    std::unordered_map<std::wstring, ColumnMeaning> m_names;
};

// The phone number or fax number a value of a type/value pair is, by its type ("Work
// Fax", "* Mobile"): a type that names a fax makes a fax number, any other a phone number.
ColumnMeaning PhoneTypeMeaning(std::wstring_view type);

// How the columns of a file's header map to entry fields.
struct Header {
    // The file is read by these names.
    bool named = false;
    // Fields of the header line, and how many of them are understood.
    size_t columnCount = 0;
    size_t recognised = 0;
    CMString fieldDelimiter;
    // Where the first record after the header starts in the file.
    uint64_t dataStart = 0;

    struct Use {
        size_t index;
        Column field;
        uint8_t rank;
    };
    std::vector<Use> uses;
    // Type and value columns of a phone pair; a value without a type is a phone number.
    static constexpr size_t kNoColumn = static_cast<size_t>(-1);
    struct PhonePair {
        size_t type;
        size_t value;
    };
    std::vector<PhonePair> phones;
    // The column naming the groups (categories, labels) a record's entry belongs to.
    size_t groups = kNoColumn;

    // Whether some column can fill the field (a pair with a type may fill the fax number).
    bool Fills(Column field) const;
};

// The header a line gives, split by this delimiter; named is left false.
Header ReadHeaderLine(std::wstring_view line, const CMString& delimiter, const ColumnNames& names);

// Whether the file's first record is a header line, and how the file is read then. It
// is one when, read by position with the chosen layout, it would be rejected as an
// entry, and among its fields at least one names a fax column (a phone type/value pair
// counts as one) and one a name column (the name or a part of it). Its field delimiter
// is the one of the chosen, ",", ";" and tab that splits it into the most names known.
Header RecogniseHeader(ByteSource& source, const FileStart& encoding, const Layout& chosen, const Decoder& ansi,
                       const CharacterRules& rules, const ColumnNames& names);

// The layout the records of a named file are read with: the quoted form with the
// header's field delimiter, the chosen record delimiter and columns.
Layout ReadingLayout(const Header& header, const Layout& chosen);

// The entry one record of a named file gives, from the columns chosen in the column
// list (their order does not matter). The name is the first name column with a value,
// else the first and last name joined by one space; the name parts are taken for it
// when the name or the part is chosen. Values are trimmed; hyphens leave the fax number.
void MapRecord(const std::vector<std::wstring>& fields, const Header& header, const std::vector<Column>& chosen,
               EntryFields& out);
// The same, with the chosen fields the record gives: a column the header has gives its
// field even when its cell is empty; cells past the end of a short row give nothing.
void MapRecord(const std::vector<std::wstring>& fields, const Header& header, const std::vector<Column>& chosen,
               EntryFields& out, entry::FieldSet& given);

// The chosen columns, in their order, that records of the file can fill: what the
// import will take (the name also when only its parts are in the file).
std::vector<Column> FieldsTaken(const Header& header, const std::vector<Column>& chosen);

// Splits, maps and checks one record of a named file, and hands an acceptable one to add.
RecordOutcome ImportNamed(const CMString& record, const Header& header, const Layout& chosen,
                          const CharacterRules& rules, const AddEntry& add);

}  // namespace delimited
