// What a read of an address book keeps for the next one, and the card's UID that names
// it in a plan: apart from the client, so that the fuzz set takes them without the
// vCard reader.
#include <string>
#include <string_view>
#include <vector>

#include "carddav/core/Client.h"

namespace carddav {

std::string CardUid(std::string_view card) {
    size_t at = 0;
    while (at < card.size()) {
        size_t end = card.find('\n', at);
        if (end == std::string_view::npos) end = card.size();
        // The logical line: folded lines go on after a line break and a space or tab.
        std::string line(card.substr(at, end - at));
        at = end + 1;
        while (at < card.size() && (card[at] == ' ' || card[at] == '\t')) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            end = card.find('\n', at);
            if (end == std::string_view::npos) end = card.size();
            line.append(card.substr(at + 1, end - at - 1));
            at = end + 1;
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, std::min(colon, line.find(';')));
        if (const size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(0, dot + 1);  // a group's
        if (name.size() != 3 || (name[0] | 0x20) != 'u' || (name[1] | 0x20) != 'i' || (name[2] | 0x20) != 'd') continue;
        std::string value = line.substr(colon + 1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
        return value;
    }
    return {};
}

std::string SaveCache(const BookCache& cache) {
    // A line of lengths, then the strings they measure: any byte may be in them.
    std::string out = "pbe-carddav-cache 1\n";
    auto put = [&out](const std::vector<const std::string*>& strings) {
        for (size_t i = 0; i < strings.size(); ++i) out += (i ? " " : "") + std::to_string(strings[i]->size());
        out += "\n";
        for (const std::string* s : strings) out += *s;
    };
    put({&cache.url, &cache.syncToken});
    for (const auto& [key, card] : cache.cards) put({&card.href, &card.etag, &card.text});
    return out;
}

bool LoadCache(std::string_view bytes, BookCache& cache) {
    cache = BookCache();
    constexpr std::string_view kHead = "pbe-carddav-cache 1\n";
    if (bytes.substr(0, kHead.size()) != kHead) return false;
    size_t at = kHead.size();
    auto take = [&](std::vector<std::string*> strings) {
        const size_t eol = bytes.find('\n', at);
        if (eol == std::string_view::npos) return false;
        std::vector<size_t> sizes;
        size_t pos = at;
        while (pos < eol) {
            size_t n = 0, digits = 0;
            for (; pos < eol && bytes[pos] >= '0' && bytes[pos] <= '9' && digits < 12; ++pos, ++digits)
                n = n * 10 + static_cast<size_t>(bytes[pos] - '0');
            if (digits == 0) return false;
            sizes.push_back(n);
            if (pos < eol && bytes[pos++] != ' ') return false;
        }
        if (sizes.size() != strings.size()) return false;
        at = eol + 1;
        for (size_t i = 0; i < sizes.size(); ++i) {
            if (sizes[i] > bytes.size() - at) return false;
            strings[i]->assign(bytes.substr(at, sizes[i]));
            at += sizes[i];
        }
        return true;
    };
    if (!take({&cache.url, &cache.syncToken})) {
        cache = BookCache();
        return false;
    }
    while (at < bytes.size()) {
        BookCache::Card card;
        if (!take({&card.href, &card.etag, &card.text})) {
            cache = BookCache();
            return false;
        }
        const std::string key = PathKey(card.href);
        cache.cards[key] = std::move(card);
    }
    return true;
}

}  // namespace carddav
