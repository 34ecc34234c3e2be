#include "controls/Dialog.h"

#include "app/AppGlobals.h"

Dialog* Dialog::FromWindow(HWND hwnd) {
    return reinterpret_cast<Dialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

INT_PTR CALLBACK Dialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
    Dialog* self = FromWindow(hwnd);
    if (!self) return TRUE;
    self->m_hwnd = hwnd;
    INT_PTR result = self->HandleMessage(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->m_hwnd = nullptr;
    }
    return result;
}

INT_PTR Dialog::RunModal(HWND owner, int leftToRightTemplate, int rightToLeftTemplate) {
    int id = app::DialogTemplate(leftToRightTemplate, rightToLeftTemplate);
    return DialogBoxParamW(app::Instance(), MAKEINTRESOURCEW(id), owner, DialogProc, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(HWND owner, int leftToRightTemplate, int rightToLeftTemplate) {
    int id = app::DialogTemplate(leftToRightTemplate, rightToLeftTemplate);
    return CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(id), owner, DialogProc, reinterpret_cast<LPARAM>(this));
}

void KeepLeftToRight(HWND dialog, std::initializer_list<int> ids) {
    if (!(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL)) return;
    for (int id : ids) {
        HWND field = GetDlgItem(dialog, id);
        if (!field) continue;
        SetWindowLongPtrW(field, GWL_EXSTYLE, GetWindowLongPtrW(field, GWL_EXSTYLE) & ~(WS_EX_LAYOUTRTL | WS_EX_RTLREADING));
        InvalidateRect(field, nullptr, TRUE);
    }
}
