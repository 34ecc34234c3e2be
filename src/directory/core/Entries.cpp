#include "directory/core/Entries.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

#include "directory/core/Url.h"
#include "importexport/core/Sources.h"
#include "util/core/Utf.h"

namespace directory {
namespace {

using entry::Column;

std::wstring_view Trimmed(std::wstring_view text) {
    while (!text.empty() && mrv::IsWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && mrv::IsWhiteSpace(text.back())) text.remove_suffix(1);
    return text;
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool IsTypeCharacter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
}

// The character at i as UTF-8 (a surrogate pair whole), i moved past it.
void TakeCharacter(std::wstring_view text, size_t& i, std::string& bytes) {
    size_t length = 1;
    if (sizeof(wchar_t) == 2 && i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF) length = 2;
    bytes += mrv::WideToUtf8(text.substr(i, length));
    i += length;
}

// A backslash escape at i: two hex digits are a byte of UTF-8, any other character
// stands for itself. False when the text ends after the backslash.
bool TakeEscape(std::wstring_view text, size_t& i, std::string& bytes) {
    if (i + 1 >= text.size()) return false;
    const int high = HexValue(text[i + 1]);
    const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
    if (high >= 0 && low >= 0) {
        bytes += static_cast<char>(high * 16 + low);
        i += 3;
        return true;
    }
    ++i;
    TakeCharacter(text, i, bytes);
    return true;
}

bool IsSeparator(wchar_t c) { return c == L',' || c == L'+' || c == L';'; }

// Walks the whole DN, so a text that only starts like one (a department "R=D, Sales")
// is not taken for one; first is the first RDN's value.
bool ParseDn(std::wstring_view dn, std::wstring& first) {
    const size_t n = dn.size();
    size_t i = 0;
    bool isFirst = true;
    auto skipSpaces = [&] {
        while (i < n && dn[i] == L' ') ++i;
    };
    for (;;) {
        skipSpaces();
        const size_t typeStart = i;
        while (i < n && IsTypeCharacter(dn[i])) ++i;
        if (i == typeStart || dn[typeStart] == L'-' || dn[typeStart] == L'.') return false;
        skipSpaces();
        if (i == n || dn[i] != L'=') return false;
        ++i;
        skipSpaces();
        std::string bytes;
        if (i < n && dn[i] == L'"') {
            // The older quoted form: separators inside are plain characters.
            for (++i;;) {
                if (i == n) return false;
                if (dn[i] == L'"') break;
                if (dn[i] == L'\\') {
                    if (!TakeEscape(dn, i, bytes)) return false;
                } else {
                    TakeCharacter(dn, i, bytes);
                }
            }
            ++i;
            skipSpaces();
        } else {
            // Unescaped spaces at a value's end are not part of it; escaped ones are.
            size_t kept = 0;
            while (i < n && !IsSeparator(dn[i])) {
                if (dn[i] == L'\\') {
                    if (!TakeEscape(dn, i, bytes)) return false;
                    kept = bytes.size();
                } else {
                    const bool space = dn[i] == L' ';
                    TakeCharacter(dn, i, bytes);
                    if (!space) kept = bytes.size();
                }
            }
            bytes.resize(kept);
        }
        if (isFirst) {
            if (!mrv::IsValidUtf8(bytes)) return false;
            first = mrv::Utf8ToWide(bytes);
            isFirst = false;
        }
        if (i == n) return true;
        if (!IsSeparator(dn[i]) || ++i == n) return false;
    }
}

// Attribute names are ASCII; compared without a copy, as every field looks them up.
bool SameName(std::wstring_view a, std::wstring_view b) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

const std::vector<std::wstring>* ValuesOf(const Entry& entry, std::wstring_view name) {
    for (const Attribute& attribute : entry) {
        if (SameName(attribute.name, name)) return &attribute.values;
    }
    return nullptr;
}

// The texts one way gives, trimmed, blank ones left out: each value of one attribute,
// or the first values of several joined by a space.
std::vector<std::wstring> TextsOf(const Entry& entry, const Way& way) {
    std::vector<std::wstring> texts;
    if (way.size() == 1) {
        if (const auto* values = ValuesOf(entry, way.front())) {
            for (const std::wstring& value : *values) {
                const std::wstring_view text = Trimmed(value);
                if (!text.empty()) texts.emplace_back(text);
            }
        }
        return texts;
    }
    std::wstring joined;
    for (const std::wstring& name : way) {
        const auto* values = ValuesOf(entry, name);
        if (!values) continue;
        for (const std::wstring& value : *values) {
            const std::wstring_view text = Trimmed(value);
            if (text.empty()) continue;
            if (!joined.empty()) joined += L' ';
            joined += text;
            break;
        }
    }
    if (!joined.empty()) texts.push_back(std::move(joined));
    return texts;
}

std::vector<std::wstring> Read(const Entry& entry, const std::vector<Way>& ways) {
    for (const Way& way : ways) {
        std::vector<std::wstring> texts = TextsOf(entry, way);
        if (!texts.empty()) return texts;
    }
    return {};
}

struct FieldName {
    const wchar_t* name;
    std::vector<Way> Mapping::*ways;
    bool required;
};
const FieldName kFields[] = {
    {L"name", &Mapping::name, true},          {L"fax", &Mapping::fax, true},
    {L"organization", &Mapping::organization, false}, {L"phone", &Mapping::phone, false},
    {L"email", &Mapping::email, false},       {L"mailbox", &Mapping::mailbox, false},
};

// Splits at a separator; the last piece runs to the end.
template <typename Each>
void ForEachPiece(std::wstring_view text, wchar_t separator, Each each) {
    for (size_t from = 0;;) {
        const size_t to = text.find(separator, from);
        each(text.substr(from, to == std::wstring_view::npos ? to : to - from));
        if (to == std::wstring_view::npos) return;
        from = to + 1;
    }
}

}  // namespace

bool ParseMapping(std::wstring_view text, Mapping& mapping, MappingFault& fault, std::wstring& item) {
    Mapping result = mapping;
    bool given[std::size(kFields)] = {};
    fault = MappingFault::None;
    ForEachPiece(text, L',', [&](std::wstring_view piece) {
        piece = Trimmed(piece);
        if (fault != MappingFault::None || piece.empty()) return;
        auto fail = [&](MappingFault why) {
            fault = why;
            item.assign(piece);
        };
        const size_t equals = piece.find(L'=');
        if (equals == std::wstring_view::npos) return fail(MappingFault::NoEquals);
        const CMString field(Trimmed(piece.substr(0, equals)));
        size_t index = 0;
        while (index < std::size(kFields) && !field.EqualsNoCase(kFields[index].name)) ++index;
        if (index == std::size(kFields)) return fail(MappingFault::UnknownField);
        if (given[index]) return fail(MappingFault::RepeatedField);
        given[index] = true;
        const std::wstring_view value = Trimmed(piece.substr(equals + 1));
        std::vector<Way> ways;
        if (value.empty() && kFields[index].required) return fail(MappingFault::Required);
        if (!value.empty()) {
            bool good = true;
            ForEachPiece(value, L'|', [&](std::wstring_view alternative) {
                Way& way = ways.emplace_back();
                ForEachPiece(alternative, L'+', [&](std::wstring_view attribute) {
                    attribute = Trimmed(attribute);
                    good = good && IsAttributeName(attribute);
                    way.emplace_back(attribute);
                });
            });
            if (!good) return fail(MappingFault::BadAttribute);
        }
        result.*kFields[index].ways = std::move(ways);
    });
    if (fault != MappingFault::None) return false;
    mapping = std::move(result);
    return true;
}

std::vector<std::wstring> RequestedAttributes(const Mapping& mapping) {
    std::vector<std::wstring> names;
    auto add = [&](const std::wstring& name) {
        for (const std::wstring& known : names) {
            if (SameName(known, name)) return;
        }
        names.push_back(name);
    };
    for (const FieldName& field : kFields) {
        for (const Way& way : mapping.*field.ways) {
            for (const std::wstring& name : way) add(name);
        }
    }
    if (!mapping.groups.empty()) add(mapping.groups);
    return names;
}

std::wstring FirstRdnValue(std::wstring_view dn) {
    std::wstring first;
    return ParseDn(dn, first) ? first : std::wstring(dn);
}

void AppendRecords(const Entry& entry, const Mapping& mapping, const entry::CharacterRules& rules,
                   std::vector<intake::Record>& records) {
    intake::Record base;
    base.present = intake::Bit(Column::Name) | intake::Bit(Column::Fax);
    auto take = [&](const std::vector<Way>& ways, CMString& field, Column column) {
        const std::vector<std::wstring> texts = Read(entry, ways);
        if (texts.empty()) return;
        field = CMString(texts.front());
        base.present |= intake::Bit(column);
    };
    take(mapping.name, base.fields.name, Column::Name);
    take(mapping.organization, base.fields.organization, Column::Organization);
    take(mapping.phone, base.fields.phone, Column::Phone);
    take(mapping.email, base.fields.email, Column::Email);
    take(mapping.mailbox, base.fields.mailbox, Column::Mailbox);

    if (const auto* values = mapping.groups.empty() ? nullptr : ValuesOf(entry, mapping.groups)) {
        // Each group once, names equal but for case being one.
        std::unordered_set<std::wstring> keys;
        for (const std::wstring& value : *values) {
            CMString name(FirstRdnValue(Trimmed(value)));
            name.Trim();
            if (name.IsEmpty()) continue;
            CMString key(name);
            if (keys.insert(key.MakeUpper().str()).second) base.groups.push_back(std::move(name));
        }
    }

    std::vector<CMString> faxes;
    for (const std::wstring& text : Read(entry, mapping.fax)) {
        CMString fax(text);
        fax.Replace(L"-", L"");
        fax.Trim();
        if (!fax.IsEmpty() && std::find(faxes.begin(), faxes.end(), fax) == faxes.end()) faxes.push_back(std::move(fax));
    }
    // An entry without a fax number is still one record read, and rejected.
    if (faxes.empty()) faxes.emplace_back();
    for (CMString& fax : faxes) {
        intake::Record& record = records.emplace_back(base);
        record.fields.fax = std::move(fax);
        record.rejection = sources::RejectionOf(record.fields, rules);
    }
}

intake::SourceRead Collect(const std::vector<Entry>& entries, const Mapping& mapping,
                           const entry::CharacterRules& rules, bool complete) {
    intake::SourceRead read;
    read.records.reserve(entries.size());
    for (const Entry& entry : entries) AppendRecords(entry, mapping, rules, read.records);
    read.complete = complete;
    return read;
}

}  // namespace directory
