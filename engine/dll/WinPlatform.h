#pragma once
// Files as the DLL reaches them: Win32 handles, share modes for one writer per file,
// the read-only attribute, and a byte-range lock that keeps readers off half-done changes.
#include "core/Api.h"

namespace pbdll {

class WinPlatform : public pbcore::Platform {
public:
    int Open(const Path& path, bool writable, bool create, bool truncate, bool* created, intptr_t* handle) override;
    void Close(intptr_t handle) override;
    std::unique_ptr<pbcore::FileIo> Attach(intptr_t handle) override;
    bool Lock(intptr_t handle, bool exclusive) override;
    void Unlock(intptr_t handle) override;
    // How long this thread's calls wait for the lock, at most the default of 2 s (0: one
    // try); the wait it replaces.
    static uint32_t SetLockWait(uint32_t milliseconds);
};

// Texts of the oldest format in the system code page.
std::u16string AnsiToUtf16(std::string_view bytes);

}  // namespace pbdll
