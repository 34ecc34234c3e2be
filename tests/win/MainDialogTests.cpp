// The main dialog made from its real template: start state, texts, and close path.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <iterator>
#include <memory>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "controls/Dpi.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"
#include "util/RegistryKey.h"

namespace {

// Stands in for the hidden application window: counts the WM_CLOSE it is sent.
struct Owner {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CLOSE) {
            ++closes;
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    Owner() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PbeTestOwner";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr,
                               wc.hInstance, nullptr);
        closes = 0;
    }
    ~Owner() { DestroyWindow(hwnd); }
    HWND hwnd;
    static inline int closes = 0;
};

class MainDialog : public testing::Test {
protected:
    void Open(const MainDialogStart& start = {}) {
        dialog = std::make_unique<CPhoneBookDlg>(start);
        hwnd = dialog->CreateModeless(owner.hwnd, IDD_MAIN, IDD_MAIN_RTL);
        ASSERT_NE(hwnd, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        harness::PumpUntilIdle();
    }
    void TearDown() override {
        if (hwnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        dialog.reset();
        testenv::UseLanguage(L"en-US");
    }
    Owner owner;
    std::unique_ptr<CPhoneBookDlg> dialog;
    HWND hwnd = nullptr;
};

TEST_F(MainDialog, StartsWithoutPhonebook) {
    Open();
    EXPECT_EQ(harness::WindowText(hwnd), app::Text(IDS_TITLE));
    EXPECT_EQ(harness::ItemText(hwnd, IDC_SEARCH), app::Text(IDS_SEARCH_PROMPT));
    EXPECT_EQ(SendDlgItemMessageW(hwnd, IDC_SEARCH, EM_GETLIMITTEXT, 0, 0), 100);
    EXPECT_EQ(harness::ItemText(hwnd, IDC_CLOSE), app::Text(IDS_CLOSE));
    EXPECT_EQ(dialog->GetBookLocation(), BookLocation::None);

    struct { int id; unsigned text; bool enabled; } buttons[] = {
        {IDC_HELP_BUTTON, IDS_TIP_HELP, true},     {IDC_NEW_ENTRY, IDS_TIP_NEW_ENTRY, false},
        {IDC_NEW_GROUP, IDS_TIP_NEW_GROUP, false}, {IDC_EDIT_BUTTON, IDS_TIP_EDIT, false},
        {IDC_DELETE, IDS_TIP_DELETE, false},
        // Nothing open counts as read-only: Copy stays, following the (empty) selection.
        {IDC_COPY_PERSONAL, IDS_TIP_COPY_PERSONAL, false},
        {IDC_FILE, IDS_TIP_FILE, true},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(harness::ItemText(hwnd, b.id), app::Text(b.text)) << b.id;
        EXPECT_EQ(harness::IsItemEnabled(hwnd, b.id), b.enabled) << b.id;
        EXPECT_FALSE(app::Text(b.text).IsEmpty()) << b.id;
    }
    EXPECT_TRUE(harness::IsItemEnabled(hwnd, IDC_LIST));

    // The set size, or the template's own where its font makes it larger: every
    // control lies wholly inside the window.
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_GE(rect.right - rect.left, ScalePixels(hwnd, 364));
    EXPECT_GE(rect.bottom - rect.top, ScalePixels(hwnd, 268));
    RECT client;
    GetClientRect(hwnd, &client);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        RECT box;
        GetWindowRect(child, &box);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_GE(box.left, 0) << GetDlgCtrlID(child);
        EXPECT_LE(box.right, client.right) << GetDlgCtrlID(child);
        EXPECT_LE(box.bottom, client.bottom) << GetDlgCtrlID(child);
    }

    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_THICKFRAME);
}

TEST_F(MainDialog, SystemMenuOffersAbout) {
    Open();
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    wchar_t text[128] = {};
    ASSERT_GT(GetMenuStringW(menu, IDM_SYS_ABOUT, text, 128, MF_BYCOMMAND), 0);
    EXPECT_EQ(CMString(text), app::Text(IDS_ABOUT_MENU));
}

TEST_F(MainDialog, EscapeAndEnterDoNotClose) {
    Open();
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    harness::PumpUntilIdle();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(Owner::closes, 0);
}

TEST_F(MainDialog, CloseStoresSizeAndClosesOwner) {
    testenv::DeleteRegistryTree(HKEY_CURRENT_USER, CPhoneBookDlg::SizeKeyPath());
    Open();
    RECT rect;
    GetWindowRect(hwnd, &rect);
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
    ASSERT_TRUE(harness::PumpUntil([] { return Owner::closes == 1; }));
    EXPECT_FALSE(IsWindowVisible(hwnd));

    RegistryKey key;
    ASSERT_EQ(key.OpenRegistryKey(HKEY_CURRENT_USER, CPhoneBookDlg::SizeKeyPath(), KEY_READ), ERROR_SUCCESS);
    DWORD width = 0, height = 0;
    EXPECT_TRUE(key.GetDWordValue(L"InitSize_X", width));
    EXPECT_TRUE(key.GetDWordValue(L"InitSize_Y", height));
    EXPECT_EQ(width, static_cast<DWORD>(rect.right - rect.left));
    EXPECT_EQ(height, static_cast<DWORD>(rect.bottom - rect.top));
    EXPECT_FALSE(CPhoneBookDlg::SizeKeyPath().Right(1) == CMString(L"\\"));
}

TEST_F(MainDialog, RightToLeftLanguageUsesMirroredTemplate) {
    ASSERT_TRUE(testenv::UseLanguage(L"he-IL"));
    Open();
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    EXPECT_TRUE(dialog->IsRightToLeft());
    EXPECT_EQ(harness::WindowText(hwnd), app::Text(IDS_TITLE));
    // Same controls, same ids.
    for (int id : {IDC_SEARCH, IDC_LIST, IDC_HELP_BUTTON, IDC_NEW_ENTRY, IDC_NEW_GROUP, IDC_EDIT_BUTTON, IDC_DELETE,
                   IDC_COPY_PERSONAL, IDC_FILE, IDC_CLOSE})
        EXPECT_NE(GetDlgItem(hwnd, id), nullptr) << id;
}

TEST(Accelerators, TableMapsKeysToCommands) {
    HACCEL table = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN));
    ASSERT_NE(table, nullptr);
    ACCEL entries[16];
    int count = CopyAcceleratorTableW(table, entries, 16);
    struct { WORD key; bool control; WORD command; } expected[] = {
        {'N', true, ID_FILE_NEW},   {'O', true, ID_FILE_OPEN},    {'S', true, ID_FILE_SAVE_AS},
        {'E', true, ID_EDIT_ENTRY}, {'D', true, ID_DELETE_ENTRY}, {'R', true, ID_NEW_ENTRY},
        {'G', true, ID_NEW_GROUP},  {'P', true, ID_FILE_PRINT}, {'Z', true, ID_FILE_UNDO},
        {VK_F1, false, ID_HELP_TOPIC},
    };
    ASSERT_EQ(count, static_cast<int>(std::size(expected)));
    for (const auto& e : expected) {
        bool found = false;
        for (int i = 0; i < count; ++i)
            if (entries[i].key == e.key && entries[i].cmd == e.command && (entries[i].fVirt & FVIRTKEY) &&
                ((entries[i].fVirt & FCONTROL) != 0) == e.control)
                found = true;
        EXPECT_TRUE(found) << e.command;
    }
    DestroyAcceleratorTable(table);
}

TEST(Icons, BothIconsLoad) {
    for (int id : {IDI_APP, IDI_PHONEBOOK}) {
        HICON icon = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0,
                                                   LR_DEFAULTSIZE | LR_SHARED));
        EXPECT_NE(icon, nullptr) << id;
    }
}

}  // namespace
