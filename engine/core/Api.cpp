#include "Api.h"

#include <cstring>
#include <mutex>
#include <vector>

#include "Book.h"

namespace pbcore::api {

namespace {

// The engine's bookkeeping inside the caller's header block.
struct State {
    uint32_t tag;
    uint8_t kind;
    uint8_t writable;
    uint8_t setMatches;  // the file's texts are in this set's width
    uint8_t reserved;
};
constexpr uint32_t kStateTag = 0x53454250;  // "PBES"
static_assert(sizeof(State) <= sizeof(PbHeaderA::engine));

struct WideSet {
    using Header = PbHeaderW;
    using Rec = PBEW;
    using Char = WChar;
    using Slot = PbTermSlotW;
    static constexpr uint16_t kMagic = kMagicWide;
    static constexpr bool kWide = true;
    static intptr_t GetHandle(const Header* h) { return reinterpret_cast<intptr_t>(h->file); }
    static void SetHandle(Header* h, intptr_t v) { h->file = reinterpret_cast<void*>(v); }
};
struct AnsiSet {
    using Header = PbHeaderA;
    using Rec = PBEA;
    using Char = char;
    using Slot = PbTermSlotA;
    static constexpr uint16_t kMagic = kMagicAnsi;
    static constexpr bool kWide = false;
    // An HFILE is the handle's value in 32 bits, as Windows guarantees handles fit.
    static intptr_t GetHandle(const Header* h) { return static_cast<intptr_t>(h->file); }
    static void SetHandle(Header* h, intptr_t v) { h->file = static_cast<int32_t>(v); }
};

template <class Set>
State* StateOf(typename Set::Header* h) {
    return reinterpret_cast<State*>(h->engine);
}

int Report(int rc, int* code) {
    if (code) *code = rc;
    return rc;
}

template <class Char>
Units ReadText(const Char* text, size_t maxUnits) {
    Units out;
    if (!text) return out;
    for (size_t i = 0; i < maxUnits && text[i]; ++i) {
        if constexpr (sizeof(Char) == 1) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(text[i])));
        else out.push_back(static_cast<char16_t>(text[i]));
    }
    return out;
}

// Copies a text into a caller field of width units: cut, terminated, rest cleared.
template <class Char>
void WriteText(const Units& text, Char* out, size_t width) {
    if (!out) return;
    size_t n = std::min(text.size(), width - 1);
    for (size_t i = 0; i < n; ++i) out[i] = static_cast<Char>(text[i]);
    for (size_t i = n; i < width; ++i) out[i] = 0;
}

constexpr int kExtensionField[kExtensionCount] = {kOrganization, -1, kMailbox, kPhone, kEmail};

// How much of a caller's extension text we write: a mailbox may sit in 4 units.
size_t ExtensionWidth(int slot) {
    if (kExtensionField[slot] < 0) return 1;
    return static_cast<size_t>(kExtensionField[slot] == kMailbox ? kMailboxMaxLength + 1 : kExtensionWidth);
}

template <class Set>
int FromPbe(const typename Set::Rec* r, int capacity, Record& out) {
    if (!r) return code::kBadArgument;
    if (r->kind != kKindEntry && r->kind != kKindGroup) return code::kBadArgument;
    out.kind = r->kind;
    out.id = r->id;
    out.fields[kName] = ReadText(r->name, kNameWidth - 1);
    out.fields[kFax] = ReadText(r->fax, kFaxWidth - 1);
    if (r->extensions)
        for (int i = 0; i < kExtensionCount; ++i)
            if (kExtensionField[i] >= 0)
                out.fields[kExtensionField[i]] =
                    ReadText(r->extensions[i], static_cast<size_t>(MaxLength(kExtensionField[i])));
    if (r->kind == kKindGroup && r->members)
        for (int i = 0; i < std::min<int>(r->memberCount, capacity); ++i) out.members.push_back(r->members[i]);
    return code::kOk;
}

// Fills a caller's record from a slot: texts cut and terminated, rest of each field cleared.
template <class Set>
void FillPbe(const Book& book, int slot, typename Set::Rec* r) {
    using Char = typename Set::Char;
    char16_t buf[kExtensionWidth];
    auto copy = [&](int field, Char* out, size_t width) {
        if (!out) return;
        size_t n = book.CopyText(slot, field, buf, width - 1);
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<Char>(buf[i]);
        for (size_t i = n; i < width; ++i) out[i] = 0;
    };
    r->id = book.IdAt(slot);
    r->kind = book.IsGroupAt(slot) ? kKindGroup : kKindEntry;
    copy(kName, r->name, kNameWidth);
    copy(kFax, r->fax, kFaxWidth);
    if (r->extensions)
        for (int i = 0; i < kExtensionCount; ++i)
            if (r->extensions[i]) {
                if (kExtensionField[i] < 0) r->extensions[i][0] = 0;
                else copy(kExtensionField[i], r->extensions[i], ExtensionWidth(i));
            }
    r->memberCount = 0;
    if (book.IsGroupAt(slot) && r->members) {
        std::vector<uint16_t> members;
        book.MembersOf(slot, members);
        uint16_t n = 0;
        for (uint16_t id : members) {
            if (n >= book.Capacity()) break;
            r->members[n++] = id;
        }
        r->memberCount = n;
    }
}

template <class Set>
std::vector<Units> ReadTerms(const typename Set::Slot* slots) {
    std::vector<Units> terms;
    // The list ends with a null term; the bound only guards a list without one.
    for (size_t i = 0; slots && i < 4096; ++i) {
        if (!slots[i].block || !slots[i].block->text) break;
        terms.push_back(ReadText(slots[i].block->text, kTermWidth - 1));
    }
    return terms;
}

Platform::Path PathOf(const WChar* p) { return {p, nullptr}; }
Platform::Path PathOf(const char* p) { return {nullptr, p}; }

template <class Char>
bool KindOfPath(const Char* path, Kind* kind) {
    Units u = ReadText(path, 32768);
    return KindFromExtension(u, kind);
}

// One call's hold on the file: attached, locked, loaded.
class Session {
public:
    Session(Platform& pf, intptr_t handle, bool exclusive) : m_pf(pf), m_handle(handle) {
        m_io = pf.Attach(handle);
        if (m_io) m_locked = pf.Lock(handle, exclusive);
    }
    ~Session() {
        if (m_locked) m_pf.Unlock(m_handle);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    int Load(Book& book, bool recover) {
        if (!m_io) return code::kFailed;
        if (!m_locked) return code::kBusy;
        int rc = book.Load(*m_io);
        if (rc == code::kOk && recover) rc = book.Recover(*m_io);
        return rc;
    }
    bool Attached() const { return m_io != nullptr; }
    FileIo& Io() { return *m_io; }

private:
    Platform& m_pf;
    intptr_t m_handle;
    std::unique_ptr<FileIo> m_io;
    bool m_locked = false;
};

// Enumeration runs one call per record; re-reading the file for each would make a
// full listing cost thousands of reads. A snapshot taken at the first call serves the
// rest of that enumeration; any change made through this engine drops them all.
struct Snapshot {
    const void* header = nullptr;
    intptr_t handle = 0;
    uint16_t nextCursor = 0;
    std::vector<std::u32string> terms;
    std::shared_ptr<Book> book;
};
std::mutex g_snapshotLock;
std::vector<Snapshot> g_snapshots;
constexpr size_t kMaxSnapshots = 4;

void ForgetHeader(const void* header) {
    std::lock_guard<std::mutex> guard(g_snapshotLock);
    std::erase_if(g_snapshots, [&](const Snapshot& s) { return s.header == header; });
}

template <class Set>
int CheckHeader(Platform& pf, typename Set::Header* h, bool change) {
    if (!h || h->magic != Set::kMagic) return code::kFailed;
    State* st = StateOf<Set>(h);
    if (st->tag != kStateTag || Set::GetHandle(h) == pf.InvalidHandle()) return code::kFailed;
    if (!st->setMatches) return code::kWrongSet;
    if (change && !st->writable) return code::kReadOnly;
    return code::kOk;
}

template <class Set>
void ClearHeader(Platform& pf, typename Set::Header* h) {
    h->magic = 0;
    h->versionMajor = h->versionMinor = 0;
    h->word4 = h->word6 = 0;
    h->extensionCount = 0;
    std::memset(h->engine, 0, sizeof h->engine);
    Set::SetHandle(h, pf.InvalidHandle());
    h->wideFormat = 0;
}

template <class Set, class Char>
int OpenOrCreate(Platform& pf, typename Set::Header* h, const Char* path, bool writable, bool replace,
                 Kind replaceKind, int* code) {
    if (!h) return Report(code::kBadArgument, code);
    ForgetHeader(h);
    ClearHeader<Set>(pf, h);
    if (!path || !path[0]) return Report(code::kBadArgument, code);
    bool created = false;
    intptr_t handle = pf.InvalidHandle();
    int rc = pf.Open(PathOf(path), writable, writable, replace, &created, &handle);
    if (rc != code::kOk) return Report(rc, code);
    Book book;
    {
        Session s(pf, handle, writable);
        if (!s.Attached()) rc = code::kFailed;
        if (rc == code::kOk && writable) {
            if (!created && !replace && Book::IsUnfinishedCreation(s.Io())) created = true;
            if (created || replace) {
                Kind kind = replaceKind;
                if (!replace && !KindOfPath(path, &kind)) kind = Kind::Current;
                rc = Book::Create(s.Io(), kind);
            }
        }
        if (rc == code::kOk) rc = s.Load(book, writable);
    }
    if (rc != code::kOk) {
        pf.Close(handle);
        return Report(rc, code);
    }
    KindTraits tr = TraitsOf(book.GetKind());
    h->magic = Set::kMagic;
    h->versionMajor = tr.versionMajor;
    h->versionMinor = tr.versionMinor;
    h->extensionCount = kExtensionCount;
    Set::SetHandle(h, handle);
    h->wideFormat = tr.wide ? 1 : 0;
    State* st = StateOf<Set>(h);
    st->tag = kStateTag;
    st->kind = static_cast<uint8_t>(book.GetKind());
    st->writable = writable ? 1 : 0;
    st->setMatches = tr.wide == Set::kWide ? 1 : 0;
    return Report(code::kOk, code);
}

// Runs one changing call: exclusive lock, load (finishing a dead writer's change), act.
template <class Set, class Fn>
int Change(Platform& pf, typename Set::Header* h, int* code, Fn&& fn) {
    int rc = CheckHeader<Set>(pf, h, true);
    if (rc != code::kOk) return Report(rc, code);
    {
        std::lock_guard<std::mutex> guard(g_snapshotLock);
        g_snapshots.clear();
    }
    Session s(pf, Set::GetHandle(h), true);
    Book book;
    rc = s.Load(book, true);
    if (rc == code::kOk) rc = fn(book, s.Io());
    return Report(rc, code);
}

template <class Set>
intptr_t Find2(Platform& pf, typename Set::Header* h, typename Set::Rec* r, const typename Set::Slot* terms,
               uint16_t* cursor, int* done, int* code) {
    if (done) *done = 1;
    int rc = CheckHeader<Set>(pf, h, false);
    if (rc != code::kOk || !r || !cursor || !done) {
        Report(rc ? rc : code::kBadArgument, code);
        return 0;
    }
    std::vector<std::u32string> prepared = PrepareTerms(ReadTerms<Set>(terms), !Set::kWide);
    intptr_t handle = Set::GetHandle(h);
    std::shared_ptr<Book> book;
    {
        std::lock_guard<std::mutex> guard(g_snapshotLock);
        for (const Snapshot& snap : g_snapshots)
            if (*cursor != kCursorStart && snap.header == h && snap.handle == handle && snap.nextCursor == *cursor &&
                snap.terms == prepared)
                book = snap.book;
    }
    if (!book) {
        book = std::make_shared<Book>();
        Session s(pf, handle, false);
        rc = s.Load(*book, false);
        if (rc != code::kOk) {
            Report(rc, code);
            return 0;
        }
    }
    bool finished = true;
    int slot = -1;
    bool delivered = book->FindNext(prepared, *cursor, finished, slot);
    if (delivered) FillPbe<Set>(*book, slot, r);
    *done = finished ? 1 : 0;
    {
        std::lock_guard<std::mutex> guard(g_snapshotLock);
        std::erase_if(g_snapshots, [&](const Snapshot& s) { return s.header == h; });
        if (!finished) {
            if (g_snapshots.size() >= kMaxSnapshots) g_snapshots.erase(g_snapshots.begin());
            g_snapshots.push_back({h, handle, *cursor, std::move(prepared), book});
        }
    }
    Report(delivered ? code::kOk : code::kNoMore, code);
    return delivered ? reinterpret_cast<intptr_t>(r) : 0;
}

template <class Set>
int Get(Platform& pf, typename Set::Header* h, typename Set::Rec* r, const typename Set::Char* name,
        const typename Set::Char* fax, uint16_t id, int* code) {
    int rc = CheckHeader<Set>(pf, h, false);
    if (rc != code::kOk) return Report(rc, code);
    if (!r) return Report(code::kBadArgument, code);
    Session s(pf, Set::GetHandle(h), false);
    Book book;
    rc = s.Load(book, false);
    int slot = -1;
    if (rc == code::kOk) rc = book.Find(ReadText(name, kNameWidth - 1), ReadText(fax, kFaxWidth - 1), id, slot);
    if (rc == code::kOk) FillPbe<Set>(book, slot, r);
    return Report(rc, code);
}

template <class Set>
int Add(Platform& pf, typename Set::Header* h, typename Set::Rec* r, int* code) {
    return Change<Set>(pf, h, code, [&](Book& book, FileIo& io) {
        Record rec;
        int rc = FromPbe<Set>(r, book.Capacity(), rec);
        uint16_t id = 0;
        if (rc == code::kOk) rc = book.Add(io, std::move(rec), &id);
        if (rc == code::kOk) r->id = id;
        return rc;
    });
}

template <class Set>
int Modify(Platform& pf, typename Set::Header* h, uint16_t id, typename Set::Rec* r, int* code) {
    return Change<Set>(pf, h, code, [&](Book& book, FileIo& io) {
        Record rec;
        int rc = FromPbe<Set>(r, book.Capacity(), rec);
        return rc == code::kOk ? book.Modify(io, id, std::move(rec)) : rc;
    });
}

template <class Set>
int FreePbe(typename Set::Header*, typename Set::Rec* r, int* code) {
    // Records are the caller's memory: "freeing" one returns it to the cleared state.
    if (!r) return Report(code::kBadArgument, code);
    r->id = 0;
    r->memberCount = 0;
    r->kind = kKindEntry;
    WriteText(Units(), r->name, kNameWidth);
    WriteText(Units(), r->fax, kFaxWidth);
    if (r->extensions)
        for (int i = 0; i < kExtensionCount; ++i)
            if (r->extensions[i]) r->extensions[i][0] = 0;
    return Report(code::kOk, code);
}

}  // namespace

void ForgetSnapshots() {
    std::lock_guard<std::mutex> guard(g_snapshotLock);
    g_snapshots.clear();
}

int CreateW(Platform& pf, PbHeaderW* h, const WChar* path, int* code) {
    return OpenOrCreate<WideSet>(pf, h, path, true, true, Kind::Current, code);
}
int OpenW(Platform& pf, PbHeaderW* h, const WChar* path, uint8_t mode, int* code) {
    if (mode > kModeReadOnly) return Report(code::kBadArgument, code);
    return OpenOrCreate<WideSet>(pf, h, path, mode == kModeReadWrite, false, Kind::Current, code);
}
int FreePbeW(PbHeaderW* h, PBEW* r, int* code) { return FreePbe<WideSet>(h, r, code); }
int FindW(Platform& pf, PbHeaderW* h, PBEW* r, uint16_t* cursor, int* done, int* code) {
    int rc = code::kFailed;
    Find2<WideSet>(pf, h, r, nullptr, cursor, done, &rc);
    return Report(rc, code);
}
intptr_t Find2W(Platform& pf, PbHeaderW* h, PBEW* r, const PbTermSlotW* terms, uint16_t* cursor, int* done) {
    return Find2<WideSet>(pf, h, r, terms, cursor, done, nullptr);
}
int AddW(Platform& pf, PbHeaderW* h, PBEW* r, int* code) { return Add<WideSet>(pf, h, r, code); }
int GetW(Platform& pf, PbHeaderW* h, PBEW* r, const WChar* name, const WChar* fax, uint16_t id, int* code) {
    return Get<WideSet>(pf, h, r, name, fax, id, code);
}
int AddToGroupW(Platform& pf, PbHeaderW* h, uint16_t group, uint16_t entry, int* code) {
    return Change<WideSet>(pf, h, code, [&](Book& b, FileIo& io) { return b.AddToGroup(io, group, entry); });
}
int ModifyW(Platform& pf, PbHeaderW* h, uint16_t id, PBEW* r, int* code) { return Modify<WideSet>(pf, h, id, r, code); }
int RemoveW(Platform& pf, PbHeaderW* h, uint16_t id, int* code) {
    return Change<WideSet>(pf, h, code, [&](Book& b, FileIo& io) { return b.Remove(io, id); });
}
int RemoveFromGroupW(Platform& pf, PbHeaderW* h, uint16_t group, uint16_t entry, int* code) {
    return Change<WideSet>(pf, h, code, [&](Book& b, FileIo& io) { return b.RemoveFromGroup(io, group, entry); });
}

int CreateA(Platform& pf, PbHeaderA* h, const char* path, int* code) {
    return OpenOrCreate<AnsiSet>(pf, h, path, true, true, Kind::Oldest, code);
}
int OpenA(Platform& pf, PbHeaderA* h, const char* path, uint8_t mode, int* code) {
    if (mode > kModeReadOnly) return Report(code::kBadArgument, code);
    return OpenOrCreate<AnsiSet>(pf, h, path, mode == kModeReadWrite, false, Kind::Oldest, code);
}
int FreePbeA(PbHeaderA* h, PBEA* r, int* code) { return FreePbe<AnsiSet>(h, r, code); }
int FindA(Platform& pf, PbHeaderA* h, PBEA* r, uint16_t* cursor, int* done, int* code) {
    int rc = code::kFailed;
    Find2<AnsiSet>(pf, h, r, nullptr, cursor, done, &rc);
    return Report(rc, code);
}
intptr_t Find2A(Platform& pf, PbHeaderA* h, PBEA* r, const PbTermSlotA* terms, uint16_t* cursor, int* done) {
    return Find2<AnsiSet>(pf, h, r, terms, cursor, done, nullptr);
}
int AddA(Platform& pf, PbHeaderA* h, PBEA* r, int* code) { return Add<AnsiSet>(pf, h, r, code); }
int GetA(Platform& pf, PbHeaderA* h, PBEA* r, const char* name, const char* fax, uint16_t id, int* code) {
    return Get<AnsiSet>(pf, h, r, name, fax, id, code);
}
int AddToGroupA(Platform& pf, PbHeaderA* h, uint16_t group, uint16_t entry, int* code) {
    return Change<AnsiSet>(pf, h, code, [&](Book& b, FileIo& io) { return b.AddToGroup(io, group, entry); });
}
int ModifyA(Platform& pf, PbHeaderA* h, uint16_t id, PBEA* r, int* code) { return Modify<AnsiSet>(pf, h, id, r, code); }
int RemoveA(Platform& pf, PbHeaderA* h, uint16_t id, int* code) {
    return Change<AnsiSet>(pf, h, code, [&](Book& b, FileIo& io) { return b.Remove(io, id); });
}
int RemoveFromGroupA(Platform& pf, PbHeaderA* h, uint16_t group, uint16_t entry, int* code) {
    return Change<AnsiSet>(pf, h, code, [&](Book& b, FileIo& io) { return b.RemoveFromGroup(io, group, entry); });
}

}  // namespace pbcore::api
