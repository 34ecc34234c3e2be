#pragma once
// The engine's only way to reach a file: reads, writes, flush, size and truncate at
// offsets. The DLL implements it over a Win32 handle; tests use memory and POSIX
// files, and a fault injector that makes a "process death" at any write.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace pbcore {

class FileIo {
public:
    virtual ~FileIo() = default;
    // Reads up to size bytes; *got is short at end of file.
    virtual bool Read(uint64_t offset, void* data, size_t size, size_t* got) = 0;
    virtual bool Write(uint64_t offset, const void* data, size_t size) = 0;
    // Ordering barrier: what was written before reaches the file before what follows.
    virtual bool Flush() = 0;
    virtual bool Size(uint64_t* size) = 0;
    // Sets the length; growing fills with zeros.
    virtual bool Truncate(uint64_t size) = 0;
};

// A file held in memory; the bytes can be shared with later "reopens".
class MemoryFile : public FileIo {
public:
    explicit MemoryFile(std::shared_ptr<std::vector<uint8_t>> bytes = nullptr);
    bool Read(uint64_t offset, void* data, size_t size, size_t* got) override;
    bool Write(uint64_t offset, const void* data, size_t size) override;
    bool Flush() override { return true; }
    bool Size(uint64_t* size) override;
    bool Truncate(uint64_t size) override;
    const std::shared_ptr<std::vector<uint8_t>>& Bytes() const { return m_bytes; }

private:
    std::shared_ptr<std::vector<uint8_t>> m_bytes;
};

// Passes calls to another file until the process "dies": after write number
// stopAfter (counted from 1) every further write and truncate fails and changes
// nothing. That last write lands not at all (Cut), only its first half (Torn), or
// leaves the disk sector it starts in unreadable garbage (Garbled), as a power loss
// in the middle of a sector write can.
class FaultyFile : public FileIo {
public:
    enum class Death { Cut, Torn, Garbled };
    FaultyFile(FileIo& inner, uint64_t stopAfter, Death death) : m_inner(inner), m_stopAfter(stopAfter), m_death(death) {}
    FaultyFile(FileIo& inner, uint64_t stopAfter, bool tear)
        : FaultyFile(inner, stopAfter, tear ? Death::Torn : Death::Cut) {}
    bool Read(uint64_t offset, void* data, size_t size, size_t* got) override { return m_inner.Read(offset, data, size, got); }
    bool Write(uint64_t offset, const void* data, size_t size) override;
    bool Flush() override {
        ++m_flushes;
        return !m_dead && m_inner.Flush();
    }
    bool Size(uint64_t* size) override { return m_inner.Size(size); }
    bool Truncate(uint64_t size) override;
    uint64_t Writes() const { return m_writes; }
    uint64_t Flushes() const { return m_flushes; }
    bool Died() const { return m_dead; }

private:
    bool Mutation();
    FileIo& m_inner;
    uint64_t m_stopAfter;
    Death m_death;
    uint64_t m_writes = 0;
    uint64_t m_flushes = 0;
    bool m_dead = false;
};

}  // namespace pbcore
