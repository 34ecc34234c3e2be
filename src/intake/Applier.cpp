#include "intake/Applier.h"

#include <chrono>
#include <vector>

#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "data/EngineCalls.h"
#include "resources/text_ids.h"
#include "util/Handles.h"

namespace intake {

namespace {

constexpr uint16_t kNone = 0;

// The form an ANSI book keeps a text in: through the code page and back, cut in bytes.
CMString ThroughAnsi(std::wstring_view text, size_t maxBytes) { return CMString::FromAnsi(AnsiCut(CMString(text), maxBytes)); }

}  // namespace

int TakeSnapshot(CPhonebook& model, Snapshot& out) {
    PhonebookDB& db = model.Database();
    out = Snapshot();
    out.capacity = static_cast<size_t>(std::max(db.Capacity(), 0));
    out.listFull = model.GetItemCount() >= db.Capacity();
    if (!db.IsWideMode()) out.form.ansi = ThroughAnsi;
    const int code = db.ForEachRecord([&](const EngineRecord& record) {
        if (record.Kind() == pbabi::kKindGroup) {
            SnapshotGroup& g = out.groups.emplace_back();
            g.id = record.Id();
            g.name = WithoutBrackets(NameOf(record));
            for (int i = 0; i < record.MemberCount(); ++i) g.members.push_back(record.Member(i));
            return;
        }
        SnapshotEntry& e = out.entries.emplace_back();
        e.id = record.Id();
        e.fields.name = NameOf(record);
        e.fields.fax = FaxOf(record);
        e.fields.organization = ExtensionOf(record, pbabi::kExtOrganization);
        e.fields.phone = ExtensionOf(record, pbabi::kExtPhone);
        e.fields.email = ExtensionOf(record, pbabi::kExtEmail);
        e.fields.mailbox = ExtensionOf(record, pbabi::kExtMailbox);
    });
    return code;
}

Outcome Applier::Run(const SourceRead& read, const Options& options, bool dryRun) {
    Outcome outcome;
    const auto start = std::chrono::steady_clock::now();
    auto msSince = [](std::chrono::steady_clock::time_point t) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
    };
    Snapshot book;
    const int bookCode = TakeSnapshot(m_model, book);
    outcome.bookRead = bookCode == pbabi::kOk;
    if (!outcome.bookRead) {
        outcome.busy = bookCode == pbabi::kBusy;
        if (outcome.busy && !dryRun) {
            OwnerScope owner(m_model.Database(), m_owner);
            m_model.Database().ShowChangeFailed(bookCode);
        }
        return outcome;
    }
    outcome.plan = MakePlan(book, read, options);
    outcome.counts = outcome.plan.counts;
    outcome.planMs = msSince(start);
    if (dryRun || outcome.plan.refusal != Refusal::None) return outcome;
    WaitCursor wait;
    const auto applying = std::chrono::steady_clock::now();
    Apply(outcome);
    outcome.applyMs = msSince(applying);
    return outcome;
}

void Applier::SetSourceName(const CMString& name) {
    std::wstring text(name.view());
    const size_t slash = text.find_last_of(L"\\/");
    if (text.find(L"://") == std::wstring::npos && slash != std::wstring::npos) text = text.substr(slash + 1);
    m_source = CMString(text);
}

void Applier::Apply(Outcome& outcome) {
    const Plan& plan = outcome.plan;
    delimited::ImportCounters& counts = outcome.counts;
    PhonebookDB& db = m_model.Database();
    OwnerScope owner(db, m_owner);
    ChangeBatch batch(db);
    if (batch.Refusal() != pbabi::kOk) {
        // Change by change would leave half a sync behind: nothing is tried.
        outcome.busy = batch.Refusal() == pbabi::kBusy;
        db.ShowChangeFailed(batch.Refusal());
        counts.imported = counts.updated = counts.removed = 0;
        return;
    }
    // Removals first: the room they leave is what the adds were planned with.
    for (const PlannedRemoval& removal : plan.removals) {
        if (db.RemoveRecord(removal.id) == pbabi::kOk) continue;
        --counts.removed;
        ++outcome.failed;
    }
    for (const PlannedUpdate& u : plan.updates) {
        const delimited::EntryFields& f = u.after;
        // In place, so the entry keeps its id and its groups.
        if (m_model.ModifyFromFields(u.id, f.name, f.fax, f.organization, f.phone, f.email, f.mailbox) == pbabi::kOk)
            continue;
        --counts.updated;
        ++counts.other;
        ++outcome.failed;
    }
    std::vector<uint16_t> added(plan.adds.size(), kNone);
    for (size_t i = 0; i < plan.adds.size(); ++i) {
        const delimited::EntryFields& f = plan.adds[i].fields;
        const int code = m_model.AddFromFields(f.name, f.fax, f.organization, f.phone, f.email, f.mailbox, false, false,
                                               &added[i]);
        if (code == pbabi::kOk) continue;
        added[i] = kNone;
        --counts.imported;
        // What another writer changed since the snapshot is told as the import tells it.
        if (code == pbabi::kFull) ++counts.full;
        else if (code == pbabi::kNameInUse && plan.mode == Mode::Add) ++counts.alreadyPresent;
        else ++counts.other, ++outcome.failed;
    }
    std::vector<uint16_t> made(plan.newGroups.size(), kNone);
    for (size_t i = 0; i < plan.newGroups.size(); ++i) {
        CMString name = plan.newGroups[i];
        if (!db.CreateGroup(name, &made[i], false)) {
            made[i] = kNone;
            ++outcome.failed;
        }
    }
    for (const Membership& m : plan.memberships) {
        const uint16_t group = m.group.planned ? made[m.group.value] : static_cast<uint16_t>(m.group.value);
        const uint16_t entry = m.entry.planned ? added[m.entry.value] : static_cast<uint16_t>(m.entry.value);
        // A group or entry that could not be made was counted already.
        if (group == kNone || entry == kNone) continue;
        if (db.AddMemberById(group, entry) != pbabi::kOk) ++outcome.failed;
    }
    for (const Membership& m : plan.leaves)
        if (db.RemoveMemberById(static_cast<uint16_t>(m.group.value), static_cast<uint16_t>(m.entry.value)) != pbabi::kOk)
            ++outcome.failed;
    // The undo log names the change by what it did.
    const unsigned labelId = plan.mode == Mode::Sync     ? IDS_UNDO_LABEL_SYNC
                             : plan.mode == Mode::Update ? IDS_UNDO_LABEL_UPDATE
                                                         : IDS_UNDO_LABEL_IMPORT;
    const CMString source = m_source.IsEmpty() ? CMString(L"?") : m_source;
    db.LabelNextChange(CMString::Formatted(app::Text(labelId).c_str(), source.c_str(), unsigned{counts.imported},
                                           unsigned{counts.updated}, unsigned{counts.removed}));
    outcome.stored = batch.End();
    if (!outcome.stored) {
        outcome.busy = db.BatchRefusal() == pbabi::kBusy;
        counts.imported = counts.updated = counts.removed = 0;
    }
}

namespace {

// Up to a few names, then how many more.
CMString NameList(const std::vector<const CMString*>& names) {
    constexpr size_t kShown = 5;
    CMString list;
    for (size_t i = 0; i < names.size() && i < kShown; ++i) list += (i ? L", " : L"") + *names[i];
    if (names.size() > kShown)
        list = CMString::Formatted(app::Text(IDS_INTAKE_MORE).c_str(), list.c_str(), unsigned(names.size() - kShown));
    return list;
}

template <typename T, typename F>
std::vector<const CMString*> Names(const std::vector<T>& items, F&& name) {
    std::vector<const CMString*> out;
    for (const T& item : items) out.push_back(&name(item));
    return out;
}

}  // namespace

CMString Applier::SummaryText(const Outcome& outcome, unsigned capacity, const CMString& cutShort) {
    const Plan& plan = outcome.plan;
    delimited::ImportCounters counts = outcome.counts;
    const bool toldCutShort = counts.readFailed && !cutShort.IsEmpty();
    if (toldCutShort) counts.readFailed = false;
    CMString text = delimited::ImportSummary(counts, capacity, app::Text, plan.mode != Mode::Add);
    if (toldCutShort) text = text.IsEmpty() ? cutShort : cutShort + L"\n\n" + text;
    auto add = [&](const CMString& line) {
        if (!text.IsEmpty()) text += L"\n\n";
        text += line;
    };
    auto nameOf = [](const Untouched& u) -> const CMString& { return u.name; };
    if (!plan.leftAlone.empty())
        add(CMString::Formatted(app::Text(IDS_INTAKE_LEFT_ALONE).c_str(), unsigned(plan.leftAlone.size()),
                                plan.managedGroup.c_str(), NameList(Names(plan.leftAlone, nameOf)).c_str()));
    if (!plan.kept.empty())
        add(CMString::Formatted(app::Text(IDS_INTAKE_KEPT).c_str(), unsigned(plan.kept.size()),
                                NameList(Names(plan.kept, nameOf)).c_str()));
    if (!plan.groupsWithoutRoom.empty())
        add(CMString::Formatted(app::Text(IDS_INTAKE_GROUPS_NO_ROOM).c_str(), unsigned(plan.groupsWithoutRoom.size()),
                                NameList(Names(plan.groupsWithoutRoom, [](const CMString& g) -> const CMString& { return g; }))
                                    .c_str()));
    if (outcome.failed > 0) {
        if (!text.IsEmpty()) text += L"\n\n";
        text += CMString::Formatted(app::Text(IDS_IMPORT_CHANGES_FAILED).c_str(), unsigned{outcome.failed});
    }
    return text;
}

MessageSource Applier::ShowSummary(const Outcome& outcome, unsigned capacity, const CMString& cutShort) const {
    MessageSource summary;
    // A busy book has been told, and nothing was changed: no counts to give.
    if (outcome.busy) return summary;
    summary.message = SummaryText(outcome, capacity, cutShort);
    if (summary.message.IsEmpty()) return summary;
    summary.caption = app::Text(IDS_IMPORT_CAPTION);
    summary.button = app::Text(IDS_CLOSE);
    ShowMessageDialog(m_owner, &summary, MessageDialogKind::Notice);
    return summary;
}

}  // namespace intake
