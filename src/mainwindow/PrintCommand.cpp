// The main window's way into printing: the list's entries in its order and the groups
// selected in it go to the print dialog.
#include "data/CPhonebook.h"
#include "mainwindow/ListViewUIControl.h"
#include "mainwindow/PhoneBookDlg.h"
#include "printing/PrintListDlg.h"

void CPhoneBookDlg::Print() {
    if (!m_model || !m_list || !m_model->HasOpenFile() || m_model->GetItemCount() == 0) return;
    printing::PrintSource source;
    source.bookPath = m_currentPath.str();
    const int rows = m_list->GetItemCount();
    source.listOrder.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        const int id = m_list->GetItemData(row);
        if (id == ListViewUIControl::kNoData) continue;
        if (!m_list->IsGroupItem(row)) source.listOrder.push_back(static_cast<uint16_t>(id));
        else if (m_list->IsItemSelected(row)) source.selectedGroups.push_back(static_cast<uint16_t>(id));
    }
    printing::CPrintListDlg dialog(m_model->Database(), std::move(source));
    dialog.Run(m_hwnd);
}
