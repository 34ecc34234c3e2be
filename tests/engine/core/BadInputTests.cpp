// Damaged and hostile files: the open fails, or the damaged records are skipped and
// the rest stay usable. (The fuzzer covers arbitrary bytes; these are the shapes.)
#include <gtest/gtest.h>

#include <cstring>

#include "EngineTestUtil.h"

using namespace pbcore;
using namespace enginetest;

namespace {

std::shared_ptr<std::vector<uint8_t>> ThreeRecords(Kind kind = Kind::Current) {
    MemBook m(kind);
    uint16_t a = m.Add(Entry(u"Anna", u"1"));
    m.Add(Entry(u"Bert", u"2"));
    uint16_t g = m.Add(Group(u"Team"));
    m.book.AddToGroup(m.file, g, a);
    return std::make_shared<std::vector<uint8_t>>(*m.file.Bytes());
}

}  // namespace

TEST(BadInput, NotABookFailsToOpen) {
    auto good = ThreeRecords();
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"short", std::vector<uint8_t>(good->begin(), good->begin() + 100)},
        {"zeros", std::vector<uint8_t>(good->size(), 0)},
        {"text", std::vector<uint8_t>(4096, 'x')},
    };
    for (size_t at : {0u, 8u, 12u, 20u, 100u, 505u}) {
        Case c{"superblock byte changed", *good};
        c.bytes[at] ^= 0x40;
        cases.push_back(c);
    }
    for (const Case& c : cases) {
        MemoryFile f(std::make_shared<std::vector<uint8_t>>(c.bytes));
        Book b;
        EXPECT_NE(b.Load(f), 0) << c.what;
        uint16_t cursor = 0xFFFF;
        bool done = false;
        int slot;
        EXPECT_FALSE(b.FindNext({}, cursor, done, slot));
        EXPECT_TRUE(done);
    }
}

TEST(BadInput, DamagedRecordsAreSkippedAndTheRestWorks) {
    // Every byte the first record uses, and its checksum, in turn: that record alone is lost.
    auto good = ThreeRecords();
    const size_t used = 8 + 6 + 2 * (4 + 1);  // header, six lengths, "Anna" and "1"
    std::vector<size_t> positions;
    for (size_t i = 0; i < used; ++i) positions.push_back(i);
    for (size_t i = Book::kSlotSize - 8; i < Book::kSlotSize; ++i) positions.push_back(i);
    for (size_t i : positions) {
        auto bytes = std::make_shared<std::vector<uint8_t>>(*good);
        (*bytes)[Book::kSuperblockSize + i] ^= 0x5A;
        MemoryFile f(bytes);
        Book b;
        ASSERT_EQ(b.Load(f), 0) << i;
        EXPECT_EQ(b.DamagedCount(), 1) << i;
        auto names = Names(b.All());
        EXPECT_EQ(names, (std::vector<std::u16string>{u"Bert", u"Team"})) << i;
        // The group's member pointed at the lost slot: it now names nobody.
        EXPECT_TRUE(b.Read(b.SlotOfId(b.All().back().id)).members.empty());
        uint16_t id = 0;
        EXPECT_EQ(b.Add(f, Entry(u"Carla", u"3"), &id), 0);
        Book again;
        ASSERT_EQ(again.Load(f), 0);
        EXPECT_EQ(again.LiveCount(), 3);
    }
}

TEST(BadInput, TruncatedFilesOpenWithWhatIsLeft) {
    auto good = ThreeRecords(Kind::Oldest);
    for (size_t len = Book::kSuperblockSize; len <= Book::kSuperblockSize + 4 * Book::kSlotSize; len += 97) {
        auto bytes = std::make_shared<std::vector<uint8_t>>(good->begin(), good->begin() + static_cast<std::ptrdiff_t>(len));
        MemoryFile f(bytes);
        Book b;
        ASSERT_EQ(b.Load(f), 0) << len;
        EXPECT_LE(b.LiveCount(), 3);
        uint16_t id = 0;
        EXPECT_EQ(b.Add(f, Entry(u"Dora", u"4"), &id), 0) << len;
    }
}

TEST(BadInput, ForgedJournalsAreIgnored) {
    auto good = ThreeRecords(Kind::OlderWide);
    const size_t journal = Book::kSuperblockSize + 1000 * Book::kSlotSize;
    struct Case {
        const char* what;
        uint32_t count;
        uint32_t slot;
    };
    for (const Case& c : {Case{"huge count", 0xFFFFFFFFu, 0}, Case{"slot out of range", 1, 5000}, Case{"no checksum", 1, 0}}) {
        auto bytes = std::make_shared<std::vector<uint8_t>>(*good);
        bytes->resize(journal + 32 + 520, 0xEE);
        uint8_t* j = bytes->data() + journal;
        j[0] = 'P', j[1] = 'B', j[2] = 'J', j[3] = '1';
        std::memcpy(j + 4, &c.count, 4);
        std::memcpy(j + 32, &c.slot, 4);
        MemoryFile f(bytes);
        Book b;
        ASSERT_EQ(b.Load(f), 0) << c.what;
        EXPECT_FALSE(b.HadPendingChange()) << c.what;
        EXPECT_EQ(b.LiveCount(), 3) << c.what;
    }
}
