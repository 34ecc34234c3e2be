#ifndef PBE_PRINT_IDS_H
#define PBE_PRINT_IDS_H
// Printing the phone list: dialog templates and control ids (both templates each).

#define IDD_PRINT                  1700
#define IDD_PRINT_RTL              1701
#define IDD_PRINT_PREVIEW          1702
#define IDD_PRINT_PREVIEW_RTL      1703
#define IDD_PRINT_PROGRESS         1704
#define IDD_PRINT_PROGRESS_RTL     1705

#define IDC_PRINT_ENTRIES          1710
#define IDC_PRINT_SHOWN            1711
#define IDC_PRINT_GROUPS           1712
#define IDC_PRINT_COLUMNS          1713
// The seven column boxes, in the order of printing::Column.
#define IDC_PRINT_COL_FIRST        1714
#define IDC_PRINT_COL_NAME         1714
#define IDC_PRINT_COL_FAX          1715
#define IDC_PRINT_COL_ORGANIZATION 1716
#define IDC_PRINT_COL_PHONE        1717
#define IDC_PRINT_COL_EMAIL        1718
#define IDC_PRINT_COL_MAILBOX      1719
#define IDC_PRINT_COL_GROUPS       1720
#define IDC_PRINT_BY_GROUP         1721
#define IDC_PRINT_PREVIEW          1722
#define IDC_PRINT_PRINT            1723

#define IDC_PREVIEW_PAGE           1730
#define IDC_PREVIEW_PREVIOUS       1731
#define IDC_PREVIEW_NEXT           1732
#define IDC_PREVIEW_NUMBER         1733
#define IDC_PREVIEW_ZOOM_IN        1734
#define IDC_PREVIEW_ZOOM_OUT       1735
#define IDC_PREVIEW_PRINT          1736

#define IDC_PROGRESS_TEXT          1740
#define IDC_PROGRESS_BAR           1741

// File > Print, Ctrl+P.
#define ID_FILE_PRINT              32820

#endif
