#pragma once
// The form in which the book stores a text, and the key under which it compares names:
// one place decides both, so a record's value is compared with the entry as the book
// would keep it (cut to the field's width at a whole character, through the ANSI code
// page for the oldest format) and names as the engine matches them (case folded).
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "entry/core/Fields.h"
#include "util/CMString.h"

namespace intake {

enum class Field : uint8_t { Name, Fax, Organization, Phone, Email, Mailbox, GroupName };

// Units (bytes in an ANSI book) the book keeps of a field, less the terminator. A group
// name gets what the group dialog allows, so its row "[name]" fits the name's width.
int StoredWidth(Field field);

// An ANSI book: the text as the code page gives it back after it has been cut to
// maxBytes at a whole character. Empty for books of wide text.
using AnsiRoundTrip = std::function<CMString(std::wstring_view text, size_t maxBytes)>;

struct TextForm {
    AnsiRoundTrip ansi;
};

// The text as the book would store it in the field. A group name loses its square
// brackets, as the book never keeps them.
CMString Stored(std::wstring_view text, Field field, const TextForm& form);
// Every field of an entry in its stored form; the name parts and groups column go.
entry::Fields StoredFields(const entry::Fields& fields, const TextForm& form);

// The key two names (or group names) are the same under: the stored text, case folded as
// the engine folds it. Give it stored text.
std::u32string NameKey(std::wstring_view stored);

// The first units of the text, never half a surrogate pair (units are UTF-16's, also
// where wchar_t is wider).
CMString CutToUnits(std::wstring_view text, int units);

// Whether two mailbox texts are the same mailbox ("007" and "7", "" and "0").
bool SameMailbox(const CMString& a, const CMString& b);

}  // namespace intake
