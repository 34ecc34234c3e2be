#include "WinPlatform.h"

#include <windows.h>

#include "core/Book.h"

namespace pbdll {

namespace {

namespace code = pbcore::code;

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

class HandleFile : public pbcore::FileIo {
public:
    explicit HandleFile(HANDLE h) : m_h(h) {}
    bool Read(uint64_t offset, void* data, size_t size, size_t* got) override {
        *got = 0;
        while (*got < size) {
            OVERLAPPED ov = {};
            uint64_t at = offset + *got;
            ov.Offset = static_cast<DWORD>(at);
            ov.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - *got, 1u << 30)), n = 0;
            if (!ReadFile(m_h, static_cast<char*>(data) + *got, chunk, &n, &ov)) return GetLastError() == ERROR_HANDLE_EOF;
            if (n == 0) break;
            *got += n;
        }
        return true;
    }
    bool Write(uint64_t offset, const void* data, size_t size) override {
        size_t done = 0;
        while (done < size) {
            OVERLAPPED ov = {};
            uint64_t at = offset + done;
            ov.Offset = static_cast<DWORD>(at);
            ov.OffsetHigh = static_cast<DWORD>(at >> 32);
            DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30)), n = 0;
            if (!WriteFile(m_h, static_cast<const char*>(data) + done, chunk, &n, &ov) || n == 0) return false;
            done += n;
        }
        return true;
    }
    // Each change is on the disk, not only in the cache, before the call returns.
    bool Flush() override { return FlushFileBuffers(m_h) != 0; }
    bool Size(uint64_t* size) override {
        LARGE_INTEGER li;
        if (!GetFileSizeEx(m_h, &li)) return false;
        *size = static_cast<uint64_t>(li.QuadPart);
        return true;
    }
    bool Truncate(uint64_t size) override {
        FILE_END_OF_FILE_INFO info;
        info.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
        return SetFileInformationByHandle(m_h, FileEndOfFileInfo, &info, sizeof info) != 0;
    }

private:
    HANDLE m_h;
};

// How long a call waits for another process's call on the same book, per thread: a
// window's thread asks for no wait at all and tries again from its timer.
constexpr ULONGLONG kLockWaitMs = 2000;

// The calling thread's wait, kept in a Win32 TLS slot as the wait plus one (0: unset).
DWORD WaitSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}
ULONGLONG ThreadLockWait() {
    const DWORD slot = WaitSlot();
    const auto kept = slot == TLS_OUT_OF_INDEXES ? 0 : reinterpret_cast<uintptr_t>(TlsGetValue(slot));
    return kept ? kept - 1 : kLockWaitMs;
}

// Far past any data, so the lock never blocks a plain read or write of the file.
constexpr DWORD kLockOffsetHigh = 0x7FFFFFFF;
constexpr DWORD kLockOffsetLow = 0xFFFFFF00;

int FromError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return code::kNotFound;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return code::kBusy;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return code::kReadOnly;
        default:
            return code::kIoError;
    }
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view bytes) {
    std::u16string out;
    if (bytes.empty()) return out;
    int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return out;
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    out.assign(wide.begin(), wide.end());
    return out;
}

int WinPlatform::Open(const Path& path, bool writable, bool create, bool truncate, bool* created, intptr_t* handle) {
    *created = false;
    DWORD attributes = path.wide ? GetFileAttributesW(path.wide) : GetFileAttributesA(path.narrow);
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return FromError(error);
        if (!create) return code::kNotFound;
    }
    if (exists && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return code::kBadArgument;
    // Checked here: Wine running as root opens a write-protected file for writing.
    if (exists && writable && (attributes & FILE_ATTRIBUTE_READONLY)) return code::kReadOnly;
    DWORD access = writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    // A writer lets others read only; a reader lets one writer in.
    DWORD share = writable ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    DWORD disposition = create || truncate ? OPEN_ALWAYS : OPEN_EXISTING;
    HANDLE h = path.wide ? CreateFileW(path.wide, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr)
                         : CreateFileA(path.narrow, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FromError(GetLastError());
    *created = disposition == OPEN_ALWAYS && GetLastError() != ERROR_ALREADY_EXISTS;
    *handle = reinterpret_cast<intptr_t>(h);
    return code::kOk;
}

void WinPlatform::Close(intptr_t handle) { CloseHandle(AsHandle(handle)); }

std::unique_ptr<pbcore::FileIo> WinPlatform::Attach(intptr_t handle) {
    if (handle == -1 || handle == 0) return nullptr;
    return std::make_unique<HandleFile>(AsHandle(handle));
}

bool WinPlatform::Lock(intptr_t handle, bool exclusive) {
    // Calls are short; a peer holding the lock longer than this has stalled, or a busy
    // share is slow: the caller hears "busy" rather than the window freezing.
    const ULONGLONG deadline = GetTickCount64() + ThreadLockWait();
    for (int attempt = 0;; ++attempt) {
        OVERLAPPED ov = {};
        ov.Offset = kLockOffsetLow;
        ov.OffsetHigh = kLockOffsetHigh;
        DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
        if (LockFileEx(AsHandle(handle), flags, 0, 1, 0, &ov)) return true;
        DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) return false;
        if (GetTickCount64() >= deadline) return false;
        Sleep(attempt < 20 ? 0 : 1);
    }
}

uint32_t WinPlatform::SetLockWait(uint32_t milliseconds) {
    const ULONGLONG previous = ThreadLockWait();
    const DWORD slot = WaitSlot();
    if (slot != TLS_OUT_OF_INDEXES)
        TlsSetValue(slot, reinterpret_cast<void*>(static_cast<uintptr_t>(std::min<ULONGLONG>(milliseconds, kLockWaitMs) + 1)));
    return static_cast<uint32_t>(previous);
}

void WinPlatform::Unlock(intptr_t handle) {
    OVERLAPPED ov = {};
    ov.Offset = kLockOffsetLow;
    ov.OffsetHigh = kLockOffsetHigh;
    UnlockFileEx(AsHandle(handle), 0, 1, 0, &ov);
}

}  // namespace pbdll
