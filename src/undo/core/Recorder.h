#pragma once
// Builds one change from the writes of a batch as they are made: the storage wrapper
// tells it of each write, and it reads what it needs to take the write back from the
// book before (and after) the engine makes it. Writes that cancel out within the
// change (an entry added and removed, a member joined and removed) leave nothing.
#include <map>
#include <set>
#include <vector>

#include "undo/core/Change.h"

namespace undo {

class BookReader {
public:
    virtual ~BookReader() = default;
    // The record with this id (entry or group, a group with its members); false: none.
    virtual bool Read(uint16_t id, Item& out) = 0;
    // Every entry and group (groups with their members); false when the book could not
    // be read. One read of the whole book costs less than a read per record changed.
    virtual bool All(std::vector<Item>& out) = 0;
};

class Recorder {
public:
    explicit Recorder(BookReader& reader) : m_reader(reader) {}

    void Begin();
    bool Active() const { return m_active; }
    // The change so far, and the recorder idle again.
    Change Take();
    void Discard();
    const Change& Current() const { return m_change; }

    void BeforeRemove(uint16_t id);
    void AfterRemove(uint16_t id, bool ok);
    void BeforeModify(uint16_t id);
    // written: the record as handed to the engine, which keeps it as given (saves
    // reading it back); null: read back.
    void AfterModify(uint16_t id, bool ok, const Item* written = nullptr);
    void AfterAdd(uint16_t id, const Item* written = nullptr);
    // join: AddToGroup, else RemoveFromGroup; call before the engine does it.
    void BeforeMembership(uint16_t group, uint16_t entry, bool join);
    void AfterMembership(bool ok);

private:
    bool LoadGroups();
    // The record as it is now in the change: from the book read once, else read alone.
    bool Find(uint16_t id, Item& out);
    // The change's own joins and leaves of this entry (or group), taken out of it:
    // the state before the change is what the record keeps.
    void UnwindMemberships(uint16_t id, bool isGroup, std::set<uint16_t>& before);

    BookReader& m_reader;
    bool m_active = false;
    Change m_change;
    bool m_groupsLoaded = false;
    std::map<uint16_t, std::set<uint16_t>> m_groups;
    // The book as the change has left it so far, once read.
    std::map<uint16_t, Item> m_book;
    // The record a write is about to change, as it was.
    bool m_haveBefore = false;
    Item m_before;
    bool m_membershipChanges = false;
    Membership m_membership;
};

}  // namespace undo
