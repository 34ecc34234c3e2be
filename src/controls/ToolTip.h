#pragma once
#include <windows.h>

#include "util/CMString.h"

// A topmost tooltip window for one control (the one way every dialog makes them).
HWND CreateToolTipWindow(HWND control);
// Adds the control's tool: subclassing, tool id 1, the given rectangle; the text is cut
// to 259 characters like the fixed buffer it is copied into.
void AddToolTip(HWND tooltip, HWND control, const CMString& text, RECT rect = {1, 1, 25, 25});

// A balloon that tells something about a control once, without a question and without
// taking the focus: it closes when clicked, after a while, or when shown anew.
class NoticeBalloon {
public:
    NoticeBalloon() = default;
    ~NoticeBalloon();
    NoticeBalloon(const NoticeBalloon&) = delete;
    NoticeBalloon& operator=(const NoticeBalloon&) = delete;

    // Points at the top middle of the control (its client area).
    void Show(HWND control, const CMString& title, const CMString& text);
    void Hide();
    bool IsShown() const;
    const CMString& Text() const { return m_text; }

private:
    static void CALLBACK Expire(HWND tip, UINT, UINT_PTR, DWORD);
    HWND m_tip = nullptr;
    HWND m_control = nullptr;
    CMString m_text;
    bool m_shown = false;
};
