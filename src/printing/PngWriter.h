#pragma once
// Pictures of pages as PNG files, through Windows' own imaging component.
#include <windows.h>

#include <string>

namespace printing {

// Writes 24-bit blue-green-red pixels, top row first, each row stride bytes apart.
// The HRESULT of the step that failed, or S_OK.
HRESULT WritePng(const std::wstring& path, int width, int height, const BYTE* pixels, int stride);

}  // namespace printing
