#pragma once
// One open phone book file, through the storage engine loaded at run time: the
// wide or ANSI entry points per file, records in and out, and the confirmations and
// messages that belong to every change.
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "pbabi/EngineAbi.h"
#include "data/EngineCalls.h"
#include "data/EngineRecord.h"
#include "data/PhonebookRecord.h"
#include "util/CMString.h"

namespace undo {
class Session;
}

// Per record of RemoveRecords: the caller's row and whether it was removed.
struct RemoveResult {
    int row = 0;
    bool removed = false;
};

// The current-format name of a file: "mpb2" after the path's last ".".
CMString CurrentFormatName(const CMString& path);

class PhonebookDB {
public:
    PhonebookDB();
    virtual ~PhonebookDB();
    PhonebookDB(const PhonebookDB&) = delete;
    PhonebookDB& operator=(const PhonebookDB&) = delete;

    void SetOwnerWindow(HWND owner) { m_owner = owner; }
    HWND OwnerWindow() const { return m_owner; }
    void SetWideMode(bool wide) { m_wideMode = wide; }
    void SetCurrentFormat(bool current) { m_currentFormat = current; }
    void SetCapacity(int capacity) { m_capacity = capacity; }

    // Calls come from a window's thread: a read tries the book's lock once and a busy
    // book is read again later by the caller; a change runs on a worker thread for up to
    // the engine's wait while the window keeps painting and answering.
    void SetWindowThread(bool on) { m_windowThread = on; }
    bool IsWindowThread() const { return m_windowThread; }
    // Reads for a job the user asked for (an export, an import's look at the book, a
    // copy): on a window's thread a busy book is waited for as for a change, on a worker
    // while the window paints, rather than failing at once. The previous setting.
    bool SetUserReads(bool on) {
        const bool previous = m_userReads;
        m_userReads = on;
        return previous;
    }

    bool FindEngine();
    bool LoadEngine();
    bool IsWideSetUsable() const { return m_wide != nullptr; }
    bool IsAnsiSetUsable() const { return m_ansi != nullptr; }

    // mode 0 read-write (falling back to read-only), 1 read-only; depth 0 from callers.
    bool Open(const CMString& path, int depth, int mode);
    bool Create(const CMString& path);
    void Close();

    // The engine's code of the last Open or Create (of its last call, for an Open that
    // tried more than one way); -1 when no engine call was made.
    int LastCode() const { return m_lastCode; }
    // The last Open asked for writing and got reading only because another program was
    // changing the book (rather than a write-protected file).
    bool OpenedReadOnlyWhileBusy() const { return m_readOnlyWhileBusy; }

    void SetSearchText(const CMString& text);
    // The records that match the search text, in the engine's order: kOk, or the code of
    // the read that failed, and then out is empty (never part of the book). A busy book
    // is tried again after a short pause before it counts as failed.
    int Enumerate(RecordList& out, bool includeGroups);
    // Busy reads tried again since this wrapper was made.
    unsigned ReadsRetried() const { return m_readsRetried; }
    // The code of the last whole read (Enumerate, ForEachRecord).
    int LastReadCode() const { return m_lastReadCode; }
    // Every record of the file in the engine's order (entries, then groups), each handed
    // to visit as the engine filled it (the record is reused for the next one). kOk when
    // the engine told the end; otherwise the code of the call that failed, and what was
    // visited is only part of the file. -1 without an engine or an open file.
    int ForEachRecord(const std::function<void(const EngineRecord&)>& visit);

    // An empty record of the form in use, sized for this file.
    EngineRecord NewEngineRecord() const;
    int GetRecord(EngineRecord& record, const CMString& name, const CMString& fax, uint16_t id);
    int AddRecord(EngineRecord& record, bool showErrors);
    void ModifyRecord(uint16_t id, EngineRecord& record, int& code);
    int RemoveRecord(uint16_t id);
    void RemoveRecords(RecordList& records, std::vector<RemoveResult>& results);
    bool IsFull(int count, bool showMessage);

    // Bulk jobs. With an engine that has batches, the changes between BeginChanges and
    // EndChanges land in the file as one commit; without, each is stored at once as
    // before. Begin is true when a batch was opened (they nest). End is false when the
    // batch could not be written: nothing of it is stored, and with showErrors the
    // failure has been reported.
    bool BeginChanges();
    bool EndChanges(bool showErrors = true);
    // The code of the last BeginChanges or EndChanges that the engine refused (busy,
    // most likely); kOk after a batch began, or when the engine has none.
    int BatchRefusal() const { return m_batchRefusal; }
    // Tells the user that changes could not be written to the file (over the owner
    // window): "in use" for a busy book, else the save-failed text, whose kind says
    // whether some of them landed before the failure (possible only without a batch).
    void ShowChangeFailed(int code, bool partlyStored = false);
    void ShowSaveFailed() { ShowChangeFailed(-1); }
    // Tells the user that the open book could not be read: in use, or not readable.
    void ShowReadFailed(int code);
    // Tells the user that a book opened for a change is open for reading only: in use
    // by another program, or not openable for writing at all.
    void ShowNotWritable(const CMString& path);
    // The file's change counter, which any writer's commit moves; false with an engine
    // that has none.
    bool GetChangeCount(uint64_t& count);
    bool HasChangeCounter() const { return m_batch && (m_wideMode ? m_batch->countW != nullptr : m_batch->countA != nullptr); }

    // The undo log of the open book, which every change of it feeds: a batch is one
    // change, and a write outside one is a change of its own. Null when none is kept
    // (no settings folder, a book open for reading, an engine without batches).
    undo::Session* UndoLog();
    // Off for a book being made from another (a conversion's copy).
    void SetUndoKept(bool kept) { m_undoKept = kept; }
    // What the next change that commits is called in the log ("merge of 3 entries");
    // unlabelled changes are named by what they did.
    void LabelNextChange(const CMString& label);

    void ToMemoryRecord(const EngineRecord& record, RecordList& out) const;
    void ToEngineRecord(const PhonebookRecord& record, EngineRecord& out) const;

    // Group operations on the current record.
    bool ReadRecordById(uint16_t id);
    void ListGroupMembers(RecordList& out);
    bool CreateGroup(CMString& name, uint16_t* outId, bool showErrors);
    bool RenameGroup(const CMString& newName);
    bool AddGroupMember(uint16_t groupId, const CMString& name, const CMString& fax);
    bool AddGroupMembers(uint16_t groupId, const RecordList& records);
    int AddMemberById(uint16_t groupId, uint16_t entryId);
    int RemoveMemberById(uint16_t groupId, uint16_t entryId);
    const EngineRecord& CurrentRecord() const { return m_current; }
    void ReleaseCurrentRecord() { m_current = EngineRecord(); }

    bool IsOpen() const;
    bool IsReadOnly() const { return m_readOnly; }
    bool IsCurrentFormat() const { return m_currentFormat; }
    bool IsWideMode() const { return m_wideMode; }
    int Capacity() const { return m_capacity; }
    // The format's version bytes as the open file's header gives them.
    int VersionMajor() const { return m_headerW.versionMajor; }
    int VersionMinor() const { return m_headerW.versionMinor; }
    const CMString& GetPath() const { return m_path; }
    void SetPath(const CMString& path) { m_path = path; }

    // Copies every entry and group (with its members) of the older-format file at the
    // path into a new current-format file beside it; true when every record arrived.
    // No file is open afterwards, and a target left half filled is deleted.
    bool ConvertToCurrentFormat();
    // The same into the target path; progress, when given, hears after each record how
    // many of how many have been copied.
    bool ConvertToCurrentFormat(const CMString& target,
                                const std::function<void(size_t done, size_t total)>& progress = {});

    // Search terms of the set in use, as the engine reads them (null: no terms).
    const pbabi::PbTermSlotW* WideTerms() const;
    const pbabi::PbTermSlotA* AnsiTerms() const;

private:
    template <class Char>
    struct TermList;

    bool Fail(const CMString& path);
    void ShowReadFailed(int code, const CMString& path);
    int EnumerateOnce(RecordList& out, bool includeGroups);
    int ForEachRecordOnce(const std::function<void(const EngineRecord&)>& visit);
    // One engine call as the thread it comes from may make it (SetWindowThread,
    // SetUserReads); restartable tells whether a call that met a busy book may be made again.
    int Read(const std::function<int()>& call, const std::function<bool()>& restartable = {});
    // retryable: a busy answer changed nothing, so the call may be made again.
    int Change(const std::function<int()>& call, bool retryable = true);
    // A write outside a batch, made one batch of its own when the undo log is kept, so
    // that the log is written before it commits.
    int LoggedWrite(const std::function<int()>& write);
    // Runs a whole read again while it meets a busy book, a few times, briefly.
    int RetryBusy(const std::function<int()>& read, const std::function<bool()>& restartable = {});
    void CloseWide();
    void CloseAnsi();
    void PrepareCurrent();
    int ShowMessage(const CMString& caption, const CMString& message);
    void SetGroupName(EngineRecord& record, const CMString& name) const;

    HWND m_owner = nullptr;
    CMString m_path;
    bool m_readOnly = true;
    CMString m_enginePath;
    bool m_engineFound = false;
    bool m_engineLoaded = false;
    HMODULE m_module = nullptr;
    std::unique_ptr<WideCalls> m_wide;
    std::unique_ptr<AnsiCalls> m_ansi;
    std::unique_ptr<ChangeCalls> m_batch;
    bool m_windowThread = false;
    bool m_userReads = false;
    int m_lastCode = -1;
    bool m_readOnlyWhileBusy = false;
    unsigned m_readsRetried = 0;
    int m_lastReadCode = -1;
    int m_batchDepth = 0;
    int m_batchRefusal = 0;
    bool m_wideMode = true;
    bool m_currentFormat = true;
    int m_capacity = 0;
    pbabi::PbHeaderW m_headerW = {};
    pbabi::PbHeaderA m_headerA = {};
    EngineRecord m_current;
    std::unique_ptr<TermList<pbabi::WChar>> m_termsW;
    std::unique_ptr<TermList<char>> m_termsA;
    std::unique_ptr<undo::Session> m_undo;
    CMString m_undoPath;
    bool m_undoKept = true;
};

// One bulk job's batch on a wrapper: ended by End, which tells whether it landed, or
// else when it goes out of scope.
class ChangeBatch {
public:
    explicit ChangeBatch(PhonebookDB& db, bool wanted = true)
        : m_db(db), m_open(wanted && db.BeginChanges()), m_refusal(wanted && !m_open ? db.BatchRefusal() : 0) {}
    ~ChangeBatch() { End(); }
    ChangeBatch(const ChangeBatch&) = delete;
    ChangeBatch& operator=(const ChangeBatch&) = delete;
    bool End(bool showErrors = true) {
        if (m_open) {
            m_open = false;
            m_landed = m_db.EndChanges(showErrors);
        }
        return m_landed;
    }
    bool IsOpen() const { return m_open; }
    // The engine's code when it has batches and would not begin one (a busy book):
    // the job must not go on change by change. kOk otherwise.
    int Refusal() const { return m_refusal; }

private:
    PhonebookDB& m_db;
    bool m_open;
    int m_refusal;
    bool m_landed = true;
};

// Reads for a job the user asked for, for as long as the job runs (SetUserReads).
class UserReads {
public:
    explicit UserReads(PhonebookDB& db) : m_db(db), m_previous(db.SetUserReads(true)) {}
    ~UserReads() { m_db.SetUserReads(m_previous); }
    UserReads(const UserReads&) = delete;
    UserReads& operator=(const UserReads&) = delete;

private:
    PhonebookDB& m_db;
    bool m_previous;
};

// The wrapper's messages over another window for a while (a dialog over the disabled
// main window, which stays open after them).
class OwnerScope {
public:
    OwnerScope(PhonebookDB& db, HWND owner) : m_db(db), m_previous(db.OwnerWindow()) {
        if (owner) db.SetOwnerWindow(owner);
    }
    ~OwnerScope() { m_db.SetOwnerWindow(m_previous); }
    OwnerScope(const OwnerScope&) = delete;
    OwnerScope& operator=(const OwnerScope&) = delete;

private:
    PhonebookDB& m_db;
    HWND m_previous;
};
