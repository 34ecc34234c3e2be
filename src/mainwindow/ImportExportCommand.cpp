// The main dialog's way into the import and export dialog.
#include "mainwindow/PhoneBookDlg.h"

void CPhoneBookDlg::RunImportExport(int) {}
