#include "PosixPlatform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Book.h"
#include "PosixFile.h"

namespace pbcore {

namespace {

std::string Utf8Of(const Platform::Path& path) {
    if (path.narrow) return path.narrow;
    std::string out;
    for (const pbabi::WChar* p = path.wide; p && *p; ++p) {
        char32_t c = static_cast<char16_t>(*p);
        if (c < 0x80) out.push_back(static_cast<char>(c));
        else if (c < 0x800) out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
        else out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    }
    return out;
}

}  // namespace

int PosixPlatform::Open(const Path& path, bool writable, bool create, bool truncate, bool* created, intptr_t* handle) {
    std::string name = Utf8Of(path);
    *created = false;
    struct stat st {};
    bool exists = ::stat(name.c_str(), &st) == 0;
    if (!exists && !create) return code::kNotFound;
    // Write-protection is the owner's write bit, checked because root passes it anyway.
    if (exists && writable && !(st.st_mode & S_IWUSR)) return code::kReadOnly;
    int fd = ::open(name.c_str(), (writable ? O_RDWR : O_RDONLY) | (create ? O_CREAT : 0) | (truncate ? O_TRUNC : 0) | O_CLOEXEC, 0644);
    if (fd < 0) return errno == ENOENT ? code::kNotFound : code::kIoError;
    *created = !exists;
    *handle = fd;
    return code::kOk;
}

void PosixPlatform::Close(intptr_t handle) { ::close(static_cast<int>(handle)); }

std::unique_ptr<FileIo> PosixPlatform::Attach(intptr_t handle) {
    if (handle < 0) return nullptr;
    return std::make_unique<PosixFile>(static_cast<int>(handle));
}

}  // namespace pbcore
