#include "Book.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

namespace pbcore {

namespace {

constexpr uint8_t kMagic[8] = {'M', 'P', 'B', 'O', 'O', 'K', 0x1A, 0x00};
constexpr uint32_t kJournalMagic = 0x314A4250;  // "PBJ1"
constexpr uint32_t kCounterAt = 24;
constexpr uint32_t kJournalHeader = 32;
constexpr uint32_t kJournalRecord = 8 + Book::kSlotSize;
constexpr uint32_t kSlotHeader = 8;
constexpr uint32_t kChecksumAt = Book::kSlotSize - 8;
constexpr uint32_t kMaxPayload = kChecksumAt - kSlotHeader;
constexpr int kMaxLength[kFieldCount] = {31, 46, 59, 3, 46, 59};

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return Get16(p) | (static_cast<uint32_t>(Get16(p + 2)) << 16); }
uint64_t Get64(const uint8_t* p) { return Get32(p) | (static_cast<uint64_t>(Get32(p + 4)) << 32); }
void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v));
    Put16(p + 2, static_cast<uint16_t>(v >> 16));
}
void Put64(uint8_t* p, uint64_t v) {
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

bool ReservedId(uint16_t id) { return id == 0 || id == 255 || id == 0xFFFF; }

bool IsAllZero(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (p[i]) return false;
    return true;
}

uint64_t Mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

uint64_t SuperblockChecksum(const uint8_t* sb);

// Where a new book's counter starts: never a value an earlier file at the same path
// had, so a reader's kept image of that file cannot pass for the new one.
uint64_t FirstCounter() {
    static std::atomic<uint64_t> made{0};
    uint64_t now = static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    return (Mix(now ^ (++made << 40)) & 0x0000FFFFFFFFFFFFULL) + 1;
}

}  // namespace

uint64_t Checksum(const uint8_t* data, size_t size, uint64_t seed) {
    uint64_t h = Mix(seed ^ 0x9E3779B97F4A7C15ULL) ^ (size * 0x87c37b91114253d5ULL);
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t w = Get64(data + i);
        h ^= w * 0x87c37b91114253d5ULL;
        h = ((h << 31) | (h >> 33)) * 0x4cf5ad432745937fULL;
    }
    uint64_t tail = 0;
    for (size_t k = 0; i < size; ++i, ++k) tail |= static_cast<uint64_t>(data[i]) << (8 * k);
    h ^= tail * 0x4cf5ad432745937fULL;
    return Mix(h);
}

namespace {
// The counter changes with every commit, so the superblock's checksum leaves it out.
uint64_t SuperblockChecksum(const uint8_t* sb) {
    uint8_t copy[kChecksumAt];
    std::memcpy(copy, sb, kChecksumAt);
    std::memset(copy + kCounterAt, 0, 8);
    return Checksum(copy, kChecksumAt, 0);
}
}  // namespace

KindTraits TraitsOf(Kind kind) {
    switch (kind) {
        case Kind::Current: return {2500, 2, 2, true};
        case Kind::OlderWide: return {1000, 2, 0, true};
        case Kind::Oldest: return {1000, 1, 0, false};
    }
    return {0, 0, 0, false};
}

bool KindFromExtension(std::u16string_view path, Kind* kind) {
    size_t dot = path.find_last_of(u'.');
    size_t slash = path.find_last_of(u"\\/");
    if (dot == std::u16string_view::npos || (slash != std::u16string_view::npos && slash > dot)) return false;
    std::u16string ext;
    for (char16_t c : path.substr(dot + 1)) ext.push_back(c >= u'A' && c <= u'Z' ? c + 32 : c);
    if (ext == u"mpb2") *kind = Kind::Current;
    else if (ext == u"mpb") *kind = Kind::OlderWide;
    else if (ext == u"pb") *kind = Kind::Oldest;
    else return false;
    return true;
}

int MaxLength(int field) { return field >= 0 && field < kFieldCount ? kMaxLength[field] : 0; }

void Normalize(Record& record, bool wide) {
    for (int f = 0; f < kFieldCount; ++f) {
        Units& t = record.fields[f];
        size_t nul = t.find(u'\0');
        if (nul != Units::npos) t.resize(nul);
        if (!wide)
            for (char16_t& c : t) c &= 0xFF;
        if (t.size() > static_cast<size_t>(kMaxLength[f])) {
            t.resize(kMaxLength[f]);
            if (wide && !t.empty() && t.back() >= 0xD800 && t.back() < 0xDC00) t.pop_back();
        }
    }
}

namespace {
uint64_t JournalOffsetOf(int capacity) { return Book::kSuperblockSize + static_cast<uint64_t>(capacity) * Book::kSlotSize; }

// The whole superblock follows from the kind and the counter.
void MakeSuperblock(uint8_t* sb, Kind kind, uint64_t counter) {
    const KindTraits tr = TraitsOf(kind);
    std::memset(sb, 0, Book::kSuperblockSize);
    std::memcpy(sb, kMagic, sizeof kMagic);
    sb[8] = static_cast<uint8_t>(kind);
    sb[9] = tr.versionMajor;
    sb[10] = tr.versionMinor;
    sb[11] = tr.wide ? 1 : 0;
    Put16(sb + 12, static_cast<uint16_t>(tr.capacity));
    Put16(sb + 14, Book::kSlotSize);
    Put32(sb + 16, Book::kSuperblockSize);
    Put32(sb + 20, static_cast<uint32_t>(JournalOffsetOf(tr.capacity)));
    Put64(sb + kCounterAt, counter);
    Put64(sb + kChecksumAt, SuperblockChecksum(sb));
}
}  // namespace

int Book::Create(FileIo& io, Kind kind) {
    KindTraits tr = TraitsOf(kind);
    if (!tr.capacity) return code::kBadArgument;
    uint8_t sb[kSuperblockSize];
    MakeSuperblock(sb, kind, FirstCounter());
    // Slots past the end of the file are free, so the superblock is the whole new book.
    if (!io.Truncate(0) || !io.Write(0, sb, sizeof sb) || !io.Flush()) return code::kIoError;
    return code::kOk;
}

bool Book::IsUnfinishedCreation(FileIo& io) {
    uint64_t size = 0;
    if (!io.Size(&size) || size >= kSuperblockSize) return false;
    uint8_t head[sizeof kMagic] = {};
    size_t got = 0;
    if (!io.Read(0, head, sizeof head, &got)) return false;
    return std::memcmp(head, kMagic, std::min(got, sizeof kMagic)) == 0;
}

Book::~Book() = default;

namespace {
// The superblock's checks; the kind it names, or false.
bool CheckSuperblock(const uint8_t* sb, Kind* out) {
    if (std::memcmp(sb, kMagic, sizeof kMagic) != 0 || Get64(sb + kChecksumAt) != SuperblockChecksum(sb))
        return false;
    if (sb[8] < 1 || sb[8] > 3) return false;
    Kind kind = static_cast<Kind>(sb[8]);
    KindTraits tr = TraitsOf(kind);
    if (sb[9] != tr.versionMajor || sb[10] != tr.versionMinor || sb[11] != (tr.wide ? 1 : 0) ||
        Get16(sb + 12) != tr.capacity || Get16(sb + 14) != Book::kSlotSize || Get32(sb + 16) != Book::kSuperblockSize ||
        Get32(sb + 20) != Book::kSuperblockSize + static_cast<uint32_t>(tr.capacity) * Book::kSlotSize ||
        !IsAllZero(sb + kCounterAt + 8, kChecksumAt - kCounterAt - 8))
        return false;
    *out = kind;
    return true;
}
}  // namespace

bool Book::ReadCounter(FileIo& io, uint64_t* counter) {
    uint8_t head[kCounterAt + 8];
    size_t got = 0;
    if (!io.Read(0, head, sizeof head, &got) || got != sizeof head) return false;
    if (std::memcmp(head, kMagic, sizeof kMagic) != 0 || head[8] < 1 || head[8] > 3) return false;
    const Kind kind = static_cast<Kind>(head[8]);
    uint8_t jh[16];
    if (!io.Read(JournalOffsetOf(TraitsOf(kind).capacity), jh, sizeof jh, &got)) return false;
    *counter = Get64(head + kCounterAt);
    if (got != sizeof jh || Get32(jh) != kJournalMagic || !Get64(jh + 8)) return true;
    // A journal's counter counts only once the journal is whole: a torn one (its writer
    // died, or is still writing it) brought nothing, and its value is never given out.
    uint64_t size = 0, brought = 0, named = 0;
    std::vector<Change> images;
    if (!io.Size(&size) || ReadJournal(io, size, kind, images, &brought, &named) != code::kOk) return false;
    if (!images.empty() && brought) *counter = brought;
    return true;
}

int Book::ReadJournal(FileIo& io, uint64_t size, Kind kind, std::vector<Change>& out, uint64_t* brought,
                      uint64_t* named) {
    out.clear();
    *brought = *named = 0;
    const int capacity = TraitsOf(kind).capacity;
    const uint64_t j = JournalOffsetOf(capacity);
    if (size < j + kJournalHeader) return code::kOk;
    uint8_t jh[kJournalHeader];
    size_t got = 0;
    // A journal that cannot be read may hold a committed change: that is no "no journal".
    if (!io.Read(j, jh, sizeof jh, &got) || got != sizeof jh) return code::kIoError;
    if (Get32(jh) != kJournalMagic) return code::kOk;
    *named = Get64(jh + 8);
    // Journals name the kind they were written for; an engine before that left 0.
    if (jh[24] != 0 && jh[24] != static_cast<uint8_t>(kind)) return code::kOk;
    const uint32_t count = Get32(jh + 4);
    const uint64_t recBytes = static_cast<uint64_t>(count) * kJournalRecord;
    if (count < 1 || count > static_cast<uint32_t>(capacity) || size < j + kJournalHeader + recBytes) return code::kOk;
    std::vector<uint8_t> recs(static_cast<size_t>(recBytes));
    if (!io.Read(j + kJournalHeader, recs.data(), recs.size(), &got)) return code::kIoError;
    if (got != recs.size() || Get64(jh + 16) != Checksum(recs.data(), recs.size(), Checksum(jh, 16, 1)))
        return code::kOk;
    std::vector<Change> images;
    images.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* r = recs.data() + static_cast<size_t>(i) * kJournalRecord;
        const uint32_t slot = Get32(r);
        if (slot >= static_cast<uint32_t>(capacity)) return code::kOk;
        Change c{static_cast<int>(slot), {}};
        std::memcpy(c.image.data(), r + 8, kSlotSize);
        images.push_back(c);
    }
    out = std::move(images);
    *brought = *named;
    return code::kOk;
}

int Book::SuperblockFromJournal(FileIo& io, uint64_t size, uint8_t* sb, Kind* kind) {
    for (Kind k : {Kind::Current, Kind::OlderWide, Kind::Oldest}) {
        std::vector<Change> images;
        uint64_t brought = 0, named = 0;
        int rc = ReadJournal(io, size, k, images, &brought, &named);
        if (rc != code::kOk) return rc;
        if (images.empty() || !brought) continue;
        MakeSuperblock(sb, k, brought);
        *kind = k;
        return code::kOk;
    }
    return code::kBadFile;
}

int Book::Load(FileIo& io) {
    m_loaded = false;
    m_batch = false;
    m_dirty.clear();
    m_pending.clear();
    m_hadPending = false;
    uint64_t size = 0;
    if (!io.Size(&size)) return code::kIoError;
    m_fileSize = size;
    if (size < kSuperblockSize) return code::kBadFile;
    uint8_t sb[kSuperblockSize];
    size_t got = 0;
    if (!io.Read(0, sb, sizeof sb, &got)) return code::kIoError;
    Kind kind;
    m_repairSuperblock = false;
    if (got < kSuperblockSize || !CheckSuperblock(sb, &kind)) {
        int rc = SuperblockFromJournal(io, size, sb, &kind);
        if (rc != code::kOk) return rc;
        m_repairSuperblock = true;
    }
    KindTraits tr = TraitsOf(kind);
    m_kind = kind;
    m_wide = tr.wide;
    m_capacity = tr.capacity;
    m_storedCounter = m_counter = Get64(sb + kCounterAt);

    // Only the slots the file holds are read; those past the end of a short file are
    // free and get bytes when first written. A reload reuses the image's buffer.
    const uint64_t j = JournalOffset();
    const size_t slotBytes = static_cast<size_t>(std::min<uint64_t>(size, j) - kSuperblockSize);
    const size_t covered = (slotBytes + kSlotSize - 1) / kSlotSize;
    m_data.resize(kSuperblockSize + covered * kSlotSize);
    std::memcpy(m_data.data(), sb, kSuperblockSize);
    got = 0;
    if (slotBytes && !io.Read(kSuperblockSize, m_data.data() + kSuperblockSize, slotBytes, &got)) return code::kIoError;
    std::memset(m_data.data() + kSuperblockSize + got, 0, m_data.size() - kSuperblockSize - got);

    // A complete journal is the change in flight: it counts as written.
    std::vector<Change> pending;
    uint64_t brought = 0, named = 0;
    int rc = ReadJournal(io, size, kind, pending, &brought, &named);
    if (rc != code::kOk) return rc;
    // A torn journal's counter may have been seen by a reader of an older engine: no
    // commit of other contents may bring it again.
    m_spentCounter = named > m_counter ? named : 0;
    if (!pending.empty()) {
        for (const Change& c : pending) {
            Cover(c.slot);
            std::memcpy(SlotBytes(c.slot), c.image.data(), kSlotSize);
        }
        m_pending = std::move(pending);
        m_hadPending = true;
        // A journal of an engine without counters brings none: it moves by one.
        m_pendingCounter = brought ? brought : m_counter + 1;
        m_counter = m_pendingCounter;
        if (brought) m_storedCounter = brought;  // what ReadCounter gives while the journal is there
        m_spentCounter = 0;
    }

    // The id map is cleared through the ids it holds: cheaper than 64 Ki entries anew.
    if (m_slotOfId.size() == 65536)
        for (const SlotInfo& info : m_slots)
            if (info.state == kEntry || info.state == kGroup) m_slotOfId[info.id] = -1;
    if (m_slotOfId.size() != 65536) m_slotOfId.assign(65536, -1);
    m_slots.assign(static_cast<size_t>(m_capacity), SlotInfo{});
    // Slots the image has no bytes for are free; the loops over slots stop before them.
    m_usedEnd = static_cast<int>(std::min<size_t>((m_data.size() - kSuperblockSize) / kSlotSize, m_capacity));
    for (int s = 0; s < m_usedEnd; ++s) Parse(s);
    // An id held twice (only a damaged file does that): the later copy does not count.
    m_live = m_damaged = 0;
    m_groups.clear();
    m_highestId = 0;
    m_freeHint = m_usedEnd;
    for (int s = 0; s < m_usedEnd; ++s) {
        SlotInfo& info = m_slots[s];
        if (info.state == kEntry || info.state == kGroup) {
            if (m_slotOfId[info.id] >= 0) info = SlotInfo{kDamaged};
            else m_slotOfId[info.id] = static_cast<int16_t>(s);
        }
        if (info.state == kEntry || info.state == kGroup) {
            ++m_live;
            m_highestId = std::max<unsigned>(m_highestId, info.id);
        }
        if (info.state == kGroup) m_groups.push_back(s);
        if (info.state == kDamaged) ++m_damaged;
        if (info.state == kFree && m_freeHint == m_usedEnd) m_freeHint = s;
    }
    while (m_usedEnd > 0 && m_slots[m_usedEnd - 1].state == kFree) --m_usedEnd;
    m_byName.clear();
    m_indexed = false;
    m_loaded = true;
    return code::kOk;
}

void Book::Cover(int slot) {
    // All at once: a batch that writes one slot past the end usually writes many.
    if (!Covered(slot)) m_data.resize(kSuperblockSize + static_cast<size_t>(m_capacity) * kSlotSize, 0);
}

void Book::Parse(int slot) {
    SlotInfo info;
    const uint8_t* p = SlotBytes(slot);
    uint16_t len = Get16(p + 4);
    uint64_t head = 0, sum = 0;
    std::memcpy(&head, p, sizeof head);
    std::memcpy(&sum, p + kChecksumAt, sizeof sum);
    if ((head | sum) == 0) {
        m_slots[slot] = info;
        return;
    }
    info.state = kDamaged;
    uint16_t id = Get16(p);
    uint8_t kind = p[2];
    if (len > kMaxPayload || p[3] != 0 || Get16(p + 6) != 0 || ReservedId(id) || (kind != kEntry && kind != kGroup) ||
        Get64(p + kChecksumAt) != Checksum(p, kSlotHeader + len, static_cast<uint64_t>(slot) + 1)) {
        m_slots[slot] = info;
        return;
    }
    const size_t unit = Wide() ? 2 : 1;
    size_t at = kSlotHeader, end = kSlotHeader + len;
    int fields = kind == kEntry ? kFieldCount : 1;
    for (int f = 0; f < fields; ++f) {
        if (at >= end) {
            m_slots[slot] = info;
            return;
        }
        uint8_t n = p[at++];
        if (n > kMaxLength[f] || at + n * unit > end) {
            m_slots[slot] = info;
            return;
        }
        info.offset[f] = static_cast<uint16_t>(at);
        info.length[f] = n;
        at += n * unit;
    }
    const uint8_t* first = p + info.offset[kName];
    if (info.length[kName] == 0 || (first[0] == 0 && (unit == 1 || first[1] == 0))) {
        m_slots[slot] = info;
        return;
    }
    if (kind == kGroup) {
        if (at + 2 > end || Get16(p + at) != BitmapBytes() || at + 2 + BitmapBytes() != end) {
            m_slots[slot] = info;
            return;
        }
        info.bitmap = static_cast<uint16_t>(at + 2);
    } else if (at != end) {
        m_slots[slot] = info;
        return;
    }
    info.state = kind;
    info.id = id;
    m_slots[slot] = info;
}

int Book::Recover(FileIo& io) {
    if (!m_loaded) return code::kFailed;
    if (m_pending.empty()) return code::kOk;
    std::vector<int> slots;
    for (const Change& c : m_pending) slots.push_back(c.slot);
    // The image already holds the journal's slots, so they go in place from there.
    int rc = WriteInPlace(io, slots, m_pendingCounter);
    if (rc == code::kOk) m_pending.clear();
    return rc;
}

int Book::WriteInPlace(FileIo& io, const std::vector<int>& slots, uint64_t counter) {
    // Neighbouring slots in one write each: a batch that filled a book is one write.
    for (size_t i = 0; i < slots.size();) {
        size_t k = i + 1;
        while (k < slots.size() && slots[k] == slots[k - 1] + 1) ++k;
        if (!io.Write(kSuperblockSize + static_cast<uint64_t>(slots[i]) * kSlotSize, SlotBytes(slots[i]),
                      (k - i) * kSlotSize))
            return code::kIoError;
        i = k;
    }
    Put64(m_data.data() + kCounterAt, counter);
    // A superblock made anew from the journal goes back whole; otherwise only the counter.
    const bool written = m_repairSuperblock ? io.Write(0, m_data.data(), kSuperblockSize)
                                            : io.Write(kCounterAt, m_data.data() + kCounterAt, 8);
    if (!written || !io.Flush()) return code::kIoError;
    m_repairSuperblock = false;
    m_storedCounter = counter;
    // Left unflushed: should the clearing be lost, the journal is replayed once more onto
    // the very images it holds.
    uint8_t zero[kJournalHeader] = {};
    return io.Write(JournalOffset(), zero, sizeof zero) ? code::kOk : code::kIoError;
}

int Book::WriteSlots(FileIo& io, std::vector<int> slots) {
    std::sort(slots.begin(), slots.end());
    slots.erase(std::unique(slots.begin(), slots.end()), slots.end());
    if (slots.empty()) return code::kOk;
    const uint64_t last = std::max(m_counter, m_spentCounter);
    const uint64_t counter = last + 1 ? last + 1 : 1;
    std::vector<uint8_t> journal(kJournalHeader + slots.size() * kJournalRecord, 0);
    Put32(journal.data(), kJournalMagic);
    Put32(journal.data() + 4, static_cast<uint32_t>(slots.size()));
    Put64(journal.data() + 8, counter);
    journal[24] = static_cast<uint8_t>(m_kind);
    for (size_t i = 0; i < slots.size(); ++i) {
        uint8_t* r = journal.data() + kJournalHeader + i * kJournalRecord;
        Put32(r, static_cast<uint32_t>(slots[i]));
        std::memcpy(r + 8, SlotBytes(slots[i]), kSlotSize);
    }
    Put64(journal.data() + 16, Checksum(journal.data() + kJournalHeader, journal.size() - kJournalHeader,
                                        Checksum(journal.data(), 16, 1)));
    // Until the journal is on disk this image is ahead of the file.
    m_loaded = false;
    if (!io.Write(JournalOffset(), journal.data(), journal.size()) || !io.Flush()) {
        // Not committed, so not to be replayed: a journal left behind would bring the change
        // reported as failed into the book at the next load. A reader may have read it whole
        // before the failure, so its header stays, without records, to spend its counter.
        m_spentCounter = counter;
        uint8_t spent[kJournalHeader] = {};
        Put32(spent, kJournalMagic);
        Put64(spent + 8, counter);
        spent[24] = static_cast<uint8_t>(m_kind);
        if (io.Write(JournalOffset(), spent, sizeof spent)) io.Flush();
        return code::kIoError;
    }
    // Committed: from here on every open sees the change, replaying the journal if need be.
    m_counter = counter;
    m_spentCounter = 0;
    if (WriteInPlace(io, slots, counter) != code::kOk) return code::kOk;  // image stays unloaded: a reload finishes it
    m_loaded = true;
    return code::kOk;
}

int Book::Commit(FileIo& io, const std::vector<Change>& changes) {
    if (changes.empty()) return code::kOk;
    if (m_batch) {
        for (const Change& c : changes) Apply(c.slot, c.image.data());
        return code::kOk;
    }
    // A dead writer's change goes in place first, or the new journal would overwrite it.
    int rc = Recover(io);
    if (rc != code::kOk) return rc;
    std::vector<int> slots;
    for (const Change& c : changes) {
        Apply(c.slot, c.image.data());
        slots.push_back(c.slot);
    }
    return WriteSlots(io, std::move(slots));
}

int Book::EndBatch(FileIo& io) {
    if (!m_batch) return code::kOk;
    m_batch = false;
    std::vector<int> slots;
    for (int s = 0; s < static_cast<int>(m_dirty.size()); ++s)
        if (m_dirty[s]) slots.push_back(s);
    m_dirty.clear();
    if (!m_loaded) return code::kFailed;
    // A dead writer's change is finished by the load that precedes a batch; one still
    // here would be overwritten half-applied.
    if (!m_pending.empty()) {
        m_loaded = false;
        return code::kFailed;
    }
    return WriteSlots(io, std::move(slots));
}

void Book::Apply(int slot, const uint8_t* image) {
    SlotInfo& old = m_slots[slot];
    const bool wasLive = old.state == kEntry || old.state == kGroup;
    if (wasLive) {
        Index(slot, false);
        if (m_slotOfId[old.id] == slot) m_slotOfId[old.id] = -1;
        --m_live;
        if (old.state == kGroup) m_groups.erase(std::find(m_groups.begin(), m_groups.end(), slot));
    } else if (old.state == kDamaged) {
        --m_damaged;
    }
    Cover(slot);
    std::memcpy(SlotBytes(slot), image, kSlotSize);
    const uint16_t oldId = old.id;
    Parse(slot);
    const SlotInfo& now = m_slots[slot];
    if (now.state == kEntry || now.state == kGroup) {
        m_slotOfId[now.id] = static_cast<int16_t>(slot);
        m_highestId = std::max<unsigned>(m_highestId, now.id);
        Index(slot, true);
        ++m_live;
        if (now.state == kGroup) m_groups.insert(std::lower_bound(m_groups.begin(), m_groups.end(), slot), slot);
    } else if (now.state == kDamaged) {
        ++m_damaged;
    }
    if (wasLive && oldId == m_highestId && m_slotOfId[oldId] < 0)
        while (m_highestId > 0 && m_slotOfId[m_highestId] < 0) --m_highestId;
    if (now.state != kFree) m_usedEnd = std::max(m_usedEnd, slot + 1);
    if (now.state == kFree && slot < m_freeHint) m_freeHint = slot;
    while (m_freeHint < m_capacity && m_slots[m_freeHint].state != kFree) ++m_freeHint;
    if (m_batch) {
        if (m_dirty.empty()) m_dirty.assign(static_cast<size_t>(m_capacity), 0);
        m_dirty[slot] = 1;
    }
}

uint64_t Book::ClashKey(uint8_t kind, const char32_t* name, size_t nameLength, const char16_t* fax,
                        size_t faxLength) const {
    uint64_t h = Checksum(reinterpret_cast<const uint8_t*>(name), nameLength * sizeof(char32_t), kind);
    if (kind == kEntry) h = Checksum(reinterpret_cast<const uint8_t*>(fax), faxLength * sizeof(char16_t), h);
    return h;
}

uint64_t Book::ClashKeyOf(int slot) const {
    char16_t units[64], fax[64];
    char32_t folded[128];
    size_t n = FoldInto(units, CopyText(slot, kName, units, 64), !Wide(), folded, 128);
    size_t f = m_slots[slot].state == kEntry ? CopyText(slot, kFax, fax, 64) : 0;
    return ClashKey(m_slots[slot].state, folded, n, fax, f);
}

void Book::Index(int slot, bool add) const {
    if (!m_indexed) return;
    const uint64_t key = ClashKeyOf(slot);
    if (add) {
        m_byName.emplace(key, slot);
        return;
    }
    auto [from, to] = m_byName.equal_range(key);
    for (auto it = from; it != to; ++it)
        if (it->second == slot) {
            m_byName.erase(it);
            return;
        }
}

Units Book::Text(int slot, int field) const {
    char16_t buf[64];
    return Units(buf, CopyText(slot, field, buf, 64));
}

void Book::FoldField(int slot, int field, std::u32string& out) const {
    char16_t buf[64];
    FoldInto(buf, CopyText(slot, field, buf, 64), !Wide(), out);
}

bool Book::Matches(int slot, const std::vector<std::u32string>& terms) const {
    if (terms.empty()) return true;
    static constexpr int kSearched[] = {kName, kOrganization, kFax, kPhone, kEmail};
    char16_t units[64];
    char32_t folded[5][128];
    size_t length[5];
    bool have[5] = {};
    for (const std::u32string& term : terms) {
        bool found = false;
        for (int i = 0; i < 5 && !found; ++i) {
            if (!have[i]) {
                size_t n = CopyText(slot, kSearched[i], units, 64);
                length[i] = FoldInto(units, n, !Wide(), folded[i], 128);
                have[i] = true;
            }
            found = HasWordWithPrefix(folded[i], length[i], term);
        }
        if (!found) return false;
    }
    return true;
}

bool Book::FindNext(const std::vector<std::u32string>& terms, uint16_t& cursor, bool& done, int& slot) const {
    done = true;
    if (!m_loaded) return false;
    const uint32_t capacity = static_cast<uint32_t>(m_capacity), end = 2u * capacity;
    uint32_t p = cursor == 0xFFFF ? 0 : cursor;
    // Every entry first, then every group: a group's members are known before it.
    for (; p < static_cast<uint32_t>(m_usedEnd); ++p) {
        const int s = static_cast<int>(p);
        if (m_slots[s].state != kEntry || !Matches(s, terms)) continue;
        slot = s;
        cursor = static_cast<uint16_t>(p + 1);
        done = p + 1 == end;
        return true;
    }
    if (p < capacity) p = capacity;
    for (auto g = std::lower_bound(m_groups.begin(), m_groups.end(), static_cast<int>(p - capacity));
         g != m_groups.end(); ++g) {
        if (!Matches(*g, terms)) continue;
        p = capacity + static_cast<uint32_t>(*g);
        slot = *g;
        cursor = static_cast<uint16_t>(p + 1);
        done = p + 1 == end;
        return true;
    }
    cursor = static_cast<uint16_t>(end);
    return false;
}

int Book::SlotOfId(uint16_t id) const {
    if (!m_loaded || ReservedId(id)) return -1;
    return m_slotOfId[id];
}

bool Book::NameMatches(int slot, const Units& name) const {
    std::u32string stored, given = Folded(name, !Wide());
    FoldField(slot, kName, stored);
    if (stored == given) return true;
    // Lists show a group as "[name]" and hand that form back.
    return m_slots[slot].state == kGroup && given.size() == stored.size() + 2 && given.front() == U'[' &&
           given.back() == U']' && given.compare(1, stored.size(), stored) == 0;
}

int Book::Find(const Units& name, const Units& fax, uint16_t id, int& slot) const {
    slot = -1;
    if (!m_loaded) return code::kFailed;
    if (id != 0xFFFF) {
        int s = SlotOfId(id);
        if (s < 0) return code::kNotFound;
        if (!name.empty() && !NameMatches(s, name)) return code::kNotFound;
        if (!fax.empty() && !FaxIs(s, fax)) return code::kNotFound;
        slot = s;
        return code::kOk;
    }
    if (name.empty()) return code::kNotFound;
    // Through the name index; of several matches (only a foreign writer makes them) the
    // first slot, as a scan would find it.
    auto lowest = [&](uint8_t kind, const std::u32string& folded, const Units& withFax) {
        int best = -1;
        auto [from, to] = Indexed().equal_range(ClashKey(kind, folded.data(), folded.size(), withFax.data(), withFax.size()));
        for (auto it = from; it != to; ++it)
            if (m_slots[it->second].state == kind && (kind == kGroup || FaxIs(it->second, withFax)) &&
                NameMatches(it->second, name) && (best < 0 || it->second < best))
                best = it->second;
        return best;
    };
    const std::u32string folded = Folded(name, !Wide());
    if (fax.empty()) {
        slot = lowest(kGroup, folded, fax);
        // Lists show a group as "[name]" and hand that form back.
        if (slot < 0 && folded.size() > 2 && folded.front() == U'[' && folded.back() == U']')
            slot = lowest(kGroup, folded.substr(1, folded.size() - 2), fax);
        if (slot >= 0) return code::kOk;
    }
    slot = lowest(kEntry, folded, fax);
    return slot >= 0 ? code::kOk : code::kNotFound;
}

bool Book::IsMember(int group, int entrySlot) const {
    const uint8_t* bm = SlotBytes(group) + m_slots[group].bitmap;
    return (bm[entrySlot / 8] >> (entrySlot % 8)) & 1;
}

size_t Book::CopyText(int slot, int field, char16_t* out, size_t max) const {
    const SlotInfo& info = m_slots[slot];
    if (info.state != kEntry && !(info.state == kGroup && field == kName)) return 0;
    const uint8_t* p = SlotBytes(slot) + info.offset[field];
    size_t n = std::min<size_t>(info.length[field], max);
    // Only a foreign writer stores a NUL; the text ends there, as a caller would read it.
    if (Wide()) {
        for (size_t i = 0; i < n; ++i)
            if (!(out[i] = static_cast<char16_t>(Get16(p + 2 * i)))) return i;
    } else {
        for (size_t i = 0; i < n; ++i)
            if (!(out[i] = p[i])) return i;
    }
    return n;
}

void Book::MembersOf(int slot, std::vector<uint16_t>& out) const {
    out.clear();
    if (slot < 0 || slot >= m_capacity || m_slots[slot].state != kGroup) return;
    // A byte at a time: most of a bitmap is empty.
    const uint8_t* bm = SlotBytes(slot) + m_slots[slot].bitmap;
    for (size_t byte = 0; byte < BitmapBytes(); ++byte) {
        if (!bm[byte]) continue;
        for (int bit = 0; bit < 8; ++bit) {
            const int s = static_cast<int>(byte * 8) + bit;
            if ((bm[byte] >> bit & 1) && s < m_capacity && m_slots[s].state == kEntry) out.push_back(m_slots[s].id);
        }
    }
}

Record Book::Read(int slot) const {
    Record r;
    if (slot < 0 || slot >= m_capacity) return r;
    const SlotInfo& info = m_slots[slot];
    r.id = info.id;
    r.kind = info.state == kGroup ? kGroup : kEntry;
    for (int f = 0; f < kFieldCount; ++f) r.fields[f] = Text(slot, f);
    MembersOf(slot, r.members);
    return r;
}

std::vector<Record> Book::All() const {
    std::vector<Record> out;
    uint16_t cursor = 0xFFFF;
    bool done = false;
    int slot = 0;
    while (!done)
        if (FindNext({}, cursor, done, slot)) out.push_back(Read(slot));
    return out;
}

bool Book::FaxIs(int slot, const Units& fax) const {
    char16_t buf[64];
    size_t n = CopyText(slot, kFax, buf, 64);
    return n == fax.size() && std::equal(fax.begin(), fax.end(), buf);
}

const std::unordered_multimap<uint64_t, int>& Book::Indexed() const {
    if (!m_indexed) {
        m_indexed = true;
        m_byName.reserve(static_cast<size_t>(m_live) * 2);
        for (int s = 0; s < m_usedEnd; ++s)
            if (m_slots[s].state == kEntry || m_slots[s].state == kGroup) Index(s, true);
    }
    return m_byName;
}

int Book::FindClash(const Record& record, int except) const {
    Indexed();
    std::u32string name = Folded(record.fields[kName], !Wide());
    const Units& fax = record.fields[kFax];
    auto [from, to] = m_byName.equal_range(ClashKey(record.kind, name.data(), name.size(), fax.data(), fax.size()));
    char16_t units[64];
    char32_t other[128];
    for (auto it = from; it != to; ++it) {
        const int s = it->second;
        if (s == except || m_slots[s].state != record.kind) continue;
        if (record.kind == kEntry && !FaxIs(s, fax)) continue;
        size_t n = FoldInto(units, CopyText(s, kName, units, 64), !Wide(), other, 128);
        if (n == name.size() && std::equal(name.begin(), name.end(), other)) return s;
    }
    return -1;
}

uint16_t Book::NextId() const {
    // Past the highest id in use, so ids of removed records come back only when the
    // range is used up.
    for (unsigned id = m_highestId + 1; id < 0xFFFF; ++id)
        if (!ReservedId(static_cast<uint16_t>(id)) && m_slotOfId[id] < 0) return static_cast<uint16_t>(id);
    for (unsigned id = 1; id < 0xFFFF; ++id)
        if (!ReservedId(static_cast<uint16_t>(id)) && m_slotOfId[id] < 0) return static_cast<uint16_t>(id);
    return 0;
}

int Book::FirstFreeSlot() const {
    // Every slot below the hint is taken.
    for (int s = m_freeHint; s < m_capacity; ++s)
        if (m_slots[s].state == kFree) return s;
    // Damaged slots are reused only when no clean one is left.
    for (int s = 0; s < m_usedEnd; ++s)
        if (m_slots[s].state == kDamaged) return s;
    return -1;
}

Book::Image Book::Encode(int slot, const Record& record, const uint8_t* bitmap) const {
    Image img{};
    const size_t unit = Wide() ? 2 : 1;
    size_t at = kSlotHeader;
    int fields = record.kind == kEntry ? kFieldCount : 1;
    for (int f = 0; f < fields; ++f) {
        const Units& t = record.fields[f];
        img[at++] = static_cast<uint8_t>(t.size());
        for (char16_t c : t) {
            if (unit == 2) Put16(&img[at], c);
            else img[at] = static_cast<uint8_t>(c);
            at += unit;
        }
    }
    if (record.kind == kGroup) {
        Put16(&img[at], static_cast<uint16_t>(BitmapBytes()));
        at += 2;
        if (bitmap) std::memcpy(&img[at], bitmap, BitmapBytes());
        at += BitmapBytes();
    }
    Put16(&img[0], record.id);
    img[2] = record.kind;
    Put16(&img[4], static_cast<uint16_t>(at - kSlotHeader));
    Put64(&img[kChecksumAt], Checksum(img.data(), at, static_cast<uint64_t>(slot) + 1));
    return img;
}

Book::Image Book::WithMember(int group, int entrySlot, bool member) const {
    Image img;
    std::memcpy(img.data(), SlotBytes(group), kSlotSize);
    uint8_t& byte = img[m_slots[group].bitmap + static_cast<size_t>(entrySlot) / 8];
    uint8_t bit = static_cast<uint8_t>(1u << (entrySlot % 8));
    byte = member ? (byte | bit) : (byte & ~bit);
    Put64(&img[kChecksumAt], Checksum(img.data(), kSlotHeader + Get16(&img[4]), static_cast<uint64_t>(group) + 1));
    return img;
}

int Book::Add(FileIo& io, Record record, uint16_t* newId) {
    if (!m_loaded) return code::kFailed;
    if (record.kind != kEntry && record.kind != kGroup) return code::kBadArgument;
    Normalize(record, Wide());
    if (record.kind == kGroup)
        for (int f = 1; f < kFieldCount; ++f) record.fields[f].clear();
    // Full before name in use: callers retry other names while they hear 18.
    int slot = FirstFreeSlot();
    if (m_live >= m_capacity || slot < 0) return code::kFull;
    if (record.fields[kName].empty()) return code::kBadArgument;
    if (FindClash(record, -1) >= 0) return code::kNameInUse;
    record.id = NextId();
    if (!record.id) return code::kFull;

    std::vector<Change> changes;
    std::vector<uint8_t> bitmap(BitmapBytes(), 0);
    if (record.kind == kGroup)
        for (uint16_t member : record.members) {
            int s = SlotOfId(member);
            if (s >= 0 && m_slots[s].state == kEntry) bitmap[s / 8] |= static_cast<uint8_t>(1u << (s % 8));
        }
    changes.push_back({slot, Encode(slot, record, bitmap.data())});
    // A reused slot may still be named in a group (damage): the newcomer joins none.
    if (record.kind == kEntry)
        for (int g : m_groups)
            if (IsMember(g, slot)) changes.push_back({g, WithMember(g, slot, false)});
    int rc = Commit(io, changes);
    if (rc == code::kOk && newId) *newId = record.id;
    return rc;
}

int Book::Modify(FileIo& io, uint16_t id, Record record) {
    if (!m_loaded) return code::kFailed;
    int slot = SlotOfId(id);
    if (slot < 0) return code::kNotFound;
    if (record.kind != m_slots[slot].state) return code::kBadArgument;
    Normalize(record, Wide());
    if (record.kind == kGroup)
        for (int f = 1; f < kFieldCount; ++f) record.fields[f].clear();
    if (record.fields[kName].empty()) return code::kBadArgument;
    if (FindClash(record, slot) >= 0) return code::kNameInUse;
    record.id = id;
    // Membership changes only through the group calls; a rename keeps the members.
    const uint8_t* bitmap = record.kind == kGroup ? SlotBytes(slot) + m_slots[slot].bitmap : nullptr;
    Image img = Encode(slot, record, bitmap);
    if (std::memcmp(img.data(), SlotBytes(slot), kSlotSize) == 0) return code::kOk;
    return Commit(io, {{slot, img}});
}

int Book::Remove(FileIo& io, uint16_t id) {
    if (!m_loaded) return code::kFailed;
    int slot = SlotOfId(id);
    if (slot < 0) return code::kNotFound;
    std::vector<Change> changes{{slot, Image{}}};
    // The entry leaves every group in the same change.
    if (m_slots[slot].state == kEntry)
        for (int g : m_groups)
            if (IsMember(g, slot)) changes.push_back({g, WithMember(g, slot, false)});
    return Commit(io, changes);
}

int Book::AddToGroup(FileIo& io, uint16_t group, uint16_t entry) {
    if (!m_loaded) return code::kFailed;
    int g = SlotOfId(group), e = SlotOfId(entry);
    if (g < 0 || e < 0) return code::kNotFound;
    if (m_slots[g].state != kGroup || m_slots[e].state != kEntry) return code::kBadArgument;
    if (IsMember(g, e)) return code::kOk;
    return Commit(io, {{g, WithMember(g, e, true)}});
}

int Book::RemoveFromGroup(FileIo& io, uint16_t group, uint16_t entry) {
    if (!m_loaded) return code::kFailed;
    int g = SlotOfId(group), e = SlotOfId(entry);
    if (g < 0 || e < 0) return code::kNotFound;
    if (m_slots[g].state != kGroup || m_slots[e].state != kEntry) return code::kBadArgument;
    if (!IsMember(g, e)) return code::kOk;
    return Commit(io, {{g, WithMember(g, e, false)}});
}

}  // namespace pbcore
