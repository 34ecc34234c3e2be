#ifndef PBE_IMPORTEXPORT_IDS_H
#define PBE_IMPORTEXPORT_IDS_H
// Import and export dialog: control ids (both templates).

#define IDC_IE_FILE_LABEL          1208
#define IDC_IE_FILE                1210
#define IDC_IE_RECORD_LABEL        1213
#define IDC_IE_FIELD_LABEL         1215
#define IDC_IE_RECORD_DELIMITER    1216
#define IDC_IE_FIELD_DELIMITER     1217
#define IDC_IE_COLUMNS_LABEL       1218
#define IDC_IE_COLUMNS             1219
#define IDC_IE_UP                  1221
#define IDC_IE_DOWN                1222
#define IDC_IE_BROWSE              1223
#define IDC_IE_RECORD_CUSTOM       1224
#define IDC_IE_FIELD_CUSTOM        1225
#define IDC_IE_HELP                1396
#define IDC_IE_UTF8                1400
// Never shown: marks where the dialog paints its import or export picture.
#define IDC_IE_PICTURE             1405
// Import: what the file's first line tells. Export: whether to write such a line.
#define IDC_IE_FILE_NOTE           1406
#define IDC_IE_HEADER              1407
// Import: whether records update the entries of their names.
#define IDC_IE_UPDATE              1408

#endif
