#include "PosixFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pbcore {

PosixFile::PosixFile(const std::string& path, bool writable, bool create) {
    int flags = (writable ? O_RDWR : O_RDONLY) | (create ? O_CREAT : 0) | O_CLOEXEC;
    m_fd = ::open(path.c_str(), flags, 0644);
}

PosixFile::~PosixFile() {
    if (m_fd >= 0 && m_owned) ::close(m_fd);
}

bool PosixFile::Read(uint64_t offset, void* data, size_t size, size_t* got) {
    *got = 0;
    auto* out = static_cast<char*>(data);
    while (*got < size) {
        ssize_t n = ::pread(m_fd, out + *got, size - *got, static_cast<off_t>(offset + *got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        *got += static_cast<size_t>(n);
    }
    return true;
}

bool PosixFile::Write(uint64_t offset, const void* data, size_t size) {
    auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::pwrite(m_fd, in + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool PosixFile::Size(uint64_t* size) {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) return false;
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool PosixFile::Truncate(uint64_t size) { return ::ftruncate(m_fd, static_cast<off_t>(size)) == 0; }

}  // namespace pbcore
