#ifndef PBE_GROUP_IDS_H
#define PBE_GROUP_IDS_H
// Group dialog and member picker: control ids (both templates).

#endif
