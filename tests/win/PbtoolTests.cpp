// pbtool's import, export and convert, run as a script runs them: a separate process on
// real books, read back through the storage wrapper.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "PrintCMString.h"
#include "data/PhonebookDB.h"
#include "PbtoolRun.h"
#include "harness/TestEnvironment.h"

namespace {

using namespace pbtooltest;



TEST(Pbtool, ImportOfAnExportRestoresEveryEntryInEachFormat) {
    struct Case {
        const wchar_t* format;
        const wchar_t* options;
    } cases[] = {
        {L"mpb2", L""},
        {L"mpb", L"--field-delimiter tab --record-delimiter lf"},
        {L"pb", L""},
        // Columns in another order, named by a header line, in quoted form; import
        // reads them by those names whatever its own columns say.
        {L"mpb2", L"--header --columns email,mailbox,fax,phone,name,organization --field-delimiter ;"},
        {L"mpb", L"--field-delimiter \"\\t|\" --record-delimiter ff"},
    };
    testenv::TempFolder folder;
    int n = 0;
    for (const auto& c : cases) {
        const CMString options = c.options;
        SCOPED_TRACE(CMString(c.format).ToUtf8() + " " + options.ToUtf8());
        const CMString stem = folder.File(std::to_wstring(++n).c_str());
        const CMString source = stem + L"." + c.format, target = stem + L"-copy." + c.format, text = stem + L".txt";
        ASSERT_EQ(Pbtool(folder, L"sample " + Q(source) + L" --entries 120 --groups 2").code, 0);
        ASSERT_EQ(Pbtool(folder, L"create " + Q(target) + L" --format " + c.format).code, 0);
        const CMString importOptions = options.Find(L"--header") >= 0 ? CMString(L"--field-delimiter ;") : options;
        ASSERT_EQ(Pbtool(folder, L"export " + Q(source) + L" " + Q(text) + L" " + options).code, 0);

        ToolRun first = Pbtool(folder, L"import " + Q(target) + L" " + Q(text) + L" " + importOptions);
        EXPECT_EQ(first.code, 0);
        EXPECT_NE(first.out.find("120 read, 120 imported, 0 rejected, 0 already present, 0 without room"),
                  std::string::npos) << first.out;
        std::vector<std::wstring> entries = Contents(source, true);
        entries.erase(std::remove_if(entries.begin(), entries.end(), [](const std::wstring& l) { return l[0] == L'G'; }),
                      entries.end());
        EXPECT_EQ(Contents(target), entries);

        // Again: nothing new, and the dialog's summary says why.
        ToolRun again = Pbtool(folder, L"import " + Q(target) + L" " + Q(text) + L" " + importOptions);
        EXPECT_EQ(again.code, 0);
        EXPECT_NE(again.out.find("120 read, 0 imported, 0 rejected, 120 already present"), std::string::npos) << again.out;
        EXPECT_NE(again.out.find("already in the phone book"), std::string::npos) << again.out;
        EXPECT_EQ(Contents(target).size(), 120u);
    }
}

TEST(Pbtool, ConvertKeepsEveryEntryAndGroupMember) {
    struct Case {
        const wchar_t* old;
        const wchar_t* target;  // null: the default name
        int entries, groups;
    } cases[] = {{L"full.pb", nullptr, 990, 10}, {L"wide.mpb", L"elsewhere.mpb2", 300, 12}};
    testenv::TempFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.old).ToUtf8());
        const CMString old = folder.File(c.old);
        ASSERT_EQ(Pbtool(folder, L"sample " + Q(old) + L" --entries " + std::to_wstring(c.entries) + L" --groups " +
                                     std::to_wstring(c.groups)).code, 0);
        const std::vector<std::wstring> before = Contents(old);
        ASSERT_EQ(before.size(), static_cast<size_t>(c.entries + c.groups));
        const CMString target = c.target ? folder.File(c.target) : CurrentFormatName(old);
        ToolRun run = Pbtool(folder, L"convert " + Q(old) + (c.target ? L" " + Q(target) : CMString()));
        EXPECT_EQ(run.code, 0) << run.out;
        EXPECT_EQ(Contents(target), before);
        EXPECT_EQ(Contents(old), before);
        // Once there, the new book stays unless it is to be replaced.
        EXPECT_EQ(Pbtool(folder, L"convert " + Q(old) + L" " + Q(target)).code, 1);
        EXPECT_EQ(Pbtool(folder, L"convert " + Q(old) + L" " + Q(target) + L" --replace").code, 0);
        EXPECT_EQ(Contents(target), before);
    }
}

TEST(Pbtool, BadArgumentsAndBadFilesGiveTheirExitCodes) {
    testenv::TempFolder folder;
    const CMString book = folder.File(L"book.mpb2"), ansi = folder.File(L"old.pb"), full = folder.File(L"full.mpb");
    const CMString text = folder.File(L"book.csv"), locked = folder.File(L"locked.mpb2");
    const CMString guarded = folder.File(L"guarded.mpb2"), older = folder.File(L"older.mpb2");
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(book) + L" --entries 5").code, 0);
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(ansi) + L" --entries 5").code, 0);
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(full) + L" --entries 1000").code, 0);
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(locked) + L" --entries 5").code, 0);
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(guarded) + L" --entries 5").code, 0);
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(folder.File(L"older.mpb")) + L" --entries 5").code, 0);
    ASSERT_TRUE(MoveFileW(folder.File(L"older.mpb").c_str(), older.c_str()));
    ASSERT_EQ(Pbtool(folder, L"export " + Q(book) + L" " + Q(text)).code, 0);
    const CMString fresh = folder.File(L"fresh.csv");
    WriteText(fresh, "Zora Neu,0301234\r\n");
    SetFileAttributesW(guarded.c_str(), FILE_ATTRIBUTE_READONLY);
    // Another program has this one open for changes.
    PhonebookDB writer;
    writer.SetWideMode(true);
    writer.SetCurrentFormat(true);
    ASSERT_TRUE(writer.Open(locked, 0, 0));
    ASSERT_FALSE(writer.IsReadOnly());

    struct Case {
        CMString arguments;
        int code;
    } cases[] = {
        {L"import " + Q(book), 2},
        {L"import " + Q(book) + L" " + Q(text) + L" --columns name,organization", 2},
        {L"import " + Q(book) + L" " + Q(text) + L" --columns fax,phone", 2},
        {L"import " + Q(book) + L" " + Q(text) + L" --columns name,fax,name", 2},
        {L"export " + Q(book) + L" " + Q(text) + L" --columns name,first-part", 2},
        {L"import " + Q(book) + L" " + Q(text) + L" --field-delimiter 12345", 2},
        {L"import " + Q(book) + L" " + Q(text) + L" --record-delimiter", 2},
        {L"import " + Q(book) + L" " + Q(text) + L" --utf8 --ansi", 2},
        {L"import " + Q(ansi) + L" " + Q(text) + L" --utf8", 2},
        {L"import " + Q(book) + L" " + Q(text) + L" --replace", 2},
        {L"convert " + Q(ansi) + L" " + Q(folder.File(L"new.mpb")), 2},
        {L"convert " + Q(older), 2},
        {L"import " + Q(folder.File(L"missing.mpb2")) + L" " + Q(text), 1},
        {L"import " + Q(book) + L" " + Q(folder.File(L"missing.csv")), 1},
        {L"import " + Q(book) + L" " + Q(folder.Path().Left(folder.Path().GetLength() - 1)), 1},
        // A full book: the records find no room, and the dry run ends as the run does.
        {L"import " + Q(full) + L" " + Q(fresh), 1},
        {L"import " + Q(full) + L" " + Q(fresh) + L" --dry-run", 1},
        {L"sync " + Q(book) + L" " + Q(text) + L" --adopt", 2},
        {L"import " + Q(locked) + L" " + Q(text) + L" --wait 0", 1},
        {L"import " + Q(guarded) + L" " + Q(text), 1},
        {L"export " + Q(book) + L" " + Q(text), 1},
        {L"export " + Q(folder.File(L"missing.mpb2")) + L" " + Q(folder.File(L"x.csv")), 1},
        {L"convert " + Q(book), 1},
        {L"convert " + Q(folder.File(L"missing.pb")), 1},
        // Export reads: another writer is no obstacle.
        {L"export " + Q(locked) + L" " + Q(folder.File(L"locked.csv")), 0},
        {L"--help", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.ToUtf8());
        EXPECT_EQ(Pbtool(folder, c.arguments).code, c.code);
    }
    writer.Close();
    // None of them changed a book.
    EXPECT_EQ(Contents(book).size(), 5u);
    EXPECT_EQ(Contents(full).size(), 1000u);
    EXPECT_EQ(Contents(older).size(), 5u);
    SetFileAttributesW(guarded.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// create and sample on a book that is there: refused unless --replace is given, and
// every argument is checked before the file is touched.
TEST(Pbtool, CreateAndSampleReplaceAnExistingBookOnlyWhenTold) {
    testenv::TempFolder folder;
    struct Case {
        const wchar_t* book;  // there with two entries before the command
        const wchar_t* arguments;
        int code;
        size_t left;  // entries and groups afterwards
    } cases[] = {
        {L"kept.mpb2", L"create %s", 1, 2},
        {L"kept.mpb", L"create %s --format mpb", 1, 2},
        {L"kept.pb", L"create %s", 1, 2},
        {L"replaced.mpb2", L"create %s --replace", 0, 0},
        {L"replaced.mpb", L"create %s --format mpb --replace", 0, 0},
        {L"replaced.pb", L"create %s --replace", 0, 0},
        {L"wrongformat.mpb2", L"create %s --format pb --replace", 2, 2},
        {L"unknownformat.mpb2", L"create %s --format mpb3 --replace", 2, 2},
        {L"samplekept.mpb2", L"sample %s --entries 5", 1, 2},
        {L"samplekept.pb", L"sample %s --entries 5 --groups 1", 1, 2},
        {L"samplereplaced.mpb2", L"sample %s --entries 5 --groups 1 --replace", 0, 6},
        {L"samplereplaced.pb", L"sample %s --entries 5 --replace", 0, 5},
        {L"toomany.mpb", L"sample %s --entries 1000 --groups 1 --replace", 2, 2},
        {L"noentries.mpb2", L"sample %s --groups 1 --replace", 2, 2},
        {L"badcount.mpb2", L"sample %s --entries many --replace", 2, 2},
        {L"extra.mpb2", L"sample %s %s --entries 5 --replace", 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.book).ToUtf8() + " " + CMString(c.arguments).ToUtf8());
        const CMString book = folder.File(c.book);
        ASSERT_EQ(Pbtool(folder, L"sample " + Q(book) + L" --entries 2").code, 0);
        ASSERT_EQ(Contents(book).size(), 2u);
        EXPECT_EQ(Pbtool(folder, CMString::Formatted(c.arguments, Q(book).c_str(), Q(book).c_str())).code, c.code);
        EXPECT_EQ(Contents(book).size(), c.left);
    }
    // A write-protected book stays, --replace or not.
    const CMString guarded = folder.File(L"guarded.mpb2");
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(guarded) + L" --entries 2").code, 0);
    SetFileAttributesW(guarded.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Pbtool(folder, L"create " + Q(guarded) + L" --replace").code, 1);
    EXPECT_EQ(Pbtool(folder, L"sample " + Q(guarded) + L" --entries 5 --replace").code, 1);
    SetFileAttributesW(guarded.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Contents(guarded).size(), 2u);
}


// A book kept following a nightly export: sync updates, adds and removes in one go, and
// refuses, changing nothing, when the file cannot be trusted; import --update only
// updates and adds.
TEST(Pbtool, SyncAndImportThatUpdatesFollowTheFile) {
    testenv::TempFolder folder;
    const std::string staff = "Anna,555\r\nBob,556\r\nCarl,557\r\nDora,558\r\nEva,559\r\n";
    const std::string newer = "Anna,999,Acme\r\nBob,556\r\nCarl,557\r\nEva,559\r\nFritz,560\r\n";
    const std::vector<std::wstring> followed = {L"E|Anna|999|Acme|||0", L"E|Bob|556||||0",  L"E|Carl|557||||0",
                                                L"E|Eva|559||||0",      L"E|Fritz|560||||0", L"G|Team|Eva/559"};
    struct Case {
        const char* what;
        const wchar_t* command;
        std::string file;
        int code;
        const char* said;  // part of its line on standard output
        std::vector<std::wstring> expected;  // empty: the book as it was
        std::string first = "";  // imported with --update before the command
    } cases[] = {
        {"sync", L"sync", newer, 0, "5 read, 1 added, 1 updated, 3 unchanged, 1 removed, 0 rejected", followed},
        {"import that updates", L"import --update", newer, 0, "5 read, 1 added, 1 updated, 3 unchanged, 0 rejected",
         {L"E|Anna|999|Acme|||0", L"E|Bob|556||||0", L"E|Carl|557||||0", L"E|Dora|558||||0", L"E|Eva|559||||0",
          L"E|Fritz|560||||0", L"G|Team|Dora/558|Eva/559"}},
        {"more than half gone", L"sync", "Anna,555\r\nBob,556\r\n", 1, "", {}},
        {"more than half gone, allowed", L"sync --allow-shrink", "Anna,555\r\nBob,556\r\n", 0, "3 removed",
         {L"E|Anna|555||||0", L"E|Bob|556||||0", L"G|Team"}},
        {"nothing accepted", L"sync", "Nobody,\r\nNoone,\r\n", 1, "", {}},
        {"an empty file", L"sync --allow-shrink", "", 1, "", {}},
        {"a sync managing a group: it removes only members, what it gives joins, and Anna made by hand stays",
         L"sync --group team", "Anna,999\r\nEva,559\r\nFritz,560\r\n", 0,
         "3 read, 1 added, 0 updated, 1 unchanged, 1 removed, 0 rejected, 0 without room, 1 left alone",
         {L"E|Anna|555||||0", L"E|Bob|556||||0", L"E|Carl|557||||0", L"E|Eva|559||||0", L"E|Fritz|560||||0",
          L"G|Team|Eva/559|Fritz/560"}},
        {"adopting, Anna joins the group and is updated", L"sync --group team --adopt",
         "Anna,999\r\nEva,559\r\nFritz,560\r\n", 0,
         "3 read, 1 added, 1 updated, 1 unchanged, 1 removed, 0 rejected, 0 without room",
         {L"E|Anna|999||||0", L"E|Bob|556||||0", L"E|Carl|557||||0", L"E|Eva|559||||0", L"E|Fritz|560||||0",
          L"G|Team|Anna/999|Eva/559|Fritz/560"}},
        {"its dry run", L"sync --group Team --dry-run", "Anna,999\r\nEva,559\r\nFritz,560\r\n", 0,
         "\"Dora\", fax \"558\"", {}},
        {"its dry run names what it leaves alone", L"sync --group Team --dry-run --json",
         "Anna,999\r\nEva,559\r\nFritz,560\r\n", 0, "\"leftAlone\":[{\"id\":", {}},
        {"a file of short lines keeps the fields it does not carry", L"sync",
         "Anna,999\r\nBob,556\r\nCarl,557\r\nDora,558\r\nEva,559\r\n", 0,
         "5 read, 0 added, 1 updated, 4 unchanged, 0 removed, 0 rejected",
         {L"E|Anna|999|Acme|030 1|anna@example.org|7", L"E|Bob|556|Beta|030 2|bob@example.org|8", L"E|Carl|557||||0",
          L"E|Dora|558||||0", L"E|Eva|559||||0", L"G|Team|Dora/558|Eva/559"},
         "Anna,555,Acme,030 1,anna@example.org,7\r\nBob,556,Beta,030 2,bob@example.org,8\r\n"},
        {"a rejected record keeps its entry and its groups", L"sync",
         "Anna,555\r\nBob,556\r\nCarl,557\r\nDora,558 ext 5\r\nEva,559\r\n", 0,
         "5 read, 0 added, 0 updated, 4 unchanged, 0 removed, 1 rejected, 0 without room, 1 kept", {}},
        {"a dry run that would be refused, as JSON", L"sync --dry-run --json", "Anna,555\r\nBob,556\r\n", 1,
         "\"removed\":3,\"rejected\":0,\"alreadyPresent\":0,\"withoutRoom\":0,\"other\":0,\"leftAlone\":0,\"kept\":0},"
         "\"readToEnd\":true,"
         "\"refusal\":\"too-many-removed\"", {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CMString stem = folder.File(std::to_wstring(++n).c_str());
        const CMString book = stem + L".mpb2", start = stem + L"-start.csv", file = stem + L".csv";
        WriteText(start, staff);
        WriteText(file, c.file);
        ASSERT_EQ(Pbtool(folder, L"create " + Q(book)).code, 0);
        ASSERT_EQ(Pbtool(folder, L"import " + Q(book) + L" " + Q(start)).code, 0);
        if (!c.first.empty()) {
            const CMString first = stem + L"-first.csv";
            WriteText(first, c.first);
            ASSERT_EQ(Pbtool(folder, L"import --update " + Q(book) + L" " + Q(first)).code, 0);
        }
        {
            PhonebookDB db;
            db.SetWideMode(true);
            db.SetCurrentFormat(true);
            ASSERT_TRUE(db.Open(book, 0, 0));
            CMString team = L"Team";
            uint16_t group = 0;
            ASSERT_TRUE(db.CreateGroup(team, &group, false));
            ASSERT_TRUE(db.AddGroupMember(group, L"Dora", L"558"));
            ASSERT_TRUE(db.AddGroupMember(group, L"Eva", L"559"));
            db.Close();
        }
        const std::vector<std::wstring> before = Contents(book);
        const ToolRun run = Pbtool(folder, CMString(c.command) + L" " + Q(book) + L" " + Q(file));
        EXPECT_EQ(run.code, c.code) << run.out;
        EXPECT_NE(run.out.find(c.said), std::string::npos) << run.out;
        EXPECT_EQ(Contents(book), c.expected.empty() ? before : c.expected);
    }
}

// A vCard export carries every entry with its groups; imported into an empty book it
// gives them back (the mailbox is no part of a card).
TEST(Pbtool, VCardExportComesBackWithEveryEntryAndGroup) {
    testenv::TempFolder folder;
    const CMString source = folder.File(L"source.mpb2"), target = folder.File(L"target.mpb2");
    const CMString cards = folder.File(L"cards.VCF");
    ASSERT_EQ(Pbtool(folder, L"sample " + Q(source) + L" --entries 200 --groups 4").code, 0);
    ASSERT_EQ(Pbtool(folder, L"create " + Q(target)).code, 0);
    ToolRun out = Pbtool(folder, L"export " + Q(source) + L" " + Q(cards));
    ASSERT_EQ(out.code, 0) << out.out;
    EXPECT_NE(out.out.find("200 entries"), std::string::npos) << out.out;
    ToolRun in = Pbtool(folder, L"import " + Q(target) + L" " + Q(cards));
    ASSERT_EQ(in.code, 0) << in.out;
    EXPECT_NE(in.out.find("200 read, 200 imported"), std::string::npos) << in.out;
    auto withoutMailbox = [](std::vector<std::wstring> lines) {
        for (auto& line : lines)
            if (line[0] == L'E') line.erase(line.rfind(L'|'));
        return lines;
    };
    EXPECT_EQ(withoutMailbox(Contents(target)), withoutMailbox(Contents(source, true)));
}

}  // namespace
