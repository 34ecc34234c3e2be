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

std::string GroupsJson(const Record& record) {
    std::string out = "[";
    for (size_t i = 0; i < record.groups.size(); ++i) out += (i ? "," : "") + Json(record.groups[i]);
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

std::wstring CountsText(Mode mode, const delimited::ImportCounters& c) {
    auto n = [](uint32_t v) { return std::to_wstring(v); };
    if (mode == Mode::Add)
        return n(c.read) + L" read, " + n(c.imported) + L" imported, " + n(c.rejected) + L" rejected, " +
               n(c.alreadyPresent) + L" already present, " + n(c.full) + L" without room";
    std::wstring text = n(c.read) + L" read, " + n(c.imported) + L" added, " + n(c.updated) + L" updated, " +
                        n(c.unchanged) + L" unchanged, ";
    if (mode == Mode::Sync) text += n(c.removed) + L" removed, ";
    return text + n(c.rejected) + L" rejected, " + n(c.full) + L" without room";
}

std::vector<std::wstring> ChangeLines(const Plan& plan, const SourceRead& read) {
    std::vector<std::wstring> lines;
    for (const PlannedAdd& add : plan.adds) {
        std::wstring line = L"add: " + Quoted(add.fields.name) + L", fax " + Quoted(add.fields.fax);
        for (const CMString& g : read.records[add.record].groups) line += L", group " + Quoted(g);
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
    return lines;
}

std::string PlanJson(const Plan& plan, const SourceRead& read) {
    const delimited::ImportCounters& c = plan.counts;
    std::string out = "{\"counts\":{";
    out += "\"read\":" + std::to_string(c.read) + ",\"added\":" + std::to_string(c.imported) +
           ",\"updated\":" + std::to_string(c.updated) + ",\"unchanged\":" + std::to_string(c.unchanged) +
           ",\"removed\":" + std::to_string(c.removed) + ",\"rejected\":" + std::to_string(c.rejected) +
           ",\"alreadyPresent\":" + std::to_string(c.alreadyPresent) + ",\"withoutRoom\":" + std::to_string(c.full) +
           ",\"other\":" + std::to_string(c.other) + "}";
    out += ",\"readToEnd\":" + std::string(c.readFailed ? "false" : "true");
    out += ",\"refusal\":\"" + std::string(RefusalName(plan.refusal)) + "\",\"adds\":[";
    for (size_t i = 0; i < plan.adds.size(); ++i) {
        const PlannedAdd& a = plan.adds[i];
        out += i ? ",{" : "{";
        for (const FieldName& f : kFieldNames)
            out += std::string(f.column == Column::Name ? "" : ",") + "\"" + f.json + "\":" + Json(FieldOf(a.fields, f.column));
        out += ",\"groups\":" + GroupsJson(read.records[a.record]) + "}";
    }
    out += "],\"updates\":[";
    for (size_t i = 0; i < plan.updates.size(); ++i) {
        const PlannedUpdate& u = plan.updates[i];
        out += std::string(i ? "," : "") + "{\"id\":" + std::to_string(u.id) + ",\"name\":" + Json(u.before.name) +
               ",\"changes\":{";
        bool first = true;
        for (const FieldName& f : kFieldNames) {
            if (!(u.changed & Bit(f.column))) continue;
            out += std::string(first ? "" : ",") + "\"" + f.json + "\":{\"from\":" + Json(FieldOf(u.before, f.column)) +
                   ",\"to\":" + Json(FieldOf(u.after, f.column)) + "}";
            first = false;
        }
        out += "}}";
    }
    out += "],\"removals\":[";
    for (size_t i = 0; i < plan.removals.size(); ++i)
        out += std::string(i ? "," : "") + "{\"id\":" + std::to_string(plan.removals[i].id) +
               ",\"name\":" + Json(plan.removals[i].name) + ",\"fax\":" + Json(plan.removals[i].fax) + "}";
    out += "],\"groups\":[";
    for (size_t i = 0; i < plan.newGroups.size(); ++i) out += (i ? "," : "") + Json(plan.newGroups[i]);
    return out + "]}";
}

}  // namespace intake
