#pragma once
// An animated progress window on a thread of its own, for work that keeps the UI
// thread from handling messages (the conversion of an older phone book).
#include <windows.h>

#include <atomic>

#include "util/CMString.h"
#include "util/Handles.h"

class BusyIndicator {
public:
    // The window is centred over the owner (the desktop when there is none), and the
    // owner is brought to the front again when it ends. cursor null: the wait cursor.
    explicit BusyIndicator(HWND owner, HCURSOR cursor = nullptr);
    ~BusyIndicator();
    BusyIndicator(const BusyIndicator&) = delete;
    BusyIndicator& operator=(const BusyIndicator&) = delete;

    // Shows the indicator: with a message line when message is not empty. Stops any
    // indicator already running. False when its thread cannot be started.
    bool Start(const CMString& title, const CMString& message);
    // Ends the window and its thread, also when the window is slow to come up.
    // Does nothing when nothing runs.
    void Stop();

    bool IsRunning() const { return static_cast<bool>(m_thread); }
    // The indicator window while it is up, else null.
    HWND Window() const { return m_window.load(); }

    static constexpr UINT_PTR kTimerId = 7;
    static constexpr UINT kInterval = 100;  // milliseconds
    static constexpr int kRange = 200;

private:
    static unsigned __stdcall ThreadMain(void* self);
    static INT_PTR CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog(HWND hwnd);
    void OnTimer(HWND hwnd);
    void WaitForThread();

    // Written before the thread starts, read by it.
    CMString m_title;
    CMString m_message;
    int m_template = 0;
    // Used by the indicator thread only.
    int m_ticks = 0;
    int m_lastPosition = 0;
    bool m_positioned = false;

    UniqueKernelHandle m_thread;
    HCURSOR m_cursor;  // shared: never destroyed
    UniqueKernelHandle m_shown;
    std::atomic<HWND> m_window{nullptr};
    // Set by Stop when the window was not up in time, so it ends as soon as it is.
    std::atomic<bool> m_stopRequested{false};
    HWND m_owner;
};
