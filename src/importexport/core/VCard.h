#pragma once
// vCard files (.vcf), the one format phones, mail programs and contact services all
// write: versions 2.1, 3.0 and 4.0 as real exports lay them out (folded lines, escapes,
// property groups, parameters in every form, charsets, quoted-printable), read into the
// fields of an entry and the names of the groups it belongs to; and the 3.0 form the
// export writes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "importexport/core/DelimitedText.h"
#include "importexport/core/RecordReader.h"
#include "util/CMString.h"

namespace vcard {

// Whether a file's first bytes are a vCard's: after a byte-order mark and blank lines,
// "BEGIN:VCARD" in any case.
bool IsVCard(std::string_view firstBytes);

// The file's text as UTF-8, for reading: UTF-16 (with its byte-order mark) converted,
// a UTF-8 mark dropped, anything else as it is (each property's charset decides).
std::string Utf8Bytes(std::string_view file, bool& converted);

struct Card {
    delimited::EntryFields fields;
    // The fields the card gives: the name, the fax number, and those it has a property
    // for (ORG, a TEL that is no fax, EMAIL), even one left empty. It has no mailbox.
    entry::FieldSet given = 0;
    // Names of the groups (CATEGORIES) the entry belongs to, each once.
    std::vector<CMString> groups;
    // Every fax number of the card, each once, the one in fields first and the others in
    // the order they are ranked; empty when the card has none.
    std::vector<CMString> faxes;
};

// Reads one card after another from a file's bytes (see Utf8Bytes). Every byte is looked
// at a bounded number of times, so a huge PHOTO or many cards stay linear; values that
// are not needed (BASE64 data and the like) are never copied.
class Reader {
public:
    // unicode: the bytes are Unicode already (converted from UTF-16), so CHARSET
    // parameters do not apply. ansi decodes the ANSI code page: a value that names no
    // charset and is not UTF-8, or names one other than UTF-8, ISO-8859-1 and
    // Windows-1252.
    Reader(std::string_view bytes, bool unicode, delimited::Decoder ansi = {});
    // The next card; false at the end. Text outside BEGIN/END is passed over. A card
    // without its END:VCARD ends where the next card begins (a BEGIN:VCARD that is not
    // an AGENT's card); one the input ends inside is not given, as its last value may
    // be cut.
    bool Next(Card& card);
    uint64_t Position() const { return m_at; }
    // Whether the input has been read to its end and that end fell outside any card;
    // false before, and for good once the input is found to end inside a card.
    bool ReachedEnd() const { return m_at >= m_bytes.size() && !m_begun && !m_cutShort; }

private:
    // The next logical line (folds joined, a quoted-printable value's soft line breaks
    // too); empty view at the end. Only the first 4 KiB of an unwanted property is kept.
    bool NextLine(std::string& line);
    std::string_view PhysicalLine();

    std::string_view m_bytes;
    bool m_unicode;
    delimited::Decoder m_ansi;
    size_t m_at = 0;
    // A card's BEGIN:VCARD was read while ending the card before it.
    bool m_begun = false;
    bool m_cutShort = false;
};

// How many cards the bytes hold (their BEGIN:VCARD lines), for the dialog's note.
size_t CountCards(std::string_view bytes);

// The category values a CSV column gives (Categories, Labels, Group Membership): split at
// "," or " ::: ", trimmed, the contact service's system labels ("* myContacts") left out.
std::vector<CMString> SplitGroupNames(std::wstring_view value);

// One card as the export writes it (vCard 3.0, UTF-8, CR LF, folded at 75 octets without
// splitting a character, values escaped).
struct ExportedEntry {
    CMString name, fax, organization, phone, email;
    std::vector<CMString> groups;
};
std::string FormatCard(const ExportedEntry& entry);

// Whether the path names a vCard file (".vcf" at its end, any case).
bool HasVCardExtension(const CMString& path);

}  // namespace vcard
