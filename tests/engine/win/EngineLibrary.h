#pragma once
// The engine DLL loaded by its path, with both export sets resolved by the storage
// wrapper's own look-up (data/EngineExports.h), for tests of its exports at first hand.
#include <windows.h>

#include <string>

#include "data/EngineExports.h"
#include "pbabi/EngineAbi.h"

struct EngineLibrary {
    HMODULE module = nullptr;
    WideCalls wide = {};
    AnsiCalls ansi = {};
    // Optional: null with an engine that has no batches.
    ChangeCalls changes;

    // The entry points by the names the tests use.
    pbabi::PfnWCreate& wCreate = wide.create;
    pbabi::PfnWOpen& wOpen = wide.open;
    pbabi::PfnWFreePBE& wFree = wide.freeRecord;
    pbabi::PfnWFindFirstOrNext& wFind = wide.find;
    pbabi::PfnWFindFirstOrNext2& wFind2 = wide.find2;
    pbabi::PfnWAddEntry& wAdd = wide.add;
    pbabi::PfnWGetEntry& wGet = wide.get;
    pbabi::PfnWAddToGroup& wAddToGroup = wide.addToGroup;
    pbabi::PfnWModifyEntry& wModify = wide.modify;
    pbabi::PfnWRemoveEntry& wRemove = wide.remove;
    pbabi::PfnWRemoveFromGroup& wRemoveFromGroup = wide.removeFromGroup;
    pbabi::PfnACreate& aCreate = ansi.create;
    pbabi::PfnAOpen& aOpen = ansi.open;
    pbabi::PfnAFreePBE& aFree = ansi.freeRecord;
    pbabi::PfnAFindFirstOrNext& aFind = ansi.find;
    pbabi::PfnAFindFirstOrNext2& aFind2 = ansi.find2;
    pbabi::PfnAAddEntry& aAdd = ansi.add;
    pbabi::PfnAGetEntry& aGet = ansi.get;
    pbabi::PfnAAddToGroup& aAddToGroup = ansi.addToGroup;
    pbabi::PfnAModifyEntry& aModify = ansi.modify;
    pbabi::PfnARemoveEntry& aRemove = ansi.remove;
    pbabi::PfnARemoveFromGroup& aRemoveFromGroup = ansi.removeFromGroup;
    pbabi::PfnWBeginChanges& wBegin = changes.beginW;
    pbabi::PfnWEndChanges& wEnd = changes.endW;
    pbabi::PfnWChangeCount& wChangeCount = changes.countW;

    EngineLibrary() = default;
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;
    ~EngineLibrary();
    // Loads the DLL at this path; false (with the missing name in *error) unless all 22 resolve.
    bool Load(const std::wstring& path, std::wstring* error);
};

// A caller-owned record with its arrays, as the program allocates one.
template <class Rec, class Char>
struct OwnedRecord {
    Rec rec{};
    Char ext[pbabi::kExtensionCount][pbabi::kExtensionWidth]{};
    Char* extPtr[pbabi::kExtensionCount]{};
    uint16_t members[pbabi::kCapacityCurrent]{};
    OwnedRecord() { Clear(); }
    OwnedRecord(const OwnedRecord&) = delete;
    OwnedRecord& operator=(const OwnedRecord&) = delete;
    void Clear() {
        rec = Rec{};
        for (auto& e : ext)
            for (auto& c : e) c = 0;
        for (int i = 0; i < pbabi::kExtensionCount; ++i) extPtr[i] = ext[i];
        rec.extensions = extPtr;
        rec.members = members;
        rec.kind = pbabi::kKindEntry;
    }
};
using OwnedRecordW = OwnedRecord<pbabi::PBEW, pbabi::WChar>;
using OwnedRecordA = OwnedRecord<pbabi::PBEA, char>;
