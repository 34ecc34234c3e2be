#pragma once
// A delimited text file as the platform-neutral reader sees it: its bytes through a file
// handle, and the system's ANSI code page as a decoder (and an encoder for the export).
#include <windows.h>

#include <string>
#include <string_view>

#include "importexport/core/RecordReader.h"

class FileByteSource : public delimited::ByteSource {
public:
    // The handle stays the caller's.
    explicit FileByteSource(HANDLE file);
    uint64_t Size() const override { return m_size; }
    // Nothing when ReadFile fails, which the reader takes for a failed read.
    size_t ReadAt(uint64_t offset, char* buffer, size_t size) override;

private:
    HANDLE m_file;
    uint64_t m_size = 0;
};

// The ANSI code page with where each character ends: one byte per character in a
// single-byte code page, else one or two by the code page's lead bytes.
void DecodeAnsi(std::string_view bytes, delimited::DecodedText& out);

// The text in the ANSI code page as CMString::ToAnsi writes it; lacking counts the
// characters that do not come back as they were (written as '?' or as a look-alike).
std::string EncodeAnsi(const CMString& text, uint32_t& lacking);
