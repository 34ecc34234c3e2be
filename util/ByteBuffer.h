#pragma once
// A growable block of bytes for file and conversion buffers.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class ByteBuffer {
public:
    ByteBuffer() = default;
    explicit ByteBuffer(size_t size) : m_bytes(size) {}

    uint8_t* Data() { return m_bytes.data(); }
    const uint8_t* Data() const { return m_bytes.data(); }
    size_t Size() const { return m_bytes.size(); }
    bool IsEmpty() const { return m_bytes.empty(); }

    void Resize(size_t size) { m_bytes.resize(size); }
    void Clear() { m_bytes.clear(); }
    void Append(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    void Append(std::string_view bytes) { Append(bytes.data(), bytes.size()); }
    // Drops the first count bytes (a reader that consumed them).
    void Consume(size_t count) {
        if (count >= m_bytes.size()) m_bytes.clear();
        else m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(count));
    }
    std::string_view View() const {
        return {reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()};
    }

private:
    std::vector<uint8_t> m_bytes;
};
