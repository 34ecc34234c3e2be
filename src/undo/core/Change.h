#pragma once
// One change to a book as the undo log keeps it: what is needed to take it back
// (removed entries and groups whole, updated entries' old texts, added ids), and a hash
// of what the change left, so that a later change to the same entries is seen.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "util/CMString.h"

namespace undo {

// name, fax, organization, phone, email, mailbox (a group: its name only).
enum FieldIndex { kName, kFax, kOrganization, kPhone, kEmail, kMailbox, kFieldCount };
using Fields = std::array<CMString, kFieldCount>;

inline constexpr uint8_t kEntry = 1;
inline constexpr uint8_t kGroup = 2;

// A record of the book as a reader gives it.
struct Item {
    uint16_t id = 0;
    uint8_t kind = kEntry;
    Fields fields;
    std::vector<uint16_t> members;  // groups
};

// What the change left in an entry's (a group's: its name's) texts.
uint64_t HashOf(const Fields& fields);

struct RemovedEntry {
    uint16_t id = 0;
    Fields fields;
    std::vector<uint16_t> groups;  // as they were before the change
};
struct UpdatedRecord {
    uint16_t id = 0;
    uint8_t kind = kEntry;
    Fields before;
    uint64_t after = 0;
};
struct AddedEntry {
    uint16_t id = 0;
    uint64_t after = 0;
};
struct Membership {
    uint16_t group = 0;
    uint16_t entry = 0;
    bool joined = true;  // false: left
};
struct MadeGroup {
    uint16_t id = 0;
    CMString name;
};
struct RemovedGroup {
    uint16_t id = 0;
    CMString name;
    std::vector<uint16_t> members;  // as they were before the change
};

// Pending: written, its commit not yet known; Undone: taken back by a later change.
enum class State : uint8_t { Pending, Done, Dropped, Undone };

struct Change {
    uint32_t serial = 0;
    int64_t time = 0;  // seconds since 1970, UTC
    State state = State::Pending;
    CMString label;
    uint32_t undoes = 0;  // the serial of the change this one took back
    std::vector<RemovedEntry> removed;
    std::vector<UpdatedRecord> updated;
    std::vector<AddedEntry> added;
    std::vector<Membership> memberships;
    std::vector<MadeGroup> groupsMade;
    std::vector<RemovedGroup> groupsRemoved;

    bool Empty() const {
        return removed.empty() && updated.empty() && added.empty() && memberships.empty() && groupsMade.empty() &&
               groupsRemoved.empty();
    }
};

// ---- The log's text: a change is a block of lines, appended as a whole before the
// commit; a later one-line mark says it landed (or not). Compact, UTF-8.
std::string EncodeChange(const Change& change);
std::string EncodeMark(uint32_t serial, State state);
// The file's first line: whose book the log is for.
std::string EncodeHeader(const CMString& bookPath, const std::string& identity);

struct LogContents {
    CMString bookPath;
    std::string identity;
    std::vector<Change> changes;  // oldest first, dropped ones left out
    bool damaged = false;         // a block cut short (the writer died): left out too
};
LogContents ParseLog(const std::string& text);

// What opening a log needs, without reading every line's fields: whose it is, the
// highest serial, how many changes it holds, and whether its last line was cut short.
struct LogOutline {
    CMString bookPath;
    std::string identity;
    uint32_t lastSerial = 0;
    size_t changes = 0;
    int64_t oldest = 0;
    bool cutShort = false;
};
LogOutline OutlineLog(const std::string& text);

// The changes worth keeping: done or pending, the newest keep of them, none older
// than maxAgeSeconds before now.
void Prune(std::vector<Change>& changes, int64_t now, size_t keep = 20, int64_t maxAgeSeconds = 30 * 24 * 3600);

}  // namespace undo
