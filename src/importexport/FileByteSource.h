#pragma once
// A delimited text file as the platform-neutral reader sees it: its bytes through a file
// handle, and the system's ANSI code page as a decoder.
#include <windows.h>

#include <string_view>

#include "importexport/core/RecordReader.h"

class FileByteSource : public delimited::ByteSource {
public:
    // The handle stays the caller's.
    explicit FileByteSource(HANDLE file);
    uint64_t Size() const override { return m_size; }
    size_t ReadAt(uint64_t offset, char* buffer, size_t size) override;

private:
    HANDLE m_file;
    uint64_t m_size = 0;
};

// The ANSI code page with where each character ends: one byte per character in a
// single-byte code page, else one or two by the code page's lead bytes.
void DecodeAnsi(std::string_view bytes, delimited::DecodedText& out);
