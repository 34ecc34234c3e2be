// The busy indicator on its own thread: its window, its bar's steps, and stopping it
// whether or not its window ever came up in time.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <mutex>
#include <vector>

#include "PrintCMString.h"
#include "app/AppGlobals.h"
#include "harness/GuiHarness.h"
#include "harness/TestEnvironment.h"
#include "mainwindow/BusyIndicator.h"
#include "resources/resource.h"

namespace {

// A plain top-level window to centre over.
class OwnerWindow {
public:
    OwnerWindow(int x, int y, int width, int height) {
        m_window.Reset(CreateWindowExW(0, L"Static", L"owner", WS_POPUP | WS_VISIBLE, x, y, width, height, nullptr,
                                       nullptr, nullptr, nullptr));
    }
    HWND Get() const { return m_window.Get(); }

private:
    UniqueWindow m_window;
};

bool WaitForWindow(const BusyIndicator& indicator) {
    return harness::PumpUntil([&] { return indicator.Window() && IsWindowVisible(indicator.Window()); });
}

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

TEST(BusyIndicator, ShowsTitleMessageAndBarOverItsOwner) {
    struct { const wchar_t* message; bool messageLine; } cases[] = {
        {L"Copying entries...", true},
        {L"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CMString(c.message).ToUtf8());
        OwnerWindow owner(100, 80, 700, 500);
        BusyIndicator indicator(owner.Get());
        ASSERT_TRUE(indicator.Start(L"Converting phone book...", c.message));
        ASSERT_TRUE(WaitForWindow(indicator));
        HWND window = indicator.Window();
        EXPECT_EQ(harness::WindowText(window), L"Converting phone book...");
        EXPECT_EQ(GetDlgItem(window, IDC_BUSY_MESSAGE) != nullptr, c.messageLine);
        if (c.messageLine) {
            EXPECT_EQ(harness::ItemText(window, IDC_BUSY_MESSAGE), CMString(c.message));
        }
        HWND bar = GetDlgItem(window, IDC_BUSY_PROGRESS);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), BusyIndicator::kRange);
        EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);
        // Centred over the owner, with its own size.
        RECT own = WindowRect(window), ownerRect = WindowRect(owner.Get());
        EXPECT_EQ(own.left, ownerRect.left + (700 - (own.right - own.left)) / 2);
        EXPECT_EQ(own.top, ownerRect.top + (500 - (own.bottom - own.top)) / 2);
        EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId());

        indicator.Stop();
        EXPECT_FALSE(indicator.IsRunning());
        EXPECT_EQ(indicator.Window(), nullptr);
        EXPECT_FALSE(IsWindow(window));
        indicator.Stop();  // again: nothing to do
        EXPECT_FALSE(indicator.IsRunning());
    }
}

TEST(BusyIndicator, OwnerLargerOrSmallerPlacesItByTheRule) {
    // An owner smaller than the indicator: the indicator's corner at the owner's.
    OwnerWindow owner(150, 120, 60, 30);
    BusyIndicator indicator(owner.Get());
    ASSERT_TRUE(indicator.Start(L"Working", L""));
    ASSERT_TRUE(WaitForWindow(indicator));
    RECT own = WindowRect(indicator.Window());
    EXPECT_EQ(own.left, 150);
    EXPECT_EQ(own.top, 120);
    // Once placed it stays where it is.
    SetWindowPos(indicator.Window(), nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT after = WindowRect(indicator.Window());
    EXPECT_EQ(after.left, 150);
    EXPECT_EQ(after.top, 120);
    indicator.Stop();
}

// What the bar showed after each of the indicator's own steps, recorded on its thread.
struct BarLog {
    std::mutex lock;
    std::vector<int> positions;
};
BarLog* g_barLog = nullptr;

LRESULT CALLBACK RecordBarSteps(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && g_barLog) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (call->message == PBM_DELTAPOS || call->message == PBM_SETPOS) {
            int position = static_cast<int>(SendMessageW(call->hwnd, PBM_GETPOS, 0, 0));
            std::lock_guard<std::mutex> guard(g_barLog->lock);
            g_barLog->positions.push_back(position);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST(BusyIndicator, BarSpeedsUpAndStartsAgainAtTheEnd) {
    BusyIndicator indicator(nullptr);
    ASSERT_TRUE(indicator.Start(L"Converting", L""));
    ASSERT_TRUE(WaitForWindow(indicator));
    BarLog log;
    g_barLog = &log;
    DWORD thread = GetWindowThreadProcessId(indicator.Window(), nullptr);
    UniqueHook hook(SetWindowsHookExW(WH_CALLWNDPROCRET, RecordBarSteps, nullptr, thread));
    ASSERT_TRUE(hook);
    // Steps 1, 2, 3, ... per tick: 19 ticks reach 190, the 20th the end (200), the 21st
    // finds it there, shows 199 for a moment and starts again at 0.
    std::vector<int> expected;
    for (int tick = 1, position = 0; tick <= 20; ++tick) {
        position = std::min(position + tick, BusyIndicator::kRange);
        expected.push_back(position);
    }
    expected.insert(expected.end(), {200, 199, 0, 1, 3, 6});
    EXPECT_TRUE(harness::PumpUntil([&] {
        std::lock_guard<std::mutex> guard(log.lock);
        return log.positions.size() >= expected.size();
    }, 8000));
    indicator.Stop();
    hook.Reset();
    g_barLog = nullptr;
    ASSERT_GE(log.positions.size(), expected.size());
    log.positions.resize(expected.size());
    EXPECT_EQ(log.positions, expected);
}

// Holds the process's loader lock on a thread of its own for a while: a thread started
// meanwhile cannot run its first instruction, as when the machine is badly overloaded.
class LoaderLockHolder {
public:
    explicit LoaderLockHolder(DWORD holdMs) : m_holdMs(holdMs) {
        m_locked.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        m_thread.Reset(CreateThread(nullptr, 0, Hold, this, 0, nullptr));
    }
    ~LoaderLockHolder() { WaitForSingleObject(m_thread.Get(), INFINITE); }
    bool WaitLocked() { return WaitForSingleObject(m_locked.Get(), 5000) == WAIT_OBJECT_0 && m_ok; }

private:
    static DWORD WINAPI Hold(void* param) {
        auto* self = static_cast<LoaderLockHolder*>(param);
        using LockFn = LONG(NTAPI*)(ULONG, ULONG*, ULONG_PTR*);
        using UnlockFn = LONG(NTAPI*)(ULONG, ULONG_PTR);
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        auto lock = reinterpret_cast<LockFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrLockLoaderLock")));
        auto unlock = reinterpret_cast<UnlockFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "LdrUnlockLoaderLock")));
        ULONG_PTR cookie = 0;
        self->m_ok = lock && unlock && lock(0, nullptr, &cookie) >= 0;
        SetEvent(self->m_locked.Get());
        if (!self->m_ok) return 0;
        Sleep(self->m_holdMs);
        unlock(0, cookie);
        return 0;
    }

    DWORD m_holdMs;
    bool m_ok = false;
    UniqueKernelHandle m_locked;
    UniqueKernelHandle m_thread;
};

HWND FindIndicator(const wchar_t* title) {
    struct Search { const wchar_t* title; HWND found; } search = {title, nullptr};
    EnumWindows([](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process == GetCurrentProcessId() && harness::WindowText(window) == s->title) s->found = window;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(BusyIndicator, StopEndsAWindowThatCameUpTooLate) {
    const wchar_t* title = L"Late indicator";
    BusyIndicator indicator(nullptr);
    DWORD started = 0;
    {
        LoaderLockHolder holder(1200);
        ASSERT_TRUE(holder.WaitLocked());
        ASSERT_TRUE(indicator.Start(title, L"A message"));
        started = GetTickCount();
        indicator.Stop();
    }
    DWORD elapsed = GetTickCount() - started;
    // It waited for the late window to come up and end, instead of hanging or leaving it.
    EXPECT_GE(elapsed, 1000u);
    EXPECT_LT(elapsed, 5000u);
    EXPECT_FALSE(indicator.IsRunning());
    EXPECT_EQ(indicator.Window(), nullptr);
    EXPECT_EQ(FindIndicator(title), nullptr);
}

TEST(BusyIndicator, StopRightAfterStartOrWithoutAWindowReturns) {
    struct { bool templates; } cases[] = {{true}, {false}};
    for (const auto& c : cases) {
        // A module without the templates: the window can never be made.
        if (!c.templates) app::SetInstance(GetModuleHandleW(L"kernel32.dll"));
        BusyIndicator indicator(nullptr);
        ASSERT_TRUE(indicator.Start(L"Quick", L""));
        DWORD started = GetTickCount();
        indicator.Stop();
        app::SetInstance(GetModuleHandleW(nullptr));
        EXPECT_LT(GetTickCount() - started, 2000u);
        EXPECT_FALSE(indicator.IsRunning());
        EXPECT_EQ(FindIndicator(L"Quick"), nullptr);
    }
}

TEST(BusyIndicator, StartingAgainReplacesTheRunningIndicator) {
    BusyIndicator indicator(nullptr);
    ASSERT_TRUE(indicator.Start(L"First", L""));
    ASSERT_TRUE(WaitForWindow(indicator));
    HWND first = indicator.Window();
    ASSERT_TRUE(indicator.Start(L"Second", L"Still working"));
    EXPECT_FALSE(IsWindow(first));
    ASSERT_TRUE(WaitForWindow(indicator));
    EXPECT_EQ(harness::WindowText(indicator.Window()), L"Second");
}  // the destructor stops it

TEST(BusyIndicator, RightToLeftLanguageMirrorsTheWindow) {
    ASSERT_TRUE(testenv::UseLanguage(L"he-IL"));
    BusyIndicator indicator(nullptr);
    bool started = indicator.Start(L"\u05de\u05de\u05d9\u05e8", L"");
    bool shown = started && WaitForWindow(indicator);
    LONG_PTR exStyle = shown ? GetWindowLongPtrW(indicator.Window(), GWL_EXSTYLE) : 0;
    indicator.Stop();
    testenv::UseLanguage(L"en-US");
    ASSERT_TRUE(shown);
    EXPECT_TRUE(exStyle & WS_EX_LAYOUTRTL);
}

}  // namespace
