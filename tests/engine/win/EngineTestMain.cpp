// The engine's Windows tests, and the child roles other processes play in them:
//   --open <path> <mode>       exit 0 when the open succeeds, 1 when it fails
//   --writer <path> <rounds>   rewrites every record that many times, name, fax and
//                              organization always agreeing on one version
//   --batch <path> <count>     adds that many entries in one batch
//   --hold <path> <ms>         holds the engine's lock on the book that long, as a peer
//                              stalled in a call on a slow share would; <path>.held says so
#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "EngineLibrary.h"
#include "../../harness/BookLock.h"

using namespace pbabi;

namespace {

int ChildOpen(EngineLibrary& e, const wchar_t* path, int mode) {
    PbHeaderW h{};
    int code = -1;
    e.wOpen(&h, path, static_cast<uint8_t>(mode), &code);
    if (code == kOk) CloseHandle(h.file);
    return code == kOk ? 0 : 1;
}

int ChildWriter(EngineLibrary& e, const wchar_t* path, int rounds) {
    PbHeaderW h{};
    int code = -1;
    if (e.wOpen(&h, path, kModeReadWrite, &code) != kOk) return 2;
    OwnedRecordW r;
    for (int v = 1; v <= rounds; ++v) {
        // Collect the ids first, then rewrite each record.
        std::vector<uint16_t> ids;
        uint16_t cursor = kCursorStart;
        int done = 0;
        while (!done) {
            r.Clear();
            if (e.wFind2(&h, &r.rec, nullptr, &cursor, &done)) ids.push_back(r.rec.id);
        }
        for (size_t i = 0; i < ids.size(); ++i) {
            r.Clear();
            std::wstring name = L"Rec " + std::to_wstring(i) + L" v" + std::to_wstring(v);
            std::wstring fax = std::to_wstring(v) + L"-" + std::to_wstring(v);
            std::wstring org = L"v" + std::to_wstring(v);
            wcsncpy(r.rec.name, name.c_str(), kNameWidth - 1);
            wcsncpy(r.rec.fax, fax.c_str(), kFaxWidth - 1);
            wcsncpy(r.ext[kExtOrganization], org.c_str(), kExtensionWidth - 1);
            if (e.wModify(&h, ids[i], &r.rec, &code) != kOk) return 3;
        }
    }
    CloseHandle(h.file);
    return 0;
}

// Adds that many entries in one batch.
int ChildBatch(EngineLibrary& e, const wchar_t* path, int count) {
    PbHeaderW h{};
    int code = -1;
    if (e.wOpen(&h, path, kModeReadWrite, &code) != kOk) return 2;
    if (!e.wBegin || e.wBegin(&h, &code) != kOk) return 3;
    OwnedRecordW r;
    for (int i = 0; i < count; ++i) {
        r.Clear();
        std::wstring name = L"From afar " + std::to_wstring(i);
        wcsncpy(r.rec.name, name.c_str(), kNameWidth - 1);
        wcsncpy(r.rec.fax, L"42", kFaxWidth - 1);
        if (e.wAdd(&h, &r.rec, &code) != kOk) return 3;
    }
    int rc = e.wEnd(&h, &code);
    CloseHandle(h.file);
    return rc == kOk ? 0 : 3;
}

std::wstring DistDirOf() {
    const char* dist = std::getenv("PBE_DIST");
    std::wstring path;
    for (const char* p = dist ? dist : ""; *p; ++p) path.push_back(*p == '/' ? L'\\' : static_cast<wchar_t>(*p));
    if (!path.empty() && path[0] == L'\\') path = L"Z:" + path;
    return path + L"\\";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 4 && argv[1][0] == L'-' && argv[1][1] == L'-') {
        EngineLibrary e;
        if (!e.Load(DistDirOf() + L"m2fpd02.dll", nullptr)) return 4;
        int n = _wtoi(argv[3]);
        if (std::wcscmp(argv[1], L"--open") == 0) return ChildOpen(e, argv[2], n);
        if (std::wcscmp(argv[1], L"--writer") == 0) return ChildWriter(e, argv[2], n);
        if (std::wcscmp(argv[1], L"--batch") == 0) return ChildBatch(e, argv[2], n);
        if (std::wcscmp(argv[1], L"--hold") == 0) return booklock::Hold(argv[2], static_cast<DWORD>(n));
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
