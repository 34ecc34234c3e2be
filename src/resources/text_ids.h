#ifndef PBE_TEXT_IDS_H
#define PBE_TEXT_IDS_H
// Ids of the texts in the language libraries (lang/<language>/m2txt.rc). Plain
// defines only, so that both the compiler and the resource compiler read this file.
// A text with an "&" before its access key is only ever a control's text: one that also
// goes into a message, a file or a comparison never carries one.

// Application
#define IDS_APP_CLASS                       3182
#define IDS_PROGRAM_NAME                    412

// Common buttons
#define IDS_OK                              3705
#define IDS_CANCEL                          2433
#define IDS_CLOSE                           2995  // also the button of every message dialog

// Main window
#define IDS_TITLE                           1707
#define IDS_TITLE_READONLY                  2579
#define IDS_SEARCH_PROMPT                   4243
#define IDS_ABOUT_MENU                      3712
#define IDS_TIP_HELP                        1312  // also every help button and the caption of the help message
#define IDS_TIP_NEW_ENTRY                   149   // also the entry dialog's title for a new entry
#define IDS_TIP_NEW_GROUP                   582   // also the new group's dialog title and default name
#define IDS_TIP_EDIT                        391
#define IDS_TIP_DELETE                      993
#define IDS_TIP_COPY_PERSONAL               3469
#define IDS_TIP_FILE                        3929
#define IDS_COLUMN_NAME                     3801
#define IDS_COLUMN_FAX                      3655

// File menu and file commands
#define IDS_MENU_NEW                        2870
#define IDS_MENU_OPEN                       1968
#define IDS_MENU_SAVE_AS                    602
#define IDS_MENU_IMPORT                     2601
#define IDS_MENU_EXPORT                     2416
#define IDS_NEW_BOOK_TITLE                  522
#define IDS_OPEN_BOOK_TITLE                 515
#define IDS_SAVE_AS_TITLE                   4344
#define IDS_FILTER_PHONEBOOKS               4620
#define IDS_FILTER_ALL_FILES                3682
#define IDS_CONVERTING_TITLE                1692

// Storage messages
#define IDS_OPEN_FAILED_CAPTION             2155
#define IDS_OPEN_FAILED                     2462
#define IDS_SAVE_FAILED_CAPTION             5200
#define IDS_SAVE_FAILED                     5201
#define IDS_SAVE_FAILED_PART                5202
#define IDS_BOOK_IN_USE_CAPTION             5203
#define IDS_BOOK_IN_USE                     5204
#define IDS_BOOK_IN_USE_OPEN                5205
#define IDS_OPENED_WHILE_BUSY_TITLE         5206
#define IDS_OPENED_WHILE_BUSY               5207
#define IDS_LIST_NOT_READ_TITLE             5208
#define IDS_LIST_NOT_REFRESHED              5209
#define IDS_LIST_NOT_READ                   5210
#define IDS_GROUP_EXISTS_CAPTION            3457
#define IDS_GROUP_EXISTS                    1798
#define IDS_ENTRY_EXISTS_CAPTION            3148
#define IDS_ENTRY_EXISTS_CAPTION_OLD        3614
#define IDS_ENTRY_EXISTS                    1872
#define IDS_BOOK_FULL_CAPTION               3605
#define IDS_BOOK_FULL                       4324  // also in the import summary
#define IDS_DELETE_MANY_CAPTION             2034
#define IDS_DELETE_MANY                     4023
#define IDS_DELETE_ONE_CAPTION              3035
#define IDS_DELETE_GROUP                    538
#define IDS_DELETE_ENTRY                    314

// Character sets of the entry fields (parsed, never shown; identical in every language)
#define IDS_FAX_CHARS                       593
#define IDS_MAILBOX_CHARS                   2498

// Conversion to the current format
#define IDS_CONVERT_CAPTION                 3808  // also the conversion messages' caption
#define IDS_CONVERT_INTRO                   797
#define IDS_CONVERT_QUESTION                1836
#define IDS_YES                             1134
#define IDS_NO                              1166
#define IDS_TARGET_READONLY                 1004  // also in the export overwrite question
#define IDS_TARGET_REPLACE                  938   // also in the export overwrite question

// Help and about box
#define IDS_HELP_OFFLINE                    1768
#define IDS_ABOUT_TITLE                     3225
#define IDS_VERSION                         3973
#define IDS_COPYRIGHT                       4618
#define IDS_LEGAL_NOTICE                    4617

// Entry dialog
#define IDS_ENTRY_TITLE                     4157
#define IDS_LABEL_NAME                      3462
#define IDS_LABEL_FAX                       3866
#define IDS_LABEL_ORGANIZATION              2725
#define IDS_LABEL_PHONE                     2837
#define IDS_LABEL_EMAIL                     1231
#define IDS_LABEL_MAILBOX                   2496
#define IDS_PERSONAL_COPY_BOX               5101  // the tooltip's words with an access key
#define IDS_PREVIOUS_ENTRY                  1033
#define IDS_NEXT_ENTRY                      2788
#define IDS_REQUIRED                        1785  // placeholder of required fields
#define IDS_MISSING_CAPTION                 3864  // also the empty group name message's caption
#define IDS_NAME_MISSING                    3395
#define IDS_FAX_MISSING                     1342
#define IDS_EMAIL_CAPTION                   4595
#define IDS_EMAIL_INVALID                   4594

// Group dialog
#define IDS_GROUP_TITLE                     3910
#define IDS_LABEL_GROUP_NAME                1570
#define IDS_ADD_MEMBERS                     1461
#define IDS_REMOVE_MEMBERS                  3435  // group dialog and member picker
#define IDS_GROUP_NAME_MISSING              2385

// Group member picker
#define IDS_PICKER_TITLE                    24
#define IDS_PICKER_SEARCH_PROMPT            312
#define IDS_PICKER_ADD                      2107  // not shown: Add is named by its tooltip
#define IDS_TIP_PICKER_ADD                  3567

// Import and export dialog
#define IDS_IMPORT_CAPTION                  613
#define IDS_EXPORT_CAPTION                  1234
#define IDS_LABEL_FILE                      1207  // starts the export's overwrite message: no access key
#define IDS_LABEL_FILE_NAME                 5100  // the file name label, with its access key
#define IDS_BROWSE                          2619
#define IDS_LABEL_RECORD_DELIMITER          1142
#define IDS_LABEL_FIELD_DELIMITER           2333
#define IDS_LABEL_COLUMNS                   2460
#define IDS_MOVE_UP                         1939
#define IDS_MOVE_DOWN                       4031
#define IDS_USE_UTF8                        1062
#define IDS_RECORD_DELIM_CR                 1955
#define IDS_RECORD_DELIM_CRLF               2717
#define IDS_RECORD_DELIM_FF                 3515
#define IDS_RECORD_DELIM_CUSTOM             1036
#define IDS_FIELD_DELIM_COMMA               1241
#define IDS_FIELD_DELIM_TAB                 2782
#define IDS_FIELD_DELIM_CUSTOM              954
#define IDS_FILTER_CSV                      2570
#define IDS_FILTER_TXT                      2818
#define IDS_IMPORT_BROWSE_TITLE             1630
#define IDS_EXPORT_BROWSE_TITLE             1425
#define IDS_FILE_NAME_MISSING               4264
#define IDS_NAME_COLUMN_MISSING             712
#define IDS_FAX_COLUMN_MISSING              3262
#define IDS_FILE_ACCESS_FAILED              3434

// Columns of delimited text files (recognised by their text, so all must differ)
#define IDS_FIELD_NAME                      2728
#define IDS_FIELD_FIRST_NAME                66
#define IDS_FIELD_LAST_NAME                 2395
#define IDS_FIELD_FAX                       2690
#define IDS_FIELD_ORGANIZATION              996
#define IDS_FIELD_PHONE                     1124
#define IDS_FIELD_EMAIL                     1416
#define IDS_FIELD_MAILBOX                   2598

// Import summary (paragraphs joined by the code with blank lines)
#define IDS_IMPORT_SUMMARY                  985
#define IDS_IMPORT_REJECTED                 1791
#define IDS_IMPORT_REJECTED_AND_DUPLICATES  877
#define IDS_IMPORT_DUPLICATES               1282
#define IDS_IMPORT_FULL                     3269

// Files whose first line names the columns
#define IDS_IMPORT_NAMED_FILE               5000
#define IDS_EXPORT_HEADER                   5001
#define IDS_LIST_SEPARATOR                  5002

// Files that cannot be read or written whole
#define IDS_IMPORT_READ_FAILED              5010
#define IDS_EXPORT_LACKING                  5011

// Default actions of the column list's check boxes, as screen readers offer them
#define IDS_ACTION_CHECK                    5012
#define IDS_ACTION_UNCHECK                  5013

// An import that updates the entries already in the book
#define IDS_IMPORT_UPDATE                   5030
#define IDS_IMPORT_UPDATE_SUMMARY           5031

// vCard files
#define IDS_FILTER_VCARD                    5032
#define IDS_IMPORT_VCARD_FILE               5033
#define IDS_IMPORT_VCARD_ONE                5034

// Changes of an import that the book refused
#define IDS_IMPORT_CHANGES_FAILED           5035

// The office's directory as a source: why it could not be read
#define IDS_DIR_UNREACHABLE                 5040
#define IDS_DIR_LOGIN_REFUSED               5041
#define IDS_DIR_NO_BASE                     5042
#define IDS_DIR_BAD_FILTER                  5043
#define IDS_DIR_SECURE_FAILED               5044
#define IDS_DIR_TIMED_OUT                   5045
#define IDS_DIR_CUT_OFF                     5046
#define IDS_DIR_FAILED                      5047
#define IDS_DIR_TOO_MANY                    5048

// The directory dialog
#define IDS_MENU_DIRECTORY                  5050
#define IDS_DIR_CAPTION                     5051
#define IDS_DIR_SERVER                      5052
#define IDS_DIR_BASE                        5053
#define IDS_DIR_FILTER                      5054
#define IDS_DIR_SECURITY                    5055
#define IDS_DIR_SECURITY_NONE               5056
#define IDS_DIR_SECURITY_STARTTLS           5057
#define IDS_DIR_SECURITY_LDAPS              5058
#define IDS_DIR_ANONYMOUS                   5059
#define IDS_DIR_LOGIN                       5060
#define IDS_DIR_PASSWORD                    5061
#define IDS_DIR_REMEMBER                    5062
#define IDS_DIR_GROUP                       5063
#define IDS_DIR_SYNC                        5064
#define IDS_DIR_TEST                        5065
#define IDS_DIR_IMPORT                      5066
#define IDS_DIR_TEST_RESULT                 5067
#define IDS_DIR_CONFIRM_SYNC                5068
#define IDS_DIR_BAD_URL                     5069
#define IDS_DIR_READING                     5070
// The directory dialog and reader: what is refused before anything is sent, adoption
#define IDS_DIR_NO_PASSWORD                 5470
#define IDS_DIR_URL_NO_NAME                 5471
#define IDS_DIR_URL_NO_FAX                  5472
#define IDS_DIR_URL_UNREAD                  5473
#define IDS_DIR_URL_NO_GROUPS               5474
#define IDS_DIR_ADOPT                       5475
#define IDS_DIR_PASSWORD_NOT_KEPT           5476
#define IDS_DIR_NO_USER                     5477

// Entries sharing a fax line: the duplicates dialog, the entry and group dialogs' notes
#define IDS_MENU_DUPLICATES                 5300
#define IDS_DUP_CAPTION                     5301
#define IDS_DUP_LIST                        5302
#define IDS_DUP_COLUMN_LINE                 5303
#define IDS_DUP_COLUMN_GROUPS               5304
#define IDS_DUP_MERGE                       5305
#define IDS_DUP_SOME                        5306
#define IDS_DUP_NONE                        5307
#define IDS_DUP_NO_HOME                     5308
#define IDS_DUP_CONFIRM                     5309
#define IDS_ENTRY_SAME_LINE                 5310
#define IDS_GROUP_SAME_LINE                 5311

// Address books on a CardDAV server: what went wrong reading one
#define IDS_DAV_UNREACHABLE                 5700
#define IDS_DAV_LOGIN_REFUSED               5701
#define IDS_DAV_NOT_FOUND                   5702
#define IDS_DAV_NOT_CARDDAV                 5703
#define IDS_DAV_CERTIFICATE                 5704
#define IDS_DAV_TIMED_OUT                   5705
#define IDS_DAV_CUT_OFF                     5706
#define IDS_DAV_NOT_BOOK                    5707
#define IDS_DAV_NO_BOOK                     5708
#define IDS_DAV_FAILED                      5709
// Printing the phone list: the print dialog, the preview, the progress, the page
#define IDS_MENU_PRINT                      5600
#define IDS_PRINT_CAPTION                   5601
#define IDS_PRINT_ENTRIES                   5602
#define IDS_PRINT_SHOWN                     5603
#define IDS_PRINT_SELECTED_GROUPS           5604
#define IDS_PRINT_COLUMNS                   5605
#define IDS_PRINT_BY_GROUP                  5606
#define IDS_PRINT_PREVIEW                   5607
#define IDS_PRINT_PRINT                     5608
#define IDS_PRINT_COL_NAME                  5609
#define IDS_PRINT_COL_FAX                   5610
#define IDS_PRINT_COL_ORGANIZATION          5611
#define IDS_PRINT_COL_PHONE                 5612
#define IDS_PRINT_COL_EMAIL                 5613
#define IDS_PRINT_COL_MAILBOX               5614
#define IDS_PRINT_COL_GROUPS                5615
#define IDS_PRINT_PAGE_OF                   5616
#define IDS_PRINT_NO_GROUP                  5617
#define IDS_PREVIEW_CAPTION                 5618
#define IDS_PREVIEW_PREVIOUS                5619
#define IDS_PREVIEW_NEXT                    5620
#define IDS_PREVIEW_ZOOM_IN                 5621
#define IDS_PREVIEW_ZOOM_OUT                5622
#define IDS_PREVIEW_PAGE                    5623
#define IDS_PRINT_PROGRESS_CAPTION          5624
#define IDS_PRINT_PROGRESS                  5625
#define IDS_PRINT_FAILED                    5626
#define IDS_PRINT_NOTHING                   5627
#define IDS_PRINT_NO_PRINTER                5628
// What a sync or an import that updates left untouched, and groups without room
#define IDS_INTAKE_LEFT_ALONE               5400
#define IDS_INTAKE_KEPT                     5401
#define IDS_INTAKE_GROUPS_NO_ROOM           5402
#define IDS_INTAKE_MORE                     5403

// The server dialog: its kind, and the address book's fields and messages
#define IDS_SRV_CAPTION                     5750
#define IDS_SRV_KIND                        5751
#define IDS_SRV_KIND_DIRECTORY              5752
#define IDS_SRV_KIND_ADDRESS_BOOK           5753
#define IDS_DAV_URL                         5754
#define IDS_DAV_BOOK                        5755
#define IDS_DAV_USER                        5756
#define IDS_DAV_PASSWORD                    5757
#define IDS_DAV_REMEMBER                    5758
#define IDS_DAV_BOOK_ITEM                   5759
#define IDS_DAV_TEST_BOOKS                  5760
#define IDS_DAV_TEST_BOOK                   5761
#define IDS_DAV_FINDING                     5762
#define IDS_DAV_READING                     5763
#define IDS_DAV_BAD_URL                     5764
#define IDS_DAV_NO_PASSWORD                 5765
#define IDS_DAV_CONFIRM_SYNC                5766
#define IDS_DAV_TOO_MANY                    5767
#define IDS_DAV_CHOOSE_BOOK                 5768
#define IDS_DAV_ADOPT                       5769
#define IDS_DAV_SYNC                        5770
// Undo: the File menu's item, the labels changes are logged with, the question and
// the conflicts named
#define IDS_UNDO_MENU                       5850
#define IDS_UNDO_MENU_NONE                  5851
#define IDS_UNDO_LABEL_DELETE_ONE           5852
#define IDS_UNDO_LABEL_DELETE_MANY          5853
#define IDS_UNDO_LABEL_ADD_ONE              5854
#define IDS_UNDO_LABEL_EDIT_ONE             5855
#define IDS_UNDO_LABEL_GROUP                5856
#define IDS_UNDO_LABEL_CHANGE               5857
#define IDS_UNDO_LABEL_MERGE                5858
#define IDS_UNDO_LABEL_SYNC                 5859
#define IDS_UNDO_LABEL_IMPORT               5860
#define IDS_UNDO_LABEL_UNDO                 5861
#define IDS_UNDO_CAPTION                    5862
#define IDS_UNDO_CONFIRM                    5863
#define IDS_UNDO_COUNTS                     5864
#define IDS_UNDO_CONFLICTS                  5865
#define IDS_UNDO_CONFLICT_CHANGED           5866
#define IDS_UNDO_CONFLICT_GONE              5867
#define IDS_UNDO_CONFLICT_TAKEN             5868
#define IDS_UNDO_CONFLICT_MORE              5869
#define IDS_UNDO_NOTHING_LEFT               5870
#define IDS_UNDO_LABEL_UPDATE               5871
// A book that follows its source by itself; settings an administrator set.
#define IDS_FOLLOW_TITLE                    5800
#define IDS_FOLLOW_DONE                     5801
#define IDS_FOLLOW_FAILED_TITLE             5802
#define IDS_FOLLOW_FAILED                   5803
#define IDS_FOLLOW_NEEDS_PASSWORD           5804
#define IDS_FOLLOW_BAD_SETTINGS             5805
#define IDS_FOLLOW_NOT_WRITTEN              5806
#define IDS_POLICY_LOCKED                   5807
#define IDS_POLICY_DEFAULT                  5808

#endif
