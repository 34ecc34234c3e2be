// Header lines of other programs' exports (written here after their documented column
// lists), and how their records map to entries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrintCMString.h"
#include "importexport/core/NamedColumns.h"

using namespace delimited;

namespace {

class Bytes : public ByteSource {
public:
    explicit Bytes(std::string bytes) : m_bytes(std::move(bytes)) {}
    uint64_t Size() const override { return m_bytes.size(); }
    size_t ReadAt(uint64_t offset, char* buffer, size_t size) override {
        if (offset >= m_bytes.size()) return 0;
        return m_bytes.copy(buffer, size, static_cast<size_t>(offset));
    }

private:
    std::string m_bytes;
};

const CharacterRules kRules = {L"0123456789 +()/.*#,-", L"0123456789"};

Layout ImportDefaults() {
    Layout layout;
    for (const ColumnItem& item : InitialColumns(true))
        if (item.selected) layout.columns.push_back(item.column);
    return layout;
}

// The column labels of the three shipped languages, as the program adds them.
ColumnNames ShippedNames() {
    ColumnNames names;
    const struct { Column column; const wchar_t* labels[3]; } labels[] = {
        {Column::Name, {L"Name", L"Name", L"\u05e9\u05dd"}},
        {Column::FirstNamePart, {L"First name", L"Vorname", L"\u05e9\u05dd \u05e4\u05e8\u05d8\u05d9"}},
        {Column::SecondNamePart, {L"Last name", L"Nachname", L"\u05e9\u05dd \u05de\u05e9\u05e4\u05d7\u05d4"}},
        {Column::Fax, {L"Fax number", L"Faxnummer", L"\u05de\u05e1\u05e4\u05e8 \u05e4\u05e7\u05e1"}},
        {Column::Organization, {L"Organization", L"Organisation", L"\u05d0\u05e8\u05d2\u05d5\u05df"}},
        {Column::Phone, {L"Phone number", L"Telefonnummer", L"\u05de\u05e1\u05e4\u05e8 \u05d8\u05dc\u05e4\u05d5\u05df"}},
        {Column::Email, {L"E-mail address", L"E-Mail-Adresse", L"\u05db\u05ea\u05d5\u05d1\u05ea \u05d3\u05d5\u05d0\u05e8"}},
        {Column::Mailbox, {L"Mailbox", L"Postfach", L"\u05ea\u05d9\u05d1\u05ea \u05d3\u05d5\u05d0\u05e8"}},
    };
    for (const auto& l : labels)
        for (const wchar_t* label : l.labels) names.AddLabel(l.column, label);
    return names;
}

Header Recognise(const std::wstring& text, const Layout& layout = ImportDefaults()) {
    Bytes source(CMString(text).ToUtf8());
    return RecogniseHeader(source, DetectFileEncoding(source, true), layout, {}, kRules, ShippedNames());
}

const wchar_t kAddressBook[] =
    L"First Name,Last Name,Display Name,Nickname,Primary Email,Secondary Email,Screen Name,Work Phone,Home Phone,"
    L"Fax Number,Pager Number,Mobile Number,Home Address,Home Address 2,Home City,Home County,Home ZipCode,"
    L"Home Country,Work Address,Work Address 2,Work City,Work County,Work ZipCode,Work Country,Job Title,"
    L"Department,Organization,Web Page 1,Web Page 2,Birth Year,Birth Month,Birth Day,Custom 1,Custom 2,"
    L"Custom 3,Custom 4,Notes\r\n";
const wchar_t kQuotedExport[] =
    L"\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",\"Suffix\",\"Company\",\"Department\",\"Job Title\","
    L"\"Business Street\",\"Business City\",\"Business Fax\",\"Business Phone\",\"Home Fax\",\"Home Phone\","
    L"\"Mobile Phone\",\"E-mail Address\",\"E-mail Display Name\",\"Notes\"\r\n";
const wchar_t kContacts[] =
    L"Name,Given Name,Additional Name,Family Name,Nickname,Notes,Group Membership,E-mail 1 - Type,"
    L"E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,Organization 1 - Type,"
    L"Organization 1 - Name,Organization 1 - Title\n";

}  // namespace

TEST(NamedColumns, HeaderLinesOfOtherProgramsAndOurOwn) {
    struct Case {
        const char* what;
        std::wstring text;
        const wchar_t* delimiter;
        size_t columns;
        size_t recognised;
    } cases[] = {
        {"address book export", kAddressBook, L",", 37, 10},
        {"every field quoted", kQuotedExport, L",", 18, 9},
        {"contacts export with type/value pairs", kContacts, L",", 16, 9},
        {"spreadsheet in a German setting", L"Name;Fax;Firma;Telefon;E-Mail\r\n", L";", 5, 5},
        {"tab-separated, names in another case and spacing", L"DISPLAY_NAME\tfax-number\tE Mail\r\n", L"\t", 3, 3},
        {"our own export with a header, English",
         L"Name,Fax number,Organization,Phone number,E-mail address,Mailbox\r\n", L",", 6, 6},
        {"German", L"Name;Faxnummer;Organisation;Telefonnummer;E-Mail-Adresse;Postfach\r\n", L";", 6, 6},
        {"Hebrew", L"\u05e9\u05dd,\u05de\u05e1\u05e4\u05e8 \u05e4\u05e7\u05e1,\u05d0\u05e8\u05d2\u05d5\u05df\r\n",
         L",", 3, 3},
        {"a byte-order mark and blank lines before it", L"\ufeff\r\n\r\nName,Fax\r\nAnna,555\r\n", L",", 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Header header = Recognise(c.text);
        ASSERT_TRUE(header.named);
        EXPECT_EQ(header.fieldDelimiter, CMString(c.delimiter));
        EXPECT_EQ(header.columnCount, c.columns);
        EXPECT_EQ(header.recognised, c.recognised);
    }
}

TEST(NamedColumns, LinesThatAreNoHeader) {
    struct Case {
        const char* what;
        std::wstring text;
        Layout layout = ImportDefaults();
    } cases[] = {
        {"a record of the program's own layout", L"Anna Smith,555-1234,Acme,030 1,a@b.org,12\r\n"},
        // "Name" and "Fax" would be its values: it would import as an entry.
        {"names that import as data", L"Name,555,Fax,,,\r\n"},
        {"a name column without a fax column", L"Name,Company,Phone,E-mail\r\n"},
        {"a fax column without a name column", L"Fax,Company\r\n"},
        {"a phone type without its value", L"Name,Phone 1 - Type,Phone 2 - Value\r\n"},
        {"a rejected record of unknown words", L"Anna,fax?,Acme\r\n"},
        {"an empty file", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(Recognise(c.text, c.layout).named);
    }
}

TEST(NamedColumns, RecordsTakeTheFirstValueInPriority) {
    constexpr entry::FieldSet kUnchecked = 0xFF;
    constexpr entry::FieldSet kAllButMailbox =
        entry::FieldBit(Column::Name) | entry::FieldBit(Column::Fax) | entry::FieldBit(Column::Organization) |
        entry::FieldBit(Column::Phone) | entry::FieldBit(Column::Email);
    const Layout all = ImportDefaults();
    Layout noOrganization = all;
    noOrganization.columns = {Column::Name, Column::Fax, Column::Phone};
    Layout firstPartOnly = all;
    firstPartOnly.columns = {Column::FirstNamePart, Column::Fax};
    struct Case {
        const char* what;
        std::wstring header;
        std::wstring record;
        Layout layout;
        EntryFields expected;
        // The fields the record gives, when the row says.
        entry::FieldSet given = kUnchecked;
    } cases[] = {
        {"business fax before home fax", kQuotedExport,
         L"\"Dr.\",\"Anna\",\"\",\"Smith\",\"\",\"Acme, Inc.\",\"\",\"\",\"Main St. 1\r\nSuite \"\"B\"\"\",\"Berlin\","
         L"\"+49 30 111-2\",\"030 5\",\"+49 30 999\",\"\",\"\",\"anna@acme.org\",\"Anna (anna@acme.org)\",\"two\nlines\"",
         all, {L"Anna Smith", L"Anna", L"Smith", L"+49 30 1112", L"Acme, Inc.", L"030 5", L"anna@acme.org", L""},
         kAllButMailbox},
        {"home fax when the business fax is empty", kQuotedExport,
         L"\"\",\"Bob\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"556\",\"030 6\",\"0170 1\",\"\",\"\",\"\"",
         all, {L"Bob", L"Bob", L"", L"556", L"", L"030 6", L"", L""}},
        {"display name before first and last", kAddressBook,
         L"Anna,Smith,Dr. Anna Smith,,a@b.org,,,030 1,,555-1,,0170,,,,,,,,,,,,,,,Acme,,,,,,,,,,",
         all, {L"Dr. Anna Smith", L"Anna", L"Smith", L"5551", L"Acme", L"030 1", L"a@b.org", L""}},
        {"mobile when no other phone", kAddressBook, L"Anna,,,,,,,,,555,,0170 2",
         noOrganization, {L"Anna", L"Anna", L"", L"555", L"", L"0170 2", L"", L""}},
        {"a pair typed as a fax is the fax number", kContacts,
         L"Carl Cole,Carl,,Cole,,,* myContacts,* Work,c@x.org,Mobile,0170 3,Work Fax,+1 555 0100 ::: +1 555 0101,,Acme,",
         all, {L"Carl Cole", L"Carl", L"Cole", L"+1 555 0100", L"Acme", L"0170 3", L"c@x.org", L""}, kAllButMailbox},
        {"a pair holding a fax gives no phone, an empty pair nothing, an empty cell its field", kContacts,
         L"Dana Diaz,Dana,,Diaz,,,,,d@x.org,Work Fax,555 1,,,,,", all,
         {L"Dana Diaz", L"Dana", L"Diaz", L"555 1", L"", L"", L"d@x.org", L""},
         kAllButMailbox & ~entry::FieldBit(Column::Phone)},
        {"a short row gives only the cells it has", kAddressBook, L"Anna,Smith,,,a@b.org,,,030 1,,555", all,
         {L"Anna Smith", L"Anna", L"Smith", L"555", L"", L"030 1", L"a@b.org", L""},
         kAllButMailbox & ~entry::FieldBit(Column::Organization)},
        {"columns not chosen are not taken", L"Name;Fax;Firma;Telefon\r\n", L"M\u00fcller;555;Acme;030",
         noOrganization, {L"M\u00fcller", L"", L"", L"555", L"", L"030", L"", L""}},
        {"a name part alone", kAddressBook, L"Anna,Smith,Dr. Anna Smith,,,,,,,555", firstPartOnly,
         {L"Anna", L"Anna", L"", L"555", L"", L"", L"", L""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Header header = Recognise(c.header + L"x,y\r\n", c.layout);
        ASSERT_TRUE(header.named);
        std::vector<EntryFields> added;
        const RecordOutcome outcome = ImportNamed(c.record, header, c.layout, kRules, [&](const EntryFields& f) {
            added.push_back(f);
            return 0;
        });
        ASSERT_EQ(outcome, RecordOutcome::Imported);
        const EntryFields& f = added.at(0);
        if (c.given != kUnchecked) {
            std::vector<std::wstring> split;
            SplitQuotedRecord(c.record, header.fieldDelimiter.view(), split);
            EntryFields mapped;
            entry::FieldSet given = 0;
            MapRecord(split, header, c.layout.columns, mapped, given);
            EXPECT_EQ(given, c.given);
        }
        EXPECT_EQ(f.name, c.expected.name);
        EXPECT_EQ(f.firstNamePart, c.expected.firstNamePart);
        EXPECT_EQ(f.secondNamePart, c.expected.secondNamePart);
        EXPECT_EQ(f.fax, c.expected.fax);
        EXPECT_EQ(f.organization, c.expected.organization);
        EXPECT_EQ(f.phone, c.expected.phone);
        EXPECT_EQ(f.email, c.expected.email);
        EXPECT_EQ(f.mailbox, c.expected.mailbox);
    }
}
