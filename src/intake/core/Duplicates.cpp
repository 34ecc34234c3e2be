#include "intake/core/Duplicates.h"

#include <unordered_map>

#include "numbers/core/FaxNumber.h"

namespace intake {

std::vector<DuplicateSet> FindDuplicates(const Snapshot& book, const faxnum::Country* home) {
    std::vector<std::wstring> numbers;
    numbers.reserve(book.entries.size());
    for (const SnapshotEntry& e : book.entries) numbers.push_back(e.fields.fax.str());
    std::vector<DuplicateSet> sets;
    // Where each entry of a set stands in it, so the groups are read once.
    std::unordered_map<uint16_t, DuplicateEntry*> byId;
    const auto found = faxnum::DuplicateSets(numbers, home);
    sets.reserve(found.size());
    for (const auto& indices : found) {
        DuplicateSet& set = sets.emplace_back();
        set.line = faxnum::NormalForm(numbers[indices.front()], home);
        for (size_t i : indices) set.entries.push_back({i, {}});
    }
    for (DuplicateSet& set : sets)
        for (DuplicateEntry& d : set.entries) byId.emplace(book.entries[d.entry].id, &d);
    if (byId.empty()) return sets;
    for (size_t g = 0; g < book.groups.size(); ++g)
        for (uint16_t member : book.groups[g].members)
            if (auto it = byId.find(member); it != byId.end() && (it->second->groups.empty() || it->second->groups.back() != g))
                it->second->groups.push_back(g);
    return sets;
}

}  // namespace intake
