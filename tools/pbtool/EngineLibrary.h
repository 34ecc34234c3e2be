#pragma once
// The engine DLL loaded the way the program loads it, with both export sets resolved.
#include <windows.h>

#include <string>

#include "pbabi/EngineAbi.h"

struct EngineLibrary {
    HMODULE module = nullptr;
    pbabi::PfnWCreate wCreate = nullptr;
    pbabi::PfnWOpen wOpen = nullptr;
    pbabi::PfnWFreePBE wFree = nullptr;
    pbabi::PfnWFindFirstOrNext wFind = nullptr;
    pbabi::PfnWFindFirstOrNext2 wFind2 = nullptr;
    pbabi::PfnWAddEntry wAdd = nullptr;
    pbabi::PfnWGetEntry wGet = nullptr;
    pbabi::PfnWAddToGroup wAddToGroup = nullptr;
    pbabi::PfnWModifyEntry wModify = nullptr;
    pbabi::PfnWRemoveEntry wRemove = nullptr;
    pbabi::PfnWRemoveFromGroup wRemoveFromGroup = nullptr;
    pbabi::PfnACreate aCreate = nullptr;
    pbabi::PfnAOpen aOpen = nullptr;
    pbabi::PfnAFreePBE aFree = nullptr;
    pbabi::PfnAFindFirstOrNext aFind = nullptr;
    pbabi::PfnAFindFirstOrNext2 aFind2 = nullptr;
    pbabi::PfnAAddEntry aAdd = nullptr;
    pbabi::PfnAGetEntry aGet = nullptr;
    pbabi::PfnAAddToGroup aAddToGroup = nullptr;
    pbabi::PfnAModifyEntry aModify = nullptr;
    pbabi::PfnARemoveEntry aRemove = nullptr;
    pbabi::PfnARemoveFromGroup aRemoveFromGroup = nullptr;
    // Optional: null with an engine that has no batches.
    pbabi::PfnWBeginChanges wBegin = nullptr;
    pbabi::PfnWEndChanges wEnd = nullptr;
    pbabi::PfnWChangeCount wChangeCount = nullptr;

    EngineLibrary() = default;
    EngineLibrary(const EngineLibrary&) = delete;
    EngineLibrary& operator=(const EngineLibrary&) = delete;
    ~EngineLibrary();
    // Loads the DLL at this path; false (with the missing name in *error) unless all 22 resolve.
    bool Load(const std::wstring& path, std::wstring* error);
};

// The folder of the running executable, with a trailing backslash.
std::wstring ExecutableFolder();

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
