// A scripted series of changes is cut off at every write (and with that write torn in
// half); the file must open afterwards with every completed change present and the
// change in flight whole or absent, and must take further changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

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

    for (bool tear : {false, true}) {
        for (uint64_t k = 1; k <= totalWrites; ++k) {
            SCOPED_TRACE(testing::Message() << "write " << k << (tear ? " torn" : " cut"));
            auto bytes = std::make_shared<std::vector<uint8_t>>(empty);
            MemoryFile file(bytes);
            size_t completed = 0;
            {
                FaultyFile dying(file, k, tear);
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
