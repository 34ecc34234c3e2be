#include "importexport/core/BookUpdate.h"

#include <algorithm>

namespace delimited {

namespace {

CMString* FieldOf(EntryFields& f, Column column) {
    switch (column) {
        case Column::Name:
        case Column::FirstNamePart:
        case Column::SecondNamePart: return &f.name;
        case Column::Fax: return &f.fax;
        case Column::Organization: return &f.organization;
        case Column::Phone: return &f.phone;
        case Column::Email: return &f.email;
        case Column::Mailbox: return &f.mailbox;
    }
    return nullptr;
}

// What an entry keeps of a text: the record's widths, less the terminator, never half
// a surrogate pair. A longer value compared in full would update the entry every time.
void Cut(CMString& text, int units) {
    if (text.GetLength() <= units) return;
    int keep = units;
    const wchar_t last = text.GetAt(keep - 1);
    if (sizeof(wchar_t) == 2 && last >= 0xD800 && last < 0xDC00) --keep;
    text = text.Left(keep);
}

void CutToStoredWidths(EntryFields& f) {
    Cut(f.name, 31);
    Cut(f.fax, 46);
    Cut(f.organization, 59);
    Cut(f.phone, 46);
    Cut(f.email, 59);
}

bool Same(const EntryFields& a, const EntryFields& b) {
    return a.name == b.name && a.fax == b.fax && a.organization == b.organization && a.phone == b.phone &&
           a.email == b.email && SameMailbox(a.mailbox, b.mailbox);
}

}  // namespace

bool SameMailbox(const CMString& a, const CMString& b) {
    auto digits = [](const CMString& text) {
        std::wstring_view v = text.view();
        while (!v.empty() && v.front() == L'0') v.remove_prefix(1);
        return v;
    };
    return digits(a) == digits(b);
}

BookUpdate::BookUpdate(std::vector<StoredEntry> entries) : m_entries(std::move(entries)) {
    m_byName.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        m_byName.emplace(Key(m_entries[i].fields.name), i);
        m_byId.emplace(m_entries[i].id, i);
    }
}

std::wstring BookUpdate::Key(const CMString& name) {
    CMString key = name;
    key.MakeLower();
    return std::wstring(key.view());
}

UpdateAction BookUpdate::Decide(const EntryFields& record, const std::vector<Column>& present, uint16_t* id,
                                EntryFields* merged) const {
    auto [from, to] = m_byName.equal_range(Key(record.name));
    const StoredEntry* target = nullptr;
    if (from != to && std::next(from) == to) {
        target = &m_entries[from->second];
    } else {
        // Several share the name: the one this record's fax number is that of, else none
        // (the lowest position, so the choice does not depend on the hash order).
        size_t best = m_entries.size();
        for (auto it = from; it != to; ++it)
            if (m_entries[it->second].fields.fax == record.fax) best = std::min(best, it->second);
        if (best < m_entries.size()) target = &m_entries[best];
    }
    if (!target) return UpdateAction::Add;
    EntryFields result = target->fields;
    EntryFields given = record;
    for (Column column : present) *FieldOf(result, column) = *FieldOf(given, column);
    CutToStoredWidths(result);
    if (Same(result, target->fields)) return UpdateAction::Unchanged;
    *id = target->id;
    *merged = result;
    return UpdateAction::Update;
}

void BookUpdate::Updated(uint16_t id, const EntryFields& fields) {
    const auto found = m_byId.find(id);
    if (found == m_byId.end()) return;
    const size_t i = found->second;
    const std::wstring before = Key(m_entries[i].fields.name), after = Key(fields.name);
    m_entries[i].fields = fields;
    if (before == after) return;
    auto [from, to] = m_byName.equal_range(before);
    for (auto it = from; it != to; ++it)
        if (it->second == i) {
            m_byName.erase(it);
            break;
        }
    m_byName.emplace(after, i);
}

void BookUpdate::Named(const CMString& name) { m_named[Key(name)] = true; }

std::vector<uint16_t> BookUpdate::Unnamed() const {
    std::vector<uint16_t> out;
    for (const StoredEntry& e : m_entries)
        if (!m_named.count(Key(e.fields.name))) out.push_back(e.id);
    return out;
}

SyncRefusal CheckSync(bool readToEnd, uint32_t accepted, size_t removing, size_t entries, bool allowShrink) {
    if (!readToEnd) return SyncRefusal::ReadFailed;
    if (accepted == 0) return SyncRefusal::NothingAccepted;
    if (!allowShrink && removing * 2 > entries) return SyncRefusal::TooManyRemoved;
    return SyncRefusal::None;
}

}  // namespace delimited
