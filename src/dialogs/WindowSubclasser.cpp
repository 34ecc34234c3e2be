#include "dialogs/WindowSubclasser.h"

WindowSubclasser::~WindowSubclasser() { Detach(); }

LRESULT WindowSubclasser::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return m_defaultProc ? CallWindowProcW(m_defaultProc, hwnd, message, wParam, lParam) : 0;
}

bool WindowSubclasser::AttachWindow(HWND window) {
    if (!window || !IsWindow(window) || GetPropW(window, kProcProperty)) return false;
    Detach();
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
    if (!previous) return false;
    // Properties first: the first message through the new procedure needs them.
    if (!SetPropW(window, kProcProperty, reinterpret_cast<HANDLE>(previous)) ||
        !SetPropW(window, kObjectProperty, reinterpret_cast<HANDLE>(this))) {
        RemovePropW(window, kProcProperty);
        RemovePropW(window, kObjectProperty);
        return false;
    }
    m_hwnd = window;
    m_previousProc = previous;
    SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc));
    return true;
}

void WindowSubclasser::Detach() {
    if (m_hwnd && IsWindow(m_hwnd) && GetPropW(m_hwnd, kObjectProperty) == reinterpret_cast<HANDLE>(this)) {
        if (HANDLE previous = GetPropW(m_hwnd, kProcProperty))
            SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(m_hwnd, kProcProperty);
        RemovePropW(m_hwnd, kObjectProperty);
    }
    m_hwnd = nullptr;
    m_previousProc = nullptr;
}

LRESULT CALLBACK WindowSubclasser::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<WindowSubclasser*>(GetPropW(hwnd, kObjectProperty));
    if (!self) {
        auto previous = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kProcProperty));
        return previous ? CallWindowProcW(previous, hwnd, message, wParam, lParam)
                        : DefWindowProcW(hwnd, message, wParam, lParam);
    }
    LRESULT result = self->WindowProc(hwnd, message, wParam, lParam);
    WNDPROC previous = self->m_previousProc;
    // Taken now: messages the previous procedure sends to this window reset them.
    const bool handled = self->m_handled, resultSet = self->m_resultSet;
    self->m_handled = self->m_resultSet = false;
    if (message == WM_DESTROY) self->Detach();
    if (!handled && previous) {
        LRESULT own = CallWindowProcW(previous, hwnd, message, wParam, lParam);
        if (!resultSet) result = own;
    }
    return result;
}
