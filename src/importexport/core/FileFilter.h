#pragma once
// The filter list the platform's open and save dialogs read: UTF-16 text pairs of
// description and pattern, each zero-terminated, ended by one more zero character.
#include <vector>

#include "util/ByteBuffer.h"
#include "util/CMString.h"

struct FileFilterText {
    CMString description;
    CMString pattern;
};

// A pair without a pattern is left out: its empty text would end the list early. A
// pair without a description (a missing language text) shows its pattern instead.
ByteBuffer MakeFilterList(const std::vector<FileFilterText>& pairs);

