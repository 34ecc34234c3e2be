#pragma once
// Hands out blocks of one size from large chunks, so that the many small records of
// a phone book (and their reference-count blocks) cost one allocation per chunk.
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

class FixedBlockSizeMemoryPool {
public:
    FixedBlockSizeMemoryPool(size_t blockSize, size_t blocksPerChunk = 256);
    ~FixedBlockSizeMemoryPool();
    FixedBlockSizeMemoryPool(const FixedBlockSizeMemoryPool&) = delete;
    FixedBlockSizeMemoryPool& operator=(const FixedBlockSizeMemoryPool&) = delete;

    size_t BlockSize() const { return m_blockSize; }
    // Never returns null: throws std::bad_alloc like operator new when memory is out.
    void* Allocate();
    void Free(void* block);
    size_t BlocksInUse() const;

private:
    struct FreeBlock { FreeBlock* next; };
    size_t m_blockSize;
    size_t m_blocksPerChunk;
    FreeBlock* m_free = nullptr;
    size_t m_inUse = 0;
    std::vector<std::unique_ptr<std::byte[]>> m_chunks;
    mutable std::mutex m_lock;
};

// Allocator for std::allocate_shared: blocks of exactly one size come from a shared
// pool; any other request (there are none for allocate_shared) goes to operator new.
template <class T>
class PoolAllocator {
public:
    using value_type = T;
    explicit PoolAllocator(FixedBlockSizeMemoryPool* pool) : m_pool(pool) {}
    template <class U>
    PoolAllocator(const PoolAllocator<U>& other) : m_pool(other.Pool()) {}

    T* allocate(size_t n) {
        if (n == 1 && sizeof(T) <= m_pool->BlockSize() && alignof(T) <= alignof(std::max_align_t))
            return static_cast<T*>(m_pool->Allocate());
        return static_cast<T*>(::operator new(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) {
        if (n == 1 && sizeof(T) <= m_pool->BlockSize() && alignof(T) <= alignof(std::max_align_t))
            m_pool->Free(p);
        else
            ::operator delete(p);
    }
    FixedBlockSizeMemoryPool* Pool() const { return m_pool; }
    template <class U>
    bool operator==(const PoolAllocator<U>& o) const { return m_pool == o.Pool(); }

private:
    FixedBlockSizeMemoryPool* m_pool;
};
