#include "UndoCommand.h"

#include <windows.h>

#include <ctime>
#include <string>

#include "BookJobs.h"
#include "Console.h"
#include "controls/MessageDialog.h"
#include "data/PhonebookDB.h"
#include "undo/UndoSession.h"

namespace pbtool {

namespace {

std::wstring W(const CMString& text) { return std::wstring(text.view()); }

std::string JsonString(const CMString& text) {
    std::string out = "\"";
    for (char c : text.ToUtf8()) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escaped;
        } else out += c;
    }
    return out + "\"";
}

std::wstring When(int64_t time) {
    const std::time_t t = static_cast<std::time_t>(time);
    std::tm* utc = std::gmtime(&t);
    wchar_t text[32] = L"?";
    if (utc) wcsftime(text, 32, L"%Y-%m-%d %H:%M:%S UTC", utc);
    return text;
}

const char* ConflictKindName(undo::ConflictKind kind) {
    switch (kind) {
    case undo::ConflictKind::ChangedSince: return "changed-since";
    case undo::ConflictKind::GoneSince: return "removed-since";
    case undo::ConflictKind::NameTaken: return "name-taken";
    }
    return "";
}

std::string PlanJson(const undo::UndoPlan& p) {
    std::string out = "{\"restored\":" + std::to_string(p.addEntries.size()) +
                      ",\"reverted\":" + std::to_string(p.revert.size()) +
                      ",\"removed\":" + std::to_string(p.removeEntries.size()) +
                      ",\"groupsMade\":" + std::to_string(p.makeGroups.size()) +
                      ",\"groupsRemoved\":" + std::to_string(p.removeGroups.size()) +
                      ",\"memberships\":" + std::to_string(p.memberships.size()) + ",\"conflicts\":[";
    for (size_t i = 0; i < p.conflicts.size(); ++i) {
        if (i) out += ',';
        out += std::string("{\"kind\":\"") + ConflictKindName(p.conflicts[i].kind) +
               "\",\"name\":" + JsonString(p.conflicts[i].name) + "}";
    }
    return out + "]}";
}

// The book's messages have no screen here: the exit code and pbtool's line tell.
struct NoScreen {
    NoScreen() {
        SetMessageSink([](const CMString&, const CMString&, UINT style) {
            const UINT type = style & MB_TYPEMASK;
            return type == MB_YESNO ? IDNO : type == MB_OKCANCEL ? IDCANCEL : IDOK;
        });
    }
    ~NoScreen() { SetMessageSink({}); }
};

}  // namespace

int UndoCommand(int argc, wchar_t** argv) {
    std::wstring book;
    bool list = false, dryRun = false, json = false;
    uint32_t id = 0;
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--list") list = true;
        else if (arg == L"--dry-run") dryRun = true;
        else if (arg == L"--json") json = true;
        else if (arg == L"--id" && i + 1 < argc) {
            wchar_t* end = nullptr;
            const unsigned long n = wcstoul(argv[++i], &end, 10);
            if (!end || *end || n == 0) return Fail(kExitUsage, L"--id needs the number of a change (see --list)");
            id = static_cast<uint32_t>(n);
        } else if (!arg.empty() && arg[0] == L'-') return Fail(kExitUsage, L"unknown option " + arg);
        else if (book.empty()) book = arg;
        else return Fail(kExitUsage, L"undo takes one book");
    }
    if (book.empty()) return Fail(kExitUsage, L"undo needs a book");
    if (json && !list && !dryRun) return Fail(kExitUsage, L"--json goes with --list or --dry-run");
    if (!LoadLanguage()) return kExitFailed;
    NoScreen noScreen;
    PhonebookDB db;
    if (!db.LoadEngine()) return Fail(kExitFailed, L"the engine cannot be loaded");
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    // Even a list settles a change left pending, which takes writing the log only.
    if (!db.Open(book.c_str(), 0, 0)) {
        if (db.LastCode() == pbabi::kBusy) return kExitBusy;
        return Fail(kExitFailed, L"cannot open " + book + L" (engine code " + std::to_wstring(db.LastCode()) + L")");
    }
    if (db.IsReadOnly()) return db.OpenedReadOnlyWhileBusy() ? kExitBusy : Fail(kExitFailed, book + L" cannot be changed");
    undo::Session* log = db.UndoLog();
    if (!log) return Fail(kExitFailed, L"no undo log can be kept for " + book);
    if (list) {
        const std::vector<undo::Change> changes = log->Changes();
        if (json) {
            std::string out = "[";
            for (size_t i = 0; i < changes.size(); ++i) {
                const undo::Change& c = changes[i];
                if (i) out += ',';
                out += "{\"id\":" + std::to_string(c.serial) + ",\"time\":" + std::to_string(c.time) +
                       ",\"label\":" + JsonString(c.label) + ",\"added\":" + std::to_string(c.added.size()) +
                       ",\"updated\":" + std::to_string(c.updated.size()) +
                       ",\"removed\":" + std::to_string(c.removed.size()) + "}";
            }
            out += "]";
            Say(W(CMString::FromUtf8(out)));
            return kExitOk;
        }
        // Newest first, as they would be taken back.
        for (auto it = changes.rbegin(); it != changes.rend(); ++it)
            Say(std::to_wstring(it->serial) + L"\t" + When(it->time) + L"\t" + W(it->label));
        return kExitOk;
    }
    const undo::Session::Outcome outcome = log->TakeBack(id, dryRun);
    if (!outcome.found)
        return Fail(kExitFailed, id ? L"there is no change " + std::to_wstring(id) + L" to undo" : L"there is nothing to undo");
    if (!outcome.read) return db.LastReadCode() == pbabi::kBusy ? kExitBusy : Fail(kExitFailed, L"cannot read " + book);
    if (json) {
        Say(W(CMString::FromUtf8(PlanJson(outcome.plan))));
        return kExitOk;
    }
    Say(W(undo::PlanSummary(outcome.plan)));
    if (!outcome.plan.conflicts.empty()) Say(W(undo::ConflictList(outcome.plan)));
    if (dryRun) return kExitOk;
    if (outcome.plan.Empty()) return Fail(kExitFailed, L"nothing of it can be undone: the book has changed since");
    if (!outcome.stored) return db.BatchRefusal() == pbabi::kBusy ? kExitBusy : Fail(kExitFailed, L"the undo could not be written");
    if (outcome.applied.failed) return Fail(kExitFailed, std::to_wstring(outcome.applied.failed) + L" changes of the undo were refused");
    return kExitOk;
}

}  // namespace pbtool
