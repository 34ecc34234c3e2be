#include "undo/core/Recorder.h"

#include <algorithm>

namespace undo {

void Recorder::Begin() {
    m_change = Change();
    m_active = true;
    m_groupsLoaded = false;
    m_groups.clear();
    m_book.clear();
    m_haveBefore = false;
}

Change Recorder::Take() {
    m_active = false;
    m_groups.clear();
    m_book.clear();
    m_groupsLoaded = false;
    return std::move(m_change);
}

void Recorder::Discard() { Take(); }

bool Recorder::LoadGroups() {
    if (m_groupsLoaded) return true;
    std::vector<Item> all;
    if (!m_reader.All(all)) return false;
    for (Item& item : all) {
        if (item.kind == kGroup) m_groups[item.id] = std::set<uint16_t>(item.members.begin(), item.members.end());
        const uint16_t id = item.id;
        m_book[id] = std::move(item);
    }
    m_groupsLoaded = true;
    return true;
}

bool Recorder::Find(uint16_t id, Item& out) {
    if (!LoadGroups()) return m_reader.Read(id, out);
    auto it = m_book.find(id);
    if (it == m_book.end()) return false;
    out = it->second;
    if (out.kind == kGroup) {
        const auto& members = m_groups[id];
        out.members.assign(members.begin(), members.end());
    }
    return true;
}

void Recorder::UnwindMemberships(uint16_t id, bool isGroup, std::set<uint16_t>& before) {
    auto& list = m_change.memberships;
    // Oldest first: the first write to a pair tells the state before the change.
    std::set<uint16_t> seen;
    for (const Membership& m : list) {
        if ((isGroup ? m.group : m.entry) != id) continue;
        const uint16_t other = isGroup ? m.entry : m.group;
        if (!seen.insert(other).second) continue;
        if (m.joined) before.erase(other);
        else before.insert(other);
    }
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const Membership& m) { return (isGroup ? m.group : m.entry) == id; }),
               list.end());
}

void Recorder::BeforeRemove(uint16_t id) { m_haveBefore = m_active && Find(id, m_before); }

void Recorder::AfterRemove(uint16_t id, bool ok) {
    if (!m_haveBefore || !ok) return;
    m_haveBefore = false;
    m_book.erase(id);
    Change& c = m_change;
    if (m_before.kind == kGroup) {
        std::set<uint16_t> members(m_before.members.begin(), m_before.members.end());
        UnwindMemberships(id, true, members);
        m_groups.erase(id);
        auto made = std::find_if(c.groupsMade.begin(), c.groupsMade.end(), [&](const MadeGroup& g) { return g.id == id; });
        if (made != c.groupsMade.end()) {
            c.groupsMade.erase(made);
            return;
        }
        RemovedGroup removed{id, m_before.fields[kName], std::vector<uint16_t>(members.begin(), members.end())};
        auto renamed = std::find_if(c.updated.begin(), c.updated.end(), [&](const UpdatedRecord& u) { return u.id == id; });
        if (renamed != c.updated.end()) {
            removed.name = renamed->before[kName];
            c.updated.erase(renamed);
        }
        c.groupsRemoved.push_back(std::move(removed));
        return;
    }
    std::set<uint16_t> groups;
    for (const auto& [group, members] : m_groups)
        if (members.count(id)) groups.insert(group);
    UnwindMemberships(id, false, groups);
    for (auto& [group, members] : m_groups) members.erase(id);
    auto added = std::find_if(c.added.begin(), c.added.end(), [&](const AddedEntry& a) { return a.id == id; });
    if (added != c.added.end()) {
        c.added.erase(added);
        return;
    }
    RemovedEntry removed{id, m_before.fields, std::vector<uint16_t>(groups.begin(), groups.end())};
    auto updated = std::find_if(c.updated.begin(), c.updated.end(), [&](const UpdatedRecord& u) { return u.id == id; });
    if (updated != c.updated.end()) {
        removed.fields = updated->before;
        c.updated.erase(updated);
    }
    c.removed.push_back(std::move(removed));
}

void Recorder::BeforeModify(uint16_t id) { m_haveBefore = m_active && Find(id, m_before); }

void Recorder::AfterModify(uint16_t id, bool ok, const Item* written) {
    if (!m_haveBefore || !ok) return;
    m_haveBefore = false;
    Item after;
    if (written) after = *written;
    else if (!m_reader.Read(id, after)) return;
    if (m_groupsLoaded) m_book[id].fields = after.fields;
    const uint64_t hash = HashOf(after.fields);
    Change& c = m_change;
    if (after.kind == kGroup) {
        auto made = std::find_if(c.groupsMade.begin(), c.groupsMade.end(), [&](const MadeGroup& g) { return g.id == id; });
        if (made != c.groupsMade.end()) {
            made->name = after.fields[kName];
            return;
        }
    } else {
        auto added = std::find_if(c.added.begin(), c.added.end(), [&](const AddedEntry& a) { return a.id == id; });
        if (added != c.added.end()) {
            added->after = hash;
            return;
        }
    }
    auto updated = std::find_if(c.updated.begin(), c.updated.end(), [&](const UpdatedRecord& u) { return u.id == id; });
    if (updated != c.updated.end()) {
        updated->after = hash;
        return;
    }
    if (HashOf(m_before.fields) == hash) return;
    c.updated.push_back({id, m_before.kind, m_before.fields, hash});
}

void Recorder::AfterAdd(uint16_t id, const Item* written) {
    if (!m_active) return;
    Item added;
    if (written) added = *written;
    else if (!m_reader.Read(id, added)) return;
    if (m_groupsLoaded) {
        added.id = id;
        m_book[id] = added;
    }
    if (added.kind == kGroup) {
        m_change.groupsMade.push_back({id, added.fields[kName]});
        if (m_groupsLoaded) m_groups[id];
    } else {
        m_change.added.push_back({id, HashOf(added.fields)});
    }
}

void Recorder::BeforeMembership(uint16_t group, uint16_t entry, bool join) {
    m_membershipChanges = false;
    if (!m_active || !LoadGroups()) return;
    auto g = m_groups.find(group);
    if (g == m_groups.end()) return;
    // Joining a member (or letting go of one that is not) changes nothing.
    m_membershipChanges = (g->second.count(entry) != 0) != join;
    m_membership = {group, entry, join};
}

void Recorder::AfterMembership(bool ok) {
    if (!m_membershipChanges || !ok) return;
    m_membershipChanges = false;
    const Membership m = m_membership;
    if (m.joined) m_groups[m.group].insert(m.entry);
    else m_groups[m.group].erase(m.entry);
    auto& list = m_change.memberships;
    // A join that undoes this change's leave (or the reverse) leaves nothing to keep.
    auto opposite = std::find_if(list.begin(), list.end(), [&](const Membership& o) {
        return o.group == m.group && o.entry == m.entry && o.joined != m.joined;
    });
    if (opposite != list.end()) {
        list.erase(opposite);
        return;
    }
    // A member joined by an entry this change added goes with it when the add is undone,
    // but is kept so the undo's plan sees the whole change.
    list.push_back(m);
}

}  // namespace undo
