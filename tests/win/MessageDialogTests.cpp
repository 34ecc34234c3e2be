// The program's message dialog, driven as a user meets it.
#include <windows.h>

#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "controls/MessageDialog.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "resources/resource.h"

namespace {

const MessageSource kSource = {L"The phone book is full.\nDelete entries to make room.", L"Phone book", L"Close"};

TEST(MessageDialog, ShowsTextsAndEndsWithItsKindsResult) {
    struct { MessageDialogKind kind; int press; INT_PTR result; } cases[] = {
        {MessageDialogKind::Storage, IDC_MESSAGE_BUTTON, 1},
        {MessageDialogKind::Notice, IDC_MESSAGE_BUTTON, 0},
        {MessageDialogKind::Storage, IDCANCEL, 1},
        {MessageDialogKind::Notice, IDCANCEL, 0},
    };
    for (const auto& c : cases) {
        harness::ModalDriver driver;
        CMString message, button;
        HICON icon = nullptr;
        driver.Then([&](const harness::SeenWindow& seen) {
            message = harness::ItemText(seen.window, IDC_MESSAGE_TEXT);
            button = harness::ItemText(seen.window, IDC_MESSAGE_BUTTON);
            icon = reinterpret_cast<HICON>(SendDlgItemMessageW(seen.window, IDC_MESSAGE_ICON, STM_GETICON, 0, 0));
            harness::ModalDriver::Press(c.press)(seen);
        });
        EXPECT_EQ(ShowMessageDialog(nullptr, &kSource, c.kind), c.result);
        ASSERT_EQ(driver.Seen().size(), 1u);
        EXPECT_EQ(driver.Seen()[0].caption, kSource.caption);
        EXPECT_EQ(message, kSource.message);
        EXPECT_EQ(button, kSource.button);
        EXPECT_NE(icon, nullptr);
    }
}

TEST(MessageDialog, ClosingTheStorageMessageCountsAsItsButton) {
    harness::ModalDriver driver;
    driver.Then([](const harness::SeenWindow& seen) { PostMessageW(seen.window, WM_CLOSE, 0, 0); });
    EXPECT_EQ(ShowMessageDialog(nullptr, &kSource, MessageDialogKind::Storage), 1);
}

TEST(MessageDialog, LongMessageDoesNotGrowTheDialog) {
    MessageSource longer = kSource;
    for (int i = 0; i < 40; ++i) longer.message += L" Many more words to make the text far too long.";
    auto sizeOf = [](const MessageSource& source) {
        RECT rect = {};
        harness::ModalDriver driver;
        driver.Then([&rect](const harness::SeenWindow& seen) {
            GetWindowRect(seen.window, &rect);
            harness::ModalDriver::Press(IDC_MESSAGE_BUTTON)(seen);
        });
        ShowMessageDialog(nullptr, &source, MessageDialogKind::Storage);
        return rect;
    };
    RECT small = sizeOf(kSource), large = sizeOf(longer);
    EXPECT_GT(small.right - small.left, 0);
    EXPECT_EQ(small.right - small.left, large.right - large.left);
    EXPECT_EQ(small.bottom - small.top, large.bottom - large.top);
}

TEST(MessageDialog, WithoutSourceShowsTemplateAsIs) {
    harness::ModalDriver driver;
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    EXPECT_EQ(ShowMessageDialog(nullptr, nullptr, MessageDialogKind::Notice), 0);
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_TRUE(driver.Seen()[0].caption.IsEmpty());
}

TEST(MessageDialog, RightToLeftTemplateIsMirrored) {
    ASSERT_TRUE(testenv::UseLanguage(L"he-IL"));
    harness::ModalDriver driver;
    driver.ThenPress(IDC_MESSAGE_BUTTON);
    ShowMessageDialog(nullptr, &kSource, MessageDialogKind::Storage);
    testenv::UseLanguage(L"en-US");
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_TRUE(driver.Seen()[0].exStyle & WS_EX_LAYOUTRTL);
}

TEST(MessageDialog, ReportsMinusOneWhenItCannotBeMade) {
    // Templates are looked up in the program's module; one without them cannot make the box.
    app::SetInstance(GetModuleHandleW(L"kernel32.dll"));
    INT_PTR result = ShowMessageDialog(nullptr, &kSource, MessageDialogKind::Storage);
    app::SetInstance(GetModuleHandleW(nullptr));
    EXPECT_EQ(result, -1);
}

}  // namespace
