#pragma once
// Search filters as text (RFC 4515): a value a user types, made safe to put inside one,
// and a light look at a typed filter so its fault is told before connecting. The server
// has the last word on what it accepts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace directory {

// The value with *, (, ), \ and NUL written as \2a, \28, \29, \5c and \00, so it is
// matched as it stands.
std::wstring EscapeFilterValue(std::wstring_view value);

enum class FilterFault : uint8_t {
    None,
    NoOpening,              // does not start with "("
    Unbalanced,             // a "(" never closed, or a ")" that closes nothing
    BadItem,                // "()", an item without attribute and =, "!" without one filter
    UnescapedParenthesis,   // "(" inside a value (write \28)
    BadEscape,              // "\" not followed by two hex digits
    TextAfterEnd,           // more after the filter's last ")"
};

struct FilterCheck {
    FilterFault fault = FilterFault::None;
    // Where the fault was found (an index into the filter).
    size_t at = 0;
};

// White space around the filter and between its parenthesised parts is allowed.
FilterCheck CheckFilter(std::wstring_view filter);

}  // namespace directory
