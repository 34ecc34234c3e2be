#pragma once
// Joins one open phone book file to the list views that show it. There is no record
// store here: the rows of the attached list are the in-memory view of the file (item
// data = engine id, the record's kind, its plain name, which column 0 shows (a group's
// in square brackets), and column 1 the fax number); every other field is read from the
// file when it is asked for.
#include <windows.h>

#include <functional>
#include <vector>

#include "data/PhonebookDB.h"
#include "dialogs/core/CharSet.h"
#include "util/CMString.h"

class ListViewUIControl;

class CPhonebook {
public:
    explicit CPhonebook(HWND owner);
    virtual ~CPhonebook();
    CPhonebook(const CPhonebook&) = delete;
    CPhonebook& operator=(const CPhonebook&) = delete;

    PhonebookDB& Database() { return m_database; }
    const PhonebookDB& Database() const { return m_database; }

    // Closes the file and empties both lists.
    void CloseFile();
    // Refills the main list from the file for the search text. When the file cannot be
    // read (another program is changing it, past a short retry) the list keeps the rows
    // it had, never part of the book or none for a book that has some: false, the list
    // counts as stale, and the listener hears it.
    bool Refresh(bool includeGroups);
    // When another writer has changed the file since the main list was filled, or the
    // last refill failed: refills it, keeping the search, the selected records and the
    // scroll position. True when it refilled.
    bool FollowOtherWriters();
    // The main list shows what an earlier read gave (or nothing), not the book now.
    bool IsListStale() const { return m_listStale; }

    // What the last refill of the main list came to.
    enum class Listing : uint8_t { Read, KeptLastRows, NotRead };
    void SetListingListener(std::function<void(Listing)> listener) { m_listingListener = std::move(listener); }

    // The main list becomes the active list, and it gets the two columns unless it has
    // them. A list that was the main list before keeps its rows (a read of this book)
    // until a read succeeds; another one is emptied. Null forgets the main list.
    void AttachMainList(ListViewUIControl* list);
    // The member-picking dialogs' second list; null forgets it.
    void SetOtherList(ListViewUIControl* list) { m_otherList = list; }
    ListViewUIControl* MainList() const { return m_mainList; }
    ListViewUIControl* OtherList() const { return m_otherList; }
    // true: operations work on the main list; false: on the other list.
    void SetMainListActive(bool main) { m_mainActive = main; }
    bool IsMainListActive() const { return m_mainActive; }
    ListViewUIControl* ActiveList() const;
    // Leaves exactly the name and fax number columns, each half the list wide.
    void SetupColumns(ListViewUIControl& list);

    const CMString& SearchText() const { return m_searchText; }
    void SetSearchText(const CMString& text) { m_searchText = text; }
    const CMString& AllowedFaxChars() const { return m_allowedFaxChars; }
    const CMString& AllowedMailboxChars() const { return m_allowedMailboxChars; }
    // Whether a fax number can be shown: every character is one of text 593's set.
    bool IsShowableFax(const CMString& fax) const;

    // The engine's code; 1 for a blank name, which is not stored. An empty fax number
    // makes a group. With addToList and a main list, the new row is shown in order;
    // newId, when given, gets the new record's id.
    int AddFromFields(const CMString& name, const CMString& fax, const CMString& organization, const CMString& phone,
                      const CMString& email, const CMString& mailbox, bool showErrors, bool addToList,
                      uint16_t* newId = nullptr);
    // Rewrites the entry with this id from the texts, in place: it keeps its id and its
    // groups. The engine's code; no message.
    int ModifyFromFields(uint16_t id, const CMString& name, const CMString& fax, const CMString& organization,
                         const CMString& phone, const CMString& email, const CMString& mailbox);
    // Overwrites the record of the single selected row.
    bool ModifySelected(const CMString& name, const CMString& fax, const CMString& organization, const CMString& phone,
                        const CMString& email, const CMString& mailbox);
    // Whether the stored record of the row holds exactly these texts.
    bool IsSameAsRow(int row, const CMString& name, const CMString& fax, const CMString& organization,
                     const CMString& phone, const CMString& email, const CMString& mailbox);
    // Finds the row's record again by name and fax number (a record of the form in use
    // is made when none is given); the engine's code.
    int GetRecordForRow(EngineRecord& record, int row);

    // Columns 0 and 1 from the list, 2 to 5 (organization, phone number, e-mail address,
    // mailbox) from the file; empty when there is nothing to read.
    CMString GetRowText(int row, int column);
    // The row's plain name (a group's without the brackets it is shown with).
    CMString GetRowName(int row);
    CMString GetRowFax(int row) { return GetRowText(row, 1); }
    CMString GetRowOrganization(int row) { return GetRowText(row, 2); }
    CMString GetRowPhone(int row) { return GetRowText(row, 3); }
    CMString GetRowEmail(int row) { return GetRowText(row, 4); }
    CMString GetRowMailbox(int row) { return GetRowText(row, 5); }
    // An existing row that is not a group, by the row's kind whatever its name.
    bool IsEntryRow(int row);

    // The single selected row of the active list, or -1.
    int GetSelectedRow() const;
    void SelectRow(int row);
    int GetItemCount() const;
    int GetSelectedCount() const;

    // Removes the selected records (after the storage wrapper's confirmation) and the
    // rows of those removed.
    void DeleteSelected();
    // Copies the selected entries into the target file; the source is open read-only
    // afterwards.
    void CopySelectedTo(const CMString& sourcePath, const CMString& targetPath);

    // Shows the record list in the main list (or, when useMainList is off and there is
    // one, the other list), sorted by name, with row 0 selected.
    void FillList(bool useMainList);
    // Appends a row for the record to the active list: its index, or 0xFFFF when the
    // record cannot be shown.
    int AddToList(const EngineRecord& record, bool update);
    void SetRowCells(int row, const EngineRecord& record, bool update);

    // Sorts the active list on the column and returns the direction of the next sort.
    bool ToggleSort(int column);

    // Converts the older-format file at the path and opens the current-format copy.
    bool ConvertFile(const CMString& path);

    bool HasOpenFile() const;
    // Copies every row of source to the top of target, keeping the source's order; the
    // number of rows copied.
    int CopyAllRows(ListViewUIControl& source, ListViewUIControl& target);
    bool ListContainsId(uint16_t id, const ListViewUIControl& list) const;
    // Loads the row's group into the storage wrapper's current record.
    bool LoadGroupForRow(int row);

    // The working list that FillList shows.
    RecordList& Records() { return m_records; }

    static constexpr int kNoRow = 0xFFFF;
    static constexpr int kColumns = 6;

private:
    // The engine record the six texts make, in the form of the file in use.
    EngineRecord RecordFromFields(uint8_t kind, const CMString& name, const CMString& fax, const CMString& organization,
                                  const CMString& phone, const CMString& email, const CMString& mailbox) const;
    int AppendRow(ListViewUIControl& list, const EngineRecord& record, bool update);
    void ListingFailed();
    // A main list new to the model whose first read failed: the rows of a list it
    // stands in for (read of this book for the same search), until a read succeeds.
    void ShowParkedRows(bool includeGroups);
    // kOk, or kBusy when a selected record could not be read for another writer.
    int CollectSelected(std::vector<RemoveResult>* results);
    bool* SortDirection(int column);

    PhonebookDB m_database;
    // The file's change counter when the main list was last filled.
    bool m_filledCountKnown = false;
    uint64_t m_filledCount = 0;
    // The main list has shown a read of this file / the last read failed.
    bool m_listFilled = false;
    bool m_listStale = false;
    // The search text of the main list's last read.
    CMString m_filledSearch;
    unsigned m_failedReads = 0;
    ULONGLONG m_nextRead = 0;
    std::function<void(Listing)> m_listingListener;
    // Lists that were the main list and will be again (the main window's, under a
    // dialog's): what their rows were read at.
    struct ParkedList {
        ListViewUIControl* list;
        bool filled, countKnown;
        uint64_t count;
        bool stale;
        CMString search;
    };
    std::vector<ParkedList> m_parked;
    ListViewUIControl* m_mainList = nullptr;
    ListViewUIControl* m_otherList = nullptr;
    bool m_mainActive = true;
    CMString m_searchText;
    CMString m_allowedFaxChars;
    CMString m_allowedMailboxChars;
    CharSet m_faxChars;
    // The other list's columns 0-5, then the main list's.
    bool m_sortDescending[2 * kColumns] = {};
    RecordList m_records;
};
