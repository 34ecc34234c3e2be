#pragma once
// What the group dialog accepts as a group's name.
#include "util/CMString.h"

// Longest name the group dialog lets the user type; the file keeps 31 units, and the
// list shows the name in square brackets.
inline constexpr int kGroupNameLimit = 29;

// A name that is blank, or the field's placeholder in any letter case, names no group.
bool IsUsableGroupName(const CMString& name, const CMString& placeholder);
