#ifndef PBE_CONVERSION_IDS_H
#define PBE_CONVERSION_IDS_H
// Conversion offer dialog: control ids (both templates).

#define IDC_CONVERT_QUESTION   1402
#define IDC_CONVERT_INTRO      1403
#define IDC_CONVERT_PICTURE    1404

#endif
