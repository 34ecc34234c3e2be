// The server dialog's address book kind, run through the real dialog against the real
// Radicale server of ctest's carddav fixture (see CardDavServer.h): each fault is told in
// the dialog and leaves the book alone; from the server's address, Test lists the
// account's books, one is picked, and Import fills the managed group; the settings are
// there when the dialog opens again.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "CardDavServer.h"
#include "EntryDialogScript.h"
#include "PrintCMString.h"
#include "ServerDialogScript.h"
#include "app/AppGlobals.h"
#include "data/CPhonebook.h"
#include "directory/DirectoryDlg.h"
#include "mainwindow/ListViewUIControl.h"
#include "util/Handles.h"

namespace {

using carddavtest::CardDav;
using namespace pbtooltest;
using namespace serverdialog;

// What to type, what to press, and what the dialog must say (in its status, or in a
// message box it opens) with the book left as it was.
struct FaultCase {
    const char* what;
    CMString url;
    const wchar_t* user;
    const wchar_t* password;
    int button;           // IDC_DIR_TEST or IDOK
    const char* said;     // part of the status, or of the message box's text
    bool messageBox;      // refused before anything is sent
    int focus;            // where the refusal leaves the focus; 0: not asked
};

TEST_F(CardDav, TheDialogPicksABookOfTheServerAndFollowsIt) {
    RegDeleteTreeW(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey);
    const CMString book = Book(L"dialog.mpb2");
    const std::vector<std::wstring> before = Contents(book);
    UniqueWindow window(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                           [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0));
    ListViewUIControl list{IDC_LIST};
    list.AttachToDialog(window.Get());
    auto model = std::make_unique<CPhonebook>(window.Get());
    model->AttachMainList(&list);
    ASSERT_TRUE(model->Database().Open(book, 0, 0));
    model->Refresh(true);
    auto fill = [](HWND d, const CMString& url, const wchar_t* user, const wchar_t* secret) {
        ChooseKind(d, ServerSettings::kAddressBook);
        SetDlgItemTextW(d, IDC_DAV_URL, url.c_str());
        SetDlgItemTextW(d, IDC_DAV_USER, user);
        SetDlgItemTextW(d, IDC_DAV_PASSWORD, secret);
        SetDlgItemTextW(d, IDC_DIR_GROUP, L"Server");
        CheckDlgButton(d, IDC_DIR_UPDATE, BST_CHECKED);
        Click(d, IDC_DIR_UPDATE);
        CheckDlgButton(d, IDC_DIR_SYNC, BST_CHECKED);
    };

    const FaultCase cases[] = {
        {"not a web address", L"ftp://127.0.0.1/alice/", L"alice", L"secret", IDC_DIR_TEST, "http:// or https://", true,
         IDC_DAV_URL},
        {"a user without a password", server.Url(L"/"), L"alice", L"", IDC_DIR_TEST, "No password is given for alice", true,
         IDC_DAV_PASSWORD},
        {"wrong password", server.Url(L"/"), L"alice", L"not-secret", IDC_DIR_TEST, "refused the login", false, 0},
        {"no such address book", server.Url(L"/alice/nothing/"), L"alice", L"secret", IDOK, "no such address book", false, 0},
        {"nobody listens", L"http://127.0.0.1:1/alice/contacts/", L"alice", L"secret", IDOK, "No server answers", false, 0},
        // A sync refuses a read cut short, and says how much arrived.
        {"an answer cut short", server.Url(L"/alice/contacts/", server.cut), L"alice", L"secret", IDOK, "cards arrived",
         false, 0},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring status;
        int focus = 0;
        CMString shown;
        entrytest::InDialog script([&](HWND d) {
            fill(d, c.url, c.user, c.password);
            Click(d, c.button);
            EXPECT_TRUE(WaitForRead(d));
            status = Text(d, IDC_DIR_STATUS);
            focus = GetDlgCtrlID(GetFocus());
        });
        harness::ModalDriver driver;
        driver.Then(script.Start());
        if (c.messageBox)
            driver.Then([&](const harness::SeenWindow& seen) {
                shown = seen.text;
                harness::ModalDriver::Press(IDOK)(seen);
            });
        CDirectoryDlg dialog(*model);
        EXPECT_EQ(dialog.Run(window.Get()), IDCANCEL);
        EXPECT_TRUE(script.Ran());
        const std::string said = c.messageBox ? shown.ToUtf8() : CMString(status).ToUtf8();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        if (c.focus) {
            EXPECT_EQ(focus, c.focus);
        }
        EXPECT_EQ(Contents(book), before);
    }

    // Cancel while the read waits on a server that never answers: the dialog ends at once,
    // the book is as it was, and the worker left behind tells nobody when it gives up.
    entrytest::InDialog cancel([&](HWND d) {
        fill(d, server.Url(L"/alice/contacts/", server.silent), L"alice", L"secret");
        Click(d, IDOK);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDOK)));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_DIR_PROGRESS)));
        Click(d, IDCANCEL);
    });
    {
        harness::ModalDriver driver;
        driver.Then(cancel.Start());
        CDirectoryDlg dialog(*model);
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(dialog.Run(window.Get()), IDCANCEL);
        EXPECT_LT(GetTickCount64() - started, 20000u);
        EXPECT_TRUE(cancel.Ran());
        EXPECT_EQ(Contents(book), before);
    }

    // From the server's address: Test finds both of alice's books, Contacts is picked, and
    // Import makes the group follow it.
    std::vector<std::wstring> items;
    std::wstring tested;
    entrytest::InDialog follow([&](HWND d) {
        fill(d, server.Url(L"/"), L"alice", L"secret");
        CheckDlgButton(d, IDC_DAV_REMEMBER, BST_CHECKED);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDC_DAV_BOOK)));  // nothing found yet
        Click(d, IDC_DIR_TEST);
        ASSERT_TRUE(WaitForRead(d));
        tested = Text(d, IDC_DIR_STATUS);
        const int count = static_cast<int>(SendDlgItemMessageW(d, IDC_DAV_BOOK, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) items.push_back(ItemText(d, IDC_DAV_BOOK, i));
        const auto contacts = std::find(items.begin(), items.end(), L"Contacts (2480 cards)");
        ASSERT_NE(contacts, items.end());
        SendDlgItemMessageW(d, IDC_DAV_BOOK, CB_SETCURSEL, static_cast<WPARAM>(contacts - items.begin()), 0);
        Click(d, IDOK);
        EXPECT_TRUE(WaitForRead(d));
    });
    {
        harness::ModalDriver driver;
        driver.Then(follow.Start()).ThenPress(IDC_MESSAGE_BUTTON);  // the summary
        CDirectoryDlg dialog(*model);
        EXPECT_EQ(dialog.Run(window.Get()), IDOK);
        EXPECT_TRUE(follow.Ran());
    }
    EXPECT_EQ(tested, CMString::Formatted(app::Text(IDS_DAV_TEST_BOOKS).c_str(), 2u).str());
    EXPECT_EQ(items.size(), 2u);
    EXPECT_NE(std::find(items.begin(), items.end(), L"Empty (0 cards)"), items.end());
    const std::vector<std::wstring> lines = Contents(book, true);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::wstring& l) { return l[0] == L'E'; }), 2479 + 1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), L"E|Hand Made|555||||0"), lines.end());
    const auto group = std::find_if(lines.begin(), lines.end(), [](const std::wstring& l) { return l.rfind(L"G|Server|", 0) == 0; });
    ASSERT_NE(group, lines.end());
    EXPECT_EQ(std::count(group->begin(), group->end(), L'|'), 2479 + 1);

    // Opened again, the dialog shows the address book as it was left.
    entrytest::InDialog again([&](HWND d) {
        EXPECT_EQ(SendDlgItemMessageW(d, IDC_SRV_KIND, CB_GETCURSEL, 0, 0), ServerSettings::kAddressBook);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(d, IDC_DAV_URL)));
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_DIR_SERVER)));
        EXPECT_EQ(Text(d, IDC_DAV_URL), server.Url(L"/").str());
        EXPECT_EQ(Text(d, IDC_DAV_USER), L"alice");
        EXPECT_EQ(Text(d, IDC_DAV_PASSWORD), L"secret");
        EXPECT_EQ(ItemText(d, IDC_DAV_BOOK, static_cast<int>(SendDlgItemMessageW(d, IDC_DAV_BOOK, CB_GETCURSEL, 0, 0))),
                  L"Contacts");
        EXPECT_EQ(Text(d, IDC_DIR_GROUP), L"Server");
    });
    {
        harness::ModalDriver driver;
        driver.Then(again.Start());
        CDirectoryDlg dialog(*model);
        dialog.Run(window.Get());
        EXPECT_TRUE(again.Ran());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, CDirectoryDlg::kSettingsKey);
}

}  // namespace
