// Prints one line per figure for a full current-format book (2500 records) and a full
// oldest-format book (1000): open, enumerate all, enumerate with two terms, add into a
// book one short of full, modify, remove, and the file size; for the current format also
// a group of 2400 members saved in one batch. Natively it runs the core
// on POSIX files; on Windows it loads m2fpd02.dll from the build's dist folder.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/SampleData.h"
#include "pbabi/EngineAbi.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include "core/Api.h"
#include "core/PosixPlatform.h"
#endif

using namespace pbabi;

namespace {

struct Engine {
    PfnWCreate wCreate;
    PfnWOpen wOpen;
    PfnWFindFirstOrNext2 wFind2;
    PfnWAddEntry wAdd;
    PfnWModifyEntry wModify;
    PfnWRemoveEntry wRemove;
    PfnAOpen aOpen;
    PfnAFindFirstOrNext2 aFind2;
    PfnAAddEntry aAdd;
    PfnAModifyEntry aModify;
    PfnARemoveEntry aRemove;
    PfnWAddToGroup wAddToGroup;
    PfnWBeginChanges wBegin;
    PfnWEndChanges wEnd;
};

#if defined(_WIN32)
using PathW = std::wstring;
void CloseFile(intptr_t h) { CloseHandle(reinterpret_cast<HANDLE>(h)); }
template <class Fn>
void Resolve(HMODULE m, const char* name, Fn& fn) {
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    if (!fn) {
        fprintf(stderr, "engine_bench: %s missing\n", name);
        exit(1);
    }
}
bool LoadEngine(Engine& e) {
    std::string dist = PBE_DIST_DIR;
    std::wstring dir = dist[0] == '/' ? L"Z:" : L"";
    for (char c : dist) dir.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    HMODULE m = LoadLibraryW((dir + L"\\m2fpd02.dll").c_str());
    if (!m) return false;
    Resolve(m, "WPbCreatePhonebook", e.wCreate);
    Resolve(m, "WPbOpenPhonebook", e.wOpen);
    Resolve(m, "WPbFindFirstOrNext2", e.wFind2);
    Resolve(m, "WPbAddEntry", e.wAdd);
    Resolve(m, "WPbModifyEntry", e.wModify);
    Resolve(m, "WPbRemoveEntry", e.wRemove);
    Resolve(m, "PbOpenPhonebook", e.aOpen);
    Resolve(m, "PbFindFirstOrNext2", e.aFind2);
    Resolve(m, "PbAddEntry", e.aAdd);
    Resolve(m, "PbModifyEntry", e.aModify);
    Resolve(m, "PbRemoveEntry", e.aRemove);
    Resolve(m, "WPbAddToGroup", e.wAddToGroup);
    Resolve(m, "WPbBeginChanges", e.wBegin);
    Resolve(m, "WPbEndChanges", e.wEnd);
    return true;
}
std::string TempDir() {
    char buf[MAX_PATH];
    GetTempPathA(MAX_PATH, buf);
    return buf;
}
long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return (static_cast<long long>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}
void RemoveFile(const std::string& path) { DeleteFileA(path.c_str()); }
#else
pbcore::PosixPlatform g_files;
namespace api = pbcore::api;
void CloseFile(intptr_t h) { ::close(static_cast<int>(h)); }
bool LoadEngine(Engine& e) {
    e.wCreate = [](PbHeaderW* h, const WChar* p, int* c) { return api::CreateW(g_files, h, p, c); };
    e.wOpen = [](PbHeaderW* h, const WChar* p, uint8_t m, int* c) { return api::OpenW(g_files, h, p, m, c); };
    e.wFind2 = [](PbHeaderW* h, PBEW* r, const PbTermSlotW* t, uint16_t* cu, int* d) { return api::Find2W(g_files, h, r, t, cu, d); };
    e.wAdd = [](PbHeaderW* h, PBEW* r, int* c) { return api::AddW(g_files, h, r, c); };
    e.wModify = [](PbHeaderW* h, uint16_t id, PBEW* r, int* c) { return api::ModifyW(g_files, h, id, r, c); };
    e.wRemove = [](PbHeaderW* h, uint16_t id, int* c) { return api::RemoveW(g_files, h, id, c); };
    e.aOpen = [](PbHeaderA* h, const char* p, uint8_t m, int* c) { return api::OpenA(g_files, h, p, m, c); };
    e.aFind2 = [](PbHeaderA* h, PBEA* r, const PbTermSlotA* t, uint16_t* cu, int* d) { return api::Find2A(g_files, h, r, t, cu, d); };
    e.aAdd = [](PbHeaderA* h, PBEA* r, int* c) { return api::AddA(g_files, h, r, c); };
    e.aModify = [](PbHeaderA* h, uint16_t id, PBEA* r, int* c) { return api::ModifyA(g_files, h, id, r, c); };
    e.aRemove = [](PbHeaderA* h, uint16_t id, int* c) { return api::RemoveA(g_files, h, id, c); };
    e.wAddToGroup = [](PbHeaderW* h, uint16_t g, uint16_t m, int* c) { return api::AddToGroupW(g_files, h, g, m, c); };
    e.wBegin = [](PbHeaderW* h, int* c) { return api::BeginChangesW(g_files, h, c); };
    e.wEnd = [](PbHeaderW* h, int* c) { return api::EndChangesW(g_files, h, c); };
    return true;
}
std::string TempDir() { return "/tmp/"; }
long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}
void RemoveFile(const std::string& path) { ::unlink(path.c_str()); }
#endif

template <class Char>
std::basic_string<Char> Convert(const pbcore::Units& u) {
    std::basic_string<Char> out;
    for (char16_t c : u) out.push_back(sizeof(Char) == 1 ? static_cast<Char>(c < 0x100 ? c : '?') : static_cast<Char>(c));
    return out;
}

template <class Rec, class Char>
struct Scratch {
    Rec rec{};
    Char ext[kExtensionCount][kExtensionWidth]{};
    Char* ptr[kExtensionCount]{};
    uint16_t members[kCapacityCurrent]{};
    void Clear() {
        rec = Rec{};
        std::memset(ext, 0, sizeof ext);
        for (int i = 0; i < kExtensionCount; ++i) ptr[i] = ext[i];
        rec.extensions = ptr;
        rec.members = members;
        rec.kind = kKindEntry;
    }
    void Fill(const pbcore::Record& r) {
        Clear();
        auto put = [](Char* field, size_t width, const pbcore::Units& u) {
            auto s = Convert<Char>(u);
            size_t n = std::min(s.size(), width - 1);
            std::memcpy(field, s.data(), n * sizeof(Char));
            field[n] = 0;
        };
        put(rec.name, kNameWidth, r.fields[pbcore::kName]);
        put(rec.fax, kFaxWidth, r.fields[pbcore::kFax]);
        put(ext[kExtOrganization], kExtensionWidth, r.fields[pbcore::kOrganization]);
        put(ext[kExtMailbox], 4, r.fields[pbcore::kMailbox]);
        put(ext[kExtPhone], kExtensionWidth, r.fields[pbcore::kPhone]);
        put(ext[kExtEmail], kExtensionWidth, r.fields[pbcore::kEmail]);
    }
};

double Now() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

template <class Header, class Rec, class Char, class Open, class Find, class Add, class Modify, class Remove>
void Run(const char* label, const std::string& path, int capacity, Open open, Find find, Add add, Modify modify,
         Remove remove, const std::basic_string<Char>& openPath, auto closeHeader, auto saveGroup) {
    pbcore::Sample sample = pbcore::MakeSample(capacity, 0, 7);
    Header h{};
    int code = -1;
    open(&h, openPath.c_str(), kModeReadWrite, &code);
    if (code) {
        fprintf(stderr, "%s: open failed (%d)\n", label, code);
        return;
    }
    Scratch<Rec, Char> s;
    for (int i = 0; i < capacity - 1; ++i) {
        s.Fill(sample.entries[static_cast<size_t>(i)]);
        add(&h, &s.rec, &code);
        if (code) {
            fprintf(stderr, "%s: filling failed at %d (%d)\n", label, i, code);
            return;
        }
    }
    const int reps = 20;
    double t0, addMs = 0, modifyMs = 0, removeMs = 0;
    for (int i = 0; i < reps; ++i) {
        s.Fill(sample.entries.back());
        t0 = Now();
        add(&h, &s.rec, &code);
        addMs += Now() - t0;
        uint16_t id = s.rec.id;
        s.rec.fax[0] = static_cast<Char>('9');
        t0 = Now();
        modify(&h, id, &s.rec, &code);
        modifyMs += Now() - t0;
        t0 = Now();
        remove(&h, id, &code);
        removeMs += Now() - t0;
        if (code) fprintf(stderr, "%s: remove failed (%d)\n", label, code);
    }
    const double groupMs = saveGroup(h);
    s.Fill(sample.entries.back());
    add(&h, &s.rec, &code);  // full now
    closeHeader(h);

    double openMs = 0;
    for (int i = 0; i < reps; ++i) {
        Header o{};
        t0 = Now();
        open(&o, openPath.c_str(), kModeReadWrite, &code);
        openMs += Now() - t0;
        closeHeader(o);
    }
    open(&h, openPath.c_str(), kModeReadOnly, &code);
    auto enumerate = [&](const void* terms) {
        uint16_t cursor = kCursorStart;
        int done = 0, n = 0;
        while (!done) {
            s.Clear();
            if (find(&h, &s.rec, terms, &cursor, &done)) ++n;
        }
        return n;
    };
    enumerate(nullptr);  // the first after the open; the figures are for the ones after it
    double allMs = 0, termsMs = 0;
    int all = 0, matched = 0;
    const Char t1[kTermWidth] = {'m', 'a', '*'}, t2[kTermWidth] = {'b', '*'};
    PbTermBlock<Char> blocks[3] = {{t1, nullptr}, {t2, nullptr}, {nullptr, nullptr}};
    PbTermSlot<Char> slots[3] = {{&blocks[0], nullptr}, {&blocks[1], nullptr}, {&blocks[2], nullptr}};
    for (int i = 0; i < reps; ++i) {
        t0 = Now();
        all = enumerate(nullptr);
        allMs += Now() - t0;
        t0 = Now();
        matched = enumerate(slots);
        termsMs += Now() - t0;
    }
    closeHeader(h);
    printf("%s: open %.3f ms\n", label, openMs / reps);
    printf("%s: enumerate all (%d records), after the first %.3f ms\n", label, all, allMs / reps);
    printf("%s: enumerate with two terms (%d matches) %.3f ms\n", label, matched, termsMs / reps);
    printf("%s: add into a book of %d %.3f ms\n", label, capacity - 1, addMs / reps);
    printf("%s: modify %.3f ms\n", label, modifyMs / reps);
    printf("%s: remove %.3f ms\n", label, removeMs / reps);
    if (groupMs >= 0) printf("%s: save a group of 2400 members in one batch %.3f ms\n", label, groupMs);
    printf("%s: file size %lld bytes\n", label, FileSize(path));
}

}  // namespace

#if defined(_WIN32)
int wmain() {
#else
int main() {
#endif
    Engine e{};
    if (!LoadEngine(e)) {
        fprintf(stderr, "engine_bench: the engine cannot be loaded\n");
        return 1;
    }
    std::string current = TempDir() + "engine-bench.mpb2", oldest = TempDir() + "engine-bench.pb";
    RemoveFile(current);
    RemoveFile(oldest);
    std::basic_string<WChar> currentW(current.begin(), current.end());
    auto wFind = [&](PbHeaderW* h, PBEW* r, const void* t, uint16_t* c, int* d) {
        return e.wFind2(h, r, static_cast<const PbTermSlotW*>(t), c, d);
    };
    auto aFind = [&](PbHeaderA* h, PBEA* r, const void* t, uint16_t* c, int* d) {
        return e.aFind2(h, r, static_cast<const PbTermSlotA*>(t), c, d);
    };
    auto closeW = [](PbHeaderW& h) {
        if (h.magic) CloseFile(reinterpret_cast<intptr_t>(h.file));
        h = PbHeaderW{};
    };
    auto closeA = [](PbHeaderA& h) {
        if (h.magic) CloseFile(h.file);
        h = PbHeaderA{};
    };
    // The group dialog's OK for a group of 2400: its creation and every member, one batch.
    auto saveGroup = [&](PbHeaderW& h) {
        std::vector<uint16_t> ids;
        Scratch<PBEW, WChar> r;
        uint16_t cursor = kCursorStart;
        int done = 0, code = -1;
        while (!done && ids.size() < 2400) {
            r.Clear();
            if (e.wFind2(&h, &r.rec, nullptr, &cursor, &done)) ids.push_back(r.rec.id);
        }
        r.Clear();
        const WChar name[] = {'T', 'e', 'a', 'm', 0};
        std::memcpy(r.rec.name, name, sizeof name);
        r.rec.kind = kKindGroup;
        const double start = Now();
        e.wBegin(&h, &code);
        e.wAdd(&h, &r.rec, &code);
        for (uint16_t id : ids) e.wAddToGroup(&h, r.rec.id, id, &code);
        e.wEnd(&h, &code);
        const double ms = Now() - start;
        if (code) fprintf(stderr, "mpb2 2500: the group was not saved (%d)\n", code);
        e.wRemove(&h, r.rec.id, &code);
        return ms;
    };
    Run<PbHeaderW, PBEW, WChar>("mpb2 2500", current, kCapacityCurrent, e.wOpen, wFind, e.wAdd, e.wModify, e.wRemove,
                                currentW, closeW, saveGroup);
    Run<PbHeaderA, PBEA, char>("pb 1000", oldest, kCapacityOld, e.aOpen, aFind, e.aAdd, e.aModify, e.aRemove, oldest,
                               closeA, [](PbHeaderA&) { return -1.0; });
    RemoveFile(current);
    RemoveFile(oldest);
    return 0;
}
