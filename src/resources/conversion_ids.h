#ifndef PBE_CONVERSION_IDS_H
#define PBE_CONVERSION_IDS_H
// Conversion offer dialog: control ids (both templates).

#endif
