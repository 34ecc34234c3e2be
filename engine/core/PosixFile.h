#pragma once
// A FileIo over a POSIX descriptor, for native tests and the benchmark.
#include <string>

#include "FileIo.h"

namespace pbcore {

class PosixFile : public FileIo {
public:
    // Opens (creating when asked) the file; Valid() tells whether it worked.
    PosixFile(const std::string& path, bool writable, bool create);
    // Uses a descriptor someone else owns and closes.
    explicit PosixFile(int borrowedFd) : m_fd(borrowedFd), m_owned(false) {}
    ~PosixFile() override;
    PosixFile(const PosixFile&) = delete;
    PosixFile& operator=(const PosixFile&) = delete;
    bool Valid() const { return m_fd >= 0; }
    bool Read(uint64_t offset, void* data, size_t size, size_t* got) override;
    bool Write(uint64_t offset, const void* data, size_t size) override;
    // Process death loses nothing that write() accepted; a flush only orders writes.
    bool Flush() override { return m_fd >= 0; }
    bool Size(uint64_t* size) override;
    bool Truncate(uint64_t size) override;

private:
    int m_fd = -1;
    bool m_owned = true;
};

}  // namespace pbcore
