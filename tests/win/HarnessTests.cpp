// The modal driver itself: a message box is seen, read and answered.
#include <windows.h>

#include <gtest/gtest.h>

#include "PrintCMString.h"
#include "harness/GuiHarness.h"

namespace {

TEST(ModalDriver, AnswersMessageBoxesInOrder) {
    harness::ModalDriver driver;
    driver.ThenPress(IDNO).ThenPress(IDOK);
    EXPECT_EQ(MessageBoxW(nullptr, L"Replace the file?", L"Export", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"Done.", L"Import", MB_OK), IDOK);
    ASSERT_EQ(driver.Seen().size(), 2u);
    EXPECT_EQ(driver.Seen()[0].caption, CMString(L"Export"));
    EXPECT_EQ(driver.Seen()[0].text, CMString(L"Replace the file?"));
    EXPECT_EQ(driver.Seen()[0].buttons.size(), 2u);
    EXPECT_EQ(driver.Seen()[1].caption, CMString(L"Import"));
    EXPECT_EQ(driver.PendingSteps(), 0u);
}

TEST(ModalDriver, UnexpectedWindowIsCancelledNotHung) {
    harness::ModalDriver driver;
    EXPECT_EQ(MessageBoxW(nullptr, L"Surprise", L"Caption", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(driver.Seen().size(), 1u);
}

TEST(ModalDriver, RightToLeftReadingIsVisible) {
    harness::ModalDriver driver;
    driver.ThenPress(IDOK);
    MessageBoxW(nullptr, L"\u05e9\u05dc\u05d5\u05dd", L"\u05d4\u05d5\u05d3\u05e2\u05d4", MB_OK | MB_RTLREADING);
    ASSERT_EQ(driver.Seen().size(), 1u);
    EXPECT_EQ(driver.Seen()[0].text, CMString(L"\u05e9\u05dc\u05d5\u05dd"));
}

}  // namespace
