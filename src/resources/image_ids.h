#ifndef PHONEBOOK_IMAGE_IDS_H
#define PHONEBOOK_IMAGE_IDS_H

// Bitmaps and icons of the program. The images are drawn by art/make_art.py;
// in every bitmap RGB(0, 128, 0) is the transparent colour.

#define IDB_DOWN                    174
#define IDB_UP                      180
#define IDB_UP_DISABLED             182
#define IDB_DOWN_DISABLED           183
#define IDB_PREVIOUS                188
#define IDB_NEXT                    189
#define IDB_IMPORT_EXPORT           208
#define IDI_APP                     211
#define IDI_PHONEBOOK               212
#define IDB_BROWSE                  224
#define IDB_BROWSE_DISABLED         226
#define IDB_CHECKBOXES              229
#define IDB_CONVERT                 247
#define IDB_HELP                    248
#define IDB_IMPORT                  250
#define IDB_EXPORT                  252
#define IDB_ABOUT                   255
#define IDB_NEW_ENTRY               256
#define IDB_NEW_ENTRY_DISABLED      257
#define IDB_NEW_GROUP               258
#define IDB_NEW_GROUP_DISABLED      259
#define IDB_EDIT                    260
#define IDB_EDIT_DISABLED           261
#define IDB_DELETE                  262
#define IDB_DELETE_DISABLED         263
#define IDB_FILE_MENU               264
#define IDB_FILE_MENU_DISABLED      265
#define IDB_COPY_PERSONAL           266
#define IDB_COPY_PERSONAL_DISABLED  267
#define IDB_REMOVE_MEMBER_DISABLED  268
#define IDB_PICK_MEMBER_DISABLED    269
#define IDB_ADD_MEMBER_DISABLED     270
#define IDB_REMOVE_MEMBER           271
#define IDB_PICK_MEMBER             272
#define IDB_ADD_MEMBER              273

#endif
