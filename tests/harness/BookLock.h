#pragma once
// Another process holding a book's engine lock, as a writer in the middle of its commit
// (exclusive) or a reader in the middle of its reload (shared) holds it: the busy book
// that tests need, made by a real peer rather than a fake engine.
#include <windows.h>

#include <string>

namespace booklock {

// The engine's lock byte, far past any data.
constexpr DWORD kOffsetLow = 0xFFFFFF00, kOffsetHigh = 0x7FFFFFFF;

// The child's side: takes the lock, says so in <path>.held, holds it ms long. 0 when it
// held it; 2 when the book cannot be opened, 3 when the lock is taken already.
inline int Hold(const wchar_t* path, DWORD ms, bool exclusive = true) {
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 2;
    OVERLAPPED ov = {};
    ov.Offset = kOffsetLow;
    ov.OffsetHigh = kOffsetHigh;
    if (!LockFileEx(f, LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0), 0, 1, 0, &ov)) return 3;
    HANDLE held = CreateFileW((std::wstring(path) + L".held").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(held);
    Sleep(ms);
    CloseHandle(f);
    return 0;
}

// The test's side: this program started again as the holding child (its main passes
// "--hold-book-lock <path> <ms> <exclusive|shared>" to Hold), held until Release.
class Holder {
public:
    Holder(const std::wstring& path, bool exclusive = true, DWORD ms = 60000) : m_held(path + L".held") {
        DeleteFileW(m_held.c_str());
        wchar_t self[MAX_PATH * 2] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH * 2);
        std::wstring line = L"\"" + std::wstring(self) + L"\" --hold-book-lock \"" + path + L"\" " +
                            std::to_wstring(ms) + (exclusive ? L" exclusive" : L" shared");
        STARTUPINFOW si = {sizeof si};
        if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &m_process)) return;
        for (int i = 0; i < 400 && GetFileAttributesW(m_held.c_str()) == INVALID_FILE_ATTRIBUTES; ++i) {
            DWORD code = 0;
            if (GetExitCodeProcess(m_process.hProcess, &code) && code != STILL_ACTIVE) break;
            Sleep(25);
        }
    }
    ~Holder() { Release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    bool Holding() const { return m_process.hProcess && GetFileAttributesW(m_held.c_str()) != INVALID_FILE_ATTRIBUTES; }
    // The peer is gone, and with it its lock.
    void Release() {
        if (!m_process.hProcess) return;
        TerminateProcess(m_process.hProcess, 0);
        WaitForSingleObject(m_process.hProcess, 10000);
        CloseHandle(m_process.hThread);
        CloseHandle(m_process.hProcess);
        m_process = {};
        DeleteFileW(m_held.c_str());
    }

private:
    std::wstring m_held;
    PROCESS_INFORMATION m_process = {};
};

// For a program's main: runs the child role when asked to; false otherwise.
inline bool RunHolderRole(int argc, wchar_t** argv, int* exitCode) {
    if (argc != 5 || std::wstring(argv[1]) != L"--hold-book-lock") return false;
    *exitCode = Hold(argv[2], static_cast<DWORD>(_wtoi(argv[3])), std::wstring(argv[4]) != L"shared");
    return true;
}

}  // namespace booklock
