#include "MemoryPlatform.h"

#include "Book.h"

namespace pbcore {

namespace {

// Writes through a handle opened read-only fail, as they would on Windows.
class HandleFile : public MemoryFile {
public:
    HandleFile(std::shared_ptr<std::vector<uint8_t>> bytes, bool writable) : MemoryFile(std::move(bytes)), m_writable(writable) {}
    bool Write(uint64_t offset, const void* data, size_t size) override {
        return m_writable && MemoryFile::Write(offset, data, size);
    }
    bool Truncate(uint64_t size) override { return m_writable && MemoryFile::Truncate(size); }

private:
    bool m_writable;
};

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

int MemoryPlatform::Open(const Path& path, bool writable, bool create, bool truncate, bool* created, intptr_t* handle) {
    std::string name = Utf8Of(path);
    *created = false;
    auto it = m_files.find(name);
    if (it == m_files.end()) {
        if (!create) return code::kNotFound;
        it = m_files.emplace(name, std::make_shared<std::vector<uint8_t>>()).first;
        *created = true;
    }
    if (!it->second) it->second = std::make_shared<std::vector<uint8_t>>();
    if (writable && m_readOnly[name]) return code::kReadOnly;
    if (writable)
        for (const auto& [h, open] : m_handles)
            if (open.path == name && open.writable) return code::kBusy;
    if (truncate) it->second->clear();
    *handle = m_next++;
    m_handles[*handle] = {name, writable};
    return code::kOk;
}

std::unique_ptr<FileIo> MemoryPlatform::Attach(intptr_t handle) {
    auto it = m_handles.find(handle);
    if (it == m_handles.end()) return nullptr;
    return std::make_unique<HandleFile>(m_files[it->second.path], it->second.writable);
}

}  // namespace pbcore
