// Soak of one shared book, as an office uses it: five copies of the real program open
// it read-only and follow other writers, pbtool sync makes its "Synced" group follow a
// source file that changes every 2 s, and a writer by hand (this program again, with
// --hand-writer) adds and removes "Hand NNNNNNN" entries through the model. Now and
// then one writer is killed mid-work and restarted, and pbtool verify must find the
// book sound. Run by hand under Wine, never in the suite:
//
//   export WINEPREFIX=$PWD/build/windows-release/wineprefix
//   nice tests/wine-run build/windows-release/bench/soak/soak.exe [--minutes N]
//
// A stalled writer (this program again, with --stall) now and then holds the book's
// lock for 5 to 30 s, as a writer hung in the middle of its commit would; meanwhile a
// watcher asks each reader's window for an answer (WM_NULL) every 50 ms.
//
// Options: --minutes N (10), --readers N (5), --seed N, --dir FOLDER (work folder,
// default a new one under %TEMP%; removed at the end unless --keep or a violation),
// --dist FOLDER (the shipped programs, default the build's), --pbtool-wait S (passes
// --wait S to pbtool, when its usage knows --wait), --keep, --stall-figures S (instead of
// the soak: one reader of a full book while a writer holds the lock S seconds, 3 times).
//
// What it checks, and prints at the end with its figures:
//  - every sample of a reader's main list is a state the book held at some commit:
//    a monitor thread reads the book through the engine every 20 ms and records each
//    committed state by change counter; a sample is read cross-process, and one that
//    shows no recorded state is read again until one does or two reads in a row agree
//    (a refill during a read would tear it); samples unknown at the time are matched again
//    at the end, and one that falls in a commit the monitor missed is judged against the
//    states on either side of it. A reader that goes back to an older state counts too.
//  - after each sync that exited 0 the Synced group holds exactly the source it read;
//    at the end every change the hand writer logged as answered is in the book.
//  - pbtool verify says sound after every kill and at the end.
//  - no reader ever shows an empty list or fewer rows than the book had (the book is
//    never empty, and no commit shrinks it by much).
//  - the readers' handles, GDI and USER objects and memory stay flat.
//  - how long a reader's window went without answering, longest and over 100 ms.
//  - every reader shows the final state shortly after the writers stop, and closes on
//    WM_CLOSE.
// Exit code 1 on any violation, 2 when the soak itself cannot run.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <iterator>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "app/AppGlobals.h"
#include "controls/MessageDialog.h"
#include "data/CPhonebook.h"
#include "data/EngineCalls.h"
#include "data/PhonebookDB.h"
#include "util/TextResourceLoader.h"

namespace {

constexpr int kListId = 1045;            // the main window's list view
constexpr DWORD kReaderCallMs = 5000;    // one cross-process call to a reader's list
constexpr double kMonitorPollMs = 20;
constexpr double kRereadMs = 1000;       // the monitor reads an unchanged counter's book again
constexpr double kSampleGapMs = 100;     // between two samples of one reader
constexpr int kSourceMin = 50;
constexpr int kSourceMax = 300;
const wchar_t kSyncedGroup[] = L"Synced";
// A reader's growth over the run that counts as a leak.
constexpr long kHandleGrowth = 64;
constexpr long kGuiGrowth = 64;
constexpr long long kMemoryGrowth = 16ll << 20;

double NowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    static const LARGE_INTEGER start = [] {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return t;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string Utf8(const std::wstring& text) { return CMString(text).ToUtf8(); }

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Every check's findings, from any thread.
class Violations {
public:
    void Add(const std::string& check, const std::string& detail) {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_items.push_back({NowMs(), check, detail});
        fprintf(stderr, "soak: VIOLATION [%s] %s\n", check.c_str(), detail.c_str());
    }
    struct Item {
        double t;
        std::string check, detail;
    };
    std::vector<Item> Items() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_items;
    }

private:
    std::mutex m_mutex;
    std::vector<Item> m_items;
};
Violations g_violations;

std::string Format(const char* format, ...) {
    char buffer[2048];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// ---- The book as the engine gives it ----

struct BookRecord {
    uint16_t id = 0;
    uint8_t kind = pbabi::kKindEntry;
    std::wstring name, fax;
    std::vector<uint16_t> members;
};

int ReadBook(PhonebookDB& db, std::vector<BookRecord>& out) {
    out.clear();
    return db.ForEachRecord([&](const EngineRecord& r) {
        BookRecord b;
        b.id = r.Id();
        b.kind = r.Kind();
        b.name = NameOf(r).str();
        b.fax = FaxOf(r).str();
        for (int i = 0; i < r.MemberCount(); ++i) b.members.push_back(r.Member(i));
        out.push_back(std::move(b));
    });
}

// The main list's rows for these records, sorted: a group's name in brackets and no
// fax number, as the program shows them.
std::vector<std::wstring> ShownRows(const std::vector<BookRecord>& records) {
    std::vector<std::wstring> rows;
    rows.reserve(records.size());
    for (const auto& r : records)
        rows.push_back(r.kind == pbabi::kKindGroup ? L"[" + r.name + L"]\t" : r.name + L"\t" + r.fax);
    std::sort(rows.begin(), rows.end());
    return rows;
}

uint64_t HashRows(const std::vector<std::wstring>& rows) {
    uint64_t h = 1469598103934665603ull;
    for (const auto& row : rows) {
        for (wchar_t c : row) h = (h ^ static_cast<uint16_t>(c)) * 1099511628211ull;
        h = (h ^ 0x0Au) * 1099511628211ull;
    }
    return h;
}

// Opens the book read-only, waiting out a writer for up to timeoutMs.
bool OpenForReading(PhonebookDB& db, const std::wstring& book, double timeoutMs) {
    const double until = NowMs() + timeoutMs;
    do {
        if (db.Open(book.c_str(), 0, 1)) return true;
        Sleep(50);
    } while (NowMs() < until);
    return false;
}

// The longest a stalled writer holds the book.
constexpr int kLongestStallMs = 30000;

// Reads the whole book through a fresh read-only open, retrying a busy one for longer
// than a stalled writer holds it.
bool ReadWholeBook(const std::wstring& book, std::vector<BookRecord>& out, uint64_t* counter, int* lastCode) {
    PhonebookDB db;
    const double until = NowMs() + kLongestStallMs + 15000;
    if (!OpenForReading(db, book, until - NowMs())) {
        *lastCode = db.LastCode();
        return false;
    }
    while (NowMs() < until) {
        uint64_t before = 0, after = 1;
        const bool counted = db.GetChangeCount(before);
        *lastCode = ReadBook(db, out);
        if (*lastCode == pbabi::kOk && counted && db.GetChangeCount(after) && before == after) {
            if (counter) *counter = before;
            return true;
        }
        Sleep(100);
    }
    return false;
}

// ---- Monitor: every committed state by change counter ----

struct Commit {
    uint64_t counter;
    uint64_t hash;
    double seenMs;
    size_t rows;
};

// Two recorded states between which the counter moved more than once: the monitor
// missed what lay between.
struct Gap {
    uint64_t from, to;
    std::set<std::wstring> before, after;
};

class Monitor {
public:
    explicit Monitor(std::wstring book) : m_book(std::move(book)) {}
    bool Start() {
        if (!OpenForReading(m_db, m_book, 20000)) return false;
        m_thread = std::thread([this] { Run(); });
        // The first state is there before anyone asks.
        for (int i = 0; i < 500 && Latest() == UINT64_MAX; ++i) Sleep(20);
        return Latest() != UINT64_MAX;
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        m_db.Close();  // or the book could not be removed
    }
    uint64_t Latest() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_commits.empty() ? UINT64_MAX : m_commits.back().counter;
    }
    bool Known(uint64_t hash) {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_byHash.count(hash) != 0;
    }
    std::vector<Commit> Commits() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_commits;
    }
    std::vector<Gap> Gaps() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_gaps;
    }
    // Counters whose state has this hash, with the time each was first seen.
    std::vector<std::pair<uint64_t, double>> CountersOf(uint64_t hash) {
        std::lock_guard<std::mutex> guard(m_mutex);
        std::vector<std::pair<uint64_t, double>> out;
        auto range = m_byHash.equal_range(hash);
        for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
        return out;
    }
    uint64_t busyReads() const { return m_busy; }

private:
    void Run() {
        uint64_t last = UINT64_MAX;
        std::vector<std::wstring> lastRows;
        std::vector<BookRecord> records;
        double lastFull = 0;
        while (!m_stop) {
            uint64_t c1 = 0, c2 = 1;
            // Now and then the book is read again under a counter already seen: a commit
            // that brought a counter value again (after a writer's death) would otherwise
            // pass unseen, and readers that show it would seem to show no commit.
            if (m_db.GetChangeCount(c1) && (c1 != last || NowMs() - lastFull > kRereadMs)) {
                const int code = ReadBook(m_db, records);
                if (code == pbabi::kOk && m_db.GetChangeCount(c2) && c1 == c2) {
                    lastFull = NowMs();
                    std::vector<std::wstring> rows = ShownRows(records);
                    if (c1 == last) {
                        if (rows != lastRows) {
                            g_violations.Add("counter", Format("the change counter %llu stands for two contents (%zu and %zu rows)",
                                                               static_cast<unsigned long long>(c1), lastRows.size(), rows.size()));
                            Record(c1, last, lastRows, rows);
                            lastRows = std::move(rows);
                        }
                        Sleep(static_cast<DWORD>(kMonitorPollMs));
                        continue;
                    }
                    Record(c1, last, lastRows, rows);
                    last = c1;
                    lastRows = std::move(rows);
                    continue;
                }
                ++m_busy;
            }
            Sleep(static_cast<DWORD>(kMonitorPollMs));
        }
    }
    void Record(uint64_t counter, uint64_t last, const std::vector<std::wstring>& lastRows,
                const std::vector<std::wstring>& rows) {
        const uint64_t hash = HashRows(rows);
        const double seen = NowMs();
        std::lock_guard<std::mutex> guard(m_mutex);
        m_commits.push_back({counter, hash, seen, rows.size()});
        m_byHash.emplace(hash, std::make_pair(counter, seen));
        if (last != UINT64_MAX && counter > last + 1)
            m_gaps.push_back({last, counter, {lastRows.begin(), lastRows.end()}, {rows.begin(), rows.end()}});
    }

    std::wstring m_book;
    PhonebookDB m_db;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_busy{0};
    std::mutex m_mutex;
    std::vector<Commit> m_commits;
    std::unordered_multimap<uint64_t, std::pair<uint64_t, double>> m_byHash;
    std::vector<Gap> m_gaps;
};

// ---- Child processes ----

// Starts a program; its standard output and error go to outFile when one is given.
bool Launch(const std::wstring& exe, const std::wstring& args, const std::wstring& folder, const std::wstring& outFile,
            PROCESS_INFORMATION& pi) {
    std::wstring line = Quoted(exe) + L" " + args;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (!outFile.empty()) {
        SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
        out = CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) return false;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = nullptr;
        si.hStdOutput = out;
        si.hStdError = out;
    }
    pi = {};
    const BOOL ok = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE, 0, nullptr,
                                   folder.empty() ? nullptr : folder.c_str(), &si, &pi);
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    return ok != FALSE;
}

void Release(PROCESS_INFORMATION& pi) {
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    pi = {};
}

std::string FileText(const std::wstring& path) {
    std::string text;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    fclose(f);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Runs a program to its end (or kills it after timeoutMs): its exit code, -1 when it
// could not start or ran out of time.
int RunToEnd(const std::wstring& exe, const std::wstring& args, const std::wstring& folder,
             const std::wstring& outFile, DWORD timeoutMs) {
    PROCESS_INFORMATION pi;
    if (!Launch(exe, args, folder, outFile, pi)) return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 99);
        WaitForSingleObject(pi.hProcess, 5000);
    } else {
        GetExitCodeProcess(pi.hProcess, &code);
    }
    Release(pi);
    return static_cast<int>(code);
}

// ---- Readers: the real program, read from the outside ----

struct Figures {
    DWORD handles = 0, gdi = 0, user = 0;
    SIZE_T pagefile = 0, workingSet = 0;
};

Figures Measure(HANDLE process) {
    Figures f;
    GetProcessHandleCount(process, &f.handles);
    f.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    f.user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    if (GetProcessMemoryInfo(process, &pmc, sizeof pmc)) {
        f.pagefile = pmc.PagefileUsage;
        f.workingSet = pmc.WorkingSetSize;
    }
    return f;
}

struct Sample {
    double t;
    uint64_t hash;
    size_t rows;
    std::vector<std::wstring> content;  // kept only when the hash was unknown then
};

struct FoundWindows {
    DWORD pid;
    HWND top = nullptr;
    HWND list = nullptr;
};

BOOL CALLBACK FindList(HWND child, LPARAM param) {
    auto* found = reinterpret_cast<FoundWindows*>(param);
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (GetDlgCtrlID(child) == kListId && lstrcmpiW(cls, WC_LISTVIEWW) == 0) {
        found->list = child;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindTop(HWND top, LPARAM param) {
    auto* found = reinterpret_cast<FoundWindows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    if (pid != found->pid) return TRUE;
    EnumChildWindows(top, FindList, param);
    if (!found->list) return TRUE;
    found->top = top;
    return FALSE;
}

class Reader {
public:
    Reader(int index, Monitor& monitor) : m_index(index), m_monitor(monitor) {}
    ~Reader() {
        StopSampling();
        if (m_remote) VirtualFreeEx(m_pi.hProcess, m_remote, 0, MEM_RELEASE);
        Release(m_pi);
    }

    bool Start(const std::wstring& exe, const std::wstring& book, const std::wstring& folder) {
        // Every option takes a quoted value; "-^" alone would open the book for writing.
        return Launch(exe, L"-f " + Quoted(book) + L" -^ \"1\"", folder, L"", m_pi);
    }
    // Waits for the main window, its list and a first fill.
    bool WaitReady(double timeoutMs) {
        const double until = NowMs() + timeoutMs;
        while (NowMs() < until) {
            if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0) return false;
            if (!m_list) {
                FoundWindows found{m_pi.dwProcessId};
                EnumWindows(FindTop, reinterpret_cast<LPARAM>(&found));
                m_top = found.top;
                m_list = found.list;
            }
            DWORD_PTR count = 0;
            if (m_list &&
                SendMessageTimeoutW(m_list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kReaderCallMs, &count) && count > 0)
                return true;
            Sleep(200);
        }
        return false;
    }
    void StartSampling() {
        m_thread = std::thread([this] {
            while (!m_stop) {
                TakeSample();
                Sleep(static_cast<DWORD>(kSampleGapMs));
            }
        });
    }
    void StopSampling() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    // One sample now, from the calling thread (the sampler must be stopped).
    bool SampleNow(uint64_t* hash) {
        std::vector<std::wstring> rows;
        double at = 0;
        return StableRows(rows, hash, &at);
    }

    int Index() const { return m_index; }
    // The list's row count, -1 when the call failed.
    long Rows() {
        DWORD_PTR count = 0;
        return m_list && SendMessageTimeoutW(m_list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 60000, &count)
                   ? static_cast<long>(count)
                   : -1;
    }
    HANDLE Process() const { return m_pi.hProcess; }
    HWND Top() const { return m_top; }
    std::vector<Sample> Samples() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return m_samples;
    }
    long Unstable() const { return m_unstable; }
    long FailedReads() const { return m_failed; }
    double SampleMs() const { return m_sampleMs; }

    // The program's count of listings it retried, when it keeps one.
    bool ListingRetries(uintptr_t* value) {
        HANDLE v = GetPropW(m_top, L"PbeListingRetries");
        if (v) {
            *value = reinterpret_cast<uintptr_t>(v);
            return true;
        }
        // Null is also the value 0: the property is there when it is listed.
        struct Look {
            bool found = false;
        } look;
        EnumPropsExW(
            m_top,
            [](HWND, LPWSTR name, HANDLE, ULONG_PTR param) -> BOOL {
                if (IS_INTRESOURCE(name) || lstrcmpW(name, L"PbeListingRetries") != 0) return TRUE;
                reinterpret_cast<Look*>(param)->found = true;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&look));
        *value = 0;
        return look.found;
    }

    bool Close(DWORD waitMs) {
        if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0) return true;
        if (m_top) PostMessageW(m_top, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(m_pi.hProcess, waitMs) == WAIT_OBJECT_0) return true;
        TerminateProcess(m_pi.hProcess, 98);
        WaitForSingleObject(m_pi.hProcess, 5000);
        return false;
    }
    bool Exited() const { return WaitForSingleObject(m_pi.hProcess, 0) == WAIT_OBJECT_0; }

    Figures start, middle, end;
    bool gone = false;

private:
    // The rows of the list in its own order, each "name\tfax"; false when a call failed.
    // Every cell's item and text buffer are written into the reader at once, asked for
    // one message each, and read back at once: the calls into the reader are the cost.
    bool ReadRows(std::vector<std::wstring>& rows) {
        rows.clear();
        DWORD_PTR count = 0;
        if (!SendMessageTimeoutW(m_list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kReaderCallMs, &count)) return false;
        const size_t cells = 2 * static_cast<size_t>(count);
        if (cells == 0) return true;
        const size_t need = cells * kCellBytes;
        if (need > m_remoteSize) {
            if (m_remote) VirtualFreeEx(m_pi.hProcess, m_remote, 0, MEM_RELEASE);
            m_remoteSize = std::max<size_t>(need, 64 * 1024);
            m_remote = VirtualAllocEx(m_pi.hProcess, nullptr, m_remoteSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            if (!m_remote) {
                m_remoteSize = 0;
                return false;
            }
        }
        auto* base = static_cast<char*>(m_remote);
        std::vector<char> local(need);
        for (size_t c = 0; c < cells; ++c) {
            LVITEMW item = {};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(c / 2);
            item.iSubItem = static_cast<int>(c % 2);
            item.pszText = reinterpret_cast<wchar_t*>(base + c * kCellBytes + kItemBytes);
            item.cchTextMax = kTextUnits;
            memcpy(local.data() + c * kCellBytes, &item, sizeof item);
        }
        if (!WriteProcessMemory(m_pi.hProcess, m_remote, local.data(), need, nullptr)) return false;
        std::vector<size_t> lengths(cells);
        for (size_t c = 0; c < cells; ++c) {
            DWORD_PTR length = 0;
            if (!SendMessageTimeoutW(m_list, LVM_GETITEMTEXTW, c / 2, reinterpret_cast<LPARAM>(base + c * kCellBytes),
                                     SMTO_ABORTIFHUNG, kReaderCallMs, &length))
                return false;
            lengths[c] = std::min<size_t>(length, kTextUnits - 1);
        }
        if (!ReadProcessMemory(m_pi.hProcess, m_remote, local.data(), need, nullptr)) return false;
        rows.reserve(count);
        for (size_t c = 0; c < cells; c += 2) {
            const auto* name = reinterpret_cast<const wchar_t*>(local.data() + c * kCellBytes + kItemBytes);
            const auto* fax = reinterpret_cast<const wchar_t*>(local.data() + (c + 1) * kCellBytes + kItemBytes);
            rows.push_back(std::wstring(name, lengths[c]) + L"\t" + std::wstring(fax, lengths[c + 1]));
        }
        return true;
    }
    // A read that shows a recorded state is that state: a read torn by a refill would
    // mix two. Any other read is made again until one shows a recorded state or two in
    // a row agree, so that what is kept as a finding is the reader's list and not a torn
    // read of ours.
    bool StableRows(std::vector<std::wstring>& rows, uint64_t* hash, double* at) {
        std::vector<std::wstring> previous;
        for (int attempt = 0; attempt < 6; ++attempt) {
            const double began = NowMs();
            if (!ReadRows(rows)) {
                ++m_failed;
                return false;
            }
            std::sort(rows.begin(), rows.end());
            *hash = HashRows(rows);
            *at = (began + NowMs()) / 2;
            if (m_monitor.Known(*hash) || (attempt > 0 && rows == previous)) return true;
            previous.swap(rows);
        }
        ++m_unstable;
        return false;
    }
    void TakeSample() {
        std::vector<std::wstring> rows;
        const double began = NowMs();
        Sample s{0, 0, 0, {}};
        if (!StableRows(rows, &s.hash, &s.t)) return;
        s.rows = rows.size();
        if (!m_monitor.Known(s.hash)) s.content = std::move(rows);
        m_sampleMs += NowMs() - began;
        std::lock_guard<std::mutex> guard(m_mutex);
        m_samples.push_back(std::move(s));
    }

    int m_index;
    Monitor& m_monitor;
    PROCESS_INFORMATION m_pi = {};
    HWND m_top = nullptr;
    HWND m_list = nullptr;
    void* m_remote = nullptr;
    size_t m_remoteSize = 0;
    // One cell in the reader: its LVITEMW, then its text (a name or fax number is shorter).
    static constexpr int kTextUnits = 64;
    static constexpr size_t kItemBytes = 96;
    static constexpr size_t kCellBytes = kItemBytes + kTextUnits * sizeof(wchar_t);
    static_assert(sizeof(LVITEMW) <= kItemBytes);
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Sample> m_samples;
    std::atomic<long> m_unstable{0};
    std::atomic<long> m_failed{0};
    double m_sampleMs = 0;  // the sampler's alone
};

// ---- Whether the readers' windows answer ----

// Sends WM_NULL to every reader's window in turn, as another program does, and keeps how
// long each took: a window that waits on the book's lock does not answer.
class AnswerWatch {
public:
    void Start(std::vector<std::pair<int, HWND>> windows) {
        m_windows = std::move(windows);
        m_thread = std::thread([this] {
            while (!m_stop) {
                for (const auto& [index, window] : m_windows) {
                    const double from = NowMs();
                    DWORD_PTR unused = 0;
                    const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &unused) != 0;
                    const double took = NowMs() - from;
                    std::lock_guard<std::mutex> guard(m_mutex);
                    ++m_asked;
                    if (!answered) ++m_unanswered;
                    if (took > 100) ++m_over100;
                    if (took > m_longest) {
                        m_longest = took;
                        m_longestReader = index;
                        m_longestAt = from;
                    }
                }
                Sleep(50);
            }
        });
    }
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
    }
    std::string Summary() {
        std::lock_guard<std::mutex> guard(m_mutex);
        return Format("reader windows asked %ld times (WM_NULL from this process): longest without an answer %.0f ms "
                      "(reader %d at t=%.1fs); %ld answers took over 100 ms; %ld never came",
                      m_asked, m_longest, m_longestReader, m_longestAt / 1000.0, m_over100, m_unanswered);
    }

private:
    std::vector<std::pair<int, HWND>> m_windows;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    long m_asked = 0, m_over100 = 0, m_unanswered = 0;
    double m_longest = 0, m_longestAt = 0;
    int m_longestReader = 0;
};

// The stalled writer's side: takes the book's lock (as the engine takes it) and holds it.
int StallWriter(const std::wstring& book, DWORD ms) {
    HANDLE f = CreateFileW(book.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 2;
    OVERLAPPED ov = {};
    ov.Offset = 0xFFFFFF00;
    ov.OffsetHigh = 0x7FFFFFFF;
    // Waits its turn as a writer does, then stalls.
    if (!LockFileEx(f, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov)) return 3;
    Sleep(ms);
    CloseHandle(f);
    return 0;
}

// ---- The source file that pbtool sync follows ----

struct SourceRow {
    std::wstring name, fax;
};

class Source {
public:
    explicit Source(std::mt19937_64& rng) : m_rng(rng) {
        const int n = Uniform(100, 200);
        for (int i = 0; i < n; ++i) m_rows.push_back({NextName(), Fax()});
    }
    // Some adds, removals and changed fax numbers, within 50 to 300 rows; never near the
    // half that a sync refuses to remove.
    void Change() {
        const int n = static_cast<int>(m_rows.size());
        const int step = std::max(1, n / 20);
        int removes = Uniform(0, step), adds = Uniform(0, step);
        const int changes = Uniform(0, step);
        if (n - removes < kSourceMin) removes = 0;
        if (n - removes + adds > kSourceMax) adds = 0;
        for (int i = 0; i < removes; ++i) m_rows.erase(m_rows.begin() + Uniform(0, static_cast<int>(m_rows.size()) - 1));
        for (int i = 0; i < changes; ++i) m_rows[Uniform(0, static_cast<int>(m_rows.size()) - 1)].fax = Fax();
        for (int i = 0; i < adds; ++i) m_rows.insert(m_rows.begin() + Uniform(0, static_cast<int>(m_rows.size())), {NextName(), Fax()});
    }
    bool Write(const std::wstring& path) const {
        const std::wstring temp = path + L".new";
        FILE* f = _wfopen(temp.c_str(), L"wb");
        if (!f) return false;
        for (const auto& r : m_rows) fprintf(f, "%s,%s\r\n", Utf8(r.name).c_str(), Utf8(r.fax).c_str());
        const bool ok = fclose(f) == 0;
        return ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    const std::vector<SourceRow>& Rows() const { return m_rows; }

private:
    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    std::wstring NextName() { return CMString::Formatted(L"Sync %06d", ++m_last).str(); }
    std::wstring Fax() { return CMString::Formatted(L"555%07d", Uniform(0, 9999999)).str(); }

    std::mt19937_64& m_rng;
    std::vector<SourceRow> m_rows;
    int m_last = 0;
};

// What the Synced group holds against the source the sync read; empty when they agree.
std::string CompareSynced(const std::vector<BookRecord>& records, const std::vector<SourceRow>& source) {
    std::map<uint16_t, const BookRecord*> byId;
    const BookRecord* group = nullptr;
    int groups = 0;
    for (const auto& r : records) {
        if (r.kind == pbabi::kKindGroup && r.name == kSyncedGroup) {
            group = &r;
            ++groups;
        } else if (r.kind == pbabi::kKindEntry) {
            byId[r.id] = &r;
        }
    }
    if (!group) return "no group Synced in the book";
    std::set<std::wstring> want, have, strays;
    for (const auto& s : source) want.insert(s.name + L"\t" + s.fax);
    for (uint16_t id : group->members) {
        auto it = byId.find(id);
        if (it != byId.end()) have.insert(it->second->name + L"\t" + it->second->fax);
    }
    for (const auto& r : records)
        if (r.kind == pbabi::kKindEntry && r.name.rfind(L"Sync ", 0) == 0 && !have.count(r.name + L"\t" + r.fax))
            strays.insert(r.name);
    std::vector<std::wstring> missing, extra;
    std::set_difference(want.begin(), want.end(), have.begin(), have.end(), std::back_inserter(missing));
    std::set_difference(have.begin(), have.end(), want.begin(), want.end(), std::back_inserter(extra));
    if (missing.empty() && extra.empty() && strays.empty() && groups == 1) return {};
    std::string text = Format("%zu source rows, %zu members: %zu missing, %zu not in the source, %zu Sync entries outside the group, %d groups named Synced",
                              want.size(), have.size(), missing.size(), extra.size(), strays.size(), groups);
    if (!missing.empty()) text += "; first missing " + Utf8(missing.front());
    if (!extra.empty()) text += "; first extra " + Utf8(extra.front());
    return text;
}

// ---- The writer by hand (child process) ----

void QuietMessages() {
    SetMessageSink([](const CMString& caption, const CMString& text, UINT style) {
        fprintf(stderr, "soak: message: %s: %s\n", caption.ToUtf8().c_str(), text.ToUtf8().c_str());
        const UINT type = style & MB_TYPEMASK;
        if (type == MB_YESNO) return IDNO;
        if (type == MB_OKCANCEL) return IDCANCEL;
        return IDOK;
    });
}

CMString DistDir(const std::wstring& given) {
    CMString dist = given.empty() ? CMString::FromUtf8(PBE_DIST_DIR) : CMString(given);
    if (dist.GetAt(0) == L'/') dist = CMString(L"Z:") + dist;
    dist.Replace(L"/", L"\\");
    if (dist.GetAt(dist.GetLength() - 1) != L'\\') dist += L"\\";
    return dist;
}

bool LoadLanguage(const CMString& dist) {
    return TextResourceLoader::Initialize(dist + L"Morva\\Language Data\\V5.0\\en-US\\m2txtZY.dll", true);
}

// Adds and removes "Hand" entries in short read-write opens (a read-write open keeps
// other writers out), logging each change answered with success before the next.
int HandWriter(const std::wstring& book, const std::wstring& logPath, unsigned first, const std::wstring& stopName,
               uint64_t seed, const std::wstring& dist) {
    QuietMessages();
    if (!LoadLanguage(DistDir(dist))) return 2;
    HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, stopName.c_str());
    if (!stop) return 2;
    FILE* log = _wfopen(logPath.c_str(), L"ab");
    if (!log) return 2;
    std::mt19937_64 rng(seed);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    CPhonebook model(nullptr);
    PhonebookDB& db = model.Database();
    unsigned next = first;
    std::vector<BookRecord> records;
    while (WaitForSingleObject(stop, 0) != WAIT_OBJECT_0) {
        if (!db.Open(book.c_str(), 0, 0) || db.IsReadOnly()) {
            db.Close();
            Sleep(static_cast<DWORD>(uniform(50, 200)));
            continue;
        }
        const int changes = uniform(1, 3);
        for (int k = 0; k < changes; ++k) {
            if (ReadBook(db, records) != pbabi::kOk) break;
            std::vector<const BookRecord*> hand;
            for (const auto& r : records)
                if (r.kind == pbabi::kKindEntry && r.name.rfind(L"Hand ", 0) == 0) hand.push_back(&r);
            const bool add = hand.size() < 40 || (hand.size() < 150 && uniform(0, 99) < 55);
            if (add) {
                const CMString name = CMString::Formatted(L"Hand %07u", next++);
                const CMString fax = CMString::Formatted(L"777%07d", uniform(0, 9999999));
                if (model.AddFromFields(name, fax, L"", L"", L"", L"", false, false) == pbabi::kOk) {
                    fprintf(log, "ADD\t%s\t%s\n", name.ToUtf8().c_str(), fax.ToUtf8().c_str());
                    fflush(log);
                }
            } else {
                const BookRecord* victim = hand[static_cast<size_t>(uniform(0, static_cast<int>(hand.size()) - 1))];
                // Said first: a kill between the removal and its answer's line leaves the
                // entry gone without a REM, which is no loss.
                fprintf(log, "TRY-REM\t%s\n", Utf8(victim->name).c_str());
                fflush(log);
                if (db.RemoveRecord(victim->id) == pbabi::kOk) {
                    fprintf(log, "REM\t%s\n", Utf8(victim->name).c_str());
                    fflush(log);
                }
            }
        }
        db.Close();
        Sleep(static_cast<DWORD>(uniform(100, 400)));
    }
    fclose(log);
    return 0;
}

// Replays the hand writer's log against the book at the end: each added name not removed
// since is there with its fax number; each removed one is gone.
void CheckHandLog(const std::wstring& logPath, const std::vector<BookRecord>& records, size_t* adds, size_t* removes,
                  size_t* unlogged) {
    std::map<std::wstring, std::wstring> present;  // name -> fax
    std::set<std::wstring> removed;
    std::set<std::wstring> tried;  // removals begun, answered or not
    *adds = *removes = 0;
    const std::string text = FileText(logPath);
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        std::vector<std::string> parts;
        for (size_t p = 0, q; p <= line.size(); p = q + 1) {
            q = line.find('\t', p);
            if (q == std::string::npos) q = line.size();
            parts.push_back(line.substr(p, q - p));
        }
        if (parts.size() == 3 && parts[0] == "ADD") {
            const std::wstring name = CMString::FromUtf8(parts[1]).str();
            present[name] = CMString::FromUtf8(parts[2]).str();
            removed.erase(name);
            ++*adds;
        } else if (parts.size() == 2 && parts[0] == "TRY-REM") {
            tried.insert(CMString::FromUtf8(parts[1]).str());
        } else if (parts.size() == 2 && parts[0] == "REM") {
            const std::wstring name = CMString::FromUtf8(parts[1]).str();
            present.erase(name);
            removed.insert(name);
            ++*removes;
        }
    }
    std::map<std::wstring, std::wstring> inBook;
    for (const auto& r : records)
        if (r.kind == pbabi::kKindEntry && r.name.rfind(L"Hand ", 0) == 0) inBook[r.name] = r.fax;
    size_t missing = 0, wrong = 0, back = 0;
    std::string firstMissing, firstBack;
    for (const auto& [name, fax] : present) {
        auto it = inBook.find(name);
        if (it == inBook.end()) {
            if (tried.count(name)) continue;  // a removal whose answer its writer did not live to log
            if (!missing++) firstMissing = Utf8(name);
        } else if (it->second != fax) {
            ++wrong;
        }
    }
    for (const auto& name : removed)
        if (inBook.count(name) && !back++) firstBack = Utf8(name);
    *unlogged = 0;
    for (const auto& [name, fax] : inBook)
        if (!present.count(name)) ++*unlogged;
    if (missing) g_violations.Add("hand-log", Format("%zu entries added with success are missing (first %s)", missing, firstMissing.c_str()));
    if (wrong) g_violations.Add("hand-log", Format("%zu entries added with success have another fax number", wrong));
    if (back) g_violations.Add("hand-log", Format("%zu entries removed with success are back (first %s)", back, firstBack.c_str()));
}

// ---- The run ----

struct Options {
    double minutes = 10;
    int readers = 5;
    uint64_t seed = 0;
    std::wstring dir, dist;
    int pbtoolWait = -1;
    bool keep = false;
    int stallFigures = 0;  // seconds a writer holds the lock in the figures run; 0: the soak
};

struct Stats {
    long syncsOk = 0, syncsFailed = 0, syncsKilled = 0, handKills = 0, handRestarts = 0, verifies = 0;
    long stalls = 0;
    double stalledMs = 0, longestStallMs = 0;
    std::map<int, long> syncExitCodes;
    std::vector<double> syncMs;
    std::string lastSyncFailure;
};

class Soak {
public:
    explicit Soak(Options options) : m_opt(std::move(options)), m_rng(m_opt.seed) {}
    int Run();
    int StallFigures(DWORD holdMs);

private:
    bool Prepare();
    bool Verify(const char* when);
    void StartHand();
    void StopHand(bool kill);
    void StartSync();
    void FinishSync(DWORD code);
    void Analyze();
    void Report(uint64_t firstCounter, uint64_t lastCounter);
    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

    Options m_opt;
    std::mt19937_64 m_rng;
    CMString m_dist;
    std::wstring m_folder, m_book, m_sourcePath, m_syncInput, m_handLog, m_stopName, m_pbtool, m_editor, m_self;
    std::wstring m_waitArg;
    HANDLE m_stop = nullptr;
    std::unique_ptr<Monitor> m_monitor;
    std::vector<std::unique_ptr<Reader>> m_readers;
    std::unique_ptr<Source> m_source;
    PROCESS_INFORMATION m_hand = {};
    unsigned m_handGeneration = 0;
    PROCESS_INFORMATION m_sync = {};
    PROCESS_INFORMATION m_stall = {};
    double m_stallStart = 0, m_stallMs = 0;
    AnswerWatch m_answers;
    bool m_syncRunning = false;
    double m_syncStart = 0;
    std::vector<SourceRow> m_syncRows;
    bool m_killSync = false;
    double m_killSyncAfter = 0;
    Stats m_stats;
    std::vector<double> m_stale;
    struct {
        double ms = 0;
        int reader = 0;
        double commitMs = 0;
        uint64_t counter = 0;
    } m_longest;
    long m_samples = 0, m_matchedLate = 0, m_inGaps = 0;
    std::vector<std::string> m_notes;
};

bool Soak::Prepare() {
    wchar_t buffer[MAX_PATH * 2] = {};
    GetModuleFileNameW(nullptr, buffer, MAX_PATH * 2);
    m_self = buffer;
    m_dist = DistDir(m_opt.dist);
    m_pbtool = (m_dist + L"pbtool.exe").str();
    m_editor = (m_dist + L"PhonebookEditor.exe").str();
    if (GetFileAttributesW(m_pbtool.c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesW(m_editor.c_str()) == INVALID_FILE_ATTRIBUTES) {
        fprintf(stderr, "soak: no pbtool.exe or PhonebookEditor.exe in %s\n", m_dist.ToUtf8().c_str());
        return false;
    }
    if (!LoadLanguage(m_dist)) {
        fprintf(stderr, "soak: no language library under %s\n", m_dist.ToUtf8().c_str());
        return false;
    }
    if (m_opt.dir.empty()) {
        GetTempPathW(MAX_PATH, buffer);
        // No dash in the name: the program looks for its options anywhere on its command line.
        m_folder = CMString::Formatted(L"%spbesoak%lu", buffer, GetCurrentProcessId()).str();
    } else {
        m_folder = m_opt.dir;
    }
    CreateDirectoryW(m_folder.c_str(), nullptr);
    m_book = m_folder + L"\\office.mpb2";
    m_sourcePath = m_folder + L"\\source.csv";
    m_syncInput = m_folder + L"\\sync-input.csv";
    m_handLog = m_folder + L"\\hand.log";
    DeleteFileW(m_handLog.c_str());
    m_stopName = CMString::Formatted(L"Local\\pbe-soak-stop-%lu", GetCurrentProcessId()).str();
    m_stop = CreateEventW(nullptr, TRUE, FALSE, m_stopName.c_str());

    // pbtool waits out a busy book when it knows how.
    const std::wstring usage = m_folder + L"\\pbtool-usage.txt";
    RunToEnd(m_pbtool, L"", m_folder, usage, 60000);
    const bool knowsWait = FileText(usage).find("--wait") != std::string::npos;
    if (knowsWait && m_opt.pbtoolWait >= 0) m_waitArg = L" --wait " + std::to_wstring(m_opt.pbtoolWait);
    m_notes.push_back(knowsWait ? (m_waitArg.empty() ? "pbtool knows --wait: its default is used"
                                                     : "pbtool knows --wait: passed" + Utf8(m_waitArg))
                                : "pbtool has no --wait");

    {
        PhonebookDB db;
        if (!db.Create(m_book.c_str())) {
            fprintf(stderr, "soak: cannot create %s\n", Utf8(m_book).c_str());
            return false;
        }
    }
    // A book with contents before anyone reads it: an empty list is never a state the
    // readers may show.
    m_source = std::make_unique<Source>(m_rng);
    if (!m_source->Write(m_sourcePath)) return false;
    m_syncRows = m_source->Rows();
    CopyFileW(m_sourcePath.c_str(), m_syncInput.c_str(), FALSE);
    const int code = RunToEnd(m_pbtool, L"sync " + Quoted(m_book) + L" " + Quoted(m_syncInput) + L" --group Synced" + m_waitArg,
                              m_folder, m_folder + L"\\sync-out.txt", 120000);
    if (code != 0) {
        fprintf(stderr, "soak: the first sync failed (%d): %s\n", code, FileText(m_folder + L"\\sync-out.txt").c_str());
        return false;
    }
    return true;
}

bool Soak::Verify(const char* when) {
    const std::wstring out = m_folder + L"\\verify-out.txt";
    int code = -1;
    // A busy book is no answer: ask again, a few times.
    for (int attempt = 0; attempt < 5; ++attempt) {
        code = RunToEnd(m_pbtool, L"verify " + Quoted(m_book) + m_waitArg, m_folder, out, 180000);
        if (code == 0 || code == 3) break;
        Sleep(1000);
    }
    ++m_stats.verifies;
    if (code == 0) return true;
    g_violations.Add("verify", Format("%s: pbtool verify exited %d: %s", when, code, FileText(out).c_str()));
    return false;
}

void Soak::StartHand() {
    ++m_handGeneration;
    const std::wstring args = L"--hand-writer " + Quoted(m_book) + L" " + Quoted(m_handLog) + L" " +
                              std::to_wstring(m_handGeneration * 1000000u) + L" " + Quoted(m_stopName) + L" " +
                              std::to_wstring(m_rng()) + L" " + Quoted(m_dist.Left(m_dist.GetLength() - 1).str());
    if (!Launch(m_self, args, m_folder, m_folder + L"\\hand-out.txt", m_hand))
        g_violations.Add("soak", "the hand writer cannot be started");
}

void Soak::StopHand(bool kill) {
    if (!m_hand.hProcess) return;
    if (kill) {
        TerminateProcess(m_hand.hProcess, 9);
    } else {
        SetEvent(m_stop);
        if (WaitForSingleObject(m_hand.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(m_hand.hProcess, 9);
    }
    WaitForSingleObject(m_hand.hProcess, 10000);
    Release(m_hand);
}

void Soak::StartSync() {
    m_syncRows = m_source->Rows();
    if (!m_source->Write(m_syncInput)) {
        g_violations.Add("soak", "the sync's input cannot be written");
        return;
    }
    if (!Launch(m_pbtool, L"sync " + Quoted(m_book) + L" " + Quoted(m_syncInput) + L" --group Synced" + m_waitArg,
                m_folder, m_folder + L"\\sync-out.txt", m_sync)) {
        g_violations.Add("soak", "pbtool sync cannot be started");
        return;
    }
    m_syncRunning = true;
    m_syncStart = NowMs();
}

void Soak::FinishSync(DWORD code) {
    m_syncRunning = false;
    Release(m_sync);
    m_stats.syncMs.push_back(NowMs() - m_syncStart);
    ++m_stats.syncExitCodes[static_cast<int>(code)];
    if (code != 0) {
        ++m_stats.syncsFailed;
        m_stats.lastSyncFailure = FileText(m_folder + L"\\sync-out.txt");
        return;
    }
    ++m_stats.syncsOk;
    // Right after it, before the next: only the sync writes Sync entries.
    std::vector<BookRecord> records;
    int lastCode = 0;
    if (!ReadWholeBook(m_book, records, nullptr, &lastCode)) {
        g_violations.Add("sync", Format("the book cannot be read after sync #%ld (code %d)", m_stats.syncsOk, lastCode));
        return;
    }
    const std::string problem = CompareSynced(records, m_syncRows);
    if (!problem.empty()) g_violations.Add("sync", Format("after sync #%ld exited 0: %s", m_stats.syncsOk, problem.c_str()));
}

// One reader of a full book behind by one commit while a writer holds the lock for
// holdMs: how long its window took to answer, the fewest rows it showed, and how soon
// after the writer let go it showed the commit.
int Soak::StallFigures(DWORD holdMs) {
    if (!Prepare()) return 2;
    const std::wstring full = m_folder + L"\\full.mpb2";
    if (RunToEnd(m_pbtool, L"sample " + Quoted(full) + L" --entries 2490 --groups 0 --replace", m_folder, L"", 120000) != 0) {
        fprintf(stderr, "soak: pbtool sample failed\n");
        return 2;
    }
    Monitor unused(full);  // a reader's samples are not taken here
    Reader reader(1, unused);
    if (!reader.Start(m_editor, full, m_folder) || !reader.WaitReady(120000)) {
        fprintf(stderr, "soak: the reader shows no list\n");
        return 2;
    }
    const long before = reader.Rows();
    for (int round = 1; round <= 3; ++round) {
        // The commit the reader has not read, then at once the writer that stalls.
        {
            CPhonebook model(nullptr);
            if (!model.Database().Open(full.c_str(), 0, 0)) return 2;
            const CMString name = CMString::Formatted(L"Stall %d", round);
            if (model.AddFromFields(name, L"0301234", L"", L"", L"", L"", false, false) != pbabi::kOk) return 2;
        }
        PROCESS_INFORMATION stall = {};
        if (!Launch(m_self, L"--stall " + Quoted(full) + L" " + std::to_wstring(holdMs), m_folder, L"", stall)) return 2;
        const double from = NowMs();
        double longest = 0;
        long fewest = LONG_MAX, asked = 0, over = 0;
        while (WaitForSingleObject(stall.hProcess, 0) == WAIT_TIMEOUT) {
            const double t = NowMs();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(reader.Top(), WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
            const double took = NowMs() - t;
            longest = std::max(longest, took);
            ++asked;
            if (took > 100) ++over;
            if (asked % 10 == 0) fewest = std::min(fewest, reader.Rows());
            Sleep(20);
        }
        const double released = NowMs();
        Release(stall);
        long rows = reader.Rows();
        while (rows != before + round && NowMs() - released < 30000) {
            Sleep(20);
            rows = reader.Rows();
        }
        printf("stall %d: writer held the lock %.1f s; the reader's window answered %ld WM_NULL, longest %.0f ms, "
               "%ld over 100 ms; its list had %ld rows at least (%ld before); it showed the new commit %.0f ms after "
               "the writer let go (%ld rows)\n",
               round, (released - from) / 1000.0, asked, longest, over, fewest, before + round - 1,
               NowMs() - released, rows);
    }
    reader.Close(15000);
    for (const wchar_t* name : {L"\\full.mpb2", L"\\office.mpb2", L"\\source.csv", L"\\sync-input.csv",
                                L"\\pbtool-usage.txt", L"\\sync-out.txt"})
        DeleteFileW((m_folder + name).c_str());
    RemoveDirectoryW(m_folder.c_str());
    return 0;
}

int Soak::Run() {
    if (!Prepare()) return 2;
    m_monitor = std::make_unique<Monitor>(m_book);
    if (!m_monitor->Start()) {
        fprintf(stderr, "soak: the monitor cannot read the book\n");
        return 2;
    }
    const uint64_t firstCounter = m_monitor->Latest();
    for (int i = 0; i < m_opt.readers; ++i) {
        m_readers.push_back(std::make_unique<Reader>(i + 1, *m_monitor));
        if (!m_readers.back()->Start(m_editor, m_book, m_folder)) {
            fprintf(stderr, "soak: reader %d cannot be started\n", i + 1);
            return 2;
        }
    }
    for (auto& r : m_readers) {
        if (!r->WaitReady(120000)) {
            fprintf(stderr, "soak: reader %d shows no filled list\n", r->Index());
            for (auto& other : m_readers) other->Close(5000);
            return 2;
        }
    }
    std::vector<std::pair<int, HWND>> windows;
    for (auto& r : m_readers) {
        r->start = Measure(r->Process());
        r->StartSampling();
        windows.push_back({r->Index(), r->Top()});
    }
    m_answers.Start(windows);
    fprintf(stderr, "soak: %d readers up; book %s; %g minutes\n", m_opt.readers, Utf8(m_book).c_str(), m_opt.minutes);

    StartHand();
    const double begin = NowMs();
    const double endAt = begin + m_opt.minutes * 60000.0;
    double nextSource = begin + 2000, nextSync = begin + 1000, nextKill = begin + Uniform(15000, 40000);
    double nextProgress = begin + 60000, middleAt = begin + (endAt - begin) / 2;
    double nextStall = begin + Uniform(10000, 30000);
    bool middleTaken = false;
    while (NowMs() < endAt) {
        const double now = NowMs();
        if (now >= nextSource) {
            m_source->Change();
            if (!m_source->Write(m_sourcePath)) g_violations.Add("soak", "the source cannot be written");
            nextSource += 2000;
        }
        if (m_syncRunning) {
            DWORD code = 0;
            if (WaitForSingleObject(m_sync.hProcess, 0) == WAIT_OBJECT_0) {
                GetExitCodeProcess(m_sync.hProcess, &code);
                FinishSync(code);
                nextSync = NowMs() + Uniform(500, 3000);
            } else if (m_killSync && now - m_syncStart >= m_killSyncAfter) {
                TerminateProcess(m_sync.hProcess, 9);
                WaitForSingleObject(m_sync.hProcess, 10000);
                m_syncRunning = false;
                Release(m_sync);
                m_killSync = false;
                ++m_stats.syncsKilled;
                Verify(Format("after killing sync %.0f ms into its run", m_killSyncAfter).c_str());
                nextSync = NowMs() + Uniform(500, 3000);
            }
        } else if (now >= nextSync) {
            StartSync();
            if (m_killSync) m_killSyncAfter = Uniform(0, static_cast<int>(std::max(300.0, m_stats.syncMs.empty() ? 1500.0 : m_stats.syncMs.back())));
        }
        if (m_hand.hProcess && WaitForSingleObject(m_hand.hProcess, 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(m_hand.hProcess, &code);
            g_violations.Add("soak", Format("the hand writer ended by itself (%lu): %s", code,
                                            FileText(m_folder + L"\\hand-out.txt").c_str()));
            Release(m_hand);
            // One that cannot run is not started for ever.
            if (++m_stats.handRestarts < 5) StartHand();
        }
        if (now >= nextKill) {
            if (Uniform(0, 1) == 0) {
                m_killSync = true;  // the running or the next sync, at a random point of it
                m_killSyncAfter = Uniform(0, static_cast<int>(std::max(300.0, m_stats.syncMs.empty() ? 1500.0 : m_stats.syncMs.back())));
            } else {
                // Just after an answered change the writer has the book open and is
                // likely in its next change: the kill lands then, a few ms on.
                const auto logSize = [&] {
                    WIN32_FILE_ATTRIBUTE_DATA data = {};
                    return GetFileAttributesExW(m_handLog.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
                };
                const DWORD before = logSize();
                for (const double until = NowMs() + 5000; logSize() == before && NowMs() < until;) Sleep(1);
                Sleep(static_cast<DWORD>(Uniform(0, 20)));
                StopHand(true);
                ++m_stats.handKills;
                Verify("after killing the hand writer");
                StartHand();
            }
            nextKill = NowMs() + Uniform(15000, 40000);
        }
        if (m_stall.hProcess && WaitForSingleObject(m_stall.hProcess, 0) == WAIT_OBJECT_0) {
            const double held = NowMs() - m_stallStart;
            m_stats.stalledMs += held;
            m_stats.longestStallMs = std::max(m_stats.longestStallMs, held);
            Release(m_stall);
            nextStall = NowMs() + Uniform(20000, 60000);
        } else if (!m_stall.hProcess && now >= nextStall && now + 5000 < endAt) {
            m_stallMs = Uniform(5000, kLongestStallMs);
            if (Launch(m_self, L"--stall " + Quoted(m_book) + L" " + std::to_wstring(static_cast<long>(m_stallMs)), m_folder,
                       L"", m_stall)) {
                m_stallStart = NowMs();
                ++m_stats.stalls;
            } else {
                g_violations.Add("soak", "the stalled writer cannot be started");
                nextStall = endAt;
            }
        }
        if (!middleTaken && now >= middleAt) {
            for (auto& r : m_readers) r->middle = Measure(r->Process());
            middleTaken = true;
        }
        if (now >= nextProgress) {
            fprintf(stderr, "soak: %.1f min: counter %llu, syncs %ld ok %ld failed, kills %ld sync %ld hand, %zu violations\n",
                    (now - begin) / 60000.0, static_cast<unsigned long long>(m_monitor->Latest()), m_stats.syncsOk,
                    m_stats.syncsFailed, m_stats.syncsKilled, m_stats.handKills, g_violations.Items().size());
            nextProgress += 60000;
        }
        for (auto& r : m_readers)
            if (!r->gone && r->Exited()) {
                r->gone = true;
                g_violations.Add("reader", Format("reader %d ended by itself", r->Index()));
            }
        Sleep(50);
    }

    // The writers stop; the last sync finishes.
    if (m_stall.hProcess) {
        WaitForSingleObject(m_stall.hProcess, 60000);
        m_stats.stalledMs += NowMs() - m_stallStart;
        Release(m_stall);
    }
    while (m_syncRunning) {
        if (WaitForSingleObject(m_sync.hProcess, 180000) != WAIT_OBJECT_0) TerminateProcess(m_sync.hProcess, 9);
        DWORD code = 0;
        GetExitCodeProcess(m_sync.hProcess, &code);
        FinishSync(code);
    }
    StopHand(false);
    Verify("at the end");

    std::vector<BookRecord> records;
    uint64_t finalCounter = 0;
    int lastCode = 0;
    size_t adds = 0, removes = 0, unlogged = 0;
    if (ReadWholeBook(m_book, records, &finalCounter, &lastCode)) {
        CheckHandLog(m_handLog, records, &adds, &removes, &unlogged);
        m_notes.push_back(Format("hand writer: %zu adds and %zu removals logged; %zu Hand entries in the book that no add logged (killed between the answer and the log)",
                                 adds, removes, unlogged));
    } else {
        g_violations.Add("hand-log", Format("the book cannot be read at the end (code %d)", lastCode));
    }

    // Every reader follows to the final state (a reader looks every second).
    for (int i = 0; i < 200 && m_monitor->Latest() != finalCounter; ++i) Sleep(50);
    const uint64_t finalHash = HashRows(ShownRows(records));
    for (auto& r : m_readers) r->StopSampling();
    for (auto& r : m_readers) {
        bool shown = false;
        const double until = NowMs() + 15000;
        uint64_t hash = 0;
        while (!shown && NowMs() < until) {
            shown = r->SampleNow(&hash) && hash == finalHash;
            if (!shown) Sleep(200);
        }
        if (!shown) g_violations.Add("final-state", Format("reader %d does not show the final state 15 s after the writers stopped", r->Index()));
    }
    m_answers.Stop();
    m_monitor->Stop();
    for (auto& r : m_readers) r->end = Measure(r->Process());
    Analyze();
    Report(firstCounter, finalCounter);

    std::vector<uintptr_t> retries;
    for (auto& r : m_readers) {
        uintptr_t value = 0;
        retries.push_back(r->ListingRetries(&value) ? value : UINTPTR_MAX);
    }
    std::string line = "reads retried (PbeListingRetries):";
    for (size_t i = 0; i < retries.size(); ++i)
        line += retries[i] == UINTPTR_MAX ? " n/a" : Format(" %llu", static_cast<unsigned long long>(retries[i]));
    printf("%s\n", line.c_str());

    for (auto& r : m_readers)
        if (!r->Close(15000)) g_violations.Add("close", Format("reader %d did not close on WM_CLOSE within 15 s", r->Index()));
    CloseHandle(m_stop);

    const auto items = g_violations.Items();
    std::map<std::string, int> byCheck;
    for (const auto& v : items) ++byCheck[v.check];
    printf("violations: %zu\n", items.size());
    for (const auto& [check, n] : byCheck) printf("  %s: %d\n", check.c_str(), n);
    for (const auto& v : items) printf("  [%s] t=%.1fs %s\n", v.check.c_str(), v.t / 1000.0, v.detail.c_str());
    if (items.empty() && !m_opt.keep) {
        for (const wchar_t* name : {L"\\office.mpb2", L"\\source.csv", L"\\source.csv.new", L"\\sync-input.csv",
                                    L"\\sync-input.csv.new", L"\\hand.log", L"\\pbtool-usage.txt", L"\\sync-out.txt",
                                    L"\\verify-out.txt", L"\\hand-out.txt"})
            DeleteFileW((m_folder + name).c_str());
        RemoveDirectoryW(m_folder.c_str());
    } else {
        printf("work folder kept: %s\n", Utf8(m_folder).c_str());
    }
    return items.empty() ? 0 : 1;
}

// Matches every sample of every reader against the recorded states, finds the ones
// that show no state and the ones that go back, and measures how long each reader
// stayed behind each commit.
// The rows the hand writer logged as added ("name\tfax" as the list shows them): such a
// row may come and go inside commits the monitor missed.
std::set<std::wstring> HandRows(const std::wstring& logPath) {
    std::set<std::wstring> rows;
    const std::string text = FileText(logPath);
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t tab = line.find('\t'), second = line.find('\t', tab + 1);
        if (line.rfind("ADD\t", 0) != 0 || second == std::string::npos) continue;
        rows.insert(CMString::FromUtf8(line.substr(tab + 1, second - tab - 1)).str() + L"\t" +
                    CMString::FromUtf8(line.substr(second + 1)).str());
    }
    return rows;
}

void Soak::Analyze() {
    const std::vector<Commit> commits = m_monitor->Commits();
    const std::vector<Gap> gaps = m_monitor->Gaps();
    // A writer by hand may add an entry and remove it again between two looks of the
    // monitor (one open, up to three changes): the state between is a commit all the same.
    const std::set<std::wstring> handRows = HandRows(m_handLog);
    for (auto& r : m_readers) {
        const std::vector<Sample> samples = r->Samples();
        m_samples += static_cast<long>(samples.size());
        std::vector<std::pair<double, uint64_t>> shown;  // time, counter
        uint64_t previous = 0;
        // Samples that show no state, by run of one content.
        struct Episode {
            double from, to;
            uint64_t hash;
            size_t rows;
            int samples;
            std::string kind;
        };
        std::vector<Episode> episodes;
        for (const auto& s : samples) {
            auto candidates = m_monitor->CountersOf(s.hash);
            if (!candidates.empty()) {
                if (!s.content.empty()) ++m_matchedLate;
                // The newest state of this content that the monitor had seen by then
                // (a content can come back); the monitor may lag a little.
                uint64_t counter = 0, newest = 0;
                bool any = false;
                for (const auto& [c, seen] : candidates) {
                    newest = std::max(newest, c);
                    if (seen <= s.t + 3000 && (!any || c > counter)) {
                        counter = c;
                        any = true;
                    }
                }
                if (!any) counter = newest;
                if (newest < previous)
                    g_violations.Add("reader-state", Format("reader %d at t=%.1fs went back to the state of counter %llu after showing %llu",
                                                            r->Index(), s.t / 1000.0, static_cast<unsigned long long>(newest),
                                                            static_cast<unsigned long long>(previous)));
                previous = std::max(previous, counter);
                shown.push_back({s.t, counter});
                continue;
            }
            // Not a recorded state: one the monitor missed lies between two it saw, so
            // it holds what both hold and nothing that neither does.
            const std::set<std::wstring> rows(s.content.begin(), s.content.end());
            bool inGap = false;
            for (const auto& g : gaps) {
                bool fits = true;
                for (const auto& row : g.before)
                    if (g.after.count(row) && !rows.count(row)) fits = false;
                for (const auto& row : rows)
                    if (!g.before.count(row) && !g.after.count(row) && !handRows.count(row)) fits = false;
                if (fits) {
                    inGap = true;
                    break;
                }
            }
            if (inGap) {
                ++m_inGaps;
                continue;
            }
            // What it is against the newest state recorded before it.
            std::string kind = "rows of no commit";
            if (s.rows == 0) {
                kind = "an empty list";
            } else {
                size_t newestRows = 0;
                for (const auto& c : commits)
                    if (c.seenMs <= s.t) newestRows = c.rows;
                if (s.rows < newestRows) kind = Format("a short list (%zu rows; the book had %zu)", s.rows, newestRows);
            }
            if (!episodes.empty() && episodes.back().hash == s.hash) {
                episodes.back().to = s.t;
                ++episodes.back().samples;
            } else {
                episodes.push_back({s.t, s.t, s.hash, s.rows, 1, kind});
            }
        }
        for (const auto& e : episodes)
            g_violations.Add("reader-state", Format("reader %d showed %s from t=%.1fs to t=%.1fs (%d samples)", r->Index(),
                                                    e.kind.c_str(), e.from / 1000.0, e.to / 1000.0, e.samples));
        // Stale: from the monitor's sight of a commit to this reader's first sample of
        // that state or a later one.
        if (shown.empty()) continue;
        size_t from = 0;
        for (const auto& c : commits) {
            if (c.seenMs < shown.front().first) continue;
            while (from < shown.size() && shown[from].first < c.seenMs) ++from;
            for (size_t i = from; i < shown.size(); ++i)
                if (shown[i].second >= c.counter) {
                    m_stale.push_back(shown[i].first - c.seenMs);
                    if (shown[i].first - c.seenMs > m_longest.ms)
                        m_longest = {shown[i].first - c.seenMs, r->Index(), c.seenMs, c.counter};
                    break;
                }
        }
    }
}

std::string Megabytes(SIZE_T bytes) { return Format("%.1f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0)); }

void Soak::Report(uint64_t firstCounter, uint64_t lastCounter) {
    const std::vector<Commit> commits = m_monitor->Commits();
    printf("\n== soak: %g minutes, %d readers, seed %llu ==\n", m_opt.minutes, m_opt.readers,
           static_cast<unsigned long long>(m_opt.seed));
    for (const auto& n : m_notes) printf("%s\n", n.c_str());
    printf("commits made: %llu (change counter %llu -> %llu); states recorded by the monitor: %zu; commits it missed: %zu gaps\n",
           static_cast<unsigned long long>(lastCounter - firstCounter), static_cast<unsigned long long>(firstCounter),
           static_cast<unsigned long long>(lastCounter), commits.size(), m_monitor->Gaps().size());
    std::vector<double> syncMs = m_stats.syncMs;
    std::sort(syncMs.begin(), syncMs.end());
    printf("syncs: %ld exited 0 (each checked), %ld failed, %ld killed; median run %.0f ms\n", m_stats.syncsOk,
           m_stats.syncsFailed, m_stats.syncsKilled, syncMs.empty() ? 0.0 : syncMs[syncMs.size() / 2]);
    for (const auto& [code, n] : m_stats.syncExitCodes) printf("  sync exit %d: %ld\n", code, n);
    if (!m_stats.lastSyncFailure.empty()) printf("  last failed sync said: %s\n", m_stats.lastSyncFailure.c_str());
    printf("kills survived: %ld (%ld sync, %ld hand writer); pbtool verify runs: %ld\n", m_stats.syncsKilled + m_stats.handKills,
           m_stats.syncsKilled, m_stats.handKills, m_stats.verifies);
    printf("stalled writer: %ld stalls, %.1f s in all, longest %.1f s\n", m_stats.stalls, m_stats.stalledMs / 1000.0,
           m_stats.longestStallMs / 1000.0);
    printf("%s\n", m_answers.Summary().c_str());
    long unstable = 0, failed = 0;
    double sampleMs = 0;
    for (auto& r : m_readers) {
        unstable += r->Unstable();
        failed += r->FailedReads();
        sampleMs += r->SampleMs();
    }
    printf("reader samples: %ld, %.0f ms each (%ld matched only at the end, %ld in commits the monitor missed); %ld given up as changing under the read, %ld failed reads; monitor busy reads %llu\n",
           m_samples, m_samples ? sampleMs / static_cast<double>(m_samples) : 0.0, m_matchedLate, m_inGaps, unstable, failed,
           static_cast<unsigned long long>(m_monitor->busyReads()));
    std::sort(m_stale.begin(), m_stale.end());
    if (m_stale.empty())
        printf("stale after a commit: no figures\n");
    else
        printf("stale after a commit (monitor's sight -> reader's list): median %.2f s, longest %.2f s, over %zu commit x reader pairs\n",
               m_stale[m_stale.size() / 2] / 1000.0, m_stale.back() / 1000.0, m_stale.size());
    if (!m_stale.empty())
        printf("  longest: reader %d, the commit of counter %llu seen at t=%.1fs\n", m_longest.reader,
               static_cast<unsigned long long>(m_longest.counter), m_longest.commitMs / 1000.0);
    printf("reader figures, start -> middle -> end (Wine may give 0 where it does not count):\n");
    for (auto& r : m_readers) {
        const Figures& a = r->start;
        const Figures& m = r->middle;
        const Figures& b = r->end;
        printf("  reader %d: handles %lu -> %lu -> %lu, GDI %lu -> %lu -> %lu, USER %lu -> %lu -> %lu, pagefile %s -> %s -> %s, working set %s -> %s -> %s\n",
               r->Index(), a.handles, m.handles, b.handles, a.gdi, m.gdi, b.gdi, a.user, m.user, b.user,
               Megabytes(a.pagefile).c_str(), Megabytes(m.pagefile).c_str(), Megabytes(b.pagefile).c_str(),
               Megabytes(a.workingSet).c_str(), Megabytes(m.workingSet).c_str(), Megabytes(b.workingSet).c_str());
        if (static_cast<long>(b.handles) - static_cast<long>(a.handles) > kHandleGrowth)
            g_violations.Add("resources", Format("reader %d: handles %lu -> %lu", r->Index(), a.handles, b.handles));
        if (static_cast<long>(b.gdi) - static_cast<long>(a.gdi) > kGuiGrowth)
            g_violations.Add("resources", Format("reader %d: GDI objects %lu -> %lu", r->Index(), a.gdi, b.gdi));
        if (static_cast<long>(b.user) - static_cast<long>(a.user) > kGuiGrowth)
            g_violations.Add("resources", Format("reader %d: USER objects %lu -> %lu", r->Index(), a.user, b.user));
        if (static_cast<long long>(b.pagefile) - static_cast<long long>(a.pagefile) > kMemoryGrowth)
            g_violations.Add("resources", Format("reader %d: pagefile usage %s -> %s", r->Index(), Megabytes(a.pagefile).c_str(),
                                                 Megabytes(b.pagefile).c_str()));
    }
    printf("  (a leak counts past +%ld handles, +%ld GDI or USER objects, +%s pagefile usage)\n", kHandleGrowth, kGuiGrowth,
           Megabytes(static_cast<SIZE_T>(kMemoryGrowth)).c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    app::SetInstance(GetModuleHandleW(nullptr));
    INITCOMMONCONTROLSEX init = {sizeof init, ICC_WIN95_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&init);
    if (argc == 4 && std::wstring(argv[1]) == L"--stall") return StallWriter(argv[2], static_cast<DWORD>(_wtoi(argv[3])));
    if (argc == 8 && std::wstring(argv[1]) == L"--hand-writer")
        return HandWriter(argv[2], argv[3], static_cast<unsigned>(_wtoi(argv[4])), argv[5], _wcstoui64(argv[6], nullptr, 10),
                          argv[7]);
    QuietMessages();
    Options options;
    options.seed = GetTickCount64();
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--minutes" && hasValue) options.minutes = _wtof(argv[++i]);
        else if (arg == L"--readers" && hasValue) options.readers = std::max(1, _wtoi(argv[++i]));
        else if (arg == L"--seed" && hasValue) options.seed = _wcstoui64(argv[++i], nullptr, 10);
        else if (arg == L"--dir" && hasValue) options.dir = argv[++i];
        else if (arg == L"--dist" && hasValue) options.dist = argv[++i];
        else if (arg == L"--pbtool-wait" && hasValue) options.pbtoolWait = _wtoi(argv[++i]);
        else if (arg == L"--keep") options.keep = true;
        else if (arg == L"--stall-figures" && hasValue) options.stallFigures = _wtoi(argv[++i]);
        else {
            fprintf(stderr,
                    "usage: soak [--minutes N] [--readers N] [--seed N] [--dir FOLDER] [--dist FOLDER]\n"
                    "            [--pbtool-wait S] [--keep]\n");
            return 2;
        }
    }
    setvbuf(stdout, nullptr, _IONBF, 0);
    Soak soak(options);
    return options.stallFigures > 0 ? soak.StallFigures(static_cast<DWORD>(options.stallFigures) * 1000) : soak.Run();
}
