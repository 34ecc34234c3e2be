#pragma once
// One phone book file: its format, validation, search and crash-safe changes.
//
// Layout (little-endian):
//   [0, 512)            superblock: magic, kind, version, capacity, geometry, the change
//                       counter at 24 (8 bytes, left out of the checksum); checksum.
//   [512, 512 + C*512)  C fixed slots of 512 bytes, one record each (C = capacity).
//   [J, ...)            journal, J = 512 + C*512: the slot images of the change in flight
//                       and the counter value it brings.
// A slot holds id, kind, payload length, the payload (length-prefixed texts; for a
// group its name and a bitmap of member slots) and a checksum seeded with the slot's
// index. A change writes its slot images to the journal in one write and flushes (the
// commit point), writes them and the counter in place and flushes, then clears the
// journal. The superblock is thus rewritten only while a committed journal is on disk:
// should that write tear it, the journal (which names the kind) rebuilds it. Replaying a journal again is harmless, so the clearing needs no flush of its
// own. Whoever reads a file with a complete journal sees its images (a writer also
// writes them in place first). So a change is whole or absent at any instant, and a
// damaged slot is skipped on its own.
//
// A batch keeps changes in the image only; ending it commits every slot it touched as
// one such change.
#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "FileIo.h"
#include "Text.h"

namespace pbcore {

enum class Kind : uint8_t { Current = 1, OlderWide = 2, Oldest = 3 };

struct KindTraits {
    int capacity;
    uint8_t versionMajor;
    uint8_t versionMinor;
    bool wide;
};
KindTraits TraitsOf(Kind kind);
// The kind a file name's extension names (.mpb2, .mpb, .pb, any case); false otherwise.
bool KindFromExtension(std::u16string_view path, Kind* kind);

// Result codes: 0, 16 and 18 are the boundary's; the others are plain failures.
namespace code {
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kNotFound = 2;
inline constexpr int kReadOnly = 3;
inline constexpr int kBadFile = 4;
inline constexpr int kBadArgument = 5;
inline constexpr int kWrongSet = 6;
inline constexpr int kIoError = 7;
inline constexpr int kBusy = 8;
inline constexpr int kNoMore = 9;
inline constexpr int kFull = 16;
inline constexpr int kNameInUse = 18;
}  // namespace code

enum Field { kName, kFax, kOrganization, kMailbox, kPhone, kEmail, kFieldCount };
// Longest text each field keeps, in units (the boundary's width less one).
int MaxLength(int field);

struct Record {
    uint16_t id = 0;
    uint8_t kind = 1;  // 1 entry, 2 group
    std::array<Units, kFieldCount> fields;
    std::vector<uint16_t> members;  // groups: entry ids
};

// Cuts texts to their widths (never leaving half a surrogate pair) and at any NUL.
void Normalize(Record& record, bool wide);

class Book {
public:
    static constexpr uint32_t kSlotSize = 512;
    static constexpr uint32_t kSuperblockSize = 512;

    Book() = default;
    ~Book();
    Book(const Book&) = delete;
    Book& operator=(const Book&) = delete;

    // Writes an empty book of this kind over whatever the file held.
    static int Create(FileIo& io, Kind kind);

    // An empty file, or the start of a superblock whose writing was cut off: a book
    // that was being created, which a writer may create again.
    static bool IsUnfinishedCreation(FileIo& io);

    // Reads and checks the whole file. Fails for a file that is not a book.
    int Load(FileIo& io);
    // The change counter as stored, with two small reads: the one a whole journal brings
    // while it is there (it moves at the commit point, even when the writes in place that
    // follow fail; a journal is read whole only while one is there), else the superblock's. False for a file that is not a book. Any commit
    // by anyone moves it.
    static bool ReadCounter(FileIo& io, uint64_t* counter);
    // Writes a change left by a dead writer in place (a reader only sees it in memory).
    int Recover(FileIo& io);

    Kind GetKind() const { return m_kind; }
    int Capacity() const { return m_capacity; }
    bool Wide() const { return m_wide; }
    int LiveCount() const { return m_live; }
    int DamagedCount() const { return m_damaged; }
    bool HadPendingChange() const { return m_hadPending; }
    // A journal that was never committed is on disk (its writer died writing it, or its
    // write failed): nothing of it counts, and its counter is not used again.
    bool HadTornJournal() const { return m_spentCounter != 0; }
    uint64_t FileSize() const { return m_fileSize; }
    // False once a change failed before it was committed: the image is then ahead of
    // the file and must be loaded again.
    bool Loaded() const { return m_loaded; }
    // The counter as the file stores it now (what ReadCounter would give).
    uint64_t StoredCounter() const { return m_storedCounter; }

    // Between these, changes work on the image only and return their codes at once;
    // EndBatch writes every slot they touched as one commit. Dropping the Book (or
    // loading it again) discards an open batch.
    void BeginBatch() { m_batch = true; }
    bool InBatch() const { return m_batch; }
    int EndBatch(FileIo& io);

    // Enumeration: every entry, then every group, that matches all terms (prepared
    // with PrepareTerms). Cursor 0xFFFF starts; done is set when nothing follows.
    bool FindNext(const std::vector<std::u32string>& terms, uint16_t& cursor, bool& done, int& slot) const;
    // The lookup of GetEntry: by id (given texts must match too), or with id 0xFFFF by
    // name and fax number (a group by its name and an empty fax number).
    int Find(const Units& name, const Units& fax, uint16_t id, int& slot) const;
    int SlotOfId(uint16_t id) const;
    Record Read(int slot) const;
    // The parts of Read without building a Record (the enumeration's path).
    uint16_t IdAt(int slot) const { return m_slots[slot].id; }
    bool IsGroupAt(int slot) const { return m_slots[slot].state == kGroup; }
    size_t CopyText(int slot, int field, char16_t* out, size_t max) const;
    void MembersOf(int slot, std::vector<uint16_t>& out) const;
    // Every record as stored: the slot order of an enumeration without terms.
    std::vector<Record> All() const;

    int Add(FileIo& io, Record record, uint16_t* newId);
    int Modify(FileIo& io, uint16_t id, Record record);
    int Remove(FileIo& io, uint16_t id);
    int AddToGroup(FileIo& io, uint16_t group, uint16_t entry);
    int RemoveFromGroup(FileIo& io, uint16_t group, uint16_t entry);

private:
    enum : uint8_t { kFree = 0, kEntry = 1, kGroup = 2, kDamaged = 3 };
    struct SlotInfo {
        uint8_t state = kFree;
        uint16_t id = 0;
        std::array<uint16_t, kFieldCount> offset{};  // payload offsets of the units
        std::array<uint8_t, kFieldCount> length{};
        uint16_t bitmap = 0;  // groups: offset of the member bitmap in the slot
    };
    using Image = std::array<uint8_t, kSlotSize>;
    struct Change {
        int slot;
        Image image;
    };

    uint8_t* SlotBytes(int slot) { return m_data.data() + kSuperblockSize + static_cast<size_t>(slot) * kSlotSize; }
    // Slots past the end of a short file have no bytes in the image until written.
    bool Covered(int slot) const { return kSuperblockSize + (static_cast<size_t>(slot) + 1) * kSlotSize <= m_data.size(); }
    const uint8_t* SlotBytes(int slot) const {
        return m_data.data() + kSuperblockSize + static_cast<size_t>(slot) * kSlotSize;
    }
    uint64_t JournalOffset() const { return kSuperblockSize + static_cast<uint64_t>(m_capacity) * kSlotSize; }
    size_t BitmapBytes() const { return static_cast<size_t>(m_capacity + 7) / 8; }
    void Parse(int slot);
    Units Text(int slot, int field) const;
    void FoldField(int slot, int field, std::u32string& out) const;
    bool Matches(int slot, const std::vector<std::u32string>& terms) const;
    bool NameMatches(int slot, const Units& name) const;
    bool FaxIs(int slot, const Units& fax) const;
    bool IsMember(int group, int entrySlot) const;
    int FindClash(const Record& record, int except) const;
    uint16_t NextId() const;
    int FirstFreeSlot() const;
    Image Encode(int slot, const Record& record, const uint8_t* bitmap) const;
    Image WithMember(int group, int entrySlot, bool member) const;
    int Commit(FileIo& io, const std::vector<Change>& changes);
    // Journal, flush, in place, counter, flush, clear: the slots' images from m_data.
    int WriteSlots(FileIo& io, std::vector<int> slots);
    void Apply(int slot, const uint8_t* image);
    void Cover(int slot);
    void Index(int slot, bool add) const;
    const std::unordered_multimap<uint64_t, int>& Indexed() const;
    int WriteInPlace(FileIo& io, const std::vector<int>& slots, uint64_t counter);
    // The journal at offset at of a book of this kind: its images and the counter it brings
    // when it is complete and sound, else none; *named gets the counter its header names,
    // sound or not (0 without one). Only a failed read is an error.
    static int ReadJournal(FileIo& io, uint64_t size, Kind kind, std::vector<Change>& out, uint64_t* brought,
                           uint64_t* named);
    // A superblock torn by a counter write: the committed journal that is always there then
    // tells the kind and the counter, and the superblock is made anew from them.
    static int SuperblockFromJournal(FileIo& io, uint64_t size, uint8_t* sb, Kind* kind);
    uint64_t ClashKey(uint8_t kind, const char32_t* name, size_t nameLength, const char16_t* fax,
                      size_t faxLength) const;
    uint64_t ClashKeyOf(int slot) const;

    bool m_loaded = false;
    Kind m_kind = Kind::Current;
    bool m_wide = true;
    int m_capacity = 0;
    int m_live = 0;
    int m_damaged = 0;
    bool m_hadPending = false;
    bool m_repairSuperblock = false;  // the next counter write puts back the whole superblock
    uint64_t m_fileSize = 0;
    std::vector<uint8_t> m_data;  // superblock and slot area, journal images applied
    std::vector<SlotInfo> m_slots;
    std::vector<Change> m_pending;  // a complete journal found on disk
    uint64_t m_pendingCounter = 0;  // the counter that journal brings
    uint64_t m_storedCounter = 0;
    uint64_t m_counter = 0;  // the counter of the image's state
    uint64_t m_spentCounter = 0;  // named by a journal never committed: the next commit goes past it
    // Lookups that every change makes, kept as the image changes: slot of each id,
    // entries and groups by folded name (and fax number), the lowest slot that may be
    // free, the groups.
    std::vector<int16_t> m_slotOfId;
    mutable std::unordered_multimap<uint64_t, int> m_byName;
    mutable bool m_indexed = false;  // m_byName is built by the first lookup that needs it
    int m_freeHint = 0;
    int m_usedEnd = 0;  // every slot from here on is free
    std::vector<int> m_groups;  // slots of groups, in order
    unsigned m_highestId = 0;
    bool m_batch = false;
    std::vector<uint8_t> m_dirty;  // per slot: touched by the open batch
};

uint64_t Checksum(const uint8_t* data, size_t size, uint64_t seed);

}  // namespace pbcore
