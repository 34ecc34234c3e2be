#include "FileIo.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace pbcore {

namespace {
// A memory file never grows past this; larger requests fail like a full disk.
constexpr uint64_t kMemoryLimit = 64u << 20;
}

MemoryFile::MemoryFile(std::shared_ptr<std::vector<uint8_t>> bytes)
    : m_bytes(bytes ? std::move(bytes) : std::make_shared<std::vector<uint8_t>>()) {}

bool MemoryFile::Read(uint64_t offset, void* data, size_t size, size_t* got) {
    *got = 0;
    if (offset >= m_bytes->size()) return true;
    size_t n = static_cast<size_t>(std::min<uint64_t>(size, m_bytes->size() - offset));
    if (n) std::memcpy(data, m_bytes->data() + offset, n);
    *got = n;
    return true;
}

bool MemoryFile::Write(uint64_t offset, const void* data, size_t size) {
    if (offset > kMemoryLimit || size > kMemoryLimit - offset) return false;
    if (offset + size > m_bytes->size()) m_bytes->resize(static_cast<size_t>(offset + size));
    if (size) std::memcpy(m_bytes->data() + offset, data, size);
    return true;
}

bool MemoryFile::Size(uint64_t* size) {
    *size = m_bytes->size();
    return true;
}

bool MemoryFile::Truncate(uint64_t size) {
    if (size > kMemoryLimit) return false;
    m_bytes->resize(static_cast<size_t>(size));
    return true;
}

bool FaultyFile::Mutation() {
    if (m_dead) return false;
    ++m_writes;
    return true;
}

bool FaultyFile::Write(uint64_t offset, const void* data, size_t size) {
    if (!Mutation()) return false;
    if (m_writes < m_stopAfter) return m_inner.Write(offset, data, size);
    m_dead = true;
    if (m_writes != m_stopAfter) return false;
    if (m_death == Death::Torn && size > 1) m_inner.Write(offset, data, size / 2);
    if (m_death == Death::Garbled) {
        uint8_t garbage[512];
        for (size_t i = 0; i < sizeof garbage; ++i) garbage[i] = static_cast<uint8_t>(0xA5 ^ (i * 37));
        m_inner.Write(offset & ~uint64_t{511}, garbage, sizeof garbage);
    }
    return false;
}

bool FaultyFile::Truncate(uint64_t size) {
    if (!Mutation()) return false;
    if (m_writes < m_stopAfter) return m_inner.Truncate(size);
    m_dead = true;
    return false;
}

}  // namespace pbcore
