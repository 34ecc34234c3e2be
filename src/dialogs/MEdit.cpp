#include "dialogs/MEdit.h"

#include "util/CMString.h"

namespace {

void SimpleBeep() { MessageBeep(0xFFFFFFFF); }

MEdit::BeepFunction g_beep = SimpleBeep;

constexpr wchar_t kCopy = 3, kBackspace = 8, kPaste = 22, kCut = 24, kUndo = 26;

}  // namespace

MEdit::BeepFunction MEdit::SetBeep(BeepFunction beep) {
    BeepFunction previous = g_beep;
    g_beep = beep ? beep : SimpleBeep;
    return previous;
}

MEdit::~MEdit() { Restore(); }

void MEdit::Restore() {
    // Only while the control is still ours: a destroyed control's handle may have been
    // given to another window since.
    if (m_previousProc && IsWindow(m_hwnd) &&
        GetWindowLongPtrW(m_hwnd, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(FilterProc) &&
        GetWindowLongPtrW(m_hwnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
        SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    }
    m_previousProc = nullptr;
}

bool MEdit::Attach(const wchar_t* allowed, int controlId, HWND dialog) {
    if (allowed) SetChars(allowed, true);
    else m_allowed.SetAll(true);

    HWND control = dialog ? GetDlgItem(dialog, controlId) : nullptr;
    if (!control) return false;
    Restore();
    m_hwnd = control;
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    m_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FilterProc)));
    if (!m_previousProc) SetWindowLongPtrW(control, GWLP_USERDATA, 0);
    return m_previousProc != nullptr;
}

void MEdit::SetChars(const wchar_t* setText, bool allow) {
    if (setText) m_allowed.Apply(setText, allow);
}

bool MEdit::IsValidChar(wchar_t ch) {
    switch (ch) {
        case kCopy: case kBackspace: case kCut: case kUndo: return true;
        case kPaste: return false;
        default: return m_allowed.Contains(static_cast<char32_t>(ch));
    }
}

void MEdit::FilterText() {
    const int length = GetWindowTextLengthW(m_hwnd);
    if (length <= 0) return;
    CMString text;
    GetWindowTextW(m_hwnd, text.GetBuffer(length + 1), length + 1);
    text.ReleaseBuffer();

    CMString kept;
    for (wchar_t ch : text.view())
        if (IsValidChar(ch)) kept += ch;
    if (kept.GetLength() == text.GetLength()) return;
    SetWindowTextW(m_hwnd, kept.c_str());
    g_beep();
}

LRESULT CALLBACK MEdit::FilterProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<MEdit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return 0;
    self->m_hwnd = hwnd;
    WNDPROC previous = self->m_previousProc;
    switch (message) {
        case WM_CHAR:
            if (!self->IsValidChar(static_cast<wchar_t>(wParam))) {
                g_beep();
                return 1;
            }
            break;
        case WM_KILLFOCUS:
            // Before the control's own handling, so the parent's EN_KILLFOCUS sees clean text.
            self->FilterText();
            break;
        case WM_NCDESTROY:
            // The control is gone: nothing to give back later.
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->m_previousProc = nullptr;
            self->m_hwnd = nullptr;
            break;
        default:
            break;
    }
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}
