#pragma once
// A book on the engine core in memory, read and written as the undo code reads and
// writes one, with the recorder told of every write as the storage wrapper tells it.
// The undo table test and the sync property fuzzer share it.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/Api.h"
#include "core/MemoryPlatform.h"
#include "undo/core/UndoPlan.h"
#include "undo/core/Recorder.h"

namespace undotest {

class UndoBook : public undo::BookReader, public undo::BookWriter {
public:
    explicit UndoBook(pbcore::MemoryPlatform& files, bool create = true) : m_files(files) {
        int code = -1;
        if (create) pbcore::api::CreateW(m_files, &m_h, Path(), &code);
        else pbcore::api::OpenW(m_files, &m_h, Path(), pbabi::kModeReadWrite, &code);
        m_ok = code == pbabi::kOk;
    }
    ~UndoBook() override { m_files.Close(reinterpret_cast<intptr_t>(m_h.file)); }
    bool Ok() const { return m_ok; }
    undo::Recorder& Recorder() { return m_recorder; }

    bool Read(uint16_t id, undo::Item& out) override {
        Clear();
        int code = -1;
        const pbabi::WChar none[1] = {0};
        pbcore::api::GetW(m_files, &m_h, &m_r, none, none, id, &code);
        if (code != pbabi::kOk) return false;
        out = ItemOf();
        return true;
    }
    bool All(std::vector<undo::Item>& out) override {
        out.clear();
        uint16_t cursor = pbabi::kCursorStart;
        for (int i = 0; i < 70000; ++i) {
            Clear();
            int done = 0, code = -1;
            pbcore::api::FindW(m_files, &m_h, &m_r, &cursor, &done, &code);
            if (code == pbabi::kNoMore) return true;
            if (code != pbabi::kOk) return false;
            out.push_back(ItemOf());
            if (done) return true;
        }
        return false;
    }

    int Add(uint8_t kind, const undo::Fields& f, uint16_t& newId) override {
        Fill(kind, f);
        int code = -1;
        pbcore::api::AddW(m_files, &m_h, &m_r, &code);
        newId = m_r.id;
        if (code == pbabi::kOk) m_recorder.AfterAdd(newId);
        return code;
    }
    int Modify(uint16_t id, uint8_t kind, const undo::Fields& f) override {
        m_recorder.BeforeModify(id);
        Fill(kind, f);
        int code = -1;
        pbcore::api::ModifyW(m_files, &m_h, id, &m_r, &code);
        m_recorder.AfterModify(id, code == pbabi::kOk);
        return code;
    }
    int Remove(uint16_t id) override {
        m_recorder.BeforeRemove(id);
        int code = -1;
        pbcore::api::RemoveW(m_files, &m_h, id, &code);
        m_recorder.AfterRemove(id, code == pbabi::kOk);
        return code;
    }
    int Join(uint16_t group, uint16_t entry) override {
        m_recorder.BeforeMembership(group, entry, true);
        int code = -1;
        pbcore::api::AddToGroupW(m_files, &m_h, group, entry, &code);
        m_recorder.AfterMembership(code == pbabi::kOk);
        return code;
    }
    int Leave(uint16_t group, uint16_t entry) override {
        m_recorder.BeforeMembership(group, entry, false);
        int code = -1;
        pbcore::api::RemoveFromGroupW(m_files, &m_h, group, entry, &code);
        m_recorder.AfterMembership(code == pbabi::kOk);
        return code;
    }
    int Begin() {
        int code = -1;
        pbcore::api::BeginChangesW(m_files, &m_h, &code);
        if (code == pbabi::kOk) m_recorder.Begin();
        return code;
    }
    // The batch's commit; the recorded change in *change.
    int End(undo::Change* change = nullptr) {
        undo::Change taken = m_recorder.Take();
        int code = -1;
        pbcore::api::EndChangesW(m_files, &m_h, &code);
        if (change) *change = std::move(taken);
        return code;
    }

    // Entries and groups by their texts, groups with their members' names and numbers:
    // two books are the same whatever ids they gave.
    std::string Canonical() {
        std::vector<undo::Item> all;
        All(all);
        std::map<uint16_t, std::string> key;
        std::multiset<std::string> out;
        for (const auto& item : all) {
            std::string k;
            for (const CMString& f : item.fields) k += f.ToUtf8() + "|";
            key[item.id] = k;
            if (item.kind == undo::kEntry) out.insert("E " + k);
        }
        for (const auto& item : all) {
            if (item.kind != undo::kGroup) continue;
            std::multiset<std::string> members;
            for (uint16_t m : item.members) members.insert(key[m]);
            std::string g = "G " + item.fields[undo::kName].ToUtf8() + ":";
            for (const auto& m : members) g += " " + m;
            out.insert(g);
        }
        std::string text;
        for (const auto& line : out) text += line + "\n";
        return text;
    }

    static undo::Fields Entry(const wchar_t* name, const wchar_t* fax, const wchar_t* organization = L"") {
        undo::Fields f;
        f[undo::kName] = name;
        f[undo::kFax] = fax;
        f[undo::kOrganization] = organization;
        return f;
    }
    static undo::Fields Group(const wchar_t* name) {
        undo::Fields f;
        f[undo::kName] = name;
        return f;
    }

private:
    static const pbabi::WChar* Path() { return reinterpret_cast<const pbabi::WChar*>(u"u.mpb2"); }

    void Clear() {
        m_r = pbabi::PBEW{};
        std::memset(m_ext, 0, sizeof m_ext);
        for (int i = 0; i < pbabi::kExtensionCount; ++i) m_ptr[i] = m_ext[i];
        m_r.extensions = m_ptr;
        m_r.members = m_members;
        m_r.kind = pbabi::kKindEntry;
    }
    static void Put(pbabi::WChar* out, size_t width, const CMString& text) {
        size_t n = 0;
        for (wchar_t c : text.view()) {
            if (n + 1 >= width) break;
            out[n++] = static_cast<pbabi::WChar>(c);
        }
        out[n] = 0;
    }
    static CMString Text(const pbabi::WChar* text, size_t width) {
        std::wstring out;
        for (size_t i = 0; text && i < width && text[i]; ++i) out.push_back(static_cast<wchar_t>(text[i]));
        return CMString(out);
    }
    void Fill(uint8_t kind, const undo::Fields& f) {
        Clear();
        m_r.kind = kind == undo::kGroup ? pbabi::kKindGroup : pbabi::kKindEntry;
        Put(m_r.name, pbabi::kNameWidth, f[undo::kName]);
        if (kind == undo::kGroup) return;
        Put(m_r.fax, pbabi::kFaxWidth, f[undo::kFax]);
        Put(m_ext[pbabi::kExtOrganization], pbabi::kExtensionWidth, f[undo::kOrganization]);
        Put(m_ext[pbabi::kExtPhone], pbabi::kPhoneWidth, f[undo::kPhone]);
        Put(m_ext[pbabi::kExtEmail], pbabi::kExtensionWidth, f[undo::kEmail]);
        Put(m_ext[pbabi::kExtMailbox], pbabi::kMailboxMaxLength + 1, f[undo::kMailbox]);
    }
    undo::Item ItemOf() const {
        undo::Item item;
        item.id = m_r.id;
        item.kind = m_r.kind == pbabi::kKindGroup ? undo::kGroup : undo::kEntry;
        item.fields[undo::kName] = Text(m_r.name, pbabi::kNameWidth);
        if (item.kind == undo::kGroup) {
            item.members.assign(m_members, m_members + m_r.memberCount);
            return item;
        }
        item.fields[undo::kFax] = Text(m_r.fax, pbabi::kFaxWidth);
        item.fields[undo::kOrganization] = Text(m_ext[pbabi::kExtOrganization], pbabi::kExtensionWidth);
        item.fields[undo::kPhone] = Text(m_ext[pbabi::kExtPhone], pbabi::kExtensionWidth);
        item.fields[undo::kEmail] = Text(m_ext[pbabi::kExtEmail], pbabi::kExtensionWidth);
        item.fields[undo::kMailbox] = Text(m_ext[pbabi::kExtMailbox], pbabi::kExtensionWidth);
        return item;
    }

    pbcore::MemoryPlatform& m_files;
    pbabi::PbHeaderW m_h{};
    bool m_ok = false;
    pbabi::PBEW m_r{};
    pbabi::WChar m_ext[pbabi::kExtensionCount][pbabi::kExtensionWidth]{};
    pbabi::WChar* m_ptr[pbabi::kExtensionCount]{};
    uint16_t m_members[pbabi::kCapacityCurrent]{};
    undo::Recorder m_recorder{*this};
};

}  // namespace undotest
