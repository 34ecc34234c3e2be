#pragma once
// The printed page in GDI: fonts sized in points at the page's resolution, text
// measured with them for the layout, and a laid-out page drawn onto a printer's device
// context or a picture.
#include <windows.h>

#include <array>
#include <string>

#include "printing/core/PageLayout.h"

namespace printing {

class GdiMeasure : public Measure {
public:
    // Fonts for a page of this resolution, in the DC's logical units (the DC's own
    // resolution for a printer; the page's for a picture drawn at scale).
    GdiMeasure(HDC dc, int dpiX, int dpiY);
    ~GdiMeasure() override;
    GdiMeasure(const GdiMeasure&) = delete;
    GdiMeasure& operator=(const GdiMeasure&) = delete;

    int TextWidth(Font font, std::wstring_view text) override;
    int LineHeight(Font font) override;
    HFONT FontFor(Font font) const { return m_fonts[static_cast<size_t>(font)]; }
    HDC Dc() const { return m_dc; }
    int DpiY() const { return m_dpiY; }
    // Puts the font into the DC (once; it stays until another is asked for).
    void Select(Font font);
    // Forgets which font the DC holds (a printer's new page may have reset it).
    void Reset() { m_selected = -1; }

private:
    HDC m_dc;
    int m_dpiY;
    std::array<HFONT, 5> m_fonts{};
    std::array<int, 5> m_heights{};
    HGDIOBJ m_original = nullptr;
    int m_selected = -1;
};

// Draws the page onto the measure's DC; origin is where the paper's corner lies in the
// DC's logical units (a printer's printable area starts inside the paper).
void DrawPage(GdiMeasure& measure, const Page& page, POINT origin);

// The paper of a printer's device context.
Paper PaperOf(HDC printer);

}  // namespace printing
