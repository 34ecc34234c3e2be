// The exports of m2fpd02.dll (names fixed by m2fpd02.def): the 22 of the fixed
// boundary and the optional batch and change-counter calls, thin calls into the
// platform-neutral core with the Win32 platform.
#include <windows.h>

#include "WinPlatform.h"
#include "core/Book.h"
#include "core/Text.h"

using namespace pbabi;
namespace api = pbcore::api;

namespace {

pbdll::WinPlatform& Files() {
    static pbdll::WinPlatform platform;
    return platform;
}

// No exception may reach the caller (out of memory is the only one the core raises).
template <class Fn>
auto Guard(int* code, Fn&& fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (...) {
        if (code) *code = pbcore::code::kFailed;
        return pbcore::code::kFailed;
    }
}
template <class Fn>
intptr_t GuardFind(int* done, Fn&& fn) {
    try {
        return fn();
    } catch (...) {
        if (done) *done = 1;
        return 0;
    }
}

struct InstallDecoder {
    InstallDecoder() { pbcore::SetAnsiDecoder(&pbdll::AnsiToUtf16); }
} g_installDecoder;

}  // namespace

extern "C" {

int WPbCreatePhonebook(PbHeaderW* h, const WChar* path, int* code) {
    return Guard(code, [&] { return api::CreateW(Files(), h, path, code); });
}
int WPbOpenPhonebook(PbHeaderW* h, const WChar* path, uint8_t mode, int* code) {
    return Guard(code, [&] { return api::OpenW(Files(), h, path, mode, code); });
}
int WPbFreePBE(PbHeaderW* h, PBEW* r, int* code) {
    return Guard(code, [&] { return api::FreePbeW(h, r, code); });
}
int WPbFindFirstOrNext(PbHeaderW* h, PBEW* r, uint16_t* cursor, int* done, int* code) {
    return Guard(code, [&] { return api::FindW(Files(), h, r, cursor, done, code); });
}
intptr_t WPbFindFirstOrNext2(PbHeaderW* h, PBEW* r, const PbTermSlotW* terms, uint16_t* cursor, int* done) {
    return GuardFind(done, [&] { return api::Find2W(Files(), h, r, terms, cursor, done); });
}
int WPbAddEntry(PbHeaderW* h, PBEW* r, int* code) {
    return Guard(code, [&] { return api::AddW(Files(), h, r, code); });
}
int WPbGetEntry(PbHeaderW* h, PBEW* r, const WChar* name, const WChar* fax, uint16_t id, int* code) {
    return Guard(code, [&] { return api::GetW(Files(), h, r, name, fax, id, code); });
}
int WPbAddToGroup(PbHeaderW* h, uint16_t group, uint16_t entry, int* code) {
    return Guard(code, [&] { return api::AddToGroupW(Files(), h, group, entry, code); });
}
int WPbModifyEntry(PbHeaderW* h, uint16_t id, PBEW* r, int* code) {
    return Guard(code, [&] { return api::ModifyW(Files(), h, id, r, code); });
}
int WPbRemoveEntry(PbHeaderW* h, uint16_t id, int* code) {
    return Guard(code, [&] { return api::RemoveW(Files(), h, id, code); });
}
int WPbRemoveFromGroup(PbHeaderW* h, uint16_t group, uint16_t entry, int* code) {
    return Guard(code, [&] { return api::RemoveFromGroupW(Files(), h, group, entry, code); });
}

int WPbBeginChanges(PbHeaderW* h, int* code) {
    return Guard(code, [&] { return api::BeginChangesW(Files(), h, code); });
}
int WPbEndChanges(PbHeaderW* h, int* code) {
    return Guard(code, [&] { return api::EndChangesW(Files(), h, code); });
}
int WPbChangeCount(PbHeaderW* h, uint64_t* count, int* code) {
    return Guard(code, [&] { return api::ChangeCountW(Files(), h, count, code); });
}
int WPbFindFirstOrNext3(PbHeaderW* h, PBEW* r, const PbTermSlotW* terms, uint16_t* cursor, int* done, int* code) {
    return Guard(code, [&] { return api::Find3W(Files(), h, r, terms, cursor, done, code); });
}

int PbCreatePhonebook(PbHeaderA* h, const char* path, int* code) {
    return Guard(code, [&] { return api::CreateA(Files(), h, path, code); });
}
int PbOpenPhonebook(PbHeaderA* h, const char* path, uint8_t mode, int* code) {
    return Guard(code, [&] { return api::OpenA(Files(), h, path, mode, code); });
}
int PbFreePBE(PbHeaderA* h, PBEA* r, int* code) {
    return Guard(code, [&] { return api::FreePbeA(h, r, code); });
}
int PbFindFirstOrNext(PbHeaderA* h, PBEA* r, uint16_t* cursor, int* done, int* code) {
    return Guard(code, [&] { return api::FindA(Files(), h, r, cursor, done, code); });
}
intptr_t PbFindFirstOrNext2(PbHeaderA* h, PBEA* r, const PbTermSlotA* terms, uint16_t* cursor, int* done) {
    return GuardFind(done, [&] { return api::Find2A(Files(), h, r, terms, cursor, done); });
}
int PbAddEntry(PbHeaderA* h, PBEA* r, int* code) {
    return Guard(code, [&] { return api::AddA(Files(), h, r, code); });
}
int PbGetEntry(PbHeaderA* h, PBEA* r, const char* name, const char* fax, uint16_t id, int* code) {
    return Guard(code, [&] { return api::GetA(Files(), h, r, name, fax, id, code); });
}
int PbAddToGroup(PbHeaderA* h, uint16_t group, uint16_t entry, int* code) {
    return Guard(code, [&] { return api::AddToGroupA(Files(), h, group, entry, code); });
}
int PbModifyEntry(PbHeaderA* h, uint16_t id, PBEA* r, int* code) {
    return Guard(code, [&] { return api::ModifyA(Files(), h, id, r, code); });
}
int PbRemoveEntry(PbHeaderA* h, uint16_t id, int* code) {
    return Guard(code, [&] { return api::RemoveA(Files(), h, id, code); });
}
int PbRemoveFromGroup(PbHeaderA* h, uint16_t group, uint16_t entry, int* code) {
    return Guard(code, [&] { return api::RemoveFromGroupA(Files(), h, group, entry, code); });
}

int PbBeginChanges(PbHeaderA* h, int* code) {
    return Guard(code, [&] { return api::BeginChangesA(Files(), h, code); });
}
int PbEndChanges(PbHeaderA* h, int* code) {
    return Guard(code, [&] { return api::EndChangesA(Files(), h, code); });
}
int PbChangeCount(PbHeaderA* h, uint64_t* count, int* code) {
    return Guard(code, [&] { return api::ChangeCountA(Files(), h, count, code); });
}
int PbFindFirstOrNext3(PbHeaderA* h, PBEA* r, const PbTermSlotA* terms, uint16_t* cursor, int* done, int* code) {
    return Guard(code, [&] { return api::Find3A(Files(), h, r, terms, cursor, done, code); });
}

// Both sets: how long the calling thread's calls wait for another process's call.
uint32_t PbSetLockWait(uint32_t milliseconds) { return pbdll::WinPlatform::SetLockWait(milliseconds); }

}  // extern "C"
