// The real m2fpd02.dll through its exports, as the program reaches it: layouts at
// their byte offsets, the enumeration protocol, codes, sets and modes, and a second
// process for one writer per file and for readers during a writer's changes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "EngineLibrary.h"

using namespace pbabi;

namespace {

std::wstring DistDir() {
    const char* dist = std::getenv("PBE_DIST");
    std::wstring path;
    for (const char* p = dist ? dist : ""; *p; ++p) path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
    if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

EngineLibrary& Engine() {
    static EngineLibrary* engine = [] {
        auto* e = new EngineLibrary;
        std::wstring error;
        e->Load(DistDir() + L"m2fpd02.dll", &error);
        return e;
    }();
    return *engine;
}

// A scratch folder; its files go with it.
struct Scratch {
    std::wstring dir;
    Scratch() {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        static int n = 0;
        dir = std::wstring(base) + L"pbe-engine-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++n) + L"\\";
        CreateDirectoryW(dir.c_str(), nullptr);
    }
    ~Scratch() {
        WIN32_FIND_DATAW fd;
        HANDLE f = FindFirstFileW((dir + L"*").c_str(), &fd);
        if (f != INVALID_HANDLE_VALUE) {
            do {
                std::wstring p = dir + fd.cFileName;
                SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(p.c_str());
            } while (FindNextFileW(f, &fd));
            FindClose(f);
        }
        RemoveDirectoryW(dir.c_str());
    }
    std::wstring File(const wchar_t* name) const { return dir + name; }
};

std::string Ansi(const std::wstring& w) {
    std::string s(w.size() * 2 + 1, '\0');
    int n = WideCharToMultiByte(CP_ACP, 0, w.c_str(), -1, s.data(), static_cast<int>(s.size()), nullptr, nullptr);
    s.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    return s;
}

void CloseW(PbHeaderW& h) {
    if (h.magic && h.file != INVALID_HANDLE_VALUE) CloseHandle(h.file);
    h.file = INVALID_HANDLE_VALUE;
    h.magic = 0;
}
void CloseA(PbHeaderA& h) {
    if (h.magic && h.file != -1) _lclose(h.file);
    h.file = -1;
    h.magic = 0;
}

int AddW(PbHeaderW& h, const wchar_t* name, const wchar_t* fax, uint8_t kind = kKindEntry, const wchar_t* org = L"") {
    OwnedRecordW r;
    r.rec.kind = kind;
    wcsncpy(r.rec.name, name, kNameWidth - 1);
    wcsncpy(r.rec.fax, fax, kFaxWidth - 1);
    wcsncpy(r.ext[kExtOrganization], org, kExtensionWidth - 1);
    int code = -1;
    int rc = Engine().wAdd(&h, &r.rec, &code);
    EXPECT_EQ(rc, code);
    return code == kOk ? r.rec.id : -code;
}

struct Item {
    uint8_t kind;
    uint16_t id;
    std::wstring name, fax, org;
};
std::vector<Item> EnumerateW(PbHeaderW& h, const PbTermSlotW* terms = nullptr) {
    std::vector<Item> out;
    OwnedRecordW r;
    uint16_t cursor = kCursorStart;
    int done = 0;
    for (int calls = 0; !done && calls < 6000; ++calls) {
        r.Clear();
        intptr_t got = Engine().wFind2(&h, &r.rec, terms, &cursor, &done);
        if (got) {
            EXPECT_EQ(got, reinterpret_cast<intptr_t>(&r.rec));
            out.push_back({r.rec.kind, r.rec.id, r.rec.name, r.rec.fax, r.ext[kExtOrganization]});
        }
    }
    return out;
}

std::vector<char> Bytes(const std::wstring& path) {
    std::vector<char> out;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    LARGE_INTEGER size;
    GetFileSizeEx(f, &size);
    out.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ReadFile(f, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    CloseHandle(f);
    return out;
}

// Runs this test program (or another) with arguments; returns its exit code.
DWORD RunChild(const std::wstring& exe, const std::wstring& args, HANDLE* running = nullptr) {
    std::wstring line = L"\"" + exe + L"\" " + args;
    // The child's messages would only clutter the test log.
    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si = {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    BOOL started = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (!started) return 9999;
    CloseHandle(pi.hThread);
    if (running) {
        *running = pi.hProcess;
        return STILL_ACTIVE;
    }
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 9998;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return code;
}

std::wstring SelfPath() {
    wchar_t buf[MAX_PATH * 2];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH * 2);
    return std::wstring(buf, n);
}

}  // namespace

TEST(EngineDll, EveryExportResolvesUndecorated) {
    HMODULE m = Engine().module;
    ASSERT_NE(m, nullptr) << "m2fpd02.dll not found in " << std::string(DistDir().begin(), DistDir().end());
    for (int i = 0; i < kExportsPerSet; ++i) {
        EXPECT_NE(GetProcAddress(m, kWideExports[i]), nullptr) << kWideExports[i];
        EXPECT_NE(GetProcAddress(m, kAnsiExports[i]), nullptr) << kAnsiExports[i];
    }
}

TEST(EngineDll, BlocksAreReadAndWrittenAtTheirOffsets) {
    Scratch tmp;
    alignas(8) unsigned char header[344] = {};
    int code = -1;
    ASSERT_EQ(Engine().wOpen(reinterpret_cast<PbHeaderW*>(header), tmp.File(L"layout.mpb2").c_str(), 0, &code), 0);
    uint16_t magic, extensions;
    uint32_t wide;
    HANDLE file;
    std::memcpy(&magic, header + 0, 2);
    std::memcpy(&extensions, header + 8, 2);
    std::memcpy(&file, header + 312, 8);
    std::memcpy(&wide, header + 340, 4);
    EXPECT_EQ(magic, 0x5347);
    EXPECT_EQ(header[2], 2);
    EXPECT_EQ(header[3], 2);
    EXPECT_EQ(extensions, 5);
    EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_DISK));
    EXPECT_NE(wide, 0u);

    // A record laid out by hand: id 0, kind 6, name 8, fax 72, texts 168, members 176.
    alignas(8) unsigned char rec[184] = {};
    wchar_t ext[5][60] = {{L'A', L'c', L'm', L'e'}, {}, {L'0', L'0', L'7'}, {L'5', L'5'}, {L'a', L'@', L'b'}};
    wchar_t* extPtr[5] = {ext[0], ext[1], ext[2], ext[3], ext[4]};
    uint16_t members[2500] = {};
    rec[6] = 1;
    std::memcpy(rec + 8, L"Anna", 10);
    std::memcpy(rec + 72, L"+49 1", 12);
    wchar_t** extArray = extPtr;
    uint16_t* memberArray = members;
    std::memcpy(rec + 168, &extArray, 8);
    std::memcpy(rec + 176, &memberArray, 8);
    auto* h = reinterpret_cast<PbHeaderW*>(header);
    ASSERT_EQ(Engine().wAdd(h, reinterpret_cast<PBEW*>(rec), &code), 0);
    uint16_t id;
    std::memcpy(&id, rec, 2);
    EXPECT_NE(id, 0);

    alignas(8) unsigned char back[184] = {};
    wchar_t backExt[5][60] = {};
    wchar_t* backPtr[5] = {backExt[0], backExt[1], backExt[2], backExt[3], backExt[4]};
    wchar_t** backArray = backPtr;
    std::memcpy(back + 168, &backArray, 8);
    std::memcpy(back + 176, &memberArray, 8);
    ASSERT_EQ(Engine().wGet(h, reinterpret_cast<PBEW*>(back), L"", L"", id, &code), 0);
    uint16_t backId;
    std::memcpy(&backId, back, 2);
    EXPECT_EQ(backId, id);
    EXPECT_EQ(back[6], 1);
    EXPECT_STREQ(reinterpret_cast<wchar_t*>(back + 8), L"Anna");
    EXPECT_STREQ(reinterpret_cast<wchar_t*>(back + 72), L"+49 1");
    EXPECT_STREQ(backExt[0], L"Acme");
    EXPECT_STREQ(backExt[2], L"007");
    EXPECT_STREQ(backExt[3], L"55");
    EXPECT_STREQ(backExt[4], L"a@b");
    CloseHandle(file);

    // The ANSI blocks: magic 0, handle 160, flag 180; name 8, fax 40, texts 88, members 96.
    alignas(8) unsigned char ha[184] = {};
    ASSERT_EQ(Engine().aOpen(reinterpret_cast<PbHeaderA*>(ha), Ansi(tmp.File(L"layout.pb")).c_str(), 0, &code), 0);
    int32_t hfile;
    std::memcpy(&magic, ha, 2);
    std::memcpy(&hfile, ha + 160, 4);
    std::memcpy(&wide, ha + 180, 4);
    EXPECT_EQ(magic, 0xBB1A);
    EXPECT_EQ(GetFileType(LongToHandle(hfile)), static_cast<DWORD>(FILE_TYPE_DISK));
    EXPECT_EQ(wide, 0u);
    alignas(8) unsigned char ra[104] = {};
    char aext[5][60] = {{'O', 'r', 'g'}};
    char* aptr[5] = {aext[0], aext[1], aext[2], aext[3], aext[4]};
    char** aArray = aptr;
    ra[6] = 1;
    std::memcpy(ra + 8, "Bert", 5);
    std::memcpy(ra + 40, "0221", 5);
    std::memcpy(ra + 88, &aArray, 8);
    std::memcpy(ra + 96, &memberArray, 8);
    auto* hA = reinterpret_cast<PbHeaderA*>(ha);
    ASSERT_EQ(Engine().aAdd(hA, reinterpret_cast<PBEA*>(ra), &code), 0);
    alignas(8) unsigned char rb[104] = {};
    char bext[5][60] = {};
    char* bptr[5] = {bext[0], bext[1], bext[2], bext[3], bext[4]};
    char** bArray = bptr;
    std::memcpy(rb + 88, &bArray, 8);
    std::memcpy(rb + 96, &memberArray, 8);
    ASSERT_EQ(Engine().aGet(hA, reinterpret_cast<PBEA*>(rb), "Bert", "0221", kNoId, &code), 0);
    EXPECT_STREQ(reinterpret_cast<char*>(rb + 8), "Bert");
    EXPECT_STREQ(reinterpret_cast<char*>(rb + 40), "0221");
    EXPECT_STREQ(bext[0], "Org");
    _lclose(hfile);
}

TEST(EngineDll, EnumerationDeliversEntriesBeforeGroupsAndHonoursTerms) {
    Scratch tmp;
    PbHeaderW h{};
    int code = -1;
    ASSERT_EQ(Engine().wOpen(&h, tmp.File(L"e.mpb2").c_str(), 0, &code), 0);
    int team = AddW(h, L"Team Süd", L"", kKindGroup);
    int anna = AddW(h, L"Änne Berg", L"+49 30 1");
    int bert = AddW(h, L"Bert Öz", L"+49 40 2", kKindEntry, L"Müller AG");
    ASSERT_GT(team, 0);
    ASSERT_GT(anna, 0);
    ASSERT_GT(bert, 0);
    ASSERT_EQ(Engine().wAddToGroup(&h, static_cast<uint16_t>(team), static_cast<uint16_t>(anna), &code), 0);
    ASSERT_EQ(Engine().wAddToGroup(&h, static_cast<uint16_t>(team), static_cast<uint16_t>(anna), &code), 0);
    auto all = EnumerateW(h);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].kind, kKindEntry);
    EXPECT_EQ(all[1].kind, kKindEntry);
    EXPECT_EQ(all[2].kind, kKindGroup);

    struct Case {
        std::vector<std::wstring> terms;
        size_t expected;
    };
    for (const Case& c : {Case{{L"änne*"}, 1}, Case{{L"müller*"}, 1}, Case{{L"+49*", L"berg*"}, 1}, Case{{L"süd*"}, 1},
                          Case{{L"+49*"}, 2}, Case{{L"xyz*"}, 0}}) {
        std::vector<std::vector<wchar_t>> texts;
        std::vector<PbTermBlockW> blocks;
        for (const auto& t : c.terms) {
            texts.emplace_back(kTermWidth, L'\0');
            wcsncpy(texts.back().data(), t.c_str(), kTermWidth - 1);
        }
        for (auto& t : texts) blocks.push_back({t.data(), nullptr});
        blocks.push_back({nullptr, nullptr});
        std::vector<PbTermSlotW> slots;
        for (auto& b : blocks) slots.push_back({&b, nullptr});
        EXPECT_EQ(EnumerateW(h, slots.data()).size(), c.expected);
    }

    OwnedRecordW g;
    ASSERT_EQ(Engine().wGet(&h, &g.rec, L"[Team Süd]", L"", static_cast<uint16_t>(team), &code), 0);
    ASSERT_EQ(g.rec.memberCount, 1);
    EXPECT_EQ(g.rec.members[0], anna);
    CloseW(h);
}

TEST(EngineDll, FullAndNameInUseCodes) {
    Scratch tmp;
    PbHeaderA h{};
    int code = -1;
    ASSERT_EQ(Engine().aOpen(&h, Ansi(tmp.File(L"full.pb")).c_str(), 0, &code), 0);
    OwnedRecordA r;
    for (int i = 0; i < kCapacityOld; ++i) {
        r.Clear();
        snprintf(r.rec.name, kNameWidth, "Kunde %04d", i);
        strcpy(r.rec.fax, "0221 1");
        ASSERT_EQ(Engine().aAdd(&h, &r.rec, &code), 0) << i;
    }
    r.Clear();
    strcpy(r.rec.name, "Noch Einer");
    EXPECT_EQ(Engine().aAdd(&h, &r.rec, &code), kFull);
    EXPECT_EQ(code, kFull);
    const uint16_t last = 0;
    (void)last;
    r.Clear();
    strcpy(r.rec.name, "Kunde 0001");
    strcpy(r.rec.fax, "0221 1");
    ASSERT_EQ(Engine().aGet(&h, &r.rec, "KUNDE 0001", "0221 1", kNoId, &code), 0);
    uint16_t id = r.rec.id;
    ASSERT_EQ(Engine().aRemove(&h, id, &code), 0);
    r.Clear();
    strcpy(r.rec.name, "kunde 0002");
    strcpy(r.rec.fax, "0221 1");
    EXPECT_EQ(Engine().aAdd(&h, &r.rec, &code), kNameInUse);
    EXPECT_EQ(code, kNameInUse);
    OwnedRecordA other;
    ASSERT_EQ(Engine().aGet(&h, &other.rec, "Kunde 0003", "0221 1", kNoId, &code), 0);
    EXPECT_EQ(Engine().aModify(&h, other.rec.id, &r.rec, &code), kNameInUse);
    strcpy(r.rec.fax, "0221 2");
    EXPECT_EQ(Engine().aAdd(&h, &r.rec, &code), kOk);
    CloseA(h);
}

TEST(EngineDll, WrongSetOpensReportTheWideFlag) {
    Scratch tmp;
    int code = -1;
    PbHeaderW w{};
    ASSERT_EQ(Engine().wOpen(&w, tmp.File(L"old.pb").c_str(), 0, &code), 0);
    EXPECT_EQ(w.magic, kMagicWide);
    EXPECT_EQ(w.wideFormat, 0u);
    EXPECT_FALSE(w.versionMajor == 2 && w.versionMinor == 2);
    EXPECT_LT(AddW(w, L"Anna", L"1"), 0);
    CloseW(w);
    ASSERT_EQ(Engine().wOpen(&w, tmp.File(L"older.mpb").c_str(), 0, &code), 0);
    EXPECT_NE(w.wideFormat, 0u);
    EXPECT_FALSE(w.versionMajor == 2 && w.versionMinor == 2);
    EXPECT_GT(AddW(w, L"Anna", L"1"), 0);
    CloseW(w);

    PbHeaderA a{};
    ASSERT_EQ(Engine().aOpen(&a, Ansi(tmp.File(L"older.mpb")).c_str(), 1, &code), 0);
    EXPECT_EQ(a.magic, kMagicAnsi);
    EXPECT_NE(a.wideFormat, 0u);
    OwnedRecordA r;
    uint16_t cursor = kCursorStart;
    int done = 0;
    EXPECT_EQ(Engine().aFind2(&a, &r.rec, nullptr, &cursor, &done), 0);
    EXPECT_NE(done, 0);
    CloseA(a);
    // A read-only open of a missing file fails and makes nothing.
    EXPECT_NE(Engine().wOpen(&w, tmp.File(L"missing.mpb2").c_str(), 1, &code), 0);
    EXPECT_EQ(GetFileAttributesW(tmp.File(L"missing.mpb2").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(EngineDll, ReadOnlyHeadersAndWriteProtectedFilesRefuseChanges) {
    Scratch tmp;
    const std::wstring path = tmp.File(L"ro.mpb2");
    int code = -1;
    PbHeaderW h{};
    ASSERT_EQ(Engine().wCreate(&h, path.c_str(), &code), 0);
    int anna = AddW(h, L"Anna", L"1"), team = AddW(h, L"Team", L"", kKindGroup);
    CloseW(h);
    const auto before = Bytes(path);
    ASSERT_EQ(Engine().wOpen(&h, path.c_str(), 1, &code), 0);
    OwnedRecordW r;
    wcscpy(r.rec.name, L"Bert");
    const std::vector<int> codes = {
        Engine().wAdd(&h, &r.rec, &code), Engine().wModify(&h, static_cast<uint16_t>(anna), &r.rec, &code),
        Engine().wRemove(&h, static_cast<uint16_t>(anna), &code),
        Engine().wAddToGroup(&h, static_cast<uint16_t>(team), static_cast<uint16_t>(anna), &code),
        Engine().wRemoveFromGroup(&h, static_cast<uint16_t>(team), static_cast<uint16_t>(anna), &code)};
    for (int rc : codes) {
        EXPECT_NE(rc, kOk);
        EXPECT_NE(rc, kFull);
        EXPECT_NE(rc, kNameInUse);
    }
    CloseW(h);
    EXPECT_EQ(Bytes(path), before);

    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_NE(Engine().wOpen(&h, path.c_str(), 0, &code), 0);
    EXPECT_NE(Engine().wCreate(&h, path.c_str(), &code), 0);
    ASSERT_EQ(Engine().wOpen(&h, path.c_str(), 1, &code), 0);
    EXPECT_EQ(EnumerateW(h).size(), 2u);
    CloseW(h);
    EXPECT_EQ(Bytes(path), before);
}

TEST(EngineDll, ASecondWriterIsRefusedAcrossProcesses) {
    Scratch tmp;
    const std::wstring path = tmp.File(L"shared.mpb2");
    int code = -1;
    PbHeaderW h{};
    ASSERT_EQ(Engine().wCreate(&h, path.c_str(), &code), 0);
    ASSERT_GT(AddW(h, L"Anna", L"1"), 0);
    // This process writes; another may read but not write.
    EXPECT_EQ(RunChild(SelfPath(), L"--open \"" + path + L"\" 0"), 1u);
    EXPECT_EQ(RunChild(SelfPath(), L"--open \"" + path + L"\" 1"), 0u);
    EXPECT_EQ(RunChild(DistDir() + L"pbtool.exe", L"list \"" + path + L"\""), 0u);
    EXPECT_NE(RunChild(DistDir() + L"pbtool.exe", L"create \"" + path + L"\""), 0u);
    EXPECT_EQ(EnumerateW(h).size(), 1u);
    CloseW(h);
    EXPECT_EQ(RunChild(SelfPath(), L"--open \"" + path + L"\" 0"), 0u);
}

TEST(EngineDll, AStalledPeerMakesACallBusyWithinSeconds) {
    Scratch tmp;
    const std::wstring path = tmp.File(L"stalled.mpb2");
    int code = -1;
    PbHeaderW h{};
    ASSERT_EQ(Engine().wCreate(&h, path.c_str(), &code), 0);
    ASSERT_GT(AddW(h, L"Anna", L"1"), 0);
    HANDLE peer = nullptr;
    ASSERT_EQ(RunChild(SelfPath(), L"--hold \"" + path + L"\" 20000", &peer), static_cast<DWORD>(STILL_ACTIVE));
    for (int i = 0; i < 400 && GetFileAttributesW((path + L".held").c_str()) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(25);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(AddW(h, L"Bert", L"2"), -8);  // busy, not a frozen window for the peer's whole stall
    EXPECT_LT(GetTickCount64() - start, 4000u);
    // A window's thread asks for no wait: busy at once; the counter and a listing of an
    // image that is current need no lock at all.
    ASSERT_NE(Engine().changes.setLockWait, nullptr);
    EXPECT_EQ(Engine().changes.setLockWait(0), 2000u);
    const ULONGLONG again = GetTickCount64();
    EXPECT_EQ(AddW(h, L"Bert", L"2"), -8);
    EXPECT_LT(GetTickCount64() - again, 200u);
    uint64_t counter = 0;
    EXPECT_EQ(Engine().wChangeCount(&h, &counter, &code), 0);
    EXPECT_EQ(EnumerateW(h).size(), 1u);
    EXPECT_EQ(Engine().changes.setLockWait(60000), 0u);
    EXPECT_EQ(Engine().changes.setLockWait(2000), 2000u);  // never past the default
    TerminateProcess(peer, 0);
    WaitForSingleObject(peer, 10000);
    CloseHandle(peer);
    EXPECT_GT(AddW(h, L"Bert", L"2"), 0);
    CloseW(h);
}

TEST(EngineDll, AReaderNeverSeesATornRecordWhileAnotherProcessWrites) {
    Scratch tmp;
    const std::wstring path = tmp.File(L"busy.mpb2");
    int code = -1;
    PbHeaderW h{};
    ASSERT_EQ(Engine().wCreate(&h, path.c_str(), &code), 0);
    constexpr int kRecords = 40;
    for (int i = 0; i < kRecords; ++i) {
        std::wstring n = L"Rec " + std::to_wstring(i) + L" v0";
        ASSERT_GT(AddW(h, n.c_str(), L"0-0", kKindEntry, L"v0"), 0);
    }
    CloseW(h);
    HANDLE writer = nullptr;
    ASSERT_EQ(RunChild(SelfPath(), L"--writer \"" + path + L"\" 15", &writer), static_cast<DWORD>(STILL_ACTIVE));
    ASSERT_EQ(Engine().wOpen(&h, path.c_str(), 1, &code), 0);
    int rounds = 0;
    bool writing = true;
    while (writing || rounds < 2) {
        writing = WaitForSingleObject(writer, 0) == WAIT_TIMEOUT;
        auto items = EnumerateW(h);
        ++rounds;
        ASSERT_EQ(items.size(), static_cast<size_t>(kRecords)) << "round " << rounds;
        for (const Item& it : items) {
            // The writer changes name, fax and organization together; they must agree.
            std::wstring version = it.name.substr(it.name.rfind(L" v") + 2);
            EXPECT_EQ(it.fax, version + L"-" + version) << "round " << rounds;
            EXPECT_EQ(it.org, L"v" + version) << "round " << rounds;
        }
        if (rounds > 100000) break;
    }
    CloseW(h);
    DWORD exitCode = 1;
    WaitForSingleObject(writer, 60000);
    GetExitCodeProcess(writer, &exitCode);
    CloseHandle(writer);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_GT(rounds, 2);
    RecordProperty("enumerations", rounds);
}

TEST(EngineDll, AReadersImageFollowsAnotherProcesssBatch) {
    Scratch tmp;
    const std::wstring path = tmp.File(L"followed.mpb2");
    int code = -1;
    PbHeaderW h{};
    ASSERT_EQ(Engine().wCreate(&h, path.c_str(), &code), 0);
    ASSERT_GT(AddW(h, L"Anna", L"1"), 0);
    CloseW(h);
    ASSERT_EQ(Engine().wOpen(&h, path.c_str(), kModeReadOnly, &code), 0);
    ASSERT_NE(Engine().wChangeCount, nullptr);
    EXPECT_EQ(EnumerateW(h).size(), 1u);
    uint64_t before = 0, after = 0;
    ASSERT_EQ(Engine().wChangeCount(&h, &before, &code), 0);
    EXPECT_EQ(RunChild(SelfPath(), L"--batch \"" + path + L"\" 300"), 0u);
    ASSERT_EQ(Engine().wChangeCount(&h, &after, &code), 0);
    EXPECT_NE(after, before);
    EXPECT_EQ(EnumerateW(h).size(), 301u);
    CloseW(h);
}

TEST(EngineDll, PbtoolRoundTripsEveryFormat) {
    Scratch tmp;
    const std::wstring tool = DistDir() + L"pbtool.exe";
    for (const wchar_t* name : {L"s.mpb2", L"s.mpb", L"s.pb"}) {
        std::wstring path = tmp.File(name);
        EXPECT_EQ(RunChild(tool, L"sample \"" + path + L"\" --entries 30 --groups 3"), 0u) << name;
        EXPECT_EQ(RunChild(tool, L"verify \"" + path + L"\""), 0u) << name;
        EXPECT_EQ(RunChild(tool, L"list \"" + path + L"\""), 0u) << name;
        PbHeaderW h{};
        int code = -1;
        ASSERT_EQ(Engine().wOpen(&h, path.c_str(), 1, &code), 0);
        bool wide = h.wideFormat != 0;
        if (wide) {
            EXPECT_EQ(EnumerateW(h).size(), 33u) << name;
        }
        CloseW(h);
        EXPECT_EQ(wide, std::wstring(name) != L"s.pb");
    }
    // A damaged record makes verify fail; bad arguments are usage errors.
    std::wstring path = tmp.File(L"s.mpb2");
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    SetFilePointer(f, 512 + 10, nullptr, FILE_BEGIN);
    DWORD n = 0;
    WriteFile(f, "\x7F\x7F", 2, &n, nullptr);
    CloseHandle(f);
    EXPECT_EQ(RunChild(tool, L"verify \"" + path + L"\""), 3u);
    EXPECT_EQ(RunChild(tool, L"sample \"" + path + L"\" --entries lots"), 2u);
    EXPECT_EQ(RunChild(tool, L"create \"" + tmp.File(L"x.mpb2") + L"\" --format pb"), 2u);
    EXPECT_EQ(RunChild(tool, L"frobnicate x"), 2u);
    EXPECT_EQ(RunChild(tool, L"list \"" + tmp.File(L"none.mpb2") + L"\""), 1u);
}
