#pragma once
// What every caller of the storage engine shares: its entry points looked up by export
// name (EngineExports.h), and the texts of a record of either set read and written in
// their widths. The storage wrapper (PhonebookDB), the model (CPhonebook) and through
// them pbtool use these and no copies of their own.
#include <string>

#include "data/EngineExports.h"
#include "data/EngineRecord.h"
#include "pbabi/EngineAbi.h"
#include "util/CMString.h"

// A field's text up to its terminator or its width; empty for a null field.
CMString WideText(const pbabi::WChar* field, size_t width);
CMString AnsiText(const char* field, size_t width);
// The text into a field of width units: cut to width - 1, terminated, the rest cleared.
// A null field or a width of 0 is left alone.
void PutWide(pbabi::WChar* field, size_t width, const CMString& text);
template <size_t N>
void PutWide(pbabi::WChar (&field)[N], const CMString& text) {
    PutWide(field, N, text);
}
// The text in the ANSI code page into a field of width bytes, cut where a whole
// character ends (never half of a double-byte character), the rest cleared.
void PutAnsi(char* field, size_t width, const CMString& text);
// The text in the ANSI code page, cut to at most maxBytes where a whole character ends.
std::string AnsiCut(const CMString& text, size_t maxBytes);

// A record's name, fax number and extension slot (pbabi::kExtOrganization...), of
// whichever set it is in; empty for an empty record or slot.
CMString NameOf(const EngineRecord& record);
CMString FaxOf(const EngineRecord& record);
CMString ExtensionOf(const EngineRecord& record, int slot);
// A group's name as the file keeps it: no square brackets anywhere.
CMString WithoutBrackets(CMString name);

// The six texts of an entry (a group: its name) into the record in the widths of its
// set; a group's name never holds brackets in the file, and an ANSI record keeps no
// mailbox "0". The record's kind must be set first.
void WriteFields(EngineRecord& record, const CMString& name, const CMString& fax, const CMString& organization,
                 const CMString& phone, const CMString& email, const CMString& mailbox);
