#include "directory/core/Filter.h"

#include <vector>

#include "util/CMString.h"

namespace directory {
namespace {

bool IsHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

}  // namespace

std::wstring EscapeFilterValue(std::wstring_view value) {
    std::wstring out;
    out.reserve(value.size());
    for (wchar_t c : value) {
        switch (c) {
            case L'*': out += L"\\2a"; break;
            case L'(': out += L"\\28"; break;
            case L')': out += L"\\29"; break;
            case L'\\': out += L"\\5c"; break;
            case L'\0': out += L"\\00"; break;
            default: out += c;
        }
    }
    return out;
}

FilterCheck CheckFilter(std::wstring_view text) {
    // A walk with a stack of the open &, | and ! filters (no recursion, so no depth
    // that a typed filter could overflow).
    struct Open {
        wchar_t op;
        size_t at;
        size_t children = 0;
    };
    std::vector<Open> open;
    size_t i = 0;
    const size_t n = text.size();
    auto skipSpace = [&] {
        while (i < n && mrv::IsWhiteSpace(text[i])) ++i;
    };
    auto fault = [](FilterFault f, size_t at) { return FilterCheck{f, at}; };

    skipSpace();
    if (i == n || text[i] != L'(') return fault(FilterFault::NoOpening, i);
    for (;;) {
        // At a filter's "(".
        const size_t start = i++;
        if (i < n && (text[i] == L'&' || text[i] == L'|' || text[i] == L'!')) {
            open.push_back({text[i], start});
            ++i;
        } else {
            // An item: attribute (with ~ > < or :rule before the =), then its value.
            size_t equals = i;
            while (equals < n && text[equals] != L'=' && text[equals] != L'(' && text[equals] != L')') ++equals;
            if (equals == n) return fault(FilterFault::Unbalanced, start);
            if (text[equals] != L'=' || equals == i) return fault(FilterFault::BadItem, start);
            for (i = equals + 1; i < n && text[i] != L')'; ++i) {
                if (text[i] == L'(') return fault(FilterFault::UnescapedParenthesis, i);
                if (text[i] == L'\\') {
                    if (i + 2 >= n || !IsHex(text[i + 1]) || !IsHex(text[i + 2])) return fault(FilterFault::BadEscape, i);
                    i += 2;
                }
            }
            if (i == n) return fault(FilterFault::Unbalanced, start);
            ++i;
            if (open.empty()) break;
            ++open.back().children;
        }
        // Inside an &, | or !: its next filter or its end.
        for (;;) {
            skipSpace();
            if (i == n) return fault(FilterFault::Unbalanced, open.back().at);
            if (text[i] == L'(') break;
            if (text[i] != L')') return fault(FilterFault::BadItem, i);
            // (&) and (|) are the absolute true and false (RFC 4526); ! takes exactly one.
            if (open.back().op == L'!' && open.back().children != 1) return fault(FilterFault::BadItem, open.back().at);
            ++i;
            open.pop_back();
            if (open.empty()) break;
            ++open.back().children;
        }
        if (open.empty()) break;
    }
    skipSpace();
    if (i < n) return fault(text[i] == L')' ? FilterFault::Unbalanced : FilterFault::TextAfterEnd, i);
    return {};
}

}  // namespace directory
