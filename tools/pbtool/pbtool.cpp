// pbtool: a command-line companion to the phone book engine. create, list, verify and
// sample reach files only through the engine's exports (as the program does); verify
// also reads the format directly to report damaged records that the exports skip.
// import, export and convert run the program's own code for those jobs (BookJobs).
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "BookJobs.h"
#include "Console.h"
#include "EngineLibrary.h"
#include "core/Book.h"
#include "core/SampleData.h"
#include "dll/WinPlatform.h"

using namespace pbabi;
using namespace pbtool;

namespace {

const wchar_t kUsage[] =
    L"usage: pbtool create <book> [--format mpb2|mpb|pb]\n"
    L"       pbtool list <book>\n"
    L"       pbtool verify <book>\n"
    L"       pbtool sample <book> --entries N [--groups M]\n"
    L"       pbtool import <book> <file> [text options]\n"
    L"       pbtool export <book> <file> [text options] [--header] [--replace]\n"
    L"       pbtool convert <old book> [<new book>] [--replace]\n"
    L"\n"
    L"import adds the entries of a delimited text file to the book and prints how many\n"
    L"were read, imported, rejected, already present and without room; export writes\n"
    L"every entry (groups never) in name order. Both work as the import and export\n"
    L"dialog does, with its defaults. Text options:\n"
    L"  --columns LIST           the fields of a record in file order, separated by\n"
    L"                           commas, from: name, first-part, second-part (import\n"
    L"                           only), fax, organization, phone, email, mailbox\n"
    L"                           (default name,fax,organization,phone,email,mailbox)\n"
    L"  --record-delimiter D     crlf (default), cr, lf, ff or 1 to 4 characters\n"
    L"  --field-delimiter D      comma (default), tab or 1 to 4 characters;\n"
    L"                           \\t \\r \\n \\f and \\\\ stand for those characters\n"
    L"  --utf8 | --ansi          the file's encoding (default UTF-8, for an ANSI .pb\n"
    L"                           book the ANSI code page, which it must use)\n"
    L"  --header                 export: a first line names the columns, and fields\n"
    L"                           are quoted as needed (import reads such a file by\n"
    L"                           its names by itself)\n"
    L"  --replace                export, convert: replace an existing file\n"
    L"import refuses a book that is missing, in use by another program or write-\n"
    L"protected, or full; entries already in the book are counted, not changed.\n"
    L"convert copies every entry and group with its members of an older book (.mpb,\n"
    L"  .pb) into a new current-format book, by default the old name with .mpb2.\n"
    L"Long jobs tell their progress on standard error.\n"
    L"\n"
    L"exit codes: 0 done (verify: sound), 1 failed (or import: records refused for lack\n"
    L"of room), 2 bad arguments, 3 not sound (verify; convert: the new book does not\n"
    L"hold what the old one does)\n";

int Usage() {
    Out(stderr, kUsage);
    return kExitUsage;
}

std::string ToAnsi(const std::wstring& w) {
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n > 0 ? n : 1), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, s.data(), n, nullptr, nullptr);
    s.resize(strlen(s.c_str()));
    return s;
}
std::wstring FromAnsi(const char* s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n : 1), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, -1, w.data(), n);
    w.resize(wcslen(w.c_str()));
    return w;
}
std::wstring Wide(const pbcore::Units& u) { return std::wstring(u.begin(), u.end()); }

template <size_t N>
void Put(WChar (&field)[N], const std::wstring& text) {
    size_t n = std::min(text.size(), N - 1);
    wmemcpy(field, text.c_str(), n);
    field[n] = 0;
}
template <size_t N>
void Put(char (&field)[N], const std::string& text) {
    size_t n = std::min(text.size(), N - 1);
    memcpy(field, text.c_str(), n);
    field[n] = 0;
}

// One open book, through whichever set its format needs.
class Book {
public:
    explicit Book(EngineLibrary& e) : m_e(e) {}
    ~Book() { Close(); }
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    int Open(const std::wstring& path, uint8_t mode) {
        int code = -1;
        m_e.wOpen(&m_w, path.c_str(), mode, &code);
        if (code != kOk) return code;
        m_capacity = (m_w.versionMajor == kCurrentVersionMajor && m_w.versionMinor == kCurrentVersionMinor)
                         ? kCapacityCurrent : kCapacityOld;
        m_version = std::to_wstring(m_w.versionMajor) + L"." + std::to_wstring(m_w.versionMinor);
        if (m_w.wideFormat) return kOk;
        CloseW();
        m_wide = false;
        m_e.aOpen(&m_a, ToAnsi(path).c_str(), mode, &code);
        if (code == kOk && m_a.wideFormat) code = -1;  // both sets disown the file
        return code;
    }
    int Create(const std::wstring& path) {
        int code = -1;
        m_e.wCreate(&m_w, path.c_str(), &code);
        return code;
    }
    bool Wide() const { return m_wide; }
    int Capacity() const { return m_capacity; }
    const std::wstring& Version() const { return m_version; }

    struct Item {
        uint16_t id;
        uint8_t kind;
        std::wstring name, fax, org, mailbox, phone, email;
        std::vector<uint16_t> members;
    };
    std::vector<Item> All() {
        std::vector<Item> items;
        uint16_t cursor = kCursorStart;
        int done = 0;
        while (!done) {
            if (m_wide) {
                m_rw.Clear();
                if (m_e.wFind2(&m_w, &m_rw.rec, nullptr, &cursor, &done)) items.push_back(FromW());
            } else {
                m_ra.Clear();
                if (m_e.aFind2(&m_a, &m_ra.rec, nullptr, &cursor, &done)) items.push_back(FromA());
            }
            if (items.size() > static_cast<size_t>(m_capacity)) break;
        }
        return items;
    }
    int Add(const Item& item, uint16_t* id) {
        int code = -1;
        if (m_wide) {
            m_rw.Clear();
            m_rw.rec.kind = item.kind;
            Put(m_rw.rec.name, item.name);
            Put(m_rw.rec.fax, item.fax);
            PutExt(m_rw.ext, item);
            m_e.wAdd(&m_w, &m_rw.rec, &code);
            *id = m_rw.rec.id;
        } else {
            m_ra.Clear();
            m_ra.rec.kind = item.kind;
            Put(m_ra.rec.name, ToAnsi(item.name));
            Put(m_ra.rec.fax, ToAnsi(item.fax));
            PutExtA(m_ra.ext, item);
            m_e.aAdd(&m_a, &m_ra.rec, &code);
            *id = m_ra.rec.id;
        }
        return code;
    }
    int AddToGroup(uint16_t group, uint16_t entry) {
        int code = -1;
        if (m_wide) m_e.wAddToGroup(&m_w, group, entry, &code);
        else m_e.aAddToGroup(&m_a, group, entry, &code);
        return code;
    }
    void Close() {
        CloseW();
        if (m_a.file != -1 && m_a.magic) CloseHandle(LongToHandle(m_a.file));
        m_a = PbHeaderA{};
        m_a.file = -1;
    }

private:
    void CloseW() {
        if (m_w.file && m_w.file != INVALID_HANDLE_VALUE && m_w.magic) CloseHandle(m_w.file);
        m_w = PbHeaderW{};
        m_w.file = INVALID_HANDLE_VALUE;
    }
    static void PutExt(WChar (&ext)[kExtensionCount][kExtensionWidth], const Item& item) {
        Put(ext[kExtOrganization], item.org);
        Put(ext[kExtMailbox], item.mailbox.substr(0, kMailboxMaxLength));
        Put(ext[kExtPhone], item.phone);
        Put(ext[kExtEmail], item.email);
    }
    static void PutExtA(char (&ext)[kExtensionCount][kExtensionWidth], const Item& item) {
        Put(ext[kExtOrganization], ToAnsi(item.org));
        Put(ext[kExtMailbox], ToAnsi(item.mailbox.substr(0, kMailboxMaxLength)));
        Put(ext[kExtPhone], ToAnsi(item.phone));
        Put(ext[kExtEmail], ToAnsi(item.email));
    }
    Item FromW() const {
        const PBEW& r = m_rw.rec;
        Item it{r.id, r.kind, r.name, r.fax, m_rw.ext[0], m_rw.ext[2], m_rw.ext[3], m_rw.ext[4], {}};
        it.members.assign(r.members, r.members + std::min<int>(r.memberCount, m_capacity));
        return it;
    }
    Item FromA() const {
        const PBEA& r = m_ra.rec;
        Item it{r.id, r.kind, FromAnsi(r.name), FromAnsi(r.fax), FromAnsi(m_ra.ext[0]), FromAnsi(m_ra.ext[2]),
                FromAnsi(m_ra.ext[3]), FromAnsi(m_ra.ext[4]), {}};
        it.members.assign(r.members, r.members + std::min<int>(r.memberCount, m_capacity));
        return it;
    }

    EngineLibrary& m_e;
    PbHeaderW m_w{};
    PbHeaderA m_a{};
    bool m_wide = true;
    int m_capacity = kCapacityCurrent;
    std::wstring m_version;
    OwnedRecordW m_rw;
    OwnedRecordA m_ra;
};

std::wstring Extension(const std::wstring& path) {
    size_t dot = path.find_last_of(L'.'), slash = path.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && slash > dot)) return L"";
    std::wstring ext = path.substr(dot + 1);
    for (wchar_t& c : ext) c = static_cast<wchar_t>(towlower(c));
    return ext;
}

// Makes an empty book of the format; the older formats take the kind from the name.
int CreateBook(EngineLibrary& e, const std::wstring& path, std::wstring format) {
    std::wstring ext = Extension(path);
    if (format.empty()) format = (ext == L"mpb" || ext == L"pb") ? ext : L"mpb2";
    if (format != L"mpb2" && format != L"mpb" && format != L"pb")
        return Fail(kExitUsage, L"unknown format \"" + format + L"\" (mpb2, mpb or pb)");
    if (format != L"mpb2" && ext != format)
        return Fail(kExitUsage, L"a " + format + L" book needs a name ending in ." + format);
    Book book(e);
    int code;
    if (format == L"mpb2") {
        code = book.Create(path);
    } else {
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileW(path.c_str()))
            return Fail(kExitFailed, L"cannot replace " + path);
        code = book.Open(path, kModeReadWrite);
    }
    if (code != kOk) return Fail(kExitFailed, L"cannot create " + path + L" (engine code " + std::to_wstring(code) + L")");
    return kExitOk;
}

int List(EngineLibrary& e, const std::wstring& path) {
    Book book(e);
    int code = book.Open(path, kModeReadOnly);
    if (code != kOk) return Fail(kExitFailed, L"cannot open " + path + L" (engine code " + std::to_wstring(code) + L")");
    auto items = book.All();
    std::map<uint16_t, std::wstring> names;
    for (const auto& it : items) names[it.id] = it.name;
    for (const auto& it : items) {
        if (it.kind == kKindEntry) {
            Say(L"entry " + std::to_wstring(it.id) + L"\t" + it.name + L"\t" + it.fax + L"\t" + it.org + L"\t" +
                it.phone + L"\t" + it.email + L"\t" + it.mailbox);
        } else {
            std::wstring members;
            for (uint16_t m : it.members) members += (members.empty() ? L"" : L", ") + names[m] + L" (" + std::to_wstring(m) + L")";
            Say(L"group " + std::to_wstring(it.id) + L"\t[" + it.name + L"]\t" + members);
        }
    }
    return kExitOk;
}

int Verify(EngineLibrary& e, const std::wstring& path) {
    std::vector<std::wstring> problems;
    // The format itself: damaged slots and a change left behind by a dead writer.
    pbdll::WinPlatform files;
    bool created = false;
    intptr_t handle = -1;
    pbcore::Platform::Path p{path.c_str(), nullptr};
    if (files.Open(p, false, false, false, &created, &handle) != pbcore::code::kOk)
        return Fail(kExitFailed, L"cannot open " + path);
    pbcore::Book raw;
    int loaded;
    {
        auto io = files.Attach(handle);
        loaded = raw.Load(*io);
    }
    files.Close(handle);
    if (loaded != pbcore::code::kOk) return Fail(kExitUnsound, path + L" is not a phone book (code " + std::to_wstring(loaded) + L")");
    if (raw.DamagedCount()) problems.push_back(std::to_wstring(raw.DamagedCount()) + L" damaged record(s) skipped");
    if (raw.HadPendingChange()) problems.push_back(L"an unfinished change is pending (it completes on the next write)");

    // What a caller sees through the exports.
    Book book(e);
    int code = book.Open(path, kModeReadOnly);
    if (code != kOk) return Fail(kExitUnsound, L"the engine refuses " + path + L" (code " + std::to_wstring(code) + L")");
    auto items = book.All();
    std::map<uint16_t, uint8_t> kinds;
    bool groupSeen = false;
    for (const auto& it : items) {
        if (it.id == 0 || it.id == 255 || it.id == kNoId) problems.push_back(L"reserved id " + std::to_wstring(it.id));
        if (!kinds.emplace(it.id, it.kind).second) problems.push_back(L"id " + std::to_wstring(it.id) + L" twice");
        if (it.kind == kKindGroup) groupSeen = true;
        else if (groupSeen) problems.push_back(L"entry " + std::to_wstring(it.id) + L" after a group");
        if (it.name.empty()) problems.push_back(L"record " + std::to_wstring(it.id) + L" without a name");
    }
    for (const auto& it : items)
        for (uint16_t m : it.members)
            if (kinds.count(m) == 0 || kinds[m] != kKindEntry)
                problems.push_back(L"group " + std::to_wstring(it.id) + L" names " + std::to_wstring(m) + L", not an entry");
    if (items.size() > static_cast<size_t>(book.Capacity())) problems.push_back(L"more records than the capacity");
    size_t entries = 0;
    for (const auto& it : items) entries += it.kind == kKindEntry;
    Say(path + L": format " + book.Version() + (book.Wide() ? L" (wide)" : L" (ANSI)") + L", " +
        std::to_wstring(entries) + L" entries, " + std::to_wstring(items.size() - entries) + L" groups, capacity " +
        std::to_wstring(book.Capacity()));
    for (const auto& problem : problems) Say(L"problem: " + problem);
    Say(problems.empty() ? L"sound" : L"not sound");
    return problems.empty() ? kExitOk : kExitUnsound;
}

int SampleBook(EngineLibrary& e, const std::wstring& path, int entries, int groups) {
    int rc = CreateBook(e, path, L"");
    if (rc != kExitOk) return rc;
    Book book(e);
    int code = book.Open(path, kModeReadWrite);
    if (code != kOk) return Fail(kExitFailed, L"cannot open " + path);
    if (entries + groups > book.Capacity())
        return Fail(kExitUsage, L"at most " + std::to_wstring(book.Capacity()) + L" records fit this format");
    pbcore::Sample sample = pbcore::MakeSample(entries, groups);
    std::vector<uint16_t> ids;
    for (const auto& r : sample.entries) {
        Book::Item it{0, kKindEntry, Wide(r.fields[pbcore::kName]), Wide(r.fields[pbcore::kFax]),
                      Wide(r.fields[pbcore::kOrganization]), Wide(r.fields[pbcore::kMailbox]),
                      Wide(r.fields[pbcore::kPhone]), Wide(r.fields[pbcore::kEmail]), {}};
        uint16_t id = 0;
        code = book.Add(it, &id);
        // Names that only differ in letters the code page lacks meet in the oldest format.
        if (code == kNameInUse) {
            it.name = it.name.substr(0, 26) + L" " + std::to_wstring(ids.size());
            code = book.Add(it, &id);
        }
        if (code != kOk) return Fail(kExitFailed, L"adding \"" + it.name + L"\" failed (engine code " + std::to_wstring(code) + L")");
        ids.push_back(id);
    }
    for (const auto& g : sample.groups) {
        Book::Item it{0, kKindGroup, Wide(g.name), L"", L"", L"", L"", L"", {}};
        uint16_t id = 0;
        code = book.Add(it, &id);
        if (code == kNameInUse) {
            it.name += L" " + std::to_wstring(id + ids.size());
            code = book.Add(it, &id);
        }
        if (code != kOk) return Fail(kExitFailed, L"adding group \"" + it.name + L"\" failed (engine code " + std::to_wstring(code) + L")");
        for (int m : g.members)
            if ((code = book.AddToGroup(id, ids[static_cast<size_t>(m)])) != kOk)
                return Fail(kExitFailed, L"adding a member failed (engine code " + std::to_wstring(code) + L")");
    }
    Say(path + L": " + std::to_wstring(entries) + L" entries, " + std::to_wstring(groups) + L" groups");
    return kExitOk;
}

bool ParseCount(const wchar_t* text, int* out) {
    wchar_t* end = nullptr;
    long v = wcstol(text, &end, 10);
    if (!end || *end || v < 0 || v > 100000) return false;
    *out = static_cast<int>(v);
    return true;
}

bool ParseColumns(const std::wstring& list, bool forImport, std::vector<delimited::Column>* columns) {
    static const std::pair<const wchar_t*, delimited::Column> kNames[] = {
        {L"name", delimited::Column::Name},
        {L"first-part", delimited::Column::FirstNamePart},
        {L"second-part", delimited::Column::SecondNamePart},
        {L"fax", delimited::Column::Fax},
        {L"organization", delimited::Column::Organization},
        {L"phone", delimited::Column::Phone},
        {L"email", delimited::Column::Email},
        {L"mailbox", delimited::Column::Mailbox},
    };
    columns->clear();
    size_t start = 0;
    for (;;) {
        const size_t comma = list.find(L',', start);
        std::wstring name = list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        bool known = false;
        for (const auto& [text, column] : kNames) {
            if (name != text) continue;
            if (!forImport && !delimited::IsOfferedOnExport(column)) return false;
            for (delimited::Column taken : *columns)
                if (taken == column) return false;
            columns->push_back(column);
            known = true;
        }
        if (!known) return false;
        if (comma == std::wstring::npos) return true;
        start = comma + 1;
    }
}

// A delimiter's name, or its text with \t, \r, \n, \f and \\ read as those characters.
bool ParseDelimiter(const std::wstring& text, bool record, CMString* out) {
    static const std::pair<const wchar_t*, const wchar_t*> kRecordNames[] = {
        {L"crlf", L"\r\n"}, {L"cr", L"\r"}, {L"lf", L"\n"}, {L"ff", L"\f"}};
    static const std::pair<const wchar_t*, const wchar_t*> kFieldNames[] = {{L"comma", L","}, {L"tab", L"\t"}};
    for (const auto& [name, value] : record ? std::vector(std::begin(kRecordNames), std::end(kRecordNames))
                                            : std::vector(std::begin(kFieldNames), std::end(kFieldNames))) {
        if (text == name) {
            *out = value;
            return true;
        }
    }
    std::wstring value;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            value.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
        case L't': value.push_back(L'\t'); break;
        case L'r': value.push_back(L'\r'); break;
        case L'n': value.push_back(L'\n'); break;
        case L'f': value.push_back(L'\f'); break;
        case L'\\': value.push_back(L'\\'); break;
        default: return false;
        }
    }
    // As the dialog's edit for a delimiter of one's own takes it.
    if (value.empty() || value.size() > 4) return false;
    *out = value;
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--help" || arg == L"-h" || arg == L"/?" || (i == 1 && arg == L"help")) {
            Out(stdout, kUsage);
            return kExitOk;
        }
    }
    if (argc < 3) return Usage();
    const std::wstring command = argv[1];
    std::vector<std::wstring> operands;
    std::wstring format;
    int entries = -1, groups = 0;
    TextJob job;
    bool columnsGiven = false, encodingGiven = false;
    const bool text = command == L"import" || command == L"export";
    for (int i = 2; i < argc; ++i) {
        const std::wstring opt = argv[i];
        if (opt.size() < 2 || opt.compare(0, 2, L"--") != 0) {
            operands.push_back(opt);
            continue;
        }
        // Flags first, then options with a value.
        if (opt == L"--replace" && (command == L"export" || command == L"convert")) {
            job.replace = true;
            continue;
        }
        if (opt == L"--header" && command == L"export") {
            job.header = true;
            continue;
        }
        if ((opt == L"--utf8" || opt == L"--ansi") && text) {
            if (encodingGiven) return Fail(kExitUsage, L"--utf8 and --ansi exclude each other");
            encodingGiven = true;
            job.encoding = opt == L"--utf8" ? TextEncoding::Utf8 : TextEncoding::Ansi;
            continue;
        }
        if (i + 1 >= argc) return Fail(kExitUsage, opt + L" needs a value, or is not an option of " + command);
        const std::wstring value = argv[++i];
        if (opt == L"--format" && command == L"create") format = value;
        else if (opt == L"--entries" && command == L"sample") {
            if (!ParseCount(value.c_str(), &entries)) return Fail(kExitUsage, L"--entries needs a count");
        } else if (opt == L"--groups" && command == L"sample") {
            if (!ParseCount(value.c_str(), &groups)) return Fail(kExitUsage, L"--groups needs a count");
        } else if (opt == L"--columns" && text) {
            if (!ParseColumns(value, command == L"import", &job.layout.columns))
                return Fail(kExitUsage, L"--columns takes each of name, " +
                                            std::wstring(command == L"import" ? L"first-part, second-part, " : L"") +
                                            L"fax, organization, phone, email, mailbox at most once, separated by commas");
            columnsGiven = true;
        } else if (opt == L"--record-delimiter" && text) {
            if (!ParseDelimiter(value, true, &job.layout.recordDelimiter))
                return Fail(kExitUsage, L"--record-delimiter takes crlf, cr, lf, ff or 1 to 4 characters");
        } else if (opt == L"--field-delimiter" && text) {
            if (!ParseDelimiter(value, false, &job.layout.fieldDelimiter))
                return Fail(kExitUsage, L"--field-delimiter takes comma, tab or 1 to 4 characters");
        } else
            return Fail(kExitUsage, L"unknown option " + opt + L" for " + command + L" (pbtool --help)");
    }
    if (columnsGiven && job.layout.columns.empty()) return Fail(kExitUsage, L"--columns names no column");

    const size_t wanted = text ? 2 : 1;
    const size_t allowed = text ? 2 : command == L"convert" ? 2 : 1;
    if (operands.size() < wanted || operands.size() > allowed) return Usage();
    if (text) {
        job.book = operands[0];
        job.file = operands[1];
        return command == L"import" ? ImportText(job) : ExportText(job);
    }
    if (command == L"convert") return ConvertBook(operands[0], operands.size() > 1 ? operands[1] : L"", job.replace);

    const std::wstring path = operands[0];
    EngineLibrary engine;
    std::wstring error;
    if (!engine.Load(ExecutableFolder() + L"m2fpd02.dll", &error))
        return Fail(kExitFailed, L"the engine cannot be loaded (" + error + L")");
    if (command == L"create") return CreateBook(engine, path, format);
    if (command == L"list") return List(engine, path);
    if (command == L"verify") return Verify(engine, path);
    if (command == L"sample") {
        if (entries < 0) return Fail(kExitUsage, L"sample needs --entries N");
        return SampleBook(engine, path, entries, groups);
    }
    return Usage();
}
