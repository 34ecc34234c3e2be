// The entry dialog from its real templates over a real book: what it starts with, the
// rules of its fields, storing, the checks before storing, stepping through the list,
// and the main window opening it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "EntryDialogScript.h"
#include "ListDialog.h"
#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "dialogs/PhonebookEntryDlg.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"

namespace {

using namespace entrytest;
using harness::ItemText;

class EntryDialog : public testing::Test {
protected:
    void SetUp() override {
        testenv::UseLanguage(L"en-US");
        ASSERT_TRUE(testenv::MakeBook(path, L"mpb2"));
        host.Route(&list);
        list.AttachToDialog(host.Window());
        model.AttachMainList(&list);
    }
    void TearDown() override { testenv::UseLanguage(L"en-US"); }
    // The book with these records, listed and sorted as the main window shows it.
    void Fill(std::initializer_list<Fields> entries) {
        AddToBook(path, entries);
        ASSERT_TRUE(model.Database().Open(path, 0, 0));
        model.Refresh(true);
    }
    int RowOf(const wchar_t* name) {
        for (int i = 0; i < model.GetItemCount(); ++i)
            if (model.GetRowName(i) == name) return i;
        return -1;
    }
    CMString SelectedName() {
        int row = model.GetSelectedRow();
        return row < 0 ? CMString() : model.GetRowName(row);
    }
    INT_PTR Run(bool newEntry, bool readOnly) {
        return CPhonebookEntryDlg(model, newEntry, readOnly).DoModal(host.Window());
    }

    testenv::TempFolder folder;
    CMString path = folder.File(L"book.mpb2");
    ListDialog host;
    ListViewUIControl list{static_cast<uint16_t>(IDC_LIST)};
    CPhonebook model{host.Window()};
    const CMString placeholder = app::Text(IDS_REQUIRED);
};

TEST_F(EntryDialog, NewEntryStartsWithPlaceholdersAndOkDisabled) {
    Fill({});
    Script script([&](HWND d) {
        EXPECT_EQ(harness::WindowText(d), app::Text(IDS_TIP_NEW_ENTRY));
        struct { int id; unsigned text; } texts[] = {
            {IDC_ENTRY_NAME_LABEL, IDS_LABEL_NAME},   {IDC_ENTRY_FAX_LABEL, IDS_LABEL_FAX},
            {IDC_ENTRY_ORGANIZATION_LABEL, IDS_LABEL_ORGANIZATION}, {IDC_ENTRY_PHONE_LABEL, IDS_LABEL_PHONE},
            {IDC_ENTRY_EMAIL_LABEL, IDS_LABEL_EMAIL}, {IDC_ENTRY_MAILBOX_LABEL, IDS_LABEL_MAILBOX},
            {IDOK, IDS_OK}, {IDCANCEL, IDS_CANCEL}, {IDC_HELP_BUTTON, IDS_TIP_HELP},
            {IDC_ENTRY_PERSONAL_COPY, IDS_PERSONAL_COPY_BOX},
        };
        for (const auto& t : texts) EXPECT_EQ(ItemText(d, t.id), app::Text(t.text)) << t.id;
        EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME), placeholder);
        EXPECT_EQ(ItemText(d, IDC_ENTRY_FAX), placeholder);
        EXPECT_FALSE(harness::IsItemEnabled(d, IDOK));
        // Only edit and view step through the list; only a shared book offers the copy.
        for (int id : {IDC_ENTRY_PREVIOUS, IDC_ENTRY_NEXT, IDC_ENTRY_PERSONAL_COPY})
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, id))) << id;
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_HELP_BUTTON)));
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(Run(true, false), IDCANCEL);
    EXPECT_EQ(script.driver.Seen().size(), 1u);
    EXPECT_TRUE(ReadBook(path).empty());
}

TEST_F(EntryDialog, OkWaitsForRealNameAndFaxNumber) {
    Fill({});
    Script script([&](HWND d) {
        struct { const wchar_t* name; const wchar_t* fax; bool ok; const wchar_t* faxShown; } cases[] = {
            {L"Anna", nullptr, false, nullptr},            // fax number still the placeholder
            {L"Anna", L"0301", true, L"0301"},
            {L"(REQUIRED)", L"0301", false, L"0301"},      // the placeholder typed in another case
            {L"(Required)", L"0301", false, L"0301"},
            {L"   ", L"0301", false, L"0301"},
            {L"Anna", L"(required)", false, L"(required)"}, // the letters are refused; "()" is left
            {L"Anna", L"()", false, L"(required)"},        // replaced at once, while typing
            {L"Anna", L"(0)", true, L"(0)"},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(CMString(c.name).ToUtf8() + " / " + (c.fax ? CMString(c.fax).ToUtf8() : "-"));
            Type(d, IDC_ENTRY_NAME, c.name);
            if (c.fax) Type(d, IDC_ENTRY_FAX, c.fax);
            EXPECT_EQ(harness::IsItemEnabled(d, IDOK), c.ok);
            if (c.faxShown) {
                CMString shown = c.faxShown;
                EXPECT_EQ(ItemText(d, IDC_ENTRY_FAX), shown == L"(required)" ? placeholder : shown);
            }
        }
        Click(d, IDCANCEL);
    });
    Run(true, false);
}

TEST_F(EntryDialog, LeavingABlankRequiredFieldPutsThePlaceholderBack) {
    Fill({});
    Script script([&](HWND d) {
        Type(d, IDC_ENTRY_NAME, L"");
        EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME), CMString());
        Focus(d, IDC_ENTRY_ORGANIZATION);
        EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME), placeholder);
        Type(d, IDC_ENTRY_FAX, L"  ");
        Focus(d, IDC_ENTRY_PHONE);
        EXPECT_EQ(ItemText(d, IDC_ENTRY_FAX), placeholder);
        // Real text stays as it is.
        Type(d, IDC_ENTRY_NAME, L"Anna");
        Focus(d, IDC_ENTRY_ORGANIZATION);
        EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME), CMString(L"Anna"));
        EXPECT_FALSE(harness::IsItemEnabled(d, IDOK));
        Click(d, IDCANCEL);
    });
    Run(true, false);
}

TEST_F(EntryDialog, FieldsTakeOnlyTheirCharactersUpToTheirLimits) {
    Fill({});
    Script script([&](HWND d) {
        struct { int id; const wchar_t* typed; const wchar_t* shown; int limit; } cases[] = {
            {IDC_ENTRY_NAME, L"A|n[n]a \u05d0", L"Anna \u05d0", 31},
            {IDC_ENTRY_FAX, L"+49 (30) 12-34/5.6*#,x|", L"+49 (30) 12-34/5.6*#,", 46},
            {IDC_ENTRY_ORGANIZATION, L"Acme | [Sales]", L"Acme  [Sales]", 59},
            {IDC_ENTRY_PHONE, L"030|1234a", L"0301234", 46},
            {IDC_ENTRY_EMAIL, L"a|b@example.com", L"ab@example.com", 59},
            {IDC_ENTRY_MAILBOX, L"1a2345", L"123", 3},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.id);
            Type(d, c.id, c.typed);
            EXPECT_EQ(ItemText(d, c.id), CMString(c.shown));
            EXPECT_EQ(SendDlgItemMessageW(d, c.id, EM_GETLIMITTEXT, 0, 0), c.limit);
        }
        Click(d, IDCANCEL);
    });
    Run(true, false);
}

TEST_F(EntryDialog, MailboxIsKeptWithinRangeOnLeaving) {
    Fill({});
    Script script([&](HWND d) {
        struct { const wchar_t* typed; const wchar_t* kept; } cases[] = {
            {L"0", L"1"}, {L"000", L"1"}, {L"007", L"7"}, {L"999", L"999"}, {L"", L""},
        };
        for (const auto& c : cases) {
            Type(d, IDC_ENTRY_MAILBOX, c.typed);
            Focus(d, IDC_ENTRY_NAME);
            EXPECT_EQ(ItemText(d, IDC_ENTRY_MAILBOX), CMString(c.kept)) << CMString(c.typed).ToUtf8();
        }
        // Pasted letters are dropped when the field is left, and nothing becomes "1".
        SetDlgItemTextW(d, IDC_ENTRY_MAILBOX, L"abc");
        Focus(d, IDC_ENTRY_MAILBOX);
        Focus(d, IDC_ENTRY_NAME);
        EXPECT_EQ(ItemText(d, IDC_ENTRY_MAILBOX), CMString());
        Click(d, IDCANCEL);
    });
    Run(true, false);
}

TEST_F(EntryDialog, NewEntryIsStoredAndListed) {
    Fill({{L"Bert", L"0302"}});
    Script script([&](HWND d) {
        TypeFields(d, {L"Anna", L"0301", L"Acme", L"555 1234", L"anna@example.com", L"0"});
        Click(d, IDOK);
    });
    EXPECT_EQ(Run(true, false), IDOK);
    const auto book = ReadBook(path);
    const Stored* anna = Find(book, L"Anna");
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(anna->fax, CMString(L"0301"));
    EXPECT_EQ(anna->organization, CMString(L"Acme"));
    EXPECT_EQ(anna->phone, CMString(L"555 1234"));
    EXPECT_EQ(anna->email, CMString(L"anna@example.com"));
    EXPECT_EQ(anna->mailbox, 1u);  // "0" became "1" when the field was left
    EXPECT_EQ(RowOf(L"Anna"), 0);   // shown in order
    EXPECT_EQ(model.GetItemCount(), 2);
}

TEST_F(EntryDialog, DoubtfulEmailAddressIsQuestioned) {
    struct { int answer; bool stored; } cases[] = {{IDNO, false}, {IDYES, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        TearDown();
        testenv::TempFolder caseFolder;
        path = caseFolder.File(L"book.mpb2");
        ASSERT_TRUE(testenv::MakeBook(path, L"mpb2"));
        Fill({});
        Script script([&](HWND d) {
            TypeFields(d, {L"Anna", L"0301", L"", L"", L"anna at example"});
            Click(d, IDOK);
            if (c.answer == IDNO) {
                // Emptied, nothing stored, the dialog still open with the name to hand.
                EXPECT_EQ(ItemText(d, IDC_ENTRY_EMAIL), CMString());
                EXPECT_TRUE(IsWindowVisible(d));
                EXPECT_TRUE(HasFocus(d, IDC_ENTRY_NAME));
                EXPECT_TRUE(ReadBook(path).empty());
                Click(d, IDCANCEL);
            }
        });
        script.Then(harness::ModalDriver::Press(c.answer));
        INT_PTR result = Run(true, false);
        ASSERT_EQ(script.driver.Seen().size(), 2u);
        const auto& question = script.driver.Seen()[1];
        EXPECT_EQ(question.caption, app::Text(IDS_EMAIL_CAPTION));
        EXPECT_EQ(question.text, CMString::Formatted(app::Text(IDS_EMAIL_INVALID).c_str(), L"anna at example"));
        EXPECT_EQ(result, c.stored ? IDOK : IDCANCEL);
        const auto book = ReadBook(path);
        ASSERT_EQ(book.size(), c.stored ? 1u : 0u);
        if (c.stored) {
            EXPECT_EQ(book[0].email, CMString(L"anna at example"));  // kept as typed
        }
        model.CloseFile();
    }
}

TEST_F(EntryDialog, EditShowsTheSelectedRowAndStoresOnlyOnOk) {
    struct { int button; const wchar_t* phoneAfter; } cases[] = {{IDCANCEL, L"555 1"}, {IDOK, L"555 2"}};
    Fill({{L"Anna", L"0301", L"Acme", L"555 1", L"anna@example.com", L"12"}, {L"Bert", L"0302"}});
    for (const auto& c : cases) {
        model.SelectRow(RowOf(L"Anna"));
        Script script([&](HWND d) {
            EXPECT_EQ(harness::WindowText(d), app::Text(IDS_ENTRY_TITLE));
            struct { int id; const wchar_t* text; } fields[] = {
                {IDC_ENTRY_NAME, L"Anna"}, {IDC_ENTRY_FAX, L"0301"}, {IDC_ENTRY_ORGANIZATION, L"Acme"},
                {IDC_ENTRY_PHONE, L"555 1"},
                {IDC_ENTRY_EMAIL, L"anna@example.com"}, {IDC_ENTRY_MAILBOX, L"12"},
            };
            for (const auto& f : fields) EXPECT_EQ(ItemText(d, f.id), CMString(f.text)) << f.id;
            EXPECT_TRUE(harness::IsItemEnabled(d, IDOK));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_ENTRY_NEXT)));
            Type(d, IDC_ENTRY_PHONE, L"555 2");
            Click(d, c.button);
        });
        EXPECT_EQ(Run(false, false), c.button);
        EXPECT_EQ(Find(ReadBook(path), L"Anna")->phone, CMString(c.phoneAfter)) << c.button;
    }
}

TEST_F(EntryDialog, SteppingAwayFromAMissingFieldNamesItAndStoresNothing) {
    struct { int field; unsigned notice; } cases[] = {{IDC_ENTRY_NAME, IDS_NAME_MISSING}, {IDC_ENTRY_FAX, IDS_FAX_MISSING}};
    Fill({{L"Anna", L"0301"}, {L"Bert", L"0302"}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.field);
        model.SelectRow(RowOf(L"Anna"));
        Notice notice;
        Script script([&](HWND d) {
            // Leaving the emptied field puts the placeholder back; that is not a name.
            Type(d, c.field, L"");
            Click(d, IDC_ENTRY_NEXT);
            EXPECT_EQ(ItemText(d, c.field), placeholder);
            EXPECT_TRUE(HasFocus(d, IDC_ENTRY_NAME));
            EXPECT_EQ(SelectedName(), CMString(L"Anna"));
            Click(d, IDCANCEL);
        });
        script.Then(ReadNotice(&notice));
        Run(false, false);
        ASSERT_EQ(script.driver.Seen().size(), 2u);
        EXPECT_EQ(notice.caption, app::Text(IDS_MISSING_CAPTION));
        EXPECT_EQ(notice.text, app::Text(c.notice));
        EXPECT_EQ(notice.button, app::Text(IDS_CLOSE));
        EXPECT_TRUE(notice.hasIcon);
        const auto book = ReadBook(path);
        EXPECT_EQ(book.size(), 2u);
        ASSERT_NE(Find(book, L"Anna"), nullptr);
        EXPECT_EQ(Find(book, L"Anna")->fax, CMString(L"0301"));
    }
}

TEST_F(EntryDialog, SteppingStoresAChangedEntryFirst) {
    Fill({{L"Anna", L"0301"}, {L"Bert", L"0302", L"Bakery"}});
    model.SelectRow(RowOf(L"Anna"));
    Script script([&](HWND d) {
        Type(d, IDC_ENTRY_ORGANIZATION, L"Acme");
        Click(d, IDC_ENTRY_NEXT);
        EXPECT_EQ(SelectedName(), CMString(L"Bert"));
        EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME), CMString(L"Bert"));
        EXPECT_EQ(ItemText(d, IDC_ENTRY_ORGANIZATION), CMString(L"Bakery"));
        EXPECT_EQ(Find(ReadBook(path), L"Anna")->organization, CMString(L"Acme"));
        Click(d, IDC_ENTRY_PREVIOUS);
        EXPECT_EQ(ItemText(d, IDC_ENTRY_ORGANIZATION), CMString(L"Acme"));
        Click(d, IDCANCEL);
    });
    EXPECT_EQ(Run(false, false), IDCANCEL);
    // The list keeps the row the dialog stepped to.
    EXPECT_EQ(SelectedName(), CMString(L"Anna"));
}

TEST_F(EntryDialog, SteppingWrapsAroundAndSkipsGroups) {
    Fill({{L"Anna", L"0301"}, {L"Bert", L"0302"}, {L"Carl", L"0303"}, {L"Team", L""}});
    ASSERT_EQ(model.GetItemCount(), 4);
    model.SelectRow(RowOf(L"Anna"));
    Script script([&](HWND d) {
        struct { int button; const wchar_t* reached; } steps[] = {
            {IDC_ENTRY_PREVIOUS, L"Carl"}, {IDC_ENTRY_NEXT, L"Anna"}, {IDC_ENTRY_NEXT, L"Bert"},
            {IDC_ENTRY_NEXT, L"Carl"},     {IDC_ENTRY_NEXT, L"Anna"},
        };
        for (const auto& s : steps) {
            Click(d, s.button);
            EXPECT_EQ(SelectedName(), CMString(s.reached));
            EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME), CMString(s.reached));
        }
        Click(d, IDOK);
    });
    EXPECT_EQ(Run(false, true), IDOK);
}

TEST_F(EntryDialog, AnEntryAmongGroupsOnlyStaysPut) {
    Fill({{L"Solo", L"0301"}, {L"Team", L""}, {L"Staff", L""}});
    model.SelectRow(RowOf(L"Solo"));
    Script script([&](HWND d) {
        for (int button : {IDC_ENTRY_NEXT, IDC_ENTRY_PREVIOUS}) {
            Click(d, button);
            EXPECT_EQ(SelectedName(), CMString(L"Solo")) << button;
        }
        Click(d, IDOK);
    });
    Run(false, true);
}

TEST_F(EntryDialog, ViewModeStoresNothing) {
    Fill({{L"Anna", L"0301", L"Acme"}, {L"Bert", L"0302"}});
    model.SelectRow(RowOf(L"Anna"));
    Script script([&](HWND d) {
        EXPECT_EQ(harness::WindowText(d), app::Text(IDS_ENTRY_TITLE));
        for (int id : {IDC_ENTRY_NAME, IDC_ENTRY_FAX, IDC_ENTRY_ORGANIZATION, IDC_ENTRY_PHONE, IDC_ENTRY_EMAIL,
                       IDC_ENTRY_MAILBOX})
            EXPECT_TRUE(GetWindowLongPtrW(GetDlgItem(d, id), GWL_STYLE) & ES_READONLY) << id;
        Type(d, IDC_ENTRY_ORGANIZATION, L"Other");
        EXPECT_EQ(ItemText(d, IDC_ENTRY_ORGANIZATION), CMString(L"Acme"));
        // Even text that got in some other way is not stored by stepping or OK.
        SetDlgItemTextW(d, IDC_ENTRY_ORGANIZATION, L"Other");
        Click(d, IDC_ENTRY_NEXT);
        EXPECT_EQ(SelectedName(), CMString(L"Bert"));
        SetDlgItemTextW(d, IDC_ENTRY_ORGANIZATION, L"Other");
        Click(d, IDOK);
    });
    EXPECT_EQ(Run(false, true), IDOK);
    const auto book = ReadBook(path);
    EXPECT_EQ(Find(book, L"Anna")->organization, CMString(L"Acme"));
    EXPECT_EQ(Find(book, L"Bert")->organization, CMString());
}

TEST_F(EntryDialog, EntryAlreadyInTheBookKeepsTheDialogOpen) {
    Fill({{L"Anna", L"0301"}});
    Script script([&](HWND d) {
        TypeFields(d, {L"anna", L"0301"});
        Focus(d, IDC_ENTRY_FAX);
        Click(d, IDOK);
        EXPECT_TRUE(IsWindowVisible(d));
        EXPECT_TRUE(HasFocus(d, IDC_ENTRY_NAME));
        // Another fax number is another entry.
        Type(d, IDC_ENTRY_FAX, L"0309");
        Click(d, IDOK);
    });
    script.Then(harness::ModalDriver::Press(IDC_MESSAGE_BUTTON));
    EXPECT_EQ(Run(true, false), IDOK);
    ASSERT_EQ(script.driver.Seen().size(), 2u);
    EXPECT_EQ(script.driver.Seen()[1].caption, app::Text(IDS_ENTRY_EXISTS_CAPTION));
    EXPECT_EQ(ReadBook(path).size(), 2u);
}

TEST_F(EntryDialog, RightToLeftLanguageMirrorsTheDialogAndItsNotice) {
    ASSERT_TRUE(testenv::UseLanguage(L"he-IL"));
    Fill({{L"Anna", L"0301"}});
    model.SelectRow(0);
    Notice notice;
    LONG_PTR exStyle = 0;
    Script script([&](HWND d) {
        exStyle = GetWindowLongPtrW(d, GWL_EXSTYLE);
        EXPECT_EQ(harness::WindowText(d), app::Text(IDS_ENTRY_TITLE));
        EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME_LABEL), app::Text(IDS_LABEL_NAME));
        // Names are mirrored with the dialog; numbers and addresses keep reading left to right.
        struct { int id; bool mirrored; } fields[] = {
            {IDC_ENTRY_NAME, true},   {IDC_ENTRY_ORGANIZATION, true}, {IDC_ENTRY_FAX, false},
            {IDC_ENTRY_PHONE, false}, {IDC_ENTRY_EMAIL, false},       {IDC_ENTRY_MAILBOX, false},
        };
        for (const auto& f : fields)
            EXPECT_EQ((GetWindowLongPtrW(GetDlgItem(d, f.id), GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0, f.mirrored) << f.id;
        Type(d, IDC_ENTRY_NAME, L"");
        Click(d, IDC_ENTRY_PREVIOUS);
        Click(d, IDCANCEL);
    });
    script.Then(ReadNotice(&notice));
    Run(false, false);
    EXPECT_TRUE(exStyle & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(notice.rightToLeft);
    EXPECT_EQ(notice.text, app::Text(IDS_NAME_MISSING));
    EXPECT_EQ(notice.button, app::Text(IDS_CLOSE));
}

// The main window's Edit and New entry open the dialog on its own model and list.
TEST(EntryDialogFromMainWindow, EditAndNewEntryOpenIt) {
    testenv::UseLanguage(L"en-US");
    testenv::TempFolder folder;
    CMString path = folder.File(L"book.mpb2");
    ASSERT_TRUE(testenv::MakeBook(path, L"mpb2"));
    AddToBook(path, {{L"Anna", L"0301", L"Acme"}, {L"Bert", L"0302"}});
    HWND owner = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    MainDialogStart start;
    start.currentPath = path;
    CPhoneBookDlg main(start);
    HWND hwnd = main.CreateModeless(owner, IDD_MAIN, IDD_MAIN_RTL);
    ASSERT_NE(hwnd, nullptr);
    ShowWindow(hwnd, SW_SHOW);
    harness::PumpUntilIdle();

    main.List()->SetItemSelected(0, true);
    {
        Script script([&](HWND d) {
            EXPECT_EQ(ItemText(d, IDC_ENTRY_NAME), CMString(L"Anna"));
            EXPECT_EQ(ItemText(d, IDC_ENTRY_ORGANIZATION), CMString(L"Acme"));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_ENTRY_PERSONAL_COPY)));  // a local book
            Type(d, IDC_ENTRY_ORGANIZATION, L"Acme Ltd");
            Click(d, IDOK);
        });
        SendMessageW(hwnd, WM_COMMAND, ID_EDIT_ENTRY, 0);
    }
    EXPECT_EQ(Find(ReadBook(path), L"Anna")->organization, CMString(L"Acme Ltd"));
    {
        Script script([&](HWND d) {
            EXPECT_EQ(harness::WindowText(d), app::Text(IDS_TIP_NEW_ENTRY));
            TypeFields(d, {L"Carl", L"0303"});
            Click(d, IDOK);
        });
        SendMessageW(hwnd, WM_COMMAND, ID_NEW_ENTRY, 0);
    }
    EXPECT_EQ(main.List()->GetItemCount(), 3);
    EXPECT_NE(Find(ReadBook(path), L"Carl"), nullptr);
    DestroyWindow(hwnd);
    DestroyWindow(owner);
}

}  // namespace
