#include "engine/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "engine/Errors.h"

namespace orvanta {

namespace {

using SteadyClock = std::chrono::steady_clock;

void EnsureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* easy) const noexcept { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};

// Where the reply body goes, within the limit.
struct ReplySink {
    std::string* body = nullptr;
    CURL* easy = nullptr;
    std::size_t limit = 0;
    bool sized = false;
    bool overflow = false;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<ReplySink*>(user);
    std::string& body = *sink->body;
    const std::size_t bytes = size * count;
    if (!sink->sized) {
        // The headers are in: a reply announced larger than the limit is refused before
        // any of it is kept; a smaller one gets its room at once.
        sink->sized = true;
        curl_off_t length = -1;
        curl_easy_getinfo(sink->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length > 0 && static_cast<std::size_t>(length) > sink->limit) {
            sink->overflow = true;
            return 0;  // makes curl fail the transfer
        }
        if (length > 0) body.reserve(static_cast<std::size_t>(length));
    }
    if (bytes > sink->limit - body.size()) {
        sink->overflow = true;
        return 0;
    }
    if (body.size() + bytes > body.capacity()) {
        // Doubling, as a string grows, but never beyond the limit: a reply that turns out
        // too large has cost no more memory than the limit.
        body.reserve(std::min(sink->limit, std::max(body.size() + bytes, 2 * body.capacity())));
    }
    body.append(data, bytes);
    return bytes;
}

// The connection cache of libcurl lives in the multi handle, so both are kept from
// message to message; the multi interface lets Cancel wake a waiting transfer. What the
// easy handle points to while it runs lives here as long as the handle.
struct CurlHandles {
    std::unique_ptr<CURLM, MultiDeleter> multi{curl_multi_init()};
    std::unique_ptr<CURL, EasyDeleter> easy{curl_easy_init()};
    std::unique_ptr<curl_slist, SlistDeleter> headers;
    ReplySink sink;
    char error[CURL_ERROR_SIZE] = {};
};

// How a transfer ended.
struct Outcome {
    enum class End { Done, Cancelled, Overdue, Broken };
    End end = End::Done;
    Overdue overdue = Overdue::None;  // with End::Overdue
    CURLcode result = CURLE_OK;       // with End::Done
    [[nodiscard]] bool Ok() const { return end == End::Done && result == CURLE_OK; }
};

std::string ReasonOf(long status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 407:
            return "Proxy Authentication Required";
        case 408:
            return "Request Timeout";
        case 413:
            return "Payload Too Large";
        case 415:
            return "Unsupported Media Type";
        case 500:
            return "Internal Server Error";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        default:
            return {};
    }
}

// "1 second", "30 seconds", "10 minutes".
std::string Duration(std::chrono::seconds span) {
    const long long n = span.count();
    if (n >= 120 && n % 60 == 0) return std::to_string(n / 60) + " minutes";
    return std::to_string(n) + (n == 1 ? " second" : " seconds");
}

// The request's headers and options on the connection's easy handle, from scratch: an
// option of an earlier request (a CA file since cleared) must not stay behind.
void SetUp(CurlHandles& c, const THttpClient& http, const std::string& url, const std::string& body,
           std::string& reply) {
    CURL* curl = c.easy.get();
    curl_easy_reset(curl);
    // Exactly the two SyncML headers; the empty "Expect:" keeps curl from sending
    // "Expect: 100-continue", which some proxies refuse.
    c.headers.reset();
    for (const std::string& header :
         {"Content-Type: " + http.ContentType, "Accept: " + http.Accept, std::string("Expect:")}) {
        curl_slist* next = curl_slist_append(c.headers.get(), header.c_str());
        if (!next) throw TransportError("The HTTP request could not be built");
        if (!c.headers) c.headers.reset(next);  // later ones go to the end of the same list
    }
    c.sink = ReplySink{&reply, curl, http.MaxReplyBytes};
    c.error[0] = '\0';

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, c.headers.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &c.sink);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, c.error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // Without a CA file of its own the handle keeps libcurl's defaults: the system's
    // bundle, with the authorities the user added to it.
    if (!http.CAFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, http.CAFile.c_str());
    // An empty proxy disables the proxy variables of the environment; an empty
    // no-proxy list keeps NO_PROXY from bypassing a proxy the user gave.
    curl_easy_setopt(curl, CURLOPT_PROXY, http.ProxyHost.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(http.ProxyPort));
}

// The easy handle on the multi handle for one transfer.
class Attached {
public:
    Attached(CURLM* multi, CURL* easy) : multi_(multi), easy_(easy) {
        curl_multi_add_handle(multi_, easy_);
    }
    ~Attached() { curl_multi_remove_handle(multi_, easy_); }
    Attached(const Attached&) = delete;
    Attached& operator=(const Attached&) = delete;

private:
    CURLM* multi_;
    CURL* easy_;
};

// Runs the transfer to its end, a cancel or a deadline. The deadlines are judged here
// rather than by curl: its own low-speed check averages over the whole transfer, so a
// fast upload hides a server that then says nothing.
Outcome Run(CurlHandles& c, const TransferLimits& limits, std::size_t bodySize,
            const std::atomic<bool>& cancelled,
            const std::function<void(std::size_t, std::size_t)>& onProgress) {
    CURLM* multi = c.multi.get();
    CURL* curl = c.easy.get();
    const Attached attached(multi, curl);
    TTransferDeadlines deadlines(limits, bodySize, SteadyClock::now());
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) return {Outcome::End::Broken};
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                return {Outcome::End::Done, Overdue::None, message->data.result};
            }
        }
        if (running == 0) return {Outcome::End::Broken};
        if (cancelled) return {Outcome::End::Cancelled};
        curl_off_t sent = 0, received = 0;
        curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
        curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &received);
        const Overdue overdue = deadlines.Check(SteadyClock::now(), static_cast<std::size_t>(sent),
                                                static_cast<std::size_t>(received));
        if (overdue != Overdue::None) return {Outcome::End::Overdue, overdue};
        if (deadlines.Moved() && onProgress) {
            onProgress(static_cast<std::size_t>(sent), static_cast<std::size_t>(received));
        }
        if (curl_multi_poll(multi, nullptr, 0, 250, nullptr) != CURLM_OK) {
            return {Outcome::End::Broken};
        }
    }
}

std::string Through(const THttpClient& http) {
    return http.ProxyHost.empty() ? std::string() : " through the proxy " + http.ProxyHost;
}

// The user's words for a deadline passed.
std::string OverdueFailure(Overdue overdue, const TransferLimits& limits, const THttpClient& http,
                           const std::string& shownURL) {
    const std::string server = "The server at " + shownURL;
    switch (overdue) {
        case Overdue::Connect:
            return "Could not connect to " + shownURL + Through(http) + ": no connection within " +
                   Duration(limits.Connect);
        case Overdue::Stall:
            return server + " did not answer in time: nothing was received for " +
                   Duration(limits.Stall);
        case Overdue::LowSpeed:
            return server + " answers too slowly: less than " +
                   std::to_string(limits.LowSpeedBytesPerSecond) + " bytes per second for " +
                   Duration(limits.LowSpeedWindow);
        case Overdue::Overall:
            return server + " did not finish its answer within " + Duration(limits.Overall);
        case Overdue::None:
            break;
    }
    return server + " did not answer in time";
}

// The user's words for a transfer that curl failed.
std::string CurlFailure(const CurlHandles& c, CURLcode result, const THttpClient& http,
                        const std::string& url) {
    const std::string shownURL = DisplayURL(url);
    if (c.sink.overflow) {
        return "The reply from " + shownURL + " is larger than " +
               std::to_string(http.MaxReplyBytes >> 20) + " MB";
    }
    // curl's own text may quote the URL with its user information.
    std::string detail = c.error[0] ? c.error : curl_easy_strerror(result);
    if (detail.find(url) != std::string::npos) detail = curl_easy_strerror(result);
    switch (result) {
        case CURLE_OPERATION_TIMEDOUT:
            return "The server at " + shownURL + " did not answer in time: " + detail;
        case CURLE_PEER_FAILED_VERIFICATION:
            if (!http.CAFile.empty()) {
                return "The server at " + shownURL +
                       " is not trusted: its certificate could not be verified with the CA file " +
                       http.CAFile + " (" + detail + ")";
            }
            return "The server at " + shownURL +
                   " is not trusted: its certificate could not be verified (" + detail +
                   "). If it has a certificate authority of its own, name that authority's "
                   "certificate as the CA file";
        case CURLE_SSL_CACERT_BADFILE:
            return "The CA file " + http.CAFile + " could not be read";
        case CURLE_PARTIAL_FILE:
            return "The reply from " + shownURL + " broke off before its end (" + detail + ")";
        case CURLE_GOT_NOTHING:
            return "The server at " + shownURL + " closed the connection without a reply";
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
            return "The connection to " + shownURL + " broke off (" + detail + ")";
        default:
            return "Could not connect to " + shownURL + Through(http) + ": " + detail;
    }
}

std::string StatusFailure(long status, const std::string& shownURL) {
    const std::string reason = ReasonOf(status);
    return "The server answered HTTP status " + std::to_string(status) +
           (reason.empty() ? std::string() : " (" + reason + ")") + " for " + shownURL;
}

// The reply's HTTP status; its Content-Type goes to `type`.
long TakeReplyHead(const CurlHandles& c, std::string& type) {
    long status = 0;
    curl_easy_getinfo(c.easy.get(), CURLINFO_RESPONSE_CODE, &status);
    const char* text = nullptr;
    curl_easy_getinfo(c.easy.get(), CURLINFO_CONTENT_TYPE, &text);
    type = text ? text : "";
    return status;
}

// The user's words for a request that did not end in a 2xx reply (empty for a cancel).
std::string FailureText(const Outcome& outcome, long status, const CurlHandles& c,
                        const THttpClient& http, const std::string& url) {
    const std::string shownURL = DisplayURL(url);
    switch (outcome.end) {
        case Outcome::End::Done:
            return outcome.result == CURLE_OK ? StatusFailure(status, shownURL)
                                              : CurlFailure(c, outcome.result, http, url);
        case Outcome::End::Overdue:
            return OverdueFailure(outcome.overdue, http.Limits, http, shownURL);
        case Outcome::End::Broken:
            return "The HTTP transfer to " + shownURL + " failed";
        case Outcome::End::Cancelled:
            break;
    }
    return {};
}

}  // namespace

struct THttpClient::Connection : CurlHandles {};

THttpClient::THttpClient() {
    EnsureCurlInitialised();
}

THttpClient::~THttpClient() = default;

void THttpClient::Close() {
    std::lock_guard lock(wakeMutex_);
    connection_.reset();
}

void THttpClient::Cancel() {
    cancelled_ = true;
    std::lock_guard lock(wakeMutex_);
    if (connection_ && connection_->multi) curl_multi_wakeup(connection_->multi.get());
}

void THttpClient::ResetCancel() {
    cancelled_ = false;
}

THttpClient::Connection& THttpClient::Open() {
    std::lock_guard lock(wakeMutex_);
    if (!connection_) connection_ = std::make_unique<Connection>();
    if (!connection_->multi || !connection_->easy) {
        connection_.reset();
        throw TransportError("The HTTP client could not be created");
    }
    return *connection_;
}

void THttpClient::Post(const std::string& url, const std::string& body, std::string& reply) {
    reply.clear();
    ReplyContentType.clear();
    if (cancelled_) throw CancelledError();
    Connection& connection = Open();
    SetUp(connection, *this, url, body, reply);
    const Outcome outcome = Run(connection, Limits, body.size(), cancelled_, OnProgress);

    const long status = outcome.Ok() ? TakeReplyHead(connection, ReplyContentType) : 0;
    if (status >= 200 && status <= 299) return;
    const std::string failure = FailureText(outcome, status, connection, *this, url);
    // A failed transfer leaves the connection in an unknown state.
    Close();
    reply.clear();
    if (outcome.end == Outcome::End::Cancelled) throw CancelledError();
    throw TransportError(failure);
}

}  // namespace orvanta
