// Search as callers see it: every term a case-insensitive prefix of a word of name,
// organization, fax, phone or e-mail; entries before groups; no terms, everything.
#include <gtest/gtest.h>

#include <algorithm>

#include "EngineTestUtil.h"

using namespace pbcore;
using namespace enginetest;

namespace {

std::vector<std::u16string> Search(const Book& b, std::vector<Units> terms, bool ansi = false) {
    auto prepared = PrepareTerms(terms, ansi);
    std::vector<std::u16string> out;
    uint16_t cursor = 0xFFFF;
    bool done = false;
    int slot = -1;
    while (!done)
        if (b.FindNext(prepared, cursor, done, slot)) out.push_back(b.Read(slot).fields[kName]);
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(Search, TermsArePrefixesOfWordsIgnoringCase) {
    MemBook m;
    m.Add(Entry(u"Anna Berg", u"+49 30 123456", u"Acme Logistik", u"", u"anna.berg@example.org"));
    m.Add(Entry(u"ÄNNE Ölund", u"0331-778899", u"Café Müller"));
    m.Add(Entry(u"Σωκράτης Παπάς", u"+30 21 555", u"", u"(212) 555-0142"));
    m.Add(Entry(u"Иван Петров", u"+7 495 1"));
    m.Add(Entry(u"\U00010400\U00010401 Deseret", u"1"));  // supplementary letters with case
    m.Add(Entry(u"Ꭰ Cherokee", u"2"));
    m.Add(Entry(u"Bergmann Kurt", u"+49 40 99"));
    m.Add(Group(u"Berliner Kunden"));

    struct Case {
        std::vector<Units> terms;
        std::vector<std::u16string> expected;
    };
    const std::vector<Case> cases = {
        {{u"berg*"}, {u"Anna Berg", u"Bergmann Kurt"}},        // word starts only: not "Ölund"
        {{u"erg*"}, {}},                                       // not the middle of a word
        {{u"anna*", u"berg*"}, {u"Anna Berg"}},                // every term must match
        {{u"anna*", u"kurt*"}, {}},
        {{u"änne*"}, {u"ÄNNE Ölund"}},
        {{u"ölund*"}, {u"ÄNNE Ölund"}},
        {{u"müller*"}, {u"ÄNNE Ölund"}},                       // organization
        {{u"778899*"}, {u"ÄNNE Ölund"}},                       // fax, after a separator
        {{u"+49*"}, {u"Anna Berg", u"Bergmann Kurt"}},
        {{u"555-0142*"}, {u"Σωκράτης Παπάς"}},                 // phone
        {{u"example*"}, {u"Anna Berg"}},                       // e-mail, after "@"
        {{u"σωκράτης*"}, {u"Σωκράτης Παπάς"}},
        {{u"παπασ*"}, {}},                                     // accents are letters, not case
        {{u"иван*"}, {u"Иван Петров"}},
        {{u"\U00010428\U00010429*"}, {u"\U00010400\U00010401 Deseret"}},
        {{u"ꭰ*"}, {u"Ꭰ Cherokee"}},
        {{u"berliner*"}, {u"Berliner Kunden"}},                // groups by name
        {{u"*"}, {u"Anna Berg", u"Bergmann Kurt", u"Berliner Kunden", u"Deseret", u"Ꭰ Cherokee", u"Σωκράτης Παπάς",
                  u"Иван Петров", u"ÄNNE Ölund"}},
    };
    for (const Case& c : cases) {
        auto expected = c.expected;
        for (auto& e : expected)
            if (e == u"Deseret") e = u"\U00010400\U00010401 Deseret";
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(Search(m.book, c.terms), expected) << "terms " << c.terms.size();
    }
    EXPECT_EQ(Search(m.book, {}).size(), 8u);
}

TEST(Search, EntriesComeBeforeGroupsAndTheLastCallMayFinish) {
    MemBook m;
    m.Add(Group(u"Erste Gruppe"));  // takes the lowest slot
    m.Add(Entry(u"Eins", u"1"));
    m.Add(Group(u"Zweite Gruppe"));
    m.Add(Entry(u"Zwei", u"2"));
    std::vector<int> kinds;
    uint16_t cursor = 0xFFFF;
    bool done = false;
    int slot = -1, calls = 0;
    while (!done && calls++ < 20000)
        if (m.book.FindNext({}, cursor, done, slot)) kinds.push_back(m.book.Read(slot).kind);
    EXPECT_EQ(kinds, (std::vector<int>{1, 1, 2, 2}));
    EXPECT_LT(calls, 10);
}

TEST(Search, OldestFormatMatchesThroughTheCodePage) {
    MemBook m(Kind::Oldest);
    Record r = Entry(u"", u"0221-1");
    r.fields[kName] = {0xC4, u'r', u'g', u'e', u'r', u' ', 0xD6, u'z'};  // "Ärger Öz" in Windows-1252
    m.Add(r);
    EXPECT_EQ(Search(m.book, {{0xE4, u'r', u'*'}}, true).size(), 1u);
    EXPECT_EQ(Search(m.book, {{0xF6, u'z', u'*'}}, true).size(), 1u);
    EXPECT_EQ(Search(m.book, {u"ar*"}, true).size(), 0u);
}

TEST(CaseFold, PairsMeet) {
    const std::vector<std::pair<char32_t, char32_t>> same = {
        {U'A', U'a'}, {0xC4, 0xE4}, {0x100, 0x101}, {0x3A3, 0x3C3}, {0x3C2, 0x3C3}, {0x410, 0x430},
        {0x1E9E, 0xDF}, {0x10400, 0x10428}, {0x13A0, 0xAB70}, {0x130, U'i'}, {0x212A, U'k'}, {0xFF21, 0xFF41}};
    for (auto [a, b] : same) EXPECT_EQ(FoldCase(a), FoldCase(b)) << std::hex << static_cast<uint32_t>(a);
    EXPECT_NE(FoldCase(U'a'), FoldCase(0xE4));
    EXPECT_EQ(FoldCase(U'1'), U'1');
}
