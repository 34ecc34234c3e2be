#pragma once
// One phone book file: its format, validation, search and crash-safe changes.
//
// Layout (little-endian):
//   [0, 512)            superblock: magic, kind, version, capacity, geometry; checksum.
//   [512, 512 + C*512)  C fixed slots of 512 bytes, one record each (C = capacity).
//   [J, ...)            journal, J = 512 + C*512: the slot images of the change in flight.
// A slot holds id, kind, payload length, the payload (length-prefixed texts; for a
// group its name and a bitmap of member slots) and a checksum seeded with the slot's
// index. A change writes its slot images to the journal in one write, then in place,
// then clears the journal; whoever reads a file with a complete journal sees its images
// (a writer also writes them in place first). So a change is whole or absent at any
// instant, and a damaged slot is skipped on its own.
#include <array>
#include <cstdint>
#include <string_view>
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

    // Reads and checks the whole file in one read. Fails for a file that is not a book.
    int Load(FileIo& io);
    // Writes a change left by a dead writer in place (a reader only sees it in memory).
    int Recover(FileIo& io);

    Kind GetKind() const { return m_kind; }
    int Capacity() const { return m_capacity; }
    bool Wide() const { return m_wide; }
    int LiveCount() const { return m_live; }
    int DamagedCount() const { return m_damaged; }
    bool HadPendingChange() const { return m_hadPending; }
    uint64_t FileSize() const { return m_fileSize; }

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
    const uint8_t* SlotBytes(int slot) const {
        return m_data.data() + kSuperblockSize + static_cast<size_t>(slot) * kSlotSize;
    }
    uint64_t JournalOffset() const { return kSuperblockSize + static_cast<uint64_t>(m_capacity) * kSlotSize; }
    size_t BitmapBytes() const { return static_cast<size_t>(m_capacity + 7) / 8; }
    static std::vector<uint8_t>& SpareBuffer();
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
    int WritePending(FileIo& io, const std::vector<Change>& changes);

    bool m_loaded = false;
    Kind m_kind = Kind::Current;
    bool m_wide = true;
    int m_capacity = 0;
    int m_live = 0;
    int m_damaged = 0;
    bool m_hadPending = false;
    uint64_t m_fileSize = 0;
    std::vector<uint8_t> m_data;  // superblock and slot area, journal images applied
    std::vector<SlotInfo> m_slots;
    std::vector<Change> m_pending;  // a complete journal found on disk
};

uint64_t Checksum(const uint8_t* data, size_t size, uint64_t seed);

}  // namespace pbcore
