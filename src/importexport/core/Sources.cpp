#include "importexport/core/Sources.h"

#include <algorithm>
#include <string>

#include "importexport/core/VCard.h"

namespace sources {

namespace {

using delimited::Column;
using intake::Rejection;

// Records between two progress reports.
constexpr unsigned kProgressStep = 100;

// A record's present bits are its given fields.
static_assert(intake::Bit(Column::Name) == entry::FieldBit(Column::Name) &&
              intake::Bit(Column::Fax) == entry::FieldBit(Column::Fax) &&
              intake::Bit(Column::Organization) == entry::FieldBit(Column::Organization) &&
              intake::Bit(Column::Phone) == entry::FieldBit(Column::Phone) &&
              intake::Bit(Column::Email) == entry::FieldBit(Column::Email) &&
              intake::Bit(Column::Mailbox) == entry::FieldBit(Column::Mailbox));

// Only what an entry keeps travels on: the parts and the groups text are read already.
void Settle(intake::Record& record, const delimited::CharacterRules& rules) {
    record.rejection = RejectionOf(record.fields, rules);
    record.fields.firstNamePart.Empty();
    record.fields.secondNamePart.Empty();
    record.fields.groups.Empty();
}

}  // namespace

Rejection RejectionOf(const delimited::EntryFields& fields, const delimited::CharacterRules& rules) {
    switch (delimited::CheckRecord(fields, rules.allowedFax, rules.allowedMailbox)) {
        case delimited::RecordCheck::NoFax: return Rejection::NoFax;
        case delimited::RecordCheck::FaxCharacter: return Rejection::FaxCharacter;
        case delimited::RecordCheck::MailboxCharacter: return Rejection::MailboxCharacter;
        case delimited::RecordCheck::Accepted: break;
    }
    return fields.name.IsBlank() ? Rejection::NoName : Rejection::None;
}

intake::SourceRead ReadText(delimited::ByteSource& source, const TextFile& file, const Progress& progress) {
    intake::SourceRead read;
    const bool named = file.header.named;
    delimited::RecordReader reader(source, named ? delimited::ReadingLayout(file.header, file.chosen) : file.chosen,
                                   file.encoding, file.ansi, file.header.dataStart);
    std::vector<std::wstring> split;
    CMString text;
    for (;;) {
        const delimited::RecordReader::Status status = reader.Next(text);
        if (status == delimited::RecordReader::Status::End) break;
        if (status == delimited::RecordReader::Status::Error) {
            read.complete = false;
            break;
        }
        intake::Record& record = read.records.emplace_back();
        if (status == delimited::RecordReader::Status::Overlong) {
            record.rejection = Rejection::Unreadable;
            continue;
        }
        // Each record gives what its line reaches: fields it lacks keep the entry's value.
        entry::FieldSet given = 0;
        if (named) {
            delimited::SplitQuotedRecord(text.view(), file.header.fieldDelimiter.view(), split);
            delimited::MapRecord(split, file.header, file.chosen.columns, record.fields, given);
            if (!record.fields.groups.IsEmpty()) record.groups = vcard::SplitGroupNames(record.fields.groups.view());
        } else if (!delimited::ParseRecord(text, file.chosen, record.fields, given)) {
            record.rejection = Rejection::Unreadable;
            continue;
        }
        record.present = given;
        Settle(record, file.rules);
        if (progress && read.records.size() % kProgressStep == 0) progress(reader.Position(), source.Size());
    }
    if (progress) progress(source.Size(), source.Size());
    return read;
}

bool IsCardFile(delimited::ByteSource& source) {
    char head[512];
    const size_t got =
        delimited::ReadFrom(source, 0, head, static_cast<size_t>(std::min<uint64_t>(source.Size(), sizeof head)));
    return vcard::IsVCard(std::string_view(head, got));
}

intake::SourceRead ReadCards(delimited::ByteSource& source, const delimited::Decoder& ansi,
                             const delimited::CharacterRules& rules, const Progress& progress, bool eachFax) {
    intake::SourceRead read;
    // Cards are small; the file is read whole (in pieces, so a failed read is known).
    std::string bytes(static_cast<size_t>(std::min<uint64_t>(source.Size(), kMaxCardFileBytes)), '\0');
    const size_t got = delimited::ReadFrom(source, 0, bytes.data(), bytes.size());
    if (got < bytes.size() || source.Size() > kMaxCardFileBytes) read.complete = false;
    bytes.resize(got);
    bool unicode = false;
    const std::string text = vcard::Utf8Bytes(bytes, unicode);
    bytes = std::string();
    vcard::Reader reader(text, unicode, ansi);
    vcard::Card card;
    while (reader.Next(card)) {
        intake::Record& record = read.records.emplace_back();
        record.fields = std::move(card.fields);
        record.groups = std::move(card.groups);
        record.present = card.given;
        Settle(record, rules);
        for (size_t i = 1; eachFax && i < card.faxes.size(); ++i) {
            intake::Record other = read.records.back();
            other.fields.fax = card.faxes[i];
            Settle(other, rules);
            read.records.push_back(std::move(other));
        }
        if (progress && read.records.size() % kProgressStep == 0) progress(reader.Position(), text.size());
    }
    if (!reader.ReachedEnd()) read.complete = false;
    if (progress) progress(text.size(), text.size());
    return read;
}

}  // namespace sources
