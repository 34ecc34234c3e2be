#pragma once
// An import that updates: a book kept filled from another system's export takes each
// newer export's changes in place, and a sync also lets go of the entries the export no
// longer names.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "importexport/core/DelimitedText.h"
#include "util/CMString.h"

namespace delimited {

// An entry of the book as a record of a file would give it.
struct StoredEntry {
    uint16_t id = 0;
    EntryFields fields;
};

enum class UpdateAction { Add, Update, Unchanged };

// What each record does to the book. A record whose name (ignoring case) is that of
// exactly one entry updates that entry; of several entries with its name, the one with
// its fax number, else it is added; a name not in the book is added. The fields of the
// columns the file has replace the entry's, the others keep theirs; a record that
// changes nothing leaves the entry unchanged.
class BookUpdate {
public:
    explicit BookUpdate(std::vector<StoredEntry> entries);

    // present: the fields the file's columns fill (the name also when its parts do). On
    // Update, *id names the entry and *merged is what it becomes.
    UpdateAction Decide(const EntryFields& record, const std::vector<Column>& present, uint16_t* id,
                        EntryFields* merged) const;
    // The entry's fields after an update, for later records of the same name.
    void Updated(uint16_t id, const EntryFields& fields);
    // An accepted record's name: a sync keeps every entry some accepted record names.
    void Named(const CMString& name);
    // Entries (ids, in book order) whose names no accepted record gave.
    std::vector<uint16_t> Unnamed() const;
    size_t EntryCount() const { return m_entries.size(); }

private:
    static std::wstring Key(const CMString& name);

    std::vector<StoredEntry> m_entries;
    std::unordered_multimap<std::wstring, size_t> m_byName;
    std::unordered_map<uint16_t, size_t> m_byId;
    std::unordered_map<std::wstring, bool> m_named;
};

// Whether two mailbox texts are the same mailbox ("007" and "7", "" and "0").
bool SameMailbox(const CMString& a, const CMString& b);

// Why a sync removes nothing: its file could not be read to its end, it gave no entry
// that was accepted, or it would take more than half of the book's entries without the
// administrator's leave.
enum class SyncRefusal { None, ReadFailed, NothingAccepted, TooManyRemoved };
SyncRefusal CheckSync(bool readToEnd, uint32_t accepted, size_t removing, size_t entries, bool allowShrink);

}  // namespace delimited
