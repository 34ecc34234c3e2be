#include "printing/PageRenderer.h"

#include <algorithm>

namespace printing {

namespace {
// On every Windows, with Hebrew; PostScript printers print it with their own
// Helvetica rather than have the font sent with every page.
const wchar_t kFace[] = L"Arial";
}  // namespace

GdiMeasure::GdiMeasure(HDC dc, int dpiX, int dpiY) : m_dc(dc), m_dpiY(dpiY) {
    (void)dpiX;  // a printer's fonts take their width from its own aspect
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        const Font font = static_cast<Font>(i);
        LOGFONTW lf = {};
        lf.lfHeight = -MulDiv(PointSize(font), dpiY, 72);
        lf.lfWeight = IsBold(font) ? FW_BOLD : FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = CLEARTYPE_QUALITY;
        lstrcpynW(lf.lfFaceName, kFace, LF_FACESIZE);
        m_fonts[i] = CreateFontIndirectW(&lf);
        TEXTMETRICW tm = {};
        HGDIOBJ old = SelectObject(dc, m_fonts[i]);
        GetTextMetricsW(dc, &tm);
        SelectObject(dc, old);
        // Lines a fifth apart beyond the font's own height.
        m_heights[i] = static_cast<int>(tm.tmHeight + tm.tmExternalLeading) + static_cast<int>(tm.tmHeight) / 5;
    }
}

GdiMeasure::~GdiMeasure() {
    if (m_original) SelectObject(m_dc, m_original);
    for (HFONT f : m_fonts)
        if (f) DeleteObject(f);
}

void GdiMeasure::Select(Font font) {
    const int index = static_cast<int>(font);
    if (m_selected == index) return;
    HGDIOBJ old = SelectObject(m_dc, m_fonts[static_cast<size_t>(index)]);
    if (!m_original) m_original = old;
    m_selected = index;
}

int GdiMeasure::TextWidth(Font font, std::wstring_view text) {
    Select(font);
    SIZE size = {};
    GetTextExtentPoint32W(m_dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

int GdiMeasure::LineHeight(Font font) { return m_heights[static_cast<size_t>(font)]; }

void DrawPage(GdiMeasure& measure, const Page& page, POINT origin) {
    HDC dc = measure.Dc();
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    // Hairlines about a sixth of a millimetre thick at any resolution.
    const int thickness = std::max(1, measure.DpiY() / 150);
    HBRUSH ink = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    // Drawn small (a preview), a hairline would vanish: it keeps one pixel.
    POINT span[2] = {{0, 0}, {0, thickness}};
    LPtoDP(dc, span, 2);
    const bool thin = span[1].y - span[0].y < 1;
    for (const Rule& r : page.rules) {
        RECT rc = {r.x - origin.x, r.y - origin.y, r.x + r.width - origin.x, r.y + thickness - origin.y};
        if (thin) {
            HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
            MoveToEx(dc, rc.left, rc.top, nullptr);
            LineTo(dc, rc.right, rc.top);
            SelectObject(dc, old);
        } else {
            FillRect(dc, &rc, ink);
        }
    }
    for (const PlacedText& t : page.texts) {
        if (t.text.empty()) continue;
        measure.Select(t.font);
        RECT rc = {t.x - origin.x, t.y - origin.y, t.x + t.width - origin.x, t.y + t.height - origin.y};
        UINT format = DT_SINGLELINE | DT_NOPREFIX | DT_TOP | DT_NOCLIP;
        format |= t.align == Align::Right ? DT_RIGHT : t.align == Align::Center ? DT_CENTER : DT_LEFT;
        if (t.rtlReading) format |= DT_RTLREADING;
        DrawTextW(dc, t.text.c_str(), static_cast<int>(t.text.size()), &rc, format);
    }
}

Paper PaperOf(HDC printer) {
    Paper paper;
    paper.width = GetDeviceCaps(printer, PHYSICALWIDTH);
    paper.height = GetDeviceCaps(printer, PHYSICALHEIGHT);
    paper.dpiX = GetDeviceCaps(printer, LOGPIXELSX);
    paper.dpiY = GetDeviceCaps(printer, LOGPIXELSY);
    paper.unprintableLeft = GetDeviceCaps(printer, PHYSICALOFFSETX);
    paper.unprintableTop = GetDeviceCaps(printer, PHYSICALOFFSETY);
    paper.unprintableRight = paper.width - paper.unprintableLeft - GetDeviceCaps(printer, HORZRES);
    paper.unprintableBottom = paper.height - paper.unprintableTop - GetDeviceCaps(printer, VERTRES);
    // A device that tells no paper (a display) is taken as its printable area.
    if (paper.width <= 0 || paper.height <= 0) {
        paper.width = GetDeviceCaps(printer, HORZRES);
        paper.height = GetDeviceCaps(printer, VERTRES);
        paper.unprintableLeft = paper.unprintableTop = paper.unprintableRight = paper.unprintableBottom = 0;
    }
    return paper;
}

}  // namespace printing
