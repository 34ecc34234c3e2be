// The main dialog's way into the import and export dialog.
#include "data/CPhonebook.h"
#include "importexport/ImportExportDlg.h"
#include "mainwindow/PhoneBookDlg.h"
#include "resources/resource.h"

void CPhoneBookDlg::RunImportExport(int mode) {
    if (!m_model) return;
    CImportExportDlg dialog;
    dialog.SetModel(m_model.get());
    dialog.SetUtf8Available(m_model->Database().IsWideMode());
    dialog.SetCapacity(m_model->Database().Capacity());
    dialog.SetMode(mode);
    dialog.SetModeBitmap(mode == CImportExportDlg::kImport ? IDB_IMPORT : IDB_EXPORT);
    dialog.Run(m_hwnd);
}
