#pragma once
// Sizes given in pixels at 96 DPI, scaled to the window's DPI so nothing is cramped
// at 150 % and nothing changes at 100 %.
#include <windows.h>

UINT WindowDpi(HWND hwnd);
int ScalePixels(HWND hwnd, int pixelsAt96);
