// The main window over real phone books: search as you type, the buttons following
// the selection and the book, dropping files, the File menu's rules and the file
// commands.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"

namespace {

// The main window with the conversion offer answered and counted.
class TestMainDialog : public CPhoneBookDlg {
public:
    using CPhoneBookDlg::CPhoneBookDlg;
    int offers = 0;

protected:
    INT_PTR OfferConversion() override {
        ++offers;
        return IDNO;
    }
};

struct Owner {
    Owner() {
        hwnd = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    ~Owner() { DestroyWindow(hwnd); }
    HWND hwnd;
};

CMString AddEntries(const CMString& path, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> entries) {
    PhonebookDB db;
    db.SetWideMode(true);
    db.SetCurrentFormat(true);
    EXPECT_TRUE(db.Open(path, 0, 0));
    for (const auto& e : entries) {
        RecordPtr r = MakeRecord();
        CopyField(r->name, e.first);
        CopyField(r->fax, e.second);
        EngineRecord er = db.NewEngineRecord();
        db.ToEngineRecord(*r, er);
        EXPECT_EQ(db.AddRecord(er, false), 0);
    }
    return path;
}

// Drops files on a window the way the shell does.
void Drop(HWND window, const std::vector<CMString>& files) {
    size_t chars = 1;
    for (const auto& f : files) chars += static_cast<size_t>(f.GetLength()) + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* p = reinterpret_cast<wchar_t*>(drop + 1);
    for (const auto& f : files) {
        wcscpy(p, f.c_str());
        p += f.GetLength() + 1;
    }
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

class MainWindow : public testing::Test {
protected:
    void SetUp() override {
        testenv::UseLanguage(L"en-US");
        sample = AddEntries(Book(L"sample.mpb2"), {{L"Anna Smith", L"0301"}, {L"Bob Jones", L"0302"},
                                                   {L"Carl Smith", L"0303"}, {L"Dora Brown", L"0304"}});
    }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        dialog.reset();
    }
    CMString Book(const wchar_t* name, const wchar_t* format = L"mpb2") {
        CMString path = folder.File(name);
        EXPECT_TRUE(testenv::MakeBook(path, format));
        return path;
    }
    void Open(MainDialogStart start) {
        dialog = std::make_unique<TestMainDialog>(start);
        hwnd = dialog->CreateModeless(owner.hwnd, IDD_MAIN, IDD_MAIN_RTL);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        harness::PumpUntilIdle();
    }
    void OpenBook(const CMString& path, bool lock = false, bool readOnly = false) {
        MainDialogStart start;
        start.currentPath = path;
        start.lockFileCommands = lock;
        start.forceReadOnly = readOnly;
        Open(start);
    }
    int Rows() { return dialog->List()->GetItemCount(); }
    void Select(std::initializer_list<int> rows) {
        ListViewUIControl* list = dialog->List();
        list->ClearSelection();
        for (int r : rows) list->SetItemSelected(r, true);
        harness::PumpUntilIdle();
    }
    void Type(const wchar_t* text) {
        HWND search = GetDlgItem(hwnd, IDC_SEARCH);
        for (const wchar_t* p = text; *p; ++p) SendMessageW(search, WM_CHAR, *p, 0);
    }

    testenv::TempFolder folder;
    CMString sample;
    Owner owner;
    std::unique_ptr<TestMainDialog> dialog;
    HWND hwnd = nullptr;
};

TEST_F(MainWindow, OpensTheStartBookSortedWithNothingSelected) {
    OpenBook(sample);
    ASSERT_EQ(Rows(), 4);
    CMString first;
    dialog->List()->GetItemText(0, 0, first, 50);
    EXPECT_EQ(first, CMString(L"Anna Smith"));
    EXPECT_EQ(dialog->List()->GetSelectedCount(), 0);
    EXPECT_EQ(dialog->GetBookLocation(), BookLocation::Local);
    EXPECT_TRUE(dialog->IsEditable());
    EXPECT_TRUE(harness::IsItemEnabled(hwnd, IDC_NEW_ENTRY));
    EXPECT_TRUE(harness::IsItemEnabled(hwnd, IDC_NEW_GROUP));
    EXPECT_EQ(harness::WindowText(hwnd), app::Text(IDS_TITLE));
    EXPECT_EQ(dialog->CurrentPath(), sample);
}

TEST_F(MainWindow, ColumnsFillTheListWithoutScrollingSideways) {
    CMString many = folder.File(L"many.mpb2");
    ASSERT_EQ(testenv::RunPbtool(CMString::Formatted(L"sample \"%s\" --entries 40 --groups 2", many.c_str())), 0);
    for (const CMString& path : {sample, many}) {
        SCOPED_TRACE(path.ToUtf8());
        OpenBook(path);
        HWND list = dialog->List()->ListWindow();
        RECT inside;
        GetClientRect(list, &inside);
        const int widths = ListView_GetColumnWidth(list, 0) + ListView_GetColumnWidth(list, 1);
        const bool scrollsDown = GetWindowLongPtrW(list, GWL_STYLE) & WS_VSCROLL;
        EXPECT_FALSE(GetWindowLongPtrW(list, GWL_STYLE) & WS_HSCROLL);
        EXPECT_LE(widths, inside.right);
        EXPECT_GE(widths, inside.right - (scrollsDown ? 0 : GetSystemMetrics(SM_CXVSCROLL)) - 2);
        TearDown();
    }
}

// Without a book, or with one open only for reading, the shortcuts of the greyed
// buttons open nothing (no "phone book full" for a book that is not there).
TEST_F(MainWindow, NewEntryAndGroupShortcutsFollowTheirButtons) {
    struct Case {
        const wchar_t* name;
        bool open;
        bool readOnly;
    } cases[] = {{L"no book", false, false}, {L"read-only book", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.name).ToUtf8());
        if (c.open)
            OpenBook(sample, false, c.readOnly);
        else
            Open(MainDialogStart{});
        for (int command : {ID_NEW_ENTRY, ID_NEW_GROUP}) {
            harness::ModalDriver driver;
            SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(command, 1), 0);
            harness::PumpUntilIdle();
            EXPECT_TRUE(driver.Seen().empty()) << command;
        }
        TearDown();
    }
}

TEST_F(MainWindow, CopyButtonOnlyForReadOnlyBooks) {
    OpenBook(sample);
    Select({0});
    EXPECT_EQ(GetDlgItem(hwnd, IDC_COPY_PERSONAL), nullptr);
    TearDown();

    OpenBook(sample, false, true);
    EXPECT_EQ(harness::WindowText(hwnd), app::Text(IDS_TITLE_READONLY));
    EXPECT_EQ(dialog->GetBookLocation(), BookLocation::Shared);
    Select({1});
    ASSERT_NE(GetDlgItem(hwnd, IDC_COPY_PERSONAL), nullptr);
    EXPECT_TRUE(harness::IsItemEnabled(hwnd, IDC_COPY_PERSONAL));
    EXPECT_FALSE(harness::IsItemEnabled(hwnd, IDC_EDIT_BUTTON));  // not editable
    Select({});
    EXPECT_FALSE(harness::IsItemEnabled(hwnd, IDC_COPY_PERSONAL));
}

TEST_F(MainWindow, SearchRefillsAtEveryChange) {
    OpenBook(sample);
    SetDlgItemTextW(hwnd, IDC_SEARCH, L"");
    harness::PumpUntilIdle();
    EXPECT_EQ(Rows(), 4);
    struct { const wchar_t* typed; int rows; } steps[] = {{L"s", 2}, {L"m", 2}, {L"ith c", 1}};
    for (const auto& s : steps) {
        Type(s.typed);
        EXPECT_EQ(Rows(), s.rows) << CMString(s.typed).ToUtf8();
    }
    // The first row of a refill is selected.
    EXPECT_EQ(dialog->List()->GetNextSelected(-1), 0);
    SetDlgItemTextW(hwnd, IDC_SEARCH, L"");
    EXPECT_EQ(Rows(), 4);
}

TEST_F(MainWindow, AReadOnlyListFollowsAnotherWriter) {
    OpenBook(sample, false, true);
    SetDlgItemTextW(hwnd, IDC_SEARCH, L"");
    Type(L"smith");
    ASSERT_EQ(Rows(), 2);
    Select({1});
    const int chosen = dialog->List()->GetItemData(1);
    // Activation looks at once; the timer within its period.
    struct { std::pair<const wchar_t*, const wchar_t*> added; bool activate; int rows; } steps[] = {
        {{L"Bea Smith", L"0305"}, true, 3},
        {{L"Eve Smith", L"0306"}, false, 4},
    };
    for (const auto& s : steps) {
        AddEntries(sample, {s.added, {L"Not Matching", s.added.second}});
        if (s.activate) SendMessageW(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
        EXPECT_TRUE(harness::PumpUntil([&] { return Rows() == s.rows; }, 6000)) << Rows();
        EXPECT_EQ(harness::WindowText(GetDlgItem(hwnd, IDC_SEARCH)), L"smith");
        EXPECT_EQ(dialog->List()->GetSelectedCount(), 1);
        int row = dialog->List()->GetNextSelected(0);
        EXPECT_EQ(row >= 0 ? dialog->List()->GetItemData(row) : -1, chosen);
    }
}

// The list as the user works it, read from the control: typing a name's first letters,
// clicks with and without shift and control, a header click; the buttons follow the
// selection, which a sort keeps on its records.
TEST_F(MainWindow, TheListFollowsTheKeyboardMouseAndHeader) {
    OpenBook(sample);
    HWND list = GetDlgItem(hwnd, IDC_LIST);
    SetFocus(list);
    auto click = [&](int row, WPARAM keys) {
        RECT item = {};
        ListView_GetItemRect(list, row, &item, LVIR_LABEL);
        const LPARAM at = MAKELPARAM(item.left + 4, (item.top + item.bottom) / 2);
        SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
        SendMessageW(list, WM_LBUTTONUP, keys, at);
    };
    auto sortByName = [&] {
        NMLISTVIEW header = {{list, IDC_LIST, static_cast<UINT>(LVN_COLUMNCLICK)}, -1, 0};
        SendMessageW(hwnd, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&header));
    };
    struct { std::function<void()> act; std::vector<CMString> selected; bool edit; } steps[] = {
        {[&] { SendMessageW(list, WM_CHAR, L'c', 1); }, {L"Carl Smith"}, true},
        {[&] { click(1, 0); }, {L"Bob Jones"}, true},
        {[&] { click(3, MK_SHIFT); }, {L"Bob Jones", L"Carl Smith", L"Dora Brown"}, false},
        {[&] { click(0, MK_CONTROL); }, {L"Anna Smith", L"Bob Jones", L"Carl Smith", L"Dora Brown"}, false},
        {[&] { click(2, MK_CONTROL); }, {L"Anna Smith", L"Bob Jones", L"Dora Brown"}, false},
        {sortByName, {L"Dora Brown", L"Bob Jones", L"Anna Smith"}, false},
        // Once the earlier letters are forgotten (the control keeps them under half a second).
        {[&] { Sleep(600); SendMessageW(list, WM_CHAR, L'b', 1); }, {L"Bob Jones"}, true},
    };
    int step = 0;
    for (const auto& s : steps) {
        s.act();
        harness::PumpUntilIdle();
        std::vector<CMString> selected;
        wchar_t text[50];
        for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
             row = ListView_GetNextItem(list, row, LVNI_SELECTED)) {
            ListView_GetItemText(list, row, 0, text, 50);
            selected.emplace_back(text);
        }
        EXPECT_EQ(selected, s.selected) << "step " << step;
        EXPECT_EQ(harness::IsItemEnabled(hwnd, IDC_EDIT_BUTTON), s.edit) << "step " << step;
        EXPECT_TRUE(harness::IsItemEnabled(hwnd, IDC_DELETE)) << "step " << step++;
    }
}

TEST_F(MainWindow, PromptTextTakesPartInTheSearch) {
    OpenBook(sample);
    SendDlgItemMessageW(hwnd, IDC_SEARCH, EM_SETSEL, -1, -1);
    Type(L"x");
    EXPECT_EQ(dialog->Model()->SearchText(), app::Text(IDS_SEARCH_PROMPT) + L"x");
    EXPECT_EQ(Rows(), 0);
}

TEST_F(MainWindow, EditAndDeleteNeedTheirSelection) {
    OpenBook(sample);
    Select({});
    SendMessageW(hwnd, WM_COMMAND, ID_DELETE_ENTRY, 0);
    SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
    Select({0, 1});
    SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
    EXPECT_EQ(Rows(), 4);
    EXPECT_FALSE(harness::IsItemEnabled(hwnd, IDC_EDIT_BUTTON));
    EXPECT_TRUE(harness::IsItemEnabled(hwnd, IDC_DELETE));

    Select({0, 2, 3});
    harness::ModalDriver driver;
    driver.ThenPress(IDOK);
    SendMessageW(hwnd, WM_COMMAND, ID_DELETE_ENTRY, 0);
    EXPECT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(Rows(), 1);
    CMString left;
    dialog->List()->GetItemText(0, 0, left, 50);
    EXPECT_EQ(left, CMString(L"Bob Jones"));
}

TEST_F(MainWindow, HeaderClicksAlternateTheOrder) {
    OpenBook(sample);
    auto first = [&] {
        CMString text;
        dialog->List()->GetItemText(0, 0, text, 50);
        return text;
    };
    NMLISTVIEW click = {};
    click.hdr.hwndFrom = GetDlgItem(hwnd, IDC_LIST);
    click.hdr.idFrom = IDC_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 0;
    // The start sort was ascending on names: the next click sorts them descending.
    SendMessageW(hwnd, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(first(), CMString(L"Dora Brown"));
    SendMessageW(hwnd, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(first(), CMString(L"Anna Smith"));
}

TEST_F(MainWindow, DroppingOneFileOpensItEvenWhenFileCommandsAreLocked) {
    CMString other = AddEntries(Book(L"other.mpb2"), {{L"Eve", L"1"}});
    OpenBook(sample, true);
    Drop(hwnd, {other, sample});
    EXPECT_EQ(dialog->CurrentPath(), sample);
    EXPECT_EQ(Rows(), 4);
    Drop(hwnd, {other});
    EXPECT_EQ(dialog->CurrentPath(), other);
    EXPECT_EQ(Rows(), 1);
}

TEST_F(MainWindow, FileMenuItemsFollowTheirRules) {
    CMString empty = Book(L"empty.mpb2");
    struct { CMString path; bool lock; bool readOnly; bool expected[8]; } cases[] = {
        // New, Open, Save As, Import, Export, Directory, Duplicates, Print
        {CMString(), false, false, {true, true, false, false, false, false, false, false}},
        {sample, false, false, {true, true, true, true, true, true, true, true}},
        {empty, false, false, {true, true, true, true, false, true, true, false}},
        {sample, true, false, {false, false, false, true, true, true, true, true}},
        {sample, false, true, {false, true, true, false, true, false, false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.ToUtf8() + (c.lock ? " locked" : "") + (c.readOnly ? " read-only" : ""));
        OpenBook(c.path, c.lock, c.readOnly);
        auto items = dialog->FileMenuItems();
        ASSERT_EQ(items.size(), 8u);
        for (size_t i = 0; i < 8; ++i) EXPECT_EQ(items[i].enabled, c.expected[i]) << i;
        TearDown();
    }
}

TEST(BookLocation, DriveLettersAndSharesDecideEditing) {
    struct { const wchar_t* path; bool force; BookLocation location; } cases[] = {
        {L"C:\\Books\\a.mpb2", false, BookLocation::Local}, {L"f:\\a.mpb2", false, BookLocation::Local},
        {L"F:\\a.mpb2", false, BookLocation::Local},        {L"G:\\a.mpb2", false, BookLocation::Shared},
        {L"h:\\a.mpb2", false, BookLocation::Shared},       {L"Z:\\a.mpb2", false, BookLocation::Shared},
        {L"\\\\server\\books\\a.mpb2", false, BookLocation::Shared},
        {L"C:\\a.mpb2", true, BookLocation::Shared},        {L"a.mpb2", false, BookLocation::Local},
    };
    for (const auto& c : cases) EXPECT_EQ(LocationOfPath(c.path, c.force), c.location) << CMString(c.path).ToUtf8();
    EXPECT_EQ(CurrentFormatName(L"C:\\b\\old.pb"), CMString(L"C:\\b\\old.mpb2"));
    EXPECT_EQ(CurrentFormatName(L"C:\\b.d\\old"), CMString(L"C:\\b.mpb2"));
    EXPECT_EQ(CurrentFormatName(L"old"), CMString(L"mpb2"));
}

TEST_F(MainWindow, OlderBooksAreOfferedForConversionOnlyWithoutATwin) {
    CMString old = AddEntries(Book(L"old.pb", L"pb"), {{L"Fred", L"9"}});
    CMString twinned = Book(L"twin.mpb", L"mpb");
    Book(L"twin.mpb2");
    struct { CMString path; bool readOnly; int offers; } cases[] = {{old, false, 1}, {twinned, false, 0}, {old, true, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.ToUtf8());
        OpenBook(sample, false, c.readOnly);
        EXPECT_TRUE(dialog->OpenPhoneBookFile(c.path));
        EXPECT_EQ(dialog->offers, c.offers);
        EXPECT_EQ(dialog->CurrentPath(), c.path);
        EXPECT_EQ(dialog->IsEditable(), !c.readOnly);
        TearDown();
    }
}

TEST_F(MainWindow, FailedOpenListsThePreviousBookAgain) {
    OpenBook(sample);
    harness::ModalDriver driver;
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    EXPECT_FALSE(dialog->OpenPhoneBookFile(folder.File(L"no such folder\\x.mpb2")));
    EXPECT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(dialog->CurrentPath(), sample);
    EXPECT_EQ(Rows(), 4);
    EXPECT_TRUE(dialog->Model()->HasOpenFile());
}

// The file name field of the platform's file dialog, typed into as a user does.
harness::ModalDriver::Step TypeAndOk(const CMString& name) {
    return [name](const harness::SeenWindow& seen) {
        HWND field = GetDlgItem(seen.window, cmb13);
        if (!field) field = GetDlgItem(seen.window, edt1);
        SetWindowTextW(field, name.c_str());
        harness::ModalDriver::Press(IDOK)(seen);
    };
}

TEST_F(MainWindow, SaveAsCopiesAndOpensTheCopy) {
    OpenBook(sample);
    CMString copy = folder.File(L"copy.mpb2");
    harness::ModalDriver driver;
    driver.Then(TypeAndOk(copy));
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_SAVE_AS, 0);
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_SAVE_AS_TITLE));
    EXPECT_EQ(dialog->CurrentPath(), copy);
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(harness::WindowText(hwnd), app::Text(IDS_TITLE));
}

TEST_F(MainWindow, SaveAsThatCannotWriteShowsThePlatformsReason) {
    OpenBook(sample);
    // A target another program holds open cannot be replaced.
    CMString target = Book(L"held.mpb2");
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    harness::ModalDriver driver;
    driver.Then(TypeAndOk(target)).ThenPress(IDYES).ThenPress(IDOK);
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_SAVE_AS, 0);
    CloseHandle(held);
    ASSERT_GE(driver.Seen().size(), 2u);
    const auto& box = driver.Seen().back();
    EXPECT_FALSE(box.text.IsEmpty());
    EXPECT_EQ(dialog->CurrentPath(), sample);
    EXPECT_EQ(Rows(), 4);
}

TEST_F(MainWindow, NewBookAsksBeforeReplacingAnExistingOne) {
    OpenBook(sample);
    harness::ModalDriver driver;
    // The existing sample is chosen: the platform asks, No keeps everything.
    driver.Then(TypeAndOk(sample)).Then([](const harness::SeenWindow& seen) {
        // No to the question, then the file dialog is cancelled.
        harness::ModalDriver::Press(IDNO)(seen);
        PostMessageW(GetWindow(seen.window, GW_OWNER), WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_NEW, 0);
    EXPECT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(dialog->CurrentPath(), sample);
    EXPECT_EQ(Rows(), 4);

    CMString fresh = folder.File(L"fresh.mpb2");
    harness::ModalDriver second;
    second.Then(TypeAndOk(fresh));
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_NEW, 0);
    EXPECT_EQ(dialog->CurrentPath(), fresh);
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(dialog->IsEditable());
}

TEST_F(MainWindow, ImportAtCapacityShowsTheCapacity) {
    CMString full = Book(L"full.pb", L"pb");
    {
        PhonebookDB db;
        ASSERT_TRUE(db.Open(full, 0, 0));
        for (int i = 0; i < 1000; ++i) {
            RecordPtr r = MakeRecord();
            CopyField(r->name, CMString::Formatted(L"N%d", i));
            CopyField(r->fax, L"1");
            EngineRecord er = db.NewEngineRecord();
            db.ToEngineRecord(*r, er);
            ASSERT_EQ(db.AddRecord(er, false), 0);
        }
    }
    OpenBook(full);
    ASSERT_EQ(Rows(), 1000);
    harness::ModalDriver driver;
    driver.ThenPress(IDOK);
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_IMPORT, 0);
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].caption, app::Text(IDS_BOOK_FULL_CAPTION));
    EXPECT_EQ(driver.Seen()[0].text, CMString::Formatted(app::Text(IDS_BOOK_FULL).c_str(), 1000u));
}

}  // namespace
