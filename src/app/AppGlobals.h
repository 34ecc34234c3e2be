#pragma once
// Process-wide state set at start-up and read by the windows that need it.
#include <windows.h>

#include "util/CMString.h"

namespace app {
// The module whose resources (templates, images) the windows load.
HINSTANCE Instance();
void SetInstance(HINSTANCE instance);

HWND HiddenWindow();
void SetHiddenWindow(HWND window);
HWND MainDialog();
void SetMainDialog(HWND window);

// Help location: a format with one "%s" for the topic name; empty when unknown.
const CMString& HelpPath();
void SetHelpPath(const CMString& path);

// Texts from the language library, by id.
CMString Text(unsigned id);
// Template id of a dialog for the current reading direction.
int DialogTemplate(int leftToRight, int rightToLeft);
}  // namespace app
