// A book another process is changing (it holds the engine's lock) met by every kind of
// operation: the message it gets, whether what the user typed is kept, and that the
// book is as it was. Then the same through pbtool, with and without waiting.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "EntryDialogScript.h"
#include "GroupDialogFixture.h"
#include "ListDialog.h"
#include "PbtoolRun.h"
#include "PrintCMString.h"
#include "harness/BookLock.h"

namespace {

using entrytest::Script;
using pbtooltest::Contents;
using pbtooltest::Pbtool;
using pbtooltest::Q;

CMString InUse() { return app::Text(IDS_BOOK_IN_USE_CAPTION); }

bool SawInUse(const harness::ModalDriver& driver) {
    for (const auto& seen : driver.Seen())
        if (seen.caption == InUse()) return true;
    return false;
}

// Asks a window for an answer (WM_NULL) from another thread every 20 ms, as another
// program would, and keeps the longest wait: a window waiting on a book's lock does not
// answer.
class AnswerWatch {
public:
    explicit AnswerWatch(HWND window) : m_window(window) {
        m_thread = CreateThread(nullptr, 0, &AnswerWatch::Main, this, 0, nullptr);
    }
    ~AnswerWatch() { Stop(); }
    AnswerWatch(const AnswerWatch&) = delete;
    AnswerWatch& operator=(const AnswerWatch&) = delete;
    // The longest wait; this thread answers while the watcher ends.
    ULONGLONG Stop() {
        m_stop = true;
        while (m_thread && MsgWaitForMultipleObjects(1, &m_thread, FALSE, 1000, QS_ALLINPUT) != WAIT_OBJECT_0)
            harness::PumpUntilIdle();
        if (m_thread) CloseHandle(m_thread);
        m_thread = nullptr;
        return m_longest;
    }

private:
    static DWORD WINAPI Main(void* self) {
        auto* watch = static_cast<AnswerWatch*>(self);
        while (!watch->m_stop) {
            const ULONGLONG from = GetTickCount64();
            DWORD_PTR unused = 0;
            SendMessageTimeoutW(watch->m_window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &unused);
            watch->m_longest = std::max<ULONGLONG>(watch->m_longest, GetTickCount64() - from);
            Sleep(20);
        }
        return 0;
    }
    HWND m_window;
    std::atomic<bool> m_stop{false};
    std::atomic<ULONGLONG> m_longest{0};
    HANDLE m_thread = nullptr;
};

void Add(const CMString& path, const wchar_t* name, const wchar_t* fax) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    ASSERT_TRUE(db.Open(path, 0, 0));
    EngineRecord r = db.NewEngineRecord();
    r.SetKind(pbabi::kKindEntry);
    WriteFields(r, name, fax, L"", L"", L"", L"");
    ASSERT_EQ(db.AddRecord(r, false), 0);
}

class BusyBook : public testing::Test {
public:  // the table's rows act on the fixture
    void SetUp() override {
        testenv::UseLanguage(L"en-US");
        book = folder.File(L"shared.mpb2");
        ASSERT_TRUE(testenv::MakeBook(book, L"mpb2"));
        personal = folder.File(L"personal.mpb2");
        ASSERT_TRUE(testenv::MakeBook(personal, L"mpb2"));
        Add(book, L"Anna", L"0301");
        Add(book, L"Bob", L"0302");
        before = Contents(book);
    }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        main.reset();
    }
    void Open(bool readOnly = false, bool withBook = true) {
        MainDialogStart start;
        if (withBook) start.currentPath = book;
        start.personalPath = personal;
        start.forceReadOnly = readOnly;
        main = std::make_unique<CPhoneBookDlg>(start);
        hwnd = main->CreateModeless(owner, IDD_MAIN, IDD_MAIN_RTL);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        harness::PumpUntilIdle();
    }
    void Select(std::initializer_list<int> rows) {
        main->List()->ClearSelection();
        for (int r : rows) main->List()->SetItemSelected(r, true);
    }
    int Rows() const { return main->List()->GetItemCount(); }

    testenv::TempFolder folder;
    CMString book, personal;
    std::vector<std::wstring> before;
    HWND owner = nullptr;
    std::unique_ptr<CPhoneBookDlg> main;
    HWND hwnd = nullptr;
};

// Each change is made while another process holds the lock for writing; the user's
// input stays where it was typed, the book keeps what it held, and the window answers
// other programs while the change waits for the book.
TEST_F(BusyBook, AChangeMetByAnotherWriterSaysSoAndKeepsTheInput) {
    struct Row {
        const char* operation;
        // Runs the change; true when the input was still there after the message.
        std::function<bool(BusyBook&, harness::ModalDriver*&)> run;
        // The window only reads its book / the writer holds the personal book.
        bool reader = false;
        bool personalHeld = false;
        // Before the writer stalls, another program commits: the window's reads need the lock.
        bool behind = false;
    };
    // The import and export dialog: the file is given and OK pressed; true when the
    // dialog is still open with it afterwards.
    auto throughDialog = [](BusyBook& t, harness::ModalDriver& driver, WORD command, const CMString& file) {
        bool kept = false;
        driver.Then(grouptest::Inside([&](HWND d) {
            SetDlgItemTextW(d, IDC_IE_FILE, file.c_str());
            grouptest::Press(d, IDOK);
            kept = IsWindow(d) && harness::ItemText(d, IDC_IE_FILE) == file.str();
            grouptest::Press(d, IDCANCEL);
        }));
        SendMessageW(t.hwnd, WM_COMMAND, command, 0);
        harness::PumpUntilIdle();
        return kept;
    };
    const Row rows[] = {
        {"add", [](BusyBook& t, harness::ModalDriver*& seen) {
             bool kept = false;
             Script script([&](HWND d) {
                 entrytest::TypeFields(d, {L"Cleo", L"0305"});
                 entrytest::Click(d, IDOK);
                 kept = IsWindow(d) && harness::ItemText(d, IDC_ENTRY_NAME) == L"Cleo";
             });
             seen = &script.driver;
             SendMessageW(t.hwnd, WM_COMMAND, ID_NEW_ENTRY, 0);
             return kept && SawInUse(script.driver);
         }},
        {"modify", [](BusyBook& t, harness::ModalDriver*& seen) {
             t.Select({0});
             bool kept = false;
             Script script([&](HWND d) {
                 entrytest::Type(d, IDC_ENTRY_ORGANIZATION, L"Acme");
                 entrytest::Click(d, IDOK);
                 kept = IsWindow(d) && harness::ItemText(d, IDC_ENTRY_ORGANIZATION) == L"Acme";
             });
             seen = &script.driver;
             SendMessageW(t.hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
             return kept && SawInUse(script.driver);
         }},
        {"delete one", [](BusyBook& t, harness::ModalDriver*&) {
             t.Select({0});
             harness::ModalDriver driver;
             driver.ThenPress(IDOK);  // the question; the message is answered by itself
             SendMessageW(t.hwnd, WM_COMMAND, ID_DELETE_ENTRY, 0);
             return SawInUse(driver) && t.Rows() == 2;
         }},
        {"delete two (batch)", [](BusyBook& t, harness::ModalDriver*&) {
             t.Select({0, 1});
             harness::ModalDriver driver;
             driver.ThenPress(IDOK);
             SendMessageW(t.hwnd, WM_COMMAND, ID_DELETE_ENTRY, 0);
             return SawInUse(driver) && t.Rows() == 2;
         }},
        {"new group (batch)", [](BusyBook& t, harness::ModalDriver*&) {
             bool kept = false;
             harness::ModalDriver driver;
             driver.Then(grouptest::Inside([&](HWND d) {
                 SetDlgItemTextW(d, IDC_GROUP_NAME, L"Team");
                 grouptest::Press(d, IDOK);
                 kept = IsWindow(d) && harness::ItemText(d, IDC_GROUP_NAME) == L"Team";
             }));
             SendMessageW(t.hwnd, WM_COMMAND, ID_NEW_GROUP, 0);
             harness::PumpUntilIdle();
             return kept && SawInUse(driver);
         }},
        {"import (batch)", [&](BusyBook& t, harness::ModalDriver*&) {
             const CMString source = t.folder.File(L"import.csv");
             pbtooltest::WriteText(source, "Cleo,0303\r\n");
             harness::ModalDriver driver;
             return throughDialog(t, driver, ID_FILE_IMPORT, source) && SawInUse(driver);
         }},
        {"personal copy from the entry dialog", [](BusyBook& t, harness::ModalDriver*&) {
             t.Select({0});
             Script script([&](HWND d) {
                 entrytest::Click(d, IDC_ENTRY_PERSONAL_COPY);
                 entrytest::Click(d, IDOK);
             });
             SendMessageW(t.hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
             return SawInUse(script.driver);
         }, true, true},
        {"personal copy from the main window (batch)", [](BusyBook& t, harness::ModalDriver*&) {
             t.Select({0, 1});
             harness::ModalDriver driver;
             SendMessageW(t.hwnd, WM_COMMAND, MAKEWPARAM(IDC_COPY_PERSONAL, BN_CLICKED), 0);
             return SawInUse(driver) && t.Rows() == 2;
         }, true, true},
        // Last: the commits before them stay in the book.
        {"personal copy from a book the reader is behind", [](BusyBook& t, harness::ModalDriver*&) {
             t.Select({0, 1});
             harness::ModalDriver driver;
             SendMessageW(t.hwnd, WM_COMMAND, MAKEWPARAM(IDC_COPY_PERSONAL, BN_CLICKED), 0);
             return SawInUse(driver);
         }, true, false, true},
        {"export of a book the reader is behind", [&](BusyBook& t, harness::ModalDriver*&) {
             const CMString target = t.folder.File(L"export.csv");
             harness::ModalDriver driver;
             const bool kept = throughDialog(t, driver, ID_FILE_EXPORT, target);
             return kept && SawInUse(driver) && GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES;
         }, true, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.operation);
        Open(row.reader);
        ASSERT_EQ(main->Model()->Database().IsReadOnly(), row.reader);
        if (row.behind) Add(book, CMString::Formatted(L"Dora %d", static_cast<int>(&row - rows)).c_str(), L"0304");
        const auto held = Contents(book);
        bool ok = false;
        ULONGLONG longest = 0;
        {
            booklock::Holder writer(row.personalHeld ? personal.str() : book.str());
            ASSERT_TRUE(writer.Holding());
            AnswerWatch watch(hwnd);
            harness::ModalDriver* unused = nullptr;
            ok = row.run(*this, unused);
            longest = watch.Stop();
        }
        EXPECT_TRUE(ok);
        // Far less than the engine's wait of 2 s, which the change waited on a worker.
        EXPECT_LT(longest, 1500u);
        DestroyWindow(hwnd);
        hwnd = nullptr;
        EXPECT_EQ(Contents(book), held);
        EXPECT_TRUE(Contents(personal).empty());
    }
}

// Opening: a writer's lock refuses the book with the in-use message; a reader's only
// the writing, and the book opens for reading with a word in a balloon, no question.
TEST_F(BusyBook, OpeningABusyBookFallsBackToReadingOrSaysWhy) {
    struct { bool writerHolds; bool opened; bool question; } cases[] = {{false, true, false}, {true, false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.writerHolds ? "writer" : "reader");
        Open(false, false);
        harness::ModalDriver driver;
        {
            booklock::Holder peer(book.str(), c.writerHolds);
            ASSERT_TRUE(peer.Holding());
            EXPECT_EQ(main->OpenPhoneBookFile(book), c.opened);
        }
        EXPECT_EQ(SawInUse(driver), c.question);
        EXPECT_EQ(main->Model()->HasOpenFile(), c.opened);
        if (c.opened) {
            EXPECT_TRUE(main->Model()->Database().IsReadOnly());
            EXPECT_FALSE(main->IsEditable());
            EXPECT_EQ(Rows(), 2);
            EXPECT_TRUE(harness::PumpUntil([&] { return main->Balloon().IsShown(); }, 3000));
            EXPECT_EQ(main->Balloon().Text(), app::Text(IDS_OPENED_WHILE_BUSY));
        }
        DestroyWindow(hwnd);
        hwnd = nullptr;
        EXPECT_EQ(Contents(book), before);
    }
}

// A list read while another writer holds the book keeps the rows it had (never none or
// part of the book) and says so; once the writer is done it follows by itself. A first
// listing that fails shows no rows as the book, and fills once it can.
TEST_F(BusyBook, AListThatCannotBeReadKeepsItsLastGoodRows) {
    Open(true);
    ASSERT_EQ(Rows(), 2);
    Add(book, L"Cleo", L"0303");
    {
        booklock::Holder writer(book.str());
        ASSERT_TRUE(writer.Holding());
        SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);  // follows the other writer at once
        EXPECT_EQ(Rows(), 2);
        EXPECT_TRUE(main->Model()->IsListStale());
        EXPECT_TRUE(harness::PumpUntil([&] { return main->Balloon().IsShown(); }, 3000));
        EXPECT_EQ(main->Balloon().Text(), app::Text(IDS_LIST_NOT_REFRESHED));
    }
    EXPECT_TRUE(harness::PumpUntil([&] { return Rows() == 3; }, 8000)) << Rows();
    EXPECT_FALSE(main->Balloon().IsShown());

    // The first listing of a book, on the model as the window uses it.
    ListDialog window;
    ListViewUIControl list(IDC_LIST);
    list.AttachToDialog(window.Window());
    CPhonebook model(window.Window());
    model.AttachMainList(&list);
    std::vector<CPhonebook::Listing> heard;
    model.SetListingListener([&](CPhonebook::Listing l) { heard.push_back(l); });
    ASSERT_TRUE(model.Database().Open(book, 0, 1));
    Add(book, L"Dora", L"0304");
    {
        booklock::Holder writer(book.str());
        EXPECT_FALSE(model.Refresh(true));
    }
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_TRUE(model.Refresh(true));
    EXPECT_EQ(list.GetItemCount(), 4);
    EXPECT_EQ(heard, (std::vector<CPhonebook::Listing>{CPhonebook::Listing::NotRead, CPhonebook::Listing::Read}));
}

// Leaves what a writer that died in the middle of writing its journal leaves: the
// journal's header naming the next counter, and half of its one record.
void TearJournal(const CMString& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    uint64_t counter = 0;
    DWORD n = 0;
    SetFilePointer(f, 24, nullptr, FILE_BEGIN);
    ReadFile(f, &counter, sizeof counter, &n, nullptr);
    uint8_t journal[32 + 260] = {'P', 'B', 'J', '1', 1};
    counter += 1;
    memcpy(journal + 8, &counter, sizeof counter);
    journal[24] = 1;  // the current format
    for (size_t i = 32; i < sizeof journal; ++i) journal[i] = static_cast<uint8_t>(i * 7);
    SetFilePointer(f, 512 + 2500 * 512, nullptr, FILE_BEGIN);
    WriteFile(f, journal, sizeof journal, &n, nullptr);
    CloseHandle(f);
}

// A reader of a shared book does something with its list while another program adds an
// entry and then stalls holding the book, commits, or dies leaving half a journal. The
// list never loses its rows, the balloon says so only when a read failed, and once the
// writer is done (or the next writer commits) the list catches up by itself.
TEST_F(BusyBook, AReadersListKeepsItsRowsWhateverTheWriterDoes) {
    enum class Writer { Stalled, Committing, Torn };
    enum class Action { View, Group, Picker, PickerBehind, Search, Refresh };
    uint16_t team = 0;
    const char* actions[] = {"view", "group", "member picker", "member picker of a book behind", "search", "refresh"};
    const char* writers[] = {"stalled", "committing", "torn journal"};
    for (Action action :
         {Action::View, Action::Group, Action::Picker, Action::PickerBehind, Action::Search, Action::Refresh}) {
        for (Writer writer : {Writer::Stalled, Writer::Committing, Writer::Torn}) {
            // Members are picked only in a book this window writes, which no other program
            // can write meanwhile; it can still hold the lock.
            const bool picker = action == Action::Picker || action == Action::PickerBehind;
            if (picker && writer != Writer::Stalled) continue;
            SCOPED_TRACE(std::string(actions[static_cast<int>(action)]) + " / " + writers[static_cast<int>(writer)]);
            ASSERT_TRUE(testenv::MakeBook(book, L"mpb2"));
            Add(book, L"Anna", L"0301");
            Add(book, L"Bob", L"0302");
            {
                PhonebookDB db;
                ASSERT_TRUE(db.Open(book, 0, 0));
                CMString name = L"Team";
                ASSERT_TRUE(db.CreateGroup(name, &team, false));
            }
            Open(!picker);
            ASSERT_EQ(Rows(), 3);
            std::unique_ptr<booklock::Holder> holder;
            // Another program adds Cleo, then stalls, commits Dora, or dies in its journal.
            auto meanwhile = [&] {
                if (!picker) Add(book, L"Cleo", L"0303");
                if (writer == Writer::Stalled) holder = std::make_unique<booklock::Holder>(book.str());
                if (writer == Writer::Committing) Add(book, L"Dora", L"0304");
                if (writer == Writer::Torn) TearJournal(book);
            };
            harness::ModalDriver driver;
            auto inDialog = [&](HWND) { meanwhile(); };
            if (action == Action::PickerBehind) {
                // The window's book came to be open for reading while the group dialog was
                // up, and another program committed: the picker's first read meets the
                // stalled writer. It shows the main list's entries, then the book's.
                int shown = -1, filled = -1;
                driver
                    .Then(grouptest::Inside([&](HWND d) {
                        ASSERT_TRUE(main->Model()->Database().Open(book, 0, 1));
                        Add(book, L"Cleo", L"0303");
                        holder = std::make_unique<booklock::Holder>(book.str());
                        grouptest::Press(d, IDC_MEMBER_ADD);
                    }))
                    .Then(grouptest::Inside([&](HWND d) {
                        HWND candidates = GetDlgItem(d, IDC_PICK_CANDIDATES);
                        shown = ListView_GetItemCount(candidates);
                        holder->Release();
                        harness::PumpUntil([&] { return ListView_GetItemCount(candidates) == 3; }, 4000);
                        filled = ListView_GetItemCount(candidates);
                    }));
                Select({main->List()->FindItemByData(team)});
                SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
                harness::PumpUntilIdle();
                EXPECT_EQ(shown, 2);   // Anna and Bob, not the group
                EXPECT_EQ(filled, 3);  // and Cleo
                DestroyWindow(hwnd);
                hwnd = nullptr;
                main.reset();
                continue;
            }
            switch (action) {
                case Action::View:
                    driver.Then(grouptest::Inside(inDialog));
                    Select({0});
                    SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
                    break;
                case Action::Group:
                case Action::Picker:
                    if (action == Action::Group) {
                        driver.Then(grouptest::Inside(inDialog));
                    } else {
                        driver.Then(grouptest::Inside([](HWND d) { grouptest::Press(d, IDC_MEMBER_ADD); }))
                            .Then(grouptest::Inside(inDialog));
                    }
                    Select({main->List()->FindItemByData(team)});
                    SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
                    break;
                case Action::PickerBehind:
                case Action::Search:
                    meanwhile();
                    SetDlgItemTextW(hwnd, IDC_SEARCH, L"030");  // the entries, not the group
                    break;
                case Action::Refresh:
                    meanwhile();
                    SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
                    break;
            }
            harness::PumpUntilIdle();
            const bool search = action == Action::Search;
            // What the book holds now, as this list shows it (a search: the entries).
            const int now = picker ? 3 : (search ? 3 : 4) + (writer == Writer::Committing ? 1 : 0);
            if (writer == Writer::Stalled && picker) {
                // Nothing was committed: the image is current and is read without the lock.
                ASSERT_TRUE(holder && holder->Holding());
                EXPECT_EQ(Rows(), 3);
                EXPECT_FALSE(main->Balloon().IsShown());
            } else if (writer == Writer::Stalled) {
                ASSERT_TRUE(holder && holder->Holding());
                EXPECT_EQ(Rows(), 3);  // the rows it had, whatever the action
                EXPECT_TRUE(harness::PumpUntil([&] { return main->Balloon().IsShown(); }, 3000));
                EXPECT_EQ(main->Balloon().Text(), app::Text(IDS_LIST_NOT_REFRESHED));
                // Trying again does not wait on the lock: the window answers meanwhile.
                const ULONGLONG from = GetTickCount64();
                SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
                EXPECT_LT(GetTickCount64() - from, 500u);
                EXPECT_EQ(Rows(), 3);
                holder->Release();
                EXPECT_TRUE(harness::PumpUntil([&] { return Rows() == now; }, 4000)) << Rows();
                EXPECT_TRUE(harness::PumpUntil([&] { return !main->Balloon().IsShown(); }, 2000));
            } else {
                EXPECT_EQ(Rows(), now);
                EXPECT_FALSE(main->Balloon().IsShown());
            }
            // The next commit reaches the list too: a torn journal lends it no counter.
            if (!picker) {
                Add(book, L"Eve", L"0305");
                EXPECT_TRUE(harness::PumpUntil([&] { return Rows() == now + 1; }, 4000)) << Rows();
            }
            DestroyWindow(hwnd);
            hwnd = nullptr;
            main.reset();
        }
    }
}

// pbtool against a writer that does not finish: no wait ends at once with the in-use
// message and the book (and an export's file) as they were; a writer that finishes is
// waited for, and the job goes on right after it.
TEST_F(BusyBook, PbtoolWaitsForAWriterOrSaysTheBookIsInUse) {
    const CMString source = folder.File(L"people.csv");
    pbtooltest::WriteText(source, "Cleo,0303\r\nAnna,0301\r\n");
    const CMString exported = folder.File(L"out.csv");
    struct { const char* what; CMString args; } jobs[] = {
        {"import", L"import " + Q(book) + L" " + Q(source)},
        {"sync", L"sync " + Q(book) + L" " + Q(source) + L" --allow-shrink"},
        {"export", L"export " + Q(book) + L" " + Q(exported)},
    };
    for (const auto& job : jobs) {
        SCOPED_TRACE(job.what);
        booklock::Holder writer(book.str());
        ASSERT_TRUE(writer.Holding());
        const auto run = Pbtool(folder, job.args + L" --wait 0");
        writer.Release();
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find("changing the phone book"), std::string::npos) << run.err;
        EXPECT_EQ(Contents(book), before);
        EXPECT_EQ(GetFileAttributesW(exported.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // A writer that outlasts the wait: the source is read once, the in-use message comes
    // once, and the job ends within its limit and one try.
    {
        booklock::Holder writer(book.str());
        ASSERT_TRUE(writer.Holding());
        const auto start = std::chrono::steady_clock::now();
        const auto run = Pbtool(folder, L"sync " + Q(book) + L" " + Q(source) + L" --allow-shrink --wait 3");
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        writer.Release();
        EXPECT_EQ(run.code, 1);
        size_t told = 0;
        for (size_t at = run.err.find("changing the phone book"); at != std::string::npos;
             at = run.err.find("changing the phone book", at + 1))
            ++told;
        EXPECT_EQ(told, 1u) << run.err;
        EXPECT_LT(ms, 3000 + 4500) << run.err;
        RecordProperty("wait_3s_ms", static_cast<int>(ms));
    }
    // A writer done after 1.5 s: the sync lands soon after.
    booklock::Holder writer(book.str(), true, 1500);
    ASSERT_TRUE(writer.Holding());
    const auto start = std::chrono::steady_clock::now();
    const auto run = Pbtool(folder, L"sync " + Q(book) + L" " + Q(source) + L" --allow-shrink --wait 30");
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(Contents(book).size(), 2u);
    RecordProperty("sync_after_writer_ms", static_cast<int>(ms));
    EXPECT_LT(ms, 10000);
}

}  // namespace
