#include <gtest/gtest.h>

#include "PrintCMString.h"

#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "util/FixedBlockSizeMemoryPool.h"

TEST(MemoryPool, BlocksAreDistinctAlignedAndReused) {
    FixedBlockSizeMemoryPool pool(40, 4);
    std::vector<void*> blocks;
    std::set<void*> unique;
    for (int i = 0; i < 10; ++i) {
        void* p = pool.Allocate();
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % alignof(std::max_align_t), 0u);
        std::memset(p, 0xAB, 40);
        blocks.push_back(p);
        unique.insert(p);
    }
    EXPECT_EQ(unique.size(), 10u);
    EXPECT_EQ(pool.BlocksInUse(), 10u);
    void* freed = blocks.back();
    pool.Free(freed);
    EXPECT_EQ(pool.Allocate(), freed);
    for (void* p : blocks) pool.Free(p);
    EXPECT_EQ(pool.BlocksInUse(), 0u);
}

TEST(MemoryPool, SharedPointersLiveInThePool) {
    struct Record {
        int id;
        wchar_t name[32];
    };
    FixedBlockSizeMemoryPool pool(256);
    {
        std::vector<std::shared_ptr<Record>> records;
        for (int i = 0; i < 600; ++i)
            records.push_back(std::allocate_shared<Record>(PoolAllocator<Record>(&pool), Record{i, {}}));
        EXPECT_EQ(pool.BlocksInUse(), 600u);
        EXPECT_EQ(records[599]->id, 599);
    }
    EXPECT_EQ(pool.BlocksInUse(), 0u);
}
