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
            if (m_noRoom.insert(key).second) m_plan.groupsWithoutRoom.push_back(stored);
            return false;
        }
        --m_room;
        out = Ref{true, static_cast<uint32_t>(m_plan.newGroups.size())};
        m_plan.newGroups.push_back(stored);
        m_byKey.emplace(key, out);
        return true;
    }

    // The entry joins the group of this name; false when there is no such group.
    bool Join(const CMString& name, const Ref& entry, Ref* group = nullptr) {
        Ref found;
        if (!Find(name, found, true)) return false;
        if (m_joined.insert(PairKey(found, entry)).second) m_plan.memberships.push_back({found, entry});
        if (group) *group = found;
        return true;
    }

    bool IsMember(const Ref& group, uint16_t id) const { return m_joined.count(PairKey(group, Ref{false, id})) > 0; }

private:
    const Snapshot& m_book;
    Plan& m_plan;
    size_t& m_room;
    std::unordered_map<Key, Ref> m_byKey;
    std::unordered_set<uint64_t> m_joined;
    std::unordered_set<Key> m_noRoom;
};

// The book's group of this name, or nullptr.
const SnapshotGroup* BookGroup(const Snapshot& book, const CMString& name) {
    const CMString stored = Stored(name.view(), Field::GroupName, book.form);
    if (stored.IsBlank()) return nullptr;
    const Key key = NameKey(stored.view());
    for (const SnapshotGroup& g : book.groups)
        if (NameKey(Stored(g.name.view(), Field::GroupName, book.form).view()) == key) return &g;
    return nullptr;
}

// The entries a job with a managed group may touch: the group's members. Without one,
// every entry.
class Scope {
public:
    Scope(const Snapshot& book, const Options& options) : m_all(options.managedGroup.IsEmpty()) {
        if (m_all) return;
        if (const SnapshotGroup* g = BookGroup(book, options.managedGroup))
            m_members.insert(g->members.begin(), g->members.end());
    }
    bool All() const { return m_all; }
    bool Has(uint16_t id) const { return m_all || m_members.count(id) > 0; }

private:
    bool m_all;
    std::unordered_set<uint16_t> m_members;
};

void Reject(Plan& plan, Rejection why) {
    ++plan.counts.rejected;
    ++plan.rejectedFor[static_cast<int>(why)];
}

// The record's groups (the refs of those the entry is in afterwards, when wanted), and
// the managed group unless the entry stays outside it.
void JoinAll(GroupBook& groups, const Record& record, const Options& options, const Ref& entry,
             bool managed = true, std::vector<Ref>* joined = nullptr) {
    Ref group;
    for (const CMString& name : record.groups)
        if (groups.Join(name, entry, &group) && joined) joined->push_back(group);
    if (managed && !options.managedGroup.IsEmpty()) groups.Join(options.managedGroup, entry);
}

// An import that adds: every acceptable record is added, in the order read, while the
// book has room; one whose name and fax number (as a line) an entry or an earlier record
// has is already present, and joins its groups all the same.
void PlanAdds(const Snapshot& book, const SourceRead& read, const Options& options, Plan& plan) {
    if (book.listFull) {
        plan.listFull = true;
        return;
    }
    const Scope scope(book, options);
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
            // An entry made by hand is not taken into the managed group.
            const Ref& entry = at->second;
            JoinAll(groups, record, options, entry, entry.planned || options.adopt || scope.Has(static_cast<uint16_t>(entry.value)));
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
// text another entry of its name has. With a managed group, its members are tried first
// and alone count for "one entry alone"; a record that still finds an entry outside the
// group leaves it alone (or adopts it, when allowed) rather than adding its twin.
void PlanUpdates(const Snapshot& book, const SourceRead& read, const Options& options, Plan& plan) {
    const size_t count = read.records.size();
    const Scope scope(book, options);
    const bool sync = options.mode == Mode::Sync;
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
    // A sync: the names of rejected records, whose entries stay.
    std::unordered_map<Key, uint32_t> rejectedNames;
    for (size_t i = 0; i < count; ++i) {
        const Record& record = read.records[i];
        const bool rejected = record.rejection != Rejection::None && record.rejection != Rejection::NoName;
        if (rejected && !sync) continue;
        const CMString& name = record.fields.name.IsBlank() ? record.fields.organization : record.fields.name;
        const CMString storedName = Stored(name.view(), Field::Name, book.form);
        nameless[i] = storedName.IsBlank();
        if (nameless[i]) continue;
        if (rejected) {
            rejectedNames.emplace(NameKey(storedName.view()), static_cast<uint32_t>(i));
            continue;
        }
        keys[i] = NameKey(storedName.view());
        faxes[i] = Stored(record.fields.fax.view(), Field::Fax, book.form);
        lines[i] = LineKey(faxes[i], options.home);
        // The same person twice in one input is one entry.
        accepted[i] = seen.insert(EntryKey(keys[i], lines[i])).second;
    }

    // The entries of each name, those in scope first; and how many are in scope.
    struct Named {
        std::vector<size_t> entries;
        size_t inScope = 0;
    };
    std::unordered_map<Key, Named> byName;
    byName.reserve(book.entries.size());
    for (bool inScope : {true, false})
        for (size_t e = 0; e < book.entries.size(); ++e) {
            if (scope.Has(book.entries[e].id) != inScope) continue;
            Named& named = byName[NameKey(book.entries[e].fields.name.view())];
            named.entries.push_back(e);
            named.inScope += inScope;
        }
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
            for (size_t e : it->second.entries)
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
        const Named& named = it->second;
        const size_t alone = named.inScope > 0 ? named.inScope : named.entries.size();
        const size_t only = named.entries.front();
        if (alone != 1 || taken[only]) continue;
        matchOf[i] = only;
        taken[only] = true;
    }

    // Removals come first when the plan is carried out: their room is the adds'.
    size_t room = book.capacity > book.entries.size() + book.groups.size()
                      ? book.capacity - book.entries.size() - book.groups.size()
                      : 0;
    GroupBook groups(book, plan, room);
    if (sync) {
        for (size_t e = 0; e < book.entries.size(); ++e) {
            const SnapshotEntry& entry = book.entries[e];
            if (!scope.Has(entry.id)) continue;
            ++plan.scope;
            if (taken[e]) continue;
            // A rejected record still names its entry: it stays, with its groups.
            if (!rejectedNames.empty()) {
                if (auto it = rejectedNames.find(NameKey(entry.fields.name.view())); it != rejectedNames.end()) {
                    plan.kept.push_back({it->second, entry.id, entry.fields.name});
                    continue;
                }
            }
            plan.removals.push_back({entry.id, entry.fields.name, entry.fields.fax});
        }
        room += plan.removals.size();
        plan.counts.removed = static_cast<uint32_t>(plan.removals.size());
    }

    // A sync: the groups each entry it keeps is in afterwards, of those its record names.
    std::unordered_map<uint16_t, std::vector<Ref>> wanted;
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
            if (!options.adopt && !scope.Has(entry.id)) {
                plan.leftAlone.push_back({i, entry.id, entry.fields.name});
                continue;
            }
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
            JoinAll(groups, record, options, Ref{false, entry.id}, true, sync ? &wanted[entry.id] : nullptr);
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
    if (!sync) return;

    // Memberships follow the source for the groups it names: an entry the sync keeps
    // leaves those of them its record does not name. Hand-made groups, and the managed
    // one, are left alone.
    const SnapshotGroup* managed = scope.All() ? nullptr : BookGroup(book, options.managedGroup);
    std::unordered_set<uint16_t> named;
    for (const Record& record : read.records) {
        if (record.rejection != Rejection::None && record.rejection != Rejection::NoName) continue;
        for (const CMString& name : record.groups) {
            Ref group;
            if (groups.Find(name, group, false) && !group.planned) named.insert(static_cast<uint16_t>(group.value));
        }
    }
    if (named.empty() || wanted.empty()) return;
    for (const SnapshotGroup& g : book.groups) {
        if (!named.count(g.id) || (managed && managed->id == g.id)) continue;
        const Ref group{false, g.id};
        for (uint16_t member : g.members) {
            auto it = wanted.find(member);
            if (it == wanted.end() || std::find(it->second.begin(), it->second.end(), group) != it->second.end()) continue;
            plan.leaves.push_back({group, Ref{false, member}});
        }
    }
}

// The names the plan's joins, leaves and untouched entries give by id.
void NameBookRecords(const Snapshot& book, Plan& plan) {
    std::unordered_set<uint16_t> wanted;
    for (const auto* list : {&plan.memberships, &plan.leaves})
        for (const Membership& m : *list) {
            if (!m.group.planned) wanted.insert(static_cast<uint16_t>(m.group.value));
            if (!m.entry.planned) wanted.insert(static_cast<uint16_t>(m.entry.value));
        }
    if (wanted.empty()) return;
    for (const SnapshotEntry& e : book.entries)
        if (wanted.count(e.id)) plan.bookNames.emplace(e.id, e.fields.name);
    for (const SnapshotGroup& g : book.groups)
        if (wanted.count(g.id)) plan.bookNames.emplace(g.id, g.name);
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
    plan.managedGroup = options.managedGroup;
    plan.counts.readFailed = !read.complete;
    if (options.mode == Mode::Add) PlanAdds(book, read, options, plan);
    else PlanUpdates(book, read, options, plan);
    NameBookRecords(book, plan);
    if (options.mode != Mode::Sync) return plan;
    // A sync that cannot be trusted changes nothing at all.
    if (!read.complete) plan.refusal = Refusal::ReadFailed;
    else if (plan.counts.Accepted() == 0) plan.refusal = Refusal::NothingAccepted;
    else if (!options.allowShrink && plan.removals.size() * 2 > plan.scope) plan.refusal = Refusal::TooManyRemoved;
    else if (plan.counts.full > 0 || !plan.groupsWithoutRoom.empty()) plan.refusal = Refusal::NoRoom;
    return plan;
}

const CMString& GroupName(const Plan& plan, const Ref& group) {
    static const CMString none;
    if (group.planned) return group.value < plan.newGroups.size() ? plan.newGroups[group.value] : none;
    auto it = plan.bookNames.find(static_cast<uint16_t>(group.value));
    return it == plan.bookNames.end() ? none : it->second;
}

const CMString& EntryName(const Plan& plan, const Ref& entry) {
    static const CMString none;
    if (entry.planned) return entry.value < plan.adds.size() ? plan.adds[entry.value].fields.name : none;
    auto it = plan.bookNames.find(static_cast<uint16_t>(entry.value));
    return it == plan.bookNames.end() ? none : it->second;
}

}  // namespace intake
