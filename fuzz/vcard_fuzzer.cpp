// vCard import, fed arbitrary files. Besides not crashing, hanging or reading out of
// bounds, every card read must come back unchanged from the form the export writes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "importexport/core/VCard.h"

namespace {

// Latin-1 stands in for the ANSI code page, as the reader's other fallback.
void Latin1(std::string_view bytes, delimited::DecodedText& out) {
    out.Clear();
    for (unsigned char c : bytes) {
        out.text.push_back(static_cast<wchar_t>(c));
        out.ends.push_back(static_cast<uint32_t>(out.text.size()));
    }
}

bool Printable(const CMString& text) {
    // The export writes one line per field: control characters are the importer's to
    // keep or drop, so the round trip is checked on texts without them.
    for (wchar_t c : text.view())
        if (c < 0x20 || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF || c == 0xFFFD) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    vcard::IsVCard(file);
    vcard::CountCards(file);
    bool unicode = false;
    const std::string bytes = vcard::Utf8Bytes(file, unicode);
    vcard::Reader reader(bytes, unicode, Latin1);
    vcard::Card card;
    size_t cards = 0;
    uint64_t last = 0;
    while (reader.Next(card)) {
        if (reader.Position() <= last && cards) std::abort();  // every card moves on
        last = reader.Position();
        if (++cards > size) std::abort();
        const auto& f = card.fields;
        vcard::ExportedEntry e{f.name, f.fax, f.organization, f.phone, f.email, card.groups};
        bool checkable = true;
        for (const CMString* t : {&e.name, &e.fax, &e.organization, &e.phone, &e.email}) checkable &= Printable(*t);
        for (const auto& g : e.groups) checkable &= Printable(g) && !g.IsEmpty() && g.GetAt(0) != L' ';
        if (!checkable || e.name.IsEmpty()) continue;
        const std::string written = vcard::FormatCard(e);
        vcard::Reader again(written, true);
        vcard::Card back;
        if (!again.Next(back)) std::abort();
        const auto& b = back.fields;
        if (b.name != f.name || b.fax != f.fax || b.organization != f.organization || b.phone != f.phone ||
            b.email != f.email || back.groups != card.groups)
            std::abort();
    }
    return 0;
}
