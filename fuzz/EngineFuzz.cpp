// libFuzzer target: arbitrary bytes as a phone book file, driven through the export
// logic (open in both sets and modes, enumerate with terms, get, add, modify, remove,
// group changes). The first byte picks the shape: the bytes as the whole file, or the
// bytes as the journal of an otherwise sound book.
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
void Drive(MemoryPlatform& files, const Ops& ops, const Char* path, const uint8_t* data, size_t size) {
    for (uint8_t mode : {kModeReadOnly, kModeReadWrite}) {
        Header h{};
        int code = -1;
        ops.open(files, &h, path, mode, &code);
        if (code != 0) continue;
        Scratch<Rec, Char> s;
        s.Clear();
        // Terms from the input's first bytes.
        Char term[kTermWidth] = {};
        for (size_t i = 0; i < 3 && i < size; ++i) term[i] = static_cast<Char>('a' + data[i] % 26);
        term[3] = '*';
        PbTermBlock<Char> blocks[2] = {{term, nullptr}, {nullptr, nullptr}};
        Slot slots[2] = {{&blocks[0], nullptr}, {&blocks[1], nullptr}};
        std::vector<uint16_t> ids;
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
        for (uint16_t id : ids) {
            s.Clear();
            ops.get(files, &h, &s.rec, nullptr, nullptr, id, &code);
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
    intptr_t handle(const PbHeaderA& h) const { return h.file; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t shape = data[0];
    ++data, --size;
    MemoryPlatform files;
    auto& bytes = files.FileAt("f.mpb2");
    bytes = std::make_shared<std::vector<uint8_t>>();
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
    Drive<PbHeaderW, PBEW, WChar, PbTermSlotW>(files, WideOps{}, reinterpret_cast<const WChar*>(wpath), data, size);
    Drive<PbHeaderA, PBEA, char, PbTermSlotA>(files, AnsiOps{}, "f.mpb2", data, size);
    Book book;
    MemoryFile again(files.FileAt("f.mpb2"));
    if (book.Load(again) == 0) book.All();
    return 0;
}
