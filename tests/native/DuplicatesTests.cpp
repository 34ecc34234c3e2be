// The sets of a book's entries that share a fax line, with the groups of each entry.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "intake/core/Duplicates.h"
#include "numbers/core/FaxNumber.h"

using namespace intake;

namespace {

// "line: entry(group,group) entry() ; line: ..."
std::wstring Text(const std::vector<DuplicateSet>& sets) {
    std::wstring text;
    for (const DuplicateSet& set : sets) {
        text += (text.empty() ? L"" : L"; ") + set.line + L":";
        for (const DuplicateEntry& d : set.entries) {
            text += L" " + std::to_wstring(d.entry) + L"(";
            for (size_t i = 0; i < d.groups.size(); ++i) text += (i ? L"," : L"") + std::to_wstring(d.groups[i]);
            text += L")";
        }
    }
    return text;
}

}  // namespace

TEST(Duplicates, SetsOfABooksEntriesWithTheirGroups) {
    Snapshot book;
    const wchar_t* faxes[] = {L"030/1234567", L"+49 30 1234567", L"+49 40 1234567", L"Durchwahl 12",
                              L"0049 30 1234567", L"*55", L"* 55", L"Durchwahl 12"};
    for (uint16_t i = 0; i < std::size(faxes); ++i) {
        SnapshotEntry& e = book.entries.emplace_back();
        e.id = static_cast<uint16_t>(100 + i);
        e.fields.name = L"N" + std::to_wstring(i);
        e.fields.fax = faxes[i];
    }
    // A member of no set, listed first, and a member in two groups.
    book.groups = {{7, L"Sales", {102, 104, 100}}, {9, L"Board", {100}}, {11, L"Empty", {}}};
    struct { const wchar_t* home; std::wstring sets; } cases[] = {
        {L"DE", L"+49301234567: 0(0,1) 1() 4(0); *55: 5() 6()"},
        // National numbers have no normal form, and texts without one are in no set.
        {nullptr, L"+49301234567: 1() 4(0); *55: 5() 6()"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.home ? "DE" : "no home");
        EXPECT_EQ(Text(FindDuplicates(book, c.home ? faxnum::CountryByIso(c.home) : nullptr)), c.sets);
    }
}
