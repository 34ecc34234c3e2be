#include "printing/core/PageLayout.h"

#include <algorithm>
#include <numeric>

namespace printing {

namespace {

constexpr wchar_t kEllipsis[] = L"\u2026";
constexpr double kMarginMm = 15.0;
constexpr double kColumnGapMm = 4.0;

int Mm(double mm, int dpi) { return static_cast<int>(mm * dpi / 25.4 + 0.5); }

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

struct Frame {
    int left, top, right, bottom;
    int width() const { return right - left; }
};

// Shares the width out: numbers get what their longest needs, the other columns what
// theirs needs while it fits, and else the room left in fair shares, the narrow ones
// first, so that only the long texts are cut.
std::vector<int> ColumnWidths(const Document& doc, Measure& measure, int room) {
    const size_t n = doc.columns.size();
    std::vector<int> natural(n, 0), cellMax(n, 0), widths(n, 0);
    for (size_t i = 0; i < n; ++i) {
        const size_t c = static_cast<size_t>(doc.columns[i]);
        for (const Entry& e : doc.entries)
            if (!e.cells[c].empty()) cellMax[i] = std::max(cellMax[i], measure.TextWidth(Font::Body, e.cells[c]));
        natural[i] = std::max(cellMax[i], measure.TextWidth(Font::Caption, doc.captions[c]));
    }
    int fixed = 0;
    std::vector<size_t> flexible;
    for (size_t i = 0; i < n; ++i) {
        if (IsNumberColumn(doc.columns[i])) {
            widths[i] = natural[i];
            fixed += natural[i];
        } else {
            flexible.push_back(i);
        }
    }
    // Numbers whose captions are wider than they are give way before any number would.
    if (fixed > room) {
        for (size_t i = 0; i < n; ++i)
            if (IsNumberColumn(doc.columns[i])) {
                fixed -= widths[i] - cellMax[i];
                widths[i] = cellMax[i];
            }
    }
    int left = room - fixed;
    const int narrowest = measure.TextWidth(Font::Body, L"MMMM");
    if (flexible.empty()) {
        if (left > 0 && n > 0)
            for (size_t i = 0; i < n; ++i) widths[i] += left / static_cast<int>(n);
        return widths;
    }
    int wanted = 0;
    for (size_t i : flexible) wanted += natural[i];
    if (wanted <= left) {
        // Room to spare: spread it so the list spans the page.
        const int extra = (left - wanted) / static_cast<int>(flexible.size());
        for (size_t i : flexible) widths[i] = natural[i] + extra;
        return widths;
    }
    int remaining = std::max(left, 0);
    // The name says whose line it is: it is cut last, taking up to a third of the room.
    for (auto it = flexible.begin(); it != flexible.end(); ++it) {
        if (doc.columns[*it] != Column::Name || flexible.size() == 1) continue;
        widths[*it] = std::min(natural[*it], std::max(remaining / 3, std::min(natural[*it], narrowest)));
        remaining = std::max(remaining - widths[*it], 0);
        flexible.erase(it);
        break;
    }
    std::sort(flexible.begin(), flexible.end(), [&](size_t a, size_t b) { return natural[a] < natural[b]; });
    size_t k = flexible.size();
    for (size_t i : flexible) {
        const int share = remaining / static_cast<int>(k);
        widths[i] = std::max(std::min(natural[i], share), std::min(natural[i], narrowest));
        remaining = std::max(remaining - widths[i], 0);
        --k;
    }
    return widths;
}

class Builder {
public:
    Builder(const Document& doc, const Paper& paper, Measure& measure) : m_doc(doc), m_measure(measure) {
        m_frame.left = std::max(Mm(kMarginMm, paper.dpiX), paper.unprintableLeft);
        m_frame.right = paper.width - std::max(Mm(kMarginMm, paper.dpiX), paper.unprintableRight);
        m_frame.top = std::max(Mm(kMarginMm, paper.dpiY), paper.unprintableTop);
        m_frame.bottom = paper.height - std::max(Mm(kMarginMm, paper.dpiY), paper.unprintableBottom);
        m_gap = Mm(kColumnGapMm, paper.dpiX);
        m_body = measure.LineHeight(Font::Body);
        m_rowHeight = m_body + m_body / 4;
        m_captionHeight = measure.LineHeight(Font::Caption) + m_body / 4;
        m_headingHeight = measure.LineHeight(Font::Heading) + m_body / 2;
        m_headerHeight = measure.LineHeight(Font::Header);
        m_footerHeight = measure.LineHeight(Font::Footer);
        m_rowsTop = m_frame.top + m_headerHeight + m_body / 2 + m_captionHeight + m_body / 4;
        m_rowsBottom = m_frame.bottom - m_footerHeight - m_body / 2;

        const size_t n = doc.columns.size();
        const int room = m_frame.width() - m_gap * static_cast<int>(n > 0 ? n - 1 : 0);
        m_widths = ColumnWidths(doc, measure, room);
        int x = m_frame.left;
        for (size_t i = 0; i < n; ++i) {
            m_xs.push_back(x);
            x += m_widths[i] + m_gap;
        }
    }

    Layout Run() {
        for (const Section& section : m_doc.sections) {
            if (!section.heading.empty()) {
                // A heading never stands alone at the foot of a page.
                const int need = m_headingHeight + (section.entries.empty() ? 0 : m_rowHeight);
                if (!Fits(need)) NewPage();
                Page& page = Current();
                const int h = m_measure.LineHeight(Font::Heading);
                Place(page, m_frame.left, m_y + m_headingHeight - h - m_body / 8, m_frame.width(), h, Font::Heading,
                      Start(), m_doc.rightToLeft, section.heading, true);
                m_y += m_headingHeight;
            }
            for (size_t index : section.entries) {
                if (index >= m_doc.entries.size()) continue;
                if (!Fits(m_rowHeight)) NewPage();
                PlaceRow(Current(), index);
                m_y += m_rowHeight;
            }
        }
        if (m_layout.pages.empty()) NewPage();
        const int pages = static_cast<int>(m_layout.pages.size());
        for (int i = 0; i < pages; ++i) Decorate(m_layout.pages[static_cast<size_t>(i)], i + 1, pages);
        m_layout.widths = m_widths;
        m_layout.rowHeight = m_rowHeight;
        return std::move(m_layout);
    }

private:
    Align Start() const { return m_doc.rightToLeft ? Align::Right : Align::Left; }
    Align End() const { return m_doc.rightToLeft ? Align::Left : Align::Right; }

    // Fits on the page now being filled; a fresh page takes anything, so a row taller
    // than a page still ends up somewhere.
    bool Fits(int height) const {
        return !m_layout.pages.empty() && (m_y + height <= m_rowsBottom || m_y == m_rowsTop);
    }
    void NewPage() {
        m_layout.pages.emplace_back();
        m_y = m_rowsTop;
    }
    Page& Current() {
        if (m_layout.pages.empty()) NewPage();
        return m_layout.pages.back();
    }

    // Places in reading order: x and width as a left-to-right page has them, mirrored
    // within the frame on a right-to-left one.
    void Place(Page& page, int x, int y, int width, int height, Font font, Align align, bool rtl, std::wstring text,
               bool mirror, bool cut = false) {
        PlacedText t;
        t.x = mirror && m_doc.rightToLeft ? m_frame.left + m_frame.right - x - width : x;
        t.y = y;
        t.width = width;
        t.height = height;
        t.font = font;
        t.align = align;
        t.rtlReading = rtl;
        t.cut = cut;
        t.text = std::move(text);
        page.texts.push_back(std::move(t));
    }

    void PlaceRow(Page& page, size_t index) {
        const Entry& entry = m_doc.entries[index];
        page.rows.push_back(index);
        page.rowTops.push_back(m_y);
        const int h = m_measure.LineHeight(Font::Body);
        for (size_t i = 0; i < m_doc.columns.size(); ++i) {
            const Column column = m_doc.columns[i];
            const std::wstring& text = entry.cells[static_cast<size_t>(column)];
            if (text.empty()) continue;
            bool cut = false;
            std::wstring shown = IsNumberColumn(column) ? text : FitText(m_measure, Font::Body, text, m_widths[i], &cut);
            if (cut) ++page.cuts;
            Place(page, m_xs[i], m_y + (m_rowHeight - h) / 2, m_widths[i], h, Font::Body, Start(),
                  m_doc.rightToLeft && !IsLeftToRightColumn(column), std::move(shown), true, cut);
        }
    }

    void Decorate(Page& page, int number, int pages) {
        const int w = m_frame.width();
        const bool rtl = m_doc.rightToLeft;
        bool cut = false;
        std::wstring title = FitText(m_measure, Font::Header, m_doc.title, w * 2 / 3, &cut);
        Place(page, m_frame.left, m_frame.top, w * 2 / 3, m_headerHeight, Font::Header, Start(), rtl, std::move(title),
              true, cut);
        Place(page, m_frame.left + w * 2 / 3, m_frame.top, w - w * 2 / 3, m_headerHeight, Font::Header, End(), rtl,
              m_doc.date, true);
        const int ruleY = m_frame.top + m_headerHeight + m_body / 4;
        page.rules.push_back({m_frame.left, ruleY, w});
        const int captionsTop = m_frame.top + m_headerHeight + m_body / 2;
        const int ch = m_measure.LineHeight(Font::Caption);
        for (size_t i = 0; i < m_doc.columns.size(); ++i) {
            bool capCut = false;
            std::wstring caption =
                FitText(m_measure, Font::Caption, m_doc.captions[static_cast<size_t>(m_doc.columns[i])], m_widths[i], &capCut);
            Place(page, m_xs[i], captionsTop, m_widths[i], ch, Font::Caption, Start(), rtl, std::move(caption), true,
                  capCut);
        }
        page.rules.push_back({m_frame.left, captionsTop + m_captionHeight, w});
        std::wstring footer = m_doc.footer ? m_doc.footer(number, pages)
                                           : std::to_wstring(number) + L" / " + std::to_wstring(pages);
        Place(page, m_frame.left, m_frame.bottom - m_footerHeight, w, m_footerHeight, Font::Footer, Align::Center, rtl,
              std::move(footer), false);
    }

    const Document& m_doc;
    Measure& m_measure;
    Frame m_frame{};
    int m_gap = 0, m_body = 0, m_rowHeight = 0, m_captionHeight = 0, m_headingHeight = 0;
    int m_headerHeight = 0, m_footerHeight = 0, m_rowsTop = 0, m_rowsBottom = 0;
    std::vector<int> m_widths, m_xs;
    int m_y = 0;
    Layout m_layout;
};

}  // namespace

int PointSize(Font font) {
    switch (font) {
        case Font::Heading: return 12;
        case Font::Header: return 11;
        case Font::Footer: return 8;
        default: return 9;
    }
}

bool IsBold(Font font) { return font == Font::Caption || font == Font::Heading || font == Font::Header; }

Paper A4(int dpi) { return {Mm(210, dpi), Mm(297, dpi), dpi, dpi, 0, 0, 0, 0}; }
Paper Letter(int dpi) { return {dpi * 17 / 2, dpi * 11, dpi, dpi, 0, 0, 0, 0}; }

bool IsNumberColumn(Column column) { return column == Column::Fax || column == Column::Phone; }
bool IsLeftToRightColumn(Column column) { return IsNumberColumn(column) || column == Column::Email; }

std::wstring FitText(Measure& measure, Font font, const std::wstring& text, int width, bool* cut) {
    *cut = false;
    if (text.empty() || measure.TextWidth(font, text) <= width) return text;
    *cut = true;
    // The longest beginning that fits with the ellipsis after it.
    size_t lo = 0, hi = text.size();
    while (lo + 1 < hi) {
        size_t mid = (lo + hi) / 2;
        std::wstring probe = text.substr(0, mid) + kEllipsis;
        if (measure.TextWidth(font, probe) <= width) lo = mid;
        else hi = mid;
    }
    if (lo > 0 && IsHighSurrogate(text[lo - 1])) --lo;
    while (lo > 0 && text[lo - 1] == L' ') --lo;
    if (lo == 0 && measure.TextWidth(font, kEllipsis) > width) return std::wstring();
    return text.substr(0, lo) + kEllipsis;
}

Layout LayOut(const Document& document, const Paper& paper, Measure& measure) {
    return Builder(document, paper, measure).Run();
}

}  // namespace printing
