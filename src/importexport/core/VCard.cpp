#include "importexport/core/VCard.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "util/core/Utf.h"

namespace vcard {

namespace {

constexpr size_t kMaxWantedLine = 64 * 1024;  // no field of an entry comes near this

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::string LowerCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Lower(c);
    return out;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// The white space every import trims, so what one reading trims the next cannot.
std::wstring TrimmedWide(std::wstring_view text) {
    while (!text.empty() && mrv::IsWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && mrv::IsWhiteSpace(text.back())) text.remove_suffix(1);
    return std::wstring(text);
}

// The properties a card's entry is made of; every other one is passed over unread.
// AGENT is read only for its name: a BEGIN:VCARD right after it is the agent's card.
enum class Property { Other, Agent, Begin, End, Fn, N, Org, Tel, Email, Categories };

Property PropertyOf(std::string_view name) {
    // A property group ("item1.TEL") does not change what the property is.
    const size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name.remove_prefix(dot + 1);
    static constexpr std::pair<std::string_view, Property> kNames[] = {
        {"BEGIN", Property::Begin}, {"END", Property::End},     {"FN", Property::Fn},
        {"N", Property::N},         {"ORG", Property::Org},     {"TEL", Property::Tel},
        {"EMAIL", Property::Email}, {"CATEGORIES", Property::Categories}, {"AGENT", Property::Agent},
    };
    for (const auto& [known, property] : kNames)
        if (EqualsNoCase(name, known)) return property;
    return Property::Other;
}

// Where the property's name and parameters end: the first ':' outside double quotes.
size_t ValueStart(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        else if (line[i] == ':' && !quoted) return i;
    }
    return std::string_view::npos;
}

// The name part of a line: up to the first ';' or ':'.
std::string_view NameOf(std::string_view line) {
    size_t end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':') ++end;
    return Trimmed(line.substr(0, end));
}

bool NamesQuotedPrintable(std::string_view head) {
    for (size_t i = 0; i + 16 <= head.size(); ++i)
        if (EqualsNoCase(head.substr(i, 16), "quoted-printable")) return true;
    return false;
}

struct Params {
    std::vector<std::string> types;  // lower case: "work", "fax", "pref", ...
    std::string charset, encoding, value;
    bool Has(std::string_view type) const { return std::find(types.begin(), types.end(), type) != types.end(); }
};

// Splits at sep outside double quotes.
template <class Fn>
void SplitOutsideQuotes(std::string_view text, char sep, Fn&& each) {
    bool quoted = false;
    size_t from = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] == '"') quoted = !quoted;
        if (i == text.size() || (text[i] == sep && !quoted)) {
            each(text.substr(from, i - from));
            from = i + 1;
        }
    }
}

std::string_view Unquoted(std::string_view text) {
    text = Trimmed(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    return text;
}

Params ParseParams(std::string_view head) {
    Params p;
    bool first = true;
    SplitOutsideQuotes(head, ';', [&](std::string_view token) {
        if (first) {  // the name
            first = false;
            return;
        }
        token = Trimmed(token);
        const size_t eq = token.find('=');
        if (eq == std::string_view::npos) {
            // vCard 2.1's bare parameters: "TEL;WORK;FAX:", "ENCODING" values alone too.
            std::string bare = LowerCopy(token);
            if (bare == "quoted-printable" || bare == "base64" || bare == "b") p.encoding = bare;
            else if (!bare.empty()) p.types.push_back(bare);
            return;
        }
        const std::string key = LowerCopy(Trimmed(token.substr(0, eq)));
        const std::string_view value = Unquoted(token.substr(eq + 1));
        if (key == "type") {
            SplitOutsideQuotes(value, ',', [&](std::string_view t) {
                std::string type = LowerCopy(Unquoted(t));
                if (!type.empty()) p.types.push_back(type);
            });
        } else if (key == "charset") {
            p.charset = LowerCopy(value);
        } else if (key == "encoding") {
            p.encoding = LowerCopy(value);
        } else if (key == "value") {
            p.value = LowerCopy(value);
        } else if (key == "pref") {
            p.types.push_back("pref");
        }
    });
    return p;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
        if (text[i] == '=') {
            const int hi = i + 1 < n ? HexDigit(text[i + 1]) : -1;
            const int lo = i + 2 < n ? HexDigit(text[i + 2]) : -1;
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
            if (i + 1 == n) break;  // a soft break left at the end
        }
        out.push_back(text[i]);
    }
    return out;
}

// Windows-1252's letters in 0x80-0x9F; the rest is Latin-1.
constexpr char16_t kCp1252[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                  0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

std::wstring DecodeBytes(std::string_view bytes, const Params& p, bool unicode, const delimited::Decoder& ansi) {
    const std::string& cs = p.charset;
    const bool utf8 = unicode || cs == "utf-8" || cs == "utf8" || cs == "us-ascii" ||
                      (cs.empty() && mrv::IsValidUtf8(bytes));
    if (utf8) return mrv::Utf8ToWide(bytes);
    std::wstring out;
    if (cs == "iso-8859-1" || cs == "latin1" || cs == "windows-1252" || cs == "cp1252" || !ansi) {
        const bool w1252 = cs == "windows-1252" || cs == "cp1252";
        out.reserve(bytes.size());
        for (unsigned char c : bytes)
            out.push_back(w1252 && c >= 0x80 && c < 0xA0 ? static_cast<wchar_t>(kCp1252[c - 0x80]) : static_cast<wchar_t>(c));
        return out;
    }
    delimited::DecodedText decoded;
    ansi(bytes, decoded);
    return decoded.text;
}

// Splits a decoded value at unescaped sep, and unescapes each part.
std::vector<std::wstring> Components(std::wstring_view value, wchar_t sep) {
    std::vector<std::wstring> parts(1);
    for (size_t i = 0; i < value.size(); ++i) {
        const wchar_t c = value[i];
        if (c == L'\\' && i + 1 < value.size()) {
            const wchar_t next = value[++i];
            parts.back().push_back(next == L'n' || next == L'N' ? L' ' : next);
        } else if (c == sep) {
            parts.emplace_back();
        } else {
            parts.back().push_back(c == L'\r' || c == L'\n' ? L' ' : c);
        }
    }
    for (auto& part : parts) part = TrimmedWide(part);
    return parts;
}

std::wstring Unescaped(std::wstring_view value) {
    // No separator character: the whole value is one part.
    return Components(value, L'\0').front();
}

bool StartsWithTel(std::wstring_view text) {
    return text.size() >= 4 && (text[0] | 0x20) == L't' && (text[1] | 0x20) == L'e' && (text[2] | 0x20) == L'l' &&
           text[3] == L':';
}

// A tel: URI's number: the scheme and any parameters (";ext=") gone.
std::wstring TelNumber(std::wstring number, const Params& p) {
    if (p.value != "uri" && !StartsWithTel(TrimmedWide(number))) return number;
    const size_t semicolon = number.find(L';');
    if (semicolon != std::wstring::npos) number.resize(semicolon);
    // Visual separators become blanks, as a person would write the number.
    std::replace(number.begin(), number.end(), L'.', L' ');
    std::replace(number.begin(), number.end(), L'-', L' ');
    for (;;) {
        number = TrimmedWide(number);
        if (!StartsWithTel(number)) return number;
        number.erase(0, 4);
    }
}

// The ranks the delimited import gives columns that fill the same field: work, plain,
// home or other, mobile; a lower rank wins, then the earlier one.
int FaxRank(const Params& p) {
    if (p.Has("work")) return 0;
    if (p.Has("home") || p.Has("other")) return 2;
    return 1;
}
int PhoneRank(const Params& p) {
    if (p.Has("work")) return 0;
    if (p.Has("cell") || p.Has("mobile") || p.Has("iphone")) return 3;
    if (p.Has("pager")) return 4;
    if (p.Has("home") || p.Has("other")) return 2;
    return 1;
}

// Group names, each once in the order first met and as first spelt. Names equal as
// CMString::EqualsNoCase sees them (character by character in capitals) are the same;
// the capitals are kept as a key, so a card with thousands of names stays linear.
class GroupNames {
public:
    void Add(std::wstring name) {
        name = TrimmedWide(name);
        if (name.empty()) return;
        std::wstring key(name);
        for (wchar_t& c : key) c = mrv::ToUpperChar(c);
        if (m_keys.insert(std::move(key)).second) m_names.push_back(std::move(name));
    }
    const std::vector<std::wstring>& Names() const { return m_names; }

private:
    std::vector<std::wstring> m_names;
    std::unordered_set<std::wstring> m_keys;
};

// What a card gathers before it ends.
struct Draft {
    std::wstring fn, nName, org;
    std::wstring fax, phone, email;
    int faxRank = 99, phoneRank = 99, emailRank = 99;
    // Every fax number met, with its rank, in the order met.
    std::vector<std::pair<int, std::wstring>> allFaxes;
    // The fields the card has a property for, even an empty one.
    entry::FieldSet given = entry::FieldBit(entry::Column::Name) | entry::FieldBit(entry::Column::Fax);
    GroupNames groups;

    void Take(std::wstring& slot, int& rank, int candidate, const std::wstring& value) {
        if (value.empty() || candidate >= rank) return;
        slot = value;
        rank = candidate;
    }
    static CMString Stored(const std::wstring& number) {
        CMString f(number);
        f.Replace(L"-", L"");
        f.Trim();
        return f;
    }
    void Finish(Card& card) const {
        card = Card();
        const std::wstring& name = !fn.empty() ? fn : !nName.empty() ? nName : org;
        card.fields.name = CMString(name);
        // Hyphens leave the fax number, as in every import.
        card.fields.fax = Stored(fax);
        std::vector<std::pair<int, std::wstring>> ranked(allFaxes);
        std::stable_sort(ranked.begin(), ranked.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        if (!card.fields.fax.IsEmpty()) card.faxes.push_back(card.fields.fax);
        for (const auto& [rank, number] : ranked) {
            CMString f = Stored(number);
            if (!f.IsEmpty() && std::find(card.faxes.begin(), card.faxes.end(), f) == card.faxes.end())
                card.faxes.push_back(std::move(f));
        }
        card.fields.organization = CMString(org);
        card.fields.phone = CMString(phone);
        card.fields.email = CMString(email);
        card.given = given;
        for (const auto& g : groups.Names()) card.groups.push_back(CMString(g));
    }
};

}  // namespace

bool IsVCard(std::string_view bytes) {
    // The first characters as ASCII, whatever the byte-order mark says.
    std::string ascii;
    size_t unit = 1, low = 0, at = 0;
    if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) at = 3;
    else if (bytes.size() >= 2 && std::memcmp(bytes.data(), "\xFF\xFE", 2) == 0) at = 2, unit = 2, low = 0;
    else if (bytes.size() >= 2 && std::memcmp(bytes.data(), "\xFE\xFF", 2) == 0) at = 2, unit = 2, low = 1;
    for (; at + unit <= bytes.size() && ascii.size() < 4096; at += unit) {
        const char c = bytes[at + low];
        if (unit == 2 && bytes[at + 1 - low] != 0) break;
        if (ascii.empty() && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) continue;
        ascii.push_back(c);
        if (ascii.size() == 11) break;
    }
    return EqualsNoCase(ascii, "BEGIN:VCARD");
}

std::string Utf8Bytes(std::string_view file, bool& converted) {
    converted = false;
    delimited::DecodedText decoded;
    if (file.size() >= 2 && (std::memcmp(file.data(), "\xFF\xFE", 2) == 0 || std::memcmp(file.data(), "\xFE\xFF", 2) == 0)) {
        const bool le = file[0] == '\xFF';
        (le ? delimited::DecodeUtf16LE : delimited::DecodeUtf16BE)(file.substr(2), decoded);
        converted = true;
        return mrv::WideToUtf8(decoded.text);
    }
    if (file.size() >= 3 && std::memcmp(file.data(), "\xEF\xBB\xBF", 3) == 0) {
        converted = true;
        return std::string(file.substr(3));
    }
    return std::string(file);
}

Reader::Reader(std::string_view bytes, bool unicode, delimited::Decoder ansi)
    : m_bytes(bytes), m_unicode(unicode), m_ansi(std::move(ansi)) {}

std::string_view Reader::PhysicalLine() {
    const size_t from = m_at;
    size_t end = from;
    while (end < m_bytes.size() && m_bytes[end] != '\n' && m_bytes[end] != '\r') ++end;
    m_at = end;
    if (m_at < m_bytes.size() && m_bytes[m_at] == '\r') ++m_at;
    if (m_at < m_bytes.size() && m_bytes[m_at] == '\n') ++m_at;
    return m_bytes.substr(from, end - from);
}

bool Reader::NextLine(std::string& line) {
    line.clear();
    if (m_at >= m_bytes.size()) return false;
    const std::string_view first = PhysicalLine();
    const Property property = PropertyOf(NameOf(first));
    const bool wanted = property != Property::Other && property != Property::Agent;
    const size_t colon = ValueStart(first);
    const bool qp = NamesQuotedPrintable(first.substr(0, colon == std::string_view::npos ? first.size() : colon));
    auto append = [&](std::string_view piece) {
        if (wanted && line.size() < kMaxWantedLine) line.append(piece.substr(0, kMaxWantedLine - line.size()));
    };
    append(first);
    bool softBreak = qp && !first.empty() && first.back() == '=';
    while (m_at < m_bytes.size()) {
        const char next = m_bytes[m_at];
        if (softBreak) {
            // Quoted-printable continues on the next line as it stands, without the '='.
            if (wanted && !line.empty() && line.back() == '=') line.pop_back();
            const std::string_view more = PhysicalLine();
            append(more);
            softBreak = !more.empty() && more.back() == '=';
        } else if (next == ' ' || next == '\t') {
            ++m_at;  // the fold's one blank goes
            const std::string_view more = PhysicalLine();
            append(more);
            softBreak = qp && !more.empty() && more.back() == '=';
        } else {
            break;
        }
    }
    if (!wanted) line.assign(property == Property::Agent ? "AGENT:" : "X-SKIPPED:");
    return true;
}

bool Reader::Next(Card& card) {
    std::string line;
    int depth = m_begun ? 1 : 0;
    m_begun = false;
    Draft draft;
    Property previous = Property::Other;
    while (NextLine(line)) {
        const size_t colon = ValueStart(line);
        if (colon == std::string::npos) continue;
        const std::string_view head(line.data(), colon);
        const std::string_view raw = std::string_view(line).substr(colon + 1);
        const Property property = PropertyOf(NameOf(head));
        const bool afterAgent = std::exchange(previous, property) == Property::Agent;
        if (property == Property::Other || property == Property::Agent) continue;
        if (property == Property::Begin) {
            if (!EqualsNoCase(Trimmed(raw), "VCARD")) continue;
            if (depth > 0 && !afterAgent) {
                // The card before had no END:VCARD: it ends here with all its lines read,
                // rather than taking this card and every later one in as an agent's.
                m_begun = true;
                draft.Finish(card);
                return true;
            }
            if (depth++ == 0) draft = Draft();
            continue;
        }
        if (depth == 0) continue;
        if (property == Property::End) {
            if (EqualsNoCase(Trimmed(raw), "VCARD") && --depth == 0) {
                draft.Finish(card);
                return true;
            }
            continue;
        }
        if (depth != 1) continue;  // a card inside a card (AGENT) is not this entry
        const Params p = ParseParams(head);
        if (p.encoding == "b" || p.encoding == "base64") continue;
        const std::string bytes = p.encoding == "quoted-printable" ? DecodeQuotedPrintable(raw) : std::string(raw);
        const std::wstring value = DecodeBytes(bytes, p, m_unicode, m_ansi);
        switch (property) {
            case Property::Fn:
                if (draft.fn.empty()) draft.fn = Unescaped(value);
                break;
            case Property::N:
                if (draft.nName.empty()) {
                    const auto parts = Components(value, L';');
                    const std::wstring family = parts[0], given = parts.size() > 1 ? parts[1] : std::wstring();
                    draft.nName = TrimmedWide(given + L" " + family);
                }
                break;
            case Property::Org:
                draft.given |= entry::FieldBit(entry::Column::Organization);
                if (draft.org.empty()) draft.org = Components(value, L';')[0];
                break;
            case Property::Tel: {
                const std::wstring number = TelNumber(Unescaped(value), p);
                if (p.Has("fax")) {
                    draft.Take(draft.fax, draft.faxRank, FaxRank(p), number);
                    if (!number.empty()) draft.allFaxes.emplace_back(FaxRank(p), number);
                } else {
                    draft.given |= entry::FieldBit(entry::Column::Phone);
                    draft.Take(draft.phone, draft.phoneRank, PhoneRank(p), number);
                }
                break;
            }
            case Property::Email:
                draft.given |= entry::FieldBit(entry::Column::Email);
                draft.Take(draft.email, draft.emailRank, p.Has("pref") ? 0 : 1, Unescaped(value));
                break;
            case Property::Categories:
                for (auto& g : Components(value, L',')) draft.groups.Add(std::move(g));
                break;
            default: break;
        }
    }
    if (depth > 0) m_cutShort = true;
    return false;
}

size_t CountCards(std::string_view bytes) {
    size_t count = 0;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = at;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r') ++end;
        if (EqualsNoCase(Trimmed(bytes.substr(at, std::min<size_t>(end - at, 64))), "BEGIN:VCARD")) ++count;
        at = end + 1;
    }
    return count;
}

std::vector<CMString> SplitGroupNames(std::wstring_view value) {
    GroupNames names;
    const bool triple = value.find(L" ::: ") != std::wstring_view::npos;
    const std::wstring_view sep = triple ? L" ::: " : L",";
    size_t from = 0;
    while (from <= value.size()) {
        size_t to = value.find(sep, from);
        if (to == std::wstring_view::npos) to = value.size();
        std::wstring name = TrimmedWide(value.substr(from, to - from));
        // The contact service's own labels ("* myContacts", "* starred") are no groups.
        if (!name.empty() && name[0] != L'*') names.Add(std::move(name));
        from = to + sep.size();
    }
    std::vector<CMString> out;
    for (const auto& n : names.Names()) out.push_back(CMString(n));
    return out;
}

namespace {

std::string Escaped(const CMString& text) {
    std::wstring out;
    for (wchar_t c : text.view()) {
        if (c == L'\\' || c == L',' || c == L';') out.push_back(L'\\');
        if (c == L'\r' || c == L'\n') {
            out += L"\\n";
            continue;
        }
        out.push_back(c);
    }
    return mrv::WideToUtf8(out);
}

// One content line, folded: at most 75 octets a line, never inside a UTF-8 sequence.
void AppendFolded(std::string& out, const std::string& line) {
    size_t at = 0;
    size_t room = 75;
    while (line.size() - at > room) {
        size_t cut = at + room;
        while (cut > at + 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) --cut;
        out.append(line, at, cut - at);
        out += "\r\n ";
        at = cut;
        room = 74;  // the continuation's blank counts
    }
    out.append(line, at, std::string::npos);
    out += "\r\n";
}

}  // namespace

std::string FormatCard(const ExportedEntry& e) {
    std::string out = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    AppendFolded(out, "FN:" + Escaped(e.name));
    // A person's name by its last word as the family name; N is what some readers need.
    CMString family = e.name, given;
    const int blank = e.name.ReverseFind(L' ');
    if (blank > 0) {
        given = e.name.Left(blank);
        family = e.name.Mid(blank + 1);
    }
    AppendFolded(out, "N:" + Escaped(family) + ";" + Escaped(given) + ";;;");
    if (!e.organization.IsEmpty()) AppendFolded(out, "ORG:" + Escaped(e.organization));
    AppendFolded(out, "TEL;TYPE=WORK,FAX:" + Escaped(e.fax));
    if (!e.phone.IsEmpty()) AppendFolded(out, "TEL;TYPE=WORK,VOICE:" + Escaped(e.phone));
    if (!e.email.IsEmpty()) AppendFolded(out, "EMAIL;TYPE=INTERNET:" + Escaped(e.email));
    if (!e.groups.empty()) {
        std::string categories = "CATEGORIES:";
        for (size_t i = 0; i < e.groups.size(); ++i) categories += (i ? "," : "") + Escaped(e.groups[i]);
        AppendFolded(out, categories);
    }
    out += "END:VCARD\r\n";
    return out;
}

bool HasVCardExtension(const CMString& path) {
    return path.GetLength() >= 4 && path.Right(4).EqualsNoCase(L".vcf");
}

}  // namespace vcard
