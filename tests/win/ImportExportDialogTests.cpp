// The import and export dialog run modally over a real main window and phone book:
// its texts and defaults, the move buttons, the delimiter choices, the checks on OK,
// Browse, help and its picture, and whole imports and exports through the File menu's
// commands.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <oleacc.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "importexport/ImportExportDlg.h"
#include "mainwindow/HelpAbout.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"
#include "util/Handles.h"

namespace {

constexpr int kImport = CImportExportDlg::kImport;
constexpr int kExport = CImportExportDlg::kExport;

std::string ReadBytes(const CMString& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const CMString& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
}

struct Owner {
    Owner() { hwnd = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr); }
    ~Owner() { DestroyWindow(hwnd); }
    HWND hwnd;
};

// Runs a script inside the dialog's own modal loop once the dialog is up: a timer
// started when the dialog activates. Whatever the script leaves open is cancelled.
thread_local std::function<void(HWND)> t_script;
thread_local HWND t_scriptWindow = nullptr;

void CALLBACK RunScript(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    auto script = std::move(t_script);
    t_script = nullptr;
    HWND dialog = t_scriptWindow;
    if (script) script(dialog);
    if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

harness::ModalDriver::Step Script(std::function<void(HWND)> script) {
    return [script](const harness::SeenWindow& seen) {
        t_script = script;
        t_scriptWindow = seen.window;
        SetTimer(nullptr, 0, 10, RunScript);
    };
}

void Command(HWND dialog, int id, WORD code = BN_CLICKED) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Picks a combo box item the way the mouse does: the list's selection, then its end.
void Choose(HWND dialog, int comboId, int item) {
    SendDlgItemMessageW(dialog, comboId, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
    Command(dialog, comboId, CBN_SELENDOK);
}

// Types into a control and moves the focus on, as Tab does.
void TypeAndLeave(HWND dialog, int id, const wchar_t* text) {
    SetFocus(GetDlgItem(dialog, id));
    SetDlgItemTextW(dialog, id, text);
    SetFocus(GetDlgItem(dialog, IDC_IE_FILE));
}

int Selection(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, id == IDC_IE_COLUMNS ? LB_GETCURSEL : CB_GETCURSEL, 0, 0));
}

CMString ListText(HWND list, int index, bool combo = false) {
    const UINT lengthMessage = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const UINT textMessage = combo ? CB_GETLBTEXT : LB_GETTEXT;
    const int length = static_cast<int>(SendMessageW(list, lengthMessage, static_cast<WPARAM>(index), 0));
    if (length < 0) return {};
    CMString text;
    SendMessageW(list, textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.GetBuffer(length + 1)));
    text.ReleaseBuffer();
    return text;
}

// The column list as label and check, in order.
std::vector<std::pair<CMString, int>> Columns(CImportExportDlg& dialog) {
    std::vector<std::pair<CMString, int>> columns;
    HWND list = dialog.ColumnList().Window();
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) columns.emplace_back(ListText(list, i), dialog.ColumnList().GetCheck(i));
    return columns;
}

int IndexOf(CImportExportDlg& dialog, unsigned labelId) {
    auto columns = Columns(dialog);
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].first == app::Text(labelId)) return static_cast<int>(i);
    return -1;
}

// Clicks an item's text, as the user selects it (the list reports the change).
void ClickItem(HWND list, int index) {
    RECT row = {};
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&row));
    const LPARAM at = MAKELPARAM(row.left + 40, (row.top + row.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
}

// Sets the checks of the column list to exactly these labels, as clicks on the boxes do.
void CheckOnly(CImportExportDlg& dialog, const std::vector<unsigned>& labels) {
    auto columns = Columns(dialog);
    for (size_t i = 0; i < columns.size(); ++i) {
        bool wanted = false;
        for (unsigned id : labels) wanted = wanted || columns[i].first == app::Text(id);
        if ((columns[i].second == 1) != wanted) dialog.ColumnList().Toggle(static_cast<int>(i));
    }
}

using harness::ToolTipOf;

class ImportExportDialog : public testing::Test {
protected:
    void SetUp() override { testenv::UseLanguage(L"en-US"); }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        main.reset();
        testenv::UseLanguage(L"en-US");
    }

    // A main window showing a fresh book with these entries.
    void OpenBook(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> entries,
                  const wchar_t* format = L"mpb2") {
        const CMString path = folder.File((CMString(L"book.") + format).c_str());
        ASSERT_TRUE(testenv::MakeBook(path, format));
        MainDialogStart start;
        start.currentPath = path;
        main = std::make_unique<CPhoneBookDlg>(start);
        hwnd = main->CreateModeless(owner.hwnd, IDD_MAIN, IDD_MAIN_RTL);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        for (const auto& e : entries)
            ASSERT_EQ(main->Model()->AddFromFields(e.first, e.second, L"", L"", L"", L"", false, false), 0);
        main->Model()->Refresh(true);
        harness::PumpUntilIdle();
    }
    int Rows() { return main->List()->GetItemCount(); }

    // Runs the dialog set up as the main window's command does; the driver's first
    // step meets the dialog itself.
    INT_PTR Run(CImportExportDlg& dialog, int mode, bool utf8Available = true) {
        dialog.SetModel(main->Model());
        dialog.SetUtf8Available(utf8Available);
        dialog.SetCapacity(main->Model()->Database().Capacity());
        dialog.SetMode(mode);
        dialog.SetModeBitmap(mode == kImport ? IDB_IMPORT : IDB_EXPORT);
        return dialog.Run(hwnd);
    }

    testenv::TempFolder folder;
    Owner owner;
    std::unique_ptr<CPhoneBookDlg> main;
    HWND hwnd = nullptr;
};


TEST_F(ImportExportDialog, ShowsTheTextsAndDefaultsOfItsMode) {
    struct Case {
        const wchar_t* language;
        int mode;
        bool utf8Available;
    } cases[] = {
        {L"en-US", kImport, true}, {L"en-US", kExport, true}, {L"en-US", kImport, false},
        {L"de-DE", kExport, false}, {L"he-IL", kImport, true}, {L"he-IL", kExport, true},
    };
    const struct { int control; unsigned text; } texts[] = {
        {IDC_IE_FILE_LABEL, IDS_LABEL_FILE_NAME}, {IDC_IE_RECORD_LABEL, IDS_LABEL_RECORD_DELIMITER},
        {IDC_IE_FIELD_LABEL, IDS_LABEL_FIELD_DELIMITER}, {IDC_IE_COLUMNS_LABEL, IDS_LABEL_COLUMNS},
        {IDC_IE_UTF8, IDS_USE_UTF8},           {IDOK, IDS_OK},
        {IDCANCEL, IDS_CANCEL},                {IDC_IE_BROWSE, IDS_BROWSE},
        {IDC_IE_UP, IDS_MOVE_UP},              {IDC_IE_DOWN, IDS_MOVE_DOWN},
        {IDC_IE_HELP, IDS_TIP_HELP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.language).ToUtf8() + (c.mode == kImport ? " import" : " export") +
                     (c.utf8Available ? "" : ", no UTF-8"));
        ASSERT_TRUE(testenv::UseLanguage(c.language));
        OpenBook({{L"Anna", L"555"}});
        CImportExportDlg dialog;
        harness::ModalDriver driver;
        bool ran = false;
        driver.Then(Script([&](HWND d) {
            ran = true;
            EXPECT_EQ(harness::WindowText(d), app::Text(c.mode == kImport ? IDS_IMPORT_CAPTION : IDS_EXPORT_CAPTION));
            EXPECT_EQ((GetWindowLongPtrW(d, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, CMString(c.language) == L"he-IL");
            for (const auto& t : texts) EXPECT_EQ(harness::ItemText(d, t.control), app::Text(t.text)) << t.control;
            for (auto [id, tip] : {std::pair{IDC_IE_BROWSE, IDS_BROWSE}, {IDC_IE_UP, IDS_MOVE_UP},
                                   {IDC_IE_DOWN, IDS_MOVE_DOWN}})
                EXPECT_EQ(ToolTipOf(GetDlgItem(d, id)), app::Text(tip)) << id;

            const struct { int combo; std::vector<unsigned> items; int selected; } combos[] = {
                {IDC_IE_RECORD_DELIMITER,
                 {IDS_RECORD_DELIM_CR, IDS_RECORD_DELIM_CRLF, IDS_RECORD_DELIM_FF, IDS_RECORD_DELIM_CUSTOM}, 1},
                {IDC_IE_FIELD_DELIMITER, {IDS_FIELD_DELIM_COMMA, IDS_FIELD_DELIM_TAB, IDS_FIELD_DELIM_CUSTOM}, 0},
            };
            for (const auto& combo : combos) {
                HWND box = GetDlgItem(d, combo.combo);
                ASSERT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(combo.items.size()));
                for (size_t i = 0; i < combo.items.size(); ++i)
                    EXPECT_EQ(ListText(box, static_cast<int>(i), true), app::Text(combo.items[i]));
                EXPECT_EQ(Selection(d, combo.combo), combo.selected);
            }
            EXPECT_EQ(dialog.RecordDelimiter(), L"\r\n");
            EXPECT_EQ(dialog.FieldDelimiter(), L",");
            for (int edit : {IDC_IE_RECORD_CUSTOM, IDC_IE_FIELD_CUSTOM}) {
                EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, edit)));
                EXPECT_EQ(SendDlgItemMessageW(d, edit, EM_GETLIMITTEXT, 0, 0), 4);
            }

            std::vector<std::pair<CMString, int>> expected;
            if (c.mode == kImport) {
                for (auto [id, check] : {std::pair{IDS_FIELD_NAME, 1}, {IDS_FIELD_FIRST_NAME, 0}, {IDS_FIELD_LAST_NAME, 0},
                                         {IDS_FIELD_FAX, 1}, {IDS_FIELD_ORGANIZATION, 1}, {IDS_FIELD_PHONE, 1},
                                         {IDS_FIELD_EMAIL, 1}, {IDS_FIELD_MAILBOX, 1}})
                    expected.emplace_back(app::Text(id), check);
            } else {
                for (unsigned id : {IDS_FIELD_NAME, IDS_FIELD_FAX, IDS_FIELD_ORGANIZATION, IDS_FIELD_PHONE,
                                    IDS_FIELD_EMAIL, IDS_FIELD_MAILBOX})
                    expected.emplace_back(app::Text(id), 1);
            }
            EXPECT_EQ(Columns(dialog), expected);
            EXPECT_EQ(Selection(d, IDC_IE_COLUMNS), LB_ERR);
            EXPECT_FALSE(harness::IsItemEnabled(d, IDC_IE_UP));
            EXPECT_FALSE(harness::IsItemEnabled(d, IDC_IE_DOWN));

            HWND utf8 = GetDlgItem(d, IDC_IE_UTF8);
            EXPECT_EQ(IsWindowVisible(utf8) != 0, c.utf8Available);
            EXPECT_EQ(IsWindowEnabled(utf8) != 0, c.utf8Available);
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_IE_UTF8) == BST_CHECKED, c.utf8Available);
            EXPECT_EQ(dialog.Utf8On(), c.utf8Available);

            // Enter presses OK; typing starts in the file name.
            EXPECT_EQ(LOWORD(SendMessageW(d, DM_GETDEFID, 0, 0)), IDOK);
            EXPECT_EQ(GetFocus(), GetDlgItem(d, IDC_IE_FILE));
        }));
        EXPECT_EQ(Run(dialog, c.mode, c.utf8Available), CImportExportDlg::kCancelled);
        EXPECT_TRUE(ran);
        DestroyWindow(hwnd);
        hwnd = nullptr;
        main.reset();
    }
}

TEST_F(ImportExportDialog, MoveButtonsFollowTheSelectionAndMovesKeepTheChecks) {
    OpenBook({{L"Anna", L"555"}});
    CImportExportDlg dialog;
    harness::ModalDriver driver;
    driver.Then(Script([&](HWND d) {
        HWND list = dialog.ColumnList().Window();
        const struct { int select; bool up, down; } selections[] = {
            {0, false, true}, {3, true, true}, {7, true, false}, {1, true, true},
        };
        for (const auto& s : selections) {
            SCOPED_TRACE(s.select);
            ClickItem(list, s.select);
            EXPECT_EQ(Selection(d, IDC_IE_COLUMNS), s.select);
            EXPECT_EQ(harness::IsItemEnabled(d, IDC_IE_UP), s.up);
            EXPECT_EQ(harness::IsItemEnabled(d, IDC_IE_DOWN), s.down);
        }
        // The first name part (unchecked) goes down one, then to the top.
        Command(d, IDC_IE_DOWN);
        EXPECT_EQ(IndexOf(dialog, IDS_FIELD_FIRST_NAME), 2);
        EXPECT_EQ(Selection(d, IDC_IE_COLUMNS), 2);
        SetFocus(GetDlgItem(d, IDC_IE_UP));
        Command(d, IDC_IE_UP);
        Command(d, IDC_IE_UP);
        EXPECT_EQ(IndexOf(dialog, IDS_FIELD_FIRST_NAME), 0);
        EXPECT_FALSE(harness::IsItemEnabled(d, IDC_IE_UP));
        // The keyboard's focus does not stay on the button that went grey.
        EXPECT_EQ(GetFocus(), list);
        Command(d, IDC_IE_UP);  // at the top: nothing happens
        EXPECT_EQ(IndexOf(dialog, IDS_FIELD_FIRST_NAME), 0);

        // Mailbox (checked) from the bottom up one; down at the bottom does nothing.
        ClickItem(list, 7);
        Command(d, IDC_IE_DOWN);
        EXPECT_EQ(IndexOf(dialog, IDS_FIELD_MAILBOX), 7);
        Command(d, IDC_IE_UP);
        EXPECT_EQ(IndexOf(dialog, IDS_FIELD_MAILBOX), 6);
        EXPECT_TRUE(harness::IsItemEnabled(d, IDC_IE_DOWN));

        std::vector<std::pair<CMString, int>> expected;
        for (auto [id, check] : {std::pair{IDS_FIELD_FIRST_NAME, 0}, {IDS_FIELD_NAME, 1}, {IDS_FIELD_LAST_NAME, 0},
                                 {IDS_FIELD_FAX, 1}, {IDS_FIELD_ORGANIZATION, 1}, {IDS_FIELD_PHONE, 1},
                                 {IDS_FIELD_MAILBOX, 1}, {IDS_FIELD_EMAIL, 1}})
            expected.emplace_back(app::Text(id), check);
        EXPECT_EQ(Columns(dialog), expected);
    }));
    EXPECT_EQ(Run(dialog, kImport), CImportExportDlg::kCancelled);
}

TEST_F(ImportExportDialog, DelimiterChoicesAndCustomEdits) {
    OpenBook({{L"Anna", L"555"}});
    enum class Do { Record, Field, TypeRecord, TypeField, ArrowDownRecord };
    struct Step {
        const char* name;
        Do action;
        int item;
        const wchar_t* typed;
        const wchar_t* record;
        const wchar_t* field;
        int recordItem, fieldItem;
        bool recordEdit, fieldEdit;
        const wchar_t* opensWith = nullptr;  // what a custom edit that opens holds
    } steps[] = {
        {"record CR", Do::Record, 0, nullptr, L"\r", L",", 0, 0, false, false},
        {"record FF", Do::Record, 2, nullptr, L"\f", L",", 2, 0, false, false},
        {"record CR LF", Do::Record, 1, nullptr, L"\r\n", L",", 1, 0, false, false},
        {"record custom opens its edit", Do::Record, 3, nullptr, L"\r\n", L",", 3, 0, true, false, L""},
        {"record custom typed", Do::TypeRecord, 0, L"||", L"||", L",", 3, 0, true, false},
        {"field tab", Do::Field, 1, nullptr, L"||", L"\t", 3, 1, true, false},
        // A tab cannot be shown in the edit; left empty, it stays in force and the box
        // shows it again.
        {"field custom opens empty on a tab", Do::Field, 2, nullptr, L"||", L"\t", 3, 2, true, true, L""},
        {"field custom empty", Do::TypeField, 0, L"", L"||", L"\t", 3, 1, true, false},
        {"field custom typed", Do::Field, 2, nullptr, L"||", L"\t", 3, 2, true, true, L""},
        {"field custom ;", Do::TypeField, 0, L";", L"||", L";", 3, 2, true, true},
        // An earlier custom delimiter stays in force and in view.
        {"field custom again", Do::Field, 2, nullptr, L"||", L";", 3, 2, true, true, L";"},
        {"field custom emptied", Do::TypeField, 0, L"", L"||", L";", 3, 2, true, true},
        {"field comma", Do::Field, 0, nullptr, L"||", L",", 3, 0, true, false},
        {"field custom from comma, empty", Do::Field, 2, nullptr, L"||", L",", 3, 2, true, true, L","},
        {"field back to comma", Do::TypeField, 0, L"", L"||", L",", 3, 0, true, false},
        {"record FF again", Do::Record, 2, nullptr, L"\f", L",", 2, 0, false, false},
        // The arrow keys on a closed list change what is used along with what is shown.
        {"record arrow down", Do::ArrowDownRecord, 0, nullptr, L"\f", L",", 3, 0, true, false, L""},
    };
    CImportExportDlg dialog;
    harness::ModalDriver driver;
    driver.Then(Script([&](HWND d) {
        for (const auto& s : steps) {
            SCOPED_TRACE(s.name);
            switch (s.action) {
                case Do::Record: Choose(d, IDC_IE_RECORD_DELIMITER, s.item); break;
                case Do::Field: Choose(d, IDC_IE_FIELD_DELIMITER, s.item); break;
                case Do::TypeRecord: TypeAndLeave(d, IDC_IE_RECORD_CUSTOM, s.typed); break;
                case Do::TypeField: TypeAndLeave(d, IDC_IE_FIELD_CUSTOM, s.typed); break;
                case Do::ArrowDownRecord:
                    Choose(d, IDC_IE_RECORD_DELIMITER, 2);
                    SetFocus(GetDlgItem(d, IDC_IE_RECORD_DELIMITER));
                    SendDlgItemMessageW(d, IDC_IE_RECORD_DELIMITER, WM_KEYDOWN, VK_DOWN, 0);
                    break;
            }
            EXPECT_EQ(dialog.RecordDelimiter(), CMString(s.record));
            EXPECT_EQ(dialog.FieldDelimiter(), CMString(s.field));
            EXPECT_EQ(Selection(d, IDC_IE_RECORD_DELIMITER), s.recordItem);
            EXPECT_EQ(Selection(d, IDC_IE_FIELD_DELIMITER), s.fieldItem);
            EXPECT_EQ(IsWindowVisible(GetDlgItem(d, IDC_IE_RECORD_CUSTOM)) != 0, s.recordEdit);
            EXPECT_EQ(IsWindowVisible(GetDlgItem(d, IDC_IE_FIELD_CUSTOM)) != 0, s.fieldEdit);
            if (s.opensWith) {
                // The edit takes the focus with its text selected, to be typed over.
                HWND edit = GetDlgItem(d, s.action == Do::Field ? IDC_IE_FIELD_CUSTOM : IDC_IE_RECORD_CUSTOM);
                EXPECT_EQ(harness::WindowText(edit), CMString(s.opensWith));
                EXPECT_EQ(GetFocus(), edit);
                DWORD start = 0, end = 0;
                SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
                EXPECT_EQ(start, 0u);
                EXPECT_EQ(static_cast<int>(end), GetWindowTextLengthW(edit));
            }
        }
    }));
    EXPECT_EQ(Run(dialog, kExport), CImportExportDlg::kCancelled);
}

TEST_F(ImportExportDialog, OkChecksTheFileNameAndTheImportColumns) {
    struct Case {
        const char* name;
        int mode;
        bool path;
        std::vector<unsigned> checked;
        unsigned message;      // 0: none, the operation runs
        unsigned selectedItem;  // the column selected afterwards, 0 for none
        INT_PTR result;
    } cases[] = {
        {"import without a file name", kImport, false, {IDS_FIELD_NAME, IDS_FIELD_FAX}, IDS_FILE_NAME_MISSING, 0,
         CImportExportDlg::kCancelled},
        {"export without a file name", kExport, false, {IDS_FIELD_NAME}, IDS_FILE_NAME_MISSING, 0,
         CImportExportDlg::kCancelled},
        {"import with only the fax number", kImport, true, {IDS_FIELD_FAX}, IDS_NAME_COLUMN_MISSING,
         IDS_FIELD_FIRST_NAME, CImportExportDlg::kCancelled},
        {"import without the fax number", kImport, true, {IDS_FIELD_NAME, IDS_FIELD_MAILBOX}, IDS_FAX_COLUMN_MISSING,
         IDS_FIELD_FAX, CImportExportDlg::kCancelled},
        {"import with the first name part and the fax number", kImport, true,
         {IDS_FIELD_FIRST_NAME, IDS_FIELD_FAX}, 0, 0, CImportExportDlg::kDone},
        {"import with the second name part and the fax number", kImport, true,
         {IDS_FIELD_LAST_NAME, IDS_FIELD_FAX}, 0, 0, CImportExportDlg::kDone},
        // Export has no column check: no column gives each entry just a record's end.
        {"export without columns", kExport, true, {}, 0, 0, CImportExportDlg::kDone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenBook({{L"Anna", L"555"}, {L"Bob", L"556"}});
        // Import reads an existing file, export writes a new one.
        const CMString path = folder.File(c.mode == kImport ? L"data.csv" : L"out.csv");
        if (c.mode == kImport) WriteBytes(path, "Carl,557\r\n");
        CImportExportDlg dialog;
        harness::ModalDriver driver;
        std::vector<harness::SeenWindow> messages;
        driver.Then(Script([&](HWND d) {
            if (c.path) SetDlgItemTextW(d, IDC_IE_FILE, path.c_str());
            CheckOnly(dialog, c.checked);
            const auto before = Columns(dialog);
            Command(d, IDOK);
            if (c.result == CImportExportDlg::kDone) return;
            // Refused: the dialog stays as it was, with the focus where the fault is.
            EXPECT_TRUE(IsWindowEnabled(d));
            EXPECT_EQ(Columns(dialog), before);
            if (c.selectedItem) {
                EXPECT_EQ(Selection(d, IDC_IE_COLUMNS), IndexOf(dialog, c.selectedItem));
                EXPECT_EQ(GetFocus(), dialog.ColumnList().Window());
                EXPECT_TRUE(harness::IsItemEnabled(d, IDC_IE_UP));
            } else {
                EXPECT_EQ(GetFocus(), GetDlgItem(d, IDC_IE_FILE));
            }
        }));
        if (c.message) driver.ThenPress(IDC_MESSAGE_BUTTON);
        EXPECT_EQ(Run(dialog, c.mode), c.result);
        const auto& seen = driver.Seen();
        ASSERT_EQ(seen.size(), c.message ? 2u : 1u);
        if (c.message) {
            EXPECT_EQ(seen[1].caption, app::Text(c.mode == kImport ? IDS_IMPORT_CAPTION : IDS_EXPORT_CAPTION));
            EXPECT_EQ(seen[1].text, app::Text(c.message));
            EXPECT_EQ(seen[1].buttons.at(0).second, app::Text(IDS_CLOSE));
            EXPECT_EQ(Rows(), 2);
        } else if (c.mode == kImport) {
            EXPECT_EQ(dialog.Counters().imported, 1u);
            EXPECT_EQ(dialog.Counters().read, 1u);
        } else {
            EXPECT_EQ(ReadBytes(path), "\r\n\r\n");
        }
        DestroyWindow(hwnd);
        hwnd = nullptr;
        main.reset();
    }
}

// The File menu's commands open the dialog over the main window, and its list shows
// what an import added.
TEST_F(ImportExportDialog, ExportAndImportThroughTheMainWindow) {
    OpenBook({{L"Anna Smith", L"555-1234"}, {L"M\u00fcller", L"557"}});
    ASSERT_EQ(main->Model()->AddFromFields(L"Team", L"", L"", L"", L"", L"", false, false), 0);
    main->Model()->Refresh(true);
    ASSERT_EQ(Rows(), 3);
    {
        harness::ModalDriver driver;
        driver.Then(Script([&](HWND d) {
            EXPECT_EQ(harness::WindowText(d), app::Text(IDS_EXPORT_CAPTION));
            // Typed, not browsed: the extension is added by the export.
            SetDlgItemTextW(d, IDC_IE_FILE, folder.File(L"out").c_str());
            HWND list = GetDlgItem(d, IDC_IE_COLUMNS);
            ClickItem(list, 1);  // Fax number to the top
            Command(d, IDC_IE_UP);
            for (int item : {2, 3, 4, 5}) {  // keep fax number and name only
                ClickItem(list, item);
                SendMessageW(list, WM_KEYDOWN, VK_SPACE, 0);
            }
            SendDlgItemMessageW(d, IDC_IE_UTF8, BM_CLICK, 0, 0);
            // Enter in the custom edit, which keeps the focus: what it holds is used.
            Choose(d, IDC_IE_FIELD_DELIMITER, 2);
            ASSERT_EQ(GetFocus(), GetDlgItem(d, IDC_IE_FIELD_CUSTOM));
            SetDlgItemTextW(d, IDC_IE_FIELD_CUSTOM, L"|");
            Command(d, IDOK);
        }));
        SendMessageW(hwnd, WM_COMMAND, ID_FILE_EXPORT, 0);
        ASSERT_EQ(driver.Seen().size(), 1u);
    }
    EXPECT_EQ(ReadBytes(folder.File(L"out.csv")),
              "555-1234|Anna Smith\r\n557|" + CMString(L"M\u00fcller").ToAnsi() + "\r\n");

    WriteBytes(folder.File(L"new.csv"),
               "Carl,558,,,,\r\nM\xC3\xBCller,557,,,,\r\nDora,559,Acme,,,\r\n");
    harness::ModalDriver driver;
    driver.Then(Script([&](HWND d) {
        EXPECT_EQ(harness::WindowText(d), app::Text(IDS_IMPORT_CAPTION));
        SetDlgItemTextW(d, IDC_IE_FILE, folder.File(L"new.csv").c_str());
        Command(d, IDOK);
    }));
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    SendMessageW(hwnd, WM_COMMAND, ID_FILE_IMPORT, 0);
    // One record was there already: the summary says so.
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[1].caption, app::Text(IDS_IMPORT_CAPTION));
    EXPECT_EQ(driver.Seen()[1].text, CMString::Formatted(app::Text(IDS_IMPORT_SUMMARY).c_str(), 1u, 3u) + L"\n\n" +
                                         CMString::Formatted(app::Text(IDS_IMPORT_DUPLICATES).c_str(), 1u, 1u));
    EXPECT_EQ(Rows(), 5);
    std::vector<CMString> names;
    for (int row = 0; row < Rows(); ++row) names.push_back(main->Model()->GetRowName(row));
    EXPECT_NE(std::find(names.begin(), names.end(), CMString(L"Dora")), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), CMString(L"Carl")), names.end());
}

// The entries of the main window's book as "name|fax|organization|phone|e-mail|mailbox", sorted.
std::vector<CMString> StoredEntries(CPhoneBookDlg& main) {
    RecordList records;
    main.Model()->Database().SetSearchText(L"");
    main.Model()->Database().Enumerate(records, false);
    std::vector<CMString> entries;
    for (const auto& r : records)
        entries.push_back(CMString(r->name) + L"|" + r->fax + L"|" + r->organization + L"|" + r->phone + L"|" +
                          r->email + L"|" + CMString::Formatted(L"%u", r->mailbox));
    std::sort(entries.begin(), entries.end());
    return entries;
}

// A file dropped on the dialog, as the shell hands it over.
void DropFile(HWND window, const CMString& path) {
    const size_t bytes = sizeof(DROPFILES) + (static_cast<size_t>(path.GetLength()) + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path.c_str(), path.GetLength() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

CMString NamedNote(unsigned columns, std::initializer_list<unsigned> labels) {
    CMString fields;
    for (unsigned id : labels) fields += (fields.IsEmpty() ? CMString() : app::Text(IDS_LIST_SEPARATOR)) + app::Text(id);
    return CMString::Formatted(app::Text(IDS_IMPORT_NAMED_FILE).c_str(), columns, static_cast<unsigned>(labels.size()),
                               fields.c_str());
}

// A spreadsheet keeps the file it shows open for writing: the import reads it all the
// same, as the note line's look at it does.
TEST_F(ImportExportDialog, ImportsAFileAnotherProgramHoldsOpen) {
    OpenBook({});
    const CMString path = folder.File(L"open.csv");
    WriteBytes(path, "Name;Fax\r\nAnna;555\r\nBob;556\r\n");
    UniqueFile held(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    CImportExportDlg dialog;
    harness::ModalDriver driver;
    driver.Then(Script([&](HWND d) {
        SetDlgItemTextW(d, IDC_IE_FILE, path.c_str());
        harness::PumpUntil([&] { return !harness::ItemText(d, IDC_IE_FILE_NOTE).IsEmpty(); }, 5000);
        EXPECT_EQ(harness::ItemText(d, IDC_IE_FILE_NOTE), NamedNote(2, {IDS_FIELD_NAME, IDS_FIELD_FAX}));
        Command(d, IDOK);
    }));
    EXPECT_EQ(Run(dialog, kImport), CImportExportDlg::kDone);
    EXPECT_EQ(driver.Seen().size(), 1u) << "no message: the file was read";
    EXPECT_EQ(StoredEntries(*main), (std::vector<CMString>{L"Anna|555||||0", L"Bob|556||||0"}));
}

// The check box makes the import update the entries of the records' names, also one
// whose name is longer than the book keeps.
TEST_F(ImportExportDialog, TheUpdateBoxMakesTheImportUpdateEntries) {
    const CMString longName = L"Bezirksamt Charlottenburg-Wilmersdorf Ost";
    OpenBook({{L"Anna", L"555"}, {L"Bob", L"556"}, {longName.c_str(), L"700"}});
    const CMString path = folder.File(L"newer.csv");
    WriteBytes(path, "Anna,999\r\nCarl,557\r\n" + longName.ToUtf8() + ",777\r\n");
    CImportExportDlg dialog;
    harness::ModalDriver driver;
    driver.Then(Script([&](HWND d) {
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_IE_UPDATE)));
        EXPECT_EQ(IsDlgButtonChecked(d, IDC_IE_UPDATE), BST_UNCHECKED);
        SendDlgItemMessageW(d, IDC_IE_UPDATE, BM_CLICK, 0, 0);
        SetDlgItemTextW(d, IDC_IE_FILE, path.c_str());
        Command(d, IDOK);
    }));
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    EXPECT_EQ(Run(dialog, kImport), CImportExportDlg::kDone);
    EXPECT_TRUE(dialog.Updating());
    EXPECT_EQ(StoredEntries(*main), (std::vector<CMString>{L"Anna|999||||0", L"Bezirksamt Charlottenburg-Wilme|777||||0",
                                                           L"Bob|556||||0", L"Carl|557||||0"}));
    EXPECT_EQ(dialog.Counters().updated, 2u);
}

// Every group with its members' names, as a book holds them.
std::vector<CMString> StoredGroups(CPhoneBookDlg& main) {
    PhonebookDB& db = main.Model()->Database();
    RecordList records, members;
    db.SetSearchText(L"");
    db.Enumerate(records, true);
    std::vector<CMString> groups;
    for (const auto& r : records) {
        if (!r->IsGroup()) continue;
        members.clear();
        if (db.ReadRecordById(r->id)) db.ListGroupMembers(members);
        std::vector<CMString> names;
        for (const auto& m : members) names.push_back(m->name);
        std::sort(names.begin(), names.end());
        CMString line = r->name;
        for (const auto& n : names) line += L"|" + n;
        groups.push_back(line);
    }
    std::sort(groups.begin(), groups.end());
    return groups;
}

// A name ending in .vcf exports cards; the file comes back through the import, which
// reads it by its content, with every field and group.
TEST_F(ImportExportDialog, VCardExportComesBackWithItsGroups) {
    OpenBook({});
    for (auto [name, fax, organization, phone, email] :
         {std::tuple{L"Anna Berg, Dr.", L"+49 30 1", L"Acme; Ltd", L"+49 30 9", L"anna@acme.org"},
          {L"\u05d3\u05d5\u05d3 \u05db\u05d4\u05df", L"03 555", L"Caf\u00e9", L"", L""},
          {L"Plain", L"556", L"", L"", L""}})
        ASSERT_EQ(main->Model()->AddFromFields(name, fax, organization, phone, email, L"", false, false), 0);
    PhonebookDB& db = main->Model()->Database();
    for (auto [group, members] : {std::pair{L"Team", std::vector<std::pair<const wchar_t*, const wchar_t*>>{
                                                        {L"Anna Berg, Dr.", L"+49 30 1"}, {L"Plain", L"556"}}},
                                  {L"Nord, S\u00fcd", {{L"Anna Berg, Dr.", L"+49 30 1"}}}}) {
        CMString name = group;
        uint16_t id = 0;
        ASSERT_TRUE(db.CreateGroup(name, &id, false));
        for (auto [member, fax] : members) ASSERT_TRUE(db.AddGroupMember(id, member, fax));
    }
    main->Model()->Refresh(true);
    const std::vector<CMString> entries = StoredEntries(*main), groups = StoredGroups(*main);
    const CMString path = folder.File(L"Cards.VCF");
    auto run = [&](int mode, std::function<void(HWND)> more) {
        CImportExportDlg dialog;
        harness::ModalDriver driver;
        driver.Then(Script([&](HWND d) {
            SetDlgItemTextW(d, IDC_IE_FILE, path.c_str());
            harness::PumpUntil([&] { return !IsWindowEnabled(GetDlgItem(d, IDC_IE_COLUMNS)); }, 5000);
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_IE_FIELD_DELIMITER)));
            more(d);
            Command(d, IDOK);
        }));
        EXPECT_EQ(Run(dialog, mode), CImportExportDlg::kDone);
    };
    run(kExport, [](HWND) {});
    EXPECT_EQ(ReadBytes(path).substr(0, 26), "BEGIN:VCARD\r\nVERSION:3.0\r\n");
    DestroyWindow(hwnd);
    hwnd = nullptr;
    main.reset();

    OpenBook({});
    run(kImport, [](HWND d) {
        EXPECT_EQ(harness::ItemText(d, IDC_IE_FILE_NOTE), CMString::Formatted(app::Text(IDS_IMPORT_VCARD_FILE).c_str(), 3u));
    });
    EXPECT_EQ(StoredEntries(*main), entries);
    EXPECT_EQ(StoredGroups(*main), groups);
}

// A screen reader's default action on a column toggles its check box, as a click on the
// box does, and names what it will do.
TEST_F(ImportExportDialog, ReadersToggleAColumnByItsDefaultAction) {
    OpenBook({});
    CImportExportDlg dialog;
    harness::ModalDriver driver;
    driver.Then(Script([&](HWND d) {
        IAccessible* object = nullptr;
        ASSERT_EQ(AccessibleObjectFromWindow(GetDlgItem(d, IDC_IE_COLUMNS), OBJID_CLIENT, __uuidof(IAccessible),
                                             reinterpret_cast<void**>(&object)),
                  S_OK);
        ASSERT_NE(object, nullptr);
        const int item = IndexOf(dialog, IDS_FIELD_ORGANIZATION);
        VARIANT child = {};
        child.vt = VT_I4;
        child.lVal = item + 1;
        for (int check : {1, 0, 1}) {
            ASSERT_EQ(dialog.ColumnList().GetCheck(item), check);
            BSTR action = nullptr;
            ASSERT_EQ(object->get_accDefaultAction(child, &action), S_OK);
            EXPECT_EQ(CMString(action), app::Text(check ? IDS_ACTION_UNCHECK : IDS_ACTION_CHECK));
            SysFreeString(action);
            EXPECT_EQ(object->accDoDefaultAction(child), S_OK);
        }
        object->Release();
    }));
    EXPECT_EQ(Run(dialog, kImport), CImportExportDlg::kCancelled);
    EXPECT_EQ(driver.Seen().size(), 1u);
}

// Exports of other programs, with the dialog's defaults: the note says they are read by
// their column names, and the stored entries have the right fields.
TEST_F(ImportExportDialog, ImportsOtherProgramsExportsByTheirColumnNames) {
    const std::string quoted =
        "\"Title\",\"First Name\",\"Middle Name\",\"Last Name\",\"Suffix\",\"Company\",\"Department\",\"Job Title\","
        "\"Business Street\",\"Business City\",\"Business Fax\",\"Business Phone\",\"Home Fax\",\"Home Phone\","
        "\"Mobile Phone\",\"E-mail Address\",\"E-mail Display Name\",\"Notes\"\r\n"
        "\"\",\"Anna\",\"\",\"Smith\",\"\",\"Acme, Inc.\",\"\",\"\",\"Main St. 1\r\nSuite 2\",\"Berlin\","
        "\"+49 30 111-2\",\"030 5\",\"\",\"\",\"\",\"anna@acme.org\",\"Anna\",\"Met at the \"\"fair\"\",\r\nsee notes\"\r\n"
        "\"Dr.\",\"Bob\",\"\",\"Brown\",\"\",\"Brown \"\"&\"\" Sons\",\"\",\"\",\"\",\"\",\"\",\"\",\"+49 40 999\","
        "\"040 1\",\"0170 2\",\"bob@brown.de\",\"\",\"line 1\nline 2\"\r\n";
    const struct Case {
        const char* what;
        std::string bytes;
        bool drop;
        CMString note;
        std::vector<CMString> entries;
    } cases[] = {
        {"every field quoted, line breaks inside", quoted, false,
         NamedNote(18, {IDS_FIELD_NAME, IDS_FIELD_FAX, IDS_FIELD_ORGANIZATION, IDS_FIELD_PHONE, IDS_FIELD_EMAIL}),
         {L"Anna Smith|+49 30 1112|Acme, Inc.|030 5|anna@acme.org|0", L"Bob Brown|+49 40 999|Brown \"&\" Sons|040 1|bob@brown.de|0"}},
        {"a spreadsheet's export in the ANSI code page, dropped",
         "Name;Fax;Firma;Telefon;E-Mail\r\nM\xFCller;0211 123;B\xE4""ckerei Sch\xF6n;0211 9;m@x.de\r\n;;;;\r\n", true,
         NamedNote(5, {IDS_FIELD_NAME, IDS_FIELD_FAX, IDS_FIELD_ORGANIZATION, IDS_FIELD_PHONE, IDS_FIELD_EMAIL}),
         {L"M\u00fcller|0211 123|B\u00e4ckerei Sch\u00f6n|0211 9|m@x.de|0"}},
        {"the program's own layout", "Carl,557,,,,12\r\n", false, CMString(), {L"Carl|557||||12"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OpenBook({});
        const CMString path = folder.File(L"contacts.csv");
        WriteBytes(path, c.bytes);
        CImportExportDlg dialog;
        harness::ModalDriver driver;
        driver.Then(Script([&](HWND d) {
            if (c.drop) DropFile(d, path);
            else SetDlgItemTextW(d, IDC_IE_FILE, path.c_str());
            EXPECT_EQ(harness::ItemText(d, IDC_IE_FILE), path);
            // Typing is looked at once it pauses.
            harness::PumpUntil([&] { return !harness::ItemText(d, IDC_IE_FILE_NOTE).IsEmpty(); }, c.note.IsEmpty() ? 500 : 5000);
            EXPECT_EQ(harness::ItemText(d, IDC_IE_FILE_NOTE), c.note);
            Command(d, IDOK);
        }));
        EXPECT_EQ(Run(dialog, kImport), CImportExportDlg::kDone);
        ASSERT_EQ(driver.Seen().size(), 1u) << "no summary: every record came in";
        EXPECT_EQ(dialog.Counters().imported, c.entries.size());
        EXPECT_EQ(StoredEntries(*main), c.entries);
        DestroyWindow(hwnd);
        hwnd = nullptr;
        main.reset();
    }
}

// With its box checked an export names its columns in the language of the moment and
// quotes what needs it; the file comes back whole by those names, in another language.
TEST_F(ImportExportDialog, ExportWithAHeaderComesBackWhole) {
    ASSERT_TRUE(testenv::UseLanguage(L"he-IL"));
    OpenBook({});
    for (auto [name, fax, organization, phone, email, mailbox] :
         {std::tuple{L"Smith, \"Jr\"", L"+1 555-0100", L"Acme; Ltd, \"B\"", L"+1 555 0199", L"s@acme.org", L"12"},
          {L"\u05d3\u05d5\u05d3 \u05db\u05d4\u05df", L"03 555", L"Caf\u00e9\ttab", L"", L"", L""},
          {L"Plain", L"556", L"", L"", L"", L"7"}})
        ASSERT_EQ(main->Model()->AddFromFields(name, fax, organization, phone, email, mailbox, false, false), 0);
    main->Model()->Refresh(true);
    std::vector<CMString> expected = StoredEntries(*main);
    for (auto& e : expected) e.Replace(L"-", L"");  // a fax number read from a file has no hyphens
    const CMString path = folder.File(L"named.csv");
    {
        CImportExportDlg dialog;
        harness::ModalDriver driver;
        driver.Then(Script([&](HWND d) {
            HWND box = GetDlgItem(d, IDC_IE_HEADER);
            // Its own style: the dialog itself may not be shown yet when the script runs.
            EXPECT_TRUE(GetWindowLongPtrW(box, GWL_STYLE) & WS_VISIBLE);
            EXPECT_FALSE(GetWindowLongPtrW(GetDlgItem(d, IDC_IE_FILE_NOTE), GWL_STYLE) & WS_VISIBLE);
            EXPECT_EQ(harness::WindowText(box), app::Text(IDS_EXPORT_HEADER));
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_IE_HEADER), BST_UNCHECKED);
            SendMessageW(box, BM_CLICK, 0, 0);
            EXPECT_TRUE(dialog.HeaderLine());
            SetDlgItemTextW(d, IDC_IE_FILE, path.c_str());
            Command(d, IDOK);
        }));
        EXPECT_EQ(Run(dialog, kExport), CImportExportDlg::kDone);
    }
    const std::string bytes = ReadBytes(path);
    CMString header;
    for (unsigned id : {IDS_FIELD_NAME, IDS_FIELD_FAX, IDS_FIELD_ORGANIZATION, IDS_FIELD_PHONE, IDS_FIELD_EMAIL,
                        IDS_FIELD_MAILBOX})
        header += (header.IsEmpty() ? L"" : L",") + app::Text(id);
    EXPECT_EQ(bytes.substr(0, bytes.find("\r\n") + 2), (header + L"\r\n").ToUtf8());
    EXPECT_NE(bytes.find("\"Smith, \"\"Jr\"\"\",+1 555-0100,\"Acme; Ltd, \"\"B\"\"\""), std::string::npos) << bytes;
    DestroyWindow(hwnd);
    hwnd = nullptr;
    main.reset();

    ASSERT_TRUE(testenv::UseLanguage(L"en-US"));
    OpenBook({});
    CImportExportDlg dialog;
    harness::ModalDriver driver;
    driver.Then(Script([&](HWND d) {
        SetDlgItemTextW(d, IDC_IE_FILE, path.c_str());
        Command(d, IDOK);
    }));
    EXPECT_EQ(Run(dialog, kImport), CImportExportDlg::kDone);
    EXPECT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(StoredEntries(*main), expected);
}

// The file name field of the platform's chooser: an edit, or the edit inside a combo box.
HWND FileNameField(HWND chooser) {
    if (HWND combo = GetDlgItem(chooser, cmb13)) return combo;
    return GetDlgItem(chooser, edt1);
}

TEST_F(ImportExportDialog, BrowseFillsInThePathAndStartsFromTheBooksEncoding) {
    struct Case {
        const char* name;
        int mode;
        bool utf8Available;
        bool choose;
        unsigned caption;
    } cases[] = {
        {"import, chosen", kImport, true, true, IDS_IMPORT_BROWSE_TITLE},
        {"export, chosen", kExport, true, true, IDS_EXPORT_BROWSE_TITLE},
        {"export, cancelled", kExport, true, false, IDS_EXPORT_BROWSE_TITLE},
        {"import, no UTF-8", kImport, false, true, IDS_IMPORT_BROWSE_TITLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenBook({{L"Anna", L"555"}});
        const CMString chosen = folder.File(L"contacts.csv");
        WriteBytes(chosen, "");
        CImportExportDlg dialog;
        harness::ModalDriver driver;
        driver.Then(Script([&](HWND d) {
            SetDlgItemTextW(d, IDC_IE_FILE, L"typed.csv");
            if (c.utf8Available) {
                SendDlgItemMessageW(d, IDC_IE_UTF8, BM_CLICK, 0, 0);
                EXPECT_FALSE(dialog.Utf8On());
            }
            Command(d, IDC_IE_BROWSE);
            EXPECT_EQ(harness::ItemText(d, IDC_IE_FILE), c.choose ? chosen : CMString(L"typed.csv"));
            // The encoding goes back to what the book offers, and the box shows it.
            EXPECT_EQ(dialog.Utf8On(), c.utf8Available);
            EXPECT_EQ(IsDlgButtonChecked(d, IDC_IE_UTF8) == BST_CHECKED, c.utf8Available);
        }));
        if (c.choose) {
            driver.Then([&](const harness::SeenWindow& seen) {
                SetWindowTextW(FileNameField(seen.window), chosen.c_str());
                harness::ModalDriver::Press(IDOK)(seen);
            });
        } else {
            driver.ThenPress(IDCANCEL);
        }
        Run(dialog, c.mode, c.utf8Available);
        ASSERT_EQ(driver.Seen().size(), 2u);
        EXPECT_EQ(driver.Seen()[1].caption, app::Text(c.caption));
        DestroyWindow(hwnd);
        hwnd = nullptr;
        main.reset();
    }
}

// Help "pages" are scripts the shell runs: each writes the name it was opened by.
TEST_F(ImportExportDialog, HelpOpensTheTopicOfTheMode) {
    OpenBook({{L"Anna", L"555"}});
    const CMString marker = folder.File(L"opened.txt");
    for (const wchar_t* page : {helptopic::kImport, helptopic::kExport})
        WriteBytes(folder.File(page) + L".cmd", "@echo %~n0> \"" + marker.ToUtf8() + "\"\r\n");
    const CMString saved = app::HelpPath();
    app::SetHelpPath(folder.Path() + L"%s.cmd");
    for (auto [mode, topic] : {std::pair{kImport, helptopic::kImport}, {kExport, helptopic::kExport}}) {
        SCOPED_TRACE(CMString(topic).ToUtf8());
        DeleteFileW(marker.c_str());
        CImportExportDlg dialog;
        harness::ModalDriver driver;
        driver.Then(Script([&](HWND d) { Command(d, IDC_IE_HELP); }));
        Run(dialog, mode);
        EXPECT_TRUE(harness::PumpUntil([&] { return !ReadBytes(marker).empty(); }, 15000));
        std::string opened = ReadBytes(marker);
        while (!opened.empty() && (opened.back() == '\n' || opened.back() == '\r' || opened.back() == ' '))
            opened.pop_back();
        EXPECT_EQ(opened, CMString(topic).ToUtf8());
    }
    app::SetHelpPath(saved);
}

// The picture of the mode, read back from the dialog as painted, where its place holder
// lies, mirrored with the whole dialog in a right-to-left language.
TEST_F(ImportExportDialog, PaintsThePictureOfItsMode) {
    for (const wchar_t* language : {L"en-US", L"he-IL"}) {
        ASSERT_TRUE(testenv::UseLanguage(language));
        OpenBook({{L"Anna", L"555"}});
        for (auto [mode, bitmapId] : {std::pair{kImport, IDB_IMPORT}, {kExport, IDB_EXPORT}}) {
            SCOPED_TRACE(CMString(language).ToUtf8() + (mode == kImport ? " import" : " export"));
            CImportExportDlg dialog;
            harness::ModalDriver driver;
            int matching = 0, opaque = 0;
            driver.Then(Script([&](HWND d) {
                // Whatever the dialog posted itself while it opened (its note line, its
                // layout) is handled before the picture is read back.
                harness::PumpUntilIdle();
                RedrawWindow(d, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                TransparentPicture expected;
                ASSERT_TRUE(expected.Load(bitmapId));
                const SIZE size = expected.Size();
                MemoryDC art(nullptr);
                art.Select(expected.Bitmap());
                // Where the place holder is: in a mirrored dialog its client coordinates
                // run from the right, and the picture is mirrored with everything else.
                RECT place = {};
                GetWindowRect(GetDlgItem(d, IDC_IE_PICTURE), &place);
                MapWindowPoints(HWND_DESKTOP, d, reinterpret_cast<POINT*>(&place), 2);
                RECT client = {};
                GetClientRect(d, &client);
                const bool mirrored = (GetWindowLongPtrW(d, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
                const int left = mirrored ? client.right - place.left - size.cx : place.left;
                const int top = place.top;
                ScopedGetDC screen(d);
                SetLayout(screen.Get(), 0);
                for (int y = 0; y < size.cy; ++y) {
                    for (int x = 0; x < size.cx; ++x) {
                        const COLORREF want = GetPixel(art.Get(), mirrored ? size.cx - 1 - x : x, y);
                        if (want == TransparentPicture::kTransparentColour) continue;
                        ++opaque;
                        matching += GetPixel(screen.Get(), left + x, top + y) == want;
                    }
                }
            }));
            Run(dialog, mode);
            ASSERT_GT(opaque, 100);
            EXPECT_GT(matching, opaque * 9 / 10) << matching << " of " << opaque;
        }
        DestroyWindow(hwnd);
        hwnd = nullptr;
        main.reset();
    }
}

}  // namespace
