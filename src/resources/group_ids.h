#ifndef PBE_GROUP_IDS_H
#define PBE_GROUP_IDS_H
// Group dialog and member picker: control ids (both templates). The picker's search
// box is IDC_SEARCH and both help buttons are IDC_HELP_BUTTON (resource.h).

// Group dialog.
#define IDC_GROUP_NAME_LABEL   1254
#define IDC_GROUP_NAME         1259
#define IDC_GROUP_MEMBERS      1262
// Members that share one fax line.
#define IDC_GROUP_SAME_LINE    1611

// Both dialogs: add members (the group dialog opens the picker with it; the picker
// copies the selected candidates) and remove the selected members.
#define IDC_MEMBER_ADD         1046
#define IDC_MEMBER_REMOVE      1018

// Member picker.
#define IDC_PICK_CANDIDATES    1279
#define IDC_PICK_CHOSEN        1280

#endif
