#include "printing/core/PrintSelection.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace printing {

namespace {

const wchar_t* const kColumnNames[kColumnCount] = {L"name", L"fax", L"organization", L"phone", L"email", L"mailbox",
                                                    L"groups"};

}  // namespace

void Select(const Book& book, const Choice& choice, Document& document) {
    document.entries.clear();
    document.sections.clear();
    std::unordered_map<uint16_t, size_t> byId;
    for (size_t i = 0; i < book.entries.size(); ++i) byId.emplace(book.entries[i].id, i);

    // Each entry's groups, in the book's group order, for the groups column.
    std::unordered_map<uint16_t, std::wstring> groupsOf;
    for (const BookGroup& g : book.groups) {
        // A member listed twice still names its group once.
        std::unordered_set<uint16_t> seen;
        for (uint16_t m : g.members) {
            if (!seen.insert(m).second) continue;
            std::wstring& names = groupsOf[m];
            if (!names.empty()) names += L", ";
            names += g.name;
        }
    }

    std::unordered_set<uint16_t> allowed;
    std::vector<const BookGroup*> chosenGroups;
    if (!choice.groups.empty()) {
        for (uint16_t gid : choice.groups)
            for (const BookGroup& g : book.groups)
                if (g.id == gid && std::find(chosenGroups.begin(), chosenGroups.end(), &g) == chosenGroups.end()) {
                    chosenGroups.push_back(&g);
                    allowed.insert(g.members.begin(), g.members.end());
                }
    } else {
        for (const BookGroup& g : book.groups) chosenGroups.push_back(&g);
    }

    // The printed entries, each once, in print order; rank gives an id's place.
    std::unordered_map<uint16_t, size_t> rank;
    for (uint16_t id : choice.order) {
        auto found = byId.find(id);
        if (found == byId.end() || rank.count(id)) continue;
        if (!choice.groups.empty() && !allowed.count(id)) continue;
        const BookEntry& e = book.entries[found->second];
        Entry entry;
        for (size_t f = 0; f < e.fields.size(); ++f) entry.cells[f] = e.fields[f];
        auto g = groupsOf.find(id);
        if (g != groupsOf.end()) entry.cells[static_cast<size_t>(Column::Groups)] = g->second;
        rank.emplace(id, document.entries.size());
        document.entries.push_back(std::move(entry));
    }

    if (!choice.byGroup) {
        Section all;
        for (size_t i = 0; i < document.entries.size(); ++i) all.entries.push_back(i);
        document.sections.push_back(std::move(all));
        return;
    }
    std::vector<bool> placed(document.entries.size(), false);
    for (const BookGroup* g : chosenGroups) {
        Section section{g->name, {}};
        for (uint16_t m : g->members) {
            auto r = rank.find(m);
            if (r != rank.end()) section.entries.push_back(r->second);
        }
        std::sort(section.entries.begin(), section.entries.end());
        section.entries.erase(std::unique(section.entries.begin(), section.entries.end()), section.entries.end());
        // A group none of whose members is printed has no section.
        if (section.entries.empty()) continue;
        for (size_t i : section.entries) placed[i] = true;
        document.sections.push_back(std::move(section));
    }
    Section rest{choice.ungroupedHeading, {}};
    for (size_t i = 0; i < placed.size(); ++i)
        if (!placed[i]) rest.entries.push_back(i);
    if (!rest.entries.empty()) document.sections.push_back(std::move(rest));
}

bool ColumnFromName(const std::wstring& name, Column* column) {
    for (size_t i = 0; i < kColumnCount; ++i)
        if (name == kColumnNames[i]) {
            *column = static_cast<Column>(i);
            return true;
        }
    return false;
}

const wchar_t* ColumnName(Column column) { return kColumnNames[static_cast<size_t>(column)]; }

bool ParseColumnList(const std::wstring& list, std::vector<Column>* out) {
    std::vector<Column> columns;
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(L',', start);
        Column column;
        if (!ColumnFromName(list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start), &column))
            return false;
        if (std::find(columns.begin(), columns.end(), column) != columns.end()) return false;
        columns.push_back(column);
        if (comma == std::wstring::npos) break;
        start = comma + 1;
    }
    *out = std::move(columns);
    return true;
}

std::wstring ColumnList(const std::vector<Column>& columns) {
    std::wstring text;
    for (Column c : columns) {
        if (!text.empty()) text += L',';
        text += ColumnName(c);
    }
    return text;
}

}  // namespace printing
