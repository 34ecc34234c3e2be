// Export and import of delimited text through the real model, engine and message
// windows, with files the tests write and read byte for byte.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "importexport/DelimitedTextFile.h"
#include "intake/Applier.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "resources/text_ids.h"
#include "util/Handles.h"

using namespace delimited;

namespace {

const std::vector<Column> kExportColumns = {Column::Name, Column::Fax, Column::Organization,
                                            Column::Phone, Column::Email, Column::Mailbox};

std::string ReadBytes(const CMString& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const CMString& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool Exists(const CMString& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// What the system's ANSI code page keeps of a text.
CMString ThroughAnsi(const CMString& text) { return CMString::FromAnsi(text.ToAnsi()); }

struct Entry {
    CMString name, fax, organization, phone, email;
    uint32_t mailbox = 0;
    friend bool operator==(const Entry& a, const Entry& b) {
        return a.name == b.name && a.fax == b.fax && a.organization == b.organization && a.phone == b.phone &&
               a.email == b.email && a.mailbox == b.mailbox;
    }
    friend bool operator<(const Entry& a, const Entry& b) { return a.name < b.name || (a.name == b.name && a.fax < b.fax); }
};

// The windows a driver saw, less the owner, which becomes active again when a message ends.
std::vector<harness::SeenWindow> Shown(const harness::ModalDriver& driver, HWND owner) {
    std::vector<harness::SeenWindow> shown;
    for (const auto& seen : driver.Seen())
        if (seen.window != owner) shown.push_back(seen);
    return shown;
}

void PrintTo(const Entry& e, std::ostream* os) { *os << e.name.ToUtf8() << " / " << e.fax.ToUtf8(); }

// A phone book open in a model whose main list is the main dialog's real list view.
class Book {
public:
    explicit Book(const CMString& path, const wchar_t* format = L"mpb2") {
        EXPECT_TRUE(testenv::MakeBook(path, format)) << path.ToUtf8();
        m_dialog.Reset(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr, Proc, 0));
        m_list.AttachToDialog(m_dialog.Get());
        m_model = std::make_unique<CPhonebook>(m_dialog.Get());
        m_model->AttachMainList(&m_list);
        EXPECT_TRUE(m_model->Database().Open(path, 0, 0)) << path.ToUtf8();
        m_model->Refresh(true);
    }
    CPhonebook& Model() { return *m_model; }
    HWND Window() const { return m_dialog.Get(); }
    int Capacity() const { return m_model->Database().Capacity(); }

    void Add(const CMString& name, const CMString& fax, const CMString& organization = L"", const CMString& phone = L"",
             const CMString& email = L"", const CMString& mailbox = L"") {
        EXPECT_EQ(m_model->AddFromFields(name, fax, organization, phone, email, mailbox, false, false), 0)
            << name.ToUtf8();
    }
    std::vector<Entry> Entries() {
        RecordList records;
        m_model->Database().SetSearchText(L"");
        m_model->Database().Enumerate(records, false);
        std::vector<Entry> entries;
        for (const auto& r : records)
            entries.push_back({r->name, r->fax, r->organization, r->phone, r->email, r->mailbox});
        std::sort(entries.begin(), entries.end());
        return entries;
    }

private:
    static INT_PTR CALLBACK Proc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

    UniqueWindow m_dialog;
    ListViewUIControl m_list{IDC_LIST};
    std::unique_ptr<CPhonebook> m_model;
};

struct Settings {
    std::vector<Column> columns = kExportColumns;
    const wchar_t* field = L",";
    const wchar_t* record = L"\r\n";
    bool utf8 = true;
};

void Apply(DelimitedTextFile& file, const Settings& s, int = 0) {
    file.Settings().layout.columns = s.columns;
    file.Settings().layout.fieldDelimiter = s.field;
    file.Settings().layout.recordDelimiter = s.record;
    file.Settings().utf8 = s.utf8;
}

// An import as the dialog runs one: the file read once, planned against the book and
// carried out, and the summary shown. read: the file was opened and read to its end.
struct Imported {
    bool read = false;
    intake::Outcome outcome;
    MessageSource summary;
    const ImportCounters& Counters() const { return outcome.counts; }
};

Imported ImportFile(CPhonebook& model, HWND owner, DelimitedTextFile& file, const CMString& path,
                    intake::Mode mode = intake::Mode::Add, bool allowShrink = false) {
    Imported result;
    intake::SourceRead read;
    if (!file.Read(path, read)) return result;
    intake::Applier applier(model, owner);
    intake::Options options;
    options.mode = mode;
    options.allowShrink = allowShrink;
    result.outcome = applier.Run(read, options);
    // A refused sync changed nothing: pbtool tells why, no summary.
    if (result.outcome.plan.refusal == intake::Refusal::None)
        result.summary = applier.ShowSummary(result.outcome, static_cast<unsigned>(model.Database().Capacity()));
    result.read = read.complete && result.outcome.bookRead;
    return result;
}

class ImportExport : public testing::Test {
protected:
    void SetUp() override { testenv::UseLanguage(L"en-US"); }

    // Imports the bytes into the book; the summary shown, if any, lands in seen.
    bool Import(Book& book, const std::string& bytes, const Settings& s, DelimitedTextFile& file,
                std::vector<harness::SeenWindow>& seen, intake::Mode mode = intake::Mode::Add) {
        CMString path = folder.File(L"in.txt");
        WriteBytes(path, bytes);
        Apply(file, s, book.Capacity());
        harness::ModalDriver driver;
        driver.ThenPress(IDC_MESSAGE_BUTTON);
        last = ImportFile(book.Model(), book.Window(), file, path, mode);
        seen = Shown(driver, book.Window());
        return last.read;
    }

    Imported last;

    testenv::TempFolder folder;
};

TEST_F(ImportExport, ExportWritesEntryRowsWithTheDefaultSettings) {
    Book book(folder.File(L"book.mpb2"));
    book.Add(L"Anna Smith", L"555-1234", L"Acme, Inc.", L"+1 555 0100", L"anna@acme.org", L"12");
    book.Add(L"Bob", L"556", L"Say \"hi\"");
    book.Add(L"M\u00fcller \u05d0", L"557");
    ASSERT_EQ(book.Model().AddFromFields(L"Friends", L"", L"", L"", L"", L"", false, false), 0);  // a group
    book.Model().Refresh(true);
    ASSERT_EQ(book.Model().GetItemCount(), 4);

    DelimitedTextFile file(book.Model(), book.Window());
    Apply(file, Settings(), book.Capacity());
    ASSERT_TRUE(file.ExportToFile(folder.File(L"out")));
    EXPECT_EQ(ReadBytes(folder.File(L"out.csv")),
              "Anna Smith,555-1234,\"Acme, Inc.\",+1 555 0100,anna@acme.org,12\r\n"
              "Bob,556,Say \"hi\",,,\r\n"
              "M\xC3\xBCller \xD7\x90,557,,,,\r\n");

    // Rows the storage wrapper's current search would not give are read one by one.
    book.Model().Database().SetSearchText(L"Bob");
    ASSERT_TRUE(file.ExportToFile(folder.File(L"searched.csv")));
    EXPECT_EQ(ReadBytes(folder.File(L"searched.csv")), ReadBytes(folder.File(L"out.csv")));

    // Selected columns in list order, other delimiters, the ANSI code page; the summary
    // counts the letters it has no place for.
    Apply(file, {{Column::Fax, Column::Name}, L"\t", L"\f", false}, book.Capacity());
    unsigned lacking = 0;
    for (const wchar_t* letter : {L"\u00fc", L"\u05d0"}) lacking += ThroughAnsi(letter) != CMString(letter);
    ASSERT_GT(lacking, 0u) << "an ANSI code page with Latin and Hebrew letters";
    {
        harness::ModalDriver driver;
        driver.ThenPress(IDC_MESSAGE_BUTTON);
        ASSERT_TRUE(file.ExportToFile(folder.File(L"ansi.txt")));
        auto shown = Shown(driver, book.Window());
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, app::Text(IDS_EXPORT_CAPTION));
        EXPECT_EQ(shown[0].text, CMString::Formatted(app::Text(IDS_EXPORT_LACKING).c_str(), lacking));
        EXPECT_EQ(file.Summary().message, shown[0].text);
    }
    EXPECT_EQ(ReadBytes(folder.File(L"ansi.txt")), "555-1234\tAnna Smith\f556\tBob\f557\t" +
                                                      CMString(L"M\u00fcller \u05d0").ToAnsi() + "\f");

    // No column selected: each entry is just a record's end.
    Apply(file, {{}}, book.Capacity());
    ASSERT_TRUE(file.ExportToFile(folder.File(L"none.csv")));
    EXPECT_EQ(ReadBytes(folder.File(L"none.csv")), "\r\n\r\n\r\n");
}

TEST_F(ImportExport, ExportOfOnlyGroupsGivesAnEmptyFile) {
    Book book(folder.File(L"groups.mpb2"));
    ASSERT_EQ(book.Model().AddFromFields(L"Team", L"", L"", L"", L"", L"", false, false), 0);
    book.Model().Refresh(true);
    DelimitedTextFile file(book.Model(), book.Window());
    Apply(file, Settings(), book.Capacity());
    ASSERT_TRUE(file.ExportToFile(folder.File(L"groups.csv")));
    ASSERT_TRUE(Exists(folder.File(L"groups.csv")));
    EXPECT_EQ(ReadBytes(folder.File(L"groups.csv")), "");
}

TEST_F(ImportExport, ExportTargetQuestionsAndMessages) {
    Book book(folder.File(L"book.mpb2"));
    book.Add(L"Anna", L"555");
    book.Model().Refresh(true);
    DelimitedTextFile file(book.Model(), book.Window());
    Apply(file, Settings(), book.Capacity());

    struct { const wchar_t* typed; const wchar_t* written; } names[] = {
        {L"plain", L"plain.csv"}, {L"dot.", L"dot.csv"}, {L"mixed.TxT", L"mixed.TxT"}, {L"other.doc", L"other.doc.csv"},
    };
    for (const auto& n : names) {
        harness::ModalDriver driver;
        EXPECT_TRUE(file.ExportToFile(folder.File(n.typed)));
        EXPECT_TRUE(Shown(driver, book.Window()).empty());
        EXPECT_EQ(ReadBytes(folder.File(n.written)), "Anna,555,,,,\r\n") << CMString(n.typed).ToUtf8();
    }

    const CMString existing = folder.File(L"existing.csv");
    const CMString question = app::Text(IDS_LABEL_FILE) + L" " + existing + L"\n" + app::Text(IDS_TARGET_REPLACE);
    struct { int answer; bool result; const char* content; } answers[] = {
        {IDNO, false, "old"}, {IDYES, true, "Anna,555,,,,\r\n"},
    };
    for (const auto& a : answers) {
        WriteBytes(existing, "old");
        harness::ModalDriver driver;
        driver.ThenPress(a.answer);
        EXPECT_EQ(file.ExportToFile(existing), a.result);
        auto shown = Shown(driver, book.Window());
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].caption, app::Text(IDS_EXPORT_CAPTION));
        EXPECT_EQ(shown[0].text, question);
        EXPECT_EQ(ReadBytes(existing), a.content);
    }

    WriteBytes(existing, "kept");
    ASSERT_TRUE(SetFileAttributesW(existing.c_str(), FILE_ATTRIBUTE_READONLY));
    {
        harness::ModalDriver driver;
        driver.ThenPress(IDOK);
        EXPECT_FALSE(file.ExportToFile(existing));
        auto shown = Shown(driver, book.Window());
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text,
                  app::Text(IDS_LABEL_FILE) + L" " + existing + L"\n" + app::Text(IDS_TARGET_READONLY));
    }
    SetFileAttributesW(existing.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadBytes(existing), "kept");

    harness::ModalDriver driver;
    driver.ThenPress(IDOK);
    EXPECT_FALSE(file.ExportToFile(folder.File(L"no such folder\\out.csv")));
    auto shown = Shown(driver, book.Window());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, app::Text(IDS_EXPORT_CAPTION));
    EXPECT_EQ(shown[0].text, app::Text(IDS_FILE_ACCESS_FAILED));
}

TEST_F(ImportExport, RoundTripOfAFullBookInBothEncodings) {
    Book source(folder.File(L"source.mpb2"));
    const int count = source.Capacity();
    ASSERT_EQ(count, 2500);
    for (int i = 0; i < count; ++i) {
        static const wchar_t* const names[] = {L"M\u00fcller, \u00c5got %04d", L"\u05d3\u05d5\u05d3 %04d",
                                               L"\u738b\u5c0f\u660e %04d", L"Smith \"Jr\" %04d"};
        source.Add(CMString::Formatted(names[i % 4], i), CMString::Formatted(L"+1 555-%04d", i),
                   i % 5 ? CMString::Formatted(L"Org %d, Ltd.", i % 7) : CMString(), L"(030) 1234",
                   CMString::Formatted(L"user%d@example.org", i), CMString::Formatted(L"%d", i % 1000));
    }
    source.Model().Refresh(true);
    std::vector<Entry> expected = source.Entries();
    ASSERT_EQ(expected.size(), 2500u);
    // Hyphens never come back in a fax number read from a file.
    for (auto& e : expected) e.fax.Replace(L"-", L"");

    struct { const char* what; Settings settings; } cases[] = {
        {"UTF-8, defaults", Settings()},
        {"ANSI, tab and custom record end", {kExportColumns, L"\t", L"<|>", false}},
        {"UTF-8, the same delimiter for both", {kExportColumns, L";", L";", true}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DelimitedTextFile out(source.Model(), source.Window());
        Apply(out, c.settings, count);
        CMString path = folder.File(CMString::Formatted(L"round%d.txt", n).c_str());
        {
            // The ANSI code page lacks some of these letters: the export says so.
            harness::ModalDriver driver;
            driver.ThenPress(IDC_MESSAGE_BUTTON);
            ASSERT_TRUE(out.ExportToFile(path));
            EXPECT_EQ(Shown(driver, source.Window()).size(), c.settings.utf8 ? 0u : 1u);
        }

        Book target(folder.File(CMString::Formatted(L"target%d.mpb2", n++).c_str()));
        DelimitedTextFile in(target.Model(), target.Window());
        Apply(in, c.settings, count);
        harness::ModalDriver driver;
        const Imported imported = ImportFile(target.Model(), target.Window(), in, path);
        ASSERT_TRUE(imported.read);
        auto shown = Shown(driver, target.Window());
        EXPECT_TRUE(shown.empty()) << (shown.empty() ? "" : shown[0].text.ToUtf8());
        EXPECT_EQ(imported.Counters().read, 2500u);
        EXPECT_EQ(imported.Counters().imported, 2500u);

        std::vector<Entry> want = expected;
        if (!c.settings.utf8) {
            for (auto& e : want) {
                e.name = ThroughAnsi(e.name);
                e.organization = ThroughAnsi(e.organization);
            }
            std::sort(want.begin(), want.end());
        }
        EXPECT_EQ(target.Entries(), want);
    }
}

TEST_F(ImportExport, RoundTripOfAnOlderAnsiBook) {
    Book source(folder.File(L"old.pb"), L"pb");
    ASSERT_EQ(source.Capacity(), 1000);
    ASSERT_FALSE(source.Model().Database().IsWideMode());
    source.Add(ThroughAnsi(L"M\u00fcller, \u00c5got"), L"555-1", L"Caf\u00e9 \"Zur Post\"", L"030 1", L"m@x.de", L"7");
    source.Add(L"Bob", L"556");
    source.Model().Refresh(true);
    std::vector<Entry> expected = source.Entries();
    for (auto& e : expected) e.fax.Replace(L"-", L"");

    const Settings ansi = {kExportColumns, L",", L"\r\n", false};
    DelimitedTextFile out(source.Model(), source.Window());
    Apply(out, ansi, source.Capacity());
    ASSERT_TRUE(out.ExportToFile(folder.File(L"old.csv")));

    Book target(folder.File(L"copy.pb"), L"pb");
    DelimitedTextFile in(target.Model(), target.Window());
    std::vector<harness::SeenWindow> seen;
    ASSERT_TRUE(Import(target, ReadBytes(folder.File(L"old.csv")), ansi, in, seen));
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(target.Entries(), expected);
}

TEST_F(ImportExport, ImportOfUnusualFiles) {
    const std::string huge(1 << 20, 'x');
    const std::string utf16 = std::string("\xFF\xFE", 2) + [] {
        std::wstring text = L"\u05d3\u05d5\u05d3,555\r\nAnna,556\r\n";
        std::string bytes;
        for (wchar_t ch : text) bytes += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
        return bytes;
    }();
    const std::vector<Column> nameFax = {Column::Name, Column::Fax};
    struct Case {
        const char* what;
        std::string bytes;
        Settings settings;
        std::vector<const wchar_t*> names;  // imported, in name order
        uint32_t read;
    } cases[] = {
        {"empty file", "", {nameFax}, {}, 0},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF" "Anna,555\r\n", {nameFax}, {L"Anna"}, 1},
        {"UTF-16LE", utf16, {nameFax}, {L"Anna", L"\u05d3\u05d5\u05d3"}, 2},
        {"custom \\n over CR LF", "Anna,555\r\nBob,556\r\n", {nameFax, L",", L"\n"}, {L"Anna", L"Bob"}, 2},
        {"blank lines and a malformed line in the middle", "Anna,555\r\n\r\n\r\nbroken\r\nBob,556\r\n\r\n",
         {nameFax}, {L"Anna", L"Bob"}, 3},
        {"no record end", "Anna,555\r\nBob,556", {nameFax}, {L"Anna", L"Bob"}, 2},
        {"truncated UTF-8", "Anna,555\r\nM\xC3\xBCller,556\r\nBob,55\xC3", {nameFax}, {L"Anna", L"M\u00fcller"}, 3},
        {"a megabyte without a record end", "Anna,555\r\n" + huge + ",1\r\nBob,556\r\n", {nameFax},
         {L"Anna", L"Bob"}, 3},
        {"a long record with fields beyond the selected ones", "Anna," + std::string(300, '5') + ",x\r\nBob,556",
         {nameFax}, {L"Anna", L"Bob"}, 2},
        {"ANSI", "M\xFCller,555\r\n", {nameFax, L",", L"\r\n", false}, {L"M\u00fcller"}, 1},
        // Read as UTF-8, every such letter would be stored as U+FFFD.
        {"ANSI with the UTF-8 box on", "Bob,556\r\nM\xFCller,555\r\n", {nameFax}, {L"Bob", L"M\u00fcller"}, 2},
        {"UTF-16BE", std::string("\xFE\xFF\0A\0,\0" "5\0" "5\0" "5", 12), {nameFax}, {L"A"}, 1},
        {"name from its parts, custom delimiter, hyphens",
         ";;Anna;;Smith;;555-12\r\nDr. B;;;;;;556\r\n;;;;;;557\r\n",
         {{Column::Name, Column::FirstNamePart, Column::SecondNamePart, Column::Fax}, L";;"},
         {L"Anna Smith", L"Dr. B"}, 3},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Book book(folder.File(CMString::Formatted(L"unusual%d.mpb2", n++).c_str()));
        if (!c.settings.utf8 && ThroughAnsi(L"M\u00fcller") != CMString(L"M\u00fcller")) continue;
        DelimitedTextFile file(book.Model(), book.Window());
        std::vector<harness::SeenWindow> seen;
        ASSERT_TRUE(Import(book, c.bytes, c.settings, file, seen));
        std::vector<Entry> entries = book.Entries();
        std::vector<CMString> names;
        for (const auto& e : entries) names.push_back(e.name);
        EXPECT_EQ(names, std::vector<CMString>(c.names.begin(), c.names.end()));
        EXPECT_EQ(last.Counters().read, c.read);
        EXPECT_EQ(last.Counters().imported, c.names.size());
        // The summary only when something read was not imported.
        EXPECT_EQ(seen.size(), c.read == c.names.size() ? 0u : 1u);
    }
}

TEST_F(ImportExport, SummaryTellsWhatWasNotImported) {
    Book book(folder.File(L"book.mpb2"));
    book.Add(L"Anna", L"555");
    book.Model().Refresh(true);
    DelimitedTextFile file(book.Model(), book.Window());
    std::vector<harness::SeenWindow> seen;
    ASSERT_TRUE(Import(book,
                       "Anna,555\r\n"        // already there
                       "Bob,556-1\r\n"
                       "Carl,fax\r\n"        // a letter in the fax number
                       "Dora,\r\n"           // no fax number
                       "Emil,557,Org,,,12x\r\n"  // a letter in the mailbox
                       "Fred,558\r\n",
                       Settings(), file, seen));
    EXPECT_EQ(last.Counters().read, 6u);
    EXPECT_EQ(last.Counters().imported, 2u);
    EXPECT_EQ(last.Counters().rejected, 3u);
    EXPECT_EQ(last.Counters().alreadyPresent, 1u);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, app::Text(IDS_IMPORT_CAPTION));
    EXPECT_EQ(seen[0].text, CMString::Formatted(app::Text(IDS_IMPORT_SUMMARY).c_str(), 4u, 6u) + L"\n\n" +
                                CMString::Formatted(app::Text(IDS_IMPORT_REJECTED_AND_DUPLICATES).c_str(), 3u, 4u) +
                                L"\n\n" + CMString::Formatted(app::Text(IDS_IMPORT_DUPLICATES).c_str(), 1u, 4u));
    ASSERT_EQ(seen[0].buttons.size(), 1u);
    EXPECT_EQ(seen[0].buttons[0].second, app::Text(IDS_CLOSE));
    EXPECT_EQ(last.summary.message, seen[0].text);

    // Rejections alone take the other paragraph.
    ASSERT_TRUE(Import(book, "Gina,559\r\nHugo,\r\n", Settings(), file, seen));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, CMString::Formatted(app::Text(IDS_IMPORT_SUMMARY).c_str(), 1u, 2u) + L"\n\n" +
                                CMString::Formatted(app::Text(IDS_IMPORT_REJECTED).c_str(), 1u, 1u));
}

TEST_F(ImportExport, ImportIntoAFullBook) {
    Book book(folder.File(L"book.mpb2"));
    std::string file2600;
    for (int i = 0; i < 2600; ++i) file2600 += "Entry " + std::to_string(i) + ",555" + std::to_string(i) + "\r\n";
    DelimitedTextFile file(book.Model(), book.Window());
    std::vector<harness::SeenWindow> seen;
    ASSERT_TRUE(Import(book, file2600, Settings(), file, seen));
    EXPECT_EQ(last.Counters().read, 2600u);
    EXPECT_EQ(last.Counters().imported, 2500u);
    EXPECT_EQ(last.Counters().full, 100u);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, CMString::Formatted(app::Text(IDS_IMPORT_SUMMARY).c_str(), 100u, 2600u) + L"\n\n" +
                                CMString::Formatted(app::Text(IDS_IMPORT_FULL).c_str(), 100u, 2500u));

    // One refused record has a sentence of its own (the list shows only part of the book).
    book.Model().SetSearchText(L"Entry 1");
    book.Model().Refresh(true);
    ASSERT_LT(book.Model().GetItemCount(), 2500);
    ASSERT_TRUE(Import(book, "Late,777\r\n", Settings(), file, seen));
    EXPECT_EQ(last.Counters().full, 1u);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, CMString::Formatted(app::Text(IDS_IMPORT_SUMMARY).c_str(), 1u, 1u) + L"\n\n" +
                                CMString::Formatted(app::Text(IDS_BOOK_FULL).c_str(), 2500u));

    // A list already at capacity stops before the first record.
    book.Model().SetSearchText(L"");
    book.Model().Refresh(true);
    ASSERT_EQ(book.Model().GetItemCount(), 2500);
    ASSERT_TRUE(Import(book, "Later,778\r\n", Settings(), file, seen));
    EXPECT_EQ(last.Counters().read, 0u);
}

// The small disk tests/wine-prefix mounts beside the prefix, or empty where it could not.
CMString SmallDisk() {
    wchar_t prefix[1024] = {};
    if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, 1024)) return {};
    CMString path = CMString(L"Z:") + prefix + L".small-disk";
    path.Replace(L"/", L"\\");
    ULARGE_INTEGER total = {};
    if (!GetDiskFreeSpaceExW(path.c_str(), nullptr, &total, nullptr) || total.QuadPart > (4u << 20)) return {};
    return path;
}

TEST_F(ImportExport, ADiskThatFillsUpStoresNothingAndSaysSo) {
    const CMString disk = SmallDisk();
    if (disk.IsEmpty()) GTEST_SKIP() << "no small disk to fill (mounting one needs root)";
    const CMString target = disk + L"\\full.mpb2";
    DeleteFileW(target.c_str());
    Book book(target);
    std::string lines;
    for (int i = 0; i < 2000; ++i) lines += "Entry " + std::to_string(i) + ",555" + std::to_string(i) + "\r\n";
    const CMString path = folder.File(L"in.txt");
    WriteBytes(path, lines);
    DelimitedTextFile file(book.Model(), book.Window());
    Apply(file, Settings(), book.Capacity());
    harness::ModalDriver driver;
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    last = ImportFile(book.Model(), book.Window(), file, path);
    ASSERT_TRUE(last.read);
    const auto seen = Shown(driver, book.Window());
    EXPECT_EQ(last.Counters().read, 2000u);
    EXPECT_EQ(last.Counters().imported, 0u);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, CMString::Formatted(app::Text(IDS_SAVE_FAILED).c_str(), target.c_str()));
    EXPECT_EQ(seen[1].text, CMString::Formatted(app::Text(IDS_IMPORT_SUMMARY).c_str(), 2000u, 2000u));
    EXPECT_TRUE(book.Entries().empty());
    // The book still takes a change that fits.
    book.Add(L"Small", L"1");
    EXPECT_EQ(book.Entries().size(), 1u);
}

// A file of 1000 records of 69 bytes that another program cuts short, after the 800th,
// once the import has read 100 of them: past what the reader has read ahead by then.
class CutShortFile {
public:
    explicit CutShortFile(const CMString& path) : m_path(path) {
        std::string lines;
        for (int i = 10000; i < 11000; ++i)
            lines += "Entry" + std::to_string(i) + "," + std::to_string(i) + "," + std::string(50, 'o') + "\r\n";
        WriteBytes(path, lines);
        m_other.Reset(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
        EXPECT_TRUE(m_other);
    }
    const CMString& Path() const { return m_path; }
    // At the first report of progress, which comes after 100 records.
    void CutWhileRead(DelimitedTextFile& file) {
        file.Settings().progress = [this](uint64_t, uint64_t) {
            if (m_cut) return;
            m_cut = true;
            LARGE_INTEGER at = {};
            at.QuadPart = 800 * 69;
            EXPECT_TRUE(SetFilePointerEx(m_other.Get(), at, nullptr, FILE_BEGIN) && SetEndOfFile(m_other.Get()));
        };
    }

private:
    CMString m_path;
    UniqueFile m_other;
    bool m_cut = false;
};

// A file that cannot be read to its end (a disk error, a share that goes away; here
// another program cuts it short while it is read) ends the import and says so, keeping
// what came before.
TEST_F(ImportExport, AReadThatFailsPartWayEndsTheImportAndSaysSo) {
    Book book(folder.File(L"book.mpb2"));
    CutShortFile cut(folder.File(L"in.txt"));
    DelimitedTextFile file(book.Model(), book.Window());
    Apply(file, Settings(), book.Capacity());
    cut.CutWhileRead(file);
    harness::ModalDriver driver;
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    last = ImportFile(book.Model(), book.Window(), file, cut.Path());
    EXPECT_FALSE(last.read);
    const auto seen = Shown(driver, book.Window());
    const uint32_t read = last.Counters().read;
    EXPECT_TRUE(read > 100 && read <= 800 && last.Counters().readFailed) << read;
    EXPECT_EQ(book.Entries().size(), read);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, CMString::Formatted(app::Text(IDS_IMPORT_READ_FAILED).c_str(), read));
}

TEST_F(ImportExport, ImportOfAFileThatCannotBeOpened) {
    Book book(folder.File(L"book.mpb2"));
    DelimitedTextFile file(book.Model(), book.Window());
    Apply(file, Settings(), book.Capacity());
    harness::ModalDriver driver;
    driver.ThenPress(IDOK);
    EXPECT_FALSE(ImportFile(book.Model(), book.Window(), file, folder.File(L"missing.csv")).read);
    auto shown = Shown(driver, book.Window());
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, app::Text(IDS_IMPORT_CAPTION));
    EXPECT_EQ(shown[0].text, app::Text(IDS_FILE_ACCESS_FAILED));
}

}  // namespace

// An import that updates: a record whose name is in the book changes that entry in
// place (it keeps its groups), the columns the file lacks keep their values, and what
// is equal is counted unchanged; off, the same file is added beside the entries.
TEST_F(ImportExport, AnImportThatUpdatesFollowsTheFile) {
    const std::string file = "Anna,999,Acme2\r\nBob,556,\r\nCarl,558,New\r\nCarl,560,\r\nEva,600,\r\nNo fax,,\r\n";
    struct Case {
        bool update;
        std::vector<Entry> expected;
        uint32_t added, updated, unchanged, alreadyPresent;
    };
    const Case cases[] = {
        {false,
         {{L"Anna", L"555", L"Acme", L"", L"a@x.org"}, {L"Anna", L"999", L"Acme2"}, {L"Bob", L"556"},
          {L"Carl", L"557"}, {L"Carl", L"558"}, {L"Carl", L"560"}, {L"Dora", L"559"}, {L"Eva", L"600"}},
         3, 0, 0, 2},
        {true,
         {{L"Anna", L"999", L"Acme2", L"", L"a@x.org"}, {L"Bob", L"556"}, {L"Carl", L"557"}, {L"Carl", L"558", L"New"},
          {L"Carl", L"560"}, {L"Dora", L"559"}, {L"Eva", L"600"}},
         2, 2, 1, 0},
    };
    Settings columns;
    columns.columns = {Column::Name, Column::Fax, Column::Organization};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.update);
        Book book(folder.File(c.update ? L"updated.mpb2" : L"added.mpb2"));
        book.Add(L"Anna", L"555", L"Acme", L"", L"a@x.org");
        book.Add(L"Bob", L"556");
        book.Add(L"Carl", L"557");
        book.Add(L"Carl", L"558");
        book.Add(L"Dora", L"559");
        CMString team = L"Team";
        uint16_t group = 0;
        ASSERT_TRUE(book.Model().Database().CreateGroup(team, &group, false));
        ASSERT_TRUE(book.Model().Database().AddGroupMember(group, L"Anna", L"555"));
        DelimitedTextFile import(book.Model(), book.Window());
        std::vector<harness::SeenWindow> seen;
        ASSERT_TRUE(Import(book, file, columns, import, seen, c.update ? intake::Mode::Update : intake::Mode::Add));
        EXPECT_EQ(book.Entries(), c.expected);
        const ImportCounters& n = last.Counters();
        EXPECT_EQ(n.read, 6u);
        EXPECT_EQ(n.imported, c.added);
        EXPECT_EQ(n.updated, c.updated);
        EXPECT_EQ(n.unchanged, c.unchanged);
        EXPECT_EQ(n.alreadyPresent, c.alreadyPresent);
        EXPECT_EQ(n.rejected, 1u);
        // The updated entry is the one that was in the group.
        RecordList members;
        ASSERT_TRUE(book.Model().Database().ReadRecordById(group));
        book.Model().Database().ListGroupMembers(members);
        ASSERT_EQ(members.size(), 1u);
        EXPECT_EQ(CMString(members[0]->fax), CMString(c.update ? L"999" : L"555"));
        if (c.update) {
            ASSERT_EQ(seen.size(), 1u);
            EXPECT_EQ(seen[0].text,
                      CMString::Formatted(app::Text(IDS_IMPORT_UPDATE_SUMMARY).c_str(), 6u, 2u, 2u, 1u, 1u, 0u));
        }
    }
}

// A sync whose file fails part-way removes nothing and stores nothing: what was read
// cannot tell which entries the file still names.
TEST_F(ImportExport, ASyncOfAFileThatFailsPartWayChangesNothing) {
    Book book(folder.File(L"book.mpb2"));
    book.Add(L"Kept", L"1");
    const std::vector<Entry> before = book.Entries();
    CutShortFile cut(folder.File(L"in.txt"));
    DelimitedTextFile file(book.Model(), book.Window());
    Apply(file, Settings(), book.Capacity());
    cut.CutWhileRead(file);
    const Imported result = ImportFile(book.Model(), book.Window(), file, cut.Path(), intake::Mode::Sync, true);
    EXPECT_EQ(result.outcome.plan.refusal, intake::Refusal::ReadFailed);
    EXPECT_FALSE(result.outcome.stored);
    ASSERT_TRUE(book.Model().Database().Open(folder.File(L"book.mpb2"), 0, 0));
    EXPECT_EQ(book.Entries(), before);
}

// A contacts export's groups column ("Categories", "Labels", "Group Membership") puts
// each entry into its groups, made where the book lacks them; the service's own labels
// are no groups.
TEST_F(ImportExport, AGroupsColumnPutsEntriesIntoTheirGroups) {
    Book book(folder.File(L"book.mpb2"));
    CMString existing = L"Kunden";
    ASSERT_TRUE(book.Model().Database().CreateGroup(existing, nullptr, false));
    DelimitedTextFile file(book.Model(), book.Window());
    std::vector<harness::SeenWindow> seen;
    ASSERT_TRUE(Import(book,
                       "Name,Fax,Group Membership\r\n"
                       "Anna,1,Kunden ::: * myContacts ::: Team\r\n"
                       "Bob,2,* starred\r\n"
                       "Carl,3,team\r\n",
                       Settings(), file, seen));
    EXPECT_EQ(last.Counters().imported, 3u);
    PhonebookDB& db = book.Model().Database();
    RecordList records;
    db.Enumerate(records, true);
    std::vector<std::wstring> groups;
    for (const auto& r : records) {
        if (!r->IsGroup()) continue;
        RecordList members;
        if (db.ReadRecordById(r->id)) db.ListGroupMembers(members);
        std::wstring line = r->name;
        for (const auto& m : members) line += L"|" + std::wstring(m->name);
        groups.push_back(line);
    }
    std::sort(groups.begin(), groups.end());
    EXPECT_EQ(groups, (std::vector<std::wstring>{L"Kunden|Anna", L"Team|Anna|Carl"}));
}
