#ifndef PBE_IMPORTEXPORT_IDS_H
#define PBE_IMPORTEXPORT_IDS_H
// Import and export dialog: control ids (both templates).

#endif
