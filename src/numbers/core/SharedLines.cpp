#include "numbers/core/SharedLines.h"

#include <algorithm>

namespace faxnum {

namespace {

bool Holds(const std::vector<uint16_t>& ids, uint16_t id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

const BookEntry* EntryById(const Book& book, uint16_t id) {
    for (const BookEntry& e : book.entries)
        if (e.id == id) return &e;
    return nullptr;
}

}  // namespace

std::vector<SharedLine> SharedLines(const Book& book, const Country* home) {
    std::vector<std::wstring> faxes;
    faxes.reserve(book.entries.size());
    for (const BookEntry& e : book.entries) faxes.push_back(e.fax);
    std::vector<SharedLine> lines;
    for (const std::vector<size_t>& set : DuplicateSets(faxes, home)) {
        SharedLine& line = lines.emplace_back();
        line.normalForm = NormalForm(faxes[set.front()], home);
        for (size_t index : set) {
            const BookEntry& e = book.entries[index];
            LineEntry& shown = line.entries.emplace_back();
            shown.id = e.id;
            shown.name = e.name;
            shown.fax = e.fax;
            for (const BookGroup& g : book.groups)
                if (Holds(g.members, e.id)) shown.groups.push_back(g.name);
        }
    }
    return lines;
}

MergePlan PlanMerge(const Book& book, const std::vector<uint16_t>& set, uint16_t keep, const Country* home) {
    MergePlan plan;
    const BookEntry* kept = EntryById(book, keep);
    const std::wstring line = kept ? NormalForm(kept->fax, home) : std::wstring();
    if (line.empty()) return plan;
    plan.possible = true;
    for (uint16_t id : set) {
        if (id == keep || Holds(plan.remove, id)) continue;
        const BookEntry* other = EntryById(book, id);
        if (other && NormalForm(other->fax, home) == line) plan.remove.push_back(id);
    }
    for (const BookGroup& g : book.groups) {
        if (Holds(g.members, keep)) continue;
        if (std::any_of(plan.remove.begin(), plan.remove.end(), [&](uint16_t id) { return Holds(g.members, id); }))
            plan.join.push_back(g.id);
    }
    return plan;
}

std::vector<const BookEntry*> SameLineAs(const Book& book, std::wstring_view typed, uint16_t self, const Country* home) {
    std::vector<const BookEntry*> same;
    const std::wstring line = NormalForm(typed, home);
    if (line.empty()) return same;
    for (const BookEntry& e : book.entries)
        if (e.id != self && NormalForm(e.fax, home) == line) same.push_back(&e);
    return same;
}

}  // namespace faxnum
