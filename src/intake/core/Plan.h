#pragma once
// What a source's records do to the book, decided before anything changes: a pure
// function of the book's snapshot and the records. The applier carries the plan out; a
// dry run shows it.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "importexport/core/DelimitedText.h"
#include "intake/core/Records.h"
#include "intake/core/StoredForm.h"
#include "util/CMString.h"

namespace faxnum {
struct Country;
}

namespace intake {

// The book as the plan sees it. Texts are as the book holds them (stored form).
struct SnapshotEntry {
    uint16_t id = 0;
    delimited::EntryFields fields;
};
struct SnapshotGroup {
    uint16_t id = 0;
    CMString name;  // without brackets
    std::vector<uint16_t> members;
};
struct Snapshot {
    std::vector<SnapshotEntry> entries;  // in the book's order
    std::vector<SnapshotGroup> groups;
    // Records (entries and groups) the book can hold; its room is that less the entries
    // and groups above, whatever a list shows.
    size_t capacity = 0;
    // The list an import starts from shows as many rows as the book holds: an import that
    // adds takes nothing then and counts nothing, as the dialog always has. (A list narrowed
    // by a search shows fewer rows; its records find no room one by one.)
    bool listFull = false;
    TextForm form;
};

enum class Mode : uint8_t {
    // Every acceptable record is added; one whose name and fax number an entry has is
    // already present. Fax numbers are the same line when their normal forms are equal
    // (or, where either has none, their texts), in every mode.
    Add,
    // A record that names an entry updates it in place (it keeps its id and groups).
    Update,
    // Update, and the entries no record gave are removed.
    Sync,
};

struct Options {
    Mode mode = Mode::Add;
    // Sync: it may remove more than half of the entries it considers.
    bool allowShrink = false;
    // Update and sync: the entries the source gives join this group (made when the book
    // lacks it). Records are matched with its members only, and a sync removes only
    // members of it; an entry outside it is never changed. Empty: none (the whole book).
    CMString managedGroup;
    // Managed sync: a record that names an entry outside the managed group may take that
    // entry into the group and update it. Without it such an entry is left alone.
    bool adopt = false;
    // The country national fax numbers are read in; nullptr: they have a normal form
    // only where written in full.
    const faxnum::Country* home = nullptr;
};

// Why a sync changes nothing: its input was not read to its end, it gave no record that
// was accepted, it would remove more than half of the entries it considers, or the book
// cannot hold what it adds.
enum class Refusal : uint8_t { None, ReadFailed, NothingAccepted, TooManyRemoved, NoRoom };

// An entry or group the plan names: one the book has (by id) or one it makes (by index
// into Plan::adds or Plan::newGroups).
struct Ref {
    bool planned = false;
    uint32_t value = 0;
    friend bool operator==(const Ref& a, const Ref& b) { return a.planned == b.planned && a.value == b.value; }
};

struct PlannedAdd {
    uint32_t record = 0;  // index into the records
    delimited::EntryFields fields;
};
struct PlannedUpdate {
    uint32_t record = 0;
    uint16_t id = 0;
    delimited::EntryFields before, after;
    uint8_t changed = 0;  // Bit of each field that differs
};
struct PlannedRemoval {
    uint16_t id = 0;
    CMString name, fax;
};
struct Membership {
    Ref group;
    Ref entry;
};
// An entry of the book that a record named and the plan does not touch: outside the
// managed group (left alone), or kept from removal by a rejected record.
struct Untouched {
    uint32_t record = 0;
    uint16_t id = 0;
    CMString name;
};

struct Plan {
    Mode mode = Mode::Add;
    CMString managedGroup;
    std::vector<PlannedAdd> adds;
    std::vector<PlannedUpdate> updates;
    std::vector<PlannedRemoval> removals;
    // Entries that a record gave unchanged (ids).
    std::vector<uint16_t> unchanged;
    std::vector<CMString> newGroups;
    // Joins, in the order made; and a sync's leaves (of the book's groups and entries):
    // an entry it keeps leaves each group the read names and its record does not.
    std::vector<Membership> memberships;
    std::vector<Membership> leaves;
    // Records that name an entry outside the managed group, which stays as it is.
    std::vector<Untouched> leftAlone;
    // A sync: entries in scope that no accepted record gave but a rejected one names.
    std::vector<Untouched> kept;
    // read always equals imported + updated + unchanged + rejected + alreadyPresent +
    // full + other + leftAlone.size(); removed is besides.
    delimited::ImportCounters counts;
    uint32_t rejectedFor[kRejectionCount] = {};
    // Group names (stored form) that found no room in the book, each once; their
    // memberships are left out.
    std::vector<CMString> groupsWithoutRoom;
    // The names of the book's entries and groups that joins and leaves name, by id.
    std::unordered_map<uint16_t, CMString> bookNames;
    // The entries a sync considers for removal: all, or the managed group's members.
    size_t scope = 0;
    Refusal refusal = Refusal::None;
    // An import that adds read nothing, because its list was full (Snapshot::listFull).
    bool listFull = false;
};

Plan MakePlan(const Snapshot& book, const SourceRead& read, const Options& options);

// The name of a group or entry a membership names: of the book's, or one the plan makes.
const CMString& GroupName(const Plan& plan, const Ref& group);
const CMString& EntryName(const Plan& plan, const Ref& entry);

}  // namespace intake
