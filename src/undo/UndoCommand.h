#pragma once
// The main window's step back: File > Undo <what> and Ctrl+Z.
#include <windows.h>

#include "util/CMString.h"

class CPhonebook;

namespace undo {

// The File menu's item: "Undo <the last change>", and whether there is one to take
// back (not for a book that cannot be changed).
struct MenuItem {
    CMString text;
    bool enabled = false;
};
MenuItem UndoMenuItem(CPhonebook* model, bool editable);

// Asks once (with the counts, and the conflicts named), takes the last change back in
// one commit, and refills the list.
void RunUndoCommand(HWND owner, CPhonebook& model);

}  // namespace undo
