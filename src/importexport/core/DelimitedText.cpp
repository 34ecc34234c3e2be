#include "importexport/core/DelimitedText.h"

#include <algorithm>

#include "resources/text_ids.h"

namespace delimited {
namespace {

const CMString kDefaultRecordDelimiter = L"\r\n";
const CMString kDefaultFieldDelimiter = L",";
constexpr wchar_t kQuote = L'"';

bool EndsWithNoCase(const CMString& text, const wchar_t* suffix) {
    CMString tail(suffix);
    return text.GetLength() >= tail.GetLength() && text.Right(tail.GetLength()).EqualsNoCase(tail.view());
}

// Whether every character of text occurs in allowed.
bool OnlyFrom(const CMString& text, const CMString& allowed) {
    return std::all_of(text.str().begin(), text.str().end(),
                       [&](wchar_t ch) { return allowed.Find(ch) >= 0; });
}

}  // namespace

unsigned ColumnLabelId(Column column) {
    switch (column) {
        case Column::Name: return IDS_FIELD_NAME;
        case Column::FirstNamePart: return IDS_FIELD_FIRST_NAME;
        case Column::SecondNamePart: return IDS_FIELD_LAST_NAME;
        case Column::Fax: return IDS_FIELD_FAX;
        case Column::Organization: return IDS_FIELD_ORGANIZATION;
        case Column::Phone: return IDS_FIELD_PHONE;
        case Column::Email: return IDS_FIELD_EMAIL;
        case Column::Mailbox: break;
    }
    return IDS_FIELD_MAILBOX;
}

bool IsOfferedOnExport(Column column) {
    return column != Column::FirstNamePart && column != Column::SecondNamePart;
}

std::vector<ColumnItem> InitialColumns(bool forImport) {
    std::vector<ColumnItem> items;
    for (int i = 0; i < kColumnCount; ++i) {
        Column column = static_cast<Column>(i);
        bool part = !IsOfferedOnExport(column);
        if (part && !forImport) continue;
        items.push_back({column, !part});
    }
    return items;
}

const CMString& Layout::RecordDelimiter() const {
    return recordDelimiter.IsEmpty() ? kDefaultRecordDelimiter : recordDelimiter;
}

const CMString& Layout::FieldDelimiter() const {
    return fieldDelimiter.IsEmpty() ? kDefaultFieldDelimiter : fieldDelimiter;
}

CMString QuoteField(const CMString& value, const CMString& fieldDelimiter) {
    if (fieldDelimiter.IsEmpty() || value.Find(fieldDelimiter.view()) < 0) return value;
    CMString quoted;
    quoted.str().reserve(static_cast<size_t>(value.GetLength()) + 2);
    quoted += kQuote;
    quoted += value;
    quoted += kQuote;
    return quoted;
}

CMString QuoteCsvField(const CMString& value, const Layout& layout) {
    const std::wstring_view text = value.view();
    const std::wstring_view field = layout.FieldDelimiter().view();
    const std::wstring_view record = layout.RecordDelimiter().view();
    const bool needed = std::any_of(text.begin(), text.end(), [&](wchar_t ch) {
        return ch == kQuote || ch == L'\r' || ch == L'\n' || field.find(ch) != std::wstring_view::npos ||
               record.find(ch) != std::wstring_view::npos;
    });
    if (!needed) return value;
    std::wstring quoted;
    quoted.reserve(text.size() + 2);
    quoted += kQuote;
    for (wchar_t ch : text) {
        if (ch == kQuote) quoted += kQuote;
        quoted += ch;
    }
    quoted += kQuote;
    return CMString(quoted);
}

CMString FormatRecord(const std::vector<CMString>& values, const Layout& layout) {
    CMString line;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) line += layout.FieldDelimiter();
        line += layout.quoted ? QuoteCsvField(values[i], layout) : QuoteField(values[i], layout.FieldDelimiter());
    }
    line += layout.RecordDelimiter();
    return line;
}

CMString WithExportExtension(const CMString& path) {
    if (EndsWithNoCase(path, L".csv") || EndsWithNoCase(path, L".txt")) return path;
    return path + (path.Right(1) == L"." ? L"csv" : L".csv");
}

RecordEnd FindRecordEnd(std::wstring_view text, const Layout& layout, bool complete) {
    if (layout.quoted) {
        QuotedScan scan(layout);
        RecordEnd end;
        size_t at = scan.Find(text, end.length);
        // A CR that ends the text may be the first half of a CR LF.
        if (at == std::wstring_view::npos || (!complete && text[at] == L'\r' && at + 1 == text.size())) return end;
        end.found = true;
        end.start = at;
        return end;
    }
    std::wstring_view delimiter = layout.RecordDelimiter().view();
    RecordEnd end;
    end.length = delimiter.size();
    if (!layout.DelimitersEqual() || layout.columns.empty()) {
        size_t at = text.find(delimiter);
        if (at == std::wstring_view::npos) return end;
        end.found = true;
        end.start = at;
        return end;
    }
    // Walk the fields as the parser will: a quoted one may hold the delimiter.
    size_t pos = 0;
    for (size_t field = 0; field < layout.columns.size(); ++field) {
        if (pos < text.size() && text[pos] == kQuote) {
            size_t open = text.find_first_not_of(kQuote, pos);
            size_t close = open == std::wstring_view::npos ? open : text.find(kQuote, open);
            if (close != std::wstring_view::npos) pos = close + 1;
            // The closing mark may lie beyond this text; when it cannot, the field is plain.
            else if (!complete) return end;
        }
        size_t at = text.find(delimiter, pos);
        if (at == std::wstring_view::npos) return end;
        if (field + 1 == layout.columns.size()) {
            end.found = true;
            end.start = at;
            return end;
        }
        pos = at + delimiter.size();
    }
    return end;
}

QuotedScan::QuotedScan(const Layout& layout) : m_field(layout.FieldDelimiter().view()) {
    std::wstring_view record = layout.RecordDelimiter().view();
    // Line ends end a record anyway; a delimiter equal to the field delimiter cannot.
    if (record != L"\r\n" && record != L"\r" && record != L"\n" && record != m_field) m_record = record;
}

size_t QuotedScan::Find(std::wstring_view text, size_t& endLength) {
    auto at = [&](size_t i, std::wstring_view delimiter) {
        return !delimiter.empty() && text.compare(i, delimiter.size(), delimiter) == 0;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t ch = text[i];
        if (m_state == State::Quoted) {
            if (ch == kQuote) m_state = State::AfterQuote;
            continue;
        }
        if (at(i, m_record)) {
            m_state = State::FieldStart;
            endLength = m_record.size();
            return i;
        }
        if (at(i, m_field)) {
            m_state = State::FieldStart;
            i += m_field.size() - 1;
            continue;
        }
        if (ch == L'\r' || ch == L'\n') {
            m_state = State::FieldStart;
            endLength = ch == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n' ? 2 : 1;
            return i;
        }
        if (ch == kQuote && m_state != State::Plain) m_state = State::Quoted;  // opening, or "" inside
        else m_state = State::Plain;
    }
    return std::wstring_view::npos;
}

void SplitQuotedRecord(std::wstring_view record, std::wstring_view delimiter, std::vector<std::wstring>& fields) {
    size_t count = 0;
    auto next = [&]() -> std::wstring& {
        if (count == fields.size()) fields.emplace_back();
        std::wstring& field = fields[count++];
        field.clear();
        return field;
    };
    enum class State { FieldStart, Plain, Quoted, AfterQuote } state = State::FieldStart;
    std::wstring* field = &next();
    for (size_t i = 0; i < record.size(); ++i) {
        const wchar_t ch = record[i];
        if (state != State::Quoted && !delimiter.empty() && ch == delimiter[0] &&
            record.compare(i, delimiter.size(), delimiter) == 0) {
            field = &next();
            state = State::FieldStart;
            i += delimiter.size() - 1;
            continue;
        }
        switch (state) {
            case State::FieldStart:
                if (ch == kQuote) {
                    state = State::Quoted;
                    continue;
                }
                state = State::Plain;
                break;
            case State::Plain: break;
            case State::Quoted:
                if (ch == kQuote) {
                    state = State::AfterQuote;
                    continue;
                }
                break;
            case State::AfterQuote:
                // "" is one mark; anything else after the closing mark is kept as it is.
                state = ch == kQuote ? State::Quoted : State::Plain;
                break;
        }
        field->push_back(ch);
    }
    fields.resize(count);
}

bool IsBlankRecord(std::wstring_view record, const Layout& layout) {
    const std::wstring_view delimiter = layout.FieldDelimiter().view();
    for (size_t i = 0; i < record.size(); ++i) {
        if (mrv::IsWhiteSpace(record[i])) continue;
        if (!layout.quoted) return false;
        if (record[i] == kQuote) continue;
        if (record.compare(i, delimiter.size(), delimiter) != 0) return false;
        i += delimiter.size() - 1;
    }
    return true;
}

bool ParseRecord(const CMString& record, const Layout& layout, EntryFields& out) {
    entry::FieldSet given = 0;
    return ParseRecord(record, layout, out, given);
}

bool ParseRecord(const CMString& record, const Layout& layout, EntryFields& out, entry::FieldSet& given) {
    out = EntryFields();
    given = 0;
    const std::wstring_view delimiter = layout.FieldDelimiter().view();
    std::wstring_view rest = record.view();
    // Whether the record reaches the next column: the line may end before its last ones.
    bool reached = true;
    for (Column column : layout.columns) {
        if (reached) given |= entry::FieldBit(column);
        std::wstring_view value;
        bool ended = false;
        const std::wstring_view afterPair = rest.substr(std::min<size_t>(rest.size(), 2));
        if (rest.substr(0, 2) == L"\"\"" && (afterPair.empty() || afterPair.substr(0, delimiter.size()) == delimiter)) {
            // An empty quoted value: its closing mark is not the next value's opening one.
            reached = !afterPair.empty();
            rest.remove_prefix(std::min(rest.size(), 2 + delimiter.size()));
            ended = true;
        } else if (!rest.empty() && rest.front() == kQuote) {
            size_t open = rest.find_first_not_of(kQuote);
            rest.remove_prefix(open == std::wstring_view::npos ? rest.size() : open);
            size_t close = rest.find(kQuote);
            if (close != std::wstring_view::npos) {
                value = rest.substr(0, close);
                // The closing mark and one delimiter's worth are passed over unread.
                reached = close + 1 < rest.size();
                rest.remove_prefix(std::min(rest.size(), close + 1 + delimiter.size()));
                ended = true;
            }
        } else {
            size_t at = rest.find(delimiter);
            if (at != std::wstring_view::npos) {
                value = rest.substr(0, at);
                rest.remove_prefix(at + delimiter.size());
                ended = true;
            }
        }
        if (!ended) {
            if (out.name.IsEmpty() && out.firstNamePart.IsEmpty() && out.secondNamePart.IsEmpty() &&
                out.fax.IsEmpty())
                return false;
            value = rest;
            rest = {};
            reached = false;
        }
        CMString& target = entry::ValueOf(out, column);
        target = CMString(value);
        if (column == Column::Fax) target.Replace(L"-", L"");
        // After the hyphens, so "555 -" leaves no space behind either.
        target.Trim();
    }
    if (out.name.IsEmpty()) {
        out.name = out.firstNamePart + L" " + out.secondNamePart;
        // One part alone should not leave a space hanging at the name's end.
        out.name.Trim();
    }
    return true;
}

RecordCheck CheckRecord(const EntryFields& fields, const CMString& allowedFax, const CMString& allowedMailbox) {
    if (fields.fax.IsEmpty()) return RecordCheck::NoFax;
    if (!OnlyFrom(fields.fax, allowedFax)) return RecordCheck::FaxCharacter;
    if (!OnlyFrom(fields.mailbox, allowedMailbox)) return RecordCheck::MailboxCharacter;
    return RecordCheck::Accepted;
}

RecordOutcome ImportOne(const CMString& record, const Layout& layout, const CharacterRules& rules,
                        const AddEntry& add) {
    EntryFields fields;
    if (!ParseRecord(record, layout, fields)) return RecordOutcome::Rejected;
    if (CheckRecord(fields, rules.allowedFax, rules.allowedMailbox) != RecordCheck::Accepted)
        return RecordOutcome::Rejected;
    return OutcomeOf(add(fields));
}

RecordOutcome OutcomeOf(int addCode) {
    switch (addCode) {
        case 0: return RecordOutcome::Imported;
        case 16: return RecordOutcome::Full;
        case 18: return RecordOutcome::AlreadyPresent;
        case kEntryUpdated: return RecordOutcome::Updated;
        case kEntryUnchanged: return RecordOutcome::Unchanged;
        default: return RecordOutcome::Refused;
    }
}

void ImportCounters::Count(RecordOutcome outcome) {
    ++read;
    switch (outcome) {
        case RecordOutcome::Imported: ++imported; break;
        case RecordOutcome::Rejected: ++rejected; break;
        case RecordOutcome::AlreadyPresent: ++alreadyPresent; break;
        case RecordOutcome::Full: ++full; break;
        case RecordOutcome::Updated: ++updated; break;
        case RecordOutcome::Unchanged: ++unchanged; break;
        case RecordOutcome::Refused: break;
    }
}

CMString ImportSummary(const ImportCounters& counters, unsigned capacity,
                       const std::function<CMString(unsigned)>& text, bool updating) {
    CMString summary;
    if (counters.readFailed) summary = CMString::Formatted(text(IDS_IMPORT_READ_FAILED).c_str(), unsigned{counters.read});
    if (updating) {
        if (!summary.IsEmpty()) summary += L"\n\n";
        return summary + CMString::Formatted(text(IDS_IMPORT_UPDATE_SUMMARY).c_str(), unsigned{counters.read},
                                             unsigned{counters.imported}, unsigned{counters.updated},
                                             unsigned{counters.unchanged}, unsigned{counters.rejected},
                                             unsigned{counters.full});
    }
    if (counters.imported == counters.read) return summary;
    const unsigned failed = counters.NotImported();
    if (!summary.IsEmpty()) summary += L"\n\n";
    summary += CMString::Formatted(text(IDS_IMPORT_SUMMARY).c_str(), failed, unsigned{counters.read});
    if (counters.rejected > 0) {
        unsigned id = counters.alreadyPresent > 0 ? IDS_IMPORT_REJECTED_AND_DUPLICATES : IDS_IMPORT_REJECTED;
        summary += L"\n\n";
        summary += CMString::Formatted(text(id).c_str(), unsigned{counters.rejected}, failed);
    }
    if (counters.alreadyPresent > 0) {
        summary += L"\n\n";
        summary += CMString::Formatted(text(IDS_IMPORT_DUPLICATES).c_str(), unsigned{counters.alreadyPresent}, failed);
    }
    if (counters.full == 1) {
        summary += L"\n\n";
        summary += CMString::Formatted(text(IDS_BOOK_FULL).c_str(), capacity);
    } else if (counters.full > 1) {
        summary += L"\n\n";
        summary += CMString::Formatted(text(IDS_IMPORT_FULL).c_str(), unsigned{counters.full}, capacity);
    }
    return summary;
}

}  // namespace delimited
