#include "carddav/AddressBook.h"

#include <winhttp.h>

#include <atomic>
#include <condition_variable>
#include <cwchar>
#include <memory>
#include <mutex>
#include <thread>

#include "app/AppGlobals.h"
#include "resources/text_ids.h"

namespace carddav {

namespace {

// WinHTTP's functions, looked up once on first use. Only the types come from its
// header: the program's import table does not name the DLL.
struct WinHttp {
    HMODULE dll = nullptr;
    decltype(&::WinHttpOpen) Open = nullptr;
    decltype(&::WinHttpConnect) Connect = nullptr;
    decltype(&::WinHttpOpenRequest) OpenRequest = nullptr;
    decltype(&::WinHttpSetTimeouts) SetTimeouts = nullptr;
    decltype(&::WinHttpSetOption) SetOption = nullptr;
    decltype(&::WinHttpSendRequest) SendRequest = nullptr;
    decltype(&::WinHttpReceiveResponse) ReceiveResponse = nullptr;
    decltype(&::WinHttpQueryHeaders) QueryHeaders = nullptr;
    decltype(&::WinHttpReadData) ReadData = nullptr;
    decltype(&::WinHttpCloseHandle) CloseHandle = nullptr;

    bool Load() {
        if (dll) return true;
        HMODULE module = LoadLibraryExW(L"winhttp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module) return false;
        auto get = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
                reinterpret_cast<void*>(GetProcAddress(module, name)));
            return fn != nullptr;
        };
        if (!get(Open, "WinHttpOpen") || !get(Connect, "WinHttpConnect") || !get(OpenRequest, "WinHttpOpenRequest") ||
            !get(SetTimeouts, "WinHttpSetTimeouts") || !get(SetOption, "WinHttpSetOption") ||
            !get(SendRequest, "WinHttpSendRequest") || !get(ReceiveResponse, "WinHttpReceiveResponse") ||
            !get(QueryHeaders, "WinHttpQueryHeaders") || !get(ReadData, "WinHttpReadData") ||
            !get(CloseHandle, "WinHttpCloseHandle")) {
            FreeLibrary(module);
            return false;
        }
        dll = module;
        return true;
    }
};

WinHttp& Api() {
    static WinHttp api;
    return api;
}

// An answer larger than this is no address book's.
constexpr size_t kMaxBody = 512u << 20;

std::string Base64(std::string_view bytes) {
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t n = (static_cast<unsigned char>(bytes[i]) << 16) |
                           (i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0) |
                           (i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0);
        out.push_back(table[(n >> 18) & 63]);
        out.push_back(table[(n >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? table[(n >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? table[n & 63] : '=');
    }
    return out;
}

Fault FaultOfError(DWORD error, bool reading) {
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT: return Fault::TimedOut;
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_CANNOT_CONNECT: return Fault::Unreachable;
        // Wine reports a failed check as 12157, Windows as 12175 or 12045 (or another
        // certificate error of the 12037-12057 block).
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE: return Fault::Certificate;
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: return reading ? Fault::CutOff : Fault::Failed;
        default: return Fault::Failed;
    }
}

struct Handle {
    HINTERNET h = nullptr;
    Handle() = default;
    explicit Handle(HINTERNET handle) : h(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle& operator=(Handle&& other) noexcept {
        std::swap(h, other.h);
        return *this;
    }
    ~Handle() {
        if (h) Api().CloseHandle(h);
    }
};

// One session, and one connection per server it reaches (kept alive between requests).
class HttpTransport : public Transport {
public:
    HttpTransport(const Connection& connection, std::atomic<ULONGLONG>& beat) : m_c(connection), m_beat(beat) {
        if (!m_c.user.empty())
            m_authorization = L"Authorization: Basic " +
                              CMString::FromUtf8(Base64(CMString((m_c.user + L":" + m_c.password).c_str()).ToUtf8())).str();
    }

    Reply Send(const Request& request) override {
        Reply reply;
        m_beat = GetTickCount64();
        WinHttp& api = Api();
        if (!api.Load()) {
            reply.fault = Fault::Failed;
            reply.code = GetLastError();
            return reply;
        }
        if (!m_session.h) {
            m_session = Handle(api.Open(L"PhonebookEditor/5", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                        WINHTTP_NO_PROXY_BYPASS, 0));
            if (!m_session.h) return Failed(reply, false);
            const int ms = static_cast<int>(m_c.timeoutSeconds * 1000);
            api.SetTimeouts(m_session.h, ms, ms, ms, ms);
        }
        const std::string hostKey = request.url.host + ":" + std::to_string(request.url.port);
        if (!m_connect.h || hostKey != m_hostKey) {
            m_connect = Handle(api.Connect(m_session.h, CMString::FromUtf8(request.url.host).c_str(), request.url.port, 0));
            if (!m_connect.h) return Failed(reply, false);
            m_hostKey = hostKey;
        }
        const std::wstring method = CMString::FromUtf8(request.method).str();
        const std::wstring path = CMString::FromUtf8(request.url.path).str();
        Handle r(api.OpenRequest(m_connect.h, method.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES, request.url.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!r.h) return Failed(reply, false);
        // Redirects are the client's to follow: with the method kept, and the login sent
        // to the URL's own server only.
        DWORD disable = WINHTTP_DISABLE_REDIRECTS;
        api.SetOption(r.h, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
        std::wstring headers = L"Content-Type: application/xml; charset=utf-8\r\n";
        if (request.depth >= 0) headers += L"Depth: " + std::to_wstring(request.depth) + L"\r\n";
        if (!m_authorization.empty() && request.url.host == m_c.url.host && request.url.port == m_c.url.port &&
            request.url.secure == m_c.url.secure)
            headers += m_authorization + L"\r\n";
        const DWORD size = static_cast<DWORD>(request.body.size());
        if (!api.SendRequest(r.h, headers.c_str(), static_cast<DWORD>(headers.size()),
                             const_cast<char*>(request.body.data()), size, size, 0) ||
            !api.ReceiveResponse(r.h, nullptr))
            return Failed(reply, false);
        DWORD status = 0, length = sizeof status;
        api.QueryHeaders(r.h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                         &status, &length, WINHTTP_NO_HEADER_INDEX);
        reply.status = static_cast<int>(status);
        wchar_t location[2048];
        length = sizeof location;
        if (api.QueryHeaders(r.h, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, location, &length,
                             WINHTTP_NO_HEADER_INDEX))
            reply.location = CMString(std::wstring(location, length / sizeof(wchar_t)).c_str()).ToUtf8();
        DWORD expected = 0;
        length = sizeof expected;
        const bool sized = api.QueryHeaders(r.h, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                            WINHTTP_HEADER_NAME_BY_INDEX, &expected, &length, WINHTTP_NO_HEADER_INDEX);
        char buffer[64 * 1024];
        for (;;) {
            DWORD got = 0;
            if (!api.ReadData(r.h, buffer, sizeof buffer, &got)) return Failed(reply, true);
            if (got == 0) break;
            m_beat = GetTickCount64();
            if (reply.body.size() + got > kMaxBody) {
                reply.fault = Fault::CutOff;
                return reply;
            }
            reply.body.append(buffer, got);
        }
        // The connection closed before the length the server announced.
        if (sized && reply.body.size() < expected) reply.fault = Fault::CutOff;
        return reply;
    }

private:
    Reply& Failed(Reply& reply, bool reading) {
        reply.code = GetLastError();
        reply.fault = FaultOfError(reply.code, reading);
        // A failed connection is not reused.
        m_connect = Handle();
        return reply;
    }

    Connection m_c;
    std::atomic<ULONGLONG>& m_beat;
    std::wstring m_authorization;
    Handle m_session, m_connect;
    std::string m_hostKey;
};

// The job on a thread of its own, given up when nothing arrives for longer than the
// time-out: WinHTTP's own time-outs do not fire everywhere (Wine's wait for a server
// that never answers). A job given up runs on detached and owns everything it uses.
template <class Result>
Result Watched(const Connection& connection, std::function<Result(Transport&)> job) {
    struct Shared {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        Result result;
        std::atomic<ULONGLONG> beat{0};
    };
    auto shared = std::make_shared<Shared>();
    shared->beat = GetTickCount64();
    std::thread([shared, connection, job = std::move(job)] {
        HttpTransport transport(connection, shared->beat);
        Result result = job(transport);
        std::lock_guard<std::mutex> hold(shared->lock);
        shared->result = std::move(result);
        shared->finished = true;
        shared->done.notify_all();
    }).detach();
    const ULONGLONG limit = connection.timeoutSeconds * 1000ULL + 1000;
    std::unique_lock<std::mutex> hold(shared->lock);
    while (!shared->finished) {
        shared->done.wait_for(hold, std::chrono::milliseconds(100));
        if (!shared->finished && GetTickCount64() - shared->beat > limit) {
            Result timedOut;
            timedOut.fault = Fault::TimedOut;
            return timedOut;
        }
    }
    return std::move(shared->result);
}

std::string ReadWhole(const std::wstring& path) {
    std::string bytes;
    HANDLE in = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size = {};
    if (GetFileSizeEx(in, &size) && size.QuadPart > 0 && size.QuadPart < static_cast<LONGLONG>(kMaxBody)) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        if (!ReadFile(in, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())
            bytes.clear();
    }
    CloseHandle(in);
    return bytes;
}

// Written beside, then put in place: a reader never finds half a cache.
void WriteWhole(const std::wstring& path, const std::string& bytes) {
    const size_t slash = path.find_last_of(L'\\');
    for (size_t at = path.find(L'\\', 3); slash != std::wstring::npos && at != std::wstring::npos && at <= slash;
         at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    const std::wstring part = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".part";
    HANDLE out = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const bool whole = WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                       written == bytes.size();
    CloseHandle(out);
    if (!whole || !MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) DeleteFileW(part.c_str());
}

}  // namespace

std::wstring CacheFileFor(const std::wstring& book, const Url& url, const std::wstring& user) {
    wchar_t base[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", base, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    wchar_t full[MAX_PATH * 2] = {};
    std::wstring key = GetFullPathNameW(book.c_str(), MAX_PATH * 2, full, nullptr) ? full : book;
    CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));  // one book however its path is written
    key += L"\n" + WideText(url) + L"\n" + user;
    // FNV-1a of the UTF-8 key: a name per book and source.
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : CMString(key.c_str()).ToUtf8()) hash = (hash ^ c) * 1099511628211ull;
    wchar_t name[32];
    swprintf(name, 32, L"%016llx.cards", static_cast<unsigned long long>(hash));
    return std::wstring(base) + L"\\Morva\\PhoneBookEditor\\AddressBooks\\" + name;
}

BookRead ReadAddressBook(const Connection& connection, const delimited::CharacterRules& rules,
                         const std::function<void(size_t done, size_t total)>& progress) {
    // A read given up may still tell its progress: not to a caller that has gone on.
    struct Gate {
        std::mutex lock;
        bool open = true;
    };
    auto gate = std::make_shared<Gate>();
    auto told = [gate, progress](size_t done, size_t total) {
        std::lock_guard<std::mutex> hold(gate->lock);
        if (gate->open && progress) progress(done, total);
    };
    const std::wstring cacheFile = connection.cacheFile;
    BookRead result = Watched<BookRead>(connection, [url = connection.url, rules, told, cacheFile](Transport& t) {
        if (cacheFile.empty()) return ReadBook(t, url, rules, told);
        BookCache cache;
        LoadCache(ReadWhole(cacheFile), cache);  // a cache that cannot be read is none
        BookRead read = ReadBook(t, url, rules, told, &cache);
        if (read.fault == Fault::None) WriteWhole(cacheFile, SaveCache(cache));
        return read;
    });
    std::lock_guard<std::mutex> hold(gate->lock);
    gate->open = false;
    return result;
}

Discovery DiscoverAddressBooks(const Connection& connection) {
    return Watched<Discovery>(connection, [url = connection.url](Transport& t) { return Discover(t, url); });
}

CMString FaultText(Fault fault, uint32_t code, const Connection& c, size_t arrived, size_t cards) {
    auto text = [](unsigned id) { return app::Text(id); };
    const CMString host = CMString::FromUtf8(c.url.host);
    const CMString url = WideText(c.url).c_str();
    switch (fault) {
        case Fault::None: return {};
        case Fault::Unreachable:
            return CMString::Formatted(text(IDS_DAV_UNREACHABLE).c_str(), host.c_str(), unsigned{c.url.port});
        case Fault::LoginRefused: return text(IDS_DAV_LOGIN_REFUSED);
        case Fault::NotFound: return CMString::Formatted(text(IDS_DAV_NOT_FOUND).c_str(), url.c_str());
        case Fault::NotCardDav: return CMString::Formatted(text(IDS_DAV_NOT_CARDDAV).c_str(), url.c_str());
        case Fault::Certificate: return CMString::Formatted(text(IDS_DAV_CERTIFICATE).c_str(), host.c_str());
        case Fault::TimedOut: return CMString::Formatted(text(IDS_DAV_TIMED_OUT).c_str(), unsigned{c.timeoutSeconds});
        case Fault::CutOff:
            return CMString::Formatted(text(IDS_DAV_CUT_OFF).c_str(), static_cast<unsigned>(arrived),
                                       static_cast<unsigned>(cards));
        case Fault::NotAddressBook: return CMString::Formatted(text(IDS_DAV_NOT_BOOK).c_str(), url.c_str());
        case Fault::NoAddressBook: return CMString::Formatted(text(IDS_DAV_NO_BOOK).c_str(), url.c_str());
        case Fault::Failed: break;
    }
    return CMString::Formatted(text(IDS_DAV_FAILED).c_str(), static_cast<unsigned>(code));
}

}  // namespace carddav
