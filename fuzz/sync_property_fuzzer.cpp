// The dry run is the real run: an arbitrary book (made through the engine, so it holds
// what a book can) and arbitrary records are planned, the plan's JSON is kept, and the
// plan is carried out on the engine in one batch as the applier does. The book read back
// must show exactly what the JSON said: the adds (with their groups), the updates field
// by field, the removals, the groups made, every join and leave, and nothing else. A
// refused plan leaves the book as it was. Any change the engine refuses is a plan that
// promised what the book does not do. Then one step more: a random change to the book
// after the sync, logged as the program logs it, and its undo: the book must be the
// book before the change again, whatever ids came back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/Api.h"
#include "core/Book.h"
#include "core/MemoryPlatform.h"
#include "intake/core/Plan.h"
#include "intake/core/PlanText.h"
#include "numbers/core/FaxNumber.h"
#include "util/core/Utf.h"
#include "../tests/native/UndoBook.h"

using namespace pbabi;
using namespace pbcore;

namespace {

// The plan of the input at hand and the book after it, told with a fault.
std::string g_json, g_book;

[[noreturn]] void Fault(const char* what) {
    fprintf(stderr, "sync property: %s\nplan: %s\nbook after: %s\n", what, g_json.c_str(), g_book.c_str());
    std::abort();
}

// ---- The input: texts from a small alphabet so that names, numbers and groups meet.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    CMString Text(size_t longest) {
        static const wchar_t kLetters[] = L"aAbB12 [\u00e4\u00c4\u03c3\u03a3";
        const size_t n = Byte() % (longest + 1);
        std::wstring out;
        for (size_t i = 0; i < n; ++i) out.push_back(kLetters[Byte() % (sizeof kLetters / sizeof kLetters[0] - 1)]);
        return CMString(out);
    }
    // Mostly short, now and then past a field's width.
    CMString Field() { return Text(Byte() % 8 == 0 ? 70 : 5); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

const wchar_t* const kGroupNames[] = {L"Sales", L"sales", L"Support", L"Team [Nord]", L"Directory", L"A"};

// ---- The book on the engine (wide set), in memory.
struct Record {
    PBEW rec{};
    WChar ext[kExtensionCount][kExtensionWidth]{};
    WChar* ptr[kExtensionCount]{};
    uint16_t members[kCapacityCurrent]{};
    Record() { Clear(); }
    void Clear() {
        rec = PBEW{};
        std::memset(ext, 0, sizeof ext);
        for (int i = 0; i < kExtensionCount; ++i) ptr[i] = ext[i];
        rec.extensions = ptr;
        rec.members = members;
        rec.kind = kKindEntry;
    }
};

void Put(WChar* out, size_t width, const CMString& text) {
    size_t n = 0;
    for (wchar_t c : text.view()) {
        if (n + 1 >= width) break;
        out[n++] = static_cast<WChar>(c);
    }
    out[n] = 0;
}

void Write(Record& r, const delimited::EntryFields& f) {
    Put(r.rec.name, kNameWidth, f.name);
    Put(r.rec.fax, kFaxWidth, f.fax);
    Put(r.ext[kExtOrganization], kExtensionWidth, f.organization);
    Put(r.ext[kExtPhone], kPhoneWidth, f.phone);
    Put(r.ext[kExtEmail], kExtensionWidth, f.email);
    Put(r.ext[kExtMailbox], kMailboxMaxLength + 1, f.mailbox);
}

class EngineBook {
public:
    explicit EngineBook(MemoryPlatform& files) : m_files(files) {
        int code = -1;
        api::OpenW(m_files, &m_h, reinterpret_cast<const WChar*>(u"p.mpb2"), kModeReadWrite, &code);
        if (code != kOk) Fault("the book does not open");
    }
    ~EngineBook() { m_files.Close(reinterpret_cast<intptr_t>(m_h.file)); }

    int AddEntry(const delimited::EntryFields& f, uint16_t* id) {
        m_r.Clear();
        Write(m_r, f);
        int code = -1;
        api::AddW(m_files, &m_h, &m_r.rec, &code);
        *id = m_r.rec.id;
        return code;
    }
    int AddGroup(const CMString& name, uint16_t* id) {
        m_r.Clear();
        m_r.rec.kind = kKindGroup;
        Put(m_r.rec.name, kNameWidth, name);
        int code = -1;
        api::AddW(m_files, &m_h, &m_r.rec, &code);
        *id = m_r.rec.id;
        return code;
    }
    int Modify(uint16_t id, const delimited::EntryFields& f) {
        m_r.Clear();
        Write(m_r, f);
        int code = -1;
        api::ModifyW(m_files, &m_h, id, &m_r.rec, &code);
        return code;
    }
    int Remove(uint16_t id) {
        int code = -1;
        api::RemoveW(m_files, &m_h, id, &code);
        return code;
    }
    int Join(uint16_t group, uint16_t entry) {
        int code = -1;
        api::AddToGroupW(m_files, &m_h, group, entry, &code);
        return code;
    }
    int Leave(uint16_t group, uint16_t entry) {
        int code = -1;
        api::RemoveFromGroupW(m_files, &m_h, group, entry, &code);
        return code;
    }
    int Begin() {
        int code = -1;
        api::BeginChangesW(m_files, &m_h, &code);
        return code;
    }
    int End() {
        int code = -1;
        api::EndChangesW(m_files, &m_h, &code);
        return code;
    }

    // The book as the applier's snapshot reads it, straight from the engine's file (an
    // enumeration through the export set costs a load of the book per record).
    intake::Snapshot Snapshot(size_t capacity) {
        static Book loaded;
        MemoryFile file(m_files.FileAt("p.mpb2"));
        if (loaded.Load(file) != 0) Fault("the book does not load");
        auto text = [](const Units& u) { return CMString(std::wstring(u.begin(), u.end())); };
        intake::Snapshot out;
        out.capacity = capacity;
        for (const pbcore::Record& r : loaded.All()) {
            if (r.kind == kKindGroup) {
                out.groups.push_back({r.id, text(r.fields[kName]), r.members});
                continue;
            }
            intake::SnapshotEntry& e = out.entries.emplace_back();
            e.id = r.id;
            e.fields.name = text(r.fields[kName]);
            e.fields.fax = text(r.fields[kFax]);
            e.fields.organization = text(r.fields[kOrganization]);
            e.fields.phone = text(r.fields[kPhone]);
            e.fields.email = text(r.fields[kEmail]);
            e.fields.mailbox = text(r.fields[kMailbox]);
        }
        return out;
    }

private:
    MemoryPlatform& m_files;
    PbHeaderW m_h{};
    Record m_r;
};

// What the applier does with a plan, on the engine: every change must land. The ids the
// book gave the new entries (a removed entry's id may come again).
std::set<uint16_t> Apply(EngineBook& book, const intake::Plan& plan) {
    if (book.Begin() != kOk) Fault("the batch does not begin");
    for (const auto& r : plan.removals)
        if (book.Remove(r.id) != kOk) Fault("a planned removal is refused");
    for (const auto& u : plan.updates)
        if (book.Modify(u.id, u.after) != kOk) Fault("a planned update is refused");
    std::vector<uint16_t> added(plan.adds.size()), made(plan.newGroups.size());
    for (size_t i = 0; i < plan.adds.size(); ++i)
        if (book.AddEntry(plan.adds[i].fields, &added[i]) != kOk) Fault("a planned add is refused");
    for (size_t i = 0; i < plan.newGroups.size(); ++i)
        if (book.AddGroup(plan.newGroups[i], &made[i]) != kOk) Fault("a planned group is refused");
    for (const auto& m : plan.memberships) {
        const uint16_t group = m.group.planned ? made[m.group.value] : static_cast<uint16_t>(m.group.value);
        const uint16_t entry = m.entry.planned ? added[m.entry.value] : static_cast<uint16_t>(m.entry.value);
        if (book.Join(group, entry) != kOk) Fault("a planned join is refused");
    }
    for (const auto& m : plan.leaves)
        if (book.Leave(static_cast<uint16_t>(m.group.value), static_cast<uint16_t>(m.entry.value)) != kOk)
            Fault("a planned leave is refused");
    if (book.End() != kOk) Fault("the batch does not land");
    return std::set<uint16_t>(added.begin(), added.end());
}

// ---- Just enough JSON to read the plan back as a script would.
struct Json {
    enum Kind { Null, Bool, Number, String, Array, Object } kind = Null;
    double number = 0;
    std::string text;
    std::vector<Json> items;
    std::map<std::string, Json> fields;
    const Json& operator[](const char* key) const {
        static const Json none;
        auto it = fields.find(key);
        return it == fields.end() ? none : it->second;
    }
};

class Parser {
public:
    explicit Parser(const std::string& s) : m_s(s) {}
    Json Parse() {
        Json v = Value();
        if (m_at != m_s.size()) Fault("the JSON has text after its value");
        return v;
    }

private:
    char Peek() { return m_at < m_s.size() ? m_s[m_at] : '\0'; }
    void Expect(char c) {
        if (Peek() != c) Fault("the JSON is malformed");
        ++m_at;
    }
    std::string Text() {
        Expect('"');
        std::string out;
        for (;;) {
            if (m_at >= m_s.size()) Fault("a JSON string does not end");
            const char c = m_s[m_at++];
            if (c == '"') return out;
            if (static_cast<unsigned char>(c) < 0x20) Fault("a JSON string holds a control character");
            if (c != '\\') {
                out += c;
                continue;
            }
            const char e = m_s[m_at++];
            if (e == 'u') {
                const unsigned v = static_cast<unsigned>(std::stoul(m_s.substr(m_at, 4), nullptr, 16));
                m_at += 4;
                if (v >= 0x80) Fault("an escape the plan never writes");
                out += static_cast<char>(v);
            } else if (e == '"' || e == '\\' || e == '/') {
                out += e;
            } else {
                Fault("an escape the plan never writes");
            }
        }
    }
    Json Value() {
        Json v;
        const char c = Peek();
        if (c == '{') {
            v.kind = Json::Object;
            ++m_at;
            while (Peek() != '}') {
                std::string key = Text();
                Expect(':');
                v.fields[key] = Value();
                if (Peek() == ',') ++m_at;
            }
            ++m_at;
        } else if (c == '[') {
            v.kind = Json::Array;
            ++m_at;
            while (Peek() != ']') {
                v.items.push_back(Value());
                if (Peek() == ',') ++m_at;
            }
            ++m_at;
        } else if (c == '"') {
            v.kind = Json::String;
            v.text = Text();
        } else if (m_s.compare(m_at, 4, "true") == 0 || m_s.compare(m_at, 5, "false") == 0) {
            v.kind = Json::Bool;
            v.number = c == 't';
            m_at += c == 't' ? 4 : 5;
        } else {
            v.kind = Json::Number;
            size_t used = 0;
            v.number = std::stod(m_s.substr(m_at), &used);
            m_at += used;
        }
        return v;
    }
    const std::string& m_s;
    size_t m_at = 0;
};

std::string U8(const CMString& text) { return mrv::WideToUtf8(text.view()); }

const char* const kFieldKeys[] = {"name", "fax", "organization", "phone", "email", "mailbox"};
std::vector<std::string> FieldsOf(const delimited::EntryFields& f) {
    return {U8(f.name), U8(f.fax), U8(f.organization), U8(f.phone), U8(f.email), U8(f.mailbox)};
}

using Pair = std::pair<std::string, std::string>;  // entry (id or new entry's fields), group name

// ---- What the book shows: the changes between two snapshots.
struct Shown {
    std::multiset<std::vector<std::string>> adds;  // fields and then the sorted group names
    std::map<uint16_t, std::map<std::string, Pair>> updates;
    std::set<uint16_t> removals;
    std::multiset<std::string> groups;
    std::set<Pair> joins, leaves;
};

Shown Compare(const intake::Snapshot& before, const intake::Snapshot& after, const std::set<uint16_t>& added) {
    Shown shown;
    std::map<uint16_t, const intake::SnapshotEntry*> was, is;
    for (const auto& e : before.entries) was[e.id] = &e;
    // An id given to a new entry is a new entry's, whoever had it before.
    for (const auto& e : after.entries)
        if (!added.count(e.id)) is[e.id] = &e;
    std::map<uint16_t, const intake::SnapshotGroup*> groupWas;
    for (const auto& g : before.groups) groupWas[g.id] = &g;
    std::map<uint16_t, std::vector<std::string>> groupsOfNew;
    for (const auto& g : after.groups) {
        auto old = groupWas.find(g.id);
        if (old == groupWas.end()) shown.groups.insert(U8(g.name));
        else if (old->second->name != g.name) Fault("a group was renamed");
        for (uint16_t m : g.members) {
            if (!was.count(m) || added.count(m)) {
                groupsOfNew[m].push_back(U8(g.name));
                continue;
            }
            const bool member = old != groupWas.end() &&
                                std::count(old->second->members.begin(), old->second->members.end(), m);
            if (!member) shown.joins.insert({std::to_string(m), U8(g.name)});
        }
    }
    std::map<uint16_t, const intake::SnapshotGroup*> groupIs;
    for (const auto& g : after.groups) groupIs[g.id] = &g;
    for (const auto& g : before.groups) {
        auto it = groupIs.find(g.id);
        if (it == groupIs.end()) Fault("a group went");
        const intake::SnapshotGroup* now = it->second;
        for (uint16_t m : g.members)
            if (is.count(m) && !std::count(now->members.begin(), now->members.end(), m))
                shown.leaves.insert({std::to_string(m), U8(g.name)});
    }
    for (const auto& [id, e] : was) {
        auto it = is.find(id);
        if (it == is.end()) {
            shown.removals.insert(id);
            continue;
        }
        const auto from = FieldsOf(e->fields), to = FieldsOf(it->second->fields);
        for (size_t f = 0; f < 6; ++f)
            if (from[f] != to[f]) shown.updates[id][kFieldKeys[f]] = {from[f], to[f]};
    }
    for (const auto& e : after.entries) {
        const uint16_t id = e.id;
        if (was.count(id) && !added.count(id)) continue;
        std::vector<std::string> row = FieldsOf(e.fields);
        std::vector<std::string> groups = groupsOfNew[id];
        std::sort(groups.begin(), groups.end());
        row.insert(row.end(), groups.begin(), groups.end());
        shown.adds.insert(row);
    }
    return shown;
}

// What the JSON says, in the same shape.
Shown Said(const Json& plan) {
    Shown said;
    for (const Json& a : plan["adds"].items) {
        std::vector<std::string> row;
        for (const char* key : kFieldKeys) row.push_back(a[key].text);
        std::vector<std::string> groups;
        for (const Json& g : a["groups"].items) groups.push_back(g.text);
        std::sort(groups.begin(), groups.end());
        row.insert(row.end(), groups.begin(), groups.end());
        said.adds.insert(row);
    }
    for (const Json& u : plan["updates"].items)
        for (const auto& [key, change] : u["changes"].fields)
            said.updates[static_cast<uint16_t>(u["id"].number)][key] = {change["from"].text, change["to"].text};
    for (const Json& r : plan["removals"].items) said.removals.insert(static_cast<uint16_t>(r["id"].number));
    for (const Json& g : plan["groups"].items) said.groups.insert(g.text);
    for (const Json& j : plan["joins"].items) {
        if (j["id"].kind != Json::Number) continue;  // an add's: with the add
        said.joins.insert({std::to_string(static_cast<unsigned>(j["id"].number)), j["group"].text});
    }
    for (const Json& l : plan["leaves"].items)
        said.leaves.insert({std::to_string(static_cast<unsigned>(l["id"].number)), l["group"].text});
    return said;
}

// A book of nearly full capacity is made once: groups no record names fill it.
const std::vector<uint8_t>& EmptyBook(size_t filler) {
    static std::map<size_t, std::vector<uint8_t>> made;
    auto& bytes = made[filler];
    if (!bytes.empty()) return bytes;
    MemoryPlatform files;
    auto& file = files.FileAt("p.mpb2");
    file = std::make_shared<std::vector<uint8_t>>();
    {
        MemoryFile f(file);
        Book::Create(f, Kind::Current);
    }
    {
        EngineBook book(files);
        book.Begin();
        for (size_t i = 0; i < filler; ++i) {
            uint16_t id = 0;
            if (book.AddGroup(CMString(L"~" + std::to_wstring(i)), &id) != kOk) Fault("the filler does not fit");
        }
        book.End();
    }
    bytes = *file;
    return bytes;
}

}  // namespace

// A random change on a copy of the book, recorded, then taken back at once.
void UndoStep(Input& in, MemoryPlatform& files) {
    files.FileAt("u.mpb2") = std::make_shared<std::vector<uint8_t>>(*files.FileAt("p.mpb2"));
    undotest::UndoBook book(files, false);
    if (!book.Ok()) Fault("the copy does not open");
    const std::string before = book.Canonical();
    std::vector<undo::Item> items;
    if (!book.All(items)) Fault("the copy cannot be read");
    std::vector<uint16_t> entries, groups;
    for (const auto& item : items) (item.kind == undo::kGroup ? groups : entries).push_back(item.id);
    auto pick = [&](std::vector<uint16_t>& ids) { return ids.empty() ? uint16_t(0) : ids[in.Byte() % ids.size()]; };
    auto fields = [&] {
        undo::Fields f;
        f[undo::kName] = in.Text(4);
        f[undo::kFax] = in.Text(4);
        if (in.Byte() & 1) f[undo::kOrganization] = in.Field();
        if (in.Byte() & 1) f[undo::kMailbox] = in.Text(3);
        return f;
    };
    if (book.Begin() != kOk) Fault("the undo step's batch does not begin");
    for (size_t n = in.Byte() % 12; n > 0; --n) {
        uint16_t id = 0;
        switch (in.Byte() % 7) {
        case 0: book.Remove(pick(entries)); break;
        case 1: book.Remove(pick(groups)); break;
        case 2: book.Modify(pick(entries), undo::kEntry, fields()); break;
        case 3:
            if (book.Add(undo::kEntry, fields(), id) == kOk) entries.push_back(id);
            break;
        case 4: book.Join(pick(groups), pick(entries)); break;
        case 5: book.Leave(pick(groups), pick(entries)); break;
        case 6:
            if (in.Byte() & 1) book.Modify(pick(groups), undo::kGroup, undotest::UndoBook::Group(kGroupNames[in.Byte() % 6]));
            else if (book.Add(undo::kGroup, undotest::UndoBook::Group(kGroupNames[in.Byte() % 6]), id) == kOk)
                groups.push_back(id);
            break;
        }
    }
    undo::Change change;
    if (book.End(&change) != kOk) Fault("the random change does not land");
    std::vector<undo::Item> now;
    if (!book.All(now)) Fault("the changed copy cannot be read");
    if (!undo::Landed(change, now)) Fault("the change that landed is not recognised as landed");
    const undo::UndoPlan plan = undo::PlanUndo(change, now);
    if (!plan.conflicts.empty()) Fault("an undo right after its change meets a conflict");
    if (book.Begin() != kOk) Fault("the undo's batch does not begin");
    const undo::ApplyResult applied = undo::ApplyUndo(plan, book);
    if (book.End() != kOk) Fault("the undo does not land");
    if (applied.failed) Fault("the book refuses a write of the undo");
    if (book.Canonical() != before) {
        g_book = before + "---\n" + book.Canonical();
        Fault("the undo does not give the book before the change back");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const size_t capacity = kCapacityCurrent;
    const uint8_t shape = in.Byte();
    // Now and then a book with little room left.
    const size_t filler = shape % 8 == 0 ? capacity - 40 + shape / 8 % 32 : 0;
    MemoryPlatform files;
    api::ForgetKeptImages();
    files.FileAt("p.mpb2") = std::make_shared<std::vector<uint8_t>>(EmptyBook(filler));
    EngineBook book(files);

    // The book: entries and groups the engine took, in one commit.
    if (book.Begin() != kOk) Fault("the batch does not begin");
    const size_t entries = in.Byte() % 16, groups = in.Byte() % 4;
    std::vector<uint16_t> ids, groupIds;
    for (size_t i = 0; i < entries; ++i) {
        delimited::EntryFields f;
        f.name = in.Text(4);
        f.fax = in.Text(4);
        if (in.Byte() & 1) f.organization = in.Field();
        if (in.Byte() & 1) f.mailbox = in.Text(3);
        uint16_t id = 0;
        if (!f.name.IsBlank() && book.AddEntry(f, &id) == kOk) ids.push_back(id);
    }
    for (size_t g = 0; g < groups; ++g) {
        uint16_t id = 0;
        if (book.AddGroup(CMString(kGroupNames[in.Byte() % 6]), &id) != kOk) continue;
        groupIds.push_back(id);
        for (uint16_t e : ids)
            if (in.Byte() & 1) book.Join(id, e);
    }
    if (book.End() != kOk) Fault("the book is not made");

    intake::Options options;
    const uint8_t flags = in.Byte();
    options.mode = static_cast<intake::Mode>(flags % 3);
    options.allowShrink = flags & 4;
    if (flags & 8) options.managedGroup = kGroupNames[in.Byte() % 6];
    options.adopt = flags & 32;
    if (flags & 16) options.home = faxnum::CountryByIso(L"DE");
    intake::SourceRead read;
    read.complete = !(flags & 64);
    const size_t records = in.Byte() % 24;
    for (size_t i = 0; i < records; ++i) {
        intake::Record& r = read.records.emplace_back();
        r.fields.name = in.Text(4);
        r.fields.fax = in.Text(4);
        r.fields.organization = in.Field();
        if (in.Byte() & 1) r.fields.phone = in.Field();
        if (in.Byte() & 1) r.fields.mailbox = in.Text(3);
        const uint8_t why = in.Byte();
        r.rejection = why % 4 ? intake::Rejection::None : static_cast<intake::Rejection>(why / 4 % intake::kRejectionCount);
        if (r.rejection == intake::Rejection::None && r.fields.name.IsBlank()) r.rejection = intake::Rejection::NoName;
        r.present = in.Byte() | intake::Bit(delimited::Column::Name) | intake::Bit(delimited::Column::Fax);
        for (size_t g = in.Byte() % 3; g > 0; --g) r.groups.push_back(kGroupNames[in.Byte() % 6]);
    }

    // The dry run: the plan as JSON. The real run: the same plan carried out.
    const intake::Snapshot before = book.Snapshot(capacity);
    const intake::Plan plan = intake::MakePlan(before, read, options);
    g_json = intake::PlanJson(plan);
    g_book.clear();
    const Json said = Parser(g_json).Parse();
    std::set<uint16_t> added;
    if (plan.refusal == intake::Refusal::None) added = Apply(book, plan);
    const intake::Snapshot after = book.Snapshot(capacity);
    for (const auto& e : after.entries) {
        g_book += "\n  #" + std::to_string(e.id);
        for (const auto& f : FieldsOf(e.fields)) g_book += " |" + f;
    }
    for (const auto& g : after.groups) {
        g_book += "\n  G" + std::to_string(g.id) + " " + U8(g.name) + ":";
        for (uint16_t m : g.members) g_book += " " + std::to_string(m);
    }
    const Shown shown = Compare(before, after, added);
    if (plan.refusal != intake::Refusal::None) {
        if (!shown.adds.empty() || !shown.updates.empty() || !shown.removals.empty() || !shown.groups.empty() ||
            !shown.joins.empty() || !shown.leaves.empty())
            Fault("a refused plan changed the book");
        UndoStep(in, files);
        return 0;
    }
    const Shown planned = Said(said);
    if (shown.adds != planned.adds) Fault("the adds differ from the book's");
    if (shown.updates != planned.updates) Fault("the updates differ from the book's");
    if (shown.removals != planned.removals) Fault("the removals differ from the book's");
    if (shown.groups != planned.groups) Fault("the groups made differ from the book's");
    if (shown.joins != planned.joins) Fault("the joins differ from the book's");
    if (shown.leaves != planned.leaves) Fault("the leaves differ from the book's");
    const Json& counts = said["counts"];
    if (counts["added"].number != planned.adds.size() || counts["removed"].number != planned.removals.size() ||
        counts["updated"].number != planned.updates.size())
        Fault("the counts differ from the changes");
    // Nothing outside a managed group is touched unless it may be adopted.
    if (!options.managedGroup.IsEmpty() && !options.adopt && options.mode != intake::Mode::Add) {
        std::set<uint16_t> members;
        for (const auto& g : before.groups)
            if (intake::NameKey(intake::Stored(g.name.view(), intake::Field::GroupName, before.form).view()) ==
                intake::NameKey(intake::Stored(options.managedGroup.view(), intake::Field::GroupName, before.form).view()))
                members.insert(g.members.begin(), g.members.end());
        for (const auto& [id, changes] : shown.updates)
            if (!members.count(id)) Fault("an entry outside the managed group was updated");
        for (uint16_t id : shown.removals)
            if (!members.count(id)) Fault("an entry outside the managed group was removed");
        for (const auto& [id, group] : shown.joins)
            if (!members.count(static_cast<uint16_t>(std::stoul(id)))) Fault("an entry outside the managed group joined");
        for (const auto& [id, group] : shown.leaves)
            if (!members.count(static_cast<uint16_t>(std::stoul(id)))) Fault("an entry outside the managed group left");
    }
    UndoStep(in, files);
    return 0;
}
