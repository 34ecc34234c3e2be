// The export logic on the caller's blocks, natively over memory files: header and
// record filling, the enumeration protocol, modes, wrong-set opens, text widths.
#include <gtest/gtest.h>

#include <cstring>

#include "core/Api.h"
#include "core/Book.h"
#include "core/MemoryPlatform.h"

using namespace pbabi;
using namespace pbcore;

namespace {

template <class Rec, class Char>
struct Scratch {
    Rec rec{};
    Char ext[kExtensionCount][kExtensionWidth]{};
    Char* ptr[kExtensionCount]{};
    uint16_t members[kCapacityCurrent]{};
    Scratch() { Clear(); }
    void Clear() {
        rec = Rec{};
        std::memset(ext, 0, sizeof ext);
        for (int i = 0; i < kExtensionCount; ++i) ptr[i] = ext[i];
        rec.extensions = ptr;
        rec.members = members;
        rec.kind = kKindEntry;
    }
};
using ScratchW = Scratch<PBEW, WChar>;
using ScratchA = Scratch<PBEA, char>;

template <class Char, size_t N>
void Put(Char (&field)[N], const char* text) {
    size_t i = 0;
    for (; text[i] && i < N - 1; ++i) field[i] = static_cast<Char>(static_cast<unsigned char>(text[i]));
    field[i] = 0;
}
std::u16string Path(const char* p) { return std::u16string(p, p + strlen(p)); }

struct Fixture : testing::Test {
    MemoryPlatform files;
    PbHeaderW h{};
    int code = -1;
    void SetUp() override { api::ForgetKeptImages(); }
    int OpenW(const char* path, uint8_t mode) {
        auto p = Path(path);
        return api::OpenW(files, &h, reinterpret_cast<const WChar*>(p.c_str()), mode, &code);
    }
    int AddW(const char* name, const char* fax, uint8_t kind = kKindEntry) {
        ScratchW s;
        s.rec.kind = kind;
        Put(s.rec.name, name);
        Put(s.rec.fax, fax);
        int rc = api::AddW(files, &h, &s.rec, &code);
        return rc == 0 ? s.rec.id : -rc;
    }
    std::vector<std::pair<int, std::u16string>> EnumerateW(const PbTermSlotW* terms = nullptr) {
        std::vector<std::pair<int, std::u16string>> out;
        uint16_t cursor = kCursorStart;
        int done = 0;
        ScratchW s;
        for (int calls = 0; !done && calls < 6000; ++calls) {
            s.Clear();
            intptr_t got = api::Find2W(files, &h, &s.rec, terms, &cursor, &done);
            if (got) {
                EXPECT_EQ(got, reinterpret_cast<intptr_t>(&s.rec));
                out.emplace_back(s.rec.kind, std::u16string(s.rec.name, s.rec.name + std::char_traits<WChar>::length(s.rec.name)));
            }
        }
        return out;
    }
};

}  // namespace

TEST_F(Fixture, OpenFillsTheHeaderPerKind) {
    struct Case {
        const char* path;
        uint8_t major, minor;
        uint32_t wide;
    };
    for (const Case& c : {Case{"a.mpb2", 2, 2, 1}, Case{"b.MPB", 2, 0, 1}, Case{"c.pb", 1, 0, 0}, Case{"d.dat", 2, 2, 1}}) {
        h = PbHeaderW{};
        ASSERT_EQ(OpenW(c.path, kModeReadWrite), 0) << c.path;  // missing: created in its kind
        EXPECT_EQ(h.magic, kMagicWide);
        EXPECT_EQ(h.versionMajor, c.major) << c.path;
        EXPECT_EQ(h.versionMinor, c.minor) << c.path;
        EXPECT_EQ(h.extensionCount, kExtensionCount);
        EXPECT_EQ(h.wideFormat, c.wide) << c.path;
        EXPECT_NE(reinterpret_cast<intptr_t>(h.file), -1);
        files.Close(reinterpret_cast<intptr_t>(h.file));
    }
    // A book whose creation was cut off is made again; a foreign file is left alone.
    files.FileAt("torn.pb") = std::make_shared<std::vector<uint8_t>>(std::vector<uint8_t>{'M', 'P', 'B', 'O'});
    h = PbHeaderW{};
    ASSERT_EQ(OpenW("torn.pb", kModeReadWrite), 0);
    EXPECT_EQ(h.wideFormat, 0u);
    files.Close(reinterpret_cast<intptr_t>(h.file));
    const std::vector<uint8_t> foreign = {'h', 'e', 'l', 'l', 'o'};
    files.FileAt("foreign.mpb2") = std::make_shared<std::vector<uint8_t>>(foreign);
    EXPECT_NE(OpenW("foreign.mpb2", kModeReadWrite), 0);
    EXPECT_EQ(*files.FileAt("foreign.mpb2"), foreign);
    h = PbHeaderW{};
    EXPECT_NE(OpenW("missing.mpb2", kModeReadOnly), 0);
    EXPECT_FALSE(files.Exists("missing.mpb2"));
    EXPECT_NE(h.magic, kMagicWide);
}

TEST_F(Fixture, WrongSetOpensOnlyReportTheFlag) {
    ASSERT_EQ(OpenW("old.pb", kModeReadWrite), 0);
    EXPECT_EQ(h.wideFormat, 0u);
    // Through the wrong set nothing else works, and nothing 16 or 18.
    int rc = AddW("Anna", "1");
    EXPECT_LT(rc, 0);
    EXPECT_NE(-rc, kFull);
    EXPECT_NE(-rc, kNameInUse);
    EXPECT_TRUE(EnumerateW().empty());
    files.Close(reinterpret_cast<intptr_t>(h.file));

    PbHeaderA a{};
    ASSERT_EQ(api::OpenA(files, &a, "new.mpb2", kModeReadWrite, &code), 0);
    EXPECT_EQ(a.magic, kMagicAnsi);
    EXPECT_NE(a.wideFormat, 0u);
    ScratchA s;
    Put(s.rec.name, "Anna");
    EXPECT_NE(api::AddA(files, &a, &s.rec, &code), 0);
    files.Close(a.file);

    a = PbHeaderA{};
    ASSERT_EQ(api::OpenA(files, &a, "old.pb", kModeReadWrite, &code), 0);
    EXPECT_EQ(a.wideFormat, 0u);
    Put(s.rec.name, "\xC4rger");
    Put(s.rec.fax, "1");
    EXPECT_EQ(api::AddA(files, &a, &s.rec, &code), 0);
    EXPECT_EQ(code, 0);
}

TEST_F(Fixture, ReadOnlyRefusesEveryChange) {
    ASSERT_EQ(OpenW("ro.mpb2", kModeReadWrite), 0);
    int anna = AddW("Anna", "1"), team = AddW("Team", "", kKindGroup);
    ASSERT_GT(anna, 0);
    files.Close(reinterpret_cast<intptr_t>(h.file));
    const std::vector<uint8_t> before = *files.FileAt("ro.mpb2");
    ASSERT_EQ(OpenW("ro.mpb2", kModeReadOnly), 0);
    ScratchW s;
    Put(s.rec.name, "Bert");
    Put(s.rec.fax, "2");
    const std::vector<int> codes = {
        api::AddW(files, &h, &s.rec, &code), api::ModifyW(files, &h, static_cast<uint16_t>(anna), &s.rec, &code),
        api::RemoveW(files, &h, static_cast<uint16_t>(anna), &code),
        api::AddToGroupW(files, &h, static_cast<uint16_t>(team), static_cast<uint16_t>(anna), &code),
        api::RemoveFromGroupW(files, &h, static_cast<uint16_t>(team), static_cast<uint16_t>(anna), &code)};
    for (int rc : codes) {
        EXPECT_NE(rc, 0);
        EXPECT_NE(rc, kFull);
        EXPECT_NE(rc, kNameInUse);
    }
    EXPECT_EQ(*files.FileAt("ro.mpb2"), before);
    EXPECT_EQ(EnumerateW().size(), 2u);
    // The write-protected file refuses mode 0, so the caller falls back to mode 1.
    files.Close(reinterpret_cast<intptr_t>(h.file));
    files.SetReadOnly("ro.mpb2", true);
    EXPECT_NE(OpenW("ro.mpb2", kModeReadWrite), 0);
    EXPECT_EQ(OpenW("ro.mpb2", kModeReadOnly), 0);
}

TEST_F(Fixture, EnumerationProtocolAndTerms) {
    ASSERT_EQ(OpenW("e.mpb2", kModeReadWrite), 0);
    ASSERT_GT(AddW("Gruppe Eins", "", kKindGroup), 0);
    ASSERT_GT(AddW("Anna Berg", "+49 1"), 0);
    ASSERT_GT(AddW("Bert Anders", "+49 2"), 0);
    auto all = EnumerateW();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].first, kKindEntry);
    EXPECT_EQ(all[1].first, kKindEntry);
    EXPECT_EQ(all[2].first, kKindGroup);
    // A change between enumerations is seen by the next one.
    ASSERT_GT(AddW("Carla", "3"), 0);
    EXPECT_EQ(EnumerateW().size(), 4u);

    WChar t1[kTermWidth] = {'a', 'n', 'd', '*'}, t2[kTermWidth] = {'b', 'e', '*'};
    PbTermBlockW blocks[3] = {{t1, nullptr}, {t2, nullptr}, {nullptr, nullptr}};
    PbTermSlotW slots[3] = {{&blocks[0], nullptr}, {&blocks[1], nullptr}, {&blocks[2], nullptr}};
    auto found = EnumerateW(slots);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].second, u"Bert Anders");
    PbTermSlotW none[1] = {{&blocks[2], nullptr}};
    EXPECT_EQ(EnumerateW(none).size(), 4u);
    // A cursor that was never handed out ends the enumeration.
    uint16_t cursor = 60000;
    int done = 0;
    ScratchW s;
    EXPECT_EQ(api::Find2W(files, &h, &s.rec, nullptr, &cursor, &done), 0);
    EXPECT_NE(done, 0);
}

TEST_F(Fixture, RecordsTravelCutAndTerminated) {
    ASSERT_EQ(OpenW("t.mpb2", kModeReadWrite), 0);
    ScratchW s;
    // No terminators anywhere: the engine reads at most width - 1 units.
    for (auto& c : s.rec.name) c = 'n';
    for (auto& c : s.rec.fax) c = '7';
    for (auto& e : s.ext)
        for (auto& c : e) c = 'x';
    ASSERT_EQ(api::AddW(files, &h, &s.rec, &code), 0);
    const uint16_t id = s.rec.id;
    ScratchW back;
    for (auto& e : back.ext)
        for (auto& c : e) c = '#';
    ASSERT_EQ(api::GetW(files, &h, &back.rec, nullptr, nullptr, id, &code), 0);
    EXPECT_EQ(std::char_traits<WChar>::length(back.rec.name), 31u);
    EXPECT_EQ(std::char_traits<WChar>::length(back.rec.fax), 46u);
    EXPECT_EQ(std::char_traits<WChar>::length(back.ext[kExtOrganization]), 59u);
    EXPECT_EQ(std::char_traits<WChar>::length(back.ext[kExtMailbox]), 3u);
    EXPECT_EQ(back.ext[kExtUnused][0], 0);
    EXPECT_EQ(back.rec.kind, kKindEntry);
    EXPECT_EQ(back.rec.id, id);

    // A group comes back with its members; the caller's bracketed name finds it by id.
    int team = AddW("Team", "", kKindGroup);
    ASSERT_GT(team, 0);
    ASSERT_EQ(api::AddToGroupW(files, &h, static_cast<uint16_t>(team), id, &code), 0);
    ASSERT_EQ(api::AddToGroupW(files, &h, static_cast<uint16_t>(team), id, &code), 0);
    std::u16string bracketed = u"[Team]";
    ScratchW g;
    ASSERT_EQ(api::GetW(files, &h, &g.rec, reinterpret_cast<const WChar*>(bracketed.c_str()), nullptr,
                        static_cast<uint16_t>(team), &code), 0);
    EXPECT_EQ(g.rec.kind, kKindGroup);
    ASSERT_EQ(g.rec.memberCount, 1);
    EXPECT_EQ(g.rec.members[0], id);
    ASSERT_EQ(api::RemoveW(files, &h, id, &code), 0);
    ASSERT_EQ(api::GetW(files, &h, &g.rec, nullptr, nullptr, static_cast<uint16_t>(team), &code), 0);
    EXPECT_EQ(g.rec.memberCount, 0);
    EXPECT_NE(api::GetW(files, &h, &g.rec, nullptr, nullptr, id, &code), 0);
}

TEST_F(Fixture, UnusableHeadersAndArgumentsFailCleanly) {
    ScratchW s;
    PbHeaderW blank{};
    EXPECT_NE(api::AddW(files, &blank, &s.rec, &code), 0);
    EXPECT_NE(api::OpenW(files, nullptr, nullptr, 0, &code), 0);
    EXPECT_NE(api::OpenW(files, &h, nullptr, 0, &code), 0);
    ASSERT_EQ(OpenW("x.mpb2", kModeReadWrite), 0);
    EXPECT_NE(api::AddW(files, &h, nullptr, &code), 0);
    s.rec.kind = 7;
    Put(s.rec.name, "Anna");
    EXPECT_NE(api::AddW(files, &h, &s.rec, &code), 0);
    files.Close(reinterpret_cast<intptr_t>(h.file));
    EXPECT_NE(api::OpenW(files, &h, nullptr, 9, &code), 0);
    // After the caller closes the handle and stores -1, calls fail instead of touching it.
    ASSERT_EQ(OpenW("x.mpb2", kModeReadWrite), 0);
    files.Close(reinterpret_cast<intptr_t>(h.file));
    h.file = reinterpret_cast<void*>(intptr_t{-1});
    s.rec.kind = kKindEntry;
    EXPECT_NE(api::AddW(files, &h, &s.rec, &code), 0);
    EXPECT_EQ(files.OpenHandles(), 0u);
}
