#pragma once
// The settings' stores in the registry (see settings/core/Settings.h), the password the
// user let the directory dialog remember, and each book's record of its last follow.
#include <cstdint>
#include <string>

#include "settings/core/Settings.h"

namespace settings {

// One value of a store as the registry has it now.
Raw ReadRegistry(Store store, const std::wstring& name, Type type);
Effective ReadEffective();

// The password the dialog keeps for this user for a source of this kind (encrypted so
// that only this user on this machine reads it); false when none is kept or it cannot be read.
bool RememberedPassword(std::wstring& password, SourceKind kind);

// Seconds since 1970 (UTC).
uint64_t NowSeconds();

// A book's last follow, per user (HKCU) and book.
struct FollowRecord {
    uint64_t lastSeconds = 0;  // 0: never
    bool ok = false;
    uint32_t added = 0, updated = 0, removed = 0;
    // Why it failed, as told.
    std::wstring fault;
    // Milliseconds spent reading the source, planning, and carrying the plan out.
    uint32_t readMs = 0, planMs = 0, applyMs = 0;
    // Milliseconds from the read's end until the book and its list had taken it.
    uint32_t landMs = 0;
};
FollowRecord ReadFollowRecord(const std::wstring& bookPath);
void WriteFollowRecord(const std::wstring& bookPath, const FollowRecord& record);

}  // namespace settings
