#include "engine/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "engine/Errors.h"

namespace orvanta {

namespace {

using Clock = std::chrono::steady_clock;

void EnsureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct SlistDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};

// Never more than this is set aside ahead of the bytes for a reply: a server that
// announces a huge length and sends little costs no memory.
constexpr std::size_t kMaxReserve = std::size_t{64} << 20;

struct Transfer {
    std::string& body;
    CURL* curl = nullptr;
    bool sized = false;
    std::size_t limit = 0;
    bool overflow = false;
};

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (!transfer->sized) {
        // The headers are in: a reply announced larger than the limit is refused before
        // any of it is kept; a smaller one gets its room at once.
        transfer->sized = true;
        curl_off_t length = -1;
        curl_easy_getinfo(transfer->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length > 0 && static_cast<std::size_t>(length) > transfer->limit) {
            transfer->overflow = true;
            return 0;
        }
        if (length > 0) {
            transfer->body.reserve(std::min(static_cast<std::size_t>(length), kMaxReserve));
        }
    }
    if (transfer->body.size() + bytes > transfer->limit) {
        transfer->overflow = true;
        return 0;  // makes curl fail the transfer
    }
    transfer->body.append(data, bytes);
    return bytes;
}

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

std::string Seconds(long n) {
    return std::to_string(n) + (n == 1 ? " second" : " seconds");
}

// Where the transfer stands, for the low-speed floor: it judges the request going out
// and the reply coming in, each from its own start.
enum class Phase { Sending, Waiting, Receiving };

}  // namespace

// The connection cache of libcurl lives in the multi handle, so both are kept from
// message to message; the multi interface lets Cancel wake a waiting transfer.
struct THttpClient::Connection {
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    Connection() : multi(curl_multi_init()), easy(curl_easy_init()) {}
    ~Connection() {
        if (easy) curl_easy_cleanup(easy);
        if (multi) curl_multi_cleanup(multi);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
};

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
    if (connection_ && connection_->multi) curl_multi_wakeup(connection_->multi);
}

void THttpClient::ResetCancel() {
    cancelled_ = false;
}

void THttpClient::Post(const std::string& url, const std::string& body, std::string& reply) {
    reply.clear();
    ReplyContentType.clear();
    if (cancelled_) throw CancelledError();
    {
        std::lock_guard lock(wakeMutex_);
        if (!connection_) connection_ = std::make_unique<Connection>();
        if (!connection_->multi || !connection_->easy) {
            connection_.reset();
            throw TransportError("The HTTP client could not be created");
        }
    }
    CURLM* multi = connection_->multi;
    CURL* curl = connection_->easy;
    const std::string shownURL = DisplayURL(url);

    // Exactly the two SyncML headers; the empty "Expect:" keeps curl from sending
    // "Expect: 100-continue", which some proxies refuse.
    curl_slist* raw = nullptr;
    for (const std::string& header :
         {"Content-Type: " + ContentType, "Accept: " + Accept, std::string("Expect:")}) {
        curl_slist* next = curl_slist_append(raw, header.c_str());
        if (!next) {
            curl_slist_free_all(raw);
            throw TransportError("The HTTP request could not be built");
        }
        raw = next;
    }
    const std::unique_ptr<curl_slist, SlistDeleter> headers(raw);

    Transfer transfer{reply};
    transfer.curl = curl;
    transfer.limit = MaxReplyBytes;
    char error[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_CAINFO, CAFile.empty() ? nullptr : CAFile.c_str());
    // An empty proxy disables the proxy variables of the environment; an empty
    // no-proxy list keeps NO_PROXY from bypassing a proxy the user gave.
    curl_easy_setopt(curl, CURLOPT_PROXY, ProxyHost.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(ProxyPort));

    enum class Abort { None, Cancelled, Stalled, TooSlow, Broken };
    Abort abort = Abort::None;
    CURLcode result = CURLE_OK;
    curl_multi_add_handle(multi, curl);
    {
        // The deadlines are watched here rather than by curl: its own low-speed check
        // averages over the whole transfer, so a fast upload hides a server that then
        // says nothing.
        const auto stallAfter = std::chrono::seconds(StallTimeoutSeconds);
        const auto window = std::chrono::seconds(LowSpeedWindowSeconds);
        const curl_off_t floorBytes =
            static_cast<curl_off_t>(LowSpeedBytesPerSecond) * LowSpeedWindowSeconds;
        auto lastActivity = Clock::now();
        curl_off_t lastMoved = 0;
        Phase phase = Phase::Sending;
        auto windowStart = lastActivity;
        curl_off_t windowBytes = 0;
        for (bool done = false; !done;) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                abort = Abort::Broken;
                break;
            }
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg == CURLMSG_DONE) {
                    result = message->data.result;
                    done = true;
                }
            }
            if (done) break;
            if (running == 0) {
                abort = Abort::Broken;
                break;
            }
            if (cancelled_) {
                abort = Abort::Cancelled;
                break;
            }
            curl_off_t sent = 0, received = 0;
            curl_easy_getinfo(curl, CURLINFO_SIZE_UPLOAD_T, &sent);
            curl_easy_getinfo(curl, CURLINFO_SIZE_DOWNLOAD_T, &received);
            const auto now = Clock::now();
            if (sent + received != lastMoved) {
                lastMoved = sent + received;
                lastActivity = now;
                if (OnProgress) {
                    OnProgress(static_cast<std::size_t>(sent), static_cast<std::size_t>(received));
                }
            } else if (now - lastActivity > stallAfter) {
                abort = Abort::Stalled;
                break;
            }
            const Phase current = received > 0                                  ? Phase::Receiving
                                  : sent < static_cast<curl_off_t>(body.size()) ? Phase::Sending
                                                                                : Phase::Waiting;
            if (current != phase) {
                phase = current;
                windowStart = now;
                windowBytes = sent + received;
            } else if (phase != Phase::Waiting && floorBytes > 0 && now - windowStart >= window) {
                if (sent + received - windowBytes < floorBytes) {
                    abort = Abort::TooSlow;
                    break;
                }
                windowStart = now;
                windowBytes = sent + received;
            }
            if (curl_multi_poll(multi, nullptr, 0, 250, nullptr) != CURLM_OK) {
                abort = Abort::Broken;
                break;
            }
        }
    }
    curl_multi_remove_handle(multi, curl);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);

    if (abort != Abort::None || result != CURLE_OK) {
        // A failed transfer leaves the connection in an unknown state.
        Close();
        reply.clear();
        switch (abort) {
            case Abort::Cancelled:
                throw CancelledError();
            case Abort::Stalled:
                throw TransportError("The server at " + shownURL +
                                     " did not answer in time: nothing was received for " +
                                     Seconds(StallTimeoutSeconds));
            case Abort::TooSlow:
                throw TransportError("The server at " + shownURL +
                                     " answers too slowly: less than " +
                                     std::to_string(LowSpeedBytesPerSecond) +
                                     " bytes per second for " + Seconds(LowSpeedWindowSeconds));
            case Abort::Broken:
                throw TransportError("The HTTP transfer to " + shownURL + " failed");
            case Abort::None:
                break;
        }
        if (transfer.overflow) {
            throw TransportError("The reply from " + shownURL + " is larger than " +
                                 std::to_string(MaxReplyBytes >> 20) + " MB");
        }
        // curl's own text may quote the URL with its user information.
        std::string detail = error[0] ? error : curl_easy_strerror(result);
        if (detail.find(url) != std::string::npos) detail = curl_easy_strerror(result);
        if (result == CURLE_OPERATION_TIMEDOUT) {
            throw TransportError("The server at " + shownURL +
                                 " did not answer in time: " + detail);
        }
        if (result == CURLE_PEER_FAILED_VERIFICATION) {
            throw TransportError("The server at " + shownURL +
                                 " is not trusted: its certificate could not be verified (" +
                                 detail + ")");
        }
        if (result == CURLE_PARTIAL_FILE) {
            throw TransportError("The reply from " + shownURL + " broke off before its end (" +
                                 detail + ")");
        }
        if (result == CURLE_GOT_NOTHING) {
            throw TransportError("The server at " + shownURL +
                                 " closed the connection without a reply");
        }
        if (result == CURLE_RECV_ERROR || result == CURLE_SEND_ERROR) {
            throw TransportError("The connection to " + shownURL + " broke off (" + detail + ")");
        }
        if (result == CURLE_SSL_CACERT_BADFILE) {
            throw TransportError("The certificate file " + CAFile + " could not be read");
        }
        const bool viaProxy = !ProxyHost.empty();
        throw TransportError("Could not connect to " + shownURL +
                             (viaProxy ? " through the proxy " + ProxyHost : std::string()) + ": " +
                             detail);
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    const char* type = nullptr;
    curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
    ReplyContentType = type ? type : "";
    if (status < 200 || status > 299) {
        Close();
        reply.clear();
        const std::string reason = ReasonOf(status);
        throw TransportError("The server answered HTTP status " + std::to_string(status) +
                             (reason.empty() ? std::string() : " (" + reason + ")") + " for " +
                             shownURL);
    }
}

}  // namespace orvanta
