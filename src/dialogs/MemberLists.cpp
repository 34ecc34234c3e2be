#include "dialogs/MemberLists.h"

#include <windows.h>
#include <commctrl.h>

#include "mainwindow/ListViewUIControl.h"

std::vector<int> RowData(const ListViewUIControl& list) {
    std::vector<int> data;
    const int count = list.GetItemCount();
    data.reserve(static_cast<size_t>(count > 0 ? count : 0));
    for (int row = 0; row < count; ++row) data.push_back(list.GetItemData(row));
    return data;
}

void FitMemberColumns(ListViewUIControl& list) {
    HWND window = list.ListWindow();
    const int columns = list.GetColumnCount();
    if (!window || columns <= 0) return;
    RECT client = {};
    GetClientRect(window, &client);
    const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
    int inner = client.right - client.left;
    if (GetWindowLongPtrW(window, GWL_STYLE) & WS_VSCROLL) inner += scrollBar;
    const int width = (inner - scrollBar) / columns;
    if (width <= 0) return;
    for (int i = 0; i < columns; ++i) ListView_SetColumnWidth(window, i, width);
}
