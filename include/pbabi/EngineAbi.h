#pragma once
// The storage engine's binary boundary (m2fpd02.dll), shared by the program and the
// engine itself. Layouts are fixed byte for byte; every offset is checked below.
// Platform-neutral on purpose: the engine's core is also built and tested natively.
#include <cstddef>
#include <cstdint>

namespace pbabi {

// UTF-16 code unit of the wide set: wchar_t on Windows, so the program passes its
// strings straight through; char16_t elsewhere.
#if defined(_WIN32)
using WChar = wchar_t;
#else
using WChar = char16_t;
#endif
static_assert(sizeof(WChar) == 2);

// Header magic of a valid open file, per set.
inline constexpr uint16_t kMagicWide = 0x5347;
inline constexpr uint16_t kMagicAnsi = 0xBB1A;

// Version bytes of the current format; any other pair is an older file.
inline constexpr uint8_t kCurrentVersionMajor = 2;
inline constexpr uint8_t kCurrentVersionMinor = 2;

// Result codes. Every other non-zero value is a plain failure.
inline constexpr int kOk = 0;
inline constexpr int kFull = 16;
inline constexpr int kNameInUse = 18;
// What a find call reports when it delivered no record because the enumeration is at
// its end; any other code but kOk from it is a failed read.
inline constexpr int kNoMore = 9;
// Another process holds the book's lock past the engine's bounded wait: it is being
// changed, and the same call may succeed in a moment.
inline constexpr int kBusy = 8;

// Open modes.
inline constexpr uint8_t kModeReadWrite = 0;
inline constexpr uint8_t kModeReadOnly = 1;

// Record kinds.
inline constexpr uint8_t kKindEntry = 1;
inline constexpr uint8_t kKindGroup = 2;

// Capacities.
inline constexpr int kCapacityCurrent = 2500;
inline constexpr int kCapacityOld = 1000;

// Ids: kNoId asks GetEntry to find by name and fax number and starts an enumeration.
inline constexpr uint16_t kNoId = 0xFFFF;
inline constexpr uint16_t kCursorStart = 0xFFFF;

// Extension slots.
inline constexpr int kExtOrganization = 0;
inline constexpr int kExtUnused = 1;
inline constexpr int kExtMailbox = 2;
inline constexpr int kExtPhone = 3;
inline constexpr int kExtEmail = 4;
inline constexpr int kExtensionCount = 5;

// Field widths in units of the set (texts hold at most width - 1 and a terminator).
inline constexpr int kNameWidth = 32;
inline constexpr int kFaxWidth = 47;
inline constexpr int kExtensionWidth = 60;
inline constexpr int kPhoneWidth = 47;
inline constexpr int kMailboxMaxLength = 3;
inline constexpr int kTermWidth = 32;

// Caller-owned header block, wide set (344 bytes).
struct PbHeaderW {
    uint16_t magic;           // 0: kMagicWide when open
    uint8_t versionMajor;     // 2
    uint8_t versionMinor;     // 3
    uint16_t word4;           // 4
    uint16_t word6;           // 6
    uint16_t extensionCount;  // 8
    uint16_t reserved10;      // 10
    uint8_t engine[300];      // 12: the engine's own bookkeeping
    void* file;               // 312: HANDLE; the caller closes it and stores -1
    uint64_t field320;        // 320
    uint64_t field328;        // 328
    uint32_t field336;        // 336
    uint32_t wideFormat;      // 340: non-zero for a wide-format file
};

// Caller-owned header block, ANSI set (184 bytes).
struct PbHeaderA {
    uint16_t magic;           // 0: kMagicAnsi when open
    uint8_t versionMajor;     // 2
    uint8_t versionMinor;     // 3
    uint16_t word4;           // 4
    uint16_t word6;           // 6
    uint16_t extensionCount;  // 8
    uint16_t reserved10;      // 10
    uint8_t engine[148];      // 12: the engine's own bookkeeping
    int32_t file;             // 160: HFILE; the caller closes it (_lclose) and stores -1
    uint8_t reserved164[16];  // 164
    uint32_t wideFormat;      // 180: non-zero for a wide-format file
};

// Caller-owned record, wide set (184 bytes).
struct PBEW {
    uint16_t id;                 // 0
    uint16_t memberCount;        // 2: groups
    uint8_t reserved4[2];        // 4
    uint8_t kind;                // 6: kKindEntry or kKindGroup
    uint8_t reserved7;           // 7
    WChar name[kNameWidth];      // 8
    WChar fax[kFaxWidth];        // 72
    uint8_t reserved166[2];      // 166
    WChar** extensions;          // 168: extensionCount pointers, each to kExtensionWidth units
    uint16_t* members;           // 176: capacity ids
};

// Caller-owned record, ANSI set (104 bytes).
struct PBEA {
    uint16_t id;                 // 0
    uint16_t memberCount;        // 2
    uint8_t reserved4[2];        // 4
    uint8_t kind;                // 6
    uint8_t reserved7;           // 7
    char name[kNameWidth];       // 8
    char fax[kFaxWidth];         // 40
    uint8_t reserved87;          // 87
    char** extensions;           // 88
    uint16_t* members;           // 96
};

// Search terms: an array of 16-byte slots (the caller's vector of shared pointers);
// each slot's first 8 bytes address a 16-byte block whose first member addresses one
// term of kTermWidth units. The last slot's block holds a null term address.
template <class Char>
struct PbTermBlock {
    const Char* text;
    void* reserved;
};
template <class Char>
struct PbTermSlot {
    const PbTermBlock<Char>* block;
    void* control;
};
using PbTermBlockW = PbTermBlock<WChar>;
using PbTermBlockA = PbTermBlock<char>;
using PbTermSlotW = PbTermSlot<WChar>;
using PbTermSlotA = PbTermSlot<char>;

static_assert(sizeof(void*) == 8, "the engine boundary is 64-bit");
static_assert(sizeof(PbHeaderW) == 344);
static_assert(offsetof(PbHeaderW, magic) == 0);
static_assert(offsetof(PbHeaderW, versionMajor) == 2);
static_assert(offsetof(PbHeaderW, versionMinor) == 3);
static_assert(offsetof(PbHeaderW, word4) == 4);
static_assert(offsetof(PbHeaderW, word6) == 6);
static_assert(offsetof(PbHeaderW, extensionCount) == 8);
static_assert(offsetof(PbHeaderW, engine) == 12);
static_assert(offsetof(PbHeaderW, file) == 312);
static_assert(offsetof(PbHeaderW, field320) == 320);
static_assert(offsetof(PbHeaderW, field328) == 328);
static_assert(offsetof(PbHeaderW, field336) == 336);
static_assert(offsetof(PbHeaderW, wideFormat) == 340);

static_assert(sizeof(PbHeaderA) == 184);
static_assert(offsetof(PbHeaderA, magic) == 0);
static_assert(offsetof(PbHeaderA, versionMajor) == 2);
static_assert(offsetof(PbHeaderA, extensionCount) == 8);
static_assert(offsetof(PbHeaderA, engine) == 12);
static_assert(offsetof(PbHeaderA, file) == 160);
static_assert(offsetof(PbHeaderA, wideFormat) == 180);

static_assert(sizeof(PBEW) == 184);
static_assert(offsetof(PBEW, id) == 0);
static_assert(offsetof(PBEW, memberCount) == 2);
static_assert(offsetof(PBEW, kind) == 6);
static_assert(offsetof(PBEW, name) == 8);
static_assert(offsetof(PBEW, fax) == 72);
static_assert(offsetof(PBEW, extensions) == 168);
static_assert(offsetof(PBEW, members) == 176);

static_assert(sizeof(PBEA) == 104);
static_assert(offsetof(PBEA, id) == 0);
static_assert(offsetof(PBEA, memberCount) == 2);
static_assert(offsetof(PBEA, kind) == 6);
static_assert(offsetof(PBEA, name) == 8);
static_assert(offsetof(PBEA, fax) == 40);
static_assert(offsetof(PBEA, extensions) == 88);
static_assert(offsetof(PBEA, members) == 96);

static_assert(sizeof(PbTermSlotW) == 16 && offsetof(PbTermSlotW, block) == 0);
static_assert(sizeof(PbTermBlockW) == 16 && offsetof(PbTermBlockW, text) == 0);
static_assert(sizeof(PbTermSlotA) == 16 && sizeof(PbTermBlockA) == 16);

// Entry points. x64 has one calling convention, so no decoration is needed.
// FindFirstOrNext2 returns the address of the record it filled, or 0 when it
// delivered none; every other export returns its code and also stores it in *code.
using PfnWCreate = int (*)(PbHeaderW* header, const WChar* path, int* code);
using PfnWOpen = int (*)(PbHeaderW* header, const WChar* path, uint8_t mode, int* code);
using PfnWFreePBE = int (*)(PbHeaderW* header, PBEW* record, int* code);
using PfnWFindFirstOrNext = int (*)(PbHeaderW* header, PBEW* record, uint16_t* cursor, int* done, int* code);
using PfnWFindFirstOrNext2 = intptr_t (*)(PbHeaderW* header, PBEW* record, const PbTermSlotW* terms,
                                          uint16_t* cursor, int* done);
using PfnWAddEntry = int (*)(PbHeaderW* header, PBEW* record, int* code);
using PfnWGetEntry = int (*)(PbHeaderW* header, PBEW* record, const WChar* name, const WChar* fax, uint16_t id,
                             int* code);
using PfnWAddToGroup = int (*)(PbHeaderW* header, uint16_t group, uint16_t entry, int* code);
using PfnWModifyEntry = int (*)(PbHeaderW* header, uint16_t id, PBEW* record, int* code);
using PfnWRemoveEntry = int (*)(PbHeaderW* header, uint16_t id, int* code);
using PfnWRemoveFromGroup = int (*)(PbHeaderW* header, uint16_t group, uint16_t entry, int* code);

using PfnACreate = int (*)(PbHeaderA* header, const char* path, int* code);
using PfnAOpen = int (*)(PbHeaderA* header, const char* path, uint8_t mode, int* code);
using PfnAFreePBE = int (*)(PbHeaderA* header, PBEA* record, int* code);
using PfnAFindFirstOrNext = int (*)(PbHeaderA* header, PBEA* record, uint16_t* cursor, int* done, int* code);
using PfnAFindFirstOrNext2 = intptr_t (*)(PbHeaderA* header, PBEA* record, const PbTermSlotA* terms,
                                          uint16_t* cursor, int* done);
using PfnAAddEntry = int (*)(PbHeaderA* header, PBEA* record, int* code);
using PfnAGetEntry = int (*)(PbHeaderA* header, PBEA* record, const char* name, const char* fax, uint16_t id,
                             int* code);
using PfnAAddToGroup = int (*)(PbHeaderA* header, uint16_t group, uint16_t entry, int* code);
using PfnAModifyEntry = int (*)(PbHeaderA* header, uint16_t id, PBEA* record, int* code);
using PfnARemoveEntry = int (*)(PbHeaderA* header, uint16_t id, int* code);
using PfnARemoveFromGroup = int (*)(PbHeaderA* header, uint16_t group, uint16_t entry, int* code);

// Export names, in the order of each set's table: create, open, free record, find,
// find2, add, get, add to group, modify, remove, remove from group.
inline constexpr int kExportsPerSet = 11;
inline constexpr const char* kWideExports[kExportsPerSet] = {
    "WPbCreatePhonebook", "WPbOpenPhonebook", "WPbFreePBE",     "WPbFindFirstOrNext",
    "WPbFindFirstOrNext2", "WPbAddEntry",     "WPbGetEntry",    "WPbAddToGroup",
    "WPbModifyEntry",     "WPbRemoveEntry",   "WPbRemoveFromGroup"};
inline constexpr const char* kAnsiExports[kExportsPerSet] = {
    "PbCreatePhonebook", "PbOpenPhonebook", "PbFreePBE",     "PbFindFirstOrNext",
    "PbFindFirstOrNext2", "PbAddEntry",     "PbGetEntry",    "PbAddToGroup",
    "PbModifyEntry",     "PbRemoveEntry",   "PbRemoveFromGroup"};

// Optional exports, resolved at run time (an engine without them works as before).
// Between BeginChanges and EndChanges the changing calls on that header work on the
// engine's image and return their codes at once; EndChanges writes them all as one
// commit, whole or absent. Begin and End nest. A header closed inside a batch
// discards it. ChangeCount gives the file's change counter, which moves with every
// commit by any process.
using PfnWBeginChanges = int (*)(PbHeaderW* header, int* code);
using PfnWEndChanges = int (*)(PbHeaderW* header, int* code);
using PfnWChangeCount = int (*)(PbHeaderW* header, uint64_t* count, int* code);
using PfnABeginChanges = int (*)(PbHeaderA* header, int* code);
using PfnAEndChanges = int (*)(PbHeaderA* header, int* code);
using PfnAChangeCount = int (*)(PbHeaderA* header, uint64_t* count, int* code);
// FindFirstOrNext3 is FindFirstOrNext2 with a code: kOk with a record delivered, kNoMore
// at the end, anything else a failed read (a busy book among them), which the terms-only
// call could not tell from the end.
using PfnWFindFirstOrNext3 = int (*)(PbHeaderW* header, PBEW* record, const PbTermSlotW* terms, uint16_t* cursor,
                                     int* done, int* code);
using PfnAFindFirstOrNext3 = int (*)(PbHeaderA* header, PBEA* record, const PbTermSlotA* terms, uint16_t* cursor,
                                     int* done, int* code);
inline constexpr int kOptionalExportsPerSet = 4;
inline constexpr const char* kWideOptionalExports[kOptionalExportsPerSet] = {"WPbBeginChanges", "WPbEndChanges",
                                                                              "WPbChangeCount", "WPbFindFirstOrNext3"};
inline constexpr const char* kAnsiOptionalExports[kOptionalExportsPerSet] = {"PbBeginChanges", "PbEndChanges",
                                                                             "PbChangeCount", "PbFindFirstOrNext3"};

// Optional, for both sets: how long the calling thread's calls wait for the book's lock
// while another process's call holds it (0: one try, busy at once; at most the default of
// 2000 ms); returns the wait it replaces.
using PfnSetLockWait = uint32_t (*)(uint32_t milliseconds);
inline constexpr const char* kLockWaitExport = "PbSetLockWait";

inline constexpr const char* kEngineFileName = "m2fpd02.dll";

}  // namespace pbabi
