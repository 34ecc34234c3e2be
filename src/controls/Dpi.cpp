#include "controls/Dpi.h"

UINT WindowDpi(HWND hwnd) {
    // GetDpiForWindow exists from Windows 10 1607 on; before that the screen DPI serves.
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow && hwnd) {
        UINT dpi = getDpiForWindow(hwnd);
        if (dpi) return dpi;
    }
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int ScalePixels(HWND hwnd, int pixelsAt96) { return MulDiv(pixelsAt96, static_cast<int>(WindowDpi(hwnd)), 96); }
