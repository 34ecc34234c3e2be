#include "mainwindow/BusyIndicator.h"

#include <commctrl.h>
#include <process.h>

#include "app/AppGlobals.h"
#include "resources/resource.h"

BusyIndicator::BusyIndicator(HWND owner, HCURSOR cursor)
    : m_cursor(cursor ? cursor
                      : static_cast<HCURSOR>(LoadImageW(nullptr, IDC_WAIT, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED))),
      m_shown(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_owner(owner) {}

BusyIndicator::~BusyIndicator() { Stop(); }

bool BusyIndicator::Start(const CMString& title, const CMString& message) {
    Stop();
    if (!m_shown) return false;
    m_title = title;
    m_message = message;
    m_template = m_message.IsEmpty() ? app::DialogTemplate(IDD_BUSY_BAR, IDD_BUSY_BAR_RTL)
                                     : app::DialogTemplate(IDD_BUSY_TEXT, IDD_BUSY_TEXT_RTL);
    m_ticks = 0;
    m_lastPosition = 0;
    m_positioned = false;
    m_stopRequested = false;
    ResetEvent(m_shown.Get());
    m_thread.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadMain, this, 0, nullptr)));
    return static_cast<bool>(m_thread);
}

void BusyIndicator::Stop() {
    if (!m_shown || !m_thread) return;
    WaitForSingleObject(m_shown.Get(), 500);
    // A window that comes up after this sees the request and closes itself; one that is
    // up already is closed here. Either side sees the other's write.
    m_stopRequested = true;
    if (HWND window = m_window.load()) SendMessageW(window, WM_CLOSE, 0, 0);
    if (m_owner) SetForegroundWindow(m_owner);
    WaitForThread();
    m_thread.Reset();
    m_window = nullptr;
}

void BusyIndicator::WaitForThread() {
    // Messages sent to this thread's windows are delivered while waiting, so the
    // indicator thread can never block on this one as it ends.
    HANDLE thread = m_thread.Get();
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

unsigned __stdcall BusyIndicator::ThreadMain(void* param) {
    auto* self = static_cast<BusyIndicator*>(param);
    DialogBoxParamW(app::Instance(), MAKEINTRESOURCEW(self->m_template), nullptr, WindowProc,
                    reinterpret_cast<LPARAM>(self));
    return 0;
}

INT_PTR CALLBACK BusyIndicator::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
    auto* self = reinterpret_cast<BusyIndicator*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->HandleMessage(hwnd, message, wParam, lParam) : FALSE;
}

INT_PTR BusyIndicator::HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(hwnd);
        return FALSE;
    case WM_TIMER:
        if (wParam == kTimerId) OnTimer(hwnd);
        return TRUE;
    case WM_SETCURSOR:
        SetCursor(m_cursor);
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_WINDOWPOSCHANGING:
        if (m_positioned) reinterpret_cast<WINDOWPOS*>(lParam)->flags |= SWP_NOMOVE;
        return FALSE;
    case WM_CLOSE:
        KillTimer(hwnd, kTimerId);
        EndDialog(hwnd, 0);
        return TRUE;
    case WM_DESTROY:
        m_window = nullptr;
        return FALSE;
    default:
        return FALSE;
    }
}

void BusyIndicator::OnInitDialog(HWND hwnd) {
    m_window = hwnd;

    RECT own = {}, owner = {};
    GetWindowRect(hwnd, &own);
    GetWindowRect(m_owner && IsWindow(m_owner) ? m_owner : GetDesktopWindow(), &owner);
    int width = own.right - own.left, height = own.bottom - own.top;
    int ownerWidth = owner.right - owner.left, ownerHeight = owner.bottom - owner.top;
    int left = width < ownerWidth ? owner.left + (ownerWidth - width) / 2 : owner.left;
    int top = height < ownerHeight ? owner.top + (ownerHeight - height) / 2 : owner.top;
    SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    HWND bar = GetDlgItem(hwnd, IDC_BUSY_PROGRESS);
    SendMessageW(bar, PBM_SETRANGE32, 0, kRange);
    SendMessageW(bar, PBM_SETPOS, 0, 0);
    SetTimer(hwnd, kTimerId, kInterval, nullptr);
    SetWindowTextW(hwnd, m_title.c_str());
    if (!m_message.IsEmpty()) SetDlgItemTextW(hwnd, IDC_BUSY_MESSAGE, m_message.c_str());
    SetEvent(m_shown.Get());
    m_positioned = true;
    if (m_stopRequested.load()) PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

void BusyIndicator::OnTimer(HWND hwnd) {
    HWND bar = GetDlgItem(hwnd, IDC_BUSY_PROGRESS);
    ++m_ticks;
    // Each tick moves the bar one step further than the last, so it speeds up.
    m_lastPosition = static_cast<int>(SendMessageW(bar, PBM_DELTAPOS, m_ticks, 0));
    if (m_lastPosition >= kRange) {
        SendMessageW(bar, PBM_SETPOS, kRange - 1, 0);
        UpdateWindow(bar);
        Sleep(100);
        SendMessageW(bar, PBM_SETPOS, 0, 0);
        m_ticks = 0;
    }
}
