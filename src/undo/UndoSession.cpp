#include "undo/UndoSession.h"

#include <windows.h>

#include <algorithm>
#include <ctime>

#include "app/AppGlobals.h"
#include "data/EngineCalls.h"
#include "data/PhonebookDB.h"
#include "resources/resource.h"
#include "util/Handles.h"

namespace undo {

namespace {

}  // namespace

Item ItemOfRecord(const EngineRecord& r) {
    Item item;
    item.id = r.Id();
    item.kind = r.Kind() == pbabi::kKindGroup ? kGroup : kEntry;
    item.fields[kName] = NameOf(r);
    if (item.kind == kGroup) {
        for (int i = 0; i < r.MemberCount(); ++i) item.members.push_back(r.Member(i));
        return item;
    }
    item.fields[kFax] = FaxOf(r);
    item.fields[kOrganization] = ExtensionOf(r, pbabi::kExtOrganization);
    item.fields[kPhone] = ExtensionOf(r, pbabi::kExtPhone);
    item.fields[kEmail] = ExtensionOf(r, pbabi::kExtEmail);
    item.fields[kMailbox] = ExtensionOf(r, pbabi::kExtMailbox);
    return item;
}

namespace {

Item ItemOf(const EngineRecord& r) { return ItemOfRecord(r); }

// The book through the wrapper, as the recorder and the plan read it.
class DbReader : public BookReader {
public:
    explicit DbReader(PhonebookDB& db) : m_db(db) {}
    bool Read(uint16_t id, Item& out) override {
        if (!m_scratch) m_scratch = m_db.NewEngineRecord();
        m_scratch.Clear();
        if (m_db.GetRecord(m_scratch, CMString(), CMString(), id) != pbabi::kOk) return false;
        out = ItemOf(m_scratch);
        return true;
    }
    bool All(std::vector<Item>& out) override {
        out.clear();
        return m_db.ForEachRecord([&](const EngineRecord& r) { out.push_back(ItemOf(r)); }) == pbabi::kOk;
    }

private:
    PhonebookDB& m_db;
    EngineRecord m_scratch;
};

class DbWriter : public BookWriter {
public:
    explicit DbWriter(PhonebookDB& db) : m_db(db), m_record(db.NewEngineRecord()) {}
    int Add(uint8_t kind, const Fields& f, uint16_t& newId) override {
        Fill(kind, f);
        const int code = m_db.AddRecord(m_record, false);
        newId = m_record.Id();
        return code;
    }
    int Modify(uint16_t id, uint8_t kind, const Fields& f) override {
        Fill(kind, f);
        int code = -1;
        m_db.ModifyRecord(id, m_record, code);
        return code;
    }
    int Remove(uint16_t id) override { return m_db.RemoveRecord(id); }
    int Join(uint16_t group, uint16_t entry) override { return m_db.AddMemberById(group, entry); }
    int Leave(uint16_t group, uint16_t entry) override { return m_db.RemoveMemberById(group, entry); }

private:
    void Fill(uint8_t kind, const Fields& f) {
        m_record.Clear();
        m_record.SetKind(kind == kGroup ? pbabi::kKindGroup : pbabi::kKindEntry);
        WriteFields(m_record, f[kName], f[kFax], f[kOrganization], f[kPhone], f[kEmail], f[kMailbox]);
    }
    PhonebookDB& m_db;
    EngineRecord m_record;
};

uint64_t PathHash(const CMString& path) {
    std::wstring upper(path.view());
    if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    uint64_t h = 1469598103934665603ull;
    for (wchar_t c : upper) {
        h ^= static_cast<uint16_t>(c);
        h *= 1099511628211ull;
    }
    return h;
}

CMString FullPath(const CMString& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(got);
    return CMString(full);
}

bool ReadWhole(const CMString& path, std::string& out) {
    out.clear();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (64ll << 20);
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = out.empty() || (ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size());
    }
    CloseHandle(file);
    return ok;
}

bool WriteWhole(const CMString& path, const std::string& text) {
    // Beside the log, then over it: a log is never left half rewritten.
    const CMString temp = path + L".new";
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD wrote = 0;
    bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) && wrote == text.size();
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    if (ok) ok = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) DeleteFileW(temp.c_str());
    return ok;
}

int64_t Now() { return static_cast<int64_t>(std::time(nullptr)); }

}  // namespace

CMString LogFolder() {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD n = GetEnvironmentVariableW(L"APPDATA", buffer, static_cast<DWORD>(std::size(buffer)));
    if (n == 0 || n >= std::size(buffer)) return CMString();
    CMString folder(buffer);
    for (const wchar_t* part : {L"\\Morva", L"\\PhoneBookEditor", L"\\Undo"}) {
        folder += part;
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return CMString();
    return folder + L"\\";
}

std::string FileIdentity(const CMString& path) {
    HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    BY_HANDLE_FILE_INFORMATION info = {};
    const bool ok = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!ok) return std::string();
    char text[64];
    snprintf(text, sizeof text, "%08lx-%08lx%08lx", static_cast<unsigned long>(info.dwVolumeSerialNumber),
             static_cast<unsigned long>(info.nFileIndexHigh), static_cast<unsigned long>(info.nFileIndexLow));
    return text;
}

Session::Session(PhonebookDB& db) : m_db(db), m_reader(std::make_unique<DbReader>(db)), m_recorder(*m_reader) {}

Session::~Session() = default;

bool Session::Attach() {
    const CMString folder = LogFolder();
    if (folder.IsEmpty() || m_db.GetPath().IsEmpty()) return false;
    m_bookPath = FullPath(m_db.GetPath());
    m_identity = FileIdentity(m_bookPath);
    if (m_identity.empty()) return false;
    m_logPath = folder + CMString::Formatted(L"%016llx.log", static_cast<unsigned long long>(PathHash(m_bookPath)));
    std::string text;
    ReadWhole(m_logPath, text);
    // Only the outline on opening: the changes' lines are read when they are asked for.
    const LogOutline outline = OutlineLog(text);
    // Another book at this path (or another path with the same hash): its log is not ours.
    const bool ours = !text.empty() && outline.identity == m_identity && outline.bookPath.EqualsNoCase(m_bookPath.c_str());
    if (!ours) {
        Compact({});
        return true;
    }
    m_nextSerial = outline.lastSerial + 1;
    m_onFile = outline.changes;
    // Cut short, too long, or holding what is kept no longer: written again as kept.
    if (outline.cutShort || outline.changes > 30 || Now() - outline.oldest > 30 * 24 * 3600) {
        LogContents log = ParseLog(text);
        for (const Change& c : log.changes) m_nextSerial = std::max(m_nextSerial, c.serial + 1);
        Prune(log.changes, Now());
        Compact(std::move(log.changes));
    }
    return true;
}

void Session::Compact(std::vector<Change> changes) {
    std::string text = EncodeHeader(m_bookPath, m_identity);
    for (const Change& c : changes) {
        text += EncodeChange(c);
        if (c.state != State::Pending) text += EncodeMark(c.serial, c.state);
    }
    WriteWhole(m_logPath, text);
    m_onFile = changes.size();
}

bool Session::Append(const std::string& text) {
    HANDLE file = CreateFileW(m_logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD wrote = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) && wrote == text.size();
    CloseHandle(file);
    return ok;
}

void Session::BatchBegan() {
    m_pendingSerial = 0;
    m_recorder.Begin();
}

void Session::BatchDiscarded() {
    m_recorder.Discard();
    m_pendingSerial = 0;
}

void Session::BeforeCommit() {
    m_pendingSerial = 0;
    if (!m_recorder.Active()) return;
    Change change = m_recorder.Take();
    if (change.Empty()) return;
    change.serial = m_nextSerial++;
    change.time = Now();
    change.undoes = m_undoing;
    change.label = m_label.IsEmpty() ? MakeLabel(change) : m_label;
    m_label.Empty();
    // Written before the commit: a writer that dies now leaves a change the next
    // session finds pending and settles against the book.
    if (Append(EncodeChange(change))) m_pendingSerial = change.serial;
}

void Session::AfterCommit(bool landed) {
    std::string marks;
    if (m_pendingSerial) marks += EncodeMark(m_pendingSerial, landed ? State::Done : State::Dropped);
    if (landed && m_undoing) marks += EncodeMark(m_undoing, State::Undone);
    if (!marks.empty()) Append(marks);
    if (m_pendingSerial && landed) ++m_onFile;
    m_pendingSerial = 0;
    // Now and then the log is cut back to what is kept.
    if (m_onFile > 30) Compact(Changes(true));
}

void Session::Settle(std::vector<Change>& changes) {
    bool pending = false;
    for (const Change& c : changes) pending = pending || c.state == State::Pending;
    if (!pending) return;
    std::vector<Item> book;
    if (!ReadBook(book)) return;
    std::string marks;
    for (Change& c : changes) {
        if (c.state != State::Pending) continue;
        c.state = Landed(c, book) ? State::Done : State::Dropped;
        marks += EncodeMark(c.serial, c.state);
    }
    Append(marks);
    changes.erase(std::remove_if(changes.begin(), changes.end(), [](const Change& c) { return c.state == State::Dropped; }),
                  changes.end());
}

std::vector<Change> Session::Changes(bool all) {
    std::string text;
    if (!ReadWhole(m_logPath, text)) return {};
    LogContents log = ParseLog(text);
    if (log.identity != m_identity) return {};
    Settle(log.changes);
    Prune(log.changes, Now());
    if (all) return std::move(log.changes);
    std::vector<Change> offered;
    for (Change& c : log.changes)
        if (c.state == State::Done && c.undoes == 0) offered.push_back(std::move(c));
    return offered;
}

bool Session::ReadBook(std::vector<Item>& out) {
    out.clear();
    return m_db.ForEachRecord([&](const EngineRecord& r) { out.push_back(ItemOf(r)); }) == pbabi::kOk;
}

Session::Outcome Session::TakeBack(uint32_t serial, bool dryRun,
                                   const std::function<bool(const Change&, const UndoPlan&)>& confirm) {
    Outcome outcome;
    std::vector<Change> changes = Changes();
    auto it = changes.end();
    if (serial == 0 && !changes.empty()) it = changes.end() - 1;
    else it = std::find_if(changes.begin(), changes.end(), [&](const Change& c) { return c.serial == serial; });
    if (it == changes.end()) return outcome;
    outcome.found = true;
    std::vector<Item> book;
    if (!ReadBook(book)) return outcome;
    outcome.read = true;
    outcome.plan = PlanUndo(*it, book);
    if (dryRun) return outcome;
    const bool go = !confirm || confirm(*it, outcome.plan);
    if (outcome.plan.Empty()) {
        // Nothing of it is left to take back: it is not offered again.
        Append(EncodeMark(it->serial, State::Undone));
        return outcome;
    }
    if (!go) return outcome;
    ChangeBatch batch(m_db);
    if (!batch.IsOpen()) return outcome;
    m_undoing = it->serial;
    m_label = CMString::Formatted(app::Text(IDS_UNDO_LABEL_UNDO).c_str(), it->label.c_str());
    DbWriter writer(m_db);
    outcome.applied = ApplyUndo(outcome.plan, writer);
    outcome.stored = batch.End(false);
    m_undoing = 0;
    m_label.Empty();
    return outcome;
}

CMString Session::MakeLabel(const Change& c) const {
    auto nameOf = [&](uint16_t id) {
        Item item;
        return m_reader->Read(id, item) ? item.fields[kName] : CMString();
    };
    const bool groupsOnly = c.removed.empty() && c.added.empty() &&
                            std::none_of(c.updated.begin(), c.updated.end(), [](const UpdatedRecord& u) { return u.kind == kEntry; });
    if (groupsOnly) {
        CMString group = !c.groupsMade.empty()       ? c.groupsMade[0].name
                         : !c.groupsRemoved.empty()  ? c.groupsRemoved[0].name
                         : !c.updated.empty()        ? nameOf(c.updated[0].id)
                         : !c.memberships.empty()    ? nameOf(c.memberships[0].group)
                                                     : CMString();
        return CMString::Formatted(app::Text(IDS_UNDO_LABEL_GROUP).c_str(), group.c_str());
    }
    const bool onlyRemoved = c.added.empty() && c.updated.empty() && c.groupsMade.empty();
    if (onlyRemoved && c.groupsRemoved.empty() && c.removed.size() == 1)
        return CMString::Formatted(app::Text(IDS_UNDO_LABEL_DELETE_ONE).c_str(), c.removed[0].fields[kName].c_str());
    if (onlyRemoved)
        return CMString::Formatted(app::Text(IDS_UNDO_LABEL_DELETE_MANY).c_str(),
                                   static_cast<unsigned>(c.removed.size() + c.groupsRemoved.size()));
    if (c.removed.empty() && c.updated.empty() && c.added.size() == 1)
        return CMString::Formatted(app::Text(IDS_UNDO_LABEL_ADD_ONE).c_str(), nameOf(c.added[0].id).c_str());
    if (c.removed.empty() && c.added.empty() && c.updated.size() == 1)
        return CMString::Formatted(app::Text(IDS_UNDO_LABEL_EDIT_ONE).c_str(), c.updated[0].before[kName].c_str());
    return CMString::Formatted(app::Text(IDS_UNDO_LABEL_CHANGE).c_str(), static_cast<unsigned>(c.added.size()),
                               static_cast<unsigned>(c.updated.size()), static_cast<unsigned>(c.removed.size()));
}

CMString PlanSummary(const UndoPlan& plan) {
    return CMString::Formatted(app::Text(IDS_UNDO_COUNTS).c_str(),
                               static_cast<unsigned>(plan.addEntries.size()), static_cast<unsigned>(plan.revert.size()),
                               static_cast<unsigned>(plan.removeEntries.size()),
                               static_cast<unsigned>(plan.memberships.size() + plan.makeGroups.size() +
                                                     plan.removeGroups.size()));
}

CMString ConflictList(const UndoPlan& plan) {
    constexpr size_t kShown = 8;
    CMString list;
    for (size_t i = 0; i < plan.conflicts.size() && i < kShown; ++i) {
        const Conflict& c = plan.conflicts[i];
        const unsigned id = c.kind == ConflictKind::ChangedSince ? IDS_UNDO_CONFLICT_CHANGED
                            : c.kind == ConflictKind::GoneSince  ? IDS_UNDO_CONFLICT_GONE
                                                                 : IDS_UNDO_CONFLICT_TAKEN;
        list += CMString::Formatted(app::Text(id).c_str(), c.name.c_str());
        list += L"\n";
    }
    if (plan.conflicts.size() > kShown)
        list += CMString::Formatted(app::Text(IDS_UNDO_CONFLICT_MORE).c_str(), static_cast<unsigned>(plan.conflicts.size() - kShown));
    return list;
}

}  // namespace undo
