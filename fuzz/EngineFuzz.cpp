// libFuzzer target: arbitrary bytes as a phone book file, driven through the export
// logic (open, enumerate with terms, get, add, modify, remove, group changes, batches).
// The first byte picks the shape: bit 0 the bytes as the whole file or as the journal
// of an otherwise sound book (bits 1-2 its kind); bit 3 the ANSI set instead of the
// wide one; bit 4 a read-only open; bit 5 the changes in a batch, with many more
// additions; bit 6 that batch left open (discarded) instead of ended. One open per
// input keeps an input to a couple of loads of the book.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/Api.h"
#include "core/Book.h"
#include "core/MemoryPlatform.h"

using namespace pbabi;
using namespace pbcore;

namespace {

template <class Rec, class Char>
struct Scratch {
    Rec rec{};
    Char ext[kExtensionCount][kExtensionWidth]{};
    Char* ptr[kExtensionCount]{};
    uint16_t members[kCapacityCurrent]{};
    void Clear() {
        rec = Rec{};
        std::memset(ext, 0, sizeof ext);
        for (int i = 0; i < kExtensionCount; ++i) ptr[i] = ext[i];
        rec.extensions = ptr;
        rec.members = members;
        rec.kind = kKindEntry;
    }
};

template <class Header, class Rec, class Char, class Slot, class Ops>
void Drive(MemoryPlatform& files, const Ops& ops, const Char* path, uint8_t shape, const uint8_t* data, size_t size) {
    {
        const uint8_t mode = shape & 16 ? kModeReadOnly : kModeReadWrite;
        const bool batch = shape & 32, discard = shape & 64;
        Header h{};
        int code = -1;
        ops.open(files, &h, path, mode, &code);
        if (code != 0) return;
        Scratch<Rec, Char> s;
        s.Clear();
        // Terms from the input's first bytes.
        Char term[kTermWidth] = {};
        for (size_t i = 0; i < 3 && i < size; ++i) term[i] = static_cast<Char>('a' + data[i] % 26);
        term[3] = '*';
        PbTermBlock<Char> blocks[2] = {{term, nullptr}, {nullptr, nullptr}};
        Slot slots[2] = {{&blocks[0], nullptr}, {&blocks[1], nullptr}};
        std::vector<uint16_t> ids;
        auto enumerate = [&] {
            for (const Slot* terms : {static_cast<const Slot*>(nullptr), static_cast<const Slot*>(slots)}) {
                uint16_t cursor = kCursorStart;
                int done = 0;
                for (int calls = 0; !done; ++calls) {
                    if (calls > 6000) __builtin_trap();  // an enumeration must end
                    s.Clear();
                    if (ops.find(files, &h, &s.rec, terms, &cursor, &done)) {
                        if (s.rec.memberCount > kCapacityCurrent) __builtin_trap();
                        ids.push_back(s.rec.id);
                    }
                }
            }
        };
        enumerate();
        // A spread of lookups by id and by name: every one of thousands repeats one path.
        const size_t step = ids.size() / 32 + 1;
        for (size_t i = 0; i < ids.size(); i += step) {
            s.Clear();
            ops.get(files, &h, &s.rec, nullptr, nullptr, ids[i], &code);
            if (code == 0) {
                Char name[kNameWidth], fax[kFaxWidth];
                std::memcpy(name, s.rec.name, sizeof name);
                std::memcpy(fax, s.rec.fax, sizeof fax);
                s.Clear();
                ops.get(files, &h, &s.rec, name, fax, kNoId, &code);
            }
        }
        if (batch) {
            ops.begin(files, &h, &code);
            // Names from the input, so that some clash with each other and the book.
            const size_t extra = size > 4 ? data[3] % 200 : 0;
            for (size_t i = 0; i < extra; ++i) {
                s.Clear();
                s.rec.name[0] = static_cast<Char>('A' + data[(4 + i) % size] % 26);
                s.rec.name[1] = static_cast<Char>('a' + i % 26);
                s.rec.fax[0] = static_cast<Char>('0' + data[(5 + i) % size] % 4);
                s.rec.kind = data[(6 + i) % size] % 16 == 0 ? kKindGroup : kKindEntry;
                if (s.rec.kind == kKindGroup) s.rec.fax[0] = 0;
                ops.add(files, &h, &s.rec, &code);
            }
        }
        s.Clear();
        const Char name[] = {'F', 'u', 'z', 'z', 0};
        std::memcpy(s.rec.name, name, sizeof name);
        s.rec.fax[0] = '1';
        ops.add(files, &h, &s.rec, &code);
        uint16_t added = code == 0 ? s.rec.id : 0;
        s.rec.kind = kKindGroup;
        s.rec.fax[0] = 0;
        ops.add(files, &h, &s.rec, &code);
        uint16_t group = code == 0 ? s.rec.id : 0;
        if (!ids.empty()) {
            s.Clear();
            std::memcpy(s.rec.name, name, sizeof name);
            s.rec.fax[0] = '2';
            ops.modify(files, &h, ids.front(), &s.rec, &code);
            ops.addToGroup(files, &h, group, ids.back(), &code);
            ops.removeFromGroup(files, &h, group, ids.back(), &code);
            ops.remove(files, &h, ids.back(), &code);
        }
        if (added) ops.remove(files, &h, added, &code);
        if (batch) {
            ids.clear();
            enumerate();  // the batch's own state
            if (!discard) ops.end(files, &h, &code);
        }
        files.Close(ops.handle(h));
    }
}

struct WideOps {
    decltype(&api::OpenW) open = &api::OpenW;
    decltype(&api::Find2W) find = &api::Find2W;
    decltype(&api::GetW) get = &api::GetW;
    decltype(&api::AddW) add = &api::AddW;
    decltype(&api::ModifyW) modify = &api::ModifyW;
    decltype(&api::RemoveW) remove = &api::RemoveW;
    decltype(&api::AddToGroupW) addToGroup = &api::AddToGroupW;
    decltype(&api::RemoveFromGroupW) removeFromGroup = &api::RemoveFromGroupW;
    decltype(&api::BeginChangesW) begin = &api::BeginChangesW;
    decltype(&api::EndChangesW) end = &api::EndChangesW;
    intptr_t handle(const PbHeaderW& h) const { return reinterpret_cast<intptr_t>(h.file); }
};
struct AnsiOps {
    decltype(&api::OpenA) open = &api::OpenA;
    decltype(&api::Find2A) find = &api::Find2A;
    decltype(&api::GetA) get = &api::GetA;
    decltype(&api::AddA) add = &api::AddA;
    decltype(&api::ModifyA) modify = &api::ModifyA;
    decltype(&api::RemoveA) remove = &api::RemoveA;
    decltype(&api::AddToGroupA) addToGroup = &api::AddToGroupA;
    decltype(&api::RemoveFromGroupA) removeFromGroup = &api::RemoveFromGroupA;
    decltype(&api::BeginChangesA) begin = &api::BeginChangesA;
    decltype(&api::EndChangesA) end = &api::EndChangesA;
    intptr_t handle(const PbHeaderA& h) const { return h.file; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t shape = data[0];
    ++data, --size;
    MemoryPlatform files;
    auto& bytes = files.FileAt("f.mpb2");
    // One buffer for every input: a fresh megabyte per input is mostly page faults.
    static auto reused = std::make_shared<std::vector<uint8_t>>();
    reused->clear();
    bytes = reused;
    if (shape & 1) {
        // A sound empty book with the input where its journal goes.
        MemoryFile file(bytes);
        Kind kind = static_cast<Kind>(1 + (shape >> 1) % 3);
        Book::Create(file, kind);
        bytes->resize(Book::kSuperblockSize + static_cast<size_t>(TraitsOf(kind).capacity) * Book::kSlotSize, 0);
        bytes->insert(bytes->end(), data, data + size);
    } else {
        bytes->assign(data, data + size);
    }
    api::ForgetKeptImages();
    const char16_t wpath[] = u"f.mpb2";
    if (shape & 8)
        Drive<PbHeaderA, PBEA, char, PbTermSlotA>(files, AnsiOps{}, "f.mpb2", shape, data, size);
    else
        Drive<PbHeaderW, PBEW, WChar, PbTermSlotW>(files, WideOps{}, reinterpret_cast<const WChar*>(wpath), shape,
                                                   data, size);
    static Book book;
    MemoryFile again(files.FileAt("f.mpb2"));
    if (book.Load(again) == 0) book.All();
    return 0;
}
