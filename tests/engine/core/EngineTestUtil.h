#pragma once
// Small builders shared by the engine's core tests.
#include <string>
#include <vector>

#include "core/Book.h"

namespace enginetest {

inline pbcore::Record Entry(const char16_t* name, const char16_t* fax, const char16_t* org = u"",
                            const char16_t* phone = u"", const char16_t* email = u"", const char16_t* mailbox = u"") {
    pbcore::Record r;
    r.kind = 1;
    r.fields[pbcore::kName] = name;
    r.fields[pbcore::kFax] = fax;
    r.fields[pbcore::kOrganization] = org;
    r.fields[pbcore::kPhone] = phone;
    r.fields[pbcore::kEmail] = email;
    r.fields[pbcore::kMailbox] = mailbox;
    return r;
}

inline pbcore::Record Group(const char16_t* name) {
    pbcore::Record r;
    r.kind = 2;
    r.fields[pbcore::kName] = name;
    return r;
}

// A fresh empty book of the kind in memory, loaded.
struct MemBook {
    pbcore::MemoryFile file;
    pbcore::Book book;
    explicit MemBook(pbcore::Kind kind = pbcore::Kind::Current) {
        pbcore::Book::Create(file, kind);
        book.Load(file);
    }
    uint16_t Add(const pbcore::Record& r) {
        uint16_t id = 0;
        return book.Add(file, r, &id) == 0 ? id : 0;
    }
    int Reload() { return book.Load(file); }
};

inline std::vector<std::u16string> Names(const std::vector<pbcore::Record>& records) {
    std::vector<std::u16string> out;
    for (const auto& r : records) out.push_back(r.fields[pbcore::kName]);
    return out;
}

}  // namespace enginetest
