#pragma once
// Helpers for scripts that drive the server dialog from inside its modal loop: its
// reads run on a worker thread, so a script waits for one as a user would, with the
// dialog's messages (and any message box its end opens) handled meanwhile.
#include <windows.h>

#include <string>

#include "directory/DirectoryDlg.h"
#include "resources/resource.h"

namespace serverdialog {

// Pumps the thread's messages until the dialog's read has ended (Test is enabled again)
// or the dialog has ended; false when it took longer than the limit.
inline bool WaitForRead(HWND dialog, DWORD limitMs = 300000) {
    const ULONGLONG until = GetTickCount64() + limitMs;
    while (IsWindow(dialog) && IsWindowVisible(dialog) && !IsWindowEnabled(GetDlgItem(dialog, IDC_DIR_TEST))) {
        if (GetTickCount64() > until) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return true;
}

// Chooses the kind as the combo box's user would.
inline void ChooseKind(HWND dialog, ServerSettings::Kind kind) {
    SendDlgItemMessageW(dialog, IDC_SRV_KIND, CB_SETCURSEL, kind, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SRV_KIND, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SRV_KIND)));
}

inline void Click(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline std::wstring Text(HWND dialog, int id) {
    std::wstring t(static_cast<size_t>(GetWindowTextLengthW(GetDlgItem(dialog, id))) + 1, L'\0');
    t.resize(static_cast<size_t>(GetDlgItemTextW(dialog, id, t.data(), static_cast<int>(t.size()))));
    return t;
}

inline std::wstring ItemText(HWND dialog, int id, int item) {
    const LRESULT length = SendDlgItemMessageW(dialog, id, CB_GETLBTEXTLEN, static_cast<WPARAM>(item), 0);
    if (length < 0) return {};
    std::wstring t(static_cast<size_t>(length) + 1, L'\0');
    SendDlgItemMessageW(dialog, id, CB_GETLBTEXT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(t.data()));
    t.resize(static_cast<size_t>(length));
    return t;
}

}  // namespace serverdialog
