#include "data/core/SearchTerms.h"

std::vector<CMString> BuildSearchTerms(const CMString& text) {
    CMString work = text;
    if (!work.IsEmpty()) {
        work.Trim();
        while (work.Replace(L"  ", L" ") > 0) {
        }
        work.Replace(L" ", L"*");
    }
    if (work.IsEmpty() || work.GetAt(work.GetLength() - 1) != L'*') work += L'*';
    work.MakeLower();

    std::vector<CMString> terms;
    int start = 0;
    for (int i = 0; i < work.GetLength(); ++i) {
        if (work.GetAt(i) != L'*') continue;
        if (i > start) terms.push_back(work.Mid(start, i - start + 1));
        start = i + 1;
    }
    return terms;
}
