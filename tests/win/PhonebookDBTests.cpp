// The storage wrapper against the real engine: opens of every kind, search terms,
// changes with their confirmations and messages, and group operations.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "data/PhonebookDB.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "resources/resource.h"

namespace {

// Opens as the callers do: wide set and current format first.
bool OpenBook(PhonebookDB& db, const CMString& path, int mode = 0) {
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    return db.Open(path, 0, mode);
}

RecordPtr Entry(const wchar_t* name, const wchar_t* fax, uint32_t mailbox = 0, const wchar_t* org = L"") {
    RecordPtr r = MakeRecord();
    CopyField(r->name, name);
    CopyField(r->fax, fax);
    CopyField(r->organization, org);
    r->mailbox = mailbox;
    return r;
}

int Add(PhonebookDB& db, const PhonebookRecord& r, bool show = false, uint16_t* id = nullptr) {
    EngineRecord e = db.NewEngineRecord();
    db.ToEngineRecord(r, e);
    int code = db.AddRecord(e, show);
    if (id) *id = e.Id();
    return code;
}

RecordList All(PhonebookDB& db, bool groups = true) {
    RecordList list;
    db.SetSearchText(L"");
    db.Enumerate(list, groups);
    return list;
}

RecordPtr Named(const RecordList& list, const wchar_t* name) {
    for (const auto& r : list)
        if (CMString(r->name) == CMString(name)) return r;
    return nullptr;
}

class StorageWrapper : public testing::Test {
protected:
    void SetUp() override { testenv::UseLanguage(L"en-US"); }
    CMString Book(const wchar_t* name, const wchar_t* format) {
        CMString path = folder.File(name);
        EXPECT_TRUE(testenv::MakeBook(path, format)) << path.ToUtf8();
        return path;
    }
    testenv::TempFolder folder;
    PhonebookDB db;
};

TEST_F(StorageWrapper, OpensEveryKindThroughTheRightSet) {
    struct { const wchar_t* file; const wchar_t* format; bool wide; bool current; int capacity; } cases[] = {
        {L"a.mpb2", L"mpb2", true, true, 2500},
        {L"b.mpb", L"mpb", true, false, 1000},
        {L"c.pb", L"pb", false, false, 1000},
        {L"d.mpb2", L"mpb2", true, true, 2500},  // back to the wide set after an ANSI file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.file).ToUtf8());
        CMString path = Book(c.file, c.format);
        ASSERT_TRUE(OpenBook(db, path));
        EXPECT_TRUE(db.IsOpen());
        EXPECT_FALSE(db.IsReadOnly());
        EXPECT_EQ(db.IsWideMode(), c.wide);
        EXPECT_EQ(db.IsCurrentFormat(), c.current);
        EXPECT_EQ(db.Capacity(), c.capacity);
        EXPECT_EQ(db.GetPath(), path);
        ASSERT_EQ(Add(db, *Entry(L"M\u00fcller", L"+49 30 1234")), 0);
        RecordList list = All(db);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(CMString(list[0]->name), CMString(L"M\u00fcller"));
    }
}

TEST_F(StorageWrapper, FailedOpenNamesThePathAndLeavesNothingOpen) {
    struct { CMString path; int depth; int mode; } cases[] = {
        {folder.File(L"missing.mpb2"), 0, 1},  // read-only open of a missing file
        {CMString(), 0, 0},
        {Book(L"deep.mpb2", L"mpb2"), 3, 0},   // past the depth limit of set switching
    };
    for (const auto& c : cases) {
        harness::ModalDriver driver;
        driver.ThenPress(IDC_MESSAGE_BUTTON);
        db.SetWideMode(true);
        EXPECT_FALSE(db.Open(c.path, c.depth, c.mode));
        EXPECT_FALSE(db.IsOpen());
        EXPECT_TRUE(db.IsReadOnly());
        EXPECT_TRUE(db.GetPath().IsEmpty());
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_OPEN_FAILED_CAPTION));
        EXPECT_EQ(driver.Seen()[0].text, CMString::Formatted(app::Text(IDS_OPEN_FAILED).c_str(), c.path.c_str()));
    }
}

TEST_F(StorageWrapper, WriteProtectedOrHeldFilesOpenReadOnly) {
    CMString locked = Book(L"locked.mpb2", L"mpb2");
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(OpenBook(db, locked));
    EXPECT_TRUE(db.IsReadOnly());
    EngineRecord e = db.NewEngineRecord();
    db.ToEngineRecord(*Entry(L"A", L"1"), e);
    EXPECT_NE(db.AddRecord(e, false), 0);
    db.Close();
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);

    CMString shared = Book(L"shared.mpb2", L"mpb2");
    PhonebookDB writer;
    ASSERT_TRUE(OpenBook(writer, shared));
    EXPECT_FALSE(writer.IsReadOnly());
    ASSERT_TRUE(OpenBook(db, shared));
    EXPECT_TRUE(db.IsReadOnly());
}

TEST_F(StorageWrapper, CreatedBookTakesEntriesAtOnce) {
    CMString path = folder.File(L"new.mpb2");
    ASSERT_TRUE(db.Create(path));
    EXPECT_FALSE(db.IsReadOnly());
    EXPECT_EQ(db.Capacity(), 2500);
    EXPECT_FALSE(db.IsFull(0, false));
    EXPECT_EQ(Add(db, *Entry(L"First", L"1")), 0);
    EXPECT_FALSE(db.Create(CMString()));
}

// What pbtool's list and verify read: every record until the engine tells the end, and
// a failed read told apart from that end. The file is damaged after the open, as a
// writer elsewhere or a failing disk may leave it, so the enumeration's first call finds
// it changed and cannot read it.
TEST_F(StorageWrapper, ForEachRecordTellsAFailedReadFromTheEnd) {
    enum class Damage { None, Truncated, HeaderOverwritten };
    struct { const wchar_t* file; const wchar_t* format; Damage damage; } cases[] = {
        {L"whole.mpb2", L"mpb2", Damage::None},
        {L"whole.pb", L"pb", Damage::None},
        {L"cut.mpb2", L"mpb2", Damage::Truncated},
        {L"cut.pb", L"pb", Damage::Truncated},
        {L"overwritten.mpb2", L"mpb2", Damage::HeaderOverwritten},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.file).ToUtf8());
        const CMString path = Book(c.file, c.format);
        ASSERT_TRUE(OpenBook(db, path));
        uint16_t anna = 0, ben = 0, team = 0;
        ASSERT_EQ(Add(db, *Entry(L"Anna", L"1"), false, &anna), 0);
        ASSERT_EQ(Add(db, *Entry(L"Ben", L"2"), false, &ben), 0);
        ASSERT_EQ(Add(db, *Entry(L"Cleo", L"3")), 0);
        CMString name = L"Team";
        ASSERT_TRUE(db.CreateGroup(name, &team, false));
        ASSERT_EQ(db.AddMemberById(team, anna), 0);
        ASSERT_EQ(db.AddMemberById(team, ben), 0);
        db.Close();

        ASSERT_TRUE(OpenBook(db, path, 1));
        if (c.damage != Damage::None) {
            HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            if (c.damage == Damage::Truncated) {
                SetFilePointer(file, 16, nullptr, FILE_BEGIN);
                EXPECT_TRUE(SetEndOfFile(file));
            } else {
                const std::vector<char> zeros(512, 0);
                DWORD written = 0;
                EXPECT_TRUE(WriteFile(file, zeros.data(), static_cast<DWORD>(zeros.size()), &written, nullptr));
            }
            CloseHandle(file);
        }
        std::vector<CMString> names;
        int members = -1;
        const int code = db.ForEachRecord([&](const EngineRecord& r) {
            names.push_back(NameOf(r));
            if (r.Kind() == pbabi::kKindGroup) members = r.MemberCount();
        });
        if (c.damage == Damage::None) {
            EXPECT_EQ(code, pbabi::kOk);
            EXPECT_EQ(names, (std::vector<CMString>{L"Anna", L"Ben", L"Cleo", L"Team"}));
            EXPECT_EQ(members, 2);
        } else {
            EXPECT_NE(code, pbabi::kOk);
            EXPECT_NE(code, pbabi::kNoMore);
        }
        db.Close();
    }
    // Nothing open: nothing to read.
    EXPECT_EQ(db.ForEachRecord({}), -1);
}

TEST_F(StorageWrapper, SearchTextBecomesTheTermsTheEngineReads) {
    struct { const wchar_t* text; std::vector<CMString> terms; } cases[] = {
        {L"   ", {}},
        {L"Smith", {L"smith*"}},
        {L"  Anna   SMITH ", {L"anna*", L"smith*"}},
        {L"Abcdefghijklmnopqrstuvwxyz0123456789", {L"abcdefghijklmnopqrstuvwxyz01234"}},
    };
    ASSERT_TRUE(OpenBook(db, Book(L"s.mpb2", L"mpb2")));
    for (const auto& c : cases) {
        db.SetSearchText(c.text);
        const pbabi::PbTermSlotW* slot = db.WideTerms();
        ASSERT_NE(slot, nullptr);
        std::vector<CMString> got;
        for (; slot->block->text; ++slot) got.push_back(reinterpret_cast<const wchar_t*>(slot->block->text));
        EXPECT_EQ(got, c.terms) << CMString(c.text).ToUtf8();
    }
    ASSERT_EQ(Add(db, *Entry(L"Anna Smith", L"0301")), 0);
    ASSERT_EQ(Add(db, *Entry(L"Anna Jones", L"0302")), 0);
    ASSERT_EQ(Add(db, *Entry(L"Bob Smith", L"0303")), 0);
    struct { const wchar_t* text; size_t found; } searches[] = {
        {L"", 3}, {L"anna", 2}, {L"SMITH anna", 1}, {L"  smi  ", 2}, {L"zed", 0}, {L"030", 3}};
    for (const auto& s : searches) {
        RecordList list;
        db.SetSearchText(s.text);
        db.Enumerate(list, true);
        EXPECT_EQ(list.size(), s.found) << CMString(s.text).ToUtf8();
    }
}

TEST_F(StorageWrapper, RecordsConvertBothWays) {
    for (const wchar_t* format : {L"mpb2", L"pb"}) {
        SCOPED_TRACE(CMString(format).ToUtf8());
        ASSERT_TRUE(OpenBook(db, Book(CMString::Formatted(L"conv.%s", format).c_str(), format)));
        ASSERT_EQ(Add(db, *Entry(L"Seven", L"7", 7, L"Org")), 0);
        ASSERT_EQ(Add(db, *Entry(L"Zero", L"0", 0)), 0);
        CMString group = L"Sales";
        ASSERT_TRUE(db.CreateGroup(group, nullptr, false));
        RecordList list = All(db);
        RecordPtr seven = Named(list, L"Seven"), zero = Named(list, L"Zero"), sales = Named(list, L"Sales");
        ASSERT_TRUE(seven && zero && sales);
        EXPECT_EQ(seven->mailbox, 7u);
        EXPECT_EQ(CMString(seven->organization), CMString(L"Org"));
        EXPECT_EQ(zero->mailbox, 0u);
        EXPECT_TRUE(sales->IsGroup());
        EXPECT_EQ(sales->imageId, PhonebookRecord::kImageGroup);
        EXPECT_EQ(seven->imageId, PhonebookRecord::kImageEntry);

        EngineRecord e = db.NewEngineRecord();
        db.ToEngineRecord(*seven, e);
        const char* mailboxAnsi = e.ansi ? e.ansi->Extension(pbabi::kExtMailbox) : nullptr;
        CMString mailbox = e.wide ? CMString(reinterpret_cast<const wchar_t*>(e.wide->Extension(pbabi::kExtMailbox)))
                                  : CMString::FromAnsi(mailboxAnsi);
        EXPECT_EQ(mailbox, CMString(L"007"));
        db.ToEngineRecord(*sales, e);
        EXPECT_EQ(e.Kind(), pbabi::kKindGroup);
        // Only entries unless groups are asked for.
        RecordList entries;
        db.Enumerate(entries, false);
        EXPECT_EQ(entries.size(), 2u);
    }
}

// Fields come out of an enumeration cut to the record's widths alike from either set; a
// group's name of 29, 30 and 31 letters comes out whole.
TEST_F(StorageWrapper, EnumeratedFieldsAreCutToTheRecordsWidths) {
    const std::wstring x(60, L'x');
    for (const wchar_t* format : {L"mpb2", L"pb"}) {
        ASSERT_TRUE(OpenBook(db, Book(CMString::Formatted(L"cut.%s", format).c_str(), format)));
        ASSERT_EQ(Add(db, *Entry(x.c_str(), L"1", 42, x.c_str())), 0);
        for (size_t n : {29, 30, 31}) {
            CMString name(std::wstring(n, static_cast<wchar_t>(L'a' + n - 29)));
            ASSERT_TRUE(db.CreateGroup(name, nullptr, false));
        }
        RecordList list = All(db);
        RecordPtr got = Named(list, x.substr(0, 31).c_str());
        ASSERT_TRUE(got) << CMString(format).ToUtf8();
        EXPECT_EQ(CMString(got->organization), CMString(x.substr(0, 59)));
        EXPECT_EQ(got->mailbox, 42u);
        for (const std::wstring& group : {std::wstring(29, L'a'), std::wstring(30, L'b'), std::wstring(31, L'c')})
            EXPECT_TRUE(Named(list, group.c_str())) << CMString(format).ToUtf8();
    }
}

TEST_F(StorageWrapper, NameInUseAndFullAreReported) {
    struct { const wchar_t* format; unsigned entryCaption; } cases[] = {
        {L"mpb2", IDS_ENTRY_EXISTS_CAPTION}, {L"pb", IDS_ENTRY_EXISTS_CAPTION_OLD}};
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.format).ToUtf8());
        ASSERT_TRUE(OpenBook(db, Book(CMString::Formatted(L"dup.%s", c.format).c_str(), c.format)));
        ASSERT_EQ(Add(db, *Entry(L"Anna", L"123")), 0);
        CMString group = L"Team";
        ASSERT_TRUE(db.CreateGroup(group, nullptr, false));

        harness::ModalDriver driver;
        driver.ThenPress(IDC_MESSAGE_BUTTON).ThenPress(IDC_MESSAGE_BUTTON);
        EXPECT_EQ(Add(db, *Entry(L"ANNA", L"123"), true), pbabi::kNameInUse);
        CMString again = L"[team]";
        EXPECT_FALSE(db.CreateGroup(again, nullptr, true));
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[0].caption, app::Text(c.entryCaption));
        EXPECT_EQ(driver.Seen()[0].text, CMString::Formatted(app::Text(IDS_ENTRY_EXISTS).c_str(), L"ANNA", L"123"));
        EXPECT_EQ(driver.Seen()[1].caption, app::Text(IDS_GROUP_EXISTS_CAPTION));
        EXPECT_EQ(driver.Seen()[1].text, CMString::Formatted(app::Text(IDS_GROUP_EXISTS).c_str(), L"team"));
    }
}

TEST_F(StorageWrapper, ModifyToATakenNameShowsTheSystemBox) {
    ASSERT_TRUE(OpenBook(db, Book(L"mod.mpb2", L"mpb2")));
    uint16_t bId = 0;
    ASSERT_EQ(Add(db, *Entry(L"A", L"1")), 0);
    ASSERT_EQ(Add(db, *Entry(L"B", L"2"), false, &bId), 0);
    EngineRecord e = db.NewEngineRecord();
    db.ToEngineRecord(*Entry(L"a", L"1"), e);
    harness::ModalDriver driver;
    driver.ThenPress(IDOK);
    int code = 0;
    db.ModifyRecord(bId, e, code);
    EXPECT_EQ(code, pbabi::kNameInUse);
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_ENTRY_EXISTS_CAPTION));
    EXPECT_EQ(driver.Seen()[0].text, CMString::Formatted(app::Text(IDS_ENTRY_EXISTS).c_str(), L"a", L"1"));
    db.ToEngineRecord(*Entry(L"B2", L"2"), e);
    db.ModifyRecord(bId, e, code);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(Named(All(db), L"B2"));
}

TEST_F(StorageWrapper, FullBookIsReportedAtCapacityOnly) {
    ASSERT_TRUE(OpenBook(db, Book(L"full.pb", L"pb")));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(Add(db, *Entry(CMString::Formatted(L"N%d", i).c_str(), L"1")), 0) << i;
    EXPECT_FALSE(db.IsFull(999, true));
    EXPECT_FALSE(db.IsFull(1001, true));
    harness::ModalDriver driver;
    driver.ThenPress(IDC_MESSAGE_BUTTON).ThenPress(IDC_MESSAGE_BUTTON);
    EXPECT_TRUE(db.IsFull(1000, true));
    EXPECT_EQ(Add(db, *Entry(L"One more", L"1"), true), pbabi::kFull);
    ASSERT_EQ(driver.Seen().size(), 2u);
    for (const auto& seen : driver.Seen()) {
        EXPECT_EQ(seen.caption, app::Text(IDS_BOOK_FULL_CAPTION));
        EXPECT_EQ(seen.text, CMString::Formatted(app::Text(IDS_BOOK_FULL).c_str(), 1000u));
    }
    RecordList list;
    db.SetSearchText(L"");
    db.Enumerate(list, true);
    EXPECT_EQ(list.size(), 1000u);
}

TEST_F(StorageWrapper, RemoveRecordsAsksAsOftenAsItShould) {
    struct { int count; int answer; const wchar_t* caption; size_t removed; } cases[] = {
        {1, IDOK, nullptr, 1}, {1, IDCANCEL, nullptr, 0}, {3, IDOK, nullptr, 3}, {3, IDCANCEL, nullptr, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count * 10 + c.answer);
        ASSERT_TRUE(OpenBook(db, Book(CMString::Formatted(L"rm%d%d.mpb2", c.count, c.answer).c_str(), L"mpb2")));
        for (int i = 0; i < c.count; ++i) ASSERT_EQ(Add(db, *Entry(CMString::Formatted(L"E%d", i).c_str(), L"5")), 0);
        RecordList records = All(db);
        std::vector<RemoveResult> results(records.size());
        for (size_t i = 0; i < results.size(); ++i) results[i].row = static_cast<int>(i);
        harness::ModalDriver driver;
        driver.ThenPress(c.answer);
        db.RemoveRecords(records, results);
        EXPECT_TRUE(records.empty());
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].caption, app::Text(c.count == 1 ? IDS_DELETE_ONE_CAPTION : IDS_DELETE_MANY_CAPTION));
        if (c.count == 1)
            EXPECT_EQ(driver.Seen()[0].text, CMString::Formatted(app::Text(IDS_DELETE_ENTRY).c_str(), L"E0", L"5"));
        else
            EXPECT_EQ(driver.Seen()[0].text, CMString::Formatted(app::Text(IDS_DELETE_MANY).c_str(), 3u));
        size_t removed = 0;
        for (const auto& r : results) removed += r.removed ? 1 : 0;
        EXPECT_EQ(removed, c.removed);
        EXPECT_EQ(All(db).size(), static_cast<size_t>(c.count) - c.removed);
    }
}

TEST_F(StorageWrapper, GroupOperations) {
    ASSERT_TRUE(OpenBook(db, Book(L"groups.mpb2", L"mpb2")));
    ASSERT_EQ(Add(db, *Entry(L"Anna", L"1")), 0);
    ASSERT_EQ(Add(db, *Entry(L"Ben", L"2")), 0);
    ASSERT_EQ(Add(db, *Entry(L"NoFax", L"")), 0);

    CMString name = L"[Sales]";
    uint16_t sales = 0;
    ASSERT_TRUE(db.CreateGroup(name, &sales, false));
    EXPECT_NE(sales, 0);
    EXPECT_TRUE(Named(All(db), L"Sales"));

    CMString unnamed;
    uint16_t other = 0;
    ASSERT_TRUE(db.CreateGroup(unnamed, &other, false));
    EXPECT_EQ(unnamed, app::Text(IDS_TIP_NEW_GROUP));
    bool generated = false;
    for (const auto& r : All(db)) {
        CMString n(r->name);
        const CMString& prefix = unnamed;
        if (n.Left(prefix.GetLength()) == prefix && n.GetLength() > prefix.GetLength()) {
            CMString digits = n.Mid(prefix.GetLength(), n.GetLength() - prefix.GetLength());
            generated = digits.GetLength() > 0 && wcsspn(digits.c_str(), L"0123456789") == size_t(digits.GetLength());
        }
    }
    EXPECT_TRUE(generated);

    ASSERT_TRUE(db.ReadRecordById(sales));
    EXPECT_TRUE(db.AddGroupMember(sales, L"Anna", L"1"));
    EXPECT_EQ(db.CurrentRecord().MemberCount(), 1);
    EXPECT_FALSE(db.AddGroupMember(sales, L"NoFax", L""));
    EXPECT_FALSE(db.AddGroupMember(sales, L"Nobody", L"9"));
    // The current record holds the group as stored, whether or not the member was added.
    EXPECT_EQ(db.CurrentRecord().MemberCount(), 1);
    EXPECT_EQ(db.CurrentRecord().Id(), sales);

    RecordList more = {Entry(L"Ben", L"2"), Entry(L"Nobody", L"9"), Entry(L"Anna", L"1")};
    EXPECT_FALSE(db.AddGroupMembers(sales, more));  // stops at Nobody, Ben stays added
    RecordList members;
    ASSERT_TRUE(db.ReadRecordById(sales));
    db.ListGroupMembers(members);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(CMString(members[0]->name), CMString(L"Anna"));
    EXPECT_EQ(CMString(members[1]->name), CMString(L"Ben"));

    EXPECT_EQ(db.AddMemberById(sales, members[0]->id), 0);  // already a member
    EXPECT_EQ(db.RemoveMemberById(sales, members[1]->id), 0);
    ASSERT_TRUE(db.ReadRecordById(sales));
    db.ListGroupMembers(members);
    EXPECT_EQ(members.size(), 1u);

    EXPECT_TRUE(db.RenameGroup(CMString()));
    ASSERT_TRUE(db.ReadRecordById(sales));
    EXPECT_TRUE(db.RenameGroup(L"[Key accounts]"));
    EXPECT_TRUE(Named(All(db), L"Key accounts"));
    harness::ModalDriver driver;
    driver.ThenPress(IDOK);
    ASSERT_TRUE(db.ReadRecordById(other));
    EXPECT_FALSE(db.RenameGroup(L"Key ACCOUNTS"));
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_GROUP_EXISTS_CAPTION));
}

}  // namespace
