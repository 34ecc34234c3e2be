#include "data/PhonebookDB.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <process.h>

#include "controls/MessageBoxes.h"
#include "data/core/SearchTerms.h"
#include "undo/UndoSession.h"
#include "app/AppGlobals.h"
#include "resources/text_ids.h"
#include "util/Handles.h"
#include "util/OperatingSystem.h"
#include "util/TextResourceLoader.h"

using namespace pbabi;

// Terms the engine reads: shared blocks each pointing at a 32-unit text, and the slot
// array handed over, whose last block has a null text.
template <class Char>
struct PhonebookDB::TermList {
    struct Term {
        PbTermBlock<Char> block;
        Char text[kTermWidth];
    };
    std::vector<std::shared_ptr<Term>> terms;
    std::vector<PbTermSlot<Char>> slots;

    void Add(const Char* text, size_t length) {
        auto term = std::make_shared<Term>();
        size_t n = std::min(length, static_cast<size_t>(kTermWidth - 1));
        std::memcpy(term->text, text, n * sizeof(Char));
        term->text[n] = 0;
        term->block.text = term->text;
        terms.push_back(term);
    }
    void Finish() {
        auto end = std::make_shared<Term>();
        end->block.text = nullptr;
        terms.push_back(end);
        slots.clear();
        for (auto& t : terms) slots.push_back({&t->block, nullptr});
    }
};

namespace {

constexpr int kMaxOpenDepth = 2;
// An engine that never says it is done must not hang the window.
constexpr int kMaxEnumerationCalls = 70000;
// Group names tried before an empty-name group creation gives up.
constexpr int kMaxGroupNameAttempts = 200;
// A busy book is read again once after a short pause: the engine has already waited
// its bounded time for the lock, and the window must not freeze for long.
constexpr int kReadAttempts = 2;
constexpr DWORD kReadRetryPauseMs = 200;

HANDLE InvalidHandle() { return INVALID_HANDLE_VALUE; }

// Runs work on a thread of its own and, until it is done, paints this thread's windows
// and answers messages sent to them (from other processes too): only input waits.
void RunWhilePainting(const std::function<void()>& work) {
    struct Job {
        const std::function<void()>* work;
        static unsigned __stdcall Main(void* self) {
            (*static_cast<Job*>(self)->work)();
            return 0;
        }
    } job{&work};
    HANDLE thread = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &Job::Main, &job, 0, nullptr));
    if (!thread) {
        work();
        return;
    }
    for (;;) {
        const DWORD woke = MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_PAINT | QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
        MSG msg;
        // Peeking delivers the sent messages; only paints are taken from the queue.
        while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

std::string ToMultiByte(const CMString& text) { return text.ToAnsi(); }

uint32_t ParseMailbox(const CMString& text) {
    CMString t = text;
    t.Trim();
    if (t.IsEmpty()) return 0;
    uint32_t value = 0;
    for (int i = 0; i < t.GetLength(); ++i) {
        wchar_t c = t.GetAt(i);
        if (c < L'0' || c > L'9') return 0;
        value = value * 10 + static_cast<uint32_t>(c - L'0');
        if (value > 99999999u) return 0;
    }
    return value;
}

template <class Header>
void ZeroHeaderWords(Header& header) {
    header.magic = 0;
    header.word4 = 0;
    header.extensionCount = 0;
}

}  // namespace

PhonebookDB::PhonebookDB() {
    m_headerW.file = InvalidHandle();
    m_headerA.file = -1;
}

PhonebookDB::~PhonebookDB() {
    m_undo.reset();
    CloseAnsi();
    CloseWide();
    m_current = EngineRecord();
    m_termsW.reset();
    m_termsA.reset();
    if (m_module) OperatingSystem::UnloadModule(m_module);
}

bool PhonebookDB::FindEngine() {
    if (m_engineFound) return true;
    // Beside the program, by its full path however long; a program whose folder is not
    // known finds no engine (a bare name would be searched for, and could be planted).
    const CMString folder = OperatingSystem::ModuleFolder(nullptr);
    m_enginePath = folder.IsEmpty() ? CMString() : folder + CMString::FromUtf8(kEngineFileName);
    m_engineFound = OperatingSystem::FileExists(m_enginePath);
    return m_engineFound;
}

bool PhonebookDB::LoadEngine() {
    if (!FindEngine() || m_engineLoaded) return m_engineLoaded;
    HMODULE module = OperatingSystem::LoadModule(m_enginePath);
    if (!module) return false;
    auto wide = std::make_unique<WideCalls>();
    if (ResolveCalls(module, *wide)) m_wide = std::move(wide);
    auto ansi = std::make_unique<AnsiCalls>();
    if (ResolveCalls(module, *ansi)) m_ansi = std::move(ansi);
    m_engineLoaded = m_wide || m_ansi;
    if (m_engineLoaded) {
        m_module = module;
        m_batch = std::make_unique<ChangeCalls>(ResolveChangeCalls(module));
    } else {
        OperatingSystem::UnloadModule(module);
    }
    return m_engineLoaded;
}

bool PhonebookDB::IsOpen() const {
    return m_wideMode ? m_headerW.file != InvalidHandle() : m_headerA.file != -1;
}

void PhonebookDB::CloseAnsi() {
    if (m_headerA.file != -1) {
        _lclose(static_cast<HFILE>(m_headerA.file));
        m_headerA.file = -1;
    }
    ZeroHeaderWords(m_headerA);
}

void PhonebookDB::CloseWide() {
    if (m_headerW.file != InvalidHandle()) {
        CloseHandle(m_headerW.file);
        m_headerW.file = InvalidHandle();
    }
    ZeroHeaderWords(m_headerW);
}

void PhonebookDB::Close() {
    // Closing the handle discards an open batch in the engine.
    if (m_batchDepth > 0 && m_undo) m_undo->BatchDiscarded();
    m_batchDepth = 0;
    CloseAnsi();
    CloseWide();
    if (m_current.ansi) m_current.ansi->Clear();
}

int PhonebookDB::ShowMessage(const CMString& caption, const CMString& message) {
    return static_cast<int>(ShowStorageMessage(m_owner, caption, message, app::Text(IDS_CLOSE)));
}

bool PhonebookDB::Fail(const CMString& path) {
    m_path.Empty();
    m_readOnly = true;
    CloseAnsi();
    CloseWide();
    ShowReadFailed(m_lastCode, path);
    return false;
}

void PhonebookDB::ShowReadFailed(int code) { ShowReadFailed(code, m_path); }

void PhonebookDB::ShowReadFailed(int code, const CMString& path) {
    if (code == kBusy)
        ShowMessage(app::Text(IDS_BOOK_IN_USE_CAPTION),
                    CMString::Formatted(app::Text(IDS_BOOK_IN_USE_OPEN).c_str(), path.c_str()));
    else
        ShowMessage(app::Text(IDS_OPEN_FAILED_CAPTION),
                    CMString::Formatted(app::Text(IDS_OPEN_FAILED).c_str(), path.c_str()));
}

void PhonebookDB::ShowNotWritable(const CMString& path) {
    if (m_readOnlyWhileBusy)
        ShowMessage(app::Text(IDS_BOOK_IN_USE_CAPTION), CMString::Formatted(app::Text(IDS_BOOK_IN_USE).c_str(), path.c_str()));
    else
        ShowMessage(app::Text(IDS_OPEN_FAILED_CAPTION), CMString::Formatted(app::Text(IDS_OPEN_FAILED).c_str(), path.c_str()));
}

bool PhonebookDB::Open(const CMString& path, int depth, int mode) {
    if (depth == 0) {
        m_lastCode = -1;
        m_readOnlyWhileBusy = false;
    }
    if (path.IsEmpty() || !LoadEngine() || depth > kMaxOpenDepth) return Fail(path);
    if (m_batchDepth > 0 && m_undo) m_undo->BatchDiscarded();
    m_batchDepth = 0;
    // The file at the path may be another one now: its log is found again.
    m_undo.reset();
    CloseAnsi();
    CloseWide();
    m_path = path;
    m_readOnly = mode != 0;
    const uint8_t wanted = static_cast<uint8_t>(mode != 0 ? kModeReadOnly : kModeReadWrite);

    if (m_wide && m_wideMode) {
        int code = -1;
        const auto* widePath = reinterpret_cast<const WChar*>(path.c_str());
        Change([&] { m_wide->open(&m_headerW, widePath, wanted, &code); return code; });
        m_lastCode = code;
        if (code != 0) {
            const int refused = code;
            Change([&] { m_wide->open(&m_headerW, widePath, kModeReadOnly, &code); return code; });
            m_lastCode = code;
            if (code != 0) return Fail(path);
            m_readOnly = true;
            m_readOnlyWhileBusy = refused == kBusy;
        }
        bool good = m_headerW.magic == kMagicWide;
        m_wideMode = m_headerW.wideFormat != 0;
        m_currentFormat = m_headerW.versionMajor == kCurrentVersionMajor && m_headerW.versionMinor == kCurrentVersionMinor;
        m_capacity = m_currentFormat ? kCapacityCurrent : kCapacityOld;
        if (m_headerW.wideFormat == 0) {
            CloseWide();
            // An older file: the ANSI set reads it, or nothing can.
            if (m_ansi) return Open(path, depth + 1, mode);
            return Fail(path);
        }
        return good ? true : Fail(path);
    }
    if (m_ansi) {
        int code = -1;
        std::string ansiPath = ToMultiByte(path);
        Change([&] { m_ansi->open(&m_headerA, ansiPath.c_str(), wanted, &code); return code; });
        m_lastCode = code;
        if (code != 0) {
            const int refused = code;
            Change([&] { m_ansi->open(&m_headerA, ansiPath.c_str(), kModeReadOnly, &code); return code; });
            m_lastCode = code;
            if (code != 0) return Fail(path);
            m_readOnly = true;
            m_readOnlyWhileBusy = refused == kBusy;
        }
        bool good = m_headerA.magic == kMagicAnsi;
        m_wideMode = m_headerA.wideFormat != 0;
        // The version is the wide header's, as the last wide open left it.
        m_currentFormat = m_headerW.versionMajor == kCurrentVersionMajor && m_headerW.versionMinor == kCurrentVersionMinor;
        m_capacity = m_currentFormat ? kCapacityCurrent : kCapacityOld;
        if (m_headerA.wideFormat != 0) {
            CloseAnsi();
            if (m_wide) return Open(path, depth + 1, mode);
            return Fail(path);
        }
        return good ? true : Fail(path);
    }
    return Fail(path);
}

bool PhonebookDB::Create(const CMString& path) {
    m_lastCode = -1;
    if (path.IsEmpty() || !LoadEngine() || !m_wide) return false;
    if (m_batchDepth > 0 && m_undo) m_undo->BatchDiscarded();
    m_batchDepth = 0;
    m_undo.reset();
    CloseAnsi();
    CloseWide();
    m_path = path;
    m_wideMode = true;
    m_readOnly = false;
    m_headerW.magic = 0;
    m_headerW.word4 = 0;
    m_headerW.word6 = 0;
    m_headerW.extensionCount = 0;
    m_headerW.file = InvalidHandle();
    m_headerW.field320 = 0;
    m_headerW.field328 = 0;
    m_headerW.field336 = 0;
    int code = -1;
    m_wide->create(&m_headerW, reinterpret_cast<const WChar*>(path.c_str()), &code);
    m_lastCode = code;
    if (code != 0 || m_headerW.magic != kMagicWide) return false;
    // A new book is a current-format book: without this it would count as full at 0.
    m_currentFormat = true;
    m_capacity = kCapacityCurrent;
    return true;
}

void PhonebookDB::SetSearchText(const CMString& text) {
    std::vector<CMString> terms = BuildSearchTerms(text);
    if (m_wideMode) {
        m_termsW = std::make_unique<TermList<WChar>>();
        for (const auto& t : terms)
            m_termsW->Add(reinterpret_cast<const WChar*>(t.c_str()), static_cast<size_t>(t.GetLength()));
        m_termsW->Finish();
    } else {
        m_termsA = std::make_unique<TermList<char>>();
        for (const auto& t : terms) {
            std::string bytes = ToMultiByte(t);
            m_termsA->Add(bytes.data(), bytes.size());
        }
        m_termsA->Finish();
    }
}

const PbTermSlotW* PhonebookDB::WideTerms() const {
    return m_termsW && !m_termsW->slots.empty() ? m_termsW->slots.data() : nullptr;
}

const PbTermSlotA* PhonebookDB::AnsiTerms() const {
    return m_termsA && !m_termsA->slots.empty() ? m_termsA->slots.data() : nullptr;
}

EngineRecord PhonebookDB::NewEngineRecord() const {
    EngineRecord record;
    if (m_wideMode)
        record.wide = std::make_unique<EngineRecordW>(m_headerW.extensionCount, m_capacity);
    else
        record.ansi = std::make_unique<EngineRecordA>(m_headerA.extensionCount, m_capacity);
    return record;
}

int PhonebookDB::Read(const std::function<int()>& call, const std::function<bool()>& restartable) {
    PfnSetLockWait setWait = m_batch ? m_batch->setLockWait : nullptr;
    if (!m_windowThread || !setWait) return call();
    const uint32_t previous = setWait(0);
    int code = call();
    setWait(previous);
    // A read the user asked for waits for a busy book as a change does; once such a wait
    // has run out, the rest of the job does not wait again for each record.
    if (code == kBusy && m_userReads && (!restartable || restartable())) {
        RunWhilePainting([&] { code = call(); });
        if (code == kBusy) m_userReads = false;
    }
    return code;
}

int PhonebookDB::Change(const std::function<int()>& call, bool retryable) {
    // Without the lock wait an engine would wait on this thread anyway.
    if (!m_windowThread || !m_batch || !m_batch->setLockWait) return call();
    // Mostly the book is free: one try here, and a thread only when it is not.
    if (retryable) {
        const int code = Read(call);
        if (code != kBusy) return code;
    }
    int code = -1;
    RunWhilePainting([&] { code = call(); });
    return code;
}

int PhonebookDB::RetryBusy(const std::function<int()>& read, const std::function<bool()>& restartable) {
    for (int attempt = 1;; ++attempt) {
        const int code = Read(read, restartable);
        m_lastReadCode = code;
        // A window's thread does not wait: its timer reads again.
        if (code != kBusy || attempt >= kReadAttempts || m_windowThread || (restartable && !restartable())) return code;
        ++m_readsRetried;
        Sleep(kReadRetryPauseMs);
    }
}

int PhonebookDB::Enumerate(RecordList& out, bool includeGroups) {
    const int code = RetryBusy([&] { return EnumerateOnce(out, includeGroups); });
    if (code != kOk) out.clear();
    return code;
}

int PhonebookDB::EnumerateOnce(RecordList& out, bool includeGroups) {
    out.clear();
    out.reserve(static_cast<size_t>(std::max(m_capacity, 0)));
    if (!LoadEngine() || !IsOpen()) return -1;
    if (m_wideMode && !m_wide) return -1;
    if (!m_wideMode && !m_ansi) return -1;
    // The coded call tells a failed read from the end; an engine without it gives the
    // terms-only call, whose failure looks like the end.
    const bool coded = m_batch && (m_wideMode ? m_batch->find3W != nullptr : m_batch->find3A != nullptr);
    EngineRecord record = NewEngineRecord();
    uint16_t cursor = kCursorStart;
    int done = 0;
    const size_t limit = static_cast<size_t>(m_capacity);
    for (int calls = 0; calls < kMaxEnumerationCalls; ++calls) {
        record.Clear();
        bool delivered = false;
        if (coded) {
            int code = -1;
            if (m_wideMode)
                m_batch->find3W(&m_headerW, &record.wide->Get(), WideTerms(), &cursor, &done, &code);
            else
                m_batch->find3A(&m_headerA, &record.ansi->Get(), AnsiTerms(), &cursor, &done, &code);
            if (code == kNoMore) return kOk;
            if (code != kOk) return code;
            delivered = true;
        } else {
            delivered = (m_wideMode ? m_wide->find2(&m_headerW, &record.wide->Get(), WideTerms(), &cursor, &done)
                                    : m_ansi->find2(&m_headerA, &record.ansi->Get(), AnsiTerms(), &cursor, &done)) != 0;
        }
        if (delivered && (record.Kind() == kKindEntry || includeGroups)) ToMemoryRecord(record, out);
        if (done != 0 || out.size() > limit) break;
    }
    return kOk;
}

int PhonebookDB::ForEachRecord(const std::function<void(const EngineRecord&)>& visit) {
    // Only a read that visited nothing yet can start again: the visitor has no undo.
    bool visited = false;
    return RetryBusy(
        [&] {
            return ForEachRecordOnce([&](const EngineRecord& r) {
                visited = true;
                if (visit) visit(r);
            });
        },
        [&] { return !visited; });
}

int PhonebookDB::ForEachRecordOnce(const std::function<void(const EngineRecord&)>& visit) {
    if (!LoadEngine() || !IsOpen() || (m_wideMode ? !m_wide : !m_ansi)) return -1;
    EngineRecord record = NewEngineRecord();
    uint16_t cursor = kCursorStart;
    // A file holds no more than its capacity; an engine that never ends stops there.
    const size_t limit = static_cast<size_t>(m_capacity);
    for (size_t delivered = 0; delivered <= limit; ++delivered) {
        record.Clear();
        int done = 0, code = -1;
        if (m_wideMode)
            m_wide->find(&m_headerW, &record.wide->Get(), &cursor, &done, &code);
        else
            m_ansi->find(&m_headerA, &record.ansi->Get(), &cursor, &done, &code);
        // "No more" is the end; every other code but kOk is a failed read, whatever
        // done says (the engine sets it on a failure too).
        if (code == kNoMore) return kOk;
        if (code != kOk) return code;
        if (visit) visit(record);
        if (done != 0) return kOk;
    }
    return kOk;
}

int PhonebookDB::GetRecord(EngineRecord& record, const CMString& name, const CMString& fax, uint16_t id) {
    if (!LoadEngine() || !record) return -1;
    return Read([&] {
        int code = -1;
        if (record.wide && m_wide) {
            m_wide->get(&m_headerW, &record.wide->Get(), reinterpret_cast<const WChar*>(name.c_str()),
                        reinterpret_cast<const WChar*>(fax.c_str()), id, &code);
        } else if (record.ansi && m_ansi) {
            std::string n = ToMultiByte(name), f = ToMultiByte(fax);
            m_ansi->get(&m_headerA, &record.ansi->Get(), n.c_str(), f.c_str(), id, &code);
        }
        return code;
    });
}

int PhonebookDB::AddRecord(EngineRecord& record, bool showErrors) {
    if (!LoadEngine() || !record) return -1;
    if (!(record.wide && m_wide) && !(record.ansi && m_ansi)) return -1;
    const int code = LoggedWrite([&] {
        const int rc = Change([&] {
            int added = -1;
            if (record.wide)
                m_wide->add(&m_headerW, &record.wide->Get(), &added);
            else
                m_ansi->add(&m_headerA, &record.ansi->Get(), &added);
            return added;
        });
        if (rc == kOk && m_undo && m_undo->Record().Active()) {
            const undo::Item written = undo::ItemOfRecord(record);
            m_undo->Record().AfterAdd(record.Id(), &written);
        }
        return rc;
    });
    if (!showErrors) return code;
    if (code == kNameInUse) {
        // Texts of an ANSI file are converted first, so the message reads them right.
        if (record.Kind() == kKindGroup) {
            ShowMessage(app::Text(IDS_GROUP_EXISTS_CAPTION),
                        CMString::Formatted(app::Text(IDS_GROUP_EXISTS).c_str(), NameOf(record).c_str()));
        } else {
            ShowMessage(app::Text(record.wide ? IDS_ENTRY_EXISTS_CAPTION : IDS_ENTRY_EXISTS_CAPTION_OLD),
                        CMString::Formatted(app::Text(IDS_ENTRY_EXISTS).c_str(), NameOf(record).c_str(),
                                            FaxOf(record).c_str()));
        }
    } else if (code == kFull) {
        ShowMessage(app::Text(IDS_BOOK_FULL_CAPTION),
                    CMString::Formatted(app::Text(IDS_BOOK_FULL).c_str(), static_cast<unsigned>(m_capacity)));
    } else if (code != kOk) {
        ShowChangeFailed(code);
    }
    return code;
}

void PhonebookDB::ModifyRecord(uint16_t id, EngineRecord& record, int& code) {
    code = -1;
    if (!LoadEngine() || !record) return;
    code = LoggedWrite([&] {
        if (m_undo) m_undo->Record().BeforeModify(id);
        const int rc = Change([&] {
            int modified = -1;
            if (record.wide && m_wide)
                m_wide->modify(&m_headerW, id, &record.wide->Get(), &modified);
            else if (record.ansi && m_ansi)
                m_ansi->modify(&m_headerA, id, &record.ansi->Get(), &modified);
            return modified;
        });
        if (m_undo && rc == kOk && m_undo->Record().Active()) {
            undo::Item written = undo::ItemOfRecord(record);
            written.id = id;
            m_undo->Record().AfterModify(id, true, &written);
        }
        return rc;
    });
    if (code != kNameInUse) return;
    if (record.Kind() == kKindGroup)
        ShowMessageBox(m_owner, CMString::Formatted(app::Text(IDS_GROUP_EXISTS).c_str(), NameOf(record).c_str()),
                       app::Text(IDS_GROUP_EXISTS_CAPTION), MB_ICONEXCLAMATION);
    else
        ShowMessageBox(m_owner,
                       CMString::Formatted(app::Text(IDS_ENTRY_EXISTS).c_str(), NameOf(record).c_str(),
                                           FaxOf(record).c_str()),
                       app::Text(IDS_ENTRY_EXISTS_CAPTION), MB_ICONEXCLAMATION);
}

int PhonebookDB::RemoveRecord(uint16_t id) {
    if (!LoadEngine()) return -1;
    return LoggedWrite([&] {
        if (m_undo) m_undo->Record().BeforeRemove(id);
        const int rc = Change([&] {
            int code = -1;
            if (m_wideMode && m_wide)
                m_wide->remove(&m_headerW, id, &code);
            else if (!m_wideMode && m_ansi)
                m_ansi->remove(&m_headerA, id, &code);
            return code;
        });
        if (m_undo) m_undo->Record().AfterRemove(id, rc == kOk);
        return rc;
    });
}

void PhonebookDB::RemoveRecords(RecordList& records, std::vector<RemoveResult>& results) {
    if (results.size() < records.size()) results.resize(records.size());
    if (LoadEngine() && !records.empty()) {
        const UINT style = MB_OKCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON2;
        bool go = true;
        if (records.size() > 1) {
            go = ShowMessageBox(m_wideMode ? m_owner : nullptr,
                                CMString::Formatted(app::Text(IDS_DELETE_MANY).c_str(),
                                                    static_cast<unsigned>(records.size())),
                                app::Text(IDS_DELETE_MANY_CAPTION), style) == IDOK;
        }
        if (go) {
            WaitCursor wait;
            // Many records go in one commit; a single one is stored at once anyway.
            ChangeBatch batch(*this, records.size() > 1);
            if (batch.Refusal() != kOk) {
                ShowChangeFailed(batch.Refusal());
                records.clear();
                return;
            }
            EngineRecord found = NewEngineRecord();
            for (size_t i = 0; i < records.size(); ++i) {
                const PhonebookRecord& r = *records[i];
                found.Clear();
                if (GetRecord(found, r.name, r.fax, r.id) != 0) continue;
                if (records.size() == 1) {
                    CMString message =
                        found.Kind() == kKindGroup
                            ? CMString::Formatted(app::Text(IDS_DELETE_GROUP).c_str(), r.name)
                            : CMString::Formatted(app::Text(IDS_DELETE_ENTRY).c_str(), r.name, r.fax);
                    if (ShowMessageBox(m_owner, message, app::Text(IDS_DELETE_ONE_CAPTION), style) != IDOK) break;
                }
                const int code = RemoveRecord(found.Id());
                results[i].removed = code == kOk;
                // Without a batch each removal is its own write: the first refused one
                // is told, and what was removed before it is gone, as its rows go.
                if (code != kOk && !batch.IsOpen()) {
                    bool partly = false;
                    for (size_t j = 0; j < i; ++j) partly = partly || results[j].removed;
                    ShowChangeFailed(code, partly);
                    break;
                }
            }
            // Not written: every row stays, as every record does.
            if (!batch.End())
                for (auto& result : results) result.removed = false;
        }
    }
    records.clear();
}

bool PhonebookDB::BeginChanges() {
    m_batchRefusal = kOk;
    if (!LoadEngine() || !m_batch || !IsOpen() || m_readOnly) return false;
    // No batches: each change is stored at once, as before.
    if (m_wideMode ? !(m_batch->beginW && m_batch->endW) : !(m_batch->beginA && m_batch->endA)) return false;
    undo::Session* log = m_batchDepth == 0 ? UndoLog() : nullptr;
    const int code = Change([&] {
        int rc = -1;
        if (m_wideMode)
            m_batch->beginW(&m_headerW, &rc);
        else
            m_batch->beginA(&m_headerA, &rc);
        return rc;
    });
    if (code != 0) {
        m_batchRefusal = code;
        return false;
    }
    if (log) log->BatchBegan();
    ++m_batchDepth;
    return true;
}

bool PhonebookDB::EndChanges(bool showErrors) {
    if (m_batchDepth == 0 || !m_batch) return true;
    undo::Session* log = --m_batchDepth == 0 ? m_undo.get() : nullptr;
    if (log) log->BeforeCommit();
    // A batch the engine could not end is gone: one call, on the worker.
    const int code = Change(
        [&] {
            int rc = -1;
            if (m_wideMode && m_batch->endW)
                m_batch->endW(&m_headerW, &rc);
            else if (!m_wideMode && m_batch->endA)
                m_batch->endA(&m_headerA, &rc);
            return rc;
        },
        false);
    if (log) log->AfterCommit(code == 0);
    if (code == 0) return true;
    m_batchRefusal = code;
    if (showErrors) ShowChangeFailed(code);
    return false;
}

void PhonebookDB::ShowChangeFailed(int code, bool partlyStored) {
    if (code == kBusy && !partlyStored)
        ShowMessage(app::Text(IDS_BOOK_IN_USE_CAPTION), CMString::Formatted(app::Text(IDS_BOOK_IN_USE).c_str(), m_path.c_str()));
    else
        ShowMessage(app::Text(IDS_SAVE_FAILED_CAPTION),
                    CMString::Formatted(app::Text(partlyStored ? IDS_SAVE_FAILED_PART : IDS_SAVE_FAILED).c_str(),
                                        m_path.c_str()));
}

bool PhonebookDB::GetChangeCount(uint64_t& count) {
    if (!LoadEngine() || !m_batch || !IsOpen()) return false;
    return Read([&] {
        int code = -1;
        if (m_wideMode && m_batch->countW)
            m_batch->countW(&m_headerW, &count, &code);
        else if (!m_wideMode && m_batch->countA)
            m_batch->countA(&m_headerA, &count, &code);
        return code;
    }) == 0;
}

bool PhonebookDB::IsFull(int count, bool showMessage) {
    bool full = count == m_capacity;
    if (full && showMessage)
        ShowMessage(app::Text(IDS_BOOK_FULL_CAPTION),
                    CMString::Formatted(app::Text(IDS_BOOK_FULL).c_str(), static_cast<unsigned>(m_capacity)));
    return full;
}

namespace {

// A wide field copied into a fresh (zeroed) record as CopyField would copy its text,
// without the string between: an enumeration converts every record of the book, and a
// string per field costs an allocation each.
template <size_t N>
void CopyWideField(wchar_t (&field)[N], const WChar* text, size_t width) {
    size_t n = 0;
    if (text)
        while (n < width && n < N - 1 && text[n]) ++n;
    for (size_t i = 0; i < n; ++i) field[i] = static_cast<wchar_t>(text[i]);
    field[n] = 0;
}

}  // namespace

void PhonebookDB::ToMemoryRecord(const EngineRecord& record, RecordList& out) const {
    RecordPtr r = MakeRecord();
    r->id = record.Id();
    if (record.wide) {
        const PBEW& e = record.wide->Get();
        CopyWideField(r->name, e.name, kNameWidth);
        if (record.Kind() == kKindEntry) {
            CopyWideField(r->fax, e.fax, kFaxWidth);
            CopyWideField(r->organization, record.wide->Extension(kExtOrganization), kExtensionWidth);
            CopyWideField(r->phone, record.wide->Extension(kExtPhone), kExtensionWidth);
            CopyWideField(r->email, record.wide->Extension(kExtEmail), kExtensionWidth);
            const WChar* mailbox = record.wide->Extension(kExtMailbox);
            r->mailbox = mailbox && mailbox[0] ? ParseMailbox(WideText(mailbox, kExtensionWidth)) : 0;
            r->imageId = PhonebookRecord::kImageEntry;
        } else {
            r->imageId = PhonebookRecord::kImageGroup;
        }
        out.push_back(std::move(r));
        return;
    }
    CopyField(r->name, NameOf(record));
    if (record.Kind() == kKindEntry) {
        CopyField(r->fax, FaxOf(record));
        CopyField(r->organization, ExtensionOf(record, kExtOrganization));
        CopyField(r->phone, ExtensionOf(record, kExtPhone));
        CopyField(r->email, ExtensionOf(record, kExtEmail));
        r->mailbox = ParseMailbox(ExtensionOf(record, kExtMailbox));
        r->imageId = PhonebookRecord::kImageEntry;
    } else {
        r->imageId = PhonebookRecord::kImageGroup;
    }
    out.push_back(std::move(r));
}

void PhonebookDB::ToEngineRecord(const PhonebookRecord& r, EngineRecord& out) const {
    if (!out) return;
    out.Clear();
    CMString mailbox = r.mailbox ? CMString::Formatted(L"%03d", static_cast<int>(r.mailbox)).Left(3) : CMString();
    const uint8_t kind = r.imageId == PhonebookRecord::kImageGroup ? kKindGroup : kKindEntry;
    if (out.wide) {
        PBEW& e = out.wide->Get();
        e.id = r.id;
        e.kind = kind;
        PutWide(e.name, r.name);
        PutWide(e.fax, r.fax);
        PutWide(out.wide->Extension(kExtOrganization), kExtensionWidth, r.organization);
        PutWide(out.wide->Extension(kExtPhone), kPhoneWidth, r.phone);
        PutWide(out.wide->Extension(kExtEmail), kExtensionWidth, r.email);
        PutWide(out.wide->Extension(kExtMailbox), kMailboxMaxLength + 1, mailbox);
    } else {
        PBEA& e = out.ansi->Get();
        e.id = r.id;
        e.kind = kind;
        PutAnsi(e.name, kNameWidth, r.name);
        PutAnsi(e.fax, kFaxWidth, r.fax);
        PutAnsi(out.ansi->Extension(kExtOrganization), kExtensionWidth, r.organization);
        PutAnsi(out.ansi->Extension(kExtPhone), kPhoneWidth, r.phone);
        PutAnsi(out.ansi->Extension(kExtEmail), kExtensionWidth, r.email);
        PutAnsi(out.ansi->Extension(kExtMailbox), kMailboxMaxLength + 1, mailbox);
    }
}

// Group operations.

void PhonebookDB::PrepareCurrent() {
    bool rightForm = m_wideMode ? static_cast<bool>(m_current.wide) : static_cast<bool>(m_current.ansi);
    if (!rightForm) m_current = NewEngineRecord();
    m_current.Clear();
}

void PhonebookDB::SetGroupName(EngineRecord& record, const CMString& name) const {
    if (record.wide) {
        record.wide->Get().kind = kKindGroup;
        PutWide(record.wide->Get().name, name);
    } else if (record.ansi) {
        record.ansi->Get().kind = kKindGroup;
        PutAnsi(record.ansi->Get().name, kNameWidth, name);
    }
}

bool PhonebookDB::ReadRecordById(uint16_t id) {
    if (!LoadEngine()) return false;
    PrepareCurrent();
    return GetRecord(m_current, CMString(), CMString(), id) == 0;
}

void PhonebookDB::ListGroupMembers(RecordList& out) {
    out.reserve(200);
    out.clear();
    if (!LoadEngine() || !m_current || m_current.MemberCount() == 0) return;
    EngineRecord scratch = NewEngineRecord();
    for (int i = 0; i < m_current.MemberCount(); ++i) {
        scratch.Clear();
        if (GetRecord(scratch, CMString(), CMString(), m_current.Member(i)) == 0 && scratch.Kind() == kKindEntry)
            ToMemoryRecord(scratch, out);
    }
}

bool PhonebookDB::CreateGroup(CMString& name, uint16_t* outId, bool showErrors) {
    if (outId) *outId = 0;
    if (!LoadEngine()) {
        if (showErrors) ShowSaveFailed();
        return false;
    }
    PrepareCurrent();
    // AddRecord tells of every refusal when asked to.
    if (!name.IsEmpty()) {
        SetGroupName(m_current, WithoutBrackets(name));
        if (AddRecord(m_current, showErrors) != 0) return false;
        if (outId) *outId = m_current.Id();
        return true;
    }
    name = app::Text(IDS_TIP_NEW_GROUP);
    srand(GetTickCount());
    for (int attempt = 0; attempt < kMaxGroupNameAttempts; ++attempt) {
        m_current.Clear();
        SetGroupName(m_current, CMString::Formatted(L"%s%u", name.c_str(), static_cast<unsigned>(rand())));
        int code = AddRecord(m_current, showErrors);
        if (code == 0) {
            if (outId) *outId = m_current.Id();
            return true;
        }
        if (code != kNameInUse) return false;
    }
    return false;
}

bool PhonebookDB::RenameGroup(const CMString& newName) {
    // No name: nothing to rename.
    if (newName.IsEmpty()) return true;
    if (!LoadEngine()) {
        ShowSaveFailed();
        return false;
    }
    if (!m_current) PrepareCurrent();
    CMString bare = WithoutBrackets(newName);
    SetGroupName(m_current, bare);
    const uint16_t id = m_current.Id();
    const int code = LoggedWrite([&] {
        if (m_undo) m_undo->Record().BeforeModify(id);
        const int rc = Change([&] {
            int modified = -1;
            if (m_current.wide && m_wide)
                m_wide->modify(&m_headerW, id, &m_current.wide->Get(), &modified);
            else if (m_current.ansi && m_ansi)
                m_ansi->modify(&m_headerA, id, &m_current.ansi->Get(), &modified);
            return modified;
        });
        if (m_undo) m_undo->Record().AfterModify(id, rc == kOk);
        return rc;
    });
    if (code == kOk) return true;
    if (code == kNameInUse)
        ShowMessageBox(m_owner, CMString::Formatted(app::Text(IDS_GROUP_EXISTS).c_str(), bare.c_str()),
                       app::Text(IDS_GROUP_EXISTS_CAPTION), MB_ICONEXCLAMATION);
    else
        ShowChangeFailed(code);
    return false;
}

bool PhonebookDB::AddGroupMember(uint16_t groupId, const CMString& name, const CMString& fax) {
    if (name.IsEmpty() || fax.IsEmpty() || !LoadEngine()) return false;
    bool added = false;
    EngineRecord entry = NewEngineRecord();
    if (GetRecord(entry, name, fax, kNoId) == 0 && entry.Kind() == kKindEntry)
        added = AddMemberById(groupId, entry.Id()) == 0;
    PrepareCurrent();
    GetRecord(m_current, CMString(), CMString(), groupId);
    return added;
}

bool PhonebookDB::AddGroupMembers(uint16_t groupId, const RecordList& records) {
    if (!m_current || records.empty()) return false;
    EngineRecord scratch = NewEngineRecord();
    for (const auto& r : records) {
        ToEngineRecord(*r, scratch);
        if (!AddGroupMember(groupId, NameOf(scratch), FaxOf(scratch))) return false;
    }
    return true;
}

int PhonebookDB::AddMemberById(uint16_t groupId, uint16_t entryId) {
    if (!LoadEngine()) return -1;
    return LoggedWrite([&] {
        if (m_undo) m_undo->Record().BeforeMembership(groupId, entryId, true);
        const int rc = Change([&] {
            int code = -1;
            if (m_wideMode && m_wide)
                m_wide->addToGroup(&m_headerW, groupId, entryId, &code);
            else if (!m_wideMode && m_ansi)
                m_ansi->addToGroup(&m_headerA, groupId, entryId, &code);
            return code;
        });
        if (m_undo) m_undo->Record().AfterMembership(rc == kOk);
        return rc;
    });
}

int PhonebookDB::RemoveMemberById(uint16_t groupId, uint16_t entryId) {
    if (!LoadEngine()) return -1;
    return LoggedWrite([&] {
        if (m_undo) m_undo->Record().BeforeMembership(groupId, entryId, false);
        const int rc = Change([&] {
            int code = -1;
            if (m_wideMode && m_wide)
                m_wide->removeFromGroup(&m_headerW, groupId, entryId, &code);
            else if (!m_wideMode && m_ansi)
                m_ansi->removeFromGroup(&m_headerA, groupId, entryId, &code);
            return code;
        });
        if (m_undo) m_undo->Record().AfterMembership(rc == kOk);
        return rc;
    });
}

undo::Session* PhonebookDB::UndoLog() {
    if (!m_undoKept || m_readOnly || !IsOpen() || m_path.IsEmpty() || !m_batch) return nullptr;
    // One commit per change is what lets the log match the book.
    if (m_wideMode ? !(m_batch->beginW && m_batch->endW) : !(m_batch->beginA && m_batch->endA)) return nullptr;
    if (m_undo && m_undoPath == m_path) return m_undo.get();
    // A log is taken up between changes only.
    if (m_batchDepth > 0) return nullptr;
    auto session = std::make_unique<undo::Session>(*this);
    if (!session->Attach()) return nullptr;
    m_undo = std::move(session);
    m_undoPath = m_path;
    return m_undo.get();
}

void PhonebookDB::LabelNextChange(const CMString& label) {
    if (undo::Session* log = UndoLog()) log->SetLabel(label);
}

int PhonebookDB::LoggedWrite(const std::function<int()>& write) {
    if (m_batchDepth > 0 || !UndoLog()) return write();
    // A batch the book refuses (busy) leaves the write to wait for the book as before,
    // unlogged.
    if (!BeginChanges()) return write();
    const int code = write();
    if (!EndChanges(false)) return code == kOk ? m_batchRefusal : code;
    return code;
}
