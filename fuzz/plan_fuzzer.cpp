// The plan, fed an arbitrary book and arbitrary records in every mode. Besides not
// crashing, its counts add up to the records read, no entry is matched by two records,
// nothing is both kept and removed, and a sync limited to a group removes only members.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "intake/core/Plan.h"
#include "numbers/core/FaxNumber.h"
#include "intake/core/PlanText.h"

namespace {

// Bytes in turn: short texts from a small alphabet (so names and numbers meet), counts
// and flags.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    CMString Text() {
        static const wchar_t kLetters[] = L"aAbB1 2[]\u00e4\u00c4\u03c3\u03a3\u00df";
        const size_t n = Byte() % 40;
        std::wstring out;
        for (size_t i = 0; i < n; ++i) out.push_back(kLetters[Byte() % (sizeof kLetters / sizeof kLetters[0] - 1)]);
        return CMString(out);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

void Fields(Input& in, delimited::EntryFields& f) {
    f.name = in.Text();
    f.fax = in.Text();
    f.organization = in.Text();
    if (in.Byte() & 1) f.mailbox = in.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    intake::Snapshot book;
    book.capacity = in.Byte();
    const size_t entries = in.Byte() % 24, groups = in.Byte() % 4;
    for (size_t i = 0; i < entries; ++i) {
        intake::SnapshotEntry& e = book.entries.emplace_back();
        e.id = static_cast<uint16_t>(0x7FF0 + i * 3);  // across the sign bit of 16 bits
        Fields(in, e.fields);
    }
    for (size_t g = 0; g < groups; ++g) {
        intake::SnapshotGroup& group = book.groups.emplace_back();
        group.id = static_cast<uint16_t>(0xF000 + g);
        group.name = in.Text();
        for (const auto& e : book.entries)
            if (in.Byte() & 1) group.members.push_back(e.id);
    }
    intake::Options options;
    const uint8_t flags = in.Byte();
    options.mode = static_cast<intake::Mode>(flags % 3);
    options.allowShrink = flags & 4;
    if (flags & 8) options.managedGroup = in.Text();
    options.adopt = flags & 32;
    // Numbers compared by their normal form, as at home in a country with a trunk prefix.
    if (flags & 16) options.home = faxnum::CountryByIso(L"DE");
    intake::SourceRead read;
    read.complete = !(flags & 16);
    const size_t records = in.Byte() % 48;
    for (size_t i = 0; i < records; ++i) {
        intake::Record& r = read.records.emplace_back();
        Fields(in, r.fields);
        r.rejection = static_cast<intake::Rejection>(in.Byte() % intake::kRejectionCount);
        r.present = in.Byte() | intake::Bit(delimited::Column::Name);
        for (size_t g = in.Byte() % 3; g > 0; --g) r.groups.push_back(in.Text());
    }

    const intake::Plan plan = intake::MakePlan(book, read, options);
    const auto& c = plan.counts;
    if (c.read != 0 && c.read != records) std::abort();
    if (c.read != c.imported + c.updated + c.unchanged + c.rejected + c.alreadyPresent + c.full + c.other + plan.leftAlone.size())
        std::abort();
    if (c.imported != plan.adds.size() || c.updated != plan.updates.size() || c.unchanged != plan.unchanged.size())
        std::abort();
    std::set<uint16_t> matched, removed;
    for (const auto& u : plan.updates)
        if (!matched.insert(u.id).second) std::abort();
    for (uint16_t id : plan.unchanged)
        if (!matched.insert(id).second) std::abort();
    for (const auto& r : plan.removals)
        if (matched.count(r.id) || !removed.insert(r.id).second) std::abort();
    // An entry is left alone, kept, or changed: never two of them.
    for (const auto& u : plan.leftAlone)
        if (matched.count(u.id) || removed.count(u.id)) std::abort();
    for (const auto& u : plan.kept)
        if (matched.count(u.id) || removed.count(u.id)) std::abort();
    if (!options.adopt && !plan.leftAlone.empty() && options.managedGroup.IsEmpty()) std::abort();
    if (options.mode != intake::Mode::Sync && !plan.removals.empty()) std::abort();
    if (options.mode == intake::Mode::Sync && !options.managedGroup.IsEmpty()) {
        // Which of the book's groups is the managed one, by the plan's own comparison.
        const auto key = intake::NameKey(intake::Stored(options.managedGroup.view(), intake::Field::GroupName, book.form).view());
        const intake::SnapshotGroup* managed = nullptr;
        for (const auto& g : book.groups)
            if (!managed && intake::NameKey(intake::Stored(g.name.view(), intake::Field::GroupName, book.form).view()) == key)
                managed = &g;
        for (const auto& r : plan.removals) {
            if (!managed) std::abort();
            bool member = false;
            for (uint16_t m : managed->members) member |= m == r.id;
            if (!member) std::abort();
        }
    }
    if (book.entries.size() + book.groups.size() + plan.adds.size() + plan.newGroups.size() >
            book.capacity + plan.removals.size() && !(book.entries.size() + book.groups.size() > book.capacity))
        std::abort();
    intake::PlanJson(plan);
    intake::ChangeLines(plan);
    return 0;
}
