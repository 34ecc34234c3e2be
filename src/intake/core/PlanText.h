#pragma once
// A plan as a dry run shows it: the counts, then one line per change; or all of it as
// one JSON object for scripts.
#include <string>
#include <vector>

#include "intake/core/Plan.h"

namespace intake {

// "12 read, 2 added, ..." in the words pbtool uses.
std::wstring CountsText(Mode mode, const delimited::ImportCounters& counts);
inline std::wstring CountsText(const Plan& plan) { return CountsText(plan.mode, plan.counts); }
// One line per add, update (with the fields that change), removal and new group.
std::vector<std::wstring> ChangeLines(const Plan& plan, const SourceRead& read);
// {"counts":{...},"refusal":"...","adds":[...],"updates":[...],"removals":[...],"groups":[...]}, UTF-8.
std::string PlanJson(const Plan& plan, const SourceRead& read);
// The refusal's word in the JSON: "none", "read-failed", ...
const char* RefusalName(Refusal refusal);

}  // namespace intake
