// Delimited text import, fed arbitrary files under arbitrary settings. The first bytes
// choose the settings: flags (UTF-8, record and field delimiter kinds), the selected
// columns (its top bit: read the file by the names its first line gives, when it does),
// and any custom delimiters; the rest is the file.
//
// Besides not crashing, hanging or reading out of bounds, it checks that decoding
// accounts for every byte, that valid UTF-8 decodes as the library's converter does, and
// that every record imported is written back by the exporter in a form that parses to
// the same values whenever the form can carry them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "importexport/core/DelimitedText.h"
#include "importexport/core/NamedColumns.h"
#include "importexport/core/RecordReader.h"
#include "util/core/Utf.h"

using namespace delimited;

namespace {

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    uint64_t Size() const override { return m_bytes.size(); }
    size_t ReadAt(uint64_t offset, char* buffer, size_t size) override {
        if (offset >= m_bytes.size()) return 0;
        size_t n = std::min<size_t>(size, m_bytes.size() - static_cast<size_t>(offset));
        m_bytes.copy(buffer, n, static_cast<size_t>(offset));
        return n;
    }

private:
    std::string_view m_bytes;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckDecoded(std::string_view bytes, const DecodedText& decoded) {
    Check(decoded.text.size() == decoded.ends.size());
    uint32_t previous = 0;
    for (uint32_t end : decoded.ends) {
        Check(end > previous);
        previous = end;
    }
    Check(previous == bytes.size());
}

// A custom delimiter of 1 to 4 characters from the input, as the dialog's edit allows.
CMString TakeDelimiter(std::string_view& data) {
    size_t length = data.empty() ? 1 : 1 + static_cast<unsigned char>(data[0]) % 4;
    if (!data.empty()) data.remove_prefix(1);
    std::wstring text;
    for (size_t i = 0; i < length && !data.empty(); ++i) {
        text += static_cast<wchar_t>(static_cast<unsigned char>(data[0]));
        data.remove_prefix(1);
    }
    return text.empty() ? CMString(L";") : CMString(text);
}

bool Holds(const CMString& value, const CMString& part) { return value.Find(part.view()) >= 0; }

// The exporter's form cannot carry a quotation mark or the record delimiter, nor a
// delimiter that is or holds a quotation mark; other records must read back.
void CheckRoundTrip(const EntryFields& fields, const Layout& imported) {
    Layout layout;
    layout.recordDelimiter = imported.recordDelimiter;
    layout.fieldDelimiter = imported.fieldDelimiter;
    layout.columns = {Column::Name, Column::Fax, Column::Organization, Column::Phone, Column::Email, Column::Mailbox};
    if (layout.DelimitersEqual() || layout.FieldDelimiter().GetLength() != 1 ||
        layout.FieldDelimiter() == L"\"" || layout.RecordDelimiter().Find(L'"') >= 0)
        return;
    std::vector<CMString> values = {fields.name, fields.fax, fields.organization, fields.phone, fields.email,
                                    fields.mailbox};
    for (const CMString& value : values)
        if (value.Find(L'"') >= 0 || Holds(value, layout.RecordDelimiter())) return;
    CMString line = FormatRecord(values, layout);
    RecordEnd end = FindRecordEnd(line.view(), layout);
    Check(end.found);
    // Values and delimiters may run together into a record delimiter: not carried.
    if (end.start + end.length != static_cast<size_t>(line.GetLength())) return;
    EntryFields back;
    Check(ParseRecord(line.Left(static_cast<int>(end.start)), layout, back));
    Check(back.name == fields.name && back.fax == fields.fax && back.organization == fields.organization &&
          back.phone == fields.phone && back.email == fields.email && back.mailbox == fields.mailbox);
}

// The ANSI code page as Latin-1: one character per byte, as a single-byte page decodes.
void DecodeLatin1(std::string_view bytes, DecodedText& out) {
    out.Clear();
    for (size_t i = 0; i < bytes.size(); ++i) {
        out.text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i])));
        out.ends.push_back(static_cast<uint32_t>(i + 1));
    }
}

// Every record of the file, each moving the reader on (an overlong one handed over as
// null); the reader ends at the file's end.
template <typename OnRecord>
void EachRecord(RecordReader& reader, size_t size, OnRecord onRecord) {
    CMString record;
    uint64_t before = reader.Position();
    for (;;) {
        const RecordReader::Status status = reader.Next(record);
        if (status == RecordReader::Status::End) break;
        // Memory never fails to read.
        Check(status != RecordReader::Status::Error);
        Check(reader.Position() > before && reader.Position() <= size);
        before = reader.Position();
        onRecord(status == RecordReader::Status::Overlong ? nullptr : &record);
    }
    Check(reader.Position() == size);
}

// A file whose first line may name its columns, read as the import reads it.
void ReadByNames(std::string_view data, const Layout& layout, bool utf8, const CharacterRules& rules) {
    static const ColumnNames names;
    MemorySource source(data);
    const FileStart start = DetectFileEncoding(source, utf8);
    const Header header = RecogniseHeader(source, start, layout, DecodeLatin1, rules, names);
    Check(header.recognised <= header.columnCount && header.dataStart <= data.size());
    for (const Header::Use& use : header.uses) Check(use.index < header.columnCount);
    if (!header.named) return;
    RecordReader reader(source, ReadingLayout(header, layout), start, DecodeLatin1, header.dataStart);
    EachRecord(reader, data.size(), [&](const CMString* record) {
        if (!record) return;
        ImportNamed(*record, header, layout, rules, [&](const EntryFields& fields) {
            Check(!fields.fax.IsEmpty());
            return 0;
        });
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    std::string_view data(reinterpret_cast<const char*>(bytes), size);
    if (data.size() < 2) return 0;
    const unsigned flags = static_cast<unsigned char>(data[0]);
    const unsigned columnBits = static_cast<unsigned char>(data[1]);
    data.remove_prefix(2);

    Layout layout;
    static const wchar_t* const kRecord[] = {L"\r", L"\r\n", L"\f"};
    static const wchar_t* const kField[] = {L",", L"\t"};
    layout.recordDelimiter = (flags >> 1) % 4 == 3 ? TakeDelimiter(data) : CMString(kRecord[(flags >> 1) % 4]);
    layout.fieldDelimiter = (flags >> 3) % 3 == 2 ? TakeDelimiter(data) : CMString(kField[(flags >> 3) % 3]);
    if (flags & 0x20) layout.fieldDelimiter = layout.recordDelimiter;
    // Columns in a rotated order, so the name need not come first.
    for (int i = 0; i < kColumnCount; ++i) {
        int column = (i + static_cast<int>(flags >> 6)) % kColumnCount;
        if (columnBits & (1u << column)) layout.columns.push_back(static_cast<Column>(column));
    }
    const bool utf8 = flags & 1;
    const CharacterRules rules = {L"0123456789 +()/.*#,-", L"0123456789"};
    if (columnBits & 0x80) {
        ReadByNames(data, layout, utf8, rules);
        return 0;
    }

    DecodedText decoded;
    DecodeUtf8(data, decoded);
    CheckDecoded(data, decoded);
    if (mrv::IsValidUtf8(data)) Check(decoded.text == mrv::Utf8ToWide(data));
    DecodeUtf16LE(data, decoded);
    CheckDecoded(data, decoded);

    MemorySource source(data);
    RecordReader reader(source, layout, utf8);
    ImportCounters counters;
    EachRecord(reader, data.size(), [&](const CMString* record) {
        if (!record) {
            counters.Count(RecordOutcome::Rejected);
            return;
        }
        Check(!record->IsBlank());
        counters.Count(ImportOne(*record, layout, rules, [&](const EntryFields& fields) {
            Check(!fields.fax.IsEmpty() && fields.fax.Find(L'-') < 0);
            CheckRoundTrip(fields, layout);
            return 0;
        }));
    });
    Check(counters.read == counters.imported + counters.rejected);
    Check(counters.read <= data.size());
    return 0;
}
