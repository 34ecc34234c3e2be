#include "data/PhonebookRecord.h"

#include "util/FixedBlockSizeMemoryPool.h"

namespace {
// Room for the record and its shared-pointer control block in one block.
FixedBlockSizeMemoryPool& RecordPool() {
    static FixedBlockSizeMemoryPool pool(sizeof(PhonebookRecord) + 64, 128);
    return pool;
}
}  // namespace

RecordPtr MakeRecord() {
    return std::allocate_shared<PhonebookRecord>(PoolAllocator<PhonebookRecord>(&RecordPool()));
}
