#ifndef PBE_ENTRY_IDS_H
#define PBE_ENTRY_IDS_H
// Entry dialog and its notice dialog: control ids (both templates).

#endif
