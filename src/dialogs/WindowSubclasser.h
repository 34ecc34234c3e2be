#pragma once
// Takes over a window's procedure and shows every message to a derived object's
// WindowProc before the window's own procedure. The window finds the object through
// two window properties; the subclass is undone when the window is destroyed or the
// object is, whichever comes first.
#include <windows.h>

class WindowSubclasser {
public:
    WindowSubclasser() = default;
    virtual ~WindowSubclasser();
    // The window holds a pointer to this object.
    WindowSubclasser(const WindowSubclasser&) = delete;
    WindowSubclasser& operator=(const WindowSubclasser&) = delete;

    // Sees each message first. Set m_handled to keep it from the window's own procedure,
    // m_resultSet to return this result rather than that procedure's. The base forwards
    // to the default procedure when one is set, else returns 0.
    virtual LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Installs the subclass. False for no window, or one another WindowSubclasser already
    // holds (chaining through the same properties would call itself forever).
    bool AttachWindow(HWND window);
    // Gives the window its procedure back while it still has it; always forgets the window.
    void Detach();

    HWND Window() const { return m_hwnd; }

    static constexpr const wchar_t* kProcProperty = L"MrvWndSubclassProp";
    static constexpr const wchar_t* kObjectProperty = L"MrvWndSubclassPropCallerData";

protected:
    WNDPROC m_defaultProc = nullptr;
    bool m_resultSet = false;
    bool m_handled = false;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    WNDPROC m_previousProc = nullptr;
};
