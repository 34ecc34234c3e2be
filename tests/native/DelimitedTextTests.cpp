#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrintCMString.h"
#include "importexport/core/DelimitedText.h"
#include "importexport/core/RecordReader.h"
#include "resources/text_ids.h"

using namespace delimited;

namespace {

const std::vector<Column> kExportColumns = {Column::Name, Column::Fax, Column::Organization,
                                            Column::Phone, Column::Email, Column::Mailbox};

Layout MakeLayout(std::vector<Column> columns, const wchar_t* field = L",", const wchar_t* record = L"\r\n") {
    Layout layout;
    layout.columns = std::move(columns);
    layout.fieldDelimiter = field;
    layout.recordDelimiter = record;
    return layout;
}

std::string Utf8(const std::wstring& text) { return CMString(text).ToUtf8(); }

// A file in memory; optionally hands out at most `chunk` bytes per read, as a partial read
// would, and fails to read from byte `failFrom` on, as a disk or a share that goes away does.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string bytes, size_t chunk = 0, size_t failFrom = std::string::npos)
        : m_bytes(std::move(bytes)), m_chunk(chunk), m_failFrom(failFrom) {}
    uint64_t Size() const override { return m_bytes.size(); }
    size_t ReadAt(uint64_t offset, char* buffer, size_t size) override {
        ++reads;
        maxRead = std::max(maxRead, size);
        const size_t readable = std::min(m_bytes.size(), m_failFrom);
        if (offset >= readable) return 0;
        size_t n = std::min<size_t>(size, readable - static_cast<size_t>(offset));
        if (m_chunk) n = std::min(n, m_chunk);
        m_bytes.copy(buffer, n, static_cast<size_t>(offset));
        return n;
    }
    int reads = 0;
    size_t maxRead = 0;

private:
    std::string m_bytes;
    size_t m_chunk;
    size_t m_failFrom;
};

// Every record the reader gives; an overlong one shows as "<overlong>", a failed read
// as "<error>" (after which the reader is asked once more).
std::vector<std::wstring> ReadAll(MemorySource& source, const Layout& layout, bool utf8) {
    RecordReader reader(source, layout, utf8);
    std::vector<std::wstring> records;
    CMString record;
    for (bool failed = false;;) {
        auto status = reader.Next(record);
        if (status == RecordReader::Status::End) break;
        if (status == RecordReader::Status::Error) {
            records.push_back(L"<error>");
            if (failed) break;
            failed = true;
            continue;
        }
        records.push_back(status == RecordReader::Status::Overlong ? L"<overlong>" : record.str());
        if (records.size() > 10000) break;
    }
    return records;
}

std::vector<std::wstring> ReadAll(const std::string& bytes, const Layout& layout, bool utf8) {
    MemorySource source(bytes);
    return ReadAll(source, layout, utf8);
}

}  // namespace

TEST(DelimitedText, QuoteFieldOnlyWhenTheValueHoldsTheFieldDelimiter) {
    struct { const wchar_t* value; const wchar_t* delimiter; const wchar_t* written; } cases[] = {
        {L"Acme, Inc.", L",", L"\"Acme, Inc.\""},
        {L"Say \"hi\"", L",", L"Say \"hi\""},          // inner marks are not doubled
        {L"Say \"hi\", Bob", L",", L"\"Say \"hi\", Bob\""},
        {L"two\r\nlines", L",", L"two\r\nlines"},      // the record delimiter alone is not quoted
        {L"", L",", L""},
        {L"a\tb", L"\t", L"\"a\tb\""},
        {L"a;b", L";;", L"a;b"},                       // the whole delimiter, not its first character
        {L"a;;b", L";;", L"\"a;;b\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(QuoteField(c.value, c.delimiter), CMString(c.written)) << Utf8(c.value);
}

TEST(DelimitedText, RecordsAreWrittenInColumnOrder) {
    struct { Layout layout; std::vector<CMString> values; const wchar_t* line; } cases[] = {
        {MakeLayout(kExportColumns), {L"Anna", L"555-1", L"Acme, Inc.", L"", L"a@b.org", L"12"},
         L"Anna,555-1,\"Acme, Inc.\",,a@b.org,12\r\n"},
        {MakeLayout({Column::Fax, Column::Name}, L"\t", L"\f"), {L"555", L"Anna"}, L"555\tAnna\f"},
        {MakeLayout({}), {}, L"\r\n"},                 // no column: just the record's end
        {MakeLayout({Column::Name}, L"", L""), {L"a,b"}, L"\"a,b\"\r\n"},  // empty delimiters: the defaults
    };
    for (const auto& c : cases) EXPECT_EQ(FormatRecord(c.values, c.layout), CMString(c.line));
}

TEST(DelimitedText, ExportExtensionRule) {
    struct { const wchar_t* typed; const wchar_t* used; } cases[] = {
        {L"C:\\out\\book", L"C:\\out\\book.csv"},
        {L"C:\\out\\book.", L"C:\\out\\book.csv"},
        {L"C:\\out\\book.csv", L"C:\\out\\book.csv"},
        {L"C:\\out\\book.TxT", L"C:\\out\\book.TxT"},
        {L"C:\\out\\book.CSV", L"C:\\out\\book.CSV"},
        {L"C:\\out\\book.doc", L"C:\\out\\book.doc.csv"},
        {L"C:\\out\\bookcsv", L"C:\\out\\bookcsv.csv"},
        {L"", L".csv"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithExportExtension(c.typed), CMString(c.used)) << Utf8(c.typed);
}

TEST(DelimitedText, ParseRecordValues) {
    constexpr entry::FieldSet kSelected = 0xFF;
    constexpr entry::FieldSet kNameFax = entry::FieldBit(Column::Name) | entry::FieldBit(Column::Fax);
    constexpr entry::FieldSet kAllButMailbox = kNameFax | entry::FieldBit(Column::Organization) |
                                               entry::FieldBit(Column::Phone) | entry::FieldBit(Column::Email);
    const Layout all = MakeLayout(kExportColumns);
    const Layout nameFax = MakeLayout({Column::Name, Column::Fax});
    const Layout parts = MakeLayout({Column::Name, Column::FirstNamePart, Column::SecondNamePart, Column::Fax});
    struct Case {
        const char* what;
        Layout layout;
        const wchar_t* record;
        EntryFields expected;
        // The fields the record gives; by default every selected column.
        entry::FieldSet given = kSelected;
    } cases[] = {
        {"all columns, quoted organization", all,
         L"Anna Smith,555-12-34,\"Acme, Inc.\",+1 555,anna@acme.org,12",
         {L"Anna Smith", L"", L"", L"5551234", L"Acme, Inc.", L"+1 555", L"anna@acme.org", L"12"}},
        {"white space and the CR of a CR LF file read by \\n", nameFax, L"  Anna \t,  555 1\r",
         {L"Anna", L"", L"", L"555 1"}},
        {"custom delimiter, fax without a delimiter after it takes the rest",
         MakeLayout({Column::Name, Column::Fax}, L"##"), L"Anna##555-1-2",
         {L"Anna", L"", L"", L"55512"}},
        {"fields beyond the selected columns are left alone", nameFax, L"Anna,555,extra",
         {L"Anna", L"", L"", L"555"}},
        {"white space left by hyphens", nameFax, L"Anna, - 555 -", {L"Anna", L"", L"", L"555"}},
        {"tab", MakeLayout({Column::Fax, Column::Name}, L"\t"), L"555\tAnna, Bob",
         {L"Anna, Bob", L"", L"", L"555"}},
        {"embedded quotation mark cuts the value", nameFax, L"\"Say \"hi\"\",555",
         {L"Say", L"", L"", L"i\"\""}},
        {"every leading quotation mark goes", nameFax, L"\"\"\"Anna\",555", {L"Anna", L"", L"", L"555"}},
        {"an empty quoted value keeps the next one's mark", all,
         L"\"Anna\",\"+49 1 2\",\"\",\"+49 30 5\",\"a@b.example\"",
         {L"Anna", L"", L"", L"+49 1 2", L"", L"+49 30 5", L"a@b.example"}, kAllButMailbox},
        {"an empty quoted value before a longer delimiter",
         MakeLayout({Column::Name, Column::Organization, Column::Fax}, L"##"), L"Anna##\"\"##555",
         {L"Anna", L"", L"", L"555"}},
        {"two marks with more after them still all go", nameFax, L"\"\"x\",555", {L"x", L"", L"", L"555"}},
        {"closing mark at the very end", nameFax, L"Anna,\"555\"", {L"Anna", L"", L"", L"555"}},
        {"a short line gives only the columns it reaches", all, L"Anna,555", {L"Anna", L"", L"", L"555"}, kNameFax},
        {"a closing mark ends the line", all, L"Anna,\"555\"", {L"Anna", L"", L"", L"555"}, kNameFax},
        {"a delimiter at the end gives the next column empty", all, L"Anna,555,", {L"Anna", L"", L"", L"555"},
         kNameFax | entry::FieldBit(Column::Organization)},
        {"an empty quoted value at the end is given", all, L"Anna,555,\"\"", {L"Anna", L"", L"", L"555"},
         kNameFax | entry::FieldBit(Column::Organization)},
        {"unclosed mark after the name: the rest", nameFax, L"Anna,\"555", {L"Anna", L"", L"", L"555"}},
        {"name from its parts", parts, L",Anna,Smith,555", {L"Anna Smith", L"Anna", L"Smith", L"555"}},
        {"one part alone leaves no trailing space", parts, L",,Smith,555", {L"Smith", L"", L"Smith", L"555"}},
        {"a name given wins over the parts", parts, L"Dr. A,Anna,Smith,555",
         {L"Dr. A", L"Anna", L"Smith", L"555"}},
        {"non-ASCII", nameFax, L"\u00c5ngstr\u00f6m \u05d0\u05d1,+49-30",
         {L"\u00c5ngstr\u00f6m \u05d0\u05d1", L"", L"", L"+4930"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EntryFields f;
        entry::FieldSet given = 0;
        ASSERT_TRUE(ParseRecord(c.record, c.layout, f, given));
        entry::FieldSet selected = 0;
        for (Column column : c.layout.columns) selected |= entry::FieldBit(column);
        EXPECT_EQ(given, c.given == kSelected ? selected : c.given);
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

TEST(DelimitedText, RecordWithNoEndBeforeNameOrFaxIsUnusable) {
    struct { Layout layout; const wchar_t* record; } cases[] = {
        {MakeLayout({Column::Name, Column::Fax}), L"Anna"},
        {MakeLayout({Column::Name, Column::Fax}), L""},
        {MakeLayout({Column::Name, Column::Fax}), L"\"Anna,555"},
        {MakeLayout({Column::Organization, Column::Name, Column::Fax}), L"Acme"},
        {MakeLayout({Column::Name, Column::Fax}, L";"), L"Anna,555"},
    };
    for (const auto& c : cases) {
        EntryFields f;
        EXPECT_FALSE(ParseRecord(c.record, c.layout, f)) << Utf8(c.record);
    }
}

TEST(DelimitedText, ChecksOfFaxAndMailbox) {
    const CMString fax = L"0123456789 +()/.*#,-", mailbox = L"0123456789";
    struct { const wchar_t* fax; const wchar_t* mailbox; RecordCheck check; } cases[] = {
        {L"+1 (555) 12/34.5*#", L"", RecordCheck::Accepted},
        {L"555", L"123", RecordCheck::Accepted},
        {L"", L"1", RecordCheck::NoFax},
        {L"555x", L"", RecordCheck::FaxCharacter},
        {L"\u0665\u0665", L"", RecordCheck::FaxCharacter},
        {L"555", L"12a", RecordCheck::MailboxCharacter},
        {L"555", L" 1", RecordCheck::MailboxCharacter},
    };
    for (const auto& c : cases) {
        EntryFields f;
        f.fax = c.fax;
        f.mailbox = c.mailbox;
        EXPECT_EQ(CheckRecord(f, fax, mailbox), c.check) << Utf8(c.fax) << " / " << Utf8(c.mailbox);
    }
}

TEST(DelimitedText, RecordEndWhenBothDelimitersAreTheSame) {
    const Layout same = MakeLayout({Column::Name, Column::Fax}, L",", L",");
    struct { const wchar_t* text; bool complete; bool found; size_t start; } cases[] = {
        {L"Anna,555,Bob,666,", true, true, 8},
        {L"\"Smith, Anna\",555,Bob,666,", true, true, 17},
        {L"Anna,555", true, false, 0},
        {L"\"Smith, Anna", false, false, 0},           // the closing mark may still come
        {L"\"Smith, Anna,555,", true, true, 12},       // it cannot: the field is plain
    };
    for (const auto& c : cases) {
        RecordEnd end = FindRecordEnd(c.text, same, c.complete);
        EXPECT_EQ(end.found, c.found) << Utf8(c.text);
        if (c.found) {
            EXPECT_EQ(end.start, c.start) << Utf8(c.text);
        }
    }
    RecordEnd crlf = FindRecordEnd(L"a,1\r\nb", MakeLayout({Column::Name, Column::Fax}));
    EXPECT_TRUE(crlf.found);
    EXPECT_EQ(crlf.start, 3u);
    EXPECT_EQ(crlf.length, 2u);
}

TEST(DelimitedText, ReaderSplitsFilesIntoRecords) {
    const Layout nameFax = MakeLayout({Column::Name, Column::Fax});
    const std::string longName(300, 'x');
    const std::string hugeName(RecordReader::kMaxRecordBytes + 5000, 'y');
    // 239 bytes of "é" (two bytes each) put a character across the 240-byte window's end.
    std::string accents = "a";
    for (int i = 0; i < 150; ++i) accents += "\xC3\xA9";
    std::wstring accentsWide = L"a" + std::wstring(150, L'\u00e9');
    struct Case {
        const char* what;
        std::string bytes;
        Layout layout;
        bool utf8;
        std::vector<std::wstring> records;
    } cases[] = {
        {"empty file", "", nameFax, true, {}},
        {"CR LF records", "Anna,1\r\nBob,2\r\n", nameFax, true, {L"Anna,1", L"Bob,2"}},
        {"no final record end", "Anna,1\r\nBob,2", nameFax, true, {L"Anna,1", L"Bob,2"}},
        {"blank records are passed over", "\r\nAnna,1\r\n\r\n  \t\r\nBob,2\r\n\r\n", nameFax, true,
         {L"Anna,1", L"Bob,2"}},
        {"\\n over CR LF keeps the CR", "Anna,1\r\nBob,2\r\n", MakeLayout({Column::Name, Column::Fax}, L",", L"\n"),
         true, {L"Anna,1\r", L"Bob,2\r"}},
        {"form feed", "Anna,1\fBob,2\f", MakeLayout({Column::Name, Column::Fax}, L",", L"\f"), true,
         {L"Anna,1", L"Bob,2"}},
        {"multi-byte record delimiter advances by its bytes", "M\xC3\xBCller,1\xC2\xA7" "Bob,2\xC2\xA7",
         MakeLayout({Column::Name, Column::Fax}, L",", L"\u00a7"), true, {L"M\u00fcller,1", L"Bob,2"}},
        {"characters beyond the BMP", "\xF0\x9F\x98\x80,1\r\nBob,2", nameFax, true, {L"\U0001F600,1", L"Bob,2"}},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBFM\xC3\xBCller,1\r\n", nameFax, true, {L"M\u00fcller,1"}},
        {"byte-order mark with UTF-8 off", "\xEF\xBB\xBFM\xC3\xBCller,1\r\n", nameFax, false, {L"M\u00fcller,1"}},
        {"ANSI (Latin-1 here)", "M\xFCller,1\r\nBob,2", nameFax, false, {L"M\u00fcller,1", L"Bob,2"}},
        {"UTF-16LE with its mark", std::string("\xFF\xFE" "A\0,\0" "1\0\r\0\n\0\xD0\x05,\0" "2\0", 18), nameFax,
         true, {L"A,1", L"\u05d0,2"}},
        {"UTF-16LE without a mark, a later record starting with a non-Latin letter",
         std::string("A\0,\0" "1\0\r\0\n\0\xD0\x05,\0" "2\0\r\0\n\0", 20), nameFax, true, {L"A,1", L"\u05d0,2"}},
        {"truncated UTF-8 at the end", "Anna,1\r\nM\xC3", nameFax, true, {L"Anna,1", L"M\ufffd"}},
        {"bad UTF-8 inside a record keeps the next aligned", "A\xFF\xC3(,1\r\nBob,2", nameFax, true,
         {L"A\ufffd\ufffd(,1", L"Bob,2"}},
        {"record longer than the window is read whole", longName + ",1\r\nBob,2", nameFax, true,
         {std::wstring(300, L'x') + L",1", L"Bob,2"}},
        {"record end split by the window's end", std::string(238, 'x') + ",\r\nBob,2", nameFax, true,
         {std::wstring(238, L'x') + L",", L"Bob,2"}},
        {"character split by the window's end", accents + ",1\r\nBob,2", nameFax, true,
         {accentsWide + L",1", L"Bob,2"}},
        {"absurdly long record is skipped, the rest is read", "Anna,1\r\n" + hugeName + ",2\r\nBob,3", nameFax,
         true, {L"Anna,1", L"<overlong>", L"Bob,3"}},
        {"absurdly long last record", "Anna,1\r\n" + hugeName, nameFax, true, {L"Anna,1", L"<overlong>"}},
        {"same delimiters: as many fields as columns", "Anna,1,\"Smith, Bob\",2,", MakeLayout({Column::Name, Column::Fax}, L",", L","),
         true, {L"Anna,1", L"\"Smith, Bob\",2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadAll(c.bytes, c.layout, c.utf8), c.records);
    }
}

// The reader holds a bounded window, and reads it once for the many records it holds.
TEST(DelimitedText, ReaderHoldsOneWindowForManyRecords) {
    std::string file;
    for (int i = 0; i < 50; ++i) file += "Name " + std::to_string(i) + ",555" + std::to_string(i) + "\r\n";
    MemorySource source(file);
    RecordReader reader(source, MakeLayout({Column::Name, Column::Fax}), true);
    CMString record;
    int records = 0;
    while (reader.Next(record) == RecordReader::Status::Record) ++records;
    EXPECT_EQ(records, 50);
    EXPECT_EQ(reader.WindowSize(), 240u);
    EXPECT_LE(source.maxRead, 32u * 1024);
    EXPECT_LE(source.reads, 3);
}

TEST(DelimitedText, PartialReadsReadOnAndAFailedReadStopsTheReader) {
    const Layout nameFax = MakeLayout({Column::Name, Column::Fax});
    const std::string three = "Anna,1\r\nBob,2\r\nCarl,3\r\n";
    // Records of 1000 bytes: the first is read whole in a window that ends at byte 1920.
    const std::string a(995, 'a'), b(995, 'b');
    const std::string wide = a + ",1\r\n" + b + ",2\r\n" + a + ",3\r\n";
    const std::string overlong = "Anna,1\r\n" + std::string(RecordReader::kMaxRecordBytes + 5000, 'y') + ",2\r\nBob,3";
    const size_t npos = std::string::npos;
    struct Case {
        const char* what;
        std::string bytes;
        size_t chunk, failFrom;
        std::vector<std::wstring> records;
    } cases[] = {
        {"a few bytes at a time", three, 5, npos, {L"Anna,1", L"Bob,2", L"Carl,3"}},
        {"failing inside a record", wide, 0, 1950, {CMString::FromUtf8(a + ",1").str(), L"<error>", L"<error>"}},
        {"failing at once", three, 0, 0, {L"<error>", L"<error>"}},
        {"failing while an overlong record is passed over", overlong, 0, 70000,
         {L"Anna,1", L"<overlong>", L"<error>", L"<error>"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.bytes, c.chunk, c.failFrom);
        EXPECT_EQ(ReadAll(source, nameFax, true), c.records);
    }
}

// Past 64 KiB a record is passed over from near the end of what was read; a character
// beyond the BMP there is two units where wchar_t has 16 bits, and a cut between them
// must leave the reader on the file's unit boundaries.
TEST(DelimitedText, OverlongUtf16RecordWithASurrogatePairAtTheCut) {
    const size_t units = RecordReader::kMaxRecordBytes / 2;
    const size_t atCut = units - 7;  // where the reader goes on after the first 64 KiB
    for (bool bigEndian : {false, true}) {
        for (size_t pairAt : {atCut - 2, atCut - 1, atCut, atCut + 1, units - 1, units}) {
            SCOPED_TRACE(testing::Message() << (bigEndian ? "BE" : "LE") << ", pair at unit " << pairAt);
            std::u16string text = u"Anna,1\r\n";
            std::u16string huge(units + 3000, u'y');
            huge.replace(pairAt, 2, u"\U0001F600");
            text += huge + u",2\r\nBob,3\r\n";
            std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
            for (char16_t unit : text) {
                const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
                bytes += bigEndian ? std::string{high, low} : std::string{low, high};
            }
            EXPECT_EQ(ReadAll(bytes, MakeLayout({Column::Name, Column::Fax}), true),
                      (std::vector<std::wstring>{L"Anna,1", L"<overlong>", L"Bob,3"}));
        }
    }
}

TEST(DelimitedText, ImportCountsWhatBecameOfEachRecord) {
    const CharacterRules rules = {L"0123456789 +()/.*#,-", L"0123456789"};
    const Layout layout = MakeLayout({Column::Name, Column::Fax, Column::Mailbox});
    struct { const wchar_t* record; int code; RecordOutcome outcome; } cases[] = {
        {L"Anna,555-1,12", 0, RecordOutcome::Imported},
        {L"Anna,555-1,12", 18, RecordOutcome::AlreadyPresent},
        {L"Bob,556,", 16, RecordOutcome::Full},
        {L"Bob,556,", 1, RecordOutcome::Refused},
        {L"Carl,,1", 0, RecordOutcome::Rejected},
        {L"Carl,fax,1", 0, RecordOutcome::Rejected},
        {L"Carl,555,x", 0, RecordOutcome::Rejected},
        {L"Carl", 0, RecordOutcome::Rejected},
    };
    ImportCounters counters;
    std::vector<EntryFields> added;
    for (const auto& c : cases) {
        RecordOutcome outcome = ImportOne(c.record, layout, rules, [&](const EntryFields& f) {
            added.push_back(f);
            return c.code;
        });
        EXPECT_EQ(outcome, c.outcome) << Utf8(c.record);
        counters.Count(outcome);
    }
    EXPECT_EQ(added.size(), 4u);  // rejected records never reach the model
    EXPECT_EQ(added[0].fax, CMString(L"5551"));
    EXPECT_EQ(added[0].mailbox, CMString(L"12"));
    EXPECT_EQ(counters.read, 8u);
    EXPECT_EQ(counters.imported, 1u);
    EXPECT_EQ(counters.alreadyPresent, 1u);
    EXPECT_EQ(counters.full, 1u);
    EXPECT_EQ(counters.rejected, 4u);
}

TEST(DelimitedText, SummaryParagraphs) {
    auto text = [](unsigned id) -> CMString {
        switch (id) {
            case IDS_IMPORT_SUMMARY: return L"S%u/%u";
            case IDS_IMPORT_REJECTED: return L"R%u/%u";
            case IDS_IMPORT_REJECTED_AND_DUPLICATES: return L"RD%u/%u";
            case IDS_IMPORT_DUPLICATES: return L"D%u/%u";
            case IDS_BOOK_FULL: return L"F1 of %u";
            case IDS_IMPORT_FULL: return L"F%u of %u";
            case IDS_IMPORT_READ_FAILED: return L"E%u";
        }
        return L"?";
    };
    struct { ImportCounters counters; const wchar_t* summary; } cases[] = {
        {{0, 0, 0, 0, 0}, L""},
        {{5, 5, 0, 0, 0}, L""},
        {{5, 3, 2, 0, 0}, L"S2/5\n\nR2/2"},
        {{6, 3, 2, 1, 0}, L"S3/6\n\nRD2/3\n\nD1/3"},
        {{4, 3, 0, 1, 0}, L"S1/4\n\nD1/1"},
        {{2600, 2500, 0, 0, 100}, L"S100/2600\n\nF100 of 2500"},
        {{3, 2, 0, 0, 1}, L"S1/3\n\nF1 of 2500"},
        {{3, 2, 0, 0, 0}, L"S1/3"},                    // a refusal with no paragraph of its own
        {{5, 5, 0, 0, 0, true}, L"E5"},                // a failed read says so even when all were imported
        {{5, 3, 2, 0, 0, true}, L"E5\n\nS2/5\n\nR2/2"},
    };
    for (const auto& c : cases) EXPECT_EQ(ImportSummary(c.counters, 2500, text), CMString(c.summary));
}

namespace {

// Every record of a file in the quoted form, split into its fields.
std::vector<std::vector<std::wstring>> ReadQuoted(const std::string& bytes, const wchar_t* field = L",",
                                                  const wchar_t* record = L"\r\n") {
    Layout layout = MakeLayout({Column::Name, Column::Fax}, field, record);
    layout.quoted = true;
    MemorySource source(bytes);
    RecordReader reader(source, layout, true);
    std::vector<std::vector<std::wstring>> records;
    CMString text;
    for (RecordReader::Status status; (status = reader.Next(text)) != RecordReader::Status::End;) {
        std::vector<std::wstring> fields;
        if (status == RecordReader::Status::Overlong) fields = {L"<overlong>"};
        else SplitQuotedRecord(text.view(), layout.FieldDelimiter().view(), fields);
        records.push_back(fields);
        if (records.size() > 100) break;
    }
    return records;
}

}  // namespace

TEST(DelimitedText, QuotedFormRecordsAndFields) {
    // Built by appending: GCC 12 sees a false overlap in "..." + std::string.
    std::string overlong = "a,1\r\n\"";
    overlong.append(RecordReader::kMaxRecordBytes, 'x');
    overlong += "\r\n\",1\r\nb,2\r\n";
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::vector<std::wstring>> records;
        const wchar_t* field = L",";
        const wchar_t* record = L"\r\n";
    } cases[] = {
        {"line breaks inside quotes", "\"Anna\",\"Main St. 1\r\nBerlin\",555\r\nBob,\"a\nb\rc\",556\r\n",
         {{L"Anna", L"Main St. 1\r\nBerlin", L"555"}, {L"Bob", L"a\nb\rc", L"556"}}},
        {"doubled quotation marks", "\"Say \"\"hi\"\"\",\"\"\"\",\"\"\r\n", {{L"Say \"hi\"", L"\"", L""}}},
        {"delimiters inside quotes", "\"Smith, Anna\",\"a;b\",c\r\n", {{L"Smith, Anna", L"a;b", L"c"}}},
        {"a mark inside a plain field is kept", "5\" disk,555\r\n", {{L"5\" disk", L"555"}}},
        {"text after the closing mark is kept", "\"Anna\" B,555\r\n", {{L"Anna B", L"555"}}},
        {"missing closing mark at the end of the file", "Anna,555\r\nBob,\"556\r\nrest",
         {{L"Anna", L"555"}, {L"Bob", L"556\r\nrest"}}},
        {"mixed line ends", "a,1\nb,2\rc,3\r\nd,4", {{L"a", L"1"}, {L"b", L"2"}, {L"c", L"3"}, {L"d", L"4"}}},
        {"empty rows of a spreadsheet are passed over", "a;1\r\n;;\r\n\"\";\r\n\r\nb;2\r\n",
         {{L"a", L"1"}, {L"b", L"2"}}, L";"},
        {"the chosen record delimiter ends a record too", "a,1\fb,\"2\f3\"\f", {{L"a", L"1"}, {L"b", L"2\f3"}}, L",",
         L"\f"},
        {"a record over 64 KiB is skipped, quotes and all", overlong,
         {{L"a", L"1"}, {L"<overlong>"}, {L"b", L"2"}}},
        {"trailing delimiter gives an empty last field", "a,1,\r\n", {{L"a", L"1", L""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ReadQuoted(c.bytes, c.field, c.record), c.records);
    }
}

// Whatever a value holds, the quoted form writes it so that it reads back.
TEST(DelimitedText, QuotedFormWritesWhatReadsBack) {
    struct { const wchar_t* value; const wchar_t* written; } cases[] = {
        {L"Anna", L"Anna"},
        {L"Smith, Anna", L"\"Smith, Anna\""},
        {L"Say \"hi\"", L"\"Say \"\"hi\"\"\""},
        {L"two\r\nlines", L"\"two\r\nlines\""},
        {L"a\nb", L"\"a\nb\""},
        {L"", L""},
    };
    Layout layout = MakeLayout({Column::Name, Column::Fax});
    layout.quoted = true;
    std::vector<CMString> values;
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteCsvField(c.value, layout), CMString(c.written)) << Utf8(c.value);
        values.emplace_back(c.value);
    }
    for (auto [field, record] : {std::pair{L",", L"\r\n"}, {L";", L"\f"}, {L"<>", L"|"}, {L"\t", L"\n"}}) {
        layout.fieldDelimiter = field;
        layout.recordDelimiter = record;
        values.push_back(CMString(L"x") + field + record + L"y");
        const CMString line = FormatRecord(values, layout) + L"next";
        const RecordEnd end = FindRecordEnd(line.view(), layout);
        ASSERT_TRUE(end.found);
        EXPECT_EQ(end.start + end.length, static_cast<size_t>(line.GetLength() - 4)) << Utf8(field);
        std::vector<std::wstring> back;
        SplitQuotedRecord(line.view().substr(0, end.start), layout.FieldDelimiter().view(), back);
        std::vector<std::wstring> want;
        for (const CMString& value : values) want.push_back(value.str());
        EXPECT_EQ(back, want) << Utf8(field);
        values.pop_back();
    }
}

TEST(DelimitedText, EncodingOfAWholeFile) {
    // A valid sequence across the validity check's 64 KiB steps, and one cut by the file's end.
    const std::string straddling = std::string(64 * 1024 - 1, 'a') + "\xC3\xBC";
    struct Case {
        const char* what;
        std::string bytes;
        bool utf8Chosen;
        Encoding encoding;
        size_t mark;
        unsigned codePage = 1252;
    } cases[] = {
        {"UTF-8 mark", "\xEF\xBB\xBF" "M\xFCller", true, Encoding::Utf8, 3},
        {"UTF-16LE mark", "\xFF\xFE" "A\0", true, Encoding::Utf16LE, 2},
        {"UTF-16BE mark", "\xFE\xFF\0A", false, Encoding::Utf16BE, 2},
        {"valid UTF-8", "M\xC3\xBCller,555", true, Encoding::Utf8, 0},
        {"ANSI letters where UTF-8 is chosen", "M\xFCller,555\r\nBob,556", true, Encoding::Ansi, 0},
        {"an ANSI letter far into the file", std::string(100000, 'a') + "\xE9,555", true, Encoding::Ansi, 0},
        {"a sequence cut by the file's end", "M\xC3\xBCller,555\r\nM\xC3", true, Encoding::Utf8, 0},
        {"an ANSI letter that ends a file of ASCII", "Anna,555,Caf\xE9", true, Encoding::Ansi, 0},
        {"a sequence across a read", straddling, true, Encoding::Utf8, 0},
        {"UTF-8 not chosen", "M\xC3\xBCller", false, Encoding::Ansi, 0},
        {"UTF-16LE without a mark", std::string("A\0,\0", 4), true, Encoding::Utf16LE, 0},
        // With UTF-8 as the system's ANSI code page, every ANSI letter read otherwise is U+FFFD.
        {"ANSI chosen, UTF-8 code page", "M\xC3\xBCller", false, Encoding::Utf8, 0, kUtf8CodePage},
        {"not UTF-8, UTF-8 code page", "M\xFCller", true, Encoding::Utf8, 0, kUtf8CodePage},
        {"a mark still decides", std::string("\xFF\xFE" "A\0", 4), false, Encoding::Utf16LE, 2, kUtf8CodePage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySource source(c.bytes);
        const FileStart start = DetectFileEncoding(source, c.utf8Chosen, c.codePage);
        EXPECT_EQ(start.encoding, c.encoding);
        EXPECT_EQ(start.byteOrderMarkLength, c.mark);
    }
    // UTF-16BE text reads as such.
    const std::string be("\xFE\xFF\0A\0,\0" "1\0\r\0\n\x05\xD0\0,\0" "2", 18);
    MemorySource source(be);
    RecordReader reader(source, MakeLayout({Column::Name, Column::Fax}), DetectFileEncoding(source, true));
    CMString record;
    ASSERT_EQ(reader.Next(record), RecordReader::Status::Record);
    EXPECT_EQ(record, CMString(L"A,1"));
    ASSERT_EQ(reader.Next(record), RecordReader::Status::Record);
    EXPECT_EQ(record, CMString(L"\u05d0,2"));
}

