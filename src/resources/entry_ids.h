#ifndef PBE_ENTRY_IDS_H
#define PBE_ENTRY_IDS_H
// Entry dialog and its notice dialog: control ids (both templates).

// Entry dialog: the six fields with their labels, the picture buttons, the check box.
#define IDC_ENTRY_NAME              1226
#define IDC_ENTRY_FAX               1227
#define IDC_ENTRY_ORGANIZATION      1228
#define IDC_ENTRY_PHONE             1229
#define IDC_ENTRY_EMAIL             1230
#define IDC_ENTRY_MAILBOX           1231
#define IDC_ENTRY_FAX_LABEL         1232
#define IDC_ENTRY_NAME_LABEL        1234
#define IDC_ENTRY_ORGANIZATION_LABEL 1236
#define IDC_ENTRY_PHONE_LABEL       1237
#define IDC_ENTRY_EMAIL_LABEL       1238
#define IDC_ENTRY_MAILBOX_LABEL     1239
#define IDC_ENTRY_PREVIOUS          1248
#define IDC_ENTRY_NEXT              1250
#define IDC_ENTRY_PERSONAL_COPY     1038
// The note that other entries have the fax number typed.
#define IDC_ENTRY_SAME_LINE         1610
// The help button is IDC_HELP_BUTTON (9), as in every dialog.

// Notice dialog: its one button is IDCANCEL, so Esc ends it too.
#define IDC_NOTICE_TEXT             1398
#define IDC_NOTICE_ICON             1399

#endif
