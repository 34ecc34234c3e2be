#include "carddav/core/Xml.h"

#include <cstdint>
#include <utility>

#include "util/core/Utf.h"

namespace xml {

const Element* Element::Child(std::string_view nameSpace, std::string_view local) const {
    for (const Element& c : children)
        if (c.Is(nameSpace, local)) return &c;
    return nullptr;
}

namespace {

bool NameStart(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80; }
bool NameChar(unsigned char c) { return NameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':'; }
bool Space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// One namespace binding in force: prefix (empty: the default namespace) to URI.
struct Binding {
    std::string prefix;
    std::string uri;
};

class Parser {
public:
    explicit Parser(std::string_view text) : m_s(text) {}

    bool Document(Element& root) {
        if (m_s.substr(0, 3) == "\xEF\xBB\xBF") m_at = 3;
        if (!Misc()) return false;
        if (!Peek('<')) return false;
        if (!ElementAt(root, 0)) return false;
        if (!Misc()) return false;
        return m_at == m_s.size();
    }
    size_t At() const { return m_at; }

private:
    bool Peek(char c) const { return m_at < m_s.size() && m_s[m_at] == c; }
    bool Starts(std::string_view what) const { return m_s.substr(m_at, what.size()) == what; }
    void SkipSpace() {
        while (m_at < m_s.size() && Space(m_s[m_at])) ++m_at;
    }
    // Past the next occurrence of end; false when the text ends first.
    bool SkipPast(std::string_view end) {
        const size_t found = m_s.find(end, m_at);
        if (found == std::string_view::npos) return false;
        m_at = found + end.size();
        return true;
    }

    // Space, comments and processing instructions (the XML declaration too) around the
    // root. A document type declaration is refused.
    bool Misc() {
        for (;;) {
            SkipSpace();
            if (Starts("<!--")) {
                if (!SkipPast("-->")) return false;
            } else if (Starts("<?")) {
                if (!SkipPast("?>")) return false;
            } else {
                return !Starts("<!");
            }
        }
    }

    bool Name(std::string_view& name) {
        const size_t from = m_at;
        if (m_at >= m_s.size() || !NameStart(static_cast<unsigned char>(m_s[m_at]))) return false;
        while (m_at < m_s.size() && NameChar(static_cast<unsigned char>(m_s[m_at]))) ++m_at;
        name = m_s.substr(from, m_at - from);
        return true;
    }

    // An entity or character reference after '&', appended decoded.
    bool Reference(std::string& out) {
        const size_t end = m_s.find(';', m_at);
        if (end == std::string_view::npos || end - m_at > 12) return false;
        const std::string_view ref = m_s.substr(m_at + 1, end - m_at - 1);
        m_at = end + 1;
        if (ref == "lt") out.push_back('<');
        else if (ref == "gt") out.push_back('>');
        else if (ref == "amp") out.push_back('&');
        else if (ref == "quot") out.push_back('"');
        else if (ref == "apos") out.push_back('\'');
        else if (ref.size() >= 2 && ref[0] == '#') {
            const bool hex = ref[1] == 'x';
            const std::string_view digits = ref.substr(hex ? 2 : 1);
            if (digits.empty()) return false;
            uint32_t cp = 0;
            for (char c : digits) {
                uint32_t d;
                if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
                else if (hex && c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
                else if (hex && c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
                else return false;
                cp = cp * (hex ? 16 : 10) + d;
                if (cp > 0x10FFFF) return false;
            }
            if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
            mrv::AppendUtf8(out, static_cast<char32_t>(cp));
        } else {
            return false;
        }
        return true;
    }

    // The URI bound to a prefix in the bindings in force; false when none is.
    bool Resolve(std::string_view prefix, std::string& uri) const {
        for (size_t i = m_bindings.size(); i-- > 0;)
            if (m_bindings[i].prefix == prefix) {
                uri = m_bindings[i].uri;
                return true;
            }
        if (prefix.empty()) {
            uri.clear();
            return true;
        }
        if (prefix == "xml") {
            uri = "http://www.w3.org/XML/1998/namespace";
            return true;
        }
        return false;
    }

    bool ElementAt(Element& element, size_t depth) {
        if (depth >= kMaxDepth || ++m_elements > kMaxElements) return false;
        ++m_at;  // '<'
        std::string_view qname;
        if (!Name(qname)) return false;
        const size_t bound = m_bindings.size();
        // Attributes: namespace declarations are kept, the rest only checked.
        std::vector<std::string_view> seen;
        for (;;) {
            const size_t before = m_at;
            SkipSpace();
            if (Peek('/') || Peek('>')) break;
            if (m_at == before) return false;  // attributes are separated by space
            std::string_view attr;
            if (!Name(attr)) return false;
            for (std::string_view s : seen)
                if (s == attr) return false;
            seen.push_back(attr);
            SkipSpace();
            if (!Peek('=')) return false;
            ++m_at;
            SkipSpace();
            if (!Peek('"') && !Peek('\'')) return false;
            const char quote = m_s[m_at++];
            std::string value;
            for (;;) {
                if (m_at >= m_s.size() || m_s[m_at] == '<') return false;
                const char c = m_s[m_at];
                if (c == quote) {
                    ++m_at;
                    break;
                }
                if (c == '&') {
                    if (!Reference(value)) return false;
                } else {
                    value.push_back(Space(c) ? ' ' : c);
                    ++m_at;
                }
            }
            if (attr == "xmlns") m_bindings.push_back({std::string(), value});
            else if (attr.substr(0, 6) == "xmlns:") {
                if (attr.size() == 6 || value.empty()) return false;
                m_bindings.push_back({std::string(attr.substr(6)), value});
            }
        }
        const size_t colon = qname.find(':');
        const std::string_view prefix = colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
        element.name = std::string(colon == std::string_view::npos ? qname : qname.substr(colon + 1));
        if (element.name.empty() || element.name.find(':') != std::string::npos || (colon == 0)) return false;
        if (!Resolve(prefix, element.ns)) return false;
        if (Peek('/')) {
            ++m_at;
            if (!Peek('>')) return false;
            ++m_at;
            m_bindings.resize(bound);
            return true;
        }
        ++m_at;  // '>'
        for (;;) {
            if (m_at >= m_s.size()) return false;
            const char c = m_s[m_at];
            if (c == '<') {
                if (Starts("</")) {
                    m_at += 2;
                    std::string_view closing;
                    if (!Name(closing) || closing != qname) return false;
                    SkipSpace();
                    if (!Peek('>')) return false;
                    ++m_at;
                    m_bindings.resize(bound);
                    return true;
                }
                if (Starts("<!--")) {
                    if (!SkipPast("-->")) return false;
                } else if (Starts("<![CDATA[")) {
                    m_at += 9;
                    const size_t end = m_s.find("]]>", m_at);
                    if (end == std::string_view::npos) return false;
                    element.text.append(m_s.substr(m_at, end - m_at));
                    m_at = end + 3;
                } else if (Starts("<?")) {
                    if (!SkipPast("?>")) return false;
                } else if (Starts("<!")) {
                    return false;
                } else {
                    Element& child = element.children.emplace_back();
                    if (!ElementAt(child, depth + 1)) return false;
                }
            } else if (c == '&') {
                if (!Reference(element.text)) return false;
            } else {
                // A run of plain text at once.
                size_t end = m_at;
                while (end < m_s.size() && m_s[end] != '<' && m_s[end] != '&') ++end;
                element.text.append(m_s.substr(m_at, end - m_at));
                m_at = end;
            }
        }
    }

    std::string_view m_s;
    size_t m_at = 0;
    size_t m_elements = 0;
    std::vector<Binding> m_bindings;
};

}  // namespace

bool Parse(std::string_view text, Element& root, size_t* errorAt) {
    root = Element();
    Parser parser(text);
    const bool ok = parser.Document(root);
    if (!ok) {
        if (errorAt) *errorAt = parser.At();
        root = Element();
    }
    return ok;
}

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out.push_back(c);
        }
    }
    return out;
}

}  // namespace xml
