#pragma once
// Real files through POSIX calls behind the Platform interface (native tests and the
// benchmark). Handles are descriptors; paths are UTF-8.
#include "Api.h"

namespace pbcore {

class PosixPlatform : public Platform {
public:
    int Open(const Path& path, bool writable, bool create, bool truncate, bool* created, intptr_t* handle) override;
    void Close(intptr_t handle) override;
    std::unique_ptr<FileIo> Attach(intptr_t handle) override;
    // One process at a time uses a file here; the DLL's platform does the locking.
    bool Lock(intptr_t, bool) override { return true; }
    void Unlock(intptr_t) override {}
};

}  // namespace pbcore
