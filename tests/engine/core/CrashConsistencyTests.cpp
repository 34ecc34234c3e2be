// A scripted series of changes is cut off at every write (and with that write torn in
// half); the file must open afterwards with every completed change present and the
// change in flight whole or absent, and must take further changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "EngineTestUtil.h"

using namespace pbcore;
using namespace enginetest;

namespace {

// The script refers to records by the order they were added, as ids are the engine's.
struct Script {
    std::vector<uint16_t> ids;
    using Step = std::function<int(Book&, FileIo&, std::vector<uint16_t>&)>;
    std::vector<Step> steps;
};

Script::Step AddStep(Record r) {
    return [r](Book& b, FileIo& io, std::vector<uint16_t>& ids) {
        uint16_t id = 0;
        int rc = b.Add(io, r, &id);
        if (rc == 0) ids.push_back(id);
        return rc;
    };
}

Script MakeScript() {
    Script s;
    s.steps = {
        AddStep(Entry(u"Anna Berg", u"+49 30 1111", u"Acme", u"", u"anna@example.org", u"007")),
        AddStep(Entry(u"Jürgen Weiß", u"+49 89 2222")),
        AddStep(Entry(u"Zoë Nowak", u"+48 22 3333", u"Nowak Sp.")),
        AddStep(Group(u"Vertrieb")),
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) { return b.AddToGroup(io, ids[3], ids[0]); },
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) { return b.AddToGroup(io, ids[3], ids[1]); },
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) {
            return b.Modify(io, ids[1], Entry(u"Jürgen Weiss", u"+49 89 2223", u"Weiss KG"));
        },
        AddStep(Group(u"Familie")),
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) { return b.AddToGroup(io, ids[4], ids[1]); },
        // Leaves the entry and both groups it was in, in one change.
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) { return b.Remove(io, ids[1]); },
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) { return b.RemoveFromGroup(io, ids[3], ids[0]); },
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) {
            Record g = Group(u"Vertrieb Nord");
            return b.Modify(io, ids[3], g);
        },
        AddStep(Entry(u"Søren Jørgensen", u"+45 1234 5678")),
        [](Book& b, FileIo& io, std::vector<uint16_t>& ids) { return b.Remove(io, ids[2]); },
    };
    return s;
}

// Everything a caller can observe: every record with its texts and members, in order.
std::vector<std::u16string> Observe(const Book& b) {
    std::vector<std::u16string> out;
    for (const Record& r : b.All()) {
        std::u16string line;
        line += static_cast<char16_t>(r.kind);
        line += static_cast<char16_t>(r.id);
        for (const auto& f : r.fields) {
            line += u'|';
            line += f;
        }
        for (uint16_t m : r.members) {
            line += u'+';
            line += static_cast<char16_t>(m);
        }
        out.push_back(line);
    }
    return out;
}

}  // namespace

TEST(CrashConsistency, EveryWriteCutOffOrTornLeavesAWholeState) {
    MemoryFile initial;
    ASSERT_EQ(Book::Create(initial, Kind::Current), 0);
    const std::vector<uint8_t> empty = *initial.Bytes();

    // Reference run: the state after every step and the writes it took.
    std::vector<std::vector<std::u16string>> states;
    uint64_t totalWrites = 0;
    {
        MemoryFile file(std::make_shared<std::vector<uint8_t>>(empty));
        FaultyFile counting(file, UINT64_MAX, false);
        Book b;
        ASSERT_EQ(b.Load(counting), 0);
        Script s = MakeScript();
        states.push_back(Observe(b));
        for (auto& step : s.steps) {
            ASSERT_EQ(step(b, counting, s.ids), 0);
            states.push_back(Observe(b));
        }
        totalWrites = counting.Writes();
    }
    ASSERT_GT(totalWrites, 20u);

    using Death = FaultyFile::Death;
    for (Death death : {Death::Cut, Death::Torn, Death::Garbled}) {
        for (uint64_t k = 1; k <= totalWrites; ++k) {
            SCOPED_TRACE(testing::Message() << "write " << k << " death " << static_cast<int>(death));
            auto bytes = std::make_shared<std::vector<uint8_t>>(empty);
            MemoryFile file(bytes);
            size_t completed = 0;
            {
                FaultyFile dying(file, k, death);
                Book b;
                ASSERT_EQ(b.Load(dying), 0);
                Script s = MakeScript();
                for (auto& step : s.steps) {
                    if (step(b, dying, s.ids) != 0) break;
                    ++completed;
                }
                ASSERT_TRUE(dying.Died());
            }
            // Reopened by a reader: the completed steps, perhaps the one in flight too.
            Book reader;
            ASSERT_EQ(reader.Load(file), 0);
            EXPECT_EQ(reader.DamagedCount(), 0);
            auto seen = Observe(reader);
            bool whole = seen == states[completed] || (completed + 1 < states.size() && seen == states[completed + 1]);
            EXPECT_TRUE(whole) << "after " << completed << " completed steps";

            // A writer finishes what it finds and carries on; the result stays.
            Book writer;
            ASSERT_EQ(writer.Load(file), 0);
            ASSERT_EQ(writer.Recover(file), 0);
            uint16_t id = 0;
            ASSERT_EQ(writer.Add(file, Entry(u"After The Crash", u"1"), &id), 0);
            Book again;
            ASSERT_EQ(again.Load(file), 0);
            EXPECT_FALSE(again.HadPendingChange());
            auto after = Observe(again);
            ASSERT_EQ(after.size(), seen.size() + 1);
            for (const auto& line : seen) EXPECT_NE(std::find(after.begin(), after.end(), line), after.end());
            EXPECT_NE(again.SlotOfId(id), -1);
        }
    }
}

TEST(CrashConsistency, CreationCutShortIsCreatedAgain) {
    for (uint64_t k = 1; k <= 2; ++k) {
        for (bool tear : {false, true}) {
            MemoryFile file;
            file.Write(0, "old contents", 12);
            FaultyFile dying(file, k, tear);
            EXPECT_NE(Book::Create(dying, Kind::Current), 0);
            // The old file untouched, or one that a writer recognises as unfinished.
            Book b;
            EXPECT_NE(b.Load(file), 0) << "write " << k;
            if (k == 1) {
                EXPECT_EQ(file.Bytes()->size(), 12u);
            } else {
                EXPECT_TRUE(Book::IsUnfinishedCreation(file)) << "torn " << tear;
            }
        }
    }
    MemoryFile foreign;
    foreign.Write(0, "not a phone book", 16);
    EXPECT_FALSE(Book::IsUnfinishedCreation(foreign));
}

namespace {
// Fails the chosen calls and passes all others, as a flaky share or a full disk does;
// unlike a dead process, the caller goes on.
class FlakyFile : public FileIo {
public:
    explicit FlakyFile(FileIo& inner) : m_inner(inner) {}
    uint64_t failWrite = 0, failFlush = 0;  // numbers, from 1, of the calls that fail
    uint64_t failReadsFrom = UINT64_MAX;    // a read reaching this offset fails
    bool Read(uint64_t offset, void* data, size_t size, size_t* got) override {
        *got = 0;
        return offset + size <= failReadsFrom && m_inner.Read(offset, data, size, got);
    }
    bool Write(uint64_t offset, const void* data, size_t size) override {
        return ++m_writes != failWrite && m_inner.Write(offset, data, size);
    }
    bool Flush() override { return ++m_flushes != failFlush && m_inner.Flush(); }
    bool Size(uint64_t* size) override { return m_inner.Size(size); }
    bool Truncate(uint64_t size) override { return m_inner.Truncate(size); }

private:
    FileIo& m_inner;
    uint64_t m_writes = 0, m_flushes = 0;
};
}  // namespace

// A change is committed once its journal is durable: a failure before that is reported
// and leaves no trace, one after it is no failure, and every other reader's counter moves.
TEST(CrashConsistency, AFailedCallIsAbsentAndACommittedOneIsSeenByAll) {
    struct Case {
        const char* what;
        uint64_t failWrite, failFlush;
        bool committed;
    };
    // An add writes the journal, flushes, writes the slot and the counter, flushes, clears.
    const Case cases[] = {
        {"journal write", 1, 0, false}, {"journal flush", 0, 1, false}, {"slot in place", 2, 0, true},
        {"counter", 3, 0, true},        {"flush in place", 0, 2, true}, {"clearing", 4, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemBook m;
        ASSERT_NE(m.Add(Entry(u"Anna Berg", u"1")), 0);
        Book other;  // another process's kept image
        ASSERT_EQ(other.Load(m.file), 0);
        FlakyFile flaky(m.file);
        flaky.failWrite = c.failWrite;
        flaky.failFlush = c.failFlush;
        uint16_t id = 0;
        EXPECT_EQ(m.book.Add(flaky, Entry(u"Carl Dahl", u"2"), &id) == code::kOk, c.committed);
        uint64_t counter = 0;
        ASSERT_TRUE(Book::ReadCounter(m.file, &counter));
        EXPECT_EQ(counter != other.StoredCounter(), c.committed);

        Book fresh;
        ASSERT_EQ(fresh.Load(m.file), 0);
        EXPECT_EQ(fresh.LiveCount(), c.committed ? 2 : 1);
        EXPECT_EQ(fresh.StoredCounter(), counter);  // a reader that loaded is current
        if (fresh.HadPendingChange()) {
            // The journal holds that change: failing to read it fails the load.
            FlakyFile unreadable(m.file);
            unreadable.failReadsFrom = Book::kSuperblockSize + uint64_t{2500} * Book::kSlotSize;
            Book blind;
            EXPECT_EQ(blind.Load(unreadable), code::kIoError);
        }
        // The writer goes on; a change in flight is finished first.
        ASSERT_EQ(m.Reload(), 0);
        ASSERT_EQ(m.book.Recover(m.file), 0);
        EXPECT_NE(m.Add(Entry(u"Eva Falk", u"3")), 0);
        ASSERT_EQ(m.Reload(), 0);
        EXPECT_EQ(m.book.LiveCount(), c.committed ? 3 : 2);
    }
}

// A writer dies while writing its journal. Readers that loaded before and after, and one
// that comes once the next writer committed, each take a counter to stand for what they
// show: no counter may ever stand for two contents, and every reader gets the new commit.
TEST(CrashConsistency, ATornJournalNeverLendsItsCounterToOtherContents) {
    using Death = FaultyFile::Death;
    for (Death death : {Death::Torn, Death::Garbled, Death::Cut}) {
        SCOPED_TRACE(static_cast<int>(death));
        MemBook m;
        ASSERT_NE(m.Add(Entry(u"Anna Berg", u"1")), 0);
        ASSERT_NE(m.Add(Entry(u"Carl Dahl", u"2")), 0);
        std::map<uint64_t, std::vector<std::u16string>> shown;
        // As the engine serves a reader: its image while the counter has not moved.
        auto look = [&](Book& reader) {
            uint64_t counter = 0;
            ASSERT_TRUE(Book::ReadCounter(m.file, &counter));
            if (!reader.Loaded() || counter != reader.StoredCounter()) {
                ASSERT_EQ(reader.Load(m.file), 0);
            }
            auto seen = Observe(reader);
            auto [at, fresh] = shown.emplace(reader.StoredCounter(), seen);
            EXPECT_TRUE(fresh || at->second == seen) << "counter " << reader.StoredCounter() << " stands for "
                                                     << at->second.size() << " and " << seen.size() << " records";
        };
        Book before;
        look(before);
        {
            FaultyFile dying(m.file, 1, death);  // the journal is the change's first write
            Book writer;
            ASSERT_EQ(writer.Load(dying), 0);
            EXPECT_NE(writer.Add(dying, Entry(u"Eva Falk", u"3"), nullptr), 0);
            ASSERT_TRUE(dying.Died());
        }
        Book after;
        look(after);
        look(before);
        EXPECT_EQ(after.LiveCount(), 2);
        EXPECT_EQ(after.HadTornJournal(), death == Death::Torn);  // a garbled header names nothing

        Book next;
        ASSERT_EQ(next.Load(m.file), 0);
        ASSERT_EQ(next.Recover(m.file), 0);
        ASSERT_EQ(next.Add(m.file, Entry(u"Gus Hall", u"4"), nullptr), 0);
        Book late;
        for (Book* reader : {&before, &after, &late}) {
            look(*reader);
            EXPECT_EQ(reader->LiveCount(), 3);
        }
        EXPECT_EQ(shown.size(), 2u);
    }
}
