#pragma once
// The contact sources of files: a delimited text file (by position, or by the names its
// first line gives) and a vCard file, each read whole into records. Nothing here knows
// the book.
#include <cstdint>
#include <functional>

#include "importexport/core/DelimitedText.h"
#include "importexport/core/NamedColumns.h"
#include "importexport/core/RecordReader.h"
#include "intake/core/Records.h"

namespace sources {

// How far a read has come, in bytes of the input.
using Progress = std::function<void(uint64_t done, uint64_t total)>;

struct TextFile {
    // The encoding found for the file, and its header (named or not).
    delimited::FileStart encoding;
    delimited::Header header;
    // The column list's selection and delimiters.
    delimited::Layout chosen;
    delimited::Decoder ansi;
    delimited::CharacterRules rules;
};

// Why a record's fields cannot become an entry (None: they can). Every source judges
// its records by this one rule.
intake::Rejection RejectionOf(const delimited::EntryFields& fields, const delimited::CharacterRules& rules);

// Every record of a delimited text file. A read that fails part-way keeps the records
// before it and is not complete.
intake::SourceRead ReadText(delimited::ByteSource& source, const TextFile& file, const Progress& progress = {});

// A vCard file is read whole; past this it is not one of a phone book's size.
inline constexpr uint64_t kMaxCardFileBytes = 256u << 20;

// Every card of a vCard file. A file cut short (inside a card, or unreadable) is not
// complete; its last card is left out. With eachFax, a card of several fax numbers gives
// a record for each, as a directory's person does; otherwise its best one only.
intake::SourceRead ReadCards(delimited::ByteSource& source, const delimited::Decoder& ansi,
                             const delimited::CharacterRules& rules, const Progress& progress = {},
                             bool eachFax = false);

// Whether the bytes from the start are a vCard file's.
bool IsCardFile(delimited::ByteSource& source);

}  // namespace sources
