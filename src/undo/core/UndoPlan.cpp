#include "undo/core/UndoPlan.h"

#include <algorithm>
#include <cwctype>
#include <set>
#include <unordered_set>

namespace undo {

namespace {

struct BookIndex {
    std::map<uint16_t, const Item*> byId;
    explicit BookIndex(const std::vector<Item>& book) {
        for (const Item& item : book) byId[item.id] = &item;
    }
    const Item* Find(uint16_t id, uint8_t kind) const {
        auto it = byId.find(id);
        return it != byId.end() && it->second->kind == kind ? it->second : nullptr;
    }
    bool IsMember(uint16_t group, uint16_t entry) const {
        const Item* g = Find(group, kGroup);
        return g && std::find(g->members.begin(), g->members.end(), entry) != g->members.end();
    }
};

// An entry's name and fax number as the book tells them apart: without case.
std::wstring NameKey(const Fields& f) {
    std::wstring key;
    key.reserve(static_cast<size_t>(f[kName].GetLength() + f[kFax].GetLength() + 1));
    for (wchar_t c : f[kName].view()) key.push_back(static_cast<wchar_t>(std::towlower(c)));
    key.push_back(L'\x1f');
    for (wchar_t c : f[kFax].view()) key.push_back(static_cast<wchar_t>(std::towlower(c)));
    return key;
}

}  // namespace

UndoPlan PlanUndo(const Change& change, const std::vector<Item>& book) {
    UndoPlan plan;
    const BookIndex now(book);
    std::set<uint16_t> leaving;  // entries and groups this undo removes
    // Made by the change and changed since, so kept: their members stay too.
    std::set<uint16_t> kept;

    for (const AddedEntry& a : change.added) {
        const Item* e = now.Find(a.id, kEntry);
        if (!e) continue;  // gone already
        if (HashOf(e->fields) != a.after) {
            plan.conflicts.push_back({ConflictKind::ChangedSince, kEntry, e->fields[kName]});
            kept.insert(a.id);
            continue;
        }
        plan.removeEntries.push_back(a.id);
        leaving.insert(a.id);
    }
    for (const MadeGroup& g : change.groupsMade) {
        const Item* now_g = now.Find(g.id, kGroup);
        if (!now_g) continue;
        if (now_g->fields[kName] != g.name) {
            plan.conflicts.push_back({ConflictKind::ChangedSince, kGroup, now_g->fields[kName]});
            kept.insert(g.id);
            continue;
        }
        plan.removeGroups.push_back(g.id);
        leaving.insert(g.id);
    }
    for (const UpdatedRecord& u : change.updated) {
        const Item* r = now.Find(u.id, u.kind);
        if (!r) {
            plan.conflicts.push_back({ConflictKind::GoneSince, u.kind, u.before[kName]});
            continue;
        }
        if (HashOf(r->fields) != u.after) {
            plan.conflicts.push_back({ConflictKind::ChangedSince, u.kind, r->fields[kName]});
            continue;
        }
        plan.revert.push_back(u);
    }
    // Groups that come back: made again, or one of the same name takes their members.
    std::set<uint16_t> returning;
    for (const RemovedGroup& g : change.groupsRemoved) {
        const Item* same = nullptr;
        for (const Item& item : book)
            if (item.kind == kGroup && !leaving.count(item.id) && item.fields[kName].EqualsNoCase(g.name.c_str())) same = &item;
        if (same) plan.reuseGroups[g.id] = same->id;
        else plan.makeGroups.push_back(g);
        returning.insert(g.id);
    }
    // Entries whose name and fax number the undo frees before it makes the removed
    // ones again: adds taken back, and edits reverted to other texts.
    std::set<uint16_t> freed(leaving);
    for (const UpdatedRecord& u : plan.revert) {
        const Item* r = now.Find(u.id, u.kind);
        if (!r->fields[kName].EqualsNoCase(u.before[kName].c_str()) || !r->fields[kFax].EqualsNoCase(u.before[kFax].c_str()))
            freed.insert(u.id);
    }
    std::set<uint16_t> comingBack;
    std::unordered_set<std::wstring> taken;
    if (!change.removed.empty())
        for (const Item& item : book)
            if (item.kind == kEntry && !freed.count(item.id)) taken.insert(NameKey(item.fields));
    for (const RemovedEntry& r : change.removed) {
        if (taken.count(NameKey(r.fields))) {
            plan.conflicts.push_back({ConflictKind::NameTaken, kEntry, r.fields[kName]});
            continue;
        }
        plan.addEntries.push_back(r);
        comingBack.insert(r.id);
    }

    // Memberships: the ids are the change's; an entry or group that comes back is
    // known by its old id until the apply makes it.
    std::set<std::pair<uint16_t, uint16_t>> planned;
    auto groupThere = [&](uint16_t g) { return returning.count(g) || (now.Find(g, kGroup) && !leaving.count(g)); };
    auto entryThere = [&](uint16_t e) { return comingBack.count(e) || (now.Find(e, kEntry) && !leaving.count(e)); };
    auto join = [&](uint16_t g, uint16_t e) {
        if (!groupThere(g) || !entryThere(e)) return;
        // An existing pair that is already joined needs nothing.
        if (!returning.count(g) && !comingBack.count(e) && now.IsMember(g, e)) return;
        if (planned.insert({g, e}).second) plan.memberships.push_back({g, e, true});
    };
    for (const Membership& m : change.memberships) {
        if (!m.joined) {
            join(m.group, m.entry);
        } else if (!leaving.count(m.group) && !leaving.count(m.entry) && !kept.count(m.group) && !kept.count(m.entry) &&
                   now.IsMember(m.group, m.entry)) {
            plan.memberships.push_back({m.group, m.entry, false});
        }
    }
    for (const RemovedEntry& r : plan.addEntries)
        for (uint16_t g : r.groups) join(g, r.id);
    for (const RemovedGroup& g : change.groupsRemoved)
        for (uint16_t e : g.members) join(g.id, e);
    return plan;
}

bool Landed(const Change& change, const std::vector<Item>& book) {
    const BookIndex now(book);
    for (const AddedEntry& a : change.added) {
        const Item* e = now.Find(a.id, kEntry);
        if (!e || HashOf(e->fields) != a.after) return false;
    }
    for (const UpdatedRecord& u : change.updated) {
        const Item* r = now.Find(u.id, u.kind);
        if (!r || HashOf(r->fields) != u.after) return false;
    }
    for (const RemovedEntry& r : change.removed) {
        const Item* e = now.Find(r.id, kEntry);
        if (e && e->fields == r.fields) return false;
    }
    for (const MadeGroup& g : change.groupsMade)
        if (!now.Find(g.id, kGroup)) return false;
    for (const RemovedGroup& g : change.groupsRemoved) {
        const Item* r = now.Find(g.id, kGroup);
        if (r && r->fields[kName] == g.name) return false;
    }
    for (const Membership& m : change.memberships)
        if (now.IsMember(m.group, m.entry) != m.joined) return false;
    return true;
}

ApplyResult ApplyUndo(const UndoPlan& plan, BookWriter& writer) {
    ApplyResult result;
    auto count = [&](int code) {
        if (code == 0) ++result.done;
        else ++result.failed;
        return code == 0;
    };
    for (uint16_t id : plan.removeEntries) count(writer.Remove(id));
    for (uint16_t id : plan.removeGroups) count(writer.Remove(id));
    // Edits first: a removed entry may come back under a name an edit took.
    for (const UpdatedRecord& u : plan.revert) count(writer.Modify(u.id, u.kind, u.before));
    // Old ids of what comes back to the ids it gets now.
    std::map<uint16_t, uint16_t> groups(plan.reuseGroups), entries;
    for (const RemovedGroup& g : plan.makeGroups) {
        Fields fields;
        fields[kName] = g.name;
        uint16_t id = 0;
        if (count(writer.Add(kGroup, fields, id))) groups[g.id] = id;
    }
    std::set<uint16_t> lostGroups, lostEntries;
    for (const RemovedGroup& g : plan.makeGroups)
        if (!groups.count(g.id)) lostGroups.insert(g.id);
    for (const RemovedEntry& r : plan.addEntries) {
        uint16_t id = 0;
        if (count(writer.Add(kEntry, r.fields, id))) entries[r.id] = id;
        else lostEntries.insert(r.id);
    }
    for (const Membership& m : plan.memberships) {
        // What could not be made again takes no members.
        if (lostGroups.count(m.group) || lostEntries.count(m.entry)) continue;
        auto g = groups.find(m.group);
        auto e = entries.find(m.entry);
        const uint16_t group = g != groups.end() ? g->second : m.group;
        const uint16_t entry = e != entries.end() ? e->second : m.entry;
        count(m.joined ? writer.Join(group, entry) : writer.Leave(group, entry));
    }
    return result;
}

}  // namespace undo
