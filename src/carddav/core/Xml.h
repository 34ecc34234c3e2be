#pragma once
// A small XML reader for what WebDAV servers answer (multistatus bodies): elements with
// their namespaces resolved, and the text directly inside each. It reads UTF-8 only and
// refuses a document type declaration, so no entity can expand; attributes other than
// namespace declarations are checked and dropped. Depth and element count are bounded,
// so any input, however hostile, costs time and memory in proportion to its size.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace xml {

struct Element {
    // The namespace's URI (empty: none) and the local name.
    std::string ns;
    std::string name;
    // The character data directly inside (entities and CDATA resolved), of every piece
    // between the children.
    std::string text;
    std::vector<Element> children;

    bool Is(std::string_view nameSpace, std::string_view local) const { return ns == nameSpace && name == local; }
    // The first child of that name; nullptr when none.
    const Element* Child(std::string_view nameSpace, std::string_view local) const;
};

inline constexpr size_t kMaxDepth = 64;
inline constexpr size_t kMaxElements = 4u << 20;

// The document's root element; false (with where it went wrong, as a byte offset) when
// the text is not well-formed XML within the limits. An input cut short is not.
bool Parse(std::string_view text, Element& root, size_t* errorAt = nullptr);

// Text for character data and attribute values: & < > " escaped.
std::string Escape(std::string_view text);

}  // namespace xml
