// What a source's records do to a book: adds, updates, removals, groups and counts,
// decided from a snapshot before anything changes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PrintCMString.h"
#include "intake/core/Plan.h"
#include "intake/core/PlanText.h"
#include "numbers/core/FaxNumber.h"

using namespace intake;
using delimited::Column;

namespace {

struct In {
    const wchar_t* name;
    const wchar_t* fax;
    const wchar_t* organization = L"";
    std::vector<CMString> groups = {};
    Rejection rejection = Rejection::None;
    uint8_t present = kEveryField;
};

struct Case {
    const char* what;
    std::vector<SnapshotEntry> entries;
    std::vector<SnapshotGroup> groups;
    std::vector<In> records;
    Options options;
    std::wstring counts;
    std::vector<std::wstring> changes;
    Refusal refusal = Refusal::None;
    bool complete = true;
    size_t capacity = 2500;
};

SnapshotEntry E(uint16_t id, const wchar_t* name, const wchar_t* fax, const wchar_t* organization = L"") {
    SnapshotEntry e;
    e.id = id;
    e.fields.name = name;
    e.fields.fax = fax;
    e.fields.organization = organization;
    return e;
}

Options With(Mode mode, const wchar_t* group = L"", bool allowShrink = false, const wchar_t* home = nullptr) {
    Options o;
    o.mode = mode;
    o.managedGroup = group;
    o.allowShrink = allowShrink;
    o.home = home ? faxnum::CountryByIso(home) : nullptr;
    return o;
}

Options Adopting(Options o) {
    o.adopt = true;
    return o;
}

SnapshotGroup G(uint16_t id, const wchar_t* name, std::vector<uint16_t> members) { return {id, name, std::move(members)}; }

const std::wstring k40 = L"Bezirksamt Charlottenburg-Wilmersdorf Ost";  // 41 units
const std::wstring k31 = k40.substr(0, 31);
const std::wstring kGroup31 = L"Regionalvertrieb Nord und Osten";  // 31 units
const std::wstring kGroup29 = kGroup31.substr(0, 29);
const uint8_t kNameAndFax = Bit(Column::Name) | Bit(Column::Fax);

// An ANSI code page that lacks everything past Latin-1.
TextForm Latin1() {
    TextForm form;
    form.ansi = [](std::wstring_view text, size_t bytes) {
        std::wstring out;
        for (wchar_t c : text.substr(0, std::min(text.size(), bytes))) out.push_back(c < 0x100 ? c : L'?');
        return CMString(out);
    };
    return form;
}

std::vector<std::wstring> Changes(const Plan& plan, const SourceRead&) { return ChangeLines(plan); }

}  // namespace

TEST(Plan, RecordsAgainstABook) {
    const std::vector<Case> cases = {
        {"a long name is compared as the book keeps it: the sync leaves its entry alone",
         {E(1, k31.c_str(), L"1")}, {}, {{k40.c_str(), L"1"}}, With(Mode::Sync),
         L"1 read, 0 added, 0 updated, 1 unchanged, 0 removed, 0 rejected, 0 without room", {}},
        {"a long name's update lands on its entry",
         {E(1, k31.c_str(), L"1")}, {}, {{k40.c_str(), L"1", L"Neu", {}, Rejection::None}}, With(Mode::Update),
         L"1 read, 0 added, 1 updated, 0 unchanged, 0 rejected, 0 without room",
         {L"update #1 \"" + k31 + L"\": organization \"\" -> \"Neu\""}},
        {"two people of one name are two entries, the one with the fax number first",
         {E(1, L"Anna Berg", L"1")}, {}, {{L"anna berg", L"2"}, {L"Anna Berg", L"1"}}, With(Mode::Sync),
         L"2 read, 1 added, 0 updated, 1 unchanged, 0 removed, 0 rejected, 0 without room",
         {L"add: \"anna berg\", fax \"2\""}},
        {"of two entries of one name, a record without either's number is added",
         {E(1, L"Anna", L"1"), E(2, L"Anna", L"2")}, {}, {{L"Anna", L"3"}}, With(Mode::Update),
         L"1 read, 1 added, 0 updated, 0 unchanged, 0 rejected, 0 without room", {L"add: \"Anna\", fax \"3\""}},
        {"of several people of one name, a record finds its entry by the fax number alone",
         {E(1, L"Anna", L"1"), E(2, L"Anna", L"2")}, {}, {{L"Anna", L"1"}, {L"Anna", L"3"}}, With(Mode::Sync),
         L"2 read, 1 added, 0 updated, 1 unchanged, 1 removed, 0 rejected, 0 without room",
         {L"add: \"Anna\", fax \"3\"", L"remove #2 \"Anna\", fax \"2\""}},
        {"the same person twice in a file is one entry",
         {}, {}, {{L"Anna", L"1"}, {L"ANNA", L"1"}}, With(Mode::Update),
         L"2 read, 1 added, 0 updated, 0 unchanged, 1 rejected, 0 without room", {L"add: \"Anna\", fax \"1\""}},
        {"a group name of 31 characters finds the group the book keeps",
         {E(0x9001, L"Anna", L"1")}, {{0x9002, kGroup29.c_str(), {}}},
         {{L"Anna", L"1", L"", {CMString(kGroup31), CMString(L"[" + kGroup29 + L"]")}}}, With(Mode::Update),
         L"1 read, 0 added, 0 updated, 1 unchanged, 0 rejected, 0 without room",
         {L"join #36865 \"Anna\": group \"" + kGroup29 + L"\""}},
        {"records without a name take the organization's; with neither they are rejected",
         {E(1, L"Alt", L"9")}, {}, {{L"", L"1", L"Firma", {}, Rejection::NoName}, {L"", L"2", L"", {}, Rejection::NoName}},
         With(Mode::Sync, L"", true),
         L"2 read, 1 added, 0 updated, 0 unchanged, 1 removed, 1 rejected, 0 without room",
         {L"add: \"Firma\", fax \"1\"", L"remove #1 \"Alt\", fax \"9\""}},
        {"rows that give nothing leave the book alone, even with leave to shrink",
         {E(1, L"Alt", L"9")}, {}, {{L"", L"1", L"", {}, Rejection::NoName}, {L"X", L"", L"", {}, Rejection::NoFax}},
         With(Mode::Sync, L"", true),
         L"2 read, 0 added, 0 updated, 0 unchanged, 1 removed, 2 rejected, 0 without room",
         {L"remove #1 \"Alt\", fax \"9\""}, Refusal::NothingAccepted},
        {"a sync that would remove more than half needs leave",
         {E(1, L"A", L"1"), E(2, L"B", L"2"), E(3, L"C", L"3")}, {}, {{L"A", L"1"}}, With(Mode::Sync),
         L"1 read, 0 added, 0 updated, 1 unchanged, 2 removed, 0 rejected, 0 without room",
         {L"remove #2 \"B\", fax \"2\"", L"remove #3 \"C\", fax \"3\""}, Refusal::TooManyRemoved},
        {"a read that stopped short removes nothing",
         {E(1, L"A", L"1"), E(2, L"B", L"2")}, {}, {{L"A", L"1"}}, With(Mode::Sync, L"", true),
         L"1 read, 0 added, 0 updated, 1 unchanged, 1 removed, 0 rejected, 0 without room",
         {L"remove #2 \"B\", fax \"2\""}, Refusal::ReadFailed, false},
        {"a sync that the book cannot hold is refused",
         {E(1, L"A", L"1")}, {}, {{L"A", L"1"}, {L"B", L"2"}, {L"C", L"3"}}, With(Mode::Sync),
         L"3 read, 1 added, 0 updated, 1 unchanged, 0 removed, 0 rejected, 1 without room",
         {L"add: \"B\", fax \"2\""}, Refusal::NoRoom, true, 2},
        {"a managed sync removes only its group's members, and what it gives joins the group",
         {E(1, L"Hand", L"1"), E(2, L"Managed", L"2"), E(3, L"Kept", L"3")}, {{7, L"Directory", {2, 3}}},
         {{L"Kept", L"3"}, {L"New", L"4"}}, With(Mode::Sync, L"directory", true),
         L"2 read, 1 added, 0 updated, 1 unchanged, 1 removed, 0 rejected, 0 without room",
         {L"add: \"New\", fax \"4\", group \"Directory\"", L"remove #2 \"Managed\", fax \"2\""}},
        {"a managed sync's first run makes its group and removes nothing",
         {E(1, L"Hand", L"1")}, {}, {{L"New", L"4"}}, With(Mode::Sync, L"Directory"),
         L"1 read, 1 added, 0 updated, 0 unchanged, 0 removed, 0 rejected, 0 without room",
         {L"add: \"New\", fax \"4\", group \"Directory\"", L"new group: \"Directory\""}},
        {"an update replaces the fields the source gives and keeps the others",
         {E(1, L"Anna", L"1", L"Alt GmbH")}, {}, {{L"Anna", L"2", L"", {}, Rejection::None, kNameAndFax}},
         With(Mode::Update), L"1 read, 0 added, 1 updated, 0 unchanged, 0 rejected, 0 without room",
         {L"update #1 \"Anna\": fax \"1\" -> \"2\""}},
        {"an ANSI book compares what its code page keeps",
         {E(1, L"M?ller", L"1")}, {}, {{L"M\u0171ller", L"1"}}, With(Mode::Sync),
         L"1 read, 0 added, 0 updated, 1 unchanged, 0 removed, 0 rejected, 0 without room", {}},
        {"an import that adds counts the book's and the file's own twins as already present",
         {E(1, L"Anna", L"1")}, {}, {{L"ANNA", L"1"}, {L"Bo", L"2"}, {L"Bo", L"2"}, {L"", L"3", L"X", {}, Rejection::NoName}},
         With(Mode::Add), L"4 read, 1 imported, 0 rejected, 2 already present, 0 without room", {L"add: \"Bo\", fax \"2\""}},
        {"an import that adds counts what finds no room, and a full list takes nothing at all",
         {E(1, L"Anna", L"1")}, {}, {{L"Bo", L"2"}, {L"Cy", L"3"}}, With(Mode::Add),
         L"2 read, 1 imported, 0 rejected, 0 already present, 1 without room", {L"add: \"Bo\", fax \"2\""},
         Refusal::None, true, 2},
        {"a full book: every record is counted without room, as the run finds it",
         {E(1, L"Anna", L"1")}, {}, {{L"Bo", L"2"}}, With(Mode::Add),
         L"1 read, 0 imported, 0 rejected, 0 already present, 1 without room", {}, Refusal::None, true, 1},
        {"a managed sync leaves an entry outside its group alone, though a record names it",
         {E(1, L"Anna Berg", L"030 1111", L"Private Org"), E(2, L"Bo", L"2")}, {G(7, L"Directory", {2})},
         {{L"Anna Berg", L"030 2222"}, {L"Bo", L"2"}}, With(Mode::Sync, L"Directory"),
         L"2 read, 0 added, 0 updated, 1 unchanged, 0 removed, 0 rejected, 0 without room, 1 left alone",
         {L"left alone #1 \"Anna Berg\": not in group \"Directory\""}},
        {"an import that updates with a group leaves it alone too",
         {E(1, L"Anna Berg", L"030 1111")}, {}, {{L"Anna Berg", L"030 1111", L"Neu"}}, With(Mode::Update, L"Directory"),
         L"1 read, 0 added, 0 updated, 0 unchanged, 0 rejected, 0 without room, 1 left alone",
         {L"left alone #1 \"Anna Berg\": not in group \"Directory\""}},
        {"adopting, it takes the entry into the group and updates it",
         {E(1, L"Anna Berg", L"030 1111"), E(2, L"Bo", L"2")}, {G(7, L"Directory", {2})},
         {{L"Anna Berg", L"030 2222"}, {L"Bo", L"2"}}, Adopting(With(Mode::Sync, L"Directory")),
         L"2 read, 0 added, 1 updated, 1 unchanged, 0 removed, 0 rejected, 0 without room",
         {L"update #1 \"Anna Berg\": fax \"030 1111\" -> \"030 2222\"", L"join #1 \"Anna Berg\": group \"Directory\""}},
        {"a member of the group is matched before a hand-made entry of its name",
         {E(1, L"Anna", L"1"), E(2, L"Anna", L"2")}, {G(7, L"Directory", {2})}, {{L"Anna", L"3"}},
         With(Mode::Sync, L"Directory"),
         L"1 read, 0 added, 1 updated, 0 unchanged, 0 removed, 0 rejected, 0 without room",
         {L"update #2 \"Anna\": fax \"2\" -> \"3\""}},
        {"an import that adds takes no entry made by hand into its group",
         {E(1, L"Anna", L"1")}, {}, {{L"Anna", L"1"}}, With(Mode::Add, L"Directory"),
         L"1 read, 0 imported, 0 rejected, 1 already present, 0 without room", {}},
        {"a rejected record keeps the entry of its name, with its groups",
         {E(1, L"Anna", L"1"), E(2, L"Bo Lind", L"040 7654321")}, {G(5, L"Team", {2})},
         {{L"Anna", L"1", L"", {CMString(L"Team")}}, {L"bo lind", L"040 7654321 ext 5", L"", {CMString(L"Team")}, Rejection::FaxCharacter}},
         With(Mode::Sync),
         L"2 read, 0 added, 0 updated, 1 unchanged, 0 removed, 1 rejected, 0 without room, 1 kept",
         {L"join #1 \"Anna\": group \"Team\"", L"kept #2 \"Bo Lind\": its record was rejected"}},
        {"every group without room is named once, and only the groups made are joined",
         {E(1, L"Anna", L"1")}, {}, {{L"Anna", L"1", L"", {CMString(L"A"), CMString(L"B"), CMString(L"C"), CMString(L"D")}},
                                     {L"Bo", L"2", L"", {CMString(L"c")}}},
         With(Mode::Update), L"2 read, 0 added, 0 updated, 1 unchanged, 0 rejected, 1 without room, 2 groups without room",
         {L"new group: \"A\"", L"new group: \"B\"", L"join #1 \"Anna\": group \"A\"", L"join #1 \"Anna\": group \"B\"",
          L"no room for group \"C\"", L"no room for group \"D\""}, Refusal::None, true, 3},
        {"a sync moves an entry between the groups its source names, and leaves the others",
         {E(1, L"Anna", L"1"), E(2, L"Bo", L"2")}, {G(5, L"Sales", {1}), G(6, L"Support", {}), G(7, L"Friends", {1})},
         {{L"Anna", L"1", L"", {CMString(L"support")}}, {L"Bo", L"2", L"", {CMString(L"Sales")}}}, With(Mode::Sync),
         L"2 read, 0 added, 0 updated, 2 unchanged, 0 removed, 0 rejected, 0 without room",
         {L"join #1 \"Anna\": group \"Support\"", L"join #2 \"Bo\": group \"Sales\"",
          L"leave #1 \"Anna\": group \"Sales\""}},
        {"a managed sync never takes its entries out of its own group",
         {E(1, L"Anna", L"1")}, {G(5, L"Directory", {1}), G(6, L"Sales", {1})},
         {{L"Anna", L"1", L"", {CMString(L"Directory")}}, {L"Bo", L"2", L"", {CMString(L"Sales")}}},
         With(Mode::Sync, L"Directory"),
         L"2 read, 1 added, 0 updated, 1 unchanged, 0 removed, 0 rejected, 0 without room",
         {L"add: \"Bo\", fax \"2\", group \"Sales\", group \"Directory\"", L"leave #1 \"Anna\": group \"Sales\""}},
        {"a number written another way is already present in the book and in the file",
         {E(1, L"Anna", L"+49301234567")}, {},
         {{L"anna", L"030 1234567"}, {L"Bo", L"+49 40 7654321"}, {L"Bo", L"040/765 43 21"}},
         With(Mode::Add, L"", false, L"DE"),
         L"3 read, 1 imported, 0 rejected, 2 already present, 0 without room", {L"add: \"Bo\", fax \"+49 40 7654321\""}},
        {"without a home country a national number is compared as text",
         {E(1, L"Anna", L"+49301234567"), E(2, L"Cy", L"Durchwahl 12")}, {},
         {{L"Anna", L"030 1234567"}, {L"Cy", L"Durchwahl  12"}}, With(Mode::Add),
         L"2 read, 2 imported, 0 rejected, 0 already present, 0 without room",
         {L"add: \"Anna\", fax \"030 1234567\"", L"add: \"Cy\", fax \"Durchwahl  12\""}},
        {"the home country decides what a national number is",
         {E(1, L"Anna", L"+49301234567")}, {}, {{L"Anna", L"030 1234567"}}, With(Mode::Add, L"", false, L"AT"),
         L"1 read, 1 imported, 0 rejected, 0 already present, 0 without room", {L"add: \"Anna\", fax \"030 1234567\""}},
        {"of several people of one name, a record finds its entry by its number written another way",
         {E(1, L"Anna", L"+49301234567"), E(2, L"Anna", L"+494011111")}, {}, {{L"Anna", L"030/1234567"}},
         With(Mode::Sync, L"", false, L"DE"),
         L"1 read, 0 added, 1 updated, 0 unchanged, 1 removed, 0 rejected, 0 without room",
         {L"update #1 \"Anna\": fax \"+49301234567\" -> \"030/1234567\"", L"remove #2 \"Anna\", fax \"+494011111\""}},
        {"of twins in the book, a sync keeps the one written as the record",
         {E(1, L"Anna", L"+49301234567"), E(2, L"Anna", L"030 1234567")}, {}, {{L"Anna", L"030 1234567"}},
         With(Mode::Sync, L"", false, L"DE"),
         L"1 read, 0 added, 0 updated, 1 unchanged, 1 removed, 0 rejected, 0 without room",
         {L"remove #1 \"Anna\", fax \"+49301234567\""}},
        {"one number written two ways in a file is one entry",
         {}, {}, {{L"Anna", L"+49 30 1234567"}, {L"Anna", L"0049 (0)30 1234567"}}, With(Mode::Update, L"", false, L"DE"),
         L"2 read, 1 added, 0 updated, 0 unchanged, 1 rejected, 0 without room", {L"add: \"Anna\", fax \"+49 30 1234567\""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Snapshot book;
        book.entries = c.entries;
        book.groups = c.groups;
        book.capacity = c.capacity;
        if (std::string(c.what).find("ANSI") != std::string::npos) book.form = Latin1();
        SourceRead read;
        read.complete = c.complete;
        for (const In& in : c.records) {
            Record& r = read.records.emplace_back();
            r.fields.name = in.name;
            r.fields.fax = in.fax;
            r.fields.organization = in.organization;
            r.groups = in.groups;
            r.rejection = in.rejection;
            r.present = in.present;
        }
        const Plan plan = MakePlan(book, read, c.options);
        EXPECT_EQ(CountsText(plan), c.counts);
        EXPECT_EQ(Changes(plan, read), c.changes);
        EXPECT_EQ(plan.refusal, c.refusal);
        const auto& n = plan.counts;
        if (n.read) {
            EXPECT_EQ(n.read, n.imported + n.updated + n.unchanged + n.rejected + n.alreadyPresent + n.full + n.other +
                                  plan.leftAlone.size());
        }
    }
}

TEST(Plan, GroupsAndMembershipsAreMadeOnce) {
    Snapshot book;
    book.capacity = 10;
    book.entries = {E(1, L"Anna", L"1")};
    book.groups = {{5, L"Kunden", {1}}};
    SourceRead read;
    for (const wchar_t* name : {L"Anna", L"Bo"}) {
        Record& r = read.records.emplace_back();
        r.fields.name = name;
        r.fields.fax = L"1";
        r.groups = {L"kunden", L"Team [Nord]", L"team nord"};
    }
    const Plan plan = MakePlan(book, read, Adopting(With(Mode::Update, L"Sync")));
    EXPECT_EQ(plan.newGroups, (std::vector<CMString>{L"Team Nord", L"Sync"}));
    // Anna is in Kunden already; Bo joins it; both join Team Nord and Sync.
    ASSERT_EQ(plan.memberships.size(), 5u);
    EXPECT_EQ(plan.memberships[0].group, (Ref{true, 0}));
    EXPECT_EQ(plan.memberships[2].group, (Ref{false, 5}));
    EXPECT_EQ(plan.memberships[2].entry, (Ref{true, 0}));
    EXPECT_EQ(PlanJson(plan).rfind(
                  "{\"counts\":{\"read\":2,\"added\":1,\"updated\":0,\"unchanged\":1,\"removed\":0,\"rejected\":0,"
              "\"alreadyPresent\":0,\"withoutRoom\":0,\"other\":0,\"leftAlone\":0,\"kept\":0},\"readToEnd\":true,\"refusal\":\"none\",\"adds", 0),
              0u);
}
