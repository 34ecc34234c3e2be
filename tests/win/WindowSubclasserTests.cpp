// Subclassing a real window through an object, and undoing it.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "dialogs/WindowSubclasser.h"
#include "util/Handles.h"

namespace {

constexpr UINT kPlain = WM_APP + 1, kNested = WM_APP + 2, kInner = WM_APP + 3;
constexpr LRESULT kOwnResult = 100;

// Messages the window's own procedure received.
std::vector<UINT> g_ownLog;

LRESULT CALLBACK OwnProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_ownLog.push_back(message);
    switch (message) {
        case kPlain: return kOwnResult;
        case kNested:
            // Another message through the subclass while the first is still under way.
            SendMessageW(hwnd, kInner, 0, 0);
            return kOwnResult;
        case kInner: return 1;
        default: return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

const wchar_t* TargetClass() {
    static ATOM atom = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = OwnProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SubclassTarget";
        return RegisterClassW(&wc);
    }();
    return atom ? L"SubclassTarget" : nullptr;
}

UniqueWindow MakeTarget() {
    return UniqueWindow(CreateWindowExW(0, TargetClass(), L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                        GetModuleHandleW(nullptr), nullptr));
}

bool OwnSaw(UINT message) {
    for (UINT m : g_ownLog) if (m == message) return true;
    return false;
}

// Answers kPlain and kNested as told; records what it saw.
class ScriptedSubclasser : public WindowSubclasser {
public:
    LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(message);
        if (message == kPlain || message == kNested) {
            m_handled = handle;
            m_resultSet = setResult;
            return ownResult;
        }
        return WindowSubclasser::WindowProc(hwnd, message, wParam, lParam);
    }

    bool handle = false, setResult = false;
    LRESULT ownResult = 7;
    std::vector<UINT> seen;
};

TEST(WindowSubclasser, FlagsDecideWhoAnswers) {
    struct { UINT message; bool handle, setResult; bool ownCalled; LRESULT result; } cases[] = {
        {kPlain, false, false, true, kOwnResult},
        {kPlain, false, true, true, 7},
        {kPlain, true, false, false, 7},
        {kPlain, true, true, false, 7},
        // The flags of the outer message survive the inner one the window's procedure sends.
        {kNested, false, true, true, 7},
        {kNested, false, false, true, kOwnResult},
    };
    for (const auto& c : cases) {
        UniqueWindow window = MakeTarget();
        ASSERT_TRUE(window);
        ScriptedSubclasser subclasser;
        ASSERT_TRUE(subclasser.AttachWindow(window.Get()));
        subclasser.handle = c.handle;
        subclasser.setResult = c.setResult;
        g_ownLog.clear();
        EXPECT_EQ(SendMessageW(window.Get(), c.message, 0, 0), c.result) << "message " << c.message << " handle " << c.handle << " setResult " << c.setResult;
        EXPECT_EQ(OwnSaw(c.message), c.ownCalled);
        ASSERT_FALSE(subclasser.seen.empty());
        EXPECT_EQ(subclasser.seen.front(), c.message);
        // Flags never carry over to the next message.
        g_ownLog.clear();
        SendMessageW(window.Get(), WM_NULL, 0, 0);
        EXPECT_TRUE(OwnSaw(WM_NULL));
    }
}

TEST(WindowSubclasser, PropertiesHoldTheProcedureAndTheObject) {
    UniqueWindow window = MakeTarget();
    const LONG_PTR own = GetWindowLongPtrW(window.Get(), GWLP_WNDPROC);
    ScriptedSubclasser subclasser;
    EXPECT_FALSE(subclasser.AttachWindow(nullptr));
    ASSERT_TRUE(subclasser.AttachWindow(window.Get()));
    EXPECT_EQ(subclasser.Window(), window.Get());
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(window.Get(), L"MrvWndSubclassProp")), own);
    EXPECT_EQ(GetPropW(window.Get(), L"MrvWndSubclassPropCallerData"), static_cast<HANDLE>(&subclasser));
    EXPECT_NE(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC), own);

    // A second subclass through the same properties would loop into itself: refused.
    ScriptedSubclasser second;
    EXPECT_FALSE(second.AttachWindow(window.Get()));
    EXPECT_FALSE(subclasser.AttachWindow(window.Get()));
    EXPECT_EQ(SendMessageW(window.Get(), kPlain, 0, 0), kOwnResult);
    EXPECT_TRUE(second.seen.empty());

    subclasser.Detach();
    EXPECT_EQ(subclasser.Window(), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC), own);
    EXPECT_EQ(GetPropW(window.Get(), L"MrvWndSubclassProp"), nullptr);
    EXPECT_EQ(GetPropW(window.Get(), L"MrvWndSubclassPropCallerData"), nullptr);
    subclasser.seen.clear();
    SendMessageW(window.Get(), kPlain, 0, 0);
    EXPECT_TRUE(subclasser.seen.empty());

    // Once given back, the window can be subclassed again; the object's end gives it back too.
    {
        ScriptedSubclasser third;
        EXPECT_TRUE(third.AttachWindow(window.Get()));
    }
    EXPECT_EQ(GetWindowLongPtrW(window.Get(), GWLP_WNDPROC), own);
    EXPECT_EQ(GetPropW(window.Get(), L"MrvWndSubclassPropCallerData"), nullptr);
}

TEST(WindowSubclasser, DestroyingTheWindowDetaches) {
    ScriptedSubclasser subclasser;
    UniqueWindow window = MakeTarget();
    HWND hwnd = window.Get();
    ASSERT_TRUE(subclasser.AttachWindow(hwnd));
    g_ownLog.clear();
    window.Reset();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(subclasser.Window(), nullptr);
    // WM_DESTROY went through both; what follows goes straight to the window's own procedure.
    EXPECT_EQ(subclasser.seen.back(), static_cast<UINT>(WM_DESTROY));
    EXPECT_TRUE(OwnSaw(WM_DESTROY));
    EXPECT_TRUE(OwnSaw(WM_NCDESTROY));
}

}  // namespace
