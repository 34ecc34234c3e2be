#pragma once
// pbtool print: the phone list printed without a dialog, or written as pictures.

namespace pbtool {

// argv[1] is "print". An exit code of Console.h.
int PrintCommand(int argc, wchar_t** argv);

}  // namespace pbtool
