#include "importexport/DelimitedTextFile.h"

#include <string>
#include <unordered_map>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "data/CPhonebook.h"
#include "importexport/FileByteSource.h"
#include "importexport/core/NamedColumns.h"
#include "importexport/core/RecordReader.h"
#include "importexport/core/Sources.h"
#include "importexport/core/VCard.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/text_ids.h"
#include "util/Handles.h"
#include "util/ResourceLoader.h"
#include "util/TextResourceLoader.h"

using namespace delimited;

namespace {

// The list stops painting while rows are read or the book changes under it, and is
// painted once, whole, afterwards.
class RedrawOff {
public:
    explicit RedrawOff(ListViewUIControl* list) : m_list(list) {
        if (m_list) m_list->SetRedraw(false);
    }
    ~RedrawOff() {
        if (!m_list) return;
        m_list->SetRedraw(true);
        if (m_list->ListWindow()) UpdateWindow(m_list->ListWindow());
    }
    RedrawOff(const RedrawOff&) = delete;
    RedrawOff& operator=(const RedrawOff&) = delete;

private:
    ListViewUIControl* m_list;
};

// The file is read while another program holds it open, as a spreadsheet keeps the
// file it shows: the same sharing for examining and for importing.
UniqueFile OpenForReading(const CMString& path, DWORD flags) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | flags, nullptr));
}

// Records between two progress reports.
constexpr unsigned kProgressStep = 100;

}  // namespace

DelimitedTextFile::DelimitedTextFile(CPhonebook& model, HWND owner) : m_model(model), m_owner(owner) {}

CMString DelimitedTextFile::QuoteField(const CMString& value) const {
    return delimited::QuoteField(value, m_settings.layout.FieldDelimiter());
}

bool DelimitedTextFile::ExportToFile(const CMString& typedPath) {
    const bool cards = vcard::HasVCardExtension(typedPath);
    const CMString path = cards ? typedPath : WithExportExtension(typedPath);
    const CMString caption = app::Text(IDS_EXPORT_CAPTION);
    {
        UniqueFile existing(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (existing) {
            CMString message = app::Text(IDS_LABEL_FILE) + L" " + path + L"\n";
            BY_HANDLE_FILE_INFORMATION info = {};
            GetFileInformationByHandle(existing.Get(), &info);
            existing.Reset();
            if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
                ShowMessageBox(m_owner, message + app::Text(IDS_TARGET_READONLY), caption, MB_ICONERROR, false);
                return false;
            }
            if (ShowMessageBox(m_owner, message + app::Text(IDS_TARGET_REPLACE), caption, MB_YESNO | MB_ICONQUESTION,
                               false) != IDYES)
                return false;
        }
    }
    // The book is read before the file is made: a book another program is changing
    // leaves an existing file as it was.
    RecordList records;
    {
        WaitCursor wait;
        if (const int code = m_model.Database().Enumerate(records, cards); code != pbabi::kOk) {
            OwnerScope owner(m_model.Database(), m_owner);
            m_model.Database().ShowReadFailed(code);
            return false;
        }
    }
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        ShowMessageBox(m_owner, app::Text(IDS_FILE_ACCESS_FAILED), caption, MB_ICONEXCLAMATION);
        return false;
    }
    bool written;
    uint32_t lacking = 0;
    {
        WaitCursor wait;
        RedrawOff redraw(m_model.ActiveList());
        written = cards ? WriteCards(file.Get(), records) : WriteRecords(file.Get(), records, lacking);
    }
    file.Reset();
    if (!written) {
        // A disk that fills up must not pass for a finished export.
        ShowMessageBox(m_owner, app::Text(IDS_FILE_ACCESS_FAILED), caption, MB_ICONEXCLAMATION);
        return false;
    }
    m_summary = MessageSource();
    if (lacking > 0) {
        // Names that come back otherwise on import are worth a word.
        m_summary.message = CMString::Formatted(app::Text(IDS_EXPORT_LACKING).c_str(), unsigned{lacking});
        m_summary.caption = caption;
        m_summary.button = app::Text(IDS_CLOSE);
        ShowMessageDialog(m_owner, &m_summary, MessageDialogKind::Notice);
    }
    return true;
}

bool DelimitedTextFile::WriteCards(HANDLE file, const RecordList& records) {
    PhonebookDB& db = m_model.Database();
    // Each entry's groups, read once: a card lists them as its categories. Ids in their
    // one form, 16 bits unsigned, wherever they come from.
    std::unordered_map<uint16_t, std::vector<CMString>> groupsOf;
    std::unordered_map<uint16_t, const PhonebookRecord*> byId;
    RecordList members;
    for (const auto& r : records) {
        const uint16_t id = r->id;
        if (!r->IsGroup()) {
            byId.emplace(id, r.get());
            continue;
        }
        const CMString name = WithoutBrackets(r->name);
        members.clear();
        if (db.ReadRecordById(id)) db.ListGroupMembers(members);
        for (const auto& m : members) groupsOf[m->id].push_back(name);
    }
    const ListViewUIControl* list = m_model.ActiveList();
    const int rows = m_model.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (m_settings.progress && row % kProgressStep == 0) m_settings.progress(row, rows);
        if (!m_model.IsEntryRow(row)) continue;
        vcard::ExportedEntry e;
        e.name = m_model.GetRowName(row);
        e.fax = m_model.GetRowFax(row);
        const uint16_t id = list ? static_cast<uint16_t>(list->GetItemData(row)) : pbabi::kNoId;
        auto it = byId.find(id);
        if (it != byId.end() && e.name == CMString(it->second->name) && e.fax == CMString(it->second->fax)) {
            e.organization = it->second->organization;
            e.phone = it->second->phone;
            e.email = it->second->email;
            if (auto g = groupsOf.find(id); g != groupsOf.end()) e.groups = g->second;
        } else {
            e.organization = m_model.GetRowOrganization(row);
            e.phone = m_model.GetRowPhone(row);
            e.email = m_model.GetRowEmail(row);
        }
        const std::string bytes = vcard::FormatCard(e);
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
            return false;
    }
    if (m_settings.progress) m_settings.progress(rows, rows);
    return true;
}

bool DelimitedTextFile::WriteRecords(HANDLE file, const RecordList& records, uint32_t& lacking) {
    Layout layout = m_settings.layout;
    layout.quoted = m_settings.header;
    // With UTF-8 as the system's ANSI code page, its text is UTF-8 (and lacks nothing).
    const bool utf8 = m_settings.utf8 || GetACP() == kUtf8CodePage;
    auto write = [&](const CMString& line) {
        const std::string bytes = utf8 ? line.ToUtf8() : EncodeAnsi(line, lacking);
        DWORD written = 0;
        return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size();
    };
    if (m_settings.header) {
        std::vector<CMString> labels;
        for (Column column : layout.columns) labels.push_back(ColumnLabel(column));
        if (!write(FormatRecord(labels, layout))) return false;
    }
    // Reading the file again for every cell of every row costs seconds for a full book
    // under the engine's per-call price: one enumeration gives every entry's fields. A
    // row takes its record by id when name and fax number agree, else it is read as the
    // model reads rows.
    std::unordered_map<uint16_t, const PhonebookRecord*> byId;
    for (const auto& record : records)
        if (!record->IsGroup()) byId.emplace(record->id, record.get());
    const ListViewUIControl* list = m_model.ActiveList();

    std::vector<CMString> values;
    values.reserve(layout.columns.size());
    const int rows = m_model.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (m_settings.progress && row % kProgressStep == 0) m_settings.progress(row, rows);
        if (!m_model.IsEntryRow(row)) continue;
        const CMString name = m_model.GetRowName(row);
        const CMString fax = m_model.GetRowFax(row);
        const PhonebookRecord* stored = nullptr;
        if (auto it = list ? byId.find(static_cast<uint16_t>(list->GetItemData(row))) : byId.end(); it != byId.end()) {
            if (name == CMString(it->second->name) && fax == CMString(it->second->fax)) stored = it->second;
        }
        values.clear();
        for (Column column : layout.columns) {
            switch (column) {
                case Column::Name: values.push_back(name); break;
                case Column::Fax: values.push_back(fax); break;
                case Column::Organization:
                    values.push_back(stored ? CMString(stored->organization) : m_model.GetRowOrganization(row));
                    break;
                case Column::Phone: values.push_back(stored ? CMString(stored->phone) : m_model.GetRowPhone(row)); break;
                case Column::Email: values.push_back(stored ? CMString(stored->email) : m_model.GetRowEmail(row)); break;
                case Column::Mailbox:
                    // The mailbox is a number; none is an empty field.
                    values.push_back(stored ? (stored->mailbox ? CMString::Formatted(L"%u", stored->mailbox) : CMString())
                                            : m_model.GetRowMailbox(row));
                    break;
                // A stored entry has no name parts: their fields stay empty.
                case Column::FirstNamePart:
                case Column::SecondNamePart: values.emplace_back(); break;
            }
        }
        if (!write(FormatRecord(values, layout))) return false;
    }
    if (m_settings.progress) m_settings.progress(rows, rows);
    return true;
}

bool DelimitedTextFile::Read(const CMString& path, intake::SourceRead& out) {
    out = intake::SourceRead();
    m_header = Header();
    UniqueFile file = OpenForReading(path, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) {
        ShowMessageBox(m_owner, app::Text(IDS_FILE_ACCESS_FAILED), app::Text(IDS_IMPORT_CAPTION), MB_ICONEXCLAMATION);
        return false;
    }
    WaitCursor wait;
    FileByteSource source(file.Get());
    if (sources::IsCardFile(source)) {
        out = sources::ReadCards(source, DecodeAnsi, Rules(), m_settings.progress);
        return true;
    }
    sources::TextFile text;
    text.encoding = DetectFileEncoding(source, m_settings.utf8, GetACP());
    m_header = Recognise(source, text.encoding);
    text.header = m_header;
    text.chosen = m_settings.layout;
    text.ansi = DecodeAnsi;
    text.rules = Rules();
    out = sources::ReadText(source, text, m_settings.progress);
    return true;
}

CharacterRules DelimitedTextFile::Rules() const { return {m_model.AllowedFaxChars(), m_model.AllowedMailboxChars()}; }

Header DelimitedTextFile::Recognise(ByteSource& source, const FileStart& encoding) const {
    return RecogniseHeader(source, encoding, m_settings.layout, DecodeAnsi, Rules(), ShippedColumnNames());
}

Header DelimitedTextFile::Examine(const CMString& path) const {
    UniqueFile file = OpenForReading(path, 0);
    if (!file) return Header();
    FileByteSource source(file.Get());
    return Recognise(source, DetectFileEncoding(source, m_settings.utf8, GetACP()));
}

bool DelimitedTextFile::IsVCard(const CMString& path) {
    UniqueFile file = OpenForReading(path, 0);
    if (!file) return false;
    FileByteSource source(file.Get());
    return sources::IsCardFile(source);
}

DelimitedTextFile::Glance DelimitedTextFile::Look(const CMString& path) {
    Glance glance;
    UniqueFile file = OpenForReading(path, 0);
    if (!file) return glance;
    glance.opened = true;
    FileByteSource source(file.Get());
    glance.cards = sources::IsCardFile(source);
    if (glance.cards) {
        std::string bytes(static_cast<size_t>(std::min<uint64_t>(source.Size(), sources::kMaxCardFileBytes)), '\0');
        bytes.resize(ReadFrom(source, 0, bytes.data(), bytes.size()));
        bool unicode = false;
        glance.cardCount = vcard::CountCards(vcard::Utf8Bytes(bytes, unicode));
        return glance;
    }
    for (bool utf8 : {false, true}) glance.encoding[utf8] = DetectFileEncoding(source, utf8, GetACP());
    // The header and the first record after it: the reader never takes more of a record.
    glance.head.resize(static_cast<size_t>(std::min<uint64_t>(source.Size(), 2 * RecordReader::kMaxRecordBytes + 16)));
    glance.head.resize(ReadFrom(source, 0, glance.head.data(), glance.head.size()));
    return glance;
}

Header DelimitedTextFile::Examine(const Glance& glance) const {
    if (!glance.opened || glance.cards) return Header();
    MemoryBytes source(glance.head);
    return Recognise(source, glance.encoding[m_settings.utf8]);
}

bool ColumnFromLabel(const CMString& label, Column& column) {
    for (int i = 0; i < kColumnCount; ++i) {
        if (label == app::Text(ColumnLabelId(static_cast<Column>(i)))) {
            column = static_cast<Column>(i);
            return true;
        }
    }
    return false;
}

CMString ColumnLabel(Column column) { return app::Text(ColumnLabelId(column)); }

const ColumnNames& ShippedColumnNames() {
    // Every shipped language lies in a folder beside the one in use.
    CMString root = TextResourceLoader::LoadedPath();
    for (int up = 0; up < 2 && root.ReverseFind(L'\\') >= 0; ++up) root = root.Left(root.ReverseFind(L'\\'));
    static CMString builtFor;
    static ColumnNames names;
    static bool built = false;
    if (built && root == builtFor) return names;
    names = ColumnNames();
    for (int i = 0; i < kColumnCount; ++i) names.AddLabel(static_cast<Column>(i), ColumnLabel(static_cast<Column>(i)));
    WIN32_FIND_DATAW found;
    HANDLE find = root.IsEmpty() ? INVALID_HANDLE_VALUE : FindFirstFileW((root + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || found.cFileName[0] == L'.') continue;
            ResourceLoader library;
            if (!library.LoadDll(root + L"\\" + found.cFileName + L"\\m2txtZY.dll")) continue;
            for (int i = 0; i < kColumnCount; ++i)
                names.AddLabel(static_cast<Column>(i), library.LoadStringW(ColumnLabelId(static_cast<Column>(i))));
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    builtFor = root;
    built = true;
    return names;
}
