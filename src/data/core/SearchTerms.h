#pragma once
// A search box text as the storage engine's search terms: lower-cased words, each
// ending in "*"; no words, no terms (every record matches).
#include <string>
#include <vector>

#include "util/CMString.h"

std::vector<CMString> BuildSearchTerms(const CMString& text);
