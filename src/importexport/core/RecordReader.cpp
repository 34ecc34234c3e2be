#include "importexport/core/RecordReader.h"

#include <algorithm>

namespace delimited {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// highEnd is where the high half of a pair ends when wchar_t has 16 bits: before end,
// so the counts still increase, and where a read may start again.
void Append(DecodedText& out, char32_t code, uint32_t end, uint32_t highEnd) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (code >= 0x10000) {
            code -= 0x10000;
            out.text.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
            out.ends.push_back(highEnd);
            out.text.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
            out.ends.push_back(end);
            return;
        }
    }
    out.text.push_back(static_cast<wchar_t>(code));
    out.ends.push_back(end);
}

void Append(DecodedText& out, char32_t code, uint32_t end) { Append(out, code, end, end - 1); }

// Bytes a well-formed sequence may hold after its lead byte, and the range its first
// continuation byte must lie in (which rules out overlongs, surrogates and values past
// U+10FFFF).
struct LeadByte {
    int extra;
    unsigned char low;
    unsigned char high;
};

bool ClassifyLead(unsigned char b, LeadByte& lead) {
    if (b >= 0xC2 && b <= 0xDF) lead = {1, 0x80, 0xBF};
    else if (b == 0xE0) lead = {2, 0xA0, 0xBF};
    else if (b == 0xED) lead = {2, 0x80, 0x9F};
    else if (b >= 0xE1 && b <= 0xEF) lead = {2, 0x80, 0xBF};
    else if (b == 0xF0) lead = {3, 0x90, 0xBF};
    else if (b >= 0xF1 && b <= 0xF3) lead = {3, 0x80, 0xBF};
    else if (b == 0xF4) lead = {3, 0x80, 0x8F};
    else return false;
    return true;
}

}  // namespace

void DecodeUtf8(std::string_view bytes, DecodedText& out) {
    out.Clear();
    out.text.reserve(bytes.size());
    out.ends.reserve(bytes.size());
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char b = at(i);
        if (b < 0x80) {
            Append(out, b, static_cast<uint32_t>(++i));
            continue;
        }
        LeadByte lead;
        if (!ClassifyLead(b, lead)) {
            Append(out, kReplacement, static_cast<uint32_t>(++i));
            continue;
        }
        char32_t code = b & (0x3F >> lead.extra);
        size_t k = i + 1;
        bool ok = true;
        for (int n = 0; n < lead.extra; ++n, ++k) {
            unsigned char low = n == 0 ? lead.low : 0x80;
            unsigned char high = n == 0 ? lead.high : 0xBF;
            if (k >= bytes.size() || at(k) < low || at(k) > high) {
                ok = false;
                break;
            }
            code = (code << 6) | (at(k) & 0x3F);
        }
        // A broken sequence gives one replacement for its valid start; the byte that
        // broke it is read afresh.
        i = k;
        Append(out, ok ? code : kReplacement, static_cast<uint32_t>(i));
    }
}

namespace {

template <bool kBigEndian>
void DecodeUtf16(std::string_view bytes, DecodedText& out) {
    out.Clear();
    out.text.reserve(bytes.size() / 2 + 1);
    out.ends.reserve(bytes.size() / 2 + 1);
    auto unit = [&](size_t k) {
        const auto first = static_cast<unsigned char>(bytes[k]), second = static_cast<unsigned char>(bytes[k + 1]);
        return static_cast<char32_t>(kBigEndian ? (first << 8) | second : first | (second << 8));
    };
    size_t i = 0;
    while (i + 1 < bytes.size()) {
        char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                i += 4;
                // The high half ends with its own unit: a read cut there stays on unit
                // boundaries (one byte in, every later unit would be read misaligned).
                Append(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), static_cast<uint32_t>(i),
                       static_cast<uint32_t>(i - 2));
                continue;
            }
        }
        i += 2;
        Append(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : u, static_cast<uint32_t>(i));
    }
    // Half a unit at the end of the bytes.
    if (i < bytes.size()) Append(out, kReplacement, static_cast<uint32_t>(bytes.size()));
}

// Where the UTF-8 of bytes stops being whole: bytes.size() when it is, the start of a
// sequence the bytes end inside of, or npos for a malformed sequence. multibyte tells
// whether a whole sequence of more than one byte was seen.
size_t WholeUtf8(std::string_view bytes, bool& multibyte) {
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    size_t i = 0;
    while (i < bytes.size()) {
        if (at(i) < 0x80) {
            ++i;
            continue;
        }
        LeadByte lead;
        if (!ClassifyLead(at(i), lead)) return std::string_view::npos;
        for (int n = 0; n < lead.extra; ++n) {
            const size_t k = i + 1 + static_cast<size_t>(n);
            if (k >= bytes.size()) return i;
            if (at(k) < (n == 0 ? lead.low : 0x80) || at(k) > (n == 0 ? lead.high : 0xBF))
                return std::string_view::npos;
        }
        i += 1 + static_cast<size_t>(lead.extra);
        multibyte = true;
    }
    return i;
}

}  // namespace

void DecodeUtf16LE(std::string_view bytes, DecodedText& out) { DecodeUtf16<false>(bytes, out); }
void DecodeUtf16BE(std::string_view bytes, DecodedText& out) { DecodeUtf16<true>(bytes, out); }

namespace {

void DecodeLatin1(std::string_view bytes, DecodedText& out) {
    out.Clear();
    for (size_t i = 0; i < bytes.size(); ++i)
        Append(out, static_cast<unsigned char>(bytes[i]), static_cast<uint32_t>(i + 1));
}

}  // namespace

size_t ReadFrom(ByteSource& source, uint64_t offset, char* buffer, size_t size) {
    size_t got = 0;
    while (got < size) {
        const size_t n = std::min(size - got, source.ReadAt(offset + got, buffer + got, size - got));
        if (n == 0) break;
        got += n;
    }
    return got;
}

FileStart DetectEncoding(std::string_view firstBytes, bool utf8Chosen, unsigned ansiCodePage) {
    if (firstBytes.substr(0, 3) == std::string_view("\xEF\xBB\xBF", 3)) return {Encoding::Utf8, 3};
    if (firstBytes.substr(0, 2) == std::string_view("\xFF\xFE", 2)) return {Encoding::Utf16LE, 2};
    if (firstBytes.substr(0, 2) == std::string_view("\xFE\xFF", 2)) return {Encoding::Utf16BE, 2};
    if (utf8Chosen && (firstBytes.size() == 1 || (firstBytes.size() >= 2 && firstBytes[1] == 0)))
        return {Encoding::Utf16LE, 0};
    return {utf8Chosen || ansiCodePage == kUtf8CodePage ? Encoding::Utf8 : Encoding::Ansi, 0};
}

namespace {

FileStart DetectFromFirstBytes(ByteSource& source, bool utf8Chosen, unsigned ansiCodePage = 0) {
    char first[3] = {};
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(sizeof first, source.Size()));
    return DetectEncoding(std::string_view(first, ReadFrom(source, 0, first, wanted)), utf8Chosen, ansiCodePage);
}

}  // namespace

bool IsUtf8File(ByteSource& source, uint64_t offset) {
    constexpr size_t kChunk = 64 * 1024;
    const uint64_t size = source.Size();
    std::string bytes;
    size_t carried = 0;
    bool multibyte = false;
    while (offset < size) {
        const size_t wanted = static_cast<size_t>(std::min<uint64_t>(kChunk, size - offset));
        bytes.resize(carried + wanted);
        const size_t got = std::min(wanted, source.ReadAt(offset, bytes.data() + carried, wanted));
        if (got == 0) break;
        bytes.resize(carried + got);
        offset += got;
        const size_t whole = WholeUtf8(bytes, multibyte);
        if (whole == std::string_view::npos) return false;
        // A sequence cut by the chunk's end is judged with the bytes that follow.
        carried = bytes.size() - whole;
        bytes.erase(0, whole);
    }
    // A file cut in the middle of a character is still UTF-8 if it holds any other; a
    // lone lead byte at the end of plain ASCII is more likely an ANSI letter ("caf\xE9").
    return carried == 0 || multibyte;
}

FileStart DetectFileEncoding(ByteSource& source, bool utf8Chosen, unsigned ansiCodePage) {
    FileStart start = DetectFromFirstBytes(source, utf8Chosen, ansiCodePage);
    // With UTF-8 as the ANSI code page there is nothing else to fall back on.
    if (utf8Chosen && ansiCodePage != kUtf8CodePage && start.encoding == Encoding::Utf8 &&
        start.byteOrderMarkLength == 0 && !IsUtf8File(source, 0))
        start.encoding = Encoding::Ansi;
    return start;
}

RecordReader::RecordReader(ByteSource& source, const Layout& layout, bool utf8Chosen, Decoder ansi)
    : RecordReader(source, layout, DetectFromFirstBytes(source, utf8Chosen), std::move(ansi)) {}

RecordReader::RecordReader(ByteSource& source, const Layout& layout, const FileStart& encoding, Decoder ansi,
                           uint64_t start)
    : m_source(source), m_layout(layout), m_start(encoding), m_size(source.Size()) {
    m_position = std::min<uint64_t>(start ? start : m_start.byteOrderMarkLength, m_size);
    m_window = kWindowPerColumn * std::max<size_t>(1, layout.columns.size());
    switch (m_start.encoding) {
        case Encoding::Utf8: m_decode = DecodeUtf8; break;
        case Encoding::Utf16LE: m_decode = DecodeUtf16LE; break;
        case Encoding::Utf16BE: m_decode = DecodeUtf16BE; break;
        case Encoding::Ansi: m_decode = ansi ? std::move(ansi) : Decoder(DecodeLatin1); break;
    }
}

bool RecordReader::Load(uint64_t position, size_t size, bool& atEnd) {
    size = static_cast<size_t>(std::min<uint64_t>(size, m_size - position));
    m_bytes.resize(size);
    // Fewer bytes than the file's size promised is a failed read, not its end: taken
    // for the end, the rest of the file would be lost without a word.
    if (ReadFrom(m_source, position, m_bytes.data(), size) < size) {
        m_failed = true;
        m_decoded.Clear();
        return false;
    }
    atEnd = position + size >= m_size;
    m_decode(m_bytes, m_decoded);
    return true;
}

bool RecordReader::TakeLoaded(CMString& record, bool complete) {
    if (m_unit >= m_decoded.text.size()) return false;
    const std::wstring_view rest = std::wstring_view(m_decoded.text).substr(m_unit);
    const RecordEnd end = FindRecordEnd(rest, m_layout, m_loadedToEnd || complete);
    if (end.found) {
        record = CMString(rest.substr(0, end.start));
        m_unit += end.start + end.length;
        m_position = m_loadedAt + m_decoded.ends[m_unit - 1];
        return true;
    }
    if (!m_loadedToEnd) return false;
    record = CMString(rest);
    m_unit = m_decoded.text.size();
    m_position = m_size;
    return true;
}

RecordReader::Status RecordReader::Next(CMString& record) {
    // Reading ahead of the window costs little more per call and saves a read and a
    // decoding for each of the records that follow in it.
    constexpr size_t kReadAhead = 32 * 1024;
    static_assert(kReadAhead <= kMaxRecordBytes);
    while (m_position < m_size) {
        if (m_failed) return Status::Error;
        if (!TakeLoaded(record, false)) {
            size_t window = m_window;
            for (;;) {
                bool atEnd = true;
                m_unit = 0;
                // A read ahead that fails may still leave the window itself readable: the
                // records before the bad spot are read as they would be without it.
                if (!Load(m_position, std::max(window, kReadAhead), atEnd)) {
                    m_failed = false;
                    if (window >= kReadAhead || !Load(m_position, window, atEnd)) return Status::Error;
                }
                m_loadedAt = m_position;
                m_loadedToEnd = atEnd;
                if (TakeLoaded(record, window >= kMaxRecordBytes)) break;
                if (window >= kMaxRecordBytes) {
                    if (m_layout.quoted) SkipPastQuotedRecordEnd(m_position);
                    else SkipPastRecordEnd(m_position);
                    m_decoded.Clear();
                    m_unit = 0;
                    return Status::Overlong;
                }
                window = std::min(window * 2, kMaxRecordBytes);
            }
        }
        if (!IsBlankRecord(record.view(), m_layout)) return Status::Record;
    }
    return Status::End;
}

void RecordReader::SkipPastRecordEnd(uint64_t from) {
    const std::wstring_view delimiter = m_layout.RecordDelimiter().view();
    // The text loaded last holds no record end; go on from near its end, keeping enough
    // of its tail that a delimiter split across two reads is still seen.
    uint64_t scan = from;
    for (;;) {
        const size_t units = m_decoded.text.size();
        const size_t keep = delimiter.size() + 4;
        scan += units > keep ? m_decoded.ends[units - keep - 1] : m_bytes.size();
        bool atEnd = true;
        if (scan >= m_size || !Load(scan, kMaxRecordBytes, atEnd)) break;
        size_t at = m_decoded.text.find(delimiter);
        if (at != std::wstring::npos) {
            m_position = scan + m_decoded.ends[at + delimiter.size() - 1];
            return;
        }
        if (atEnd) break;
    }
    // A failed read leaves the position where it was: Next says so.
    if (!m_failed) m_position = m_size;
}

void RecordReader::SkipPastQuotedRecordEnd(uint64_t from) {
    // Quotation marks decide where the record ends, so it is walked from its start.
    QuotedScan scan(m_layout);
    uint64_t at = from;
    for (;;) {
        bool atEnd = true;
        if (at >= m_size || !Load(at, kMaxRecordBytes, atEnd)) break;
        size_t length = 0;
        const size_t end = scan.Find(m_decoded.text, length);
        if (end != std::wstring::npos) {
            m_position = at + m_decoded.ends[end + length - 1];
            return;
        }
        if (atEnd) break;
        at += m_decoded.ends.back();
    }
    if (!m_failed) m_position = m_size;
}

}  // namespace delimited
