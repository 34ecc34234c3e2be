#pragma once
// pbtool undo: the changes of a book that can be taken back, and the step back itself,
// as the main window's Undo takes it.

namespace pbtool {

// argv[1] is "undo". An exit code of Console.h.
int UndoCommand(int argc, wchar_t** argv);

}  // namespace pbtool
