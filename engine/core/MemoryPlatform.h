#pragma once
// Files held in memory behind the Platform interface, for tests and the fuzzer:
// the export logic runs natively on exactly the bytes a test supplies.
#include <map>
#include <string>

#include "Api.h"
#include "FileIo.h"

namespace pbcore {

class MemoryPlatform : public Platform {
public:
    using Bytes = std::shared_ptr<std::vector<uint8_t>>;
    // Files are named by their UTF-8 path; wide paths are converted.
    Bytes& FileAt(const std::string& path) { return m_files[path]; }
    bool Exists(const std::string& path) const { return m_files.count(path) != 0; }
    void SetReadOnly(const std::string& path, bool readOnly) { m_readOnly[path] = readOnly; }
    size_t OpenHandles() const { return m_handles.size(); }

    int Open(const Path& path, bool writable, bool create, bool truncate, bool* created, intptr_t* handle) override;
    void Close(intptr_t handle) override { m_handles.erase(handle); }
    std::unique_ptr<FileIo> Attach(intptr_t handle) override;
    bool Lock(intptr_t, bool) override { return true; }
    void Unlock(intptr_t) override {}

private:
    struct Handle {
        std::string path;
        bool writable;
    };
    std::map<std::string, Bytes> m_files;
    std::map<std::string, bool> m_readOnly;
    std::map<intptr_t, Handle> m_handles;
    intptr_t m_next = 100;
};

}  // namespace pbcore
