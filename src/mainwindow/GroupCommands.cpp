// The main dialog's way into the group dialog.
#include "mainwindow/PhoneBookDlg.h"

bool CPhoneBookDlg::RunGroupDialog(int, bool) { return false; }
