#include <gtest/gtest.h>

#include "dialogs/core/MemberIds.h"

namespace {

TEST(MemberIds, StoredMembersNotListedAreLeftOutInStoredOrder) {
    struct { std::vector<int> listed; std::vector<uint16_t> stored; std::vector<uint16_t> leftOut; } cases[] = {
        {{}, {}, {}},
        {{}, {7, 3, 9}, {7, 3, 9}},
        {{3, 7, 9}, {7, 3, 9}, {}},
        {{9}, {7, 3, 9}, {7, 3}},
        {{12, 40}, {40}, {}},               // listed rows that were no members change nothing here
        {{0x18001}, {0x8001, 1}, {1}},       // only the low 16 bits of a row's data count
        {{-1}, {0xFFFF, 0}, {0}},            // data read back sign-extended is the same id
    };
    for (const auto& c : cases) EXPECT_EQ(MemberIds(c.listed).LeftOut(c.stored), c.leftOut);
}

TEST(MemberIds, AddedIdsAreContained) {
    MemberIds ids({5});
    EXPECT_TRUE(ids.Contains(5));
    EXPECT_FALSE(ids.Contains(6));
    ids.Add(6);
    EXPECT_TRUE(ids.Contains(6));
    EXPECT_TRUE(ids.Contains(0x10006));
}

}  // namespace
