#include "BookJobs.h"
#include "CardDavJob.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "Console.h"
#include "controls/MessageDialog.h"
#include "data/CPhonebook.h"
#include "importexport/DelimitedTextFile.h"
#include "importexport/core/VCard.h"
#include "directory/LdapReader.h"
#include "directory/core/Filter.h"
#include "intake/Applier.h"
#include "intake/core/PlanText.h"
#include "app/AppGlobals.h"
#include "resources/text_ids.h"
#include "mainwindow/ListViewUIControl.h"
#include "util/TextResourceLoader.h"

namespace pbtool {
namespace {

constexpr uint16_t kListId = 1000;

std::wstring W(const CMString& text) { return text.str(); }

bool Exists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteProtected(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 2, buffer, nullptr);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : path;
}

// The messages the program's code would have shown: kept in order, questions answered
// (yes only when the caller allows replacing a file, the one question these jobs ask).
class Messages {
public:
    explicit Messages(bool replace) {
        SetMessageSink([this, replace](const CMString& caption, const CMString& text, UINT style) {
            const UINT type = style & MB_TYPEMASK;
            const bool question = type == MB_YESNO || type == MB_OKCANCEL;
            // A question answered as the command line asked is no news.
            if (!(question && replace)) m_texts.push_back(caption.IsEmpty() ? text : caption + L": " + text);
            if (type == MB_YESNO) return replace ? IDYES : IDNO;
            if (type == MB_OKCANCEL) return replace ? IDOK : IDCANCEL;
            return IDOK;
        });
    }
    ~Messages() { SetMessageSink({}); }
    Messages(const Messages&) = delete;
    Messages& operator=(const Messages&) = delete;

    // Writes every message but the one given (shown elsewhere) to standard error.
    void Flush(const CMString& except = CMString()) {
        for (const auto& text : m_texts) {
            if (except.IsEmpty() || text.Find(except.view()) < 0) {
                CMString line = text;
                line.Replace(L"\r\n", L"\n");
                Out(stderr, L"pbtool: " + W(line) + L"\n");
            }
        }
        m_texts.clear();
    }

private:
    std::vector<CMString> m_texts;
};

}  // namespace

// The texts come from the language library as they do for the program: the allowed
// fax characters and the column names of header lines among them.
bool LoadLanguage() {
    if (!TextResourceLoader::LoadedPath().IsEmpty()) return true;
    const CMString path = TextResourceLoader::LibraryPathFor(TextResourceLoader::GetCurrentUserUILanguage());
    if (TextResourceLoader::Initialize(path, false)) return true;
    Fail(kExitFailed, L"the language library cannot be loaded (" + W(path) + L")");
    return false;
}

namespace {

// A book open in a model whose main list is a list view of a window never shown, so
// the jobs see the rows the main window would list.
class OpenBook {
public:
    OpenBook() {
        INITCOMMONCONTROLSEX init = {sizeof init, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&init);
        m_window = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
        if (m_window)
            CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 600, 400, m_window,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), nullptr, nullptr);
        m_list.AttachToDialog(m_window);
        m_model = std::make_unique<CPhonebook>(m_window);
        m_model->AttachMainList(&m_list);
    }
    ~OpenBook() {
        m_model.reset();
        if (m_window) DestroyWindow(m_window);
    }
    OpenBook(const OpenBook&) = delete;
    OpenBook& operator=(const OpenBook&) = delete;

    // mode as the storage wrapper's: 0 read-write (or read-only when that is all it
    // gets), 1 read-only. Writing wanted: a book that opens read-only is refused.
    int Open(const std::wstring& path, int mode) {
        if (!m_list.ListWindow()) return Fail(kExitFailed, L"no list window can be made");
        if (!Exists(path)) return Fail(kExitFailed, L"there is no phone book at " + path);
        PhonebookDB& db = m_model->Database();
        if (!db.Open(path.c_str(), 0, mode)) {
            if (db.LastCode() == pbabi::kBusy) return kExitBusy;
            return Fail(kExitFailed, L"cannot open " + path + L" as a phone book");
        }
        if (mode == 0 && db.IsReadOnly()) {
            db.Close();
            if (db.OpenedReadOnlyWhileBusy()) return kExitBusy;
            return Fail(kExitFailed, path + (WriteProtected(path) ? L" is write-protected"
                                                                   : L" is in use: another program has it open for changes"));
        }
        if (!m_model->Refresh(true)) {
            if (db.LastReadCode() == pbabi::kBusy) return kExitBusy;
            return Fail(kExitFailed, L"cannot read " + path);
        }
        return kExitOk;
    }
    CPhonebook& Model() { return *m_model; }

private:
    HWND m_window = nullptr;
    ListViewUIControl m_list{kListId};
    std::unique_ptr<CPhonebook> m_model;
};

// The settings the dialog hands to DelimitedTextFile, from the command line's.
int Prepare(const TextJob& job, bool import, CPhonebook& model, DelimitedTextSettings& settings) {
    settings.layout = job.layout;
    if (settings.layout.columns.empty())
        for (const auto& item : delimited::InitialColumns(import))
            if (item.selected) settings.layout.columns.push_back(item.column);
    // UTF-8 is offered for books read through the wide entry points only.
    const bool utf8Offered = model.Database().IsWideMode();
    if (job.encoding == TextEncoding::Utf8 && !utf8Offered)
        return Fail(kExitUsage, job.book + L" is an ANSI book: its text files are in the ANSI code page (no --utf8)");
    settings.utf8 = job.encoding == TextEncoding::AsBookOffers ? utf8Offered : job.encoding == TextEncoding::Utf8;
    settings.header = !import && job.header;
    return kExitOk;
}

}  // namespace

namespace {

// An import's book and file, checked as the dialog checks them; kExitOk when it may run.
int PrepareImport(const TextJob& job, CPhonebook& model, DelimitedTextFile& file) {
    if (int rc = Prepare(job, true, model, file.Settings()); rc != kExitOk) return rc;
    const auto& columns = file.Settings().layout.columns;
    auto has = [&](delimited::Column c) { return std::find(columns.begin(), columns.end(), c) != columns.end(); };
    if (!has(delimited::Column::Name) && !has(delimited::Column::FirstNamePart) &&
        !has(delimited::Column::SecondNamePart))
        return Fail(kExitUsage, L"the columns must include name, first-part or second-part");
    if (!has(delimited::Column::Fax)) return Fail(kExitUsage, L"the columns must include fax");
    if (!Exists(job.file)) return Fail(kExitFailed, L"there is no file " + job.file);
    // A full book is the plan's to judge: its records find no room, and are counted.
    return kExitOk;
}

std::wstring CountsLine(const std::wstring& file, const intake::Plan& plan, const delimited::ImportCounters& counts) {
    return file + L": " + intake::CountsText(plan, counts);
}

int Refused(const TextJob& job, const intake::Plan& plan, size_t directoryEntries, unsigned capacity) {
    const std::wstring unchanged = L"; " + job.book + L" is unchanged";
    switch (plan.refusal) {
        case intake::Refusal::ReadFailed:
            if (job.fromDirectory)
                return Fail(kExitFailed, L"the directory's result stopped short after " +
                                             std::to_wstring(directoryEntries) + L" entries: the rest did not arrive" +
                                             unchanged);
            return Fail(kExitFailed, L"cannot read " + job.file + L" to its end" + unchanged);
        case intake::Refusal::NothingAccepted:
            return Fail(kExitFailed, job.file + L" gives no entry that could be imported" + unchanged);
        case intake::Refusal::TooManyRemoved:
            return Fail(kExitFailed, job.file + L" would remove " + std::to_wstring(plan.removals.size()) + L" of the " +
                                         std::to_wstring(plan.scope) +
                                         L" entries it considers, more than half (--allow-shrink allows it)" + unchanged);
        case intake::Refusal::NoRoom:
            if (job.fromDirectory && plan.groupsWithoutRoom.empty()) {
                // A directory larger than the book: say how large each is.
                const unsigned wanted = plan.counts.Accepted() + plan.counts.full;
                return Fail(kExitFailed, W(CMString::Formatted(app::Text(IDS_DIR_TOO_MANY).c_str(), wanted, capacity)));
            }
            return Fail(kExitFailed, job.file + L" gives " +
                                         std::to_wstring(plan.counts.full + plan.groupsWithoutRoom.size()) +
                                         L" more entries and groups than " + job.book + L" can hold" + unchanged);
        case intake::Refusal::None: break;
    }
    return kExitOk;
}

// How a job ends, told on standard error: the same for its dry run (the plan's counts)
// and its real run (what the book took).
int Verdict(const TextJob& job, const intake::Plan& plan, const delimited::ImportCounters& c, uint32_t failed,
            size_t directoryEntries, unsigned capacity) {
    if (plan.refusal != intake::Refusal::None) return Refused(job, plan, directoryEntries, capacity);
    if (plan.listFull)
        return Fail(kExitFailed, job.book + L" is full: it holds " + std::to_wstring(capacity) +
                                     L" entries and groups; nothing was read");
    if (c.readFailed && job.fromDirectory)
        return Fail(kExitFailed, L"the directory's result stopped short after " + std::to_wstring(directoryEntries) +
                                     L" entries: the rest did not arrive");
    if (c.readFailed && job.fromAddressBook)
        return Fail(kExitFailed, L"not every card of the address book arrived: " + std::to_wstring(c.read) +
                                     L" records were read, the rest is missing");
    if (c.readFailed) return Fail(kExitFailed, L"cannot read " + job.file + L" to its end: the records after " +
                                                   std::to_wstring(c.read) + L" were not read");
    if (c.full > 0) return Fail(kExitFailed, job.book + L" is full: " + std::to_wstring(c.full) + L" records found no room");
    if (!plan.groupsWithoutRoom.empty())
        return Fail(kExitFailed, job.book + L" is full: " + std::to_wstring(plan.groupsWithoutRoom.size()) +
                                     L" groups found no room");
    if (failed > 0) return Fail(kExitFailed, job.book + L" refused " + std::to_wstring(failed) + L" changes");
    return kExitOk;
}

// The plan as a dry run prints it: the counts and one line per change, or JSON.
void PrintPlan(const TextJob& job, const intake::Plan& plan, const intake::SourceRead& read) {
    if (job.json) {
        const std::string json = intake::PlanJson(plan, &read.records) + "\n";
        fwrite(json.data(), 1, json.size(), stdout);
        fflush(stdout);
    } else {
        Say(CountsLine(job.file, plan, plan.counts));
        for (const std::wstring& line : intake::ChangeLines(plan)) Say(line);
    }
}

}  // namespace

// The password for a bind: the first line of its file, or typed on the console without
// echo (a script pipes it to standard input). Never taken from the command line.
bool ReadPassword(const TextJob& job, std::wstring& password) {
    password.clear();
    if (job.bindDn.empty()) return true;
    if (!job.password.empty()) {
        password = job.password;
        return true;
    }
    if (!job.passwordFile.empty()) {
        HANDLE f = CreateFileW(job.passwordFile.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE) return false;
        std::string bytes(4096, '\0');
        DWORD got = 0;
        const BOOL read = ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
        CloseHandle(f);
        if (!read) return false;
        bytes.resize(got);
        if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
        bytes = bytes.substr(0, bytes.find_first_of("\r\n"));
        password = CMString::FromUtf8(bytes).str();
        return true;
    }
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(in, &mode);
    Out(stderr, L"password for " + job.bindDn + L": ");
    if (console) {
        SetConsoleMode(in, mode & ~ENABLE_ECHO_INPUT);
        wchar_t buffer[512];
        DWORD got = 0;
        const BOOL read = ReadConsoleW(in, buffer, 511, &got, nullptr);
        SetConsoleMode(in, mode);
        Out(stderr, L"\n");
        if (!read) return false;
        password.assign(buffer, got);
    } else {
        std::string bytes;
        char c = 0;
        DWORD got = 0;
        while (ReadFile(in, &c, 1, &got, nullptr) && got == 1 && c != '\n') bytes.push_back(c);
        password = CMString::FromUtf8(bytes).str();
    }
    while (!password.empty() && (password.back() == L'\r' || password.back() == L'\n')) password.pop_back();
    return true;
}

namespace {

// The directory's records, or the fault told and kExitFailed. A result cut short is
// kept (the plan refuses a sync on it; an import takes what arrived and says so).
int ReadFromDirectory(const TextJob& job, directory::ReadResult& result) {
    directory::Connection connection;
    connection.url = job.url;
    connection.startTls = job.startTls;
    connection.bindDn = job.bindDn;
    connection.pageSize = job.pageSize;
    connection.timeoutSeconds = job.timeoutSeconds;
    if (!ReadPassword(job, connection.password))
        return Fail(kExitFailed, L"cannot read the password" +
                                     (job.passwordFile.empty() ? std::wstring() : L" from " + job.passwordFile));
    const directory::FilterCheck check = directory::CheckFilter(job.url.filter);
    if (check.fault != directory::FilterFault::None) {
        result.fault = directory::Fault::BadFilter;
        return Fail(kExitFailed, W(directory::FaultText(result, connection)));
    }
    const delimited::CharacterRules rules = {app::Text(IDS_FAX_CHARS), app::Text(IDS_MAILBOX_CHARS)};
    Progress progress(L"reading the directory", 2000);
    result = directory::ReadDirectory(connection, job.mapping, rules,
                                      [&](size_t entries) { progress(entries, entries + job.pageSize); });
    if (result.fault == directory::Fault::None) return kExitOk;
    const std::wstring text = W(directory::FaultText(result, connection));
    if (result.fault != directory::Fault::CutOff) return Fail(kExitFailed, text);
    Out(stderr, L"pbtool: " + text + L"\n");
    return kExitOk;
}

}  // namespace

struct SourceCache {
    bool read = false;
    intake::SourceRead records;
    size_t directoryEntries = 0;
};

std::shared_ptr<SourceCache> NewSourceCache() { return std::make_shared<SourceCache>(); }

namespace {

// An import (or a sync, which always updates) on a book opened for writing; a dry run
// reads the book only, so it works while another program writes it. The source is read
// by the first try that opens the book, and kept for the tries after a busy book.
int ImportOrSync(TextJob job, bool sync) {
    if (!LoadLanguage()) return kExitFailed;
    Messages messages(false);
    OpenBook book;
    // A busy book is told once, by the wait.
    if (int rc = book.Open(job.book, job.dryRun ? 1 : 0); rc != kExitOk) {
        if (rc != kExitBusy) messages.Flush();
        return rc;
    }
    CPhonebook& model = book.Model();
    job.update = job.update || sync;
    SourceCache once;
    SourceCache& source = job.source ? *job.source : once;
    if (!source.read) {
        if (job.fromDirectory) {
            directory::ReadResult result;
            if (int rc = ReadFromDirectory(job, result); rc != kExitOk) return rc;
            source.records = std::move(result.read);
            source.directoryEntries = result.entries;
        } else if (job.fromAddressBook) {
            if (int rc = ReadFromAddressBook(job, source.records); rc != kExitOk) return rc;
        } else {
            DelimitedTextFile file(model);
            if (int rc = PrepareImport(job, model, file); rc != kExitOk) return rc;
            Progress progress(sync ? L"syncing" : L"importing", 256 * 1024);
            file.Settings().progress = [&](uint64_t done, uint64_t total) { progress(done, total); };
            if (!file.Read(job.file.c_str(), source.records)) {
                messages.Flush();
                return Fail(kExitFailed, L"cannot read " + job.file);
            }
        }
        source.read = true;
    }
    const intake::SourceRead& read = source.records;
    intake::Options options;
    options.mode = sync ? intake::Mode::Sync : job.update ? intake::Mode::Update : intake::Mode::Add;
    options.allowShrink = job.allowShrink;
    options.managedGroup = job.group.c_str();
    options.adopt = job.adopt;
    options.home = job.home;
    intake::Applier applier(model);
    applier.SetSourceName(job.file.c_str());
    const intake::Outcome outcome = applier.Run(read, options, job.dryRun);
    // Nothing changed: the same job again in a moment, without this attempt's messages.
    if (outcome.busy) return kExitBusy;
    messages.Flush();
    if (!outcome.bookRead) return Fail(kExitFailed, L"cannot read " + job.book + L" to its end; it is unchanged");
    const intake::Plan& plan = outcome.plan;
    const unsigned capacity = static_cast<unsigned>(model.Database().Capacity());
    if (job.dryRun) {
        PrintPlan(job, plan, read);
        return Verdict(job, plan, plan.counts, 0, source.directoryEntries, capacity);
    }
    if (plan.refusal != intake::Refusal::None) return Refused(job, plan, source.directoryEntries, capacity);
    const delimited::ImportCounters& c = outcome.counts;
    if (!outcome.stored) return Fail(kExitFailed, L"nothing was changed: " + job.book + L" could not be written");
    if (job.landed) *job.landed = c;
    Say(CountsLine(job.file, plan, c));
    if (options.mode == intake::Mode::Add) {
        // The source as it is: a directory's result cut short is told as the directory dialog tells it.
        const CMString cutShort =
            job.fromDirectory ? CMString::Formatted(app::Text(IDS_DIR_CUT_OFF).c_str(), unsigned(source.directoryEntries))
                              : CMString();
        const CMString summary = intake::Applier::SummaryText(outcome, capacity, cutShort);
        if (!summary.IsEmpty()) Say(W(summary));
    } else {
        for (const std::wstring& line : intake::NoteLines(plan)) Say(line);
        if (outcome.failed > 0)
            Say(W(CMString::Formatted(app::Text(IDS_IMPORT_CHANGES_FAILED).c_str(), unsigned{outcome.failed})));
    }
    return Verdict(job, plan, c, outcome.failed, source.directoryEntries, capacity);
}

}  // namespace

int ImportText(const TextJob& job) { return ImportOrSync(job, false); }
int SyncText(const TextJob& job) { return ImportOrSync(job, true); }

bool IsDirectoryUrl(const std::wstring& operand) {
    const CMString text(operand);
    return text.Left(7).EqualsNoCase(L"ldap://") || text.Left(8).EqualsNoCase(L"ldaps://");
}

void SayRecords(const intake::SourceRead& read, size_t& withFax, size_t& rejected) {
    for (const intake::Record& r : read.records) {
        if (r.rejection != intake::Rejection::None) {
            ++rejected;
            continue;
        }
        ++withFax;
        std::wstring line = r.fields.name.str() + L"\t" + r.fields.fax.str();
        for (size_t i = 0; i < r.groups.size(); ++i) line += (i ? L", " : L"\t") + r.groups[i].str();
        Say(line);
    }
}

int ListDirectory(const TextJob& job) {
    if (!LoadLanguage()) return kExitFailed;
    directory::ReadResult result;
    if (int rc = ReadFromDirectory(job, result); rc != kExitOk) return rc;
    size_t withFax = 0, rejected = 0;
    SayRecords(result.read, withFax, rejected);
    Say(std::to_wstring(result.entries) + L" entries: " + std::to_wstring(withFax) + L" with a fax, " +
        std::to_wstring(rejected) + L" rejected (" + std::to_wstring(static_cast<int>(result.connectMs)) +
        L" ms to connect and log in, " + std::to_wstring(static_cast<int>(result.searchMs)) + L" ms to search)");
    return result.read.complete ? kExitOk : kExitFailed;
}

int ExportText(const TextJob& job) {
    if (!LoadLanguage()) return kExitFailed;
    Messages messages(job.replace);
    OpenBook book;
    // Read-only: an export never changes the book, and works while another program writes it.
    if (int rc = book.Open(job.book, 1); rc != kExitOk) {
        if (rc != kExitBusy) messages.Flush();
        return rc;
    }
    CPhonebook& model = book.Model();
    DelimitedTextFile file(model);
    if (int rc = Prepare(job, false, model, file.Settings()); rc != kExitOk) return rc;
    // A .vcf file gets cards, every other name the text form's extension rule.
    const std::wstring path = vcard::HasVCardExtension(job.file.c_str()) ? job.file
                                                                          : W(delimited::WithExportExtension(job.file.c_str()));
    if (Exists(path)) {
        if (WriteProtected(path)) return Fail(kExitFailed, path + L" is write-protected");
        if (!job.replace) return Fail(kExitFailed, path + L" exists (--replace replaces it)");
    }
    Progress progress(L"exporting", 1000);
    file.Settings().progress = [&](uint64_t done, uint64_t total) { progress(done, total); };
    if (!file.ExportToFile(job.file.c_str())) {
        if (model.Database().LastReadCode() == pbabi::kBusy) return kExitBusy;
        messages.Flush();
        return Fail(kExitFailed, L"cannot write " + path);
    }
    messages.Flush();
    int entries = 0;
    for (int row = 0; row < model.GetItemCount(); ++row) entries += model.IsEntryRow(row);
    Say(path + L": " + std::to_wstring(entries) + L" entries");
    return kExitOk;
}

namespace {

struct Census {
    size_t entries = 0;
    size_t groups = 0;
    size_t members = 0;
};

// What a book holds, through the storage wrapper as the conversion reads it.
bool Count(const std::wstring& path, Census& census) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    if (!db.Open(path.c_str(), 0, 1)) return false;
    RecordList records, members;
    db.SetSearchText(CMString());
    if (db.Enumerate(records, true) != pbabi::kOk) return false;
    for (const auto& record : records) {
        if (!record->IsGroup()) {
            ++census.entries;
            continue;
        }
        ++census.groups;
        if (db.ReadRecordById(static_cast<uint16_t>(record->id & 0xFFFF))) db.ListGroupMembers(members);
        census.members += members.size();
        members.clear();
    }
    db.Close();
    return true;
}

std::wstring Describe(const Census& c) {
    return std::to_wstring(c.entries) + L" entries, " + std::to_wstring(c.groups) + L" groups with " +
           std::to_wstring(c.members) + L" members";
}

}  // namespace

int ConvertBook(const std::wstring& oldBook, std::wstring newBook, bool replace) {
    if (!LoadLanguage()) return kExitFailed;
    if (newBook.empty()) newBook = W(CurrentFormatName(oldBook.c_str()));
    const size_t dot = newBook.find_last_of(L'.');
    if (dot == std::wstring::npos || CMString(newBook.substr(dot)).CompareNoCase(L".mpb2") != 0)
        return Fail(kExitUsage, L"the new book needs a name ending in .mpb2");
    if (!Exists(oldBook)) return Fail(kExitFailed, L"there is no phone book at " + oldBook);

    Messages messages(replace);
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    if (!db.Open(oldBook.c_str(), 0, 0)) {
        if (db.LastCode() == pbabi::kBusy) return kExitBusy;
        messages.Flush();
        return Fail(kExitFailed, L"cannot open " + oldBook + L" as a phone book");
    }
    const bool current = db.IsCurrentFormat(), readOnly = db.IsReadOnly();
    db.Close();
    if (current) return Fail(kExitFailed, oldBook + L" is in the current format already");
    if (CMString(FullPath(oldBook)).CompareNoCase(FullPath(newBook)) == 0)
        return Fail(kExitUsage, L"the new book must be another file than the old one");
    if (readOnly)
        return Fail(kExitFailed, oldBook + (WriteProtected(oldBook) ? L" is write-protected"
                                                                     : L" is in use: another program has it open for changes"));
    if (Exists(newBook)) {
        if (WriteProtected(newBook)) return Fail(kExitFailed, newBook + L" is write-protected");
        if (!replace) return Fail(kExitFailed, newBook + L" exists (--replace replaces it)");
    }
    Census before;
    if (!Count(oldBook, before)) return Fail(kExitFailed, L"cannot read " + oldBook);

    Progress progress(L"converting", 500);
    db.SetPath(oldBook.c_str());
    const bool converted =
        db.ConvertToCurrentFormat(newBook.c_str(), [&](size_t done, size_t total) { progress(done, total); });
    messages.Flush();
    if (!converted) return Fail(kExitFailed, L"the conversion of " + oldBook + L" failed; " + newBook + L" is not made");
    Census after;
    if (!Count(newBook, after)) return Fail(kExitUnsound, L"the new book " + newBook + L" cannot be read");
    if (after.entries != before.entries || after.groups != before.groups || after.members != before.members)
        return Fail(kExitUnsound, newBook + L" holds " + Describe(after) + L", the old book " + Describe(before));
    Say(oldBook + L" -> " + newBook + L": " + Describe(after));
    return kExitOk;
}

int WaitWhileBusy(const std::wstring& book, unsigned seconds, const std::function<int()>& job) {
    // Short at first, as most writers are done in a moment; never so long that the book
    // stands free for long unnoticed (each attempt also waits for the lock itself).
    constexpr DWORD kFirstPauseMs = 50, kLongestPauseMs = 500;
    const ULONGLONG deadline = GetTickCount64() + seconds * 1000ULL;
    DWORD pause = kFirstPauseMs;
    for (bool told = false;; told = true) {
        const ULONGLONG began = GetTickCount64();
        const int rc = job();
        if (rc != kExitBusy) return rc;
        const ULONGLONG now = GetTickCount64();
        // A try lasts about as long as the last busy one did: none begins that would end
        // past the limit. (The first may have read the source, which the others do not.)
        const ULONGLONG lasted = told ? now - began : 0;
        if (now >= deadline || deadline - now < lasted + pause) break;
        if (!told)
            Out(stderr, L"pbtool: " + book + L" is being changed by another program; waiting up to " +
                            std::to_wstring(seconds) + L" s\n");
        Sleep(pause);
        pause = std::min(pause * 2, kLongestPauseMs);
    }
    CMString text = LoadLanguage() ? CMString::Formatted(app::Text(IDS_BOOK_IN_USE).c_str(), book.c_str())
                                   : CMString((book + L" is being changed by another program").c_str());
    text.Replace(L"\n\n", L" ");
    text.Replace(L"\n", L" ");
    return Fail(kExitFailed, W(text));
}

}  // namespace pbtool
