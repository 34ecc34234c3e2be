#include "util/FixedBlockSizeMemoryPool.h"

#include <algorithm>

namespace {
constexpr size_t kAlign = alignof(std::max_align_t);
size_t RoundUp(size_t n) { return (std::max(n, sizeof(void*)) + kAlign - 1) / kAlign * kAlign; }
}  // namespace

FixedBlockSizeMemoryPool::FixedBlockSizeMemoryPool(size_t blockSize, size_t blocksPerChunk)
    : m_blockSize(RoundUp(blockSize)), m_blocksPerChunk(std::max<size_t>(blocksPerChunk, 1)) {}

FixedBlockSizeMemoryPool::~FixedBlockSizeMemoryPool() = default;

void* FixedBlockSizeMemoryPool::Allocate() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_free) {
        // operator new[] of std::byte is aligned for max_align_t, and blocks are multiples of it.
        auto chunk = std::make_unique<std::byte[]>(m_blockSize * m_blocksPerChunk);
        for (size_t i = m_blocksPerChunk; i-- > 0;) {
            auto* block = reinterpret_cast<FreeBlock*>(chunk.get() + i * m_blockSize);
            block->next = m_free;
            m_free = block;
        }
        m_chunks.push_back(std::move(chunk));
    }
    FreeBlock* block = m_free;
    m_free = block->next;
    ++m_inUse;
    return block;
}

void FixedBlockSizeMemoryPool::Free(void* p) {
    if (!p) return;
    std::lock_guard<std::mutex> guard(m_lock);
    auto* block = static_cast<FreeBlock*>(p);
    block->next = m_free;
    m_free = block;
    --m_inUse;
}

size_t FixedBlockSizeMemoryPool::BlocksInUse() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_inUse;
}
