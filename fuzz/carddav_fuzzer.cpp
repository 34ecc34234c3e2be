// A server's answers, fed arbitrary bytes: the XML reader and the multistatus reading
// must neither crash, hang nor read out of bounds, and what they read must hold up. The
// same for a cache file found on disk and a card's UID.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "carddav/core/Client.h"
#include "carddav/core/Multistatus.h"
#include "carddav/core/Url.h"
#include "carddav/core/Xml.h"

namespace {

// Every element has a name and lies within the depth limit.
void Check(const xml::Element& e, size_t depth) {
    if (e.name.empty() || depth >= xml::kMaxDepth) abort();
    for (const xml::Element& c : e.children) Check(c, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    xml::Element root;
    if (xml::Parse(bytes, root)) Check(root, 0);
    std::vector<carddav::Resource> resources;
    if (carddav::ReadMultistatus(bytes, resources)) {
        carddav::Url base;
        base.host = "host";
        for (const carddav::Resource& r : resources) {
            carddav::Url at;
            if (carddav::Resolve(base, r.href, at) && (at.path.empty() || at.path[0] != '/')) abort();
            (void)carddav::PathKey(r.href);
        }
    }
    (void)carddav::CardUid(bytes);
    // A cache that loads saves as the same bytes, less cards of one path given twice.
    carddav::BookCache cache;
    if (carddav::LoadCache(bytes, cache)) {
        carddav::BookCache again;
        if (!carddav::LoadCache(carddav::SaveCache(cache), again) || again.cards.size() != cache.cards.size() ||
            again.syncToken != cache.syncToken || again.url != cache.url)
            abort();
    }
    return 0;
}
