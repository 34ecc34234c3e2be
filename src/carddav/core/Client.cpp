#include "carddav/core/Client.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "importexport/core/Sources.h"

namespace carddav {

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

// Redirects followed for one request (a /.well-known address usually makes one).
constexpr int kMaxRedirects = 5;

// The request, following redirects with the same method; the URL that answered is
// left in request.url.
Reply Fetch(Transport& transport, Request& request) {
    for (int hop = 0;; ++hop) {
        Reply reply = transport.Send(request);
        const bool redirect = reply.fault == Fault::None && !reply.location.empty() &&
                              (reply.status == 301 || reply.status == 302 || reply.status == 303 ||
                               reply.status == 307 || reply.status == 308);
        if (!redirect || hop == kMaxRedirects) return reply;
        Url next;
        if (!Resolve(request.url, reply.location, next)) return reply;
        request.url = next;
    }
}

// A reply's fault as the client sees it: the transport's, or the HTTP status's.
Fault FaultOf(const Reply& reply, int expected) {
    if (reply.fault != Fault::None) return reply.fault;
    if (reply.status == expected) return Fault::None;
    if (reply.status == 401 || reply.status == 403) return Fault::LoginRefused;
    if (reply.status == 404 || reply.status == 410) return Fault::NotFound;
    if (reply.status == 405 || reply.status == 501 || (reply.status >= 200 && reply.status < 400)) return Fault::NotCardDav;
    return Fault::Failed;
}

struct Step {
    Fault fault = Fault::None;
    uint32_t code = 0;
    int status = 0;
    std::vector<Resource> resources;
};

// A PROPFIND (or REPORT) whose answer must be a multistatus.
Step Multistatus(Transport& transport, Request& request) {
    Step step;
    const Reply reply = Fetch(transport, request);
    step.code = reply.code;
    step.status = reply.status;
    step.fault = FaultOf(reply, 207);
    if (step.fault == Fault::None && !ReadMultistatus(reply.body, step.resources))
        // A body that ends before its multistatus does: cut short (an HTML page of a
        // server that is no WebDAV one starts otherwise).
        step.fault = reply.body.find("multistatus") != std::string::npos ? Fault::CutOff : Fault::NotCardDav;
    return step;
}

Step Propfind(Transport& transport, Url& url, int depth, std::string body) {
    Request request{"PROPFIND", url, depth, std::move(body)};
    Step step = Multistatus(transport, request);
    url = request.url;
    return step;
}

// The response about the URL itself (the first, or the one whose href is its path).
const Resource* Self(const Step& step, const Url& url) {
    for (const Resource& r : step.resources) {
        Url at;
        if (Resolve(url, r.href, at) && SamePath(at.path, url.path)) return &r;
    }
    return step.resources.empty() ? nullptr : &step.resources.front();
}

// The members of a collection that are cards (not collections), as hrefs.
Step Members(Transport& transport, Url& book, std::vector<std::string>& hrefs) {
    hrefs.clear();
    Step step = Propfind(transport, book, 1, MembersBody());
    if (step.fault != Fault::None) return step;
    for (const Resource& r : step.resources) {
        Url at;
        if (r.collection || !Resolve(book, r.href, at) || SamePath(at.path, book.path)) continue;
        if (r.status != 0 && (r.status < 200 || r.status >= 300)) continue;
        hrefs.push_back(r.href);
    }
    return step;
}

// The address books of a home: its member collections that are address books.
Fault BooksOf(Transport& transport, Url home, Discovery& found) {
    Step step = Propfind(transport, home, 1, PropfindBody());
    found.code = step.code;
    found.status = step.status;
    if (step.fault != Fault::None) return step.fault;
    for (const Resource& r : step.resources) {
        if (!r.addressBook) continue;
        BookInfo& book = found.books.emplace_back();
        if (!Resolve(home, r.href, book.url)) {
            found.books.pop_back();
            continue;
        }
        book.displayName = r.displayName.empty() ? LastSegment(book.url.path) : r.displayName;
    }
    for (BookInfo& book : found.books) {
        std::vector<std::string> hrefs;
        Url at = book.url;
        if (Members(transport, at, hrefs).fault == Fault::None) book.cards = hrefs.size();
    }
    return found.books.empty() ? Fault::NoAddressBook : Fault::None;
}

}  // namespace

Discovery Discover(Transport& transport, const Url& start) {
    Discovery found;
    Url url = start;
    Step step = Propfind(transport, url, 0, PropfindBody());
    // A server's address that is no WebDAV resource itself: the well-known address
    // leads to the service (RFC 6764).
    const bool tryWellKnown = step.fault == Fault::NotFound || step.fault == Fault::NotCardDav ||
                              (step.fault == Fault::None && (!Self(step, url) || (Self(step, url)->principal.empty() &&
                                                                                   Self(step, url)->home.empty() &&
                                                                                   !Self(step, url)->addressBook)));
    if (tryWellKnown && start.path == "/") {
        Url known = start;
        known.path = "/.well-known/carddav";
        Step other = Propfind(transport, known, 0, PropfindBody());
        if (other.fault == Fault::None || step.fault != Fault::None) {
            step = std::move(other);
            url = known;
        }
    }
    found.code = step.code;
    found.status = step.status;
    if (step.fault != Fault::None) {
        found.fault = step.fault;
        return found;
    }
    const Resource* self = Self(step, url);
    if (!self) {
        found.fault = Fault::NotCardDav;
        return found;
    }
    if (self->addressBook) {
        found.isBook = true;
        BookInfo& book = found.books.emplace_back();
        book.url = url;
        book.displayName = self->displayName.empty() ? LastSegment(url.path) : self->displayName;
        std::vector<std::string> hrefs;
        Url at = url;
        const Step members = Members(transport, at, hrefs);
        if (members.fault != Fault::None) {
            found.fault = members.fault;
            found.status = members.status;
            return found;
        }
        book.cards = hrefs.size();
        return found;
    }
    std::string home = self->home;
    if (home.empty() && !self->principal.empty()) {
        Url principal;
        if (!Resolve(url, self->principal, principal)) {
            found.fault = Fault::NotCardDav;
            return found;
        }
        Step p = Propfind(transport, principal, 0, PropfindBody());
        if (p.fault != Fault::None) {
            found.fault = p.fault;
            found.code = p.code;
            found.status = p.status;
            return found;
        }
        const Resource* who = Self(p, principal);
        if (who) home = who->home;
        url = principal;
    }
    Url homeUrl;
    if (home.empty()) {
        // A collection without the account's properties: perhaps the home itself.
        if (!self->collection) {
            found.fault = Fault::NotCardDav;
            return found;
        }
        homeUrl = url;
    } else if (!Resolve(url, home, homeUrl)) {
        found.fault = Fault::NotCardDav;
        return found;
    }
    found.fault = BooksOf(transport, homeUrl, found);
    return found;
}

void AppendCard(std::string_view card, const delimited::CharacterRules& rules, std::vector<intake::Record>& records) {
    delimited::MemoryBytes bytes(card);
    // Each fax number of a card is an entry of its own, as each of a directory's person.
    intake::SourceRead one = sources::ReadCards(bytes, {}, rules, {}, true);
    const CMString uid = CMString::FromUtf8(CardUid(card));
    if (one.records.empty() || !one.complete) {
        intake::Record& r = records.emplace_back();
        r.rejection = intake::Rejection::Unreadable;
        r.uid = uid;
        return;
    }
    for (intake::Record& r : one.records) {
        r.uid = uid;
        records.push_back(std::move(r));
    }
}

BookRead ReadBook(Transport& transport, const Url& start, const delimited::CharacterRules& rules,
                  const std::function<void(size_t done, size_t total)>& progress, BookCache* cache) {
    BookRead result;
    Url url = start;
    const Clock::time_point listed = Clock::now();
    Step step = Propfind(transport, url, 0, PropfindBody());
    const Resource* self = step.fault == Fault::None ? Self(step, url) : nullptr;
    if (step.fault == Fault::LoginRefused || step.fault == Fault::Certificate || step.fault == Fault::Unreachable ||
        step.fault == Fault::TimedOut) {
        result.fault = step.fault;
        result.code = step.code;
        result.status = step.status;
        return result;
    }
    if (step.fault != Fault::None || !self || !self->addressBook) {
        // Not one address book: what it leads to, for the user to pick.
        Discovery found = Discover(transport, start);
        result.fault = found.fault == Fault::None ? Fault::NotAddressBook : found.fault;
        result.code = found.code;
        result.status = found.status;
        result.books = std::move(found.books);
        if (found.isBook && found.fault == Fault::None) result.fault = Fault::Failed;
        return result;
    }
    result.displayName = self->displayName;
    const std::string syncToken = self->syncToken;
    // A cache of another address book (a redirect, a URL given otherwise) is none.
    if (cache && cache->url != Text(url)) *cache = BookCache();
    // What each card is: its href as written, its ETag, and its text once had.
    struct Member {
        std::string href, etag, text;
        bool arrived = false;
    };
    std::vector<Member> members;
    if (cache && !syncToken.empty() && syncToken == cache->syncToken) {
        // Nothing changed since the cache was left: no more to ask.
        for (auto& [key, card] : cache->cards) members.push_back({card.href, card.etag, card.text, true});
        result.cachedCards = members.size();
        result.listMs = Ms(listed);
    } else {
        std::vector<std::string> hrefs;
        step = Members(transport, url, hrefs);
        result.listMs = Ms(listed);
        if (step.fault != Fault::None) {
            result.fault = step.fault;
            result.code = step.code;
            result.status = step.status;
            return result;
        }
        std::unordered_map<std::string, std::string> etags;
        for (const Resource& r : step.resources) etags[PathKey(r.href)] = r.etag;
        for (std::string& href : hrefs) {
            Member& m = members.emplace_back();
            m.etag = etags[PathKey(href)];
            if (cache && !m.etag.empty()) {
                const auto had = cache->cards.find(PathKey(href));
                if (had != cache->cards.end() && had->second.etag == m.etag) {
                    m.text = had->second.text;
                    m.arrived = true;
                    ++result.cachedCards;
                }
            }
            m.href = std::move(href);
        }
        // In one order whether the cards come from the server or the cache, so that the
        // same cards make the same plan.
        std::stable_sort(members.begin(), members.end(),
                         [](const Member& a, const Member& b) { return PathKey(a.href) < PathKey(b.href); });
    }
    result.cards = members.size();
    // The cards to ask for: those the cache does not have as they are now.
    std::vector<size_t> wantedAt;
    for (size_t i = 0; i < members.size(); ++i)
        if (!members[i].arrived) wantedAt.push_back(i);
    std::unordered_map<std::string, size_t> wanted;
    for (size_t i : wantedAt) wanted.emplace(PathKey(members[i].href), i);
    for (size_t from = 0; from < wantedAt.size(); from += kBatch) {
        const size_t to = std::min(wantedAt.size(), from + kBatch);
        std::vector<std::string> batch;
        for (size_t i = from; i < to; ++i) batch.push_back(members[wantedAt[i]].href);
        const Clock::time_point asked = Clock::now();
        Request request{"REPORT", url, 1, MultigetBody(batch)};
        Step cards = Multistatus(transport, request);
        result.fetchMs += Ms(asked);
        if (cards.fault != Fault::None) {
            result.fault = cards.fault;
            result.code = cards.code;
            result.status = cards.status;
            break;
        }
        for (Resource& r : cards.resources) {
            const auto found = wanted.find(PathKey(r.href));
            // Answers about hrefs not asked for (in this batch) are no cards of this book.
            if (found == wanted.end()) continue;
            Member& m = members[found->second];
            if (m.arrived || PathKey(m.href) != PathKey(r.href)) continue;
            bool inBatch = false;
            for (size_t i = from; i < to && !inBatch; ++i) inBatch = wantedAt[i] == found->second;
            if (!inBatch) continue;
            if (!r.hasCard || r.cardFailed || (r.status != 0 && (r.status < 200 || r.status >= 300))) continue;
            m.arrived = true;
            m.text = std::move(r.card);
            if (!r.etag.empty()) m.etag = r.etag;
        }
        if (progress) progress(result.cachedCards + to, members.size());
    }
    const Clock::time_point parsed = Clock::now();
    for (const Member& m : members) {
        if (!m.arrived) {
            ++result.failedCards;
            continue;
        }
        AppendCard(m.text, rules, result.read.records);
    }
    result.parseMs = Ms(parsed);
    if (progress && wantedAt.empty()) progress(members.size(), members.size());
    if (result.failedCards > 0) {
        result.read.complete = false;
        if (result.fault == Fault::None) result.fault = Fault::CutOff;
    }
    if (cache && result.fault == Fault::None) {
        BookCache now;
        now.url = Text(url);
        now.syncToken = syncToken;
        for (Member& m : members) {
            const std::string key = PathKey(m.href);  // before the href is moved
            now.cards[key] = {std::move(m.href), std::move(m.etag), std::move(m.text)};
        }
        *cache = std::move(now);
    }
    return result;
}

}  // namespace carddav
