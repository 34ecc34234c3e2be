#pragma once
// Rules of the entry dialog's fields that need no window.
#include "util/CMString.h"

namespace entryfields {

// A required field that is blank or still shows the placeholder (in any letter case)
// has not been filled in.
bool IsUnfilled(const CMString& text, const CMString& placeholder);

// The mailbox as it stands after editing: empty stays empty, anything else becomes its
// leading number (0 when there is none) kept within 1 to 999.
CMString NormalisedMailbox(const CMString& text);

// A message for a multi-line edit control: line feeds become CR LF, and the result is
// cut to at most room characters, never between the two halves of a line break.
CMString MultiLineText(const CMString& text, int room);

}  // namespace entryfields
