#include "undo/UndoCommand.h"

#include "app/AppGlobals.h"
#include "controls/MessageBoxes.h"
#include "data/CPhonebook.h"
#include "resources/resource.h"
#include "undo/UndoSession.h"
#include "util/Handles.h"

namespace undo {

MenuItem UndoMenuItem(CPhonebook* model, bool editable) {
    MenuItem item;
    item.text = app::Text(IDS_UNDO_MENU_NONE);
    if (!model || !editable || !model->HasOpenFile()) return item;
    Session* log = model->Database().UndoLog();
    if (!log) return item;
    const std::vector<Change> changes = log->Changes();
    if (changes.empty()) return item;
    // A menu item's "&" would underline the next letter of the label.
    CMString label = changes.back().label;
    label.Replace(L"&", L"&&");
    item.text = CMString::Formatted(app::Text(IDS_UNDO_MENU).c_str(), label.c_str());
    item.enabled = true;
    return item;
}

void RunUndoCommand(HWND owner, CPhonebook& model) {
    if (!model.HasOpenFile()) return;
    PhonebookDB& db = model.Database();
    Session* log = db.UndoLog();
    if (!log) return;
    OwnerScope scope(db, owner);
    const CMString caption = app::Text(IDS_UNDO_CAPTION);
    bool confirmed = false;
    const Session::Outcome outcome = log->TakeBack(0, false, [&](const Change& change, const UndoPlan& plan) {
        if (plan.Empty()) {
            ShowMessageBox(owner, CMString::Formatted(app::Text(IDS_UNDO_NOTHING_LEFT).c_str(), change.label.c_str()),
                           caption, MB_OK | MB_ICONINFORMATION);
            return false;
        }
        CMString question =
            CMString::Formatted(app::Text(IDS_UNDO_CONFIRM).c_str(), change.label.c_str(), PlanSummary(plan).c_str());
        if (!plan.conflicts.empty())
            question += L"\n\n" + CMString::Formatted(app::Text(IDS_UNDO_CONFLICTS).c_str(), ConflictList(plan).c_str());
        confirmed = ShowMessageBox(owner, question, caption, MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) == IDOK;
        return confirmed;
    });
    if (!outcome.read && outcome.found) db.ShowReadFailed(db.LastReadCode());
    else if (confirmed && !outcome.stored) db.ShowChangeFailed(db.BatchRefusal());
    model.Refresh(true);
}

}  // namespace undo
