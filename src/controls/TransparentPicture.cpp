#include "controls/TransparentPicture.h"

#include "app/AppGlobals.h"

bool TransparentPicture::Load(UINT bitmapId) { return Load(app::Instance(), bitmapId); }

bool TransparentPicture::Load(HINSTANCE module, UINT bitmapId) {
    m_bitmap.Reset(LoadImageW(module, MAKEINTRESOURCEW(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    return IsLoaded();
}

SIZE TransparentPicture::Size() const {
    BITMAP info = {};
    if (!m_bitmap || !GetObjectW(m_bitmap.Get(), sizeof info, &info)) return {0, 0};
    return {info.bmWidth, info.bmHeight};
}

bool TransparentPicture::DrawStretched(HDC dc, int x, int y, int width, int height) const {
    const SIZE size = Size();
    if (!dc || width <= 0 || height <= 0 || size.cx <= 0 || size.cy <= 0) return false;

    // Declared before the device contexts, so these are deleted after being deselected.
    UniqueGdiObject stretched;
    UniqueGdiObject mask(CreateBitmap(width, height, 1, 1, nullptr));
    MemoryDC imageDc(dc);
    MemoryDC workDc(dc);
    if (!mask || !imageDc || !workDc || !imageDc.Select(m_bitmap.Get())) return false;

    HDC colourDc = imageDc.Get();
    if (size.cx != width || size.cy != height) {
        stretched.Reset(CreateCompatibleBitmap(dc, width, height));
        if (!stretched || !workDc.Select(stretched.Get())) return false;
        // Picks whole pixels: blending would smear the transparent green into its neighbours.
        SetStretchBltMode(workDc.Get(), COLORONCOLOR);
        if (!StretchBlt(workDc.Get(), 0, 0, width, height, imageDc.Get(), 0, 0, size.cx, size.cy, SRCCOPY)) return false;
        colourDc = workDc.Get();
        // The image DC now holds the mask; the stretched copy is the colour source.
        if (!imageDc.Select(mask.Get())) return false;
    } else if (!workDc.Select(mask.Get())) {
        return false;
    }
    HDC maskDc = colourDc == workDc.Get() ? imageDc.Get() : workDc.Get();

    // Mask: white where the picture has the transparent colour, black elsewhere.
    const COLORREF oldSourceBack = SetBkColor(colourDc, m_transparentColour);
    BitBlt(maskDc, 0, 0, width, height, colourDc, 0, 0, SRCCOPY);
    SetBkColor(colourDc, oldSourceBack);

    // (dest ^ image) & mask ^ image: the destination where the mask is white, the image
    // elsewhere. The mask must expand to pure white and black for that to hold.
    const COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    BitBlt(dc, x, y, width, height, colourDc, 0, 0, SRCINVERT);
    BitBlt(dc, x, y, width, height, maskDc, 0, 0, SRCAND);
    BitBlt(dc, x, y, width, height, colourDc, 0, 0, SRCINVERT);
    SetTextColor(dc, oldText);
    SetBkColor(dc, oldBack);
    return true;
}

void TransparentPicture::DrawAt(HDC dialogDc, HWND dialog, HWND control) const {
    const SIZE size = Size();
    if (!dialogDc || !dialog || !control || size.cx <= 0) return;
    RECT place = {};
    GetWindowRect(control, &place);
    // Maps into client coordinates and, for mirrored dialogs, swaps the sides, so the
    // picture lands on the control in both reading directions.
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&place), 2);
    MemoryDC imageDc(dialogDc);
    if (!imageDc || !imageDc.Select(m_bitmap.Get())) return;
    TransparentBlt(dialogDc, place.left, place.top, size.cx, size.cy, imageDc.Get(), 0, 0, size.cx, size.cy,
                   m_transparentColour);
}

void TransparentPicture::DrawAt(HWND dialog, HWND control) const {
    ScopedGetDC dc(dialog);
    DrawAt(dc.Get(), dialog, control);
}
