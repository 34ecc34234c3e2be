#pragma once
#include <windows.h>

#include "util/CMString.h"

// A topmost tooltip window for one control (the one way every dialog makes them).
HWND CreateToolTipWindow(HWND control);
// Adds the control's tool: subclassing, tool id 1, the given rectangle; the text is cut
// to 259 characters like the fixed buffer it is copied into.
void AddToolTip(HWND tooltip, HWND control, const CMString& text, RECT rect = {1, 1, 25, 25});
