#pragma once
// Realistic, varied phone book contents (names from many languages, several fax and
// phone styles, organizations, mailboxes, groups) for the demo, tests and benchmarks.
// The same seed gives the same book.
#include <cstdint>
#include <vector>

#include "Book.h"

namespace pbcore {

struct SampleGroup {
    Units name;
    std::vector<int> members;  // indexes into the entries
};
struct Sample {
    std::vector<Record> entries;  // kind 1, no ids
    std::vector<SampleGroup> groups;
};

// Entry names are unique (ignoring case) and so are group names.
Sample MakeSample(int entries, int groups, uint32_t seed = 1);

}  // namespace pbcore
