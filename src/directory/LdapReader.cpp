#include "directory/LdapReader.h"

#include <winldap.h>
#include <winber.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <memory>
#include <vector>

#include "app/AppGlobals.h"
#include "resources/text_ids.h"

namespace directory {

namespace {

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

Fault FaultOf(ULONG code) {
    switch (code) {
        case LDAP_SUCCESS: return Fault::None;
        case LDAP_SERVER_DOWN:
        case LDAP_CONNECT_ERROR:
        case LDAP_UNAVAILABLE: return Fault::Unreachable;
        case LDAP_INVALID_CREDENTIALS:
        case LDAP_INAPPROPRIATE_AUTH:
        case LDAP_AUTH_UNKNOWN:
        case LDAP_INSUFFICIENT_RIGHTS:
        case LDAP_STRONG_AUTH_REQUIRED:
        case LDAP_CONFIDENTIALITY_REQUIRED: return Fault::LoginRefused;
        case LDAP_NO_SUCH_OBJECT:
        case LDAP_INVALID_DN_SYNTAX: return Fault::NoSuchBase;
        case LDAP_FILTER_ERROR: return Fault::BadFilter;
        case LDAP_TIMEOUT:
        case LDAP_TIMELIMIT_EXCEEDED: return Fault::TimedOut;
        case LDAP_SIZELIMIT_EXCEEDED:
        case LDAP_ADMIN_LIMIT_EXCEEDED: return Fault::CutOff;
        default: return Fault::Failed;
    }
}

struct Unbind {
    void operator()(LDAP* ld) const { ldap_unbind(ld); }
};
using Session = std::unique_ptr<LDAP, Unbind>;

struct MessageFree {
    void operator()(LDAPMessage* m) const { ldap_msgfree(m); }
};
using Message = std::unique_ptr<LDAPMessage, MessageFree>;

PWSTR W(const std::wstring& text) { return const_cast<PWSTR>(text.c_str()); }

// Moves a read's watchdog on: the call that just ended answered in time.
struct Beat {
    std::atomic<int64_t> at{Now()};
    std::atomic<size_t> entries{0};
    static int64_t Now() {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    void operator()() { at = Now(); }
};

// Connected and logged in, or the fault.
Session Open(const Connection& c, ReadResult& result, Beat& beat) {
    const auto start = std::chrono::steady_clock::now();
    const std::wstring host = c.url.host;
    LDAP* raw = c.url.secure ? ldap_sslinitW(W(host), c.url.port, 1) : ldap_initW(W(host), c.url.port);
    Session ld(raw);
    auto fail = [&](ULONG code, Fault fault) {
        result.code = code;
        result.fault = fault;
        result.connectMs = MsSince(start);
        return Session();
    };
    if (!ld) return fail(LdapGetLastError(), Fault::Unreachable);
    // Windows' client starts at version 2, which knows no paging and no StartTLS.
    ULONG version = LDAP_VERSION3;
    ldap_set_optionW(ld.get(), LDAP_OPT_PROTOCOL_VERSION, &version);
    ULONG seconds = c.timeoutSeconds;
    ldap_set_optionW(ld.get(), LDAP_OPT_TIMELIMIT, &seconds);
    ULONG milliseconds = c.timeoutSeconds * 1000;
    ldap_set_optionW(ld.get(), LDAP_OPT_SEND_TIMEOUT, &milliseconds);
    // Referrals would lead to other servers with the same password; they are not followed.
    ldap_set_optionW(ld.get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    LDAP_TIMEVAL timeout = {static_cast<LONG>(c.timeoutSeconds), 0};
    beat();
    if (ULONG rc = ldap_connect(ld.get(), &timeout); rc != LDAP_SUCCESS) {
        const Fault fault = FaultOf(rc);
        return fail(rc, fault == Fault::TimedOut || fault == Fault::Unreachable ? fault
                        : c.url.secure                                        ? Fault::SecureFailed
                                                                              : Fault::Unreachable);
    }
    beat();
    if (c.startTls && !c.url.secure) {
        ULONG serverCode = 0;
        LDAPMessage* reply = nullptr;
        const ULONG rc = ldap_start_tls_sW(ld.get(), &serverCode, &reply, nullptr, nullptr);
        if (reply) ldap_msgfree(reply);
        if (rc != LDAP_SUCCESS) return fail(rc, rc == LDAP_SERVER_DOWN ? Fault::Unreachable : Fault::SecureFailed);
    }
    beat();
    ULONG rc = c.bindDn.empty() ? ldap_simple_bind_sW(ld.get(), nullptr, nullptr)
                                : ldap_simple_bind_sW(ld.get(), W(c.bindDn), W(c.password));
    if (rc != LDAP_SUCCESS) {
        // The bind is the first call that must reach the server: a server that is not
        // there fails here. A bind DN that names nobody is a refused login.
        Fault fault = rc == LDAP_NO_SUCH_OBJECT ? Fault::LoginRefused : FaultOf(rc);
        if (fault == Fault::Failed && (c.url.secure || c.startTls)) fault = Fault::SecureFailed;
        return fail(rc, fault);
    }
    result.connectMs = MsSince(start);
    return ld;
}

// The entry's attributes that the mapping reads, decoded.
Entry EntryOf(LDAP* ld, LDAPMessage* message, const std::vector<std::wstring>& wanted) {
    Entry entry;
    for (const std::wstring& name : wanted) {
        PWSTR* values = ldap_get_valuesW(ld, message, W(name));
        if (!values) continue;
        Attribute& attribute = entry.emplace_back();
        attribute.name = name;
        for (PWSTR* v = values; *v; ++v) attribute.values.emplace_back(*v);
        ldap_value_freeW(values);
    }
    return entry;
}

void ReadNow(const Connection& c, Mapping mapping, const entry::CharacterRules& rules, Beat& beat,
             ReadResult& result) {
    result.request = CheckRequest(c.url, c.bindDn, c.password, mapping);
    if (result.request.fault != RequestFault::None) {
        result.fault = Fault::NotSent;
        result.read.complete = false;
        return;
    }
    Session ld = Open(c, result, beat);
    if (!ld) {
        result.read.complete = false;
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::wstring> wanted = RequestedAttributes(mapping);
    std::vector<PWSTR> attributes;
    for (const std::wstring& name : wanted) attributes.push_back(W(name));
    attributes.push_back(nullptr);
    LDAP_TIMEVAL timeout = {static_cast<LONG>(c.timeoutSeconds), 0};
    auto take = [&](LDAPMessage* page) {
        for (LDAPMessage* e = ldap_first_entry(ld.get(), page); e; e = ldap_next_entry(ld.get(), e)) {
            AppendRecords(EntryOf(ld.get(), e, wanted), mapping, rules, result.read.records);
            ++result.entries;
        }
        beat.entries = result.entries;
        beat();
    };
    auto stop = [&](ULONG code) {
        result.code = code;
        result.fault = FaultOf(code);
        // What arrived before a limit or a lost connection is only part of the directory.
        if (result.fault == Fault::Unreachable || result.fault == Fault::Failed) result.fault = Fault::CutOff;
        result.read.complete = false;
    };
    const ULONG scope = c.url.scope == Scope::Base ? LDAP_SCOPE_BASE : c.url.scope == Scope::One ? LDAP_SCOPE_ONELEVEL
                                                                                                 : LDAP_SCOPE_SUBTREE;
    if (c.pageSize == 0) {
        LDAPMessage* raw = nullptr;
        const ULONG rc = ldap_search_ext_sW(ld.get(), W(c.url.baseDn), scope, W(c.url.filter), attributes.data(), 0,
                                            nullptr, nullptr, &timeout, 0, &raw);
        Message page(raw);
        if (page) take(page.get());
        if (rc != LDAP_SUCCESS) {
            stop(rc);
            // Nothing came: the base or the filter was wrong, not a result cut short.
            if (result.entries == 0 && (FaultOf(rc) == Fault::NoSuchBase || FaultOf(rc) == Fault::BadFilter))
                result.fault = FaultOf(rc);
        }
        result.searchMs = MsSince(start);
        return;
    }
    PLDAPSearch search = ldap_search_init_pageW(ld.get(), W(c.url.baseDn), scope, W(c.url.filter), attributes.data(),
                                                0, nullptr, nullptr, c.timeoutSeconds, 0, nullptr);
    if (!search) {
        stop(LdapGetLastError());
        result.fault = FaultOf(result.code) == Fault::BadFilter ? Fault::BadFilter : Fault::Failed;
        result.searchMs = MsSince(start);
        return;
    }
    for (bool first = true;; first = false) {
        LDAPMessage* raw = nullptr;
        ULONG count = 0;
        const ULONG rc = ldap_get_next_page_s(ld.get(), search, &timeout, c.pageSize, &count, &raw);
        Message page(raw);
        if (rc == LDAP_NO_RESULTS_RETURNED) break;
        if (page) take(page.get());
        if (rc != LDAP_SUCCESS) {
            stop(rc);
            // The first page tells a wrong base or filter: nothing was read at all.
            if (first && (FaultOf(rc) == Fault::NoSuchBase || FaultOf(rc) == Fault::BadFilter)) result.fault = FaultOf(rc);
            break;
        }
    }
    ldap_search_abandon_page(ld.get(), search);
    result.searchMs = MsSince(start);
}


// The client's own time limits do not bound every wait (a TLS handshake with a server
// that never answers, say): the read runs on a thread of its own, and a call that has
// not ended within the time-out gives up the read. The thread is left to end
// when its connection does.
ReadResult Watched(const Connection& c, const std::function<void(Beat&, ReadResult&)>& work,
                   const std::function<void(size_t entries)>& progress) {
    struct Shared {
        Beat beat;
        ReadResult result;
        std::atomic<bool> done{false};
    };
    auto shared = std::make_shared<Shared>();
    std::thread worker([shared, work] {
        work(shared->beat, shared->result);
        shared->done = true;
    });
    const int64_t limit = int64_t{c.timeoutSeconds} * 1000;
    size_t told = 0;
    while (!shared->done) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (progress && shared->beat.entries != told) progress(told = shared->beat.entries);
        if (!shared->done && Beat::Now() - shared->beat.at > limit) {
            worker.detach();
            ReadResult late;
            late.fault = Fault::TimedOut;
            late.entries = shared->beat.entries;
            late.read.complete = false;
            return late;
        }
    }
    worker.join();
    return std::move(shared->result);
}

}  // namespace

CMString RequestFaultText(const RequestCheck& check, const Connection& c) {
    switch (check.fault) {
        case RequestFault::None: return {};
        case RequestFault::NoPassword: return CMString::Formatted(app::Text(IDS_DIR_NO_PASSWORD).c_str(), c.bindDn.c_str());
        case RequestFault::NoNameAttribute: return app::Text(IDS_DIR_URL_NO_NAME);
        case RequestFault::NoFaxAttribute: return app::Text(IDS_DIR_URL_NO_FAX);
        case RequestFault::UnreadAttribute:
            return CMString::Formatted(app::Text(IDS_DIR_URL_UNREAD).c_str(), check.attribute.c_str());
        case RequestFault::GroupsNotInUrl:
            return CMString::Formatted(app::Text(IDS_DIR_URL_NO_GROUPS).c_str(), check.attribute.c_str());
    }
    return {};
}

CMString FaultText(const ReadResult& r, const Connection& c) {
    auto text = [](unsigned id) { return app::Text(id); };
    const unsigned port = c.url.port;
    switch (r.fault) {
        case Fault::None: return {};
        case Fault::NotSent: return RequestFaultText(r.request, c);
        case Fault::Unreachable: return CMString::Formatted(text(IDS_DIR_UNREACHABLE).c_str(), c.url.host.c_str(), port);
        case Fault::LoginRefused: return text(IDS_DIR_LOGIN_REFUSED);
        case Fault::NoSuchBase: return CMString::Formatted(text(IDS_DIR_NO_BASE).c_str(), c.url.baseDn.c_str());
        case Fault::BadFilter: return CMString::Formatted(text(IDS_DIR_BAD_FILTER).c_str(), c.url.filter.c_str());
        case Fault::SecureFailed: return CMString::Formatted(text(IDS_DIR_SECURE_FAILED).c_str(), c.url.host.c_str(), port);
        case Fault::TimedOut: return CMString::Formatted(text(IDS_DIR_TIMED_OUT).c_str(), unsigned{c.timeoutSeconds});
        case Fault::CutOff: return CMString::Formatted(text(IDS_DIR_CUT_OFF).c_str(), static_cast<unsigned>(r.entries));
        case Fault::Failed: break;
    }
    return CMString::Formatted(text(IDS_DIR_FAILED).c_str(), static_cast<unsigned>(r.code));
}



ReadResult ReadDirectory(const Connection& connection, const Mapping& mapping, const entry::CharacterRules& rules,
                         const std::function<void(size_t entries)>& progress) {
    return Watched(connection,
                   [c = connection, mapping, rules](Beat& beat, ReadResult& result) { ReadNow(c, mapping, rules, beat, result); },
                   progress);
}

}  // namespace directory
