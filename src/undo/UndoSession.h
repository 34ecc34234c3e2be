#pragma once
// The undo log of one open book: kept beside the user's settings (one file per book,
// named by the book's full path, and holding the file's identity so that another file
// put at that path does not take the log over), fed by the storage wrapper's writes,
// and the step back that takes a logged change back in one commit.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "undo/core/Change.h"
#include "undo/core/UndoPlan.h"
#include "undo/core/Recorder.h"
#include "util/CMString.h"

class PhonebookDB;
struct EngineRecord;

namespace undo {

// A record of the engine as the undo log reads it.
Item ItemOfRecord(const EngineRecord& record);

// The folder of the undo logs: %APPDATA%\Morva\PhoneBookEditor\Undo (empty: no log).
CMString LogFolder();
// What tells one file from another at the same path: volume and file index.
std::string FileIdentity(const CMString& path);

class Session {
public:
    explicit Session(PhonebookDB& db);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The log of the book the wrapper has open (false: none can be kept for it).
    bool Attach();
    const CMString& LogPath() const { return m_logPath; }

    // The wrapper's outermost batch began / is about to commit / has committed or not.
    void BatchBegan();
    void BeforeCommit();
    void AfterCommit(bool landed);
    void BatchDiscarded();
    Recorder& Record() { return m_recorder; }

    // The label the next change that commits is logged with (empty: one made from
    // what it did).
    void SetLabel(const CMString& label) { m_label = label; }

    // The changes on file that can be taken back, newest last (undone ones and undos
    // themselves left out unless all is set). A change found pending is settled first.
    std::vector<Change> Changes(bool all = false);
    // The book as it is now, for a plan.
    bool ReadBook(std::vector<Item>& out);

    struct Outcome {
        bool found = false;    // there was such a change
        bool read = false;     // the book could be read
        bool stored = false;   // the undo landed
        UndoPlan plan;
        ApplyResult applied;
    };
    // Plans taking back the change (0: the newest that can be) and, unless dryRun or
    // a caller's confirm says no, carries it out in one commit, logged as a change.
    Outcome TakeBack(uint32_t serial, bool dryRun, const std::function<bool(const Change&, const UndoPlan&)>& confirm = {});

private:
    void Settle(std::vector<Change>& changes);
    bool Append(const std::string& text);
    void Compact(std::vector<Change> changes);
    CMString MakeLabel(const Change& change) const;

    PhonebookDB& m_db;
    std::unique_ptr<BookReader> m_reader;
    Recorder m_recorder;
    CMString m_logPath;
    CMString m_bookPath;
    std::string m_identity;
    CMString m_label;
    uint32_t m_nextSerial = 1;
    // The change written and waiting for its commit; the change an undo takes back.
    uint32_t m_pendingSerial = 0;
    uint32_t m_undoing = 0;
    size_t m_onFile = 0;
};

// Texts of changes, in the language in use.
CMString PlanSummary(const UndoPlan& plan);
CMString ConflictList(const UndoPlan& plan);

}  // namespace undo
