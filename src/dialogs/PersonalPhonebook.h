#pragma once
#include "util/CMString.h"

// The user's personal phone book: "My Documents\default.pb" directly under the
// profile directory (a fixed name, not the shell's documents folder). Empty when the
// profile directory cannot be found.
CMString FindPersonalPhonebookPath();
