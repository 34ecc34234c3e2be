#pragma once
// Readable test failures: CMString values print as UTF-8 text.
#include <ostream>

#include "util/CMString.h"

inline void PrintTo(const CMString& s, std::ostream* os) { *os << '"' << s.ToUtf8() << '"'; }
