// Batches and the change counter: one commit for many changes, whole or absent at any
// write; flushes counted through the file interface; kept images that follow another
// writer's commits; codes judged against the batch's own state.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "EngineTestUtil.h"
#include "core/Api.h"
#include "core/MemoryPlatform.h"

using namespace pbcore;
using namespace enginetest;

namespace {

std::u16string Numbered(const char16_t* prefix, int i) {
    std::u16string out = prefix;
    for (char c : std::to_string(i)) out.push_back(static_cast<char16_t>(c));
    return out;
}

// Everything a reader sees: names, kinds and members, in enumeration order.
std::vector<std::u16string> Observe(const Book& b) {
    std::vector<std::u16string> out;
    for (const Record& r : b.All()) {
        std::u16string line = r.fields[kName] + u"|" + r.fields[kFax];
        for (uint16_t m : r.members) line += u"+" + std::u16string(1, static_cast<char16_t>(m));
        out.push_back(line);
    }
    return out;
}

// Two committed changes, then one batch that adds, groups, renames and removes.
void RunScript(Book& b, FileIo& io, int& committed, bool& batchEnded) {
    committed = 0;
    batchEnded = false;
    uint16_t a = 0, c = 0, g = 0, id = 0;
    if (b.Add(io, Entry(u"Anna Berg", u"+49 30 1"), &a) != 0) return;
    ++committed;
    if (b.Add(io, Entry(u"Carl Dahl", u"+46 8 2"), &c) != 0) return;
    ++committed;
    // Inside the batch nothing touches the file; only a writer that died before it
    // (and so has no image left) is refused.
    b.BeginBatch();
    for (int i = 0; i < 40; ++i)
        if (b.Add(io, Entry(Numbered(u"Batch ", i).c_str(), u"555"), &id) != 0) return;
    if (b.Add(io, Group(u"Team"), &g) != 0 || b.AddToGroup(io, g, a) != 0 || b.AddToGroup(io, g, id) != 0 ||
        b.Modify(io, a, Entry(u"Anna Berg-Holm", u"+49 30 1")) != 0 || b.Remove(io, c) != 0)
        return;
    batchEnded = b.EndBatch(io) == 0;
}

}  // namespace

TEST(Batch, EveryWriteOfItsCommitCutOrTornLeavesItWholeOrAbsent) {
    MemoryFile initial;
    ASSERT_EQ(Book::Create(initial, Kind::Current), 0);
    const std::vector<uint8_t> empty = *initial.Bytes();

    std::vector<std::u16string> before, after;
    uint64_t totalWrites = 0, batchWrites = 0;
    {
        MemoryFile file(std::make_shared<std::vector<uint8_t>>(empty));
        FaultyFile counting(file, UINT64_MAX, false);
        Book b;
        ASSERT_EQ(b.Load(counting), 0);
        int committed = 0;
        bool ended = false;
        RunScript(b, counting, committed, ended);
        ASSERT_TRUE(ended);
        Book reader;
        ASSERT_EQ(reader.Load(file), 0);
        after = Observe(reader);
        totalWrites = counting.Writes();
    }
    {
        MemoryFile file(std::make_shared<std::vector<uint8_t>>(empty));
        Book b;
        ASSERT_EQ(b.Load(file), 0);
        uint16_t id = 0;
        b.Add(file, Entry(u"Anna Berg", u"+49 30 1"), &id);
        b.Add(file, Entry(u"Carl Dahl", u"+46 8 2"), &id);
        before = Observe(b);
    }
    ASSERT_EQ(after.size(), 42u);  // 40 added and Anna as entries, the group; Carl gone
    // The batch's commit is a handful of writes, not one or more per record.
    batchWrites = totalWrites - 2 * 4;
    EXPECT_LE(batchWrites, 4u);

    using Death = FaultyFile::Death;
    for (Death death : {Death::Cut, Death::Torn, Death::Garbled}) {
        for (uint64_t k = 1; k <= totalWrites; ++k) {
            SCOPED_TRACE(testing::Message() << "write " << k << " death " << static_cast<int>(death));
            MemoryFile file(std::make_shared<std::vector<uint8_t>>(empty));
            int committed = 0;
            bool ended = false;
            {
                FaultyFile dying(file, k, death);
                Book b;
                ASSERT_EQ(b.Load(dying), 0);
                RunScript(b, dying, committed, ended);
            }
            Book reader;
            ASSERT_EQ(reader.Load(file), 0);
            EXPECT_EQ(reader.DamagedCount(), 0);
            auto seen = Observe(reader);
            if (ended) {
                EXPECT_EQ(seen, after);
            } else if (committed == 2) {
                EXPECT_TRUE(seen == before || seen == after);
            } else {
                EXPECT_LE(seen.size(), 2u);
            }
            // A writer finishes a journal it finds; what it shows stays.
            Book writer;
            ASSERT_EQ(writer.Load(file), 0);
            ASSERT_EQ(writer.Recover(file), 0);
            Book again;
            ASSERT_EQ(again.Load(file), 0);
            EXPECT_EQ(Observe(again), seen);
        }
    }
}

TEST(Batch, FlushesPerChangeAndPerBatch) {
    struct Case {
        const char* what;
        std::function<void(Book&, FileIo&)> act;
        uint64_t maxFlushes;
    };
    const std::vector<Case> cases = {
        {"add", [](Book& b, FileIo& io) { uint16_t id; b.Add(io, Entry(u"New One", u"1"), &id); }, 2},
        {"modify", [](Book& b, FileIo& io) { b.Modify(io, 1, Entry(u"Renamed", u"1")); }, 2},
        {"remove", [](Book& b, FileIo& io) { b.Remove(io, 1); }, 2},
        {"add to group", [](Book& b, FileIo& io) { b.AddToGroup(io, 3, 2); }, 2},
        {"2400 adds in a batch",
         [](Book& b, FileIo& io) {
             b.BeginBatch();
             uint16_t id;
             for (int i = 0; i < 2400; ++i) ASSERT_EQ(b.Add(io, Entry(Numbered(u"N", i).c_str(), u"7"), &id), 0);
             ASSERT_EQ(b.EndBatch(io), 0);
         },
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemBook m;
        m.Add(Entry(u"First", u"1"));
        m.Add(Entry(u"Second", u"2"));
        m.Add(Group(u"Team"));
        FaultyFile counting(m.file, UINT64_MAX, false);
        c.act(m.book, counting);
        EXPECT_LE(counting.Flushes(), c.maxFlushes);
        EXPECT_TRUE(m.book.Loaded());
    }
}

namespace {

using namespace pbabi;

struct Rec {
    PBEW rec{};
    WChar ext[kExtensionCount][kExtensionWidth]{};
    WChar* ptr[kExtensionCount]{};
    uint16_t members[kCapacityCurrent]{};
    Rec(const char* name, const char* fax, uint8_t kind = kKindEntry) {
        for (int i = 0; i < kExtensionCount; ++i) ptr[i] = ext[i];
        rec.extensions = ptr;
        rec.members = members;
        rec.kind = kind;
        for (size_t i = 0; name[i]; ++i) rec.name[i] = static_cast<WChar>(name[i]);
        for (size_t i = 0; fax[i]; ++i) rec.fax[i] = static_cast<WChar>(fax[i]);
    }
};

struct Headers : testing::Test {
    MemoryPlatform files;
    const std::u16string path = u"book.mpb2";
    void SetUp() override { api::ForgetKeptImages(); }
    int Open(PbHeaderW& h, uint8_t mode) {
        int code = -1;
        api::OpenW(files, &h, reinterpret_cast<const WChar*>(path.c_str()), mode, &code);
        return code;
    }
    int Add(PbHeaderW& h, const char* name, const char* fax = "1", uint8_t kind = kKindEntry) {
        Rec r(name, fax, kind);
        int code = -1;
        api::AddW(files, &h, &r.rec, &code);
        return code == 0 ? r.rec.id : -code;
    }
    size_t Count(PbHeaderW& h) {
        size_t n = 0;
        uint16_t cursor = kCursorStart;
        int done = 0;
        Rec r("", "");
        for (int calls = 0; !done && calls < 6000; ++calls)
            if (api::Find2W(files, &h, &r.rec, nullptr, &cursor, &done)) ++n;
        return n;
    }
    uint64_t Counter(PbHeaderW& h) {
        uint64_t count = 0;
        int code = -1;
        EXPECT_EQ(api::ChangeCountW(files, &h, &count, &code), 0);
        return count;
    }
    size_t OnDisk() {
        Book b;
        MemoryFile f(files.FileAt("book.mpb2"));
        return b.Load(f) == 0 ? static_cast<size_t>(b.LiveCount()) : 0;
    }
};

}  // namespace

TEST_F(Headers, ABatchAnswersAtOnceAndLandsOnlyAtItsEnd) {
    PbHeaderW writer{}, reader{};
    ASSERT_EQ(Open(writer, kModeReadWrite), 0);
    ASSERT_EQ(Open(reader, kModeReadOnly), 0);
    ASSERT_GT(Add(writer, "Before"), 0);
    const uint64_t start = Counter(reader);
    int code = -1;
    EXPECT_NE(api::BeginChangesW(files, &reader, &code), 0);  // a reader cannot batch
    ASSERT_EQ(api::BeginChangesW(files, &writer, &code), 0);
    ASSERT_EQ(api::BeginChangesW(files, &writer, &code), 0);  // nested
    std::set<int> ids;
    for (int i = 0; i < 30; ++i) {
        std::string name = "Batched " + std::to_string(i);
        int id = Add(writer, name.c_str());
        ASSERT_GT(id, 0);
        EXPECT_TRUE(ids.insert(id).second);
    }
    EXPECT_EQ(Add(writer, "Batched 7"), -kNameInUse);  // against the batch's own records
    EXPECT_EQ(Add(writer, "Before"), -kNameInUse);
    EXPECT_EQ(Count(writer), 31u);                    // this header reads its batch
    EXPECT_EQ(Count(reader), 1u);                     // others see none of it
    EXPECT_EQ(Counter(reader), start);
    EXPECT_EQ(OnDisk(), 1u);
    ASSERT_EQ(api::EndChangesW(files, &writer, &code), 0);  // inner end: still open
    EXPECT_EQ(OnDisk(), 1u);
    ASSERT_EQ(api::EndChangesW(files, &writer, &code), 0);
    EXPECT_EQ(OnDisk(), 31u);
    EXPECT_NE(Counter(reader), start);
    EXPECT_EQ(Count(reader), 31u);  // the reader's kept image followed the counter
    EXPECT_NE(api::EndChangesW(files, &writer, &code), 0);  // no batch open

    // Filling up inside a batch is judged there too.
    ASSERT_EQ(api::BeginChangesW(files, &writer, &code), 0);
    int added = 0;
    for (int i = 0; i < kCapacityCurrent + 5; ++i) {
        std::string name = "Fill " + std::to_string(i);
        int rc = Add(writer, name.c_str());
        if (rc == -kFull) break;
        ASSERT_GT(rc, 0);
        ++added;
    }
    EXPECT_EQ(added, kCapacityCurrent - 31);
    ASSERT_EQ(api::EndChangesW(files, &writer, &code), 0);
    EXPECT_EQ(OnDisk(), static_cast<size_t>(kCapacityCurrent));
    files.Close(reinterpret_cast<intptr_t>(writer.file));
    files.Close(reinterpret_cast<intptr_t>(reader.file));
}

TEST_F(Headers, ABatchLeftOpenIsDiscarded) {
    PbHeaderW h{};
    ASSERT_EQ(Open(h, kModeReadWrite), 0);
    ASSERT_GT(Add(h, "Kept"), 0);
    int code = -1;
    ASSERT_EQ(api::BeginChangesW(files, &h, &code), 0);
    ASSERT_GT(Add(h, "Never stored"), 0);
    // The caller closes the handle and opens again through the same header.
    files.Close(reinterpret_cast<intptr_t>(h.file));
    ASSERT_EQ(Open(h, kModeReadWrite), 0);
    EXPECT_EQ(Count(h), 1u);
    EXPECT_NE(api::EndChangesW(files, &h, &code), 0);
    ASSERT_GT(Add(h, "After"), 0);
    EXPECT_EQ(OnDisk(), 2u);
    files.Close(reinterpret_cast<intptr_t>(h.file));
}

TEST_F(Headers, OpenBatchesOutlastAnyNumberOfOtherOpens) {
    // More headers with open batches than the engine keeps images for, then more opens.
    constexpr int kBooks = 12;
    std::vector<PbHeaderW> headers(kBooks + 4);
    int code = -1;
    for (size_t i = 0; i < headers.size(); ++i) {
        const std::u16string name = u"book" + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u".mpb2";
        ASSERT_EQ(api::OpenW(files, &headers[i], reinterpret_cast<const WChar*>(name.c_str()), kModeReadWrite, &code), 0);
        if (i >= kBooks) continue;
        ASSERT_EQ(api::BeginChangesW(files, &headers[i], &code), 0);
        Rec r("Answered", "1");
        ASSERT_EQ(api::AddW(files, &headers[i], &r.rec, &code), 0);
    }
    for (int i = 0; i < kBooks; ++i) {
        EXPECT_EQ(api::EndChangesW(files, &headers[i], &code), 0) << i;
        EXPECT_EQ(Count(headers[i]), 1u) << i;
    }
    for (auto& h : headers) files.Close(reinterpret_cast<intptr_t>(h.file));
}
