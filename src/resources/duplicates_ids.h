#ifndef PBE_DUPLICATES_IDS_H
#define PBE_DUPLICATES_IDS_H
// Duplicates dialog: control ids (both templates).

#define IDC_DUP_LIST_LABEL         1600
#define IDC_DUP_LIST               1601
#define IDC_DUP_STATUS             1602
#define IDC_DUP_MERGE              1603

#endif
