#ifndef PBE_DIRECTORY_IDS_H
#define PBE_DIRECTORY_IDS_H
// Directory dialog: control ids (both templates).

#define IDC_DIR_SERVER_LABEL       1500
#define IDC_DIR_SERVER             1501
#define IDC_DIR_BASE_LABEL         1502
#define IDC_DIR_BASE               1503
#define IDC_DIR_FILTER_LABEL       1504
#define IDC_DIR_FILTER             1505
#define IDC_DIR_SECURITY_LABEL     1506
#define IDC_DIR_SECURITY           1507
#define IDC_DIR_ANONYMOUS          1508
#define IDC_DIR_LOGIN              1509
#define IDC_DIR_USER               1510
#define IDC_DIR_PASSWORD_LABEL     1511
#define IDC_DIR_PASSWORD           1512
#define IDC_DIR_REMEMBER           1513
#define IDC_DIR_GROUP_LABEL        1514
#define IDC_DIR_GROUP              1515
#define IDC_DIR_UPDATE             1516
#define IDC_DIR_SYNC               1517
#define IDC_DIR_STATUS             1518
#define IDC_DIR_PROGRESS           1519
#define IDC_DIR_TEST               1520
#define IDC_DIR_ADOPT              1620

// The kind of server, and the address book's fields.
#define IDC_SRV_KIND_LABEL         1750
#define IDC_SRV_KIND               1751
#define IDC_DAV_URL_LABEL          1752
#define IDC_DAV_URL                1753
#define IDC_DAV_BOOK_LABEL         1754
#define IDC_DAV_BOOK               1755
#define IDC_DAV_USER_LABEL         1756
#define IDC_DAV_USER               1757
#define IDC_DAV_PASSWORD_LABEL     1758
#define IDC_DAV_PASSWORD           1759
#define IDC_DAV_REMEMBER           1760

#endif
