#include "dialogs/core/MemberIds.h"

MemberIds::MemberIds(const std::vector<int>& rowData) {
    m_ids.reserve(rowData.size());
    for (int data : rowData) Add(data);
}

std::vector<uint16_t> MemberIds::LeftOut(const std::vector<uint16_t>& stored) const {
    std::vector<uint16_t> out;
    for (uint16_t id : stored)
        if (!Contains(id)) out.push_back(id);
    return out;
}
