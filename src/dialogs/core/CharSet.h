#pragma once
// The characters a filtered edit field accepts, and the little language that names them.
//
// A set text is read from left to right:
//   \x        the character x itself, whatever it is ("\-" a plain minus, "\\" the backslash);
//             a backslash at the very end has nothing to escape and stands for itself
//   a-z       a range: every code after the character before the minus (as written, so the
//             end of an earlier range or an escaped character counts), up to and including
//             the character after it; a range that does not run upward names just its end
//   -         at the very start or the very end, a plain minus
//   other     that character itself
// For example "0-9" names the ten digits and "|[]" those three characters.
#include <bitset>
#include <string_view>
#include <vector>

class CharSet {
public:
    // Every code allowed (also those above 255) or none.
    void SetAll(bool allow);
    // Allows or refuses every character the set text names.
    void Apply(std::wstring_view setText, bool allow);
    // Whole code, not its low eight bits: a character above 255 is in the set only when it
    // was named or everything was allowed, never because it shares its low byte with one.
    bool Contains(char32_t code) const;

private:
    void Set(char32_t first, char32_t last, bool allow);

    struct Span {
        char32_t first;
        char32_t last;
        bool allow;
    };
    std::bitset<256> m_low;
    // Codes above 255: the last span that holds a code decides, else the default.
    std::vector<Span> m_high;
    bool m_highDefault = false;
};
