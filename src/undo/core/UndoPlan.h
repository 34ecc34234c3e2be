#pragma once
// Taking a change back against the book as it is now: what still applies is planned,
// what later changes made impossible or unwise is named as a conflict and left alone.
#include <map>
#include <vector>

#include "undo/core/Change.h"

namespace undo {

enum class ConflictKind : uint8_t {
    ChangedSince,  // an entry (or group) the change made or edited has been edited since
    GoneSince,     // an entry (or group) the change edited has been removed since
    NameTaken,     // a removed entry's name and fax number are another entry's now
};
struct Conflict {
    ConflictKind kind;
    uint8_t recordKind = kEntry;
    CMString name;
};

struct UndoPlan {
    std::vector<uint16_t> removeEntries;   // adds taken back
    std::vector<uint16_t> removeGroups;    // groups made taken back
    std::vector<RemovedGroup> makeGroups;  // removed groups made again
    // Removed groups whose names a group has now: that group takes their members.
    std::map<uint16_t, uint16_t> reuseGroups;
    std::vector<RemovedEntry> addEntries;  // removed entries, again (ids may change)
    std::vector<UpdatedRecord> revert;     // back to their texts before
    // Joins (true) and leaves to make; ids as the change knew them, which the apply
    // maps to the records it makes again.
    std::vector<Membership> memberships;
    std::vector<Conflict> conflicts;

    bool Empty() const {
        return removeEntries.empty() && removeGroups.empty() && makeGroups.empty() && addEntries.empty() &&
               revert.empty() && memberships.empty() && reuseGroups.empty();
    }
};

// The book now: every entry and group (groups with their members).
UndoPlan PlanUndo(const Change& change, const std::vector<Item>& book);

// Whether a change found pending (its writer died between the log and the mark)
// landed in the book: everything it left is there. A change that did not land left
// the book as it was before, and is dropped.
bool Landed(const Change& change, const std::vector<Item>& book);

class BookWriter {
public:
    virtual ~BookWriter() = default;
    // Engine codes, 0 for done.
    virtual int Add(uint8_t kind, const Fields& fields, uint16_t& newId) = 0;
    virtual int Modify(uint16_t id, uint8_t kind, const Fields& fields) = 0;
    virtual int Remove(uint16_t id) = 0;
    virtual int Join(uint16_t group, uint16_t entry) = 0;
    virtual int Leave(uint16_t group, uint16_t entry) = 0;
};

struct ApplyResult {
    size_t done = 0;
    size_t failed = 0;
};
// Carries the plan out, in an order that leaves room and names free first: adds taken
// back, edits reverted, then removed records made again, memberships last.
ApplyResult ApplyUndo(const UndoPlan& plan, BookWriter& writer);

}  // namespace undo
