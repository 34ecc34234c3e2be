#include "undo/core/Change.h"

#include <algorithm>
#include <cstdlib>

namespace undo {

uint64_t HashOf(const Fields& fields) {
    uint64_t h = 1469598103934665603ull;
    for (const CMString& field : fields) {
        for (int i = 0; i < field.GetLength(); ++i) {
            h ^= static_cast<uint16_t>(field.GetAt(i));
            h *= 1099511628211ull;
        }
        // A separator no text holds, so "ab","" and "a","b" differ.
        h ^= 0x1FFFFu;
        h *= 1099511628211ull;
    }
    return h;
}

namespace {

// Tabs, line ends and backslashes escaped, so a field is one tab-free token.
void PutText(std::string& out, const CMString& text) {
    for (char c : text.ToUtf8()) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
}

CMString GetText(const std::string& token) {
    std::string raw;
    raw.reserve(token.size());
    for (size_t i = 0; i < token.size(); ++i) {
        if (token[i] != '\\' || i + 1 == token.size()) {
            raw += token[i];
            continue;
        }
        const char c = token[++i];
        raw += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
    return CMString::FromUtf8(raw);
}

void PutNumber(std::string& out, uint64_t n, int base = 10) {
    char buffer[24];
    int at = 0;
    do {
        const int digit = static_cast<int>(n % base);
        buffer[at++] = static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        n /= base;
    } while (n);
    while (at) out += buffer[--at];
}

void PutIds(std::string& out, const std::vector<uint16_t>& ids) {
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i) out += ',';
        PutNumber(out, ids[i]);
    }
}

// Trailing empty fields are left out: most entries have few.
void PutFields(std::string& out, const Fields& fields) {
    size_t used = kFieldCount;
    while (used > 1 && fields[used - 1].IsEmpty()) --used;
    for (size_t i = 0; i < used; ++i) {
        out += '\t';
        PutText(out, fields[i]);
    }
}

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> tokens;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        tokens.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) return tokens;
        start = tab + 1;
    }
}

uint64_t Number(const std::string& token, int base = 10) { return std::strtoull(token.c_str(), nullptr, base); }

std::vector<uint16_t> Ids(const std::string& token) {
    std::vector<uint16_t> ids;
    size_t start = 0;
    while (start < token.size()) {
        size_t comma = token.find(',', start);
        if (comma == std::string::npos) comma = token.size();
        ids.push_back(static_cast<uint16_t>(Number(token.substr(start, comma - start))));
        start = comma + 1;
    }
    return ids;
}

Fields FieldsFrom(const std::vector<std::string>& tokens, size_t first, size_t count) {
    Fields fields;
    for (size_t i = 0; i < kFieldCount && first + i < count; ++i) fields[i] = GetText(tokens[first + i]);
    return fields;
}

}  // namespace

std::string EncodeHeader(const CMString& bookPath, const std::string& identity) {
    std::string out = "undo-log 1\t";
    PutText(out, bookPath);
    out += '\t';
    out += identity;
    out += '\n';
    return out;
}

std::string EncodeChange(const Change& c) {
    std::string out;
    out.reserve(64 + c.removed.size() * 120 + c.updated.size() * 140 + c.added.size() * 24);
    out += "C\t";
    PutNumber(out, c.serial);
    out += '\t';
    PutNumber(out, static_cast<uint64_t>(c.time));
    out += '\t';
    PutText(out, c.label);
    out += '\t';
    PutNumber(out, c.undoes);
    out += '\n';
    for (const RemovedEntry& r : c.removed) {
        out += "R\t";
        PutNumber(out, r.id);
        out += '\t';
        PutIds(out, r.groups);
        PutFields(out, r.fields);
        out += '\n';
    }
    for (const UpdatedRecord& u : c.updated) {
        out += u.kind == kGroup ? "N\t" : "U\t";
        PutNumber(out, u.id);
        out += '\t';
        PutNumber(out, u.after, 16);
        PutFields(out, u.before);
        out += '\n';
    }
    for (const AddedEntry& a : c.added) {
        out += "A\t";
        PutNumber(out, a.id);
        out += '\t';
        PutNumber(out, a.after, 16);
        out += '\n';
    }
    for (const Membership& m : c.memberships) {
        out += m.joined ? "J\t" : "L\t";
        PutNumber(out, m.group);
        out += '\t';
        PutNumber(out, m.entry);
        out += '\n';
    }
    for (const MadeGroup& g : c.groupsMade) {
        out += "G\t";
        PutNumber(out, g.id);
        out += '\t';
        PutText(out, g.name);
        out += '\n';
    }
    for (const RemovedGroup& g : c.groupsRemoved) {
        out += "H\t";
        PutNumber(out, g.id);
        out += '\t';
        PutIds(out, g.members);
        out += '\t';
        PutText(out, g.name);
        out += '\n';
    }
    out += "E\t";
    PutNumber(out, c.serial);
    out += '\n';
    return out;
}

std::string EncodeMark(uint32_t serial, State state) {
    std::string out = state == State::Done ? "D\t" : state == State::Undone ? "U\t" : "X\t";
    PutNumber(out, serial);
    out += '\n';
    return out;
}

LogContents ParseLog(const std::string& text) {
    LogContents log;
    std::vector<Change> changes;
    Change current;
    bool inBlock = false;
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        // A last line without its end was cut short by a writer that died.
        if (end == std::string::npos) {
            if (inBlock) log.damaged = true;
            break;
        }
        const std::vector<std::string> t = Split(text.substr(start, end - start));
        start = end + 1;
        if (first) {
            first = false;
            if (t.size() >= 3 && t[0] == "undo-log 1") {
                log.bookPath = GetText(t[1]);
                log.identity = t[2];
                continue;
            }
            return log;
        }
        const std::string& tag = t[0];
        const size_t n = t.size();
        if (tag == "C" && n >= 4) {
            if (inBlock) log.damaged = true;
            current = Change();
            current.serial = static_cast<uint32_t>(Number(t[1]));
            current.time = static_cast<int64_t>(Number(t[2]));
            current.label = GetText(t[3]);
            if (n >= 5) current.undoes = static_cast<uint32_t>(Number(t[4]));
            inBlock = true;
        } else if (tag == "E" && inBlock) {
            changes.push_back(std::move(current));
            inBlock = false;
        } else if ((tag == "D" || tag == "X" || tag == "U") && n >= 2 && !inBlock) {
            const uint32_t serial = static_cast<uint32_t>(Number(t[1]));
            for (Change& c : changes)
                if (c.serial == serial) c.state = tag == "D" ? State::Done : tag == "U" ? State::Undone : State::Dropped;
        } else if (!inBlock) {
            log.damaged = true;
        } else if (tag == "R" && n >= 3) {
            current.removed.push_back({static_cast<uint16_t>(Number(t[1])), FieldsFrom(t, 3, n), Ids(t[2])});
        } else if ((tag == "U" || tag == "N") && n >= 3) {
            current.updated.push_back({static_cast<uint16_t>(Number(t[1])), tag == "N" ? kGroup : kEntry,
                                       FieldsFrom(t, 3, n), Number(t[2], 16)});
        } else if (tag == "A" && n >= 3) {
            current.added.push_back({static_cast<uint16_t>(Number(t[1])), Number(t[2], 16)});
        } else if ((tag == "J" || tag == "L") && n >= 3) {
            current.memberships.push_back(
                {static_cast<uint16_t>(Number(t[1])), static_cast<uint16_t>(Number(t[2])), tag == "J"});
        } else if (tag == "G" && n >= 3) {
            current.groupsMade.push_back({static_cast<uint16_t>(Number(t[1])), GetText(t[2])});
        } else if (tag == "H" && n >= 4) {
            current.groupsRemoved.push_back({static_cast<uint16_t>(Number(t[1])), GetText(t[3]), Ids(t[2])});
        } else {
            log.damaged = true;
        }
    }
    if (inBlock) log.damaged = true;
    for (Change& c : changes)
        if (c.state != State::Dropped) log.changes.push_back(std::move(c));
    return log;
}

LogOutline OutlineLog(const std::string& text) {
    LogOutline outline;
    size_t end = text.find('\n');
    if (end == std::string::npos) return outline;
    const std::vector<std::string> header = Split(text.substr(0, end));
    if (header.size() < 3 || header[0] != "undo-log 1") return outline;
    outline.bookPath = GetText(header[1]);
    outline.identity = header[2];
    outline.cutShort = text.back() != '\n';
    for (size_t at = end + 1; at + 2 < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) break;
        if (text[at] != 'C' || text[at + 1] != '\t') continue;
        char* next = nullptr;
        const uint32_t serial = static_cast<uint32_t>(std::strtoul(text.c_str() + at + 2, &next, 10));
        const int64_t time = next && *next == '\t' ? static_cast<int64_t>(std::strtoll(next + 1, nullptr, 10)) : 0;
        outline.lastSerial = std::max(outline.lastSerial, serial);
        if (!outline.changes || time < outline.oldest) outline.oldest = time;
        ++outline.changes;
    }
    return outline;
}

void Prune(std::vector<Change>& changes, int64_t now, size_t keep, int64_t maxAgeSeconds) {
    changes.erase(std::remove_if(changes.begin(), changes.end(),
                                 [&](const Change& c) { return c.state == State::Dropped || now - c.time > maxAgeSeconds; }),
                  changes.end());
    if (changes.size() > keep) changes.erase(changes.begin(), changes.end() - static_cast<std::ptrdiff_t>(keep));
}

}  // namespace undo
