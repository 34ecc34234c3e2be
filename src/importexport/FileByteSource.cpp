#include "importexport/FileByteSource.h"

using delimited::DecodedText;

FileByteSource::FileByteSource(HANDLE file) : m_file(file) {
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) m_size = static_cast<uint64_t>(size.QuadPart);
}

size_t FileByteSource::ReadAt(uint64_t offset, char* buffer, size_t size) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD read = 0;
    if (!ReadFile(m_file, buffer, static_cast<DWORD>(size), &read, &at)) return 0;
    return read;
}

void DecodeAnsi(std::string_view bytes, DecodedText& out) {
    static const UINT maxCharSize = [] {
        CPINFO info = {};
        return GetCPInfo(CP_ACP, &info) ? info.MaxCharSize : 1u;
    }();
    out.Clear();
    if (bytes.empty()) return;
    const int count = static_cast<int>(bytes.size());
    if (maxCharSize == 1) {
        out.text.resize(bytes.size());
        if (MultiByteToWideChar(CP_ACP, 0, bytes.data(), count, out.text.data(), count) == count) {
            out.ends.resize(bytes.size());
            for (size_t i = 0; i < bytes.size(); ++i) out.ends[i] = static_cast<uint32_t>(i + 1);
            return;
        }
        out.Clear();
    }
    for (size_t i = 0; i < bytes.size();) {
        const size_t start = i;
        const bool lead = IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(bytes[i])) && i + 1 < bytes.size();
        i += lead ? 2 : 1;
        wchar_t units[4];
        int n = MultiByteToWideChar(CP_ACP, 0, bytes.data() + start, static_cast<int>(i - start), units, 4);
        if (n <= 0) {
            units[0] = 0xFFFD;
            n = 1;
        }
        for (int k = 0; k < n; ++k) {
            out.text.push_back(units[k]);
            out.ends.push_back(static_cast<uint32_t>(k + 1 == n ? i : start + 1));
        }
    }
}

std::string EncodeAnsi(const CMString& text, uint32_t& lacking) {
    std::string bytes = text.ToAnsi();
    // Most lines come back whole; only the others are walked character by character.
    if (CMString::FromAnsi(bytes) == text) return bytes;
    const std::wstring_view units = text.view();
    for (size_t i = 0; i < units.size();) {
        const bool pair = units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                          units[i + 1] <= 0xDFFF;
        const CMString one(units.substr(i, pair ? 2 : 1));
        if (CMString::FromAnsi(one.ToAnsi()) != one) ++lacking;
        i += pair ? 2 : 1;
    }
    return bytes;
}
