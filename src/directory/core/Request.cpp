#include "directory/core/Request.h"

#include <algorithm>

#include "util/CMString.h"

namespace directory {
namespace {

bool Names(const std::vector<std::wstring>& attributes, std::wstring_view name) {
    return std::any_of(attributes.begin(), attributes.end(),
                       [&](const std::wstring& a) { return CMString(a).EqualsNoCase(name); });
}

// The ways whose every attribute the URL names.
std::vector<Way> Kept(const std::vector<Way>& ways, const std::vector<std::wstring>& attributes) {
    std::vector<Way> kept;
    for (const Way& way : ways) {
        if (std::all_of(way.begin(), way.end(), [&](const std::wstring& a) { return Names(attributes, a); }))
            kept.push_back(way);
    }
    return kept;
}

}  // namespace

RequestCheck LimitToUrl(const Url& url, Mapping& mapping) {
    const std::vector<std::wstring>& attributes = url.attributes;
    if (attributes.empty() || Names(attributes, L"*")) return {};
    Mapping limited = mapping;
    for (std::vector<Way>* field : {&limited.name, &limited.fax, &limited.organization, &limited.phone, &limited.email,
                                    &limited.mailbox})
        *field = Kept(*field, attributes);
    if (limited.name.empty()) return {RequestFault::NoNameAttribute, {}};
    if (limited.fax.empty()) return {RequestFault::NoFaxAttribute, {}};
    if (!mapping.groups.empty() && !Names(attributes, mapping.groups)) return {RequestFault::GroupsNotInUrl, mapping.groups};
    // An attribute asked for and then read by nothing would be one more part of the URL
    // that is quietly passed over.
    const std::vector<std::wstring> read = RequestedAttributes(limited);
    for (const std::wstring& attribute : attributes) {
        if (!Names(read, attribute)) return {RequestFault::UnreadAttribute, attribute};
    }
    mapping = std::move(limited);
    return {};
}

RequestCheck CheckRequest(const Url& url, std::wstring_view bindDn, std::wstring_view password, Mapping& mapping) {
    if (!bindDn.empty() && password.empty()) return {RequestFault::NoPassword, {}};
    return LimitToUrl(url, mapping);
}

}  // namespace directory
