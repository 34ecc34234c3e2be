#ifndef PBE_UNDO_IDS_H
#define PBE_UNDO_IDS_H
// File > Undo <what>, Ctrl+Z.
#define ID_FILE_UNDO               32830

#endif
