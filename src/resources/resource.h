#ifndef PBE_RESOURCE_H
#define PBE_RESOURCE_H
// Every resource, control and command id of the program, named once. Text ids are
// in text_ids.h (they live in the language libraries), image ids in image_ids.h.

#include "text_ids.h"
#include "image_ids.h"

// Dialog templates: left-to-right, then the right-to-left twin.
#define IDD_ABOUT              100
#define IDD_ABOUT_RTL          32795
#define IDD_MAIN               103
#define IDD_MAIN_RTL           32796
#define IDD_IMPORTEXPORT       156
#define IDD_IMPORTEXPORT_RTL   32797
#define IDD_CONVERT            245
#define IDD_CONVERT_RTL        32798
#define IDD_GROUP              190
#define IDD_GROUP_RTL          32799
#define IDD_ADD_MEMBER         191
#define IDD_ADD_MEMBER_RTL     32800
#define IDD_NOTICE             243
#define IDD_NOTICE_RTL         32801
#define IDD_ENTRY              186
#define IDD_ENTRY_RTL          32802
#define IDD_MESSAGE            187
#define IDD_MESSAGE_RTL        32803
#define IDD_BUSY_TEXT          173
#define IDD_BUSY_TEXT_RTL      32804
#define IDD_BUSY_BAR           174
#define IDD_BUSY_BAR_RTL       32805
#define IDD_DIRECTORY          246
#define IDD_DIRECTORY_RTL      32806
#define IDD_DUPLICATES         290
#define IDD_DUPLICATES_RTL     32810

#define IDA_MAIN               151

// Main dialog controls.
#define IDC_HELP_BUTTON        9
#define IDC_SEARCH             1027
#define IDC_LIST               1045
#define IDC_EDIT_BUTTON        1397
#define IDC_NEW_ENTRY          1398
#define IDC_NEW_GROUP          1399
#define IDC_DELETE             1400
#define IDC_CLOSE              1408
#define IDC_FILE               1409
#define IDC_COPY_PERSONAL      1410

// Message dialog controls.
#define IDC_MESSAGE_BUTTON     1257
#define IDC_MESSAGE_TEXT       1258
#define IDC_MESSAGE_ICON       1260

// Commands: accelerators, the file menu, the system menu.
#define IDM_SYS_ABOUT          16
#define ID_FILE_NEW            32771
#define ID_FILE_EXPORT         32772
#define ID_FILE_OPEN           32773
#define ID_FILE_SAVE_AS        32774
#define ID_FILE_IMPORT         32777
#define ID_FILE_CLOSE          32778
#define ID_FILE_DIRECTORY      32790
#define ID_FILE_DUPLICATES     32793
#define ID_EDIT_ENTRY          32779
#define ID_DELETE_ENTRY        32780
#define ID_NEW_ENTRY           32781
#define ID_NEW_GROUP           32782
#define ID_HELP_TOPIC          32783
#define ID_ABOUT               32784

// Busy indicator and about box controls.
#define IDC_BUSY_PROGRESS      1228
#define IDC_BUSY_MESSAGE       1229
#define IDC_ABOUT_NAME         135
#define IDC_ABOUT_VERSION      1286
#define IDC_ABOUT_COPYRIGHT    1288
#define IDC_ABOUT_PICTURE      1289
#define IDC_ABOUT_NOTICE       1395

// Control ids of the editing, import/export and conversion dialogs, one header each.
#include "entry_ids.h"
#include "group_ids.h"
#include "importexport_ids.h"
#include "conversion_ids.h"
#include "directory_ids.h"
#include "duplicates_ids.h"
#include "print_ids.h"
#include "undo_ids.h"

#endif
