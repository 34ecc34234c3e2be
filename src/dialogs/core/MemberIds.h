#pragma once
// Entry ids of group members as the group dialogs compare them: a list row carries its
// record's 16-bit id as item data.
#include <cstdint>
#include <unordered_set>
#include <vector>

class MemberIds {
public:
    MemberIds() = default;
    // From the item data of a list's rows.
    explicit MemberIds(const std::vector<int>& rowData);

    bool Contains(int id) const { return m_ids.count(Key(id)) != 0; }
    void Add(int id) { m_ids.insert(Key(id)); }

    // The stored members, in their stored order, that are not among these ids.
    std::vector<uint16_t> LeftOut(const std::vector<uint16_t>& stored) const;

private:
    static uint16_t Key(int id) { return static_cast<uint16_t>(id); }
    std::unordered_set<uint16_t> m_ids;
};
