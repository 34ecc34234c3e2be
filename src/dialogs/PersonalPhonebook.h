#pragma once
#include <windows.h>

#include "util/CMString.h"

// The user's personal phone book: "My Documents\default.pb" directly under the
// profile directory (a fixed name, not the shell's documents folder). Empty when the
// profile directory cannot be found.
CMString FindPersonalPhonebookPath();

// The personal phone book that receives copies: the one given ("-p"), else the user's
// own; empty when neither is known. The main window and the entry dialog both copy there.
CMString PersonalPhonebookPath(const CMString& given);

// Adds one entry to the personal phone book (PersonalPhonebookPath of personalPath)
// through a model of its own, which shows its messages over owner. Nothing here stops
// the caller's own save: a missing profile ends it silently, and the storage wrapper
// reports a book that cannot be opened for writing, a name in use or a full book.
void CopyToPersonalPhonebook(HWND owner, const CMString& personalPath, const CMString& name, const CMString& fax,
                             const CMString& organization, const CMString& phone, const CMString& email,
                             const CMString& mailbox);
