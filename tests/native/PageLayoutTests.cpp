#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "printing/core/PageLayout.h"
#include "printing/core/PrintSelection.h"

using namespace printing;

namespace {

// Every character half an em wide, lines 1.2 em apart: sizes follow the resolution as
// a printer's fonts do.
class FixedMeasure : public Measure {
public:
    FixedMeasure(int dpiX, int dpiY) : m_dpiX(dpiX), m_dpiY(dpiY) {}
    int TextWidth(Font font, std::wstring_view text) override {
        return static_cast<int>(text.size()) * PointSize(font) * m_dpiX / 144;
    }
    int LineHeight(Font font) override { return PointSize(font) * m_dpiY / 60; }

private:
    int m_dpiX, m_dpiY;
};

// n entries; every seventh has an organization too long for any column; groups of ten.
Book MakeBook(int n) {
    Book book;
    for (int i = 0; i < n; ++i) {
        BookEntry e;
        e.id = static_cast<uint16_t>(i + 1);
        e.fields[0] = L"Person " + std::to_wstring(1000 + i);
        e.fields[1] = L"+49 30 " + std::to_wstring(5550000 + i);
        e.fields[2] = i % 7 == 0 ? std::wstring(120, L'o') : L"Company " + std::to_wstring(i % 13);
        e.fields[3] = L"030 " + std::to_wstring(4440000 + i);
        e.fields[4] = L"person" + std::to_wstring(i) + L"@example.org";
        book.entries.push_back(e);
    }
    for (int g = 0; g * 10 < n; ++g) {
        BookGroup group{static_cast<uint16_t>(3000 + g), L"Group " + std::to_wstring(g), {}};
        for (int i = g * 10; i < std::min(n, g * 10 + 10); ++i) group.members.push_back(static_cast<uint16_t>(i + 1));
        book.groups.push_back(group);
    }
    return book;
}

Document MakeDocument(const Book& book, std::vector<Column> columns, bool byGroup, bool rtl) {
    Document doc;
    doc.title = L"Office";
    doc.date = L"2026-12-09";
    doc.captions = {L"Name", L"Fax number", L"Organization", L"Phone number", L"E-mail", L"Mailbox", L"Groups"};
    doc.columns = std::move(columns);
    doc.rightToLeft = rtl;
    doc.footer = [](int page, int pages) { return L"page " + std::to_wstring(page) + L" of " + std::to_wstring(pages); };
    Choice choice;
    for (const auto& e : book.entries) choice.order.push_back(e.id);
    choice.byGroup = byGroup;
    choice.ungroupedHeading = L"No group";
    Select(book, choice, doc);
    return doc;
}

const std::vector<Column> kNameFax = {Column::Name, Column::Fax};
const std::vector<Column> kAll = {Column::Name,  Column::Fax,     Column::Organization, Column::Phone,
                                  Column::Email, Column::Mailbox, Column::Groups};

// Rows fall within the body, one under the other, never past its foot; numbers whole.
void ExpectSound(const Layout& layout, const Paper& paper) {
    for (const Page& page : layout.pages) {
        for (size_t r = 1; r < page.rowTops.size(); ++r) EXPECT_GE(page.rowTops[r] - page.rowTops[r - 1], layout.rowHeight);
        for (const PlacedText& t : page.texts) {
            EXPECT_GE(t.x, 0);
            EXPECT_LE(t.x + t.width, paper.width);
            EXPECT_LE(t.y + t.height, paper.height);
            // The book's numbers begin so, and nothing else does.
            if (t.font == Font::Body && t.cut) {
                EXPECT_TRUE(t.text.rfind(L"+49", 0) && t.text.rfind(L"030", 0)) << "number cut";
            }
        }
        if (!page.rowTops.empty()) {
            const Page& first = layout.pages.front();
            // The footer is the last text placed; rows end above it.
            EXPECT_LE(page.rowTops.back() + layout.rowHeight, first.texts.back().y);
        }
    }
}

TEST(PageLayout, PagesRowsAndCutsFollowBookColumnsPaperAndResolution) {
    struct Case {
        int entries;
        std::vector<Column> columns;
        bool a4;
        int dpi;
        bool byGroup;
        size_t pages;
        size_t firstPageRows;
        int cuts;  // over all pages
    };
    const Case cases[] = {
        {0, kNameFax, true, 300, false, 1, 0, 0},          // an empty book still prints its header
        {52, kNameFax, true, 300, false, 1, 52, 0},        // a page full to the last row
        {53, kNameFax, true, 300, false, 2, 52, 0},        // one more goes over
        {53, kNameFax, true, 600, false, 2, 52, 0},        // the same at twice the resolution
        {53, kNameFax, false, 300, false, 2, 48, 0},       // Letter is shorter than A4
        {2500, kAll, true, 300, false, 49, 52, 358},       // the long organizations are cut
        {2500, kAll, true, 600, false, 49, 52, 358},
        {25, kNameFax, true, 300, true, 1, 25, 0},         // by group: headings take room too
        {100, kNameFax, true, 300, true, 3, 45, 0},  // four groups whole, five of the fifth
        {100, kNameFax, true, 600, true, 3, 45, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.entries) + " entries, " + std::to_string(c.dpi) + " dpi");
        const Book book = MakeBook(c.entries);
        const Document doc = MakeDocument(book, c.columns, c.byGroup, false);
        const Paper paper = c.a4 ? A4(c.dpi) : Letter(c.dpi);
        FixedMeasure measure(c.dpi, c.dpi);
        const Layout layout = LayOut(doc, paper, measure);
        ASSERT_EQ(layout.pages.size(), c.pages);
        EXPECT_EQ(layout.pages[0].rows.size(), c.firstPageRows);
        int cuts = 0;
        std::vector<size_t> printed;
        for (const Page& p : layout.pages) {
            cuts += p.cuts;
            printed.insert(printed.end(), p.rows.begin(), p.rows.end());
        }
        EXPECT_EQ(cuts, c.cuts);
        // Every entry once, in order.
        ASSERT_EQ(printed.size(), doc.entries.size());
        for (size_t i = 0; i < printed.size(); ++i) EXPECT_EQ(printed[i], i);
        ExpectSound(layout, paper);
        // The last page says so.
        EXPECT_EQ(layout.pages.back().texts.back().text,
                  L"page " + std::to_wstring(c.pages) + L" of " + std::to_wstring(c.pages));
    }
}

TEST(PageLayout, GroupHeadingsNeverStandAloneAtTheFootOfAPage) {
    const Book book = MakeBook(300);
    const Document doc = MakeDocument(book, kNameFax, true, false);
    FixedMeasure measure(300, 300);
    const Layout layout = LayOut(doc, A4(300), measure);
    for (const Page& page : layout.pages) {
        int lastHeadingY = -1, lastRowY = -1;
        for (const PlacedText& t : page.texts) {
            if (t.font == Font::Heading) lastHeadingY = t.y;
            if (t.font == Font::Body) lastRowY = std::max(lastRowY, t.y);
        }
        EXPECT_LT(lastHeadingY, lastRowY);
    }
    // Each heading is followed by its group's members.
    ASSERT_EQ(doc.sections.size(), 30u);
    EXPECT_EQ(doc.sections[3].heading, L"Group 3");
    EXPECT_EQ(doc.sections[3].entries.front(), 30u);
}

TEST(PageLayout, RightToLeftMirrorsTheColumnsAndKeepsNumbersLeftToRight) {
    const Book book = MakeBook(10);
    FixedMeasure measure(300, 300);
    const Paper paper = A4(300);
    const Layout ltr = LayOut(MakeDocument(book, kAll, false, false), paper, measure);
    const Layout rtl = LayOut(MakeDocument(book, kAll, false, true), paper, measure);
    ASSERT_EQ(ltr.pages[0].texts.size(), rtl.pages[0].texts.size());
    const int left = 177, right = paper.width - 177;  // 15 mm at 300 dpi
    for (size_t i = 0; i < ltr.pages[0].texts.size(); ++i) {
        const PlacedText& a = ltr.pages[0].texts[i];
        const PlacedText& b = rtl.pages[0].texts[i];
        EXPECT_EQ(b.x, a.font == Font::Footer ? a.x : left + right - a.x - a.width) << i;
        EXPECT_EQ(b.y, a.y);
        if (a.font == Font::Body) {
            const bool number = a.text.find(L"+49") == 0 || a.text.find(L"030") == 0 || a.text.find(L'@') != std::wstring::npos;
            EXPECT_EQ(b.rtlReading, !number) << i;
            EXPECT_EQ(b.align, Align::Right);
        }
    }
    // The name column, first in reading order, stands at the right edge.
    EXPECT_EQ(rtl.pages[0].texts.back().align, Align::Center);
}

TEST(PageLayout, TextIsCutWithAnEllipsisToItsWidth) {
    FixedMeasure m(144, 144);  // 9 pt body: 9 units a character
    struct { std::wstring text; int width; std::wstring shown; bool cut; } cases[] = {
        {L"Anna", 36, L"Anna", false},
        {L"Anna Berg", 45, L"Anna\u2026", true},       // the space before the ellipsis goes
        {L"Anna Berg", 8, L"", true},                   // not even the ellipsis fits
        // A surrogate pair (where wchar_t is 16 bits) is never halved.
        {L"x\U0001F600yz", 27, sizeof(wchar_t) == 2 ? L"x\u2026" : L"x\U0001F600\u2026", true},
        {L"", 0, L"", false},
    };
    for (const auto& c : cases) {
        bool cut = false;
        EXPECT_EQ(FitText(m, Font::Body, c.text, c.width, &cut), c.shown);
        EXPECT_EQ(cut, c.cut);
    }
}

TEST(PrintSelection, GroupsRestrictAndSectionTheEntries) {
    Book book = MakeBook(25);
    book.groups[0].members.push_back(12);  // entry 12 is in groups 0 and 1
    Document doc;
    Choice choice;
    for (int i = 25; i >= 1; --i) choice.order.push_back(static_cast<uint16_t>(i));  // the list sorted descending
    choice.order.push_back(999);                                                       // gone from the book since
    choice.groups = {3001, 3000};
    choice.byGroup = true;
    Select(book, choice, doc);
    ASSERT_EQ(doc.entries.size(), 20u);
    EXPECT_EQ(doc.entries[0].cells[0], L"Person 1019");
    EXPECT_EQ(doc.entries[8].cells[6], L"Group 0, Group 1");
    ASSERT_EQ(doc.sections.size(), 2u);
    EXPECT_EQ(doc.sections[0].heading, L"Group 1");
    EXPECT_EQ(doc.sections[0].entries.size(), 10u);
    EXPECT_EQ(doc.sections[1].heading, L"Group 0");
    EXPECT_EQ(doc.sections[1].entries.size(), 11u);  // entry 12 under both

    std::vector<Column> columns;
    EXPECT_TRUE(ParseColumnList(L"name,fax,groups", &columns));
    EXPECT_EQ(ColumnList(columns), L"name,fax,groups");
    EXPECT_FALSE(ParseColumnList(L"name,name", &columns));
    EXPECT_FALSE(ParseColumnList(L"name,", &columns));
    EXPECT_FALSE(ParseColumnList(L"first-part", &columns));
}

TEST(PageLayout, LaysOutAFullBookQuickly) {
    const Book book = MakeBook(2500);
    const Document doc = MakeDocument(book, kAll, true, false);
    FixedMeasure measure(600, 600);
    const auto start = std::chrono::steady_clock::now();
    const Layout layout = LayOut(doc, A4(600), measure);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(layout.pages.size(), 40u);
    // Sanitizers slow this tenfold; the budget is 20 ms without them.
    EXPECT_LT(ms, 1000);
    std::printf("laying out 2500 entries, 7 columns, 600 dpi: %lld ms\n", static_cast<long long>(ms));
}

}  // namespace
