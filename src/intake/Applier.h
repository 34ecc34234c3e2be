#pragma once
// Records from a source into the open book: the book's snapshot, the plan, the check,
// and the plan carried out in one batch with every engine result checked. The import
// dialog and pbtool call this with what a source read; it alone changes the book.
#include <windows.h>

#include <cstdint>

#include "controls/MessageDialog.h"
#include "intake/core/Plan.h"

class CPhonebook;

namespace intake {

struct Outcome {
    // False when the book itself could not be read: nothing was planned or changed.
    bool bookRead = false;
    Plan plan;
    // What the book took: the plan's counts, less what it refused while it was carried out.
    delimited::ImportCounters counts;
    // Changes the book refused (adds, updates, removals, groups, memberships).
    uint32_t failed = 0;
    // The batch landed. False for a dry run, a refused plan, and a batch the book could
    // not write (then nothing of it is stored and the counts of changes are 0).
    bool stored = false;
    // Another program was changing the book: it could not be read, or the batch could
    // not begin or land. Nothing was changed, and the same job may succeed in a moment.
    bool busy = false;
    // Milliseconds spent reading the book and planning, and carrying the plan out.
    double planMs = 0, applyMs = 0;
};

// The book's entries and groups in the form it keeps them: kOk, or the engine's code
// of the read that failed.
int TakeSnapshot(CPhonebook& model, Snapshot& out);

class Applier {
public:
    explicit Applier(CPhonebook& model, HWND owner = nullptr) : m_model(model), m_owner(owner) {}
    // What the records came from ("staff.csv", a directory's server): the undo log
    // names the change by it.
    // A file's path is named by its file name.
    void SetSourceName(const CMString& name);

    // Plans the records against the book and, unless it is a dry run or the plan is
    // refused, carries the plan out in one batch.
    Outcome Run(const SourceRead& read, const Options& options, bool dryRun = false);

    // The import's summary of an outcome: empty when every record read was imported (an
    // import that updates always has one). capacity: the book's, for the full-book text.
    // cutShort: what to say of a source not read to its end; empty: a file's text.
    static CMString SummaryText(const Outcome& outcome, unsigned capacity, const CMString& cutShort = CMString());
    // Shows it over the owner window when there is one to show; what was shown.
    MessageSource ShowSummary(const Outcome& outcome, unsigned capacity, const CMString& cutShort = CMString()) const;

private:
    void Apply(Outcome& outcome);

    CPhonebook& m_model;
    HWND m_owner;
    CMString m_source;
};

}  // namespace intake
