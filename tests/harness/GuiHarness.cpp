#include "harness/GuiHarness.h"

#include <commctrl.h>

#include <algorithm>

namespace harness {
namespace {
thread_local ModalDriver* t_driver = nullptr;
}

void PumpUntilIdle(int settleMs, int maxMs) {
    DWORD start = GetTickCount();
    DWORD lastMessage = start;
    for (;;) {
        MSG msg;
        bool any = false;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DWORD now = GetTickCount();
        if (any) lastMessage = now;
        if (static_cast<int>(now - lastMessage) >= settleMs || static_cast<int>(now - start) >= maxMs) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    DWORD start = GetTickCount();
    while (!condition()) {
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

CMString WindowText(HWND window) {
    if (!window) return {};
    int length = GetWindowTextLengthW(window);
    CMString text;
    GetWindowTextW(window, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();
    return text;
}

CMString ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

// The text of the control's tool in whichever of this thread's tooltip windows has one.
CMString ToolTipOf(HWND control) {
    struct Find {
        HWND control;
        CMString text;
    } find{control, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* f = reinterpret_cast<Find*>(data);
            wchar_t cls[32] = {};
            GetClassNameW(window, cls, 32);
            if (!CMString(cls).EqualsNoCase(TOOLTIPS_CLASSW)) return TRUE;
            wchar_t text[260] = {};
            TOOLINFOW info = {};
            info.cbSize = sizeof info;
            info.hwnd = f->control;
            info.uId = 1;
            info.lpszText = text;
            if (!SendMessageW(window, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info))) return TRUE;
            info.lpszText = text;
            SendMessageW(window, TTM_GETTEXTW, 260, reinterpret_cast<LPARAM>(&info));
            f->text = text;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.text;
}

bool IsItemEnabled(HWND dialog, int id) {
    HWND item = GetDlgItem(dialog, id);
    return item && IsWindowEnabled(item);
}

SeenWindow Describe(HWND window) {
    SeenWindow seen;
    seen.window = window;
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 64);
    seen.className = cls;
    seen.caption = WindowText(window);
    seen.style = GetWindowLongPtrW(window, GWL_STYLE);
    seen.exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t childClass[64] = {};
        GetClassNameW(child, childClass, 64);
        CMString text = WindowText(child);
        if (CMString(childClass).EqualsNoCase(L"Button")) {
            seen.buttons.emplace_back(GetDlgCtrlID(child), text);
        } else if (CMString(childClass).EqualsNoCase(L"Static") && !text.IsEmpty()) {
            if (!seen.text.IsEmpty()) seen.text += L"\n";
            seen.text += text;
        }
    }
    return seen;
}

ModalDriver::ModalDriver() {
    m_previous = t_driver;
    t_driver = this;
    m_hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
}

ModalDriver::~ModalDriver() {
    if (m_hook) UnhookWindowsHookEx(m_hook);
    t_driver = m_previous;
}

ModalDriver& ModalDriver::Then(Step step) {
    m_steps.push_back(std::move(step));
    return *this;
}

ModalDriver::Step ModalDriver::Press(int buttonId) {
    return [buttonId](const SeenWindow& seen) {
        PostMessageW(seen.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(seen.window, buttonId)));
    };
}

void ModalDriver::OnActivate(HWND window) {
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 16);
    if (lstrcmpW(cls, L"#32770") != 0) return;
    // Only windows made while the driver watches: a window that was already there (a
    // main window becoming active again) is not one the test scripts.
    if (std::find(m_created.begin(), m_created.end(), window) == m_created.end()) return;
    if (std::any_of(m_seen.begin(), m_seen.end(), [&](const SeenWindow& s) { return s.window == window; })) return;
    m_seen.push_back(Describe(window));
    if (m_next < m_steps.size()) {
        m_steps[m_next++](m_seen.back());
    } else {
        PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

LRESULT CALLBACK ModalDriver::CbtProc(int code, WPARAM wParam, LPARAM lParam) {
    ModalDriver* driver = t_driver;
    if (driver && code == HCBT_CREATEWND) driver->m_created.push_back(reinterpret_cast<HWND>(wParam));
    if (driver && code == HCBT_ACTIVATE) driver->OnActivate(reinterpret_cast<HWND>(wParam));
    return CallNextHookEx(driver ? driver->m_hook : nullptr, code, wParam, lParam);
}

}  // namespace harness
