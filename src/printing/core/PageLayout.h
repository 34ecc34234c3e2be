#pragma once
// The printed phone list laid out on pages: what goes on which page, where each row
// falls and how wide each column is. Everything is in the device units of the page
// (printer dots or picture pixels), so the drawing side only places what it is given.
// Text is measured through Measure: GDI on Windows, a fixed width in the tests.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace printing {

enum class Column : uint8_t { Name, Fax, Organization, Phone, Email, Mailbox, Groups };
constexpr size_t kColumnCount = 7;

// The type faces of a page. Sizes in points, so a page looks the same at any resolution.
enum class Font : uint8_t { Body, Caption, Heading, Header, Footer };
int PointSize(Font font);
bool IsBold(Font font);

class Measure {
public:
    virtual ~Measure() = default;
    // The advance of the text in the font, in device units across.
    virtual int TextWidth(Font font, std::wstring_view text) = 0;
    // The distance from one line to the next, in device units down.
    virtual int LineHeight(Font font) = 0;
};

// One printed entry: its texts by column.
struct Entry {
    std::array<std::wstring, kColumnCount> cells;
};

// A run of entries under a heading (a group's name); an empty heading shows none.
struct Section {
    std::wstring heading;
    std::vector<size_t> entries;  // indexes into Document::entries, in print order
};

struct Document {
    std::wstring title;  // the book's name
    std::wstring date;
    std::array<std::wstring, kColumnCount> captions;
    std::vector<Column> columns;  // in reading order
    std::vector<Entry> entries;
    std::vector<Section> sections;
    bool rightToLeft = false;
    // "page N of M" in the user's language.
    std::function<std::wstring(int page, int pages)> footer;
};

// A sheet in device units: the whole paper, the resolution, and the strips at its edges
// the device cannot print on.
struct Paper {
    int width = 0, height = 0;
    int dpiX = 0, dpiY = 0;
    int unprintableLeft = 0, unprintableTop = 0, unprintableRight = 0, unprintableBottom = 0;
};
// A4 and US Letter at a resolution, as a picture (no unprintable strips).
Paper A4(int dpi);
Paper Letter(int dpi);

enum class Align : uint8_t { Left, Right, Center };

// One text placed on a page, in paper coordinates (0,0 the paper's corner). rtlReading:
// read right to left (the page's direction); numbers and addresses are never.
struct PlacedText {
    int x = 0, y = 0, width = 0, height = 0;
    Font font = Font::Body;
    Align align = Align::Left;
    bool rtlReading = false;
    bool cut = false;  // shortened, ending in an ellipsis
    std::wstring text;
};

// A thin horizontal line.
struct Rule {
    int x = 0, y = 0, width = 0;
};

struct Page {
    std::vector<PlacedText> texts;
    std::vector<Rule> rules;
    // The entries printed on this page, in order (indexes into Document::entries; an
    // entry of two sections appears twice).
    std::vector<size_t> rows;
    // Where each row's top lies, beside rows.
    std::vector<int> rowTops;
    int cuts = 0;
};

struct Layout {
    std::vector<Page> pages;
    // The columns' widths, beside Document::columns.
    std::vector<int> widths;
    int rowHeight = 0;
};

// Shortens text to fit width with an ellipsis at its end (never between the halves of
// a surrogate pair); the text itself when it fits. cut tells whether it was shortened.
std::wstring FitText(Measure& measure, Font font, const std::wstring& text, int width, bool* cut);

// Numbers are never shortened: they are printed whole or the call fails to be useful.
bool IsNumberColumn(Column column);
// Read left to right in any language.
bool IsLeftToRightColumn(Column column);

Layout LayOut(const Document& document, const Paper& paper, Measure& measure);

}  // namespace printing
