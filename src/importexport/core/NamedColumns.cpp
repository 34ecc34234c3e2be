#include "importexport/core/NamedColumns.h"

#include <algorithm>
#include <array>

namespace delimited {
namespace {

bool Holds(std::wstring_view key, std::initializer_list<std::wstring_view> words) {
    return std::any_of(words.begin(), words.end(), [&](std::wstring_view word) { return key.find(word) != key.npos; });
}

// "phone1type" as stem "phone", number 1 and rest "type"; false unless digits follow the stem.
bool SplitNumbered(std::wstring_view key, std::wstring_view stem, unsigned& number, std::wstring_view& rest) {
    if (key.substr(0, stem.size()) != stem) return false;
    size_t i = stem.size();
    number = 0;
    while (i < key.size() && key[i] >= L'0' && key[i] <= L'9' && number < 100000) number = number * 10 + (key[i++] - L'0');
    if (i == stem.size()) return false;
    rest = key.substr(i);
    return true;
}

// The numbered columns of the widespread contacts export, in English and German.
ColumnMeaning NumberedMeaning(std::wstring_view key) {
    ColumnMeaning meaning;
    unsigned number = 0;
    std::wstring_view rest;
    for (std::wstring_view stem : {L"phone", L"telefon"}) {
        if (!SplitNumbered(key, stem, number, rest)) continue;
        if (rest == L"type" || rest == L"typ" || rest == L"label") meaning.kind = ColumnMeaning::Kind::PhoneType;
        else if (rest == L"value" || rest == L"wert") meaning.kind = ColumnMeaning::Kind::PhoneValue;
        meaning.pair = number;
        return meaning;
    }
    for (std::wstring_view stem : {L"email"}) {
        if (SplitNumbered(key, stem, number, rest) && (rest == L"value" || rest == L"wert"))
            return {ColumnMeaning::Kind::Field, Column::Email, static_cast<uint8_t>(number <= 1 ? 1 : 2), 0};
    }
    for (std::wstring_view stem : {L"organization", L"organisation"}) {
        if (SplitNumbered(key, stem, number, rest) && rest == L"name")
            return {ColumnMeaning::Kind::Field, Column::Organization, static_cast<uint8_t>(number <= 1 ? 1 : 2), 0};
    }
    return meaning;
}

// Several values in one field of that export are joined by " ::: "; the first is the one.
std::wstring_view FirstOfSeveral(std::wstring_view value) {
    size_t at = value.find(L" ::: ");
    return at == value.npos ? value : value.substr(0, at);
}

std::wstring_view Trimmed(std::wstring_view text) {
    while (!text.empty() && mrv::IsWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && mrv::IsWhiteSpace(text.back())) text.remove_suffix(1);
    return text;
}

bool Chosen(const std::vector<Column>& chosen, Column column) {
    return std::find(chosen.begin(), chosen.end(), column) != chosen.end();
}

}  // namespace

ColumnNames::ColumnNames() {
    struct Known {
        const wchar_t* name;
        Column field;
        uint8_t rank;
    };
#define KNOWN_COLUMN(name, field, rank) {name, Column::field, rank},
    static const Known kKnown[] = {
#include "importexport/core/KnownColumnNames.inc"
    };
#undef KNOWN_COLUMN
    for (const Known& known : kKnown)
        m_names.emplace(Key(known.name), ColumnMeaning{ColumnMeaning::Kind::Field, known.field, known.rank, 0});
}

void ColumnNames::AddLabel(Column column, const CMString& label) {
    std::wstring key = Key(label.view());
    if (!key.empty()) m_names.emplace(std::move(key), ColumnMeaning{ColumnMeaning::Kind::Field, column, 1, 0});
}

std::wstring ColumnNames::Key(std::wstring_view name) {
    std::wstring key;
    key.reserve(name.size());
    for (wchar_t ch : name) {
        if (ch == L'-' || ch == L'_' || mrv::IsWhiteSpace(ch)) continue;
        key.push_back(mrv::ToLowerChar(ch));
    }
    return key;
}

ColumnMeaning ColumnNames::Meaning(std::wstring_view name) const {
    const std::wstring key = Key(name);
    if (key.empty()) return {};
    if (auto it = m_names.find(key); it != m_names.end()) return it->second;
    return NumberedMeaning(key);
}

ColumnMeaning PhoneTypeMeaning(std::wstring_view type) {
    std::wstring key = ColumnNames::Key(type);
    // "* Work" marks the primary value.
    key.erase(std::remove(key.begin(), key.end(), L'*'), key.end());
    const bool fax = key.find(L"fax") != key.npos;
    uint8_t rank = 1;
    if (Holds(key, {L"work", L"business", L"gesch\u00e4ft", L"arbeit", L"main", L"primary"})) rank = 0;
    else if (Holds(key, {L"home", L"other", L"privat", L"weitere"})) rank = 2;
    else if (!fax && Holds(key, {L"mobil", L"cell", L"handy"})) rank = 3;
    return {ColumnMeaning::Kind::Field, fax ? Column::Fax : Column::Phone, rank, 0};
}

bool Header::Fills(Column field) const {
    const bool used = std::any_of(uses.begin(), uses.end(), [&](const Use& use) { return use.field == field; });
    if (used) return true;
    if (field == Column::Phone) return !phones.empty();
    if (field == Column::Fax)
        return std::any_of(phones.begin(), phones.end(), [](const PhonePair& pair) { return pair.type != kNoColumn; });
    return false;
}

Header ReadHeaderLine(std::wstring_view line, const CMString& delimiter, const ColumnNames& names) {
    Header header;
    header.fieldDelimiter = delimiter;
    std::vector<std::wstring> fields;
    SplitQuotedRecord(line, delimiter.view(), fields);
    header.columnCount = fields.size();
    // Pair columns by their number, joined once the whole line is known.
    std::vector<std::pair<unsigned, size_t>> types, values;
    for (size_t i = 0; i < fields.size(); ++i) {
        const ColumnMeaning meaning = names.Meaning(fields[i]);
        // Groups are no column of the list: what contact services call them is known here.
        const std::wstring key = ColumnNames::Key(fields[i]);
        if (header.groups == Header::kNoColumn && (key == L"categories" || key == L"labels" || key == L"groupmembership")) {
            header.groups = i;
            continue;
        }
        switch (meaning.kind) {
            case ColumnMeaning::Kind::None: continue;
            case ColumnMeaning::Kind::Field: header.uses.push_back({i, meaning.field, meaning.rank}); break;
            case ColumnMeaning::Kind::PhoneType: types.emplace_back(meaning.pair, i); break;
            case ColumnMeaning::Kind::PhoneValue: values.emplace_back(meaning.pair, i); break;
        }
        ++header.recognised;
    }
    for (const auto& value : values) {
        auto type = std::find_if(types.begin(), types.end(), [&](const auto& t) { return t.first == value.first; });
        header.phones.push_back({type == types.end() ? Header::kNoColumn : type->second, value.second});
    }
    // A type column without its value column says nothing.
    for (const auto& type : types) {
        if (std::none_of(values.begin(), values.end(), [&](const auto& v) { return v.first == type.first; }))
            --header.recognised;
    }
    return header;
}

Header RecogniseHeader(ByteSource& source, const FileStart& encoding, const Layout& chosen, const Decoder& ansi,
                       const CharacterRules& rules, const ColumnNames& names) {
    const Header none;
    {
        // What the line would be as data: a record that would be imported is one.
        RecordReader reader(source, chosen, encoding, ansi);
        CMString first;
        const RecordReader::Status status = reader.Next(first);
        // A file that cannot be read has no header: the import's own read says why.
        if (status == RecordReader::Status::End || status == RecordReader::Status::Error) return none;
        EntryFields fields;
        if (status == RecordReader::Status::Record && ParseRecord(first, chosen, fields) &&
            CheckRecord(fields, rules.allowedFax, rules.allowedMailbox) == RecordCheck::Accepted)
            return none;
    }
    Header best;
    std::vector<CMString> delimiters = {chosen.FieldDelimiter(), L",", L";", L"\t"};
    for (size_t d = 0; d < delimiters.size(); ++d) {
        if (std::find(delimiters.begin(), delimiters.begin() + static_cast<std::ptrdiff_t>(d), delimiters[d]) !=
            delimiters.begin() + static_cast<std::ptrdiff_t>(d))
            continue;
        Layout layout = chosen;
        layout.quoted = true;
        layout.fieldDelimiter = delimiters[d];
        RecordReader reader(source, layout, encoding, ansi);
        CMString line;
        if (reader.Next(line) != RecordReader::Status::Record) return none;
        Header header = ReadHeaderLine(line.view(), delimiters[d], names);
        header.dataStart = reader.Position();
        if (header.recognised > best.recognised) best = std::move(header);
    }
    const bool name = best.Fills(Column::Name) || best.Fills(Column::FirstNamePart) ||
                      best.Fills(Column::SecondNamePart);
    if (!name || !best.Fills(Column::Fax)) return none;
    best.named = true;
    return best;
}

Layout ReadingLayout(const Header& header, const Layout& chosen) {
    Layout layout = chosen;
    layout.quoted = true;
    layout.fieldDelimiter = header.fieldDelimiter;
    return layout;
}

void MapRecord(const std::vector<std::wstring>& fields, const Header& header, const std::vector<Column>& chosen,
               EntryFields& out) {
    entry::FieldSet given = 0;
    MapRecord(fields, header, chosen, out, given);
}

void MapRecord(const std::vector<std::wstring>& fields, const Header& header, const std::vector<Column>& chosen,
               EntryFields& out, entry::FieldSet& given) {
    out = EntryFields();
    // The columns the record reaches (a short row lacks its last cells), by the field
    // they fill; only chosen fields count below.
    entry::FieldSet reached = 0;
    // For each field the value taken so far, by rank and then by column.
    struct Best {
        std::wstring_view value;
        uint8_t rank = 255;
        size_t index = 0;
    };
    std::array<Best, kColumnCount> best;
    auto offer = [&](Column field, uint8_t rank, size_t index, std::wstring_view value) {
        Best& b = best[static_cast<size_t>(field)];
        if (!value.empty() && (rank < b.rank || (rank == b.rank && index < b.index))) b = {value, rank, index};
    };
    auto valueAt = [&](size_t index) {
        return index < fields.size() ? Trimmed(std::wstring_view(fields[index])) : std::wstring_view();
    };
    for (const Header::Use& use : header.uses) {
        if (use.index < fields.size()) reached |= entry::FieldBit(use.field);
        offer(use.field, use.rank, use.index, valueAt(use.index));
    }
    for (const Header::PhonePair& pair : header.phones) {
        const std::wstring_view value = Trimmed(FirstOfSeveral(valueAt(pair.value)));
        const ColumnMeaning meaning =
            pair.type == Header::kNoColumn ? ColumnMeaning{ColumnMeaning::Kind::Field, Column::Phone, 1, 0}
                                           : PhoneTypeMeaning(valueAt(pair.type));
        // A pair gives the field its type names, so one that holds a fax gives no phone;
        // an empty pair with a type column names no field at all.
        const bool blank = value.empty() && pair.type != Header::kNoColumn && valueAt(pair.type).empty();
        if (pair.value < fields.size() && !blank) reached |= entry::FieldBit(meaning.field);
        offer(meaning.field, meaning.rank, pair.value, value);
    }
    auto take = [&](Column field) { return CMString(best[static_cast<size_t>(field)].value); };

    const bool name = Chosen(chosen, Column::Name);
    if (name) out.name = take(Column::Name);
    if (name || Chosen(chosen, Column::FirstNamePart)) out.firstNamePart = take(Column::FirstNamePart);
    if (name || Chosen(chosen, Column::SecondNamePart)) out.secondNamePart = take(Column::SecondNamePart);
    if (out.name.IsEmpty()) {
        out.name = out.firstNamePart + L" " + out.secondNamePart;
        out.name.Trim();
    }
    if (Chosen(chosen, Column::Fax)) {
        out.fax = take(Column::Fax);
        out.fax.Replace(L"-", L"");
        out.fax.Trim();
    }
    if (Chosen(chosen, Column::Organization)) out.organization = take(Column::Organization);
    if (Chosen(chosen, Column::Phone)) out.phone = take(Column::Phone);
    if (Chosen(chosen, Column::Email)) out.email = take(Column::Email);
    if (Chosen(chosen, Column::Mailbox)) out.mailbox = take(Column::Mailbox);
    if (header.groups != Header::kNoColumn) out.groups = CMString(valueAt(header.groups));
    given = 0;
    for (Column column : chosen) given |= entry::FieldBit(column);
    given &= reached;
}

std::vector<Column> FieldsTaken(const Header& header, const std::vector<Column>& chosen) {
    std::vector<Column> taken;
    for (Column column : chosen) {
        const bool parts = header.Fills(Column::FirstNamePart) || header.Fills(Column::SecondNamePart);
        if (header.Fills(column) || (column == Column::Name && parts)) taken.push_back(column);
    }
    return taken;
}

RecordOutcome ImportNamed(const CMString& record, const Header& header, const Layout& chosen,
                          const CharacterRules& rules, const AddEntry& add) {
    // Kept from record to record: the fields' buffers are reused.
    thread_local std::vector<std::wstring> fields;
    SplitQuotedRecord(record.view(), header.fieldDelimiter.view(), fields);
    EntryFields entry;
    MapRecord(fields, header, chosen.columns, entry);
    if (CheckRecord(entry, rules.allowedFax, rules.allowedMailbox) != RecordCheck::Accepted)
        return RecordOutcome::Rejected;
    return OutcomeOf(add(entry));
}

}  // namespace delimited
