// Taking a change back: the plan against the book as it is now, for each kind of change
// and each way the book may have changed since, carried out on the engine; and the log's
// text, which a writer killed midway may leave cut short.
#include <gtest/gtest.h>

#include "UndoBook.h"
#include "undo/core/Change.h"

using undotest::UndoBook;
using namespace undo;

namespace {

enum class Kind { Add, Update, Remove, Join, Leave, GroupMade, GroupRemoved, Sync };
enum class Since { No, OtherEntries, SameEntries };

struct Expected {
    // groupsBack: removed groups made again; groupsGone: groups the change made, removed.
    size_t restored, reverted, removed, memberships, groupsBack, groupsGone, conflicts;
};

struct Row {
    Kind kind;
    Since since;
    Expected plan;
};

// Ann, Bob, Cid, Dan, Eve; Team holds Ann and Bob, Desk holds Cid.
struct Fixture {
    pbcore::MemoryPlatform files;
    UndoBook book{files};
    std::map<std::wstring, uint16_t> id;

    Fixture() {
        book.Begin();
        for (const wchar_t* name : {L"Ann", L"Bob", L"Cid", L"Dan", L"Eve"}) {
            uint16_t n = 0;
            book.Add(kEntry, UndoBook::Entry(name, (std::wstring(L"+1 555 ") + name).c_str()), n);
            id[name] = n;
        }
        for (const wchar_t* name : {L"Team", L"Desk"}) book.Add(kGroup, UndoBook::Group(name), id[name]);
        book.Join(id[L"Team"], id[L"Ann"]);
        book.Join(id[L"Team"], id[L"Bob"]);
        book.Join(id[L"Desk"], id[L"Cid"]);
        book.End();
    }

    Change Make(Kind kind) {
        Change change;
        book.Begin();
        uint16_t n = 0;
        switch (kind) {
        case Kind::Add: book.Add(kEntry, UndoBook::Entry(L"Fay", L"+1 555 Fay"), id[L"Fay"]); break;
        case Kind::Update: book.Modify(id[L"Bob"], kEntry, UndoBook::Entry(L"Bob", L"+1 555 Bob", L"Acme")); break;
        case Kind::Remove: book.Remove(id[L"Ann"]); break;
        case Kind::Join: book.Join(id[L"Team"], id[L"Cid"]); break;
        case Kind::Leave: book.Leave(id[L"Team"], id[L"Ann"]); break;
        case Kind::GroupMade:
            book.Add(kGroup, UndoBook::Group(L"Night"), id[L"Night"]);
            book.Join(id[L"Night"], id[L"Dan"]);
            break;
        case Kind::GroupRemoved: book.Remove(id[L"Desk"]); break;
        case Kind::Sync:
            book.Remove(id[L"Ann"]);
            book.Modify(id[L"Bob"], kEntry, UndoBook::Entry(L"Bob", L"+1 555 Bob", L"Acme"));
            book.Add(kEntry, UndoBook::Entry(L"Fay", L"+1 555 Fay"), id[L"Fay"]);
            book.Join(id[L"Team"], id[L"Fay"]);
            book.Leave(id[L"Desk"], id[L"Cid"]);
            break;
        }
        (void)n;
        book.End(&change);
        return change;
    }

    // What another writer did after the change.
    void Touch(Kind kind, Since since) {
        if (since == Since::No) return;
        book.Begin();
        if (since == Since::OtherEntries) {
            book.Modify(id[L"Eve"], kEntry, UndoBook::Entry(L"Eve", L"+1 555 Eve", L"Later"));
        } else {
            uint16_t n = 0;
            switch (kind) {
            case Kind::Add: book.Modify(id[L"Fay"], kEntry, UndoBook::Entry(L"Fay", L"+1 555 Fay", L"Later")); break;
            case Kind::Update: book.Modify(id[L"Bob"], kEntry, UndoBook::Entry(L"Bob", L"+1 555 Bob", L"Later")); break;
            case Kind::Remove: book.Add(kEntry, UndoBook::Entry(L"Ann", L"+1 555 Ann", L"New"), n); break;
            case Kind::Join: book.Leave(id[L"Team"], id[L"Cid"]); break;
            case Kind::Leave: book.Remove(id[L"Ann"]); break;
            case Kind::GroupMade: book.Modify(id[L"Night"], kGroup, UndoBook::Group(L"Late")); break;
            case Kind::GroupRemoved: book.Add(kGroup, UndoBook::Group(L"Desk"), n); break;
            case Kind::Sync:
                book.Modify(id[L"Bob"], kEntry, UndoBook::Entry(L"Bob", L"+1 555 Bob", L"Later"));
                book.Add(kEntry, UndoBook::Entry(L"Ann", L"+1 555 Ann", L"New"), n);
                break;
            }
        }
        book.End();
    }
};

const char* Name(Kind k) {
    const char* names[] = {"add", "update", "remove", "join", "leave", "group made", "group removed", "sync"};
    return names[static_cast<int>(k)];
}

TEST(UndoPlan, KindOfChangeByHowTheBookChangedSince) {
    const Row rows[] = {
        //                                  restored reverted removed members groupsBack groupsGone conflicts
        {Kind::Add, Since::No, {0, 0, 1, 0, 0, 0, 0}},
        {Kind::Add, Since::OtherEntries, {0, 0, 1, 0, 0, 0, 0}},
        {Kind::Add, Since::SameEntries, {0, 0, 0, 0, 0, 0, 1}},  // edited since: kept
        {Kind::Update, Since::No, {0, 1, 0, 0, 0, 0, 0}},
        {Kind::Update, Since::OtherEntries, {0, 1, 0, 0, 0, 0, 0}},
        {Kind::Update, Since::SameEntries, {0, 0, 0, 0, 0, 0, 1}},
        {Kind::Remove, Since::No, {1, 0, 0, 1, 0, 0, 0}},  // back, and into Team
        {Kind::Remove, Since::OtherEntries, {1, 0, 0, 1, 0, 0, 0}},
        {Kind::Remove, Since::SameEntries, {0, 0, 0, 0, 0, 0, 1}},  // its name is taken again
        {Kind::Join, Since::No, {0, 0, 0, 1, 0, 0, 0}},
        {Kind::Join, Since::OtherEntries, {0, 0, 0, 1, 0, 0, 0}},
        {Kind::Join, Since::SameEntries, {0, 0, 0, 0, 0, 0, 0}},  // left since: nothing to do
        {Kind::Leave, Since::No, {0, 0, 0, 1, 0, 0, 0}},
        {Kind::Leave, Since::OtherEntries, {0, 0, 0, 1, 0, 0, 0}},
        {Kind::Leave, Since::SameEntries, {0, 0, 0, 0, 0, 0, 0}},  // the entry is gone
        {Kind::GroupMade, Since::No, {0, 0, 0, 0, 0, 1, 0}},
        {Kind::GroupMade, Since::OtherEntries, {0, 0, 0, 0, 0, 1, 0}},
        {Kind::GroupMade, Since::SameEntries, {0, 0, 0, 0, 0, 0, 1}},  // renamed since: kept, Dan in it
        {Kind::GroupRemoved, Since::No, {0, 0, 0, 1, 1, 0, 0}},
        {Kind::GroupRemoved, Since::OtherEntries, {0, 0, 0, 1, 1, 0, 0}},
        {Kind::GroupRemoved, Since::SameEntries, {0, 0, 0, 1, 0, 0, 0}},  // the new Desk takes Cid
        {Kind::Sync, Since::No, {1, 1, 1, 2, 0, 0, 0}},
        {Kind::Sync, Since::OtherEntries, {1, 1, 1, 2, 0, 0, 0}},
        {Kind::Sync, Since::SameEntries, {0, 0, 1, 1, 0, 0, 2}},  // Bob edited, Ann's name taken
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << Name(row.kind) << ", changed since: " << static_cast<int>(row.since));
        Fixture f;
        const std::string before = f.book.Canonical();
        const Change change = f.Make(row.kind);
        ASSERT_FALSE(change.Empty());
        f.Touch(row.kind, row.since);
        const std::string touched = f.book.Canonical();
        std::vector<Item> now;
        ASSERT_TRUE(f.book.All(now));
        const UndoPlan plan = PlanUndo(change, now);
        const Expected got{plan.addEntries.size(),  plan.revert.size(),      plan.removeEntries.size(),
                           plan.memberships.size(), plan.makeGroups.size(), plan.removeGroups.size(),
                           plan.conflicts.size()};
        EXPECT_EQ(got.restored, row.plan.restored);
        EXPECT_EQ(got.reverted, row.plan.reverted);
        EXPECT_EQ(got.removed, row.plan.removed);
        EXPECT_EQ(got.memberships, row.plan.memberships);
        EXPECT_EQ(got.groupsBack, row.plan.groupsBack);
        EXPECT_EQ(got.groupsGone, row.plan.groupsGone);
        EXPECT_EQ(got.conflicts, row.plan.conflicts);
        for (const Conflict& c : plan.conflicts) EXPECT_FALSE(c.name.IsEmpty());

        ASSERT_EQ(f.book.Begin(), pbabi::kOk);
        const ApplyResult applied = ApplyUndo(plan, f.book);
        ASSERT_EQ(f.book.End(), pbabi::kOk);
        EXPECT_EQ(applied.failed, 0u);
        // Untouched, the book is as it was before the change, whatever ids came back.
        if (row.since == Since::No) {
            EXPECT_EQ(f.book.Canonical(), before);
        }
        if (row.since == Since::OtherEntries) {
            Fixture g;
            g.Touch(row.kind, Since::OtherEntries);
            EXPECT_EQ(f.book.Canonical(), g.book.Canonical());
        }
        if (row.since == Since::SameEntries && plan.Empty()) {
            EXPECT_EQ(f.book.Canonical(), touched);
        }
    }
}

TEST(UndoPlan, WritesThatCancelOutLeaveNothing) {
    Fixture f;
    f.book.Begin();
    uint16_t fay = 0;
    f.book.Add(kEntry, UndoBook::Entry(L"Fay", L"+1 555 Fay"), fay);
    f.book.Join(f.id[L"Team"], fay);
    f.book.Remove(fay);
    f.book.Join(f.id[L"Desk"], f.id[L"Dan"]);
    f.book.Leave(f.id[L"Desk"], f.id[L"Dan"]);
    Change change;
    f.book.End(&change);
    EXPECT_TRUE(change.Empty());
}

TEST(UndoLog, TextRoundTripsAndACutBlockIsLeftOut) {
    Fixture f;
    Change change = f.Make(Kind::Sync);
    change.serial = 7;
    change.time = 1700000000;
    change.label = L"sync from st\u00e4ff\tx.csv: 1 added";
    change.removed[0].fields[kEmail] = L"a\\b\nc";
    std::string text = EncodeHeader(L"C:\\b\u00fccher\\a.mpb2", "id-1") + EncodeChange(change) + EncodeMark(7, State::Done);
    LogContents log = ParseLog(text);
    ASSERT_EQ(log.changes.size(), 1u);
    EXPECT_FALSE(log.damaged);
    EXPECT_EQ(log.identity, "id-1");
    EXPECT_EQ(log.bookPath, CMString(L"C:\\b\u00fccher\\a.mpb2"));
    const Change& back = log.changes[0];
    EXPECT_EQ(back.state, State::Done);
    EXPECT_EQ(back.label, change.label);
    EXPECT_EQ(EncodeChange(back), EncodeChange(change));

    // A second change whose writer died halfway: only the first is kept; one not
    // marked is pending; one marked dropped is gone.
    Change second = change;
    second.serial = 8;
    const std::string block = EncodeChange(second);
    log = ParseLog(text + block.substr(0, block.size() / 2));
    EXPECT_TRUE(log.damaged);
    ASSERT_EQ(log.changes.size(), 1u);
    log = ParseLog(text + block);
    ASSERT_EQ(log.changes.size(), 2u);
    EXPECT_EQ(log.changes[1].state, State::Pending);
    log = ParseLog(text + block + EncodeMark(8, State::Dropped));
    EXPECT_EQ(log.changes.size(), 1u);
    // The outline an opening reads: the same log, without the changes' fields.
    LogOutline outline = OutlineLog(text + block);
    EXPECT_EQ(outline.identity, "id-1");
    EXPECT_EQ(outline.lastSerial, 8u);
    EXPECT_EQ(outline.changes, 2u);
    EXPECT_EQ(outline.oldest, 1700000000);
    EXPECT_FALSE(outline.cutShort);
    EXPECT_TRUE(OutlineLog(text + block.substr(0, block.size() / 2)).cutShort);
}

TEST(UndoLog, PendingChangeLandedOrNotIsToldByTheBook) {
    Fixture f;
    // The change was logged and then the writer died before its commit: the book is
    // as before, and the change is recognised as not landed; after the commit it is.
    std::vector<Item> before;
    f.book.All(before);
    const Change change = f.Make(Kind::Sync);
    std::vector<Item> after;
    f.book.All(after);
    EXPECT_FALSE(Landed(change, before));
    EXPECT_TRUE(Landed(change, after));
}

TEST(UndoLog, PruneKeepsTheNewestTwentyOfThirtyDays) {
    std::vector<Change> changes(25);
    const int64_t now = 100 * 24 * 3600;
    for (size_t i = 0; i < changes.size(); ++i) {
        changes[i].serial = static_cast<uint32_t>(i + 1);
        changes[i].time = now - static_cast<int64_t>(25 - i) * 2 * 24 * 3600;  // every other day
        changes[i].state = State::Done;
    }
    changes[24].state = State::Dropped;
    Prune(changes, now);
    // 31 days back are gone (10 of them), the dropped one too: 14 left, newest last.
    ASSERT_EQ(changes.size(), 14u);
    EXPECT_EQ(changes.back().serial, 24u);
    std::vector<Change> many(30);
    for (size_t i = 0; i < many.size(); ++i) many[i].serial = static_cast<uint32_t>(i + 1), many[i].time = now;
    Prune(many, now);
    ASSERT_EQ(many.size(), 20u);
    EXPECT_EQ(many.front().serial, 11u);
}

}  // namespace

namespace {

// The book's file stops taking writes after a budget of them, as a writer killed in the
// middle of a commit leaves it (the last write torn).
class DyingPlatform : public pbcore::MemoryPlatform {
public:
    uint64_t writesLeft = UINT64_MAX;

    std::unique_ptr<pbcore::FileIo> Attach(intptr_t handle) override {
        auto inner = MemoryPlatform::Attach(handle);
        if (!inner) return inner;
        return std::make_unique<Io>(std::move(inner), writesLeft);
    }

private:
    class Io : public pbcore::FileIo {
    public:
        Io(std::unique_ptr<pbcore::FileIo> inner, uint64_t& left)
            : m_inner(std::move(inner)), m_faulty(*m_inner, left, pbcore::FaultyFile::Death::Torn), m_left(left) {}
        ~Io() override { m_left = m_faulty.Died() ? 0 : m_left - std::min(m_left, m_faulty.Writes()); }
        bool Read(uint64_t offset, void* data, size_t size, size_t* got) override {
            return m_faulty.Read(offset, data, size, got);
        }
        bool Write(uint64_t offset, const void* data, size_t size) override { return m_faulty.Write(offset, data, size); }
        bool Flush() override { return m_faulty.Flush(); }
        bool Size(uint64_t* size) override { return m_faulty.Size(size); }
        bool Truncate(uint64_t size) override { return m_faulty.Truncate(size); }

    private:
        std::unique_ptr<pbcore::FileIo> m_inner;
        pbcore::FaultyFile m_faulty;
        uint64_t& m_left;
    };
};

// A sync and then its undo, each killed at every write of its commit in turn. The log
// holds the change written before the commit; on the next open the book tells whether
// it landed, and the log's verdict must be the book's: all of the change, or none.
TEST(UndoLog, KilledDuringAChangeOrItsUndoTheLogAgreesWithTheBook) {
    for (const bool killUndo : {false, true}) {
        for (uint64_t budget = 0; budget < 200; ++budget) {
            SCOPED_TRACE(testing::Message() << (killUndo ? "undo" : "sync") << " killed after write " << budget);
            pbcore::api::ForgetKeptImages();
            DyingPlatform files;
            std::string before, after;
            Change logged;
            {
                Fixture base;  // made on a platform of its own, then copied
                files.FileAt("u.mpb2") = std::make_shared<std::vector<uint8_t>>(*base.files.FileAt("u.mpb2"));
            }
            pbcore::api::ForgetKeptImages();
            {
                UndoBook book(files, false);
                ASSERT_TRUE(book.Ok());
                std::vector<Item> items;
                book.All(items);
                auto idOf = [&](const wchar_t* name) {
                    for (const Item& i : items)
                        if (i.fields[kName] == name) return i.id;
                    return uint16_t(0);
                };
                auto sync = [&] {
                    uint16_t fay = 0;
                    book.Remove(idOf(L"Ann"));
                    book.Modify(idOf(L"Bob"), kEntry, UndoBook::Entry(L"Bob", L"+1 555 Bob", L"Acme"));
                    book.Add(kEntry, UndoBook::Entry(L"Fay", L"+1 555 Fay"), fay);
                    book.Join(idOf(L"Team"), fay);
                };
                if (killUndo) {
                    ASSERT_EQ(book.Begin(), pbabi::kOk);
                    sync();
                    Change change;
                    ASSERT_EQ(book.End(&change), pbabi::kOk);
                    before = book.Canonical();
                    std::vector<Item> now;
                    book.All(now);
                    ASSERT_EQ(book.Begin(), pbabi::kOk);
                    ApplyUndo(PlanUndo(change, now), book);
                } else {
                    before = book.Canonical();
                    ASSERT_EQ(book.Begin(), pbabi::kOk);
                    sync();
                }
                files.writesLeft = budget;
                const int code = book.End(&logged);
                files.writesLeft = UINT64_MAX;
                if (code == pbabi::kOk) {
                    // The budget outlasted the commit: every point of it has been tried.
                    EXPECT_GT(budget, 1u);
                    break;
                }
            }
            // The next session: the book as the file holds it, the log's pending change.
            pbcore::api::ForgetKeptImages();
            UndoBook reopened(files, false);
            ASSERT_TRUE(reopened.Ok());
            std::vector<Item> now;
            ASSERT_TRUE(reopened.All(now));
            const std::string found = reopened.Canonical();
            if (Landed(logged, now)) {
                EXPECT_NE(found, before);
            } else {
                EXPECT_EQ(found, before);
            }
        }
    }
}

}  // namespace
