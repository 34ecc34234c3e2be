#include "importexport/DelimitedTextFile.h"

#include <string>
#include <unordered_map>

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "data/CPhonebook.h"
#include "importexport/FileByteSource.h"
#include "importexport/core/NamedColumns.h"
#include "importexport/core/RecordReader.h"
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
// A vCard file is read whole; past this it is not one of a phone book's size.
constexpr uint64_t kMaxCardFileBytes = 256u << 20;

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
        written = cards ? WriteCards(file.Get()) : WriteRecords(file.Get(), lacking);
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

bool DelimitedTextFile::WriteCards(HANDLE file) {
    PhonebookDB& db = m_model.Database();
    RecordList records;
    db.Enumerate(records, true);
    // Each entry's groups, read once: a card lists them as its categories.
    std::unordered_map<int, std::vector<CMString>> groupsOf;
    std::unordered_map<int, const PhonebookRecord*> byId;
    RecordList members;
    for (const auto& r : records) {
        if (!r->IsGroup()) {
            byId.emplace(r->id, r.get());
            continue;
        }
        CMString name(r->name);
        if (name.GetLength() >= 2 && name.GetAt(0) == L'[') name = name.Mid(1, name.GetLength() - 2);
        members.clear();
        if (db.ReadRecordById(static_cast<uint16_t>(r->id & 0xFFFF))) db.ListGroupMembers(members);
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
        const int id = list ? static_cast<int>(list->GetItemData(row)) : -1;
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

bool DelimitedTextFile::WriteRecords(HANDLE file, uint32_t& lacking) {
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
    RecordList records;
    m_model.Database().Enumerate(records, false);
    std::unordered_map<int, const PhonebookRecord*> byId;
    for (const auto& record : records) byId.emplace(record->id, record.get());
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
        if (auto it = list ? byId.find(list->GetItemData(row)) : byId.end(); it != byId.end()) {
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

bool DelimitedTextFile::ImportFromFile(const CMString& path) {
    m_counters = ImportCounters();
    m_header = Header();
    m_summary = MessageSource();
    m_stored = true;
    m_update.reset();
    m_groups.clear();
    m_groupsKnown = false;
    UniqueFile file = OpenForReading(path, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file) {
        ShowMessageBox(m_owner, app::Text(IDS_FILE_ACCESS_FAILED), app::Text(IDS_IMPORT_CAPTION), MB_ICONEXCLAMATION);
        return false;
    }
    {
        WaitCursor wait;
        RedrawOff redraw(m_model.ActiveList());
        // The whole import lands in one commit, or none of it does.
        ChangeBatch batch(m_model.Database());
        FileByteSource source(file.Get());
        if (m_settings.update) StartUpdate();
        if (IsVCardFile(source)) {
            ImportCards(source);
        } else {
            ImportRecords(source);
        }
        if (!batch.End()) {
            m_counters.imported = m_counters.updated = 0;
            m_stored = false;
        }
    }
    file.Reset();
    if (m_namesOnly) return !m_counters.readFailed;
    m_summary.message =
        ImportSummary(m_counters, static_cast<unsigned>(m_settings.capacity), app::Text, m_update != nullptr);
    if (!m_summary.message.IsEmpty()) {
        m_summary.caption = app::Text(IDS_IMPORT_CAPTION);
        m_summary.button = app::Text(IDS_CLOSE);
        ShowMessageDialog(m_owner, &m_summary, MessageDialogKind::Notice);
    }
    return !m_counters.readFailed;
}

void DelimitedTextFile::StartUpdate() {
    RecordList records;
    m_model.Database().Enumerate(records, false);
    std::vector<StoredEntry> entries;
    entries.reserve(records.size());
    for (const auto& r : records)
        entries.push_back({static_cast<uint16_t>(r->id & 0xFFFF),
                           {r->name, {}, {}, r->fax, r->organization, r->phone, r->email,
                            r->mailbox ? CMString::Formatted(L"%u", unsigned{r->mailbox}) : CMString()}});
    m_update = std::make_unique<BookUpdate>(std::move(entries));
}

void DelimitedTextFile::ImportRecords(ByteSource& source) {
    const FileStart encoding = DetectFileEncoding(source, m_settings.utf8, GetACP());
    m_header = Recognise(source, encoding);
    m_present = m_header.named ? FieldsTaken(m_header, m_settings.layout.columns) : m_settings.layout.columns;
    RecordReader reader(source, m_header.named ? ReadingLayout(m_header, m_settings.layout) : m_settings.layout,
                        encoding, DecodeAnsi, m_header.dataStart);
    CMString record;
    for (;;) {
        RecordReader::Status status = reader.Next(record);
        if (status == RecordReader::Status::End) break;
        // What was read stays imported; the summary says where the file failed.
        if (status == RecordReader::Status::Error) {
            m_counters.readFailed = true;
            break;
        }
        if (status == RecordReader::Status::Overlong) {
            if (BookIsFull()) break;
            m_counters.Count(RecordOutcome::Rejected);
            continue;
        }
        if (!ImportRecord(record)) break;
        if (m_settings.progress && m_counters.read % kProgressStep == 0)
            m_settings.progress(reader.Position(), source.Size());
    }
}

bool DelimitedTextFile::IsVCardFile(ByteSource& source) {
    char head[512];
    const size_t got = ReadFrom(source, 0, head, static_cast<size_t>(std::min<uint64_t>(source.Size(), sizeof head)));
    return vcard::IsVCard(std::string_view(head, got));
}

void DelimitedTextFile::ImportCards(ByteSource& source) {
    // Cards are small; the file is read whole (in pieces, so a failed read is known).
    std::string bytes;
    bytes.resize(static_cast<size_t>(std::min<uint64_t>(source.Size(), kMaxCardFileBytes)));
    const size_t got = ReadFrom(source, 0, bytes.data(), bytes.size());
    if (got < bytes.size() || source.Size() > kMaxCardFileBytes) m_counters.readFailed = true;
    bytes.resize(got);
    bool unicode = false;
    const std::string text = vcard::Utf8Bytes(bytes, unicode);
    bytes = std::string();
    vcard::Reader reader(text, unicode, DecodeAnsi);
    const CharacterRules rules = Rules();
    vcard::Card card;
    while (reader.Next(card)) {
        if (BookIsFull()) break;
        // A card replaces the fields it has; it cannot say that one is gone.
        m_present = {Column::Name, Column::Fax};
        if (!card.fields.organization.IsEmpty()) m_present.push_back(Column::Organization);
        if (!card.fields.phone.IsEmpty()) m_present.push_back(Column::Phone);
        if (!card.fields.email.IsEmpty()) m_present.push_back(Column::Email);
        RecordOutcome outcome = RecordOutcome::Rejected;
        if (!card.fields.name.IsEmpty() &&
            CheckRecord(card.fields, rules.allowedFax, rules.allowedMailbox) == RecordCheck::Accepted)
            outcome = OutcomeOf(Store(card.fields, card.groups));
        m_counters.Count(outcome);
        if (m_settings.progress && m_counters.read % kProgressStep == 0)
            m_settings.progress(reader.Position(), text.size());
    }
}

int DelimitedTextFile::Store(const EntryFields& fields, const std::vector<CMString>& groups) {
    EntryFields stored = fields;
    const int code = AddOrUpdate(fields, &stored);
    if (m_namesOnly || groups.empty() || (code != 0 && code != kEntryUpdated && code != kEntryUnchanged && code != pbabi::kNameInUse))
        return code;
    PhonebookDB& db = m_model.Database();
    if (!m_groupsKnown) {
        // The book's groups by name, once: the import creates those it lacks.
        m_groupsKnown = true;
        RecordList records;
        db.Enumerate(records, true);
        for (const auto& r : records) {
            if (!r->IsGroup()) continue;
            CMString name(r->name);
            if (name.GetLength() >= 2 && name.GetAt(0) == L'[') name = name.Mid(1, name.GetLength() - 2);
            m_groups.emplace(GroupKey(name), static_cast<uint16_t>(r->id & 0xFFFF));
        }
    }
    for (const CMString& group : groups) {
        auto it = m_groups.find(GroupKey(group));
        if (it == m_groups.end()) {
            CMString name = group;
            uint16_t id = 0;
            if (!db.CreateGroup(name, &id, false)) continue;
            it = m_groups.emplace(GroupKey(group), id).first;
        }
        db.AddGroupMember(it->second, stored.name, stored.fax);
    }
    return code;
}

std::wstring DelimitedTextFile::GroupKey(const CMString& name) {
    CMString key = name;
    key.MakeLower();
    return std::wstring(key.view());
}

bool DelimitedTextFile::ImportRecord(const CMString& recordText) {
    if (BookIsFull()) return false;
    const CharacterRules rules = Rules();
    const AddEntry add = [this](const EntryFields& f) {
        return f.groups.IsEmpty() ? AddOrUpdate(f) : Store(f, vcard::SplitGroupNames(f.groups.view()));
    };
    RecordOutcome outcome = m_header.named ? ImportNamed(recordText, m_header, m_settings.layout, rules, add)
                                           : ImportOne(recordText, m_settings.layout, rules, add);
    m_counters.Count(outcome);
    return true;
}

int DelimitedTextFile::AddOrUpdate(const EntryFields& f, EntryFields* stored) {
    auto addEntry = [&] {
        return m_model.AddFromFields(f.name, f.fax, f.organization, f.phone, f.email, f.mailbox, false, false);
    };
    if (!m_update) return addEntry();
    m_update->Named(f.name);
    if (m_namesOnly) return kEntryUnchanged;
    uint16_t id = 0;
    EntryFields merged;
    switch (m_update->Decide(f, m_present, &id, &merged)) {
        case UpdateAction::Unchanged: return kEntryUnchanged;
        case UpdateAction::Add: {
            // Only a record the same file gave before meets "already present" here.
            const int code = addEntry();
            return code == pbabi::kNameInUse ? kEntryUnchanged : code;
        }
        case UpdateAction::Update: break;
    }
    // In place, so the entry keeps its id and its groups.
    const int code = m_model.ModifyFromFields(id, merged.name, merged.fax, merged.organization, merged.phone,
                                              merged.email, merged.mailbox);
    if (code != pbabi::kOk) return code == pbabi::kNameInUse ? kEntryUnchanged : code;
    m_update->Updated(id, merged);
    if (stored) *stored = merged;
    return kEntryUpdated;
}

std::vector<uint16_t> DelimitedTextFile::UnnamedEntries() const {
    return m_update ? m_update->Unnamed() : std::vector<uint16_t>();
}

DelimitedTextFile::SyncResult DelimitedTextFile::SyncFromFile(const CMString& path, bool allowShrink) {
    SyncResult result;
    PhonebookDB& db = m_model.Database();
    // The import's own batches nest inside this one: everything lands together or not at all.
    if (!db.BeginChanges()) return result;
    m_settings.update = true;
    // First the names the file gives, so the entries it no longer names make room for
    // the ones it adds; then the import itself.
    m_namesOnly = true;
    bool read = ImportFromFile(path);
    m_namesOnly = false;
    const std::vector<uint16_t> gone = UnnamedEntries();
    result.refusal = CheckSync(read, m_counters.Accepted(), gone.size(), m_update ? m_update->EntryCount() : 0,
                               allowShrink);
    if (result.refusal == SyncRefusal::None) {
        for (uint16_t id : gone)
            if (db.RemoveRecord(id) == pbabi::kOk) ++result.removed;
        read = ImportFromFile(path);
        // The file that changed under the second reading is not the one the first judged.
        if (!read) result.refusal = SyncRefusal::ReadFailed;
    }
    if (result.refusal != SyncRefusal::None || !m_stored) {
        db.Close();
        result.removed = 0;
        return result;
    }
    result.stored = db.EndChanges();
    if (!result.stored) result.removed = 0;
    return result;
}

bool DelimitedTextFile::BookIsFull() const {
    // Records that update need no room: only an import that adds stops at a full book.
    return !m_settings.update && m_model.GetItemCount() >= m_settings.capacity;
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
    return IsVCardFile(source);
}

DelimitedTextFile::Glance DelimitedTextFile::Look(const CMString& path) {
    Glance glance;
    UniqueFile file = OpenForReading(path, 0);
    if (!file) return glance;
    glance.opened = true;
    FileByteSource source(file.Get());
    glance.cards = IsVCardFile(source);
    if (glance.cards) {
        std::string bytes(static_cast<size_t>(std::min<uint64_t>(source.Size(), kMaxCardFileBytes)), '\0');
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
