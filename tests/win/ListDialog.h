#pragma once
// A real template (the main dialog's, with its owner-data list, unless told), shown,
// whose list notifications go to one wrapper the way the program's dialogs pass them
// on (the wrapper's result is the dialog's), and are counted by code.
#include <windows.h>
#include <commctrl.h>

#include <map>

#include "app/AppGlobals.h"
#include "mainwindow/ListViewUIControl.h"
#include "resources/resource.h"
#include "util/Handles.h"

class ListDialog {
public:
    explicit ListDialog(int templateId = IDD_MAIN, int listId = IDC_LIST) : m_listId(listId) {
        m_window.Reset(CreateDialogParamW(app::Instance(), MAKEINTRESOURCEW(templateId), nullptr, Proc,
                                          reinterpret_cast<LPARAM>(this)));
        ShowWindow(m_window.Get(), SW_SHOWNA);
    }
    ~ListDialog() {
        m_routed = nullptr;
        m_window.Reset();
    }
    ListDialog(const ListDialog&) = delete;
    ListDialog& operator=(const ListDialog&) = delete;

    HWND Window() const { return m_window.Get(); }
    HWND List() const { return GetDlgItem(m_window.Get(), m_listId); }
    void Route(ListViewUIControl* wrapper) { m_routed = wrapper; }
    int Count(UINT code) const {
        auto it = m_counts.find(code);
        return it == m_counts.end() ? 0 : it->second;
    }
    void ResetCounts() { m_counts.clear(); }

private:
    static INT_PTR CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
            return TRUE;
        }
        auto* self = reinterpret_cast<ListDialog*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self || message != WM_NOTIFY) return FALSE;
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        ++self->m_counts[header->code];
        return self->m_routed && self->m_routed->OnNotify(message, wParam, header);
    }

    int m_listId;
    UniqueWindow m_window;
    ListViewUIControl* m_routed = nullptr;
    std::map<UINT, int> m_counts;
};
