// Writes the fuzzer's seed corpus: small sound books of every kind (trailing free
// slots cut off, which the engine reads as free) and journal-shaped inputs.
// Build and run by hand: see scripts/fuzz.
#include <cstdio>
#include <string>

#include "core/Book.h"

using namespace pbcore;

namespace {

Record Make(uint8_t kind, const char16_t* name, const char16_t* fax) {
    Record r;
    r.kind = kind;
    r.fields[kName] = name;
    r.fields[kFax] = fax;
    r.fields[kOrganization] = u"Müller & Söhne";
    r.fields[kMailbox] = u"007";
    r.fields[kEmail] = u"anna@example.org";
    return r;
}

void Save(const std::string& path, uint8_t shape, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fputc(shape, f);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : ".";
    const char* names[] = {"", "current", "older-wide", "oldest"};
    for (int k = 1; k <= 3; ++k) {
        MemoryFile file;
        Book::Create(file, static_cast<Kind>(k));
        Book b;
        b.Load(file);
        uint16_t a = 0, c = 0, g = 0;
        b.Add(file, Make(1, u"Anna Berg", u"+49 30 1234"), &a);
        b.Add(file, Make(1, u"Zoë Nowak", u"0221-99"), &c);
        b.Add(file, Make(2, u"Team", u""), &g);
        b.AddToGroup(file, g, a);
        b.AddToGroup(file, g, c);
        // The cleared journal's old images and the free slots add nothing.
        std::vector<uint8_t> bytes = *file.Bytes();
        bytes.resize(Book::kSuperblockSize + static_cast<size_t>(b.Capacity()) * Book::kSlotSize);
        while (!bytes.empty() && bytes.back() == 0) bytes.pop_back();
        Save(dir + "/" + names[k] + ".book", 0, bytes);
        // The last change's journal, as a writer that died before clearing it left it.
        MemoryFile journaled(std::make_shared<std::vector<uint8_t>>(*file.Bytes()));
        FaultyFile dying(journaled, 2, false);
        Book d;
        d.Load(dying);
        d.Remove(dying, a);
        size_t at = Book::kSuperblockSize + static_cast<size_t>(b.Capacity()) * Book::kSlotSize;
        std::vector<uint8_t> journal(journaled.Bytes()->begin() + static_cast<std::ptrdiff_t>(at), journaled.Bytes()->end());
        Save(dir + "/" + names[k] + ".journal", static_cast<uint8_t>(1 + 2 * (k - 1)), journal);
    }
    return 0;
}
