#pragma once
// A plan as a dry run shows it: the counts, then one line per change; or all of it as
// one JSON object for scripts.
#include <string>
#include <vector>

#include "intake/core/Plan.h"

namespace intake {

// "12 read, 2 added, ..." in the words pbtool uses, with the counts given (the plan's,
// or what the book took of it); entries left alone or kept, and groups without room,
// when there are any.
std::wstring CountsText(const Plan& plan, const delimited::ImportCounters& counts);
inline std::wstring CountsText(const Plan& plan) { return CountsText(plan, plan.counts); }
// One line per add (with the groups it joins), update (with the fields that change),
// removal, join and leave of an entry the book has, and new group.
std::vector<std::wstring> ChangeLines(const Plan& plan);
// One line per entry left alone or kept, and per group without room: what a job that
// changed the book tells besides its counts.
std::vector<std::wstring> NoteLines(const Plan& plan);
// {"counts":{...},"refusal":"...","adds":[...],"updates":[...],"removals":[...],
// "groups":[...],"joins":[...],"leaves":[...],"leftAlone":[...],"kept":[...],
// "groupsWithoutRoom":[...]}, UTF-8. Given the records the plan was made of, an add,
// update, entry left alone or kept names its record's "uid" when the source gave one.
std::string PlanJson(const Plan& plan, const std::vector<Record>* records = nullptr);
// The refusal's word in the JSON: "none", "read-failed", ...
const char* RefusalName(Refusal refusal);

}  // namespace intake
