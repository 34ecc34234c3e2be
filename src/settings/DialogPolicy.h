#pragma once
// What an administrator set, as the server dialog shows it: a policy's value (and a
// machine default) stands in the settings where the user has none of their own; a locked
// value stands whatever the user had, and its controls are greyed with a note saying the
// administrator set it.
#include <windows.h>

struct ServerSettings;

namespace settings {

// Puts the effective values that do not come from the user into what the dialog fills.
void OverlayPolicy(ServerSettings& settings);
// Greys the controls of locked values (after the dialog set its own states) and, while
// the status line is free, says why; an unlocked policy in effect is said to be a default.
void ShowPolicy(HWND dialog);

}  // namespace settings
