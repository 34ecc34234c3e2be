#pragma once
// A bitmap from the program's resources drawn with one colour left out, so the
// dialog or button face shows through wherever the artwork is dark green.
#include <windows.h>

#include "util/Handles.h"

// A memory device context for one drawing; the bitmap it started with goes back in
// before it is deleted, so the bitmaps selected into it can be deleted afterwards.
class MemoryDC {
public:
    explicit MemoryDC(HDC compatible) : m_dc(CreateCompatibleDC(compatible)) {}
    ~MemoryDC() {
        if (!m_dc) return;
        if (m_original) SelectObject(m_dc, m_original);
        DeleteDC(m_dc);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    HDC Get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }
    bool Select(HGDIOBJ bitmap) {
        HGDIOBJ old = SelectObject(m_dc, bitmap);
        if (!old || old == HGDI_ERROR) return false;
        if (!m_original) m_original = old;
        return true;
    }

private:
    HDC m_dc;
    HGDIOBJ m_original = nullptr;
};

class TransparentPicture {
public:
    static constexpr COLORREF kTransparentColour = RGB(0, 128, 0);

    TransparentPicture() = default;
    TransparentPicture(TransparentPicture&&) = default;
    TransparentPicture& operator=(TransparentPicture&&) = default;

    // Loads a bitmap of the program's module; the picture held before is deleted either way.
    bool Load(UINT bitmapId);
    bool Load(HINSTANCE module, UINT bitmapId);
    void Reset() { m_bitmap.Reset(); }

    bool IsLoaded() const { return static_cast<bool>(m_bitmap); }
    HBITMAP Bitmap() const { return static_cast<HBITMAP>(m_bitmap.Get()); }
    COLORREF TransparentColour() const { return m_transparentColour; }
    SIZE Size() const;

    // Stretches the whole bitmap to the rectangle (x, y, width, height) of dc; pixels of the
    // transparent colour leave dc as it was. False when nothing could be drawn.
    bool DrawStretched(HDC dc, int x, int y, int width, int height) const;

    // Draws the bitmap at its own size where control lies in dialog's client area (mirrored
    // dialogs included). The first form is for WM_PAINT with the BeginPaint device context;
    // the second takes the dialog's own device context.
    void DrawAt(HDC dialogDc, HWND dialog, HWND control) const;
    void DrawAt(HWND dialog, HWND control) const;

private:
    UniqueGdiObject m_bitmap;
    COLORREF m_transparentColour = kTransparentColour;
};
