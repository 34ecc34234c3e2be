#include "Api.h"

#include <algorithm>
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
    uint32_t openId;  // names the engine's kept image of this open
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

// One call's hold on the file: attached, locked (at once, or when Lock asks), loaded.
class Session {
public:
    Session(Platform& pf, intptr_t handle, bool exclusive) : Session(pf, handle) {
        if (m_io) m_locked = pf.Lock(handle, exclusive);
    }
    Session(Platform& pf, intptr_t handle) : m_pf(pf), m_handle(handle) { m_io = pf.Attach(handle); }
    bool Lock(bool exclusive) {
        if (m_io && !m_locked) m_locked = m_pf.Lock(m_handle, exclusive);
        return m_locked;
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
    bool Locked() const { return m_locked; }
    FileIo& Io() { return *m_io; }

private:
    Platform& m_pf;
    intptr_t m_handle;
    std::unique_ptr<FileIo> m_io;
    bool m_locked = false;
};

// The engine keeps its parsed image of each open between calls, and checks it against
// the file's change counter (one small read) before a lookup, a change or the start of
// an enumeration; the rest of an enumeration runs on the image alone. An open batch
// lives in its image. There is no close call, so images of headers nobody uses any
// more are dropped when room is needed, least recently used first.
struct Kept {
    uint32_t openId = 0;
    intptr_t handle = 0;
    std::unique_ptr<Book> book;
    int batchDepth = 0;
    uint64_t lastUse = 0;
    // The last enumeration's terms as given and as prepared: continuing calls neither
    // allocate nor fold them again.
    std::vector<Units> rawTerms;
    std::vector<std::u32string> terms;
};
std::mutex g_lock;  // held for whole calls: the kept images are shared
std::vector<Kept> g_kept;
constexpr size_t kMaxKept = 8;
uint32_t g_lastOpenId = 0;
uint64_t g_useClock = 0;
// Books of dropped images, kept for the next open: their buffers are a megabyte and more,
// and allocating that afresh costs more in page faults than reading the book.
std::vector<std::unique_ptr<Book>> g_spareBooks;
constexpr size_t kMaxSpareBooks = 2;

std::unique_ptr<Book> TakeBook() {
    if (g_spareBooks.empty()) return std::make_unique<Book>();
    std::unique_ptr<Book> book = std::move(g_spareBooks.back());
    g_spareBooks.pop_back();
    return book;
}

void GiveBack(std::unique_ptr<Book> book) {
    if (book && g_spareBooks.size() < kMaxSpareBooks) g_spareBooks.push_back(std::move(book));
}

void Drop(std::vector<Kept>::iterator from, std::vector<Kept>::iterator to) {
    for (auto it = from; it != to; ++it) GiveBack(std::move(it->book));
    g_kept.erase(from, to);
}

// Stands in for the file while a batch is open: a batch writes nothing before its end.
class NoFile : public FileIo {
public:
    bool Read(uint64_t, void*, size_t, size_t* got) override {
        *got = 0;
        return false;
    }
    bool Write(uint64_t, const void*, size_t) override { return false; }
    bool Flush() override { return false; }
    bool Size(uint64_t*) override { return false; }
    bool Truncate(uint64_t) override { return false; }
};

Kept* FindKept(uint32_t openId, intptr_t handle) {
    for (Kept& k : g_kept)
        if (k.openId == openId && k.handle == handle) {
            k.lastUse = ++g_useClock;
            return &k;
        }
    return nullptr;
}

Kept& MakeKept(uint32_t openId, intptr_t handle) {
    if (g_kept.size() >= kMaxKept) {
        // An open batch holds changes already answered with success: it is never dropped,
        // so with every kept image in a batch there is one more.
        auto victim = g_kept.end();
        for (auto it = g_kept.begin(); it != g_kept.end(); ++it)
            if (it->batchDepth == 0 && (victim == g_kept.end() || it->lastUse < victim->lastUse)) victim = it;
        if (victim != g_kept.end()) Drop(victim, victim + 1);
    }
    Kept& k = g_kept.emplace_back();
    k.openId = openId;
    k.handle = handle;
    k.lastUse = ++g_useClock;
    return k;
}

void ForgetOpen(uint32_t openId) {
    auto gone = std::partition(g_kept.begin(), g_kept.end(), [&](const Kept& k) { return k.openId != openId; });
    Drop(gone, g_kept.end());
}

// Brings a kept image up to date with the file: reloaded when the counter moved (or was
// never seen), finished when a dead writer left a change and this call may write. A
// change holds the exclusive lock throughout. A reader whose image is current needs no
// lock: a writer moves the counter last, so until then the image is the state before
// its change, whole.
int Refresh(Kept& k, Session& s, bool change) {
    if (!s.Attached()) return code::kFailed;
    if (change && !s.Lock(true)) return code::kBusy;
    uint64_t counter = 0;
    int rc = code::kOk;
    if (!k.book || !k.book->Loaded() || !Book::ReadCounter(s.Io(), &counter) || counter != k.book->StoredCounter()) {
        if (!s.Lock(change)) return code::kBusy;
        if (!k.book) k.book = TakeBook();
        rc = k.book->Load(s.Io());
    }
    if (rc == code::kOk && change) rc = k.book->Recover(s.Io());
    if (rc != code::kOk) GiveBack(std::move(k.book));
    return rc;
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
    std::lock_guard<std::mutex> guard(g_lock);
    // The header's earlier open, if it had one, and any batch it left open are over.
    if (h->magic == Set::kMagic && StateOf<Set>(h)->tag == kStateTag) ForgetOpen(StateOf<Set>(h)->openId);
    ClearHeader<Set>(pf, h);
    if (!path || !path[0]) return Report(code::kBadArgument, code);
    bool created = false;
    intptr_t handle = pf.InvalidHandle();
    int rc = pf.Open(PathOf(path), writable, writable, replace, &created, &handle);
    if (rc != code::kOk) return Report(rc, code);
    std::unique_ptr<Book> book = TakeBook();
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
        if (rc == code::kOk) rc = s.Load(*book, writable);
    }
    if (rc != code::kOk) {
        GiveBack(std::move(book));
        pf.Close(handle);
        return Report(rc, code);
    }
    KindTraits tr = TraitsOf(book->GetKind());
    h->magic = Set::kMagic;
    h->versionMajor = tr.versionMajor;
    h->versionMinor = tr.versionMinor;
    h->extensionCount = kExtensionCount;
    Set::SetHandle(h, handle);
    h->wideFormat = tr.wide ? 1 : 0;
    State* st = StateOf<Set>(h);
    st->tag = kStateTag;
    st->kind = static_cast<uint8_t>(book->GetKind());
    st->writable = writable ? 1 : 0;
    st->setMatches = tr.wide == Set::kWide ? 1 : 0;
    st->openId = ++g_lastOpenId ? g_lastOpenId : ++g_lastOpenId;
    // The image the open has just read serves the first listing too.
    if (st->setMatches) MakeKept(st->openId, handle).book = std::move(book);
    else GiveBack(std::move(book));
    return Report(code::kOk, code);
}

// Runs one call on the header's kept image: under the file's lock (exclusive for a
// change) after Refresh, or, inside a batch, on the image alone.
template <class Set, class Fn>
int WithBook(Platform& pf, typename Set::Header* h, bool change, Fn&& fn) {
    int rc = CheckHeader<Set>(pf, h, change);
    if (rc != code::kOk) return rc;
    const uint32_t openId = StateOf<Set>(h)->openId;
    const intptr_t handle = Set::GetHandle(h);
    Kept* k = FindKept(openId, handle);
    if (!k) k = &MakeKept(openId, handle);
    if (k->batchDepth > 0) {
        if (!k->book || !k->book->Loaded()) return code::kFailed;
        NoFile none;
        return fn(*k, none);
    }
    Session s(pf, handle);
    rc = Refresh(*k, s, change);
    return rc == code::kOk ? fn(*k, s.Io()) : rc;
}

template <class Set, class Fn>
int Change(Platform& pf, typename Set::Header* h, int* code, Fn&& fn) {
    std::lock_guard<std::mutex> guard(g_lock);
    return Report(WithBook<Set>(pf, h, true, [&](Kept& k, FileIo& io) { return fn(*k.book, io); }), code);
}

template <class Set>
bool SameTerms(const std::vector<Units>& known, const typename Set::Slot* slots) {
    size_t i = 0;
    for (; slots && i < 4096; ++i) {
        if (!slots[i].block || !slots[i].block->text) break;
        if (i >= known.size()) return false;
        const typename Set::Char* t = slots[i].block->text;
        const Units& u = known[i];
        size_t n = 0;
        for (; n < kTermWidth - 1 && t[n]; ++n) {
            char16_t unit = sizeof(typename Set::Char) == 1 ? static_cast<unsigned char>(t[n]) : static_cast<char16_t>(t[n]);
            if (n >= u.size() || u[n] != unit) return false;
        }
        if (n != u.size()) return false;
    }
    return i == known.size();
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
    std::lock_guard<std::mutex> guard(g_lock);
    Kept* k = FindKept(StateOf<Set>(h)->openId, Set::GetHandle(h));
    // Only the first call of an enumeration looks at the file; the others continue on
    // the image (looked at again only when it was dropped meanwhile).
    if (*cursor == kCursorStart || !k || !k->book || !k->book->Loaded()) {
        rc = WithBook<Set>(pf, h, false, [&](Kept& kept, FileIo&) {
            k = &kept;
            return code::kOk;
        });
        if (rc != code::kOk) {
            Report(rc, code);
            return 0;
        }
    }
    if (!SameTerms<Set>(k->rawTerms, terms)) {
        k->rawTerms = ReadTerms<Set>(terms);
        k->terms = PrepareTerms(k->rawTerms, !Set::kWide);
    }
    const Book& book = *k->book;
    bool finished = true;
    int slot = -1;
    bool delivered = book.FindNext(k->terms, *cursor, finished, slot);
    if (delivered) FillPbe<Set>(book, slot, r);
    *done = finished ? 1 : 0;
    Report(delivered ? code::kOk : code::kNoMore, code);
    return delivered ? reinterpret_cast<intptr_t>(r) : 0;
}

template <class Set>
int Get(Platform& pf, typename Set::Header* h, typename Set::Rec* r, const typename Set::Char* name,
        const typename Set::Char* fax, uint16_t id, int* code) {
    if (!r && CheckHeader<Set>(pf, h, false) == code::kOk) return Report(code::kBadArgument, code);
    std::lock_guard<std::mutex> guard(g_lock);
    return Report(WithBook<Set>(pf, h, false,
                                [&](Kept& k, FileIo&) {
                                    int slot = -1;
                                    int rc = k.book->Find(ReadText(name, kNameWidth - 1),
                                                          ReadText(fax, kFaxWidth - 1), id, slot);
                                    if (rc == code::kOk) FillPbe<Set>(*k.book, slot, r);
                                    return rc;
                                }),
                  code);
}

template <class Set>
int BeginChanges(Platform& pf, typename Set::Header* h, int* code) {
    std::lock_guard<std::mutex> guard(g_lock);
    return Report(WithBook<Set>(pf, h, true,
                                [&](Kept& k, FileIo&) {
                                    // Refresh has finished any dead writer's change.
                                    if (k.batchDepth++ == 0) k.book->BeginBatch();
                                    return code::kOk;
                                }),
                  code);
}

template <class Set>
int EndChanges(Platform& pf, typename Set::Header* h, int* code) {
    int rc = CheckHeader<Set>(pf, h, true);
    if (rc != code::kOk) return Report(rc, code);
    std::lock_guard<std::mutex> guard(g_lock);
    const intptr_t handle = Set::GetHandle(h);
    Kept* k = FindKept(StateOf<Set>(h)->openId, handle);
    if (!k || k->batchDepth == 0) return Report(code::kBadArgument, code);
    if (--k->batchDepth > 0) return Report(code::kOk, code);
    Session s(pf, handle, true);
    uint64_t counter = 0;
    if (!s.Attached() || !s.Locked()) rc = s.Attached() ? code::kBusy : code::kFailed;
    // Another writer's commit since the batch began: the batch was made against another
    // book and must not land. That is contention, not a broken file: the caller may
    // plan again on the book as it is now.
    else if (!k->book || !Book::ReadCounter(s.Io(), &counter))
        rc = code::kFailed;
    else if (counter != k->book->StoredCounter())
        rc = code::kBusy;
    else
        rc = k->book->EndBatch(s.Io());
    if (rc != code::kOk) GiveBack(std::move(k->book));
    return Report(rc, code);
}

template <class Set>
int ChangeCount(Platform& pf, typename Set::Header* h, uint64_t* count, int* code) {
    int rc = CheckHeader<Set>(pf, h, false);
    if (rc != code::kOk) return Report(rc, code);
    if (!count) return Report(code::kBadArgument, code);
    // No lock: a writer moves the counter last, and ReadCounter takes a journal's only
    // when it is whole, so a stalled writer never keeps a reader from this answer.
    Session s(pf, Set::GetHandle(h));
    if (!s.Attached()) return Report(code::kFailed, code);
    return Report(Book::ReadCounter(s.Io(), count) ? code::kOk : code::kBadFile, code);
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

void ForgetKeptImages() {
    std::lock_guard<std::mutex> guard(g_lock);
    Drop(g_kept.begin(), g_kept.end());
}

int BeginChangesW(Platform& pf, PbHeaderW* h, int* code) { return BeginChanges<WideSet>(pf, h, code); }
int EndChangesW(Platform& pf, PbHeaderW* h, int* code) { return EndChanges<WideSet>(pf, h, code); }
int ChangeCountW(Platform& pf, PbHeaderW* h, uint64_t* count, int* code) {
    return ChangeCount<WideSet>(pf, h, count, code);
}
int BeginChangesA(Platform& pf, PbHeaderA* h, int* code) { return BeginChanges<AnsiSet>(pf, h, code); }
int EndChangesA(Platform& pf, PbHeaderA* h, int* code) { return EndChanges<AnsiSet>(pf, h, code); }
int ChangeCountA(Platform& pf, PbHeaderA* h, uint64_t* count, int* code) {
    return ChangeCount<AnsiSet>(pf, h, count, code);
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
int Find3W(Platform& pf, PbHeaderW* h, PBEW* r, const PbTermSlotW* terms, uint16_t* cursor, int* done, int* code) {
    int rc = code::kFailed;
    Find2<WideSet>(pf, h, r, terms, cursor, done, &rc);
    return Report(rc, code);
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
int Find3A(Platform& pf, PbHeaderA* h, PBEA* r, const PbTermSlotA* terms, uint16_t* cursor, int* done, int* code) {
    int rc = code::kFailed;
    Find2<AnsiSet>(pf, h, r, terms, cursor, done, &rc);
    return Report(rc, code);
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
