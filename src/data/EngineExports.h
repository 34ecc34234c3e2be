#pragma once
// The storage engine's entry points looked up by their export names: the one place
// that resolves them, for the storage wrapper and for the engine's own tests of the
// DLL. Header only, on the boundary header alone, so that code without the program's
// libraries can use it too.
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "pbabi/EngineAbi.h"

// One set's entry points, in the order of its export-name table (pbabi::kWideExports,
// pbabi::kAnsiExports).
struct WideCalls {
    pbabi::PfnWCreate create;
    pbabi::PfnWOpen open;
    pbabi::PfnWFreePBE freeRecord;
    pbabi::PfnWFindFirstOrNext find;
    pbabi::PfnWFindFirstOrNext2 find2;
    pbabi::PfnWAddEntry add;
    pbabi::PfnWGetEntry get;
    pbabi::PfnWAddToGroup addToGroup;
    pbabi::PfnWModifyEntry modify;
    pbabi::PfnWRemoveEntry remove;
    pbabi::PfnWRemoveFromGroup removeFromGroup;
};

struct AnsiCalls {
    pbabi::PfnACreate create;
    pbabi::PfnAOpen open;
    pbabi::PfnAFreePBE freeRecord;
    pbabi::PfnAFindFirstOrNext find;
    pbabi::PfnAFindFirstOrNext2 find2;
    pbabi::PfnAAddEntry add;
    pbabi::PfnAGetEntry get;
    pbabi::PfnAAddToGroup addToGroup;
    pbabi::PfnAModifyEntry modify;
    pbabi::PfnARemoveEntry remove;
    pbabi::PfnARemoveFromGroup removeFromGroup;
};

// The optional exports of both sets (pbabi::kWideOptionalExports, kAnsiOptionalExports);
// any of them may be null.
struct ChangeCalls {
    pbabi::PfnWBeginChanges beginW = nullptr;
    pbabi::PfnWEndChanges endW = nullptr;
    pbabi::PfnWChangeCount countW = nullptr;
    pbabi::PfnABeginChanges beginA = nullptr;
    pbabi::PfnAEndChanges endA = nullptr;
    pbabi::PfnAChangeCount countA = nullptr;
    pbabi::PfnWFindFirstOrNext3 find3W = nullptr;
    pbabi::PfnAFindFirstOrNext3 find3A = nullptr;
    pbabi::PfnSetLockWait setLockWait = nullptr;
};

namespace engineexports {
template <class Table, size_t N>
bool Resolve(HMODULE module, const char* const (&names)[N], Table& table, const char** missing) {
    static_assert(sizeof(Table) == N * sizeof(void*), "one entry point per export name");
    void* entries[N];
    for (size_t i = 0; i < N; ++i) {
        entries[i] = module ? reinterpret_cast<void*>(GetProcAddress(module, names[i])) : nullptr;
        if (!entries[i]) {
            if (missing) *missing = names[i];
            return false;
        }
    }
    std::memcpy(&table, entries, sizeof entries);
    return true;
}

template <class Fn>
Fn Optional(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}
}  // namespace engineexports

// The set's entry points from the loaded engine: false (the table untouched, and the
// first export not found in *missing when given) unless every export of the set's
// table is there.
inline bool ResolveCalls(HMODULE module, WideCalls& calls, const char** missing = nullptr) {
    return engineexports::Resolve(module, pbabi::kWideExports, calls, missing);
}
inline bool ResolveCalls(HMODULE module, AnsiCalls& calls, const char** missing = nullptr) {
    return engineexports::Resolve(module, pbabi::kAnsiExports, calls, missing);
}

// Whichever optional exports the engine has.
inline ChangeCalls ResolveChangeCalls(HMODULE module) {
    using engineexports::Optional;
    ChangeCalls calls;
    calls.beginW = Optional<pbabi::PfnWBeginChanges>(module, pbabi::kWideOptionalExports[0]);
    calls.endW = Optional<pbabi::PfnWEndChanges>(module, pbabi::kWideOptionalExports[1]);
    calls.countW = Optional<pbabi::PfnWChangeCount>(module, pbabi::kWideOptionalExports[2]);
    calls.beginA = Optional<pbabi::PfnABeginChanges>(module, pbabi::kAnsiOptionalExports[0]);
    calls.endA = Optional<pbabi::PfnAEndChanges>(module, pbabi::kAnsiOptionalExports[1]);
    calls.countA = Optional<pbabi::PfnAChangeCount>(module, pbabi::kAnsiOptionalExports[2]);
    calls.find3W = Optional<pbabi::PfnWFindFirstOrNext3>(module, pbabi::kWideOptionalExports[3]);
    calls.find3A = Optional<pbabi::PfnAFindFirstOrNext3>(module, pbabi::kAnsiOptionalExports[3]);
    calls.setLockWait = Optional<pbabi::PfnSetLockWait>(module, pbabi::kLockWaitExport);
    return calls;
}

