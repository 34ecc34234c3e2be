// The main dialog's way into the entry dialog.
#include "mainwindow/PhoneBookDlg.h"

void CPhoneBookDlg::RunEntryDialog(bool, bool) {}
