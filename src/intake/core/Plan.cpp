#include "intake/core/Plan.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "numbers/core/FaxNumber.h"

namespace intake {

namespace {

using delimited::Column;
using delimited::EntryFields;
using Key = std::u32string;

// What a fax number is compared under: its normal form, or its stored text when it has
// none. Equal texts have one normal form or both none, so they stay equal; the marks
// keep a normal form from meeting a text.
Key LineKey(const CMString& fax, const faxnum::Country* home) {
    const std::wstring form = faxnum::NormalForm(fax.view(), home);
    Key key(1, form.empty() ? U't' : U'n');
    for (wchar_t c : form.empty() ? fax.view() : std::wstring_view(form)) key.push_back(static_cast<char32_t>(c));
    return key;
}

// A name key and a fax number's line key: "already present". (The engine itself only
// refuses the same name with the same text.)
Key EntryKey(const Key& name, const Key& line) {
    Key key = name;
    key.push_back(U'\0');
    key += line;
    return key;
}

constexpr Column kFields[] = {Column::Name, Column::Fax, Column::Organization, Column::Phone, Column::Email, Column::Mailbox};

uint8_t Differences(const EntryFields& a, const EntryFields& b) {
    uint8_t changed = 0;
    for (Column c : kFields) {
        const CMString& x = FieldOf(a, c);
        const CMString& y = FieldOf(b, c);
        if (c == Column::Mailbox ? !SameMailbox(x, y) : x != y) changed |= Bit(c);
    }
    return changed;
}

uint64_t PairKey(const Ref& group, const Ref& entry) {
    return (uint64_t{group.planned} << 63) | (uint64_t{group.value} << 32) | (uint64_t{entry.planned} << 31) | entry.value;
}

// The book's groups and those the plan makes, by name key; memberships once each.
class GroupBook {
public:
    GroupBook(const Snapshot& book, Plan& plan, size_t& room) : m_book(book), m_plan(plan), m_room(room) {
        for (size_t i = 0; i < book.groups.size(); ++i) {
            const SnapshotGroup& g = book.groups[i];
            const Ref ref{false, g.id};
            m_byKey.emplace(NameKey(Stored(g.name.view(), Field::GroupName, book.form).view()), ref);
            for (uint16_t member : g.members) m_joined.insert(PairKey(ref, Ref{false, member}));
        }
    }

    // The group of this name, made in the plan when the book lacks it and has room.
    bool Find(const CMString& name, Ref& out, bool make) {
        const CMString stored = Stored(name.view(), Field::GroupName, m_book.form);
        if (stored.IsBlank()) return false;
        const Key key = NameKey(stored.view());
        if (auto it = m_byKey.find(key); it != m_byKey.end()) {
            out = it->second;
            return true;
        }
        if (!make) return false;
        if (m_room == 0) {
            ++m_plan.groupsWithoutRoom;
            return false;
        }
        --m_room;
        out = Ref{true, static_cast<uint32_t>(m_plan.newGroups.size())};
        m_plan.newGroups.push_back(stored);
        m_byKey.emplace(key, out);
        return true;
    }

    void Join(const CMString& name, const Ref& entry) {
        Ref group;
        if (Find(name, group, true) && m_joined.insert(PairKey(group, entry)).second)
            m_plan.memberships.push_back({group, entry});
    }

    bool IsMember(const Ref& group, uint16_t id) const { return m_joined.count(PairKey(group, Ref{false, id})) > 0; }

private:
    const Snapshot& m_book;
    Plan& m_plan;
    size_t& m_room;
    std::unordered_map<Key, Ref> m_byKey;
    std::unordered_set<uint64_t> m_joined;
};

void Reject(Plan& plan, Rejection why) {
    ++plan.counts.rejected;
    ++plan.rejectedFor[static_cast<int>(why)];
}

void JoinAll(GroupBook& groups, const Record& record, const Options& options, const Ref& entry) {
    for (const CMString& group : record.groups) groups.Join(group, entry);
    if (!options.managedGroup.IsEmpty()) groups.Join(options.managedGroup, entry);
}

// An import that adds: every acceptable record is added, in the order read, while the
// book has room; one whose name and fax number (as a line) an entry or an earlier record
// has is already present, and joins its groups all the same.
void PlanAdds(const Snapshot& book, const SourceRead& read, const Options& options, Plan& plan) {
    if (book.listFull) return;
    const size_t live = book.entries.size() + book.groups.size();
    size_t room = book.capacity > live ? book.capacity - live : 0;
    GroupBook groups(book, plan, room);
    std::unordered_map<Key, Ref> present;
    present.reserve(book.entries.size() + read.records.size());
    for (const SnapshotEntry& e : book.entries)
        present.emplace(EntryKey(NameKey(e.fields.name.view()), LineKey(e.fields.fax, options.home)), Ref{false, e.id});
    for (uint32_t i = 0; i < read.records.size(); ++i) {
        const Record& record = read.records[i];
        ++plan.counts.read;
        if (record.rejection == Rejection::NoName) {
            ++plan.counts.other;
            continue;
        }
        if (record.rejection != Rejection::None) {
            Reject(plan, record.rejection);
            continue;
        }
        EntryFields fields = StoredFields(record.fields, book.form);
        if (fields.name.IsBlank()) {
            ++plan.counts.other;
            continue;
        }
        auto [at, fresh] =
            present.try_emplace(EntryKey(NameKey(fields.name.view()), LineKey(fields.fax, options.home)), Ref{});
        if (!fresh) {
            ++plan.counts.alreadyPresent;
            JoinAll(groups, record, options, at->second);
            continue;
        }
        if (room == 0) {
            present.erase(at);
            ++plan.counts.full;
            continue;
        }
        --room;
        at->second = Ref{true, static_cast<uint32_t>(plan.adds.size())};
        plan.adds.push_back({i, std::move(fields)});
        ++plan.counts.imported;
        JoinAll(groups, record, options, at->second);
    }
}

// An import that updates, and a sync. Each entry is matched by at most one record: first
// every record with an entry of its name and its fax number's text, then one of its name
// and the same line written another way, then a record whose name one entry alone has,
// while no record took it. The others are added. The text goes first so that of twins in
// the book the one written as the record is kept, and an update never gives an entry the
// text another entry of its name has.
void PlanUpdates(const Snapshot& book, const SourceRead& read, const Options& options, Plan& plan) {
    const size_t count = read.records.size();
    // The stored form of every record's fields is made only for those that change the
    // book (no more than it holds): a large input keeps just its keys.
    auto storedOf = [&](const Record& record) {
        EntryFields fields = record.fields;
        // No name: the organization stands for it, as a card without one does.
        if (fields.name.IsBlank()) fields.name = fields.organization;
        return StoredFields(fields, book.form);
    };
    std::vector<Key> keys(count);
    std::vector<CMString> faxes(count);
    std::vector<Key> lines(count);
    std::vector<bool> accepted(count, false), nameless(count, false);
    std::unordered_set<Key> seen;
    seen.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const Record& record = read.records[i];
        if (record.rejection != Rejection::None && record.rejection != Rejection::NoName) continue;
        const CMString& name = record.fields.name.IsBlank() ? record.fields.organization : record.fields.name;
        const CMString storedName = Stored(name.view(), Field::Name, book.form);
        nameless[i] = storedName.IsBlank();
        if (nameless[i]) continue;
        keys[i] = NameKey(storedName.view());
        faxes[i] = Stored(record.fields.fax.view(), Field::Fax, book.form);
        lines[i] = LineKey(faxes[i], options.home);
        // The same person twice in one input is one entry.
        accepted[i] = seen.insert(EntryKey(keys[i], lines[i])).second;
    }

    std::unordered_map<Key, std::vector<size_t>> byName;
    byName.reserve(book.entries.size());
    for (size_t e = 0; e < book.entries.size(); ++e) byName[NameKey(book.entries[e].fields.name.view())].push_back(e);
    constexpr size_t kNone = static_cast<size_t>(-1);
    std::vector<size_t> matchOf(count, kNone);
    std::vector<bool> taken(book.entries.size(), false);
    // Only entries whose name some record has are compared by line.
    std::vector<Key> entryLines(book.entries.size());
    auto lineOf = [&](size_t e) -> const Key& {
        if (entryLines[e].empty()) entryLines[e] = LineKey(book.entries[e].fields.fax, options.home);
        return entryLines[e];
    };
    for (bool byText : {true, false}) {
        for (size_t i = 0; i < count; ++i) {
            if (!accepted[i] || matchOf[i] != kNone) continue;
            auto it = byName.find(keys[i]);
            if (it == byName.end()) continue;
            for (size_t e : it->second)
                if (!taken[e] && (byText ? book.entries[e].fields.fax == faxes[i] : lineOf(e) == lines[i])) {
                    matchOf[i] = e;
                    taken[e] = true;
                    break;
                }
        }
    }
    for (size_t i = 0; i < count; ++i) {
        if (!accepted[i] || matchOf[i] != kNone) continue;
        auto it = byName.find(keys[i]);
        if (it == byName.end()) continue;
        // Of several people of this name, none is this record's without its fax number.
        const size_t only = it->second.front();
        if (it->second.size() != 1 || taken[only]) continue;
        matchOf[i] = only;
        taken[only] = true;
    }

    // Removals come first when the plan is carried out: their room is the adds'.
    size_t room = book.capacity > book.entries.size() + book.groups.size()
                      ? book.capacity - book.entries.size() - book.groups.size()
                      : 0;
    GroupBook groups(book, plan, room);
    if (options.mode == Mode::Sync) {
        Ref managed;
        const bool scoped = !options.managedGroup.IsEmpty();
        const bool haveGroup = scoped && groups.Find(options.managedGroup, managed, false) && !managed.planned;
        for (size_t e = 0; e < book.entries.size(); ++e) {
            const SnapshotEntry& entry = book.entries[e];
            if (scoped && !(haveGroup && groups.IsMember(managed, entry.id))) continue;
            ++plan.scope;
            if (taken[e]) continue;
            plan.removals.push_back({entry.id, entry.fields.name, entry.fields.fax});
        }
        room += plan.removals.size();
        plan.counts.removed = static_cast<uint32_t>(plan.removals.size());
    }

    for (uint32_t i = 0; i < count; ++i) {
        const Record& record = read.records[i];
        ++plan.counts.read;
        if (!accepted[i]) {
            Rejection why = record.rejection;
            if (why == Rejection::None || why == Rejection::NoName)
                why = nameless[i] ? Rejection::NoName : Rejection::Duplicate;
            Reject(plan, why);
            continue;
        }
        if (matchOf[i] != kNone) {
            const SnapshotEntry& entry = book.entries[matchOf[i]];
            EntryFields after = entry.fields;
            EntryFields given = storedOf(record);
            for (Column c : kFields)
                if (record.present & Bit(c)) FieldOf(after, c) = std::move(FieldOf(given, c));
            const uint8_t changed = Differences(entry.fields, after);
            if (changed) {
                plan.updates.push_back({i, entry.id, entry.fields, std::move(after), changed});
                ++plan.counts.updated;
            } else {
                plan.unchanged.push_back(entry.id);
                ++plan.counts.unchanged;
            }
            JoinAll(groups, record, options, Ref{false, entry.id});
            continue;
        }
        if (room == 0) {
            ++plan.counts.full;
            continue;
        }
        --room;
        const Ref ref{true, static_cast<uint32_t>(plan.adds.size())};
        plan.adds.push_back({i, storedOf(record)});
        ++plan.counts.imported;
        JoinAll(groups, record, options, ref);
    }
}

}  // namespace

CMString& FieldOf(EntryFields& f, Column column) {
    switch (column) {
        case Column::Fax: return f.fax;
        case Column::Organization: return f.organization;
        case Column::Phone: return f.phone;
        case Column::Email: return f.email;
        case Column::Mailbox: return f.mailbox;
        default: return f.name;
    }
}

Plan MakePlan(const Snapshot& book, const SourceRead& read, const Options& options) {
    Plan plan;
    plan.mode = options.mode;
    plan.counts.readFailed = !read.complete;
    if (options.mode == Mode::Add) PlanAdds(book, read, options, plan);
    else PlanUpdates(book, read, options, plan);
    if (options.mode != Mode::Sync) return plan;
    // A sync that cannot be trusted changes nothing at all.
    if (!read.complete) plan.refusal = Refusal::ReadFailed;
    else if (plan.counts.Accepted() == 0) plan.refusal = Refusal::NothingAccepted;
    else if (!options.allowShrink && plan.removals.size() * 2 > plan.scope) plan.refusal = Refusal::TooManyRemoved;
    else if (plan.counts.full > 0 || plan.groupsWithoutRoom > 0) plan.refusal = Refusal::NoRoom;
    return plan;
}

}  // namespace intake
