// Entries sharing one fax line: the sets a book holds, what merging one of them changes,
// and the others an entry's number is shared with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "numbers/core/SharedLines.h"

namespace {

using faxnum::Book;
using faxnum::CountryByIso;
using Ids = std::vector<uint16_t>;

// One line written four ways (the last only national), another number, two equal
// machine codes; groups overlapping them.
Book Sample() {
    Book book;
    book.entries = {{1, L"Anna Smith", L"+49 30 1234567"}, {2, L"Bob Jones", L"+49 40 555555"},
                    {3, L"A. Smith", L"0049 30 1234567"},  {4, L"Smith office", L"030 1234567"},
                    {5, L"Fax server", L"*55"},             {6, L"Fax server 2", L"* 55"},
                    {7, L"No number", L"ask"}};
    book.groups = {{10, L"Sales", {1, 2}}, {11, L"Support", {3}}, {12, L"Both", {1, 3}}, {13, L"Empty", {}}};
    return book;
}

TEST(SharedLines, SetsWithTheirGroups) {
    struct Set {
        std::wstring normalForm;
        Ids ids;
        std::vector<std::vector<std::wstring>> groups;
    };
    struct { const wchar_t* home; std::vector<Set> sets; } cases[] = {
        {L"DE", {{L"+49301234567", {1, 3, 4}, {{L"Sales", L"Both"}, {L"Support", L"Both"}, {}}},
                 {L"*55", {5, 6}, {{}, {}}}}},
        // Without a home country the national number reads as no line at all.
        {L"", {{L"+49301234567", {1, 3}, {{L"Sales", L"Both"}, {L"Support", L"Both"}}}, {L"*55", {5, 6}, {{}, {}}}}},
    };
    const Book book = Sample();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "home " << c.home);
        const auto lines = faxnum::SharedLines(book, CountryByIso(c.home));
        ASSERT_EQ(lines.size(), c.sets.size());
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].normalForm, c.sets[i].normalForm);
            Ids ids;
            std::vector<std::vector<std::wstring>> groups;
            for (const auto& e : lines[i].entries) {
                ids.push_back(e.id);
                groups.push_back(e.groups);
            }
            EXPECT_EQ(ids, c.sets[i].ids);
            EXPECT_EQ(groups, c.sets[i].groups);
        }
    }
    EXPECT_TRUE(faxnum::SharedLines(Book(), nullptr).empty());
}

TEST(SharedLines, MergeRemovesTheOthersAndMovesTheirGroups) {
    struct { const wchar_t* home; Ids set; uint16_t keep; bool possible; Ids remove; Ids join; } cases[] = {
        {L"DE", {1, 3, 4}, 3, true, {1, 4}, {10}},      // Both holds the kept one already
        {L"DE", {1, 3, 4}, 1, true, {3, 4}, {11}},
        {L"DE", {1, 3, 4}, 4, true, {1, 3}, {10, 11, 12}},
        {L"", {1, 3, 4}, 1, true, {3}, {11}},           // 4 no longer reads as the same line
        {L"DE", {1, 2, 3}, 1, true, {3}, {11}},         // 2 was changed meanwhile: it stays
        {L"DE", {1, 3, 99}, 1, true, {3}, {11}},        // 99 was removed meanwhile
        {L"DE", {1, 3, 3, 1}, 1, true, {3}, {11}},
        {L"DE", {5, 6}, 6, true, {5}, {}},
        {L"DE", {1, 3}, 99, false, {}, {}},             // the kept one is gone: nothing
        {L"DE", {7, 1}, 7, false, {}, {}},              // nor with a number that is no line
    };
    const Book book = Sample();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "keep " << c.keep);
        const auto plan = faxnum::PlanMerge(book, c.set, c.keep, CountryByIso(c.home));
        EXPECT_EQ(plan.possible, c.possible);
        EXPECT_EQ(plan.remove, c.remove);
        EXPECT_EQ(plan.join, c.join);
    }
}

TEST(SharedLines, OthersSharingTheNumberTyped) {
    struct { const wchar_t* home; const wchar_t* typed; uint16_t self; Ids others; } cases[] = {
        {L"DE", L"+49 (0)30 123 45 67", 0, {1, 3, 4}},  // a new entry
        {L"DE", L"030-1234567", 3, {1, 4}},             // never the entry itself
        {L"DE", L"+49 40 555555", 2, {}},
        {L"DE", L"+49 40 5555550", 0, {}},
        {L"DE", L"ask", 0, {}},                         // no line: no one shares it
        {L"", L"030 1234567", 0, {}},
        {L"", L"+49 30 1234567", 1, {3}},
    };
    const Book book = Sample();
    for (const auto& c : cases) {
        Ids others;
        for (const auto* e : faxnum::SameLineAs(book, c.typed, c.self, CountryByIso(c.home))) others.push_back(e->id);
        EXPECT_EQ(others, c.others) << c.typed;
    }
}

}  // namespace
