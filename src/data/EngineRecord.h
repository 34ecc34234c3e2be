#pragma once
// A caller-owned engine record of either set, with the extension texts and member
// ids it points at. The storage wrapper hands these to the engine.
#include <memory>
#include <vector>

#include "pbabi/EngineAbi.h"

template <class Pbe, class Char>
class EngineRecordOf {
public:
    EngineRecordOf(int extensionCount, int capacity) { Allocate(extensionCount, capacity); }
    EngineRecordOf(const EngineRecordOf&) = delete;
    EngineRecordOf& operator=(const EngineRecordOf&) = delete;

    Pbe& Get() { return m_record; }
    const Pbe& Get() const { return m_record; }
    Char* Extension(int slot) { return slot >= 0 && slot < m_extensionCount ? m_pointers[slot] : nullptr; }
    const Char* Extension(int slot) const {
        return slot >= 0 && slot < m_extensionCount ? m_pointers[slot] : nullptr;
    }
    int Capacity() const { return static_cast<int>(m_members.size()); }

    // Empty entry with no id: what the engine expects before every call.
    void Clear() {
        Pbe fresh = {};
        fresh.kind = pbabi::kKindEntry;
        fresh.extensions = m_pointers.data();
        fresh.members = m_members.data();
        m_record = fresh;
        for (auto& text : m_texts) std::fill(text.begin(), text.end(), Char());
        std::fill(m_members.begin(), m_members.end(), uint16_t());
    }

private:
    void Allocate(int extensionCount, int capacity) {
        // The program reads five slots whatever the header says; never fewer.
        m_extensionCount = std::max(extensionCount, pbabi::kExtensionCount);
        if (m_extensionCount > 64) m_extensionCount = 64;
        m_texts.assign(static_cast<size_t>(m_extensionCount), std::vector<Char>(pbabi::kExtensionWidth));
        m_pointers.clear();
        for (auto& text : m_texts) m_pointers.push_back(text.data());
        m_members.assign(static_cast<size_t>(std::max(capacity, pbabi::kCapacityCurrent)), 0);
        Clear();
    }

    Pbe m_record = {};
    int m_extensionCount = 0;
    std::vector<std::vector<Char>> m_texts;
    std::vector<Char*> m_pointers;
    std::vector<uint16_t> m_members;
};

using EngineRecordW = EngineRecordOf<pbabi::PBEW, pbabi::WChar>;
using EngineRecordA = EngineRecordOf<pbabi::PBEA, char>;

// One record in the form of the set a wrapper uses now.
struct EngineRecord {
    std::unique_ptr<EngineRecordW> wide;
    std::unique_ptr<EngineRecordA> ansi;
    bool IsWide() const { return wide != nullptr; }
    uint16_t Id() const { return wide ? wide->Get().id : ansi ? ansi->Get().id : pbabi::kNoId; }
    uint8_t Kind() const { return wide ? wide->Get().kind : ansi ? ansi->Get().kind : 0; }
    uint16_t MemberCount() const { return wide ? wide->Get().memberCount : ansi ? ansi->Get().memberCount : 0; }
    uint16_t Member(int i) const {
        if (i < 0 || i >= MemberCount()) return pbabi::kNoId;
        if (wide) return i < wide->Capacity() ? wide->Get().members[i] : pbabi::kNoId;
        return i < ansi->Capacity() ? ansi->Get().members[i] : pbabi::kNoId;
    }
    void Clear() {
        if (wide) wide->Clear();
        if (ansi) ansi->Clear();
    }
    // kKindEntry or kKindGroup, in whichever form the record has.
    void SetKind(uint8_t kind) {
        if (wide) wide->Get().kind = kind;
        if (ansi) ansi->Get().kind = kind;
    }
    explicit operator bool() const { return wide || ansi; }
};
