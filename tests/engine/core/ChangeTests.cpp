// Result codes and record rules callers rely on: 18 for a name in use, 16 when full
// (before 18), ids never 0, 255 or 0xFFFF, group membership kept consistent.
#include <gtest/gtest.h>

#include <iterator>
#include <set>

#include "EngineTestUtil.h"

using namespace pbcore;
using namespace enginetest;

TEST(Changes, NameInUseCodes) {
    MemBook m;
    const uint16_t anna = m.Add(Entry(u"Anna Berg", u"+49 1"));
    const uint16_t team = m.Add(Group(u"Team"));
    ASSERT_NE(anna, 0);
    ASSERT_NE(team, 0);
    uint16_t id = 0;
    struct Case {
        Record record;
        int expected;
    };
    const std::vector<Case> adds = {
        {Entry(u"ANNA BERG", u"+49 1"), code::kNameInUse},        // same name ignoring case, same fax
        {Entry(u"Anna Berg", u"+49 2"), code::kOk},               // another fax: another recipient
        {Group(u"team"), code::kNameInUse},
        {Group(u"Anna Berg"), code::kOk},                         // entries and groups do not clash
        {Entry(u"Team", u""), code::kOk},
        {Entry(u"", u"+49 3"), code::kBadArgument},
    };
    for (const Case& c : adds) {
        EXPECT_EQ(m.book.Add(m.file, c.record, &id), c.expected) << std::string(c.record.fields[kName].begin(), c.record.fields[kName].end());
    }
    // Modifications: a clash with another record is 18, keeping its own name is not.
    EXPECT_EQ(m.book.Modify(m.file, anna, Entry(u"anna berg", u"+49 2")), code::kNameInUse);
    EXPECT_EQ(m.book.Modify(m.file, anna, Entry(u"anna BERG", u"+49 1", u"Acme")), code::kOk);
    EXPECT_EQ(m.book.Modify(m.file, team, Group(u"ANNA BERG")), code::kNameInUse);
    EXPECT_EQ(m.book.Modify(m.file, team, Entry(u"Team", u"1")), code::kBadArgument);  // kind stays
    EXPECT_EQ(m.book.Modify(m.file, 4321, Entry(u"X", u"1")), code::kNotFound);
}

TEST(Changes, FullBeforeNameInUse) {
    MemBook m(Kind::Oldest);
    uint16_t id = 0;
    for (int i = 0; i < 1000; ++i) {
        std::u16string name = u"Name ";
        name += static_cast<char16_t>(u'A' + i % 26);
        name += u' ';
        name += static_cast<char16_t>(u'0' + i / 26 % 10);
        name += static_cast<char16_t>(u'0' + i / 260);
        ASSERT_EQ(m.book.Add(m.file, Entry(name.c_str(), u"1"), &id), code::kOk) << i;
        EXPECT_NE(id, 0);
        EXPECT_NE(id, 255);
        EXPECT_NE(id, 0xFFFF);
    }
    EXPECT_EQ(m.book.Add(m.file, Entry(u"Someone New", u"1"), &id), code::kFull);
    // A caller that draws new group names while it hears 18 must hear 16 here.
    EXPECT_EQ(m.book.Add(m.file, Entry(u"Name A 00", u"1"), &id), code::kFull);
    ASSERT_EQ(m.book.Remove(m.file, id), code::kOk);
    EXPECT_EQ(m.book.Add(m.file, Entry(u"Someone New", u"1"), &id), code::kOk);
    m.Reload();
    EXPECT_EQ(m.book.LiveCount(), 1000);
}

TEST(Changes, IdsAreUniqueAndSkipReservedValues) {
    MemBook m;
    std::set<uint16_t> ids;
    for (int i = 0; i < 300; ++i) {
        std::u16string name = u"P";
        name += static_cast<char16_t>(0x4E00 + i);
        uint16_t id = m.Add(Entry(name.c_str(), u"5"));
        ASSERT_NE(id, 0);
        EXPECT_NE(id, 255);
        EXPECT_TRUE(ids.insert(id).second);
    }
    // A removed id below the top is not handed out again while higher ones are free.
    uint16_t early = *std::next(ids.begin(), 10);
    ASSERT_EQ(m.book.Remove(m.file, early), code::kOk);
    uint16_t next = m.Add(Entry(u"Newcomer", u"5"));
    EXPECT_NE(next, early);
    EXPECT_FALSE(ids.count(next));
    m.Reload();
    int slot = -1;
    EXPECT_EQ(m.book.Find(u"", u"", next, slot), code::kOk);
    EXPECT_EQ(m.book.Read(slot).fields[kName], u"Newcomer");
}

TEST(Changes, GroupMembership) {
    MemBook m;
    const uint16_t a = m.Add(Entry(u"Anna", u"1")), b = m.Add(Entry(u"Bert", u"2"));
    const uint16_t g = m.Add(Group(u"Team")), h = m.Add(Group(u"Other"));
    struct Case {
        int (Book::*op)(FileIo&, uint16_t, uint16_t);
        uint16_t group, entry;
        int expected;
    };
    const std::vector<Case> cases = {
        {&Book::AddToGroup, g, a, code::kOk},
        {&Book::AddToGroup, g, a, code::kOk},           // again: still one copy
        {&Book::AddToGroup, g, b, code::kOk},
        {&Book::AddToGroup, h, a, code::kOk},
        {&Book::AddToGroup, g, h, code::kBadArgument},  // groups are no members
        {&Book::AddToGroup, g, 999, code::kNotFound},
        {&Book::AddToGroup, a, b, code::kBadArgument},  // an entry is no group
        {&Book::RemoveFromGroup, g, b, code::kOk},
        {&Book::RemoveFromGroup, g, b, code::kOk},
        {&Book::RemoveFromGroup, 999, a, code::kNotFound},
    };
    for (const Case& c : cases) EXPECT_EQ((m.book.*c.op)(m.file, c.group, c.entry), c.expected);
    m.Reload();
    EXPECT_EQ(m.book.Read(m.book.SlotOfId(g)).members, std::vector<uint16_t>{a});
    // Removing an entry removes it from every group, and a newcomer in its slot joins none.
    ASSERT_EQ(m.book.Remove(m.file, a), code::kOk);
    const uint16_t c = m.Add(Entry(u"Carla", u"3"));
    m.Reload();
    EXPECT_TRUE(m.book.Read(m.book.SlotOfId(g)).members.empty());
    EXPECT_TRUE(m.book.Read(m.book.SlotOfId(h)).members.empty());
    EXPECT_NE(m.book.SlotOfId(c), -1);
    // A rename keeps the members.
    ASSERT_EQ(m.book.AddToGroup(m.file, g, c), code::kOk);
    ASSERT_EQ(m.book.Modify(m.file, g, Group(u"Team Nord")), code::kOk);
    m.Reload();
    EXPECT_EQ(m.book.Read(m.book.SlotOfId(g)).members, std::vector<uint16_t>{c});
}

TEST(Changes, LookupByNameAndFaxOrById) {
    MemBook m;
    const uint16_t a = m.Add(Entry(u"Anna", u"1"));
    const uint16_t g = m.Add(Group(u"Team"));
    struct Case {
        const char16_t* name;
        const char16_t* fax;
        uint16_t id;
        uint16_t expected;  // 0: not found
    };
    const std::vector<Case> cases = {
        {u"Anna", u"1", 0xFFFF, a}, {u"ANNA", u"1", 0xFFFF, a}, {u"Anna", u"2", 0xFFFF, 0},
        {u"Team", u"", 0xFFFF, g},  {u"[Team]", u"", 0xFFFF, g}, {u"", u"", a, a},
        {u"Anna", u"1", a, a},       {u"Bert", u"", a, 0},         {u"[Team]", u"", g, g},  // lists hand groups back bracketed
        {u"", u"", 4711, 0},         {u"", u"", 0, 0},             {u"", u"", 0xFFFF, 0},
    };
    for (const Case& c : cases) {
        int slot = -1;
        int rc = m.book.Find(c.name, c.fax, c.id, slot);
        if (c.expected) {
            ASSERT_EQ(rc, code::kOk);
            EXPECT_EQ(m.book.Read(slot).id, c.expected);
        } else {
            EXPECT_NE(rc, code::kOk);
            EXPECT_NE(rc, code::kFull);
            EXPECT_NE(rc, code::kNameInUse);
        }
    }
}

TEST(Changes, TextsAreCutToTheirWidths) {
    MemBook m;
    Record r = Entry(u"", u"");
    r.fields[kName] = std::u16string(40, u'n');
    r.fields[kFax] = std::u16string(60, u'1');
    r.fields[kMailbox] = u"12345";
    r.fields[kEmail] = std::u16string(30, u'e') + u'\0' + u"hidden";
    r.fields[kOrganization] = std::u16string(30, u'o') + u"\U0001F600" + std::u16string(40, u'x');
    const uint16_t id = m.Add(r);
    m.Reload();
    Record back = m.book.Read(m.book.SlotOfId(id));
    EXPECT_EQ(back.fields[kName].size(), 31u);
    EXPECT_EQ(back.fields[kFax].size(), 46u);
    EXPECT_EQ(back.fields[kMailbox], u"123");
    EXPECT_EQ(back.fields[kEmail], std::u16string(30, u'e'));
    EXPECT_EQ(back.fields[kOrganization].size(), 59u);
    // A cut never leaves half a surrogate pair.
    Record pair = Entry(u"", u"1");
    pair.fields[kName] = std::u16string(30, u'p') + u"\U0001F600";
    const uint16_t pid = m.Add(pair);
    m.Reload();
    EXPECT_EQ(m.book.Read(m.book.SlotOfId(pid)).fields[kName], std::u16string(30, u'p'));
}
