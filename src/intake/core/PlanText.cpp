#include "intake/core/PlanText.h"

#include <cstdio>

#include "util/core/Utf.h"

namespace intake {

namespace {

using delimited::Column;
using delimited::EntryFields;

struct FieldName {
    Column column;
    const wchar_t* wide;
    const char* json;
};
constexpr FieldName kFieldNames[] = {
    {Column::Name, L"name", "name"},          {Column::Fax, L"fax", "fax"},
    {Column::Organization, L"organization", "organization"}, {Column::Phone, L"phone", "phone"},
    {Column::Email, L"email", "email"},       {Column::Mailbox, L"mailbox", "mailbox"},
};

std::wstring Quoted(const CMString& text) { return L"\"" + text.str() + L"\""; }

std::string Json(std::wstring_view text) {
    std::string out = "\"";
    for (char c : mrv::WideToUtf8(text)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string Json(const CMString& text) { return Json(text.view()); }

// The groups each add joins, by the add's index.
std::vector<std::vector<const CMString*>> AddGroups(const Plan& plan) {
    std::vector<std::vector<const CMString*>> out(plan.adds.size());
    for (const Membership& m : plan.memberships)
        if (m.entry.planned && m.entry.value < out.size()) out[m.entry.value].push_back(&GroupName(plan, m.group));
    return out;
}

std::wstring EntryText(const Plan& plan, const Ref& entry) {
    return (entry.planned ? L"new " : L"#" + std::to_wstring(entry.value) + L" ") + Quoted(EntryName(plan, entry));
}

std::string MembershipJson(const Plan& plan, const Membership& m) {
    return std::string(m.entry.planned ? "{\"add\":" : "{\"id\":") + std::to_string(m.entry.value) +
           ",\"name\":" + Json(EntryName(plan, m.entry)) + ",\"group\":" + Json(GroupName(plan, m.group)) + "}";
}

template <typename T, typename F>
std::string ListJson(const std::vector<T>& items, F&& each) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + each(items[i]);
    return out + "]";
}

}  // namespace

const char* RefusalName(Refusal refusal) {
    switch (refusal) {
        case Refusal::ReadFailed: return "read-failed";
        case Refusal::NothingAccepted: return "nothing-accepted";
        case Refusal::TooManyRemoved: return "too-many-removed";
        case Refusal::NoRoom: return "no-room";
        case Refusal::None: break;
    }
    return "none";
}

std::wstring CountsText(const Plan& plan, const delimited::ImportCounters& c) {
    auto n = [](size_t v) { return std::to_wstring(v); };
    std::wstring text;
    if (plan.mode == Mode::Add) {
        text = n(c.read) + L" read, " + n(c.imported) + L" imported, " + n(c.rejected) + L" rejected, " +
               n(c.alreadyPresent) + L" already present, " + n(c.full) + L" without room";
    } else {
        text = n(c.read) + L" read, " + n(c.imported) + L" added, " + n(c.updated) + L" updated, " + n(c.unchanged) +
               L" unchanged, ";
        if (plan.mode == Mode::Sync) text += n(c.removed) + L" removed, ";
        text += n(c.rejected) + L" rejected, " + n(c.full) + L" without room";
    }
    if (!plan.leftAlone.empty()) text += L", " + n(plan.leftAlone.size()) + L" left alone";
    if (!plan.kept.empty()) text += L", " + n(plan.kept.size()) + L" kept";
    if (!plan.groupsWithoutRoom.empty()) text += L", " + n(plan.groupsWithoutRoom.size()) + L" groups without room";
    return text;
}

std::vector<std::wstring> ChangeLines(const Plan& plan) {
    std::vector<std::wstring> lines;
    const auto addGroups = AddGroups(plan);
    for (size_t i = 0; i < plan.adds.size(); ++i) {
        const PlannedAdd& add = plan.adds[i];
        std::wstring line = L"add: " + Quoted(add.fields.name) + L", fax " + Quoted(add.fields.fax);
        for (const CMString* g : addGroups[i]) line += L", group " + Quoted(*g);
        lines.push_back(line);
    }
    for (const PlannedUpdate& u : plan.updates) {
        std::wstring line = L"update #" + std::to_wstring(u.id) + L" " + Quoted(u.before.name) + L":";
        for (const FieldName& f : kFieldNames)
            if (u.changed & Bit(f.column))
                line += std::wstring(L" ") + f.wide + L" " + Quoted(FieldOf(u.before, f.column)) + L" -> " +
                        Quoted(FieldOf(u.after, f.column)) + L";";
        line.pop_back();
        lines.push_back(line);
    }
    for (const PlannedRemoval& r : plan.removals)
        lines.push_back(L"remove #" + std::to_wstring(r.id) + L" " + Quoted(r.name) + L", fax " + Quoted(r.fax));
    for (const CMString& g : plan.newGroups) lines.push_back(L"new group: " + Quoted(g));
    for (const Membership& m : plan.memberships)
        if (!m.entry.planned)
            lines.push_back(L"join " + EntryText(plan, m.entry) + L": group " + Quoted(GroupName(plan, m.group)));
    for (const Membership& m : plan.leaves)
        lines.push_back(L"leave " + EntryText(plan, m.entry) + L": group " + Quoted(GroupName(plan, m.group)));
    for (const std::wstring& line : NoteLines(plan)) lines.push_back(line);
    return lines;
}

std::vector<std::wstring> NoteLines(const Plan& plan) {
    std::vector<std::wstring> lines;
    for (const Untouched& u : plan.leftAlone)
        lines.push_back(L"left alone #" + std::to_wstring(u.id) + L" " + Quoted(u.name) + L": not in group " +
                        Quoted(plan.managedGroup));
    for (const Untouched& u : plan.kept)
        lines.push_back(L"kept #" + std::to_wstring(u.id) + L" " + Quoted(u.name) + L": its record was rejected");
    for (const CMString& g : plan.groupsWithoutRoom) lines.push_back(L"no room for group " + Quoted(g));
    return lines;
}

std::string PlanJson(const Plan& plan, const std::vector<Record>* records) {
    // ,"uid":"..." for a record whose source names it; nothing otherwise, as before.
    auto uid = [records](uint32_t record) {
        if (!records || record >= records->size() || (*records)[record].uid.IsEmpty()) return std::string();
        return ",\"uid\":" + Json((*records)[record].uid);
    };
    const delimited::ImportCounters& c = plan.counts;
    std::string out = "{\"counts\":{";
    out += "\"read\":" + std::to_string(c.read) + ",\"added\":" + std::to_string(c.imported) +
           ",\"updated\":" + std::to_string(c.updated) + ",\"unchanged\":" + std::to_string(c.unchanged) +
           ",\"removed\":" + std::to_string(c.removed) + ",\"rejected\":" + std::to_string(c.rejected) +
           ",\"alreadyPresent\":" + std::to_string(c.alreadyPresent) + ",\"withoutRoom\":" + std::to_string(c.full) +
           ",\"other\":" + std::to_string(c.other) + ",\"leftAlone\":" + std::to_string(plan.leftAlone.size()) +
           ",\"kept\":" + std::to_string(plan.kept.size()) + "}";
    out += ",\"readToEnd\":" + std::string(c.readFailed ? "false" : "true");
    out += ",\"refusal\":\"" + std::string(RefusalName(plan.refusal)) + "\",\"adds\":[";
    const auto addGroups = AddGroups(plan);
    for (size_t i = 0; i < plan.adds.size(); ++i) {
        const PlannedAdd& a = plan.adds[i];
        out += i ? ",{" : "{";
        for (const FieldName& f : kFieldNames)
            out += std::string(f.column == Column::Name ? "" : ",") + "\"" + f.json + "\":" + Json(FieldOf(a.fields, f.column));
        out += uid(a.record) + ",\"groups\":[";
        for (size_t g = 0; g < addGroups[i].size(); ++g) out += (g ? "," : "") + Json(*addGroups[i][g]);
        out += "]}";
    }
    out += "],\"updates\":[";
    for (size_t i = 0; i < plan.updates.size(); ++i) {
        const PlannedUpdate& u = plan.updates[i];
        out += std::string(i ? "," : "") + "{\"id\":" + std::to_string(u.id) + ",\"name\":" + Json(u.before.name) +
               uid(u.record) + ",\"changes\":{";
        bool first = true;
        for (const FieldName& f : kFieldNames) {
            if (!(u.changed & Bit(f.column))) continue;
            out += std::string(first ? "" : ",") + "\"" + f.json + "\":{\"from\":" + Json(FieldOf(u.before, f.column)) +
                   ",\"to\":" + Json(FieldOf(u.after, f.column)) + "}";
            first = false;
        }
        out += "}}";
    }
    out += "],\"removals\":" + ListJson(plan.removals, [](const PlannedRemoval& r) {
        return "{\"id\":" + std::to_string(r.id) + ",\"name\":" + Json(r.name) + ",\"fax\":" + Json(r.fax) + "}";
    });
    out += ",\"groups\":" + ListJson(plan.newGroups, [](const CMString& g) { return Json(g); });
    out += ",\"joins\":" + ListJson(plan.memberships, [&](const Membership& m) { return MembershipJson(plan, m); });
    out += ",\"leaves\":" + ListJson(plan.leaves, [&](const Membership& m) { return MembershipJson(plan, m); });
    auto untouched = [&](const Untouched& u) {
        return "{\"id\":" + std::to_string(u.id) + ",\"name\":" + Json(u.name) + uid(u.record) + "}";
    };
    out += ",\"leftAlone\":" + ListJson(plan.leftAlone, untouched);
    out += ",\"kept\":" + ListJson(plan.kept, untouched);
    out += ",\"groupsWithoutRoom\":" + ListJson(plan.groupsWithoutRoom, [](const CMString& g) { return Json(g); });
    return out + "}";
}

}  // namespace intake
