#pragma once
// Reads the records of a delimited text file one after another. Each record is read
// from its first byte in a window of 120 bytes per selected column, grown when the
// record is longer, and the next record starts after the bytes this one and its
// delimiter occupy in the file's encoding, counted as they were decoded.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "importexport/core/DelimitedText.h"
#include "util/CMString.h"

namespace delimited {

// Bytes of a file, read at any offset.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Up to size bytes from offset; a source may hand out fewer at a time. Nothing
    // before Size() means the read failed (a disk error, a share that went away).
    virtual size_t ReadAt(uint64_t offset, char* buffer, size_t size) = 0;
};

// Asks again after a partial read: size bytes, or fewer when the source gave no more
// (the end, or a failed read).
size_t ReadFrom(ByteSource& source, uint64_t offset, char* buffer, size_t size);

// Bytes held in memory, as a source.
class MemoryBytes : public ByteSource {
public:
    explicit MemoryBytes(std::string_view bytes) : m_bytes(bytes) {}
    uint64_t Size() const override { return m_bytes.size(); }
    size_t ReadAt(uint64_t offset, char* buffer, size_t size) override {
        return offset < m_bytes.size() ? m_bytes.copy(buffer, size, static_cast<size_t>(offset)) : 0;
    }

private:
    std::string_view m_bytes;
};

// Text decoded from bytes, with for each unit of text how many bytes lie up to its end.
// A bad byte becomes U+FFFD covering what it consumed, so the counts always increase.
struct DecodedText {
    std::wstring text;
    std::vector<uint32_t> ends;
    void Clear() { text.clear(); ends.clear(); }
};
using Decoder = std::function<void(std::string_view bytes, DecodedText& out)>;

void DecodeUtf8(std::string_view bytes, DecodedText& out);
void DecodeUtf16LE(std::string_view bytes, DecodedText& out);
void DecodeUtf16BE(std::string_view bytes, DecodedText& out);

enum class Encoding { Utf8, Utf16LE, Utf16BE, Ansi };

// The number Windows gives UTF-8 as a code page. A system may use it as its ANSI code
// page (a Windows option): the ANSI reading and writing of a file are UTF-8 then.
constexpr unsigned kUtf8CodePage = 65001;

struct FileStart {
    Encoding encoding = Encoding::Utf8;
    size_t byteOrderMarkLength = 0;
};
// The file's encoding from its first bytes: a byte-order mark says it outright; with
// UTF-8 chosen, a zero second byte (or a file of one byte) means UTF-16LE; otherwise
// the choice. Decided once for the whole file, so a record that happens to start with
// a character whose second byte is not zero is not read in another encoding.
// ansiCodePage is the system's; with kUtf8CodePage what would be ANSI is UTF-8.
FileStart DetectEncoding(std::string_view firstBytes, bool utf8Chosen, unsigned ansiCodePage = 0);
// The same for a whole file; besides, a file that would be read as UTF-8 without a mark
// but is not (an accented letter in the ANSI code page) is read in the ANSI code page:
// as UTF-8 every such letter would become U+FFFD. A sequence cut off by the file's end
// does not count against it when the file holds whole UTF-8 sequences of its own.
FileStart DetectFileEncoding(ByteSource& source, bool utf8Chosen, unsigned ansiCodePage = 0);
// Whether the bytes from offset on are UTF-8, in the sense above.
bool IsUtf8File(ByteSource& source, uint64_t offset);

class RecordReader {
public:
    static constexpr size_t kWindowPerColumn = 120;
    // No entry's fields come near this; a longer "record" is not one, and is skipped.
    static constexpr size_t kMaxRecordBytes = 64 * 1024;

    // Error: the file could not be read on from Position(); what follows is unknown,
    // and every later call says so again.
    enum class Status { Record, Overlong, End, Error };

    // ansi decodes the system's ANSI code page; with none, such a file reads as Latin-1.
    // The encoding here comes from the file's first bytes alone (DetectEncoding).
    RecordReader(ByteSource& source, const Layout& layout, bool utf8Chosen, Decoder ansi = {});
    // With the encoding found before (DetectFileEncoding); the first record starts at start (0: after the
    // byte-order mark).
    RecordReader(ByteSource& source, const Layout& layout, const FileStart& encoding, Decoder ansi = {},
                 uint64_t start = 0);

    // The next record that is not blank (blank ones, such as empty lines, are passed
    // over); Overlong for one longer than kMaxRecordBytes, whose text is dropped.
    Status Next(CMString& record);

    Encoding FileEncoding() const { return m_start.encoding; }
    uint64_t Position() const { return m_position; }
    size_t WindowSize() const { return m_window; }

private:
    // Reads and decodes size bytes from the position (fewer at the file's end); false
    // when the read failed.
    bool Load(uint64_t position, size_t size, bool& atEnd);
    // The record at the next unit of the loaded text; false when its end lies past it.
    bool TakeLoaded(CMString& record, bool complete);
    void SkipPastRecordEnd(uint64_t from);
    void SkipPastQuotedRecordEnd(uint64_t from);

    ByteSource& m_source;
    Layout m_layout;
    Decoder m_decode;
    FileStart m_start;
    uint64_t m_size = 0;
    uint64_t m_position = 0;
    size_t m_window = 0;
    bool m_failed = false;
    std::string m_bytes;
    DecodedText m_decoded;
    // The last load: where it started in the file, whether it reached the file's end, and
    // the unit the next record starts at in its text. Records that end inside it are
    // taken from it without reading or decoding again.
    uint64_t m_loadedAt = 0;
    bool m_loadedToEnd = false;
    size_t m_unit = 0;
};

}  // namespace delimited
