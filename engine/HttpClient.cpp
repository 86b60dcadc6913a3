#include "engine/HttpClient.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>

#include "engine/Errors.h"

namespace orvanta {

namespace {

void EnsureCurlInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* handle) const noexcept { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const noexcept { curl_slist_free_all(list); }
};

struct Transfer {
    std::string& body;
    CURL* curl = nullptr;
    bool sized = false;
    std::size_t limit = 0;
    bool overflow = false;
    const std::function<void(std::size_t)>* progress = nullptr;
    // Stall detection: the moment bytes last moved in either direction.
    std::chrono::steady_clock::duration stallAfter{};
    std::chrono::steady_clock::time_point lastActivity = std::chrono::steady_clock::now();
    curl_off_t lastMoved = 0;
    bool stalled = false;
};

int OnTransferInfo(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
    auto* transfer = static_cast<Transfer*>(user);
    const auto now = std::chrono::steady_clock::now();
    if (downloaded + uploaded != transfer->lastMoved) {
        transfer->lastMoved = downloaded + uploaded;
        transfer->lastActivity = now;
    } else if (now - transfer->lastActivity > transfer->stallAfter) {
        transfer->stalled = true;
        return 1;  // aborts the transfer
    }
    return 0;
}

std::size_t WriteBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (!transfer->sized) {
        // Room for the whole reply at once instead of growing it piece by piece.
        transfer->sized = true;
        curl_off_t length = -1;
        curl_easy_getinfo(transfer->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        if (length > 0 && static_cast<std::size_t>(length) <= transfer->limit) {
            transfer->body.reserve(static_cast<std::size_t>(length));
        }
    }
    if (transfer->body.size() + bytes > transfer->limit) {
        transfer->overflow = true;
        return 0;  // makes curl fail the transfer
    }
    transfer->body.append(data, bytes);
    if (*transfer->progress) (*transfer->progress)(transfer->body.size());
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

}  // namespace

struct THttpClient::Connection {
    std::unique_ptr<CURL, CurlDeleter> handle;
};

THttpClient::THttpClient() {
    EnsureCurlInitialised();
}

THttpClient::~THttpClient() = default;

void THttpClient::Close() {
    connection_.reset();
}

void THttpClient::Post(const std::string& url, const std::string& body, std::string& reply) {
    reply.clear();
    if (!connection_) {
        connection_ = std::make_unique<Connection>();
        connection_->handle.reset(curl_easy_init());
        if (!connection_->handle) throw TransportError("The HTTP client could not be created");
    }
    CURL* curl = connection_->handle.get();

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
    transfer.progress = &OnProgress;
    transfer.stallAfter = std::chrono::seconds(StallTimeoutSeconds);
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
    // curl's own low-speed check averages over several seconds, so a fast upload hides
    // a server that then says nothing; the transfer callback watches the bytes instead.
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnTransferInfo);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    // An empty proxy disables the proxy variables of the environment; an empty
    // no-proxy list keeps NO_PROXY from bypassing a proxy the user gave.
    curl_easy_setopt(curl, CURLOPT_PROXY, ProxyHost.c_str());
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "");
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(ProxyPort));

    const CURLcode result = curl_easy_perform(curl);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, nullptr);
    if (result != CURLE_OK) {
        // A failed transfer leaves the connection in an unknown state.
        Close();
        if (transfer.overflow) {
            throw TransportError("The reply from " + url + " is larger than " +
                                 std::to_string(MaxReplyBytes >> 20) + " MB");
        }
        std::string detail = error[0] ? error : curl_easy_strerror(result);
        if (transfer.stalled) {
            throw TransportError("The server at " + url +
                                 " did not answer in time: nothing was "
                                 "received for " +
                                 std::to_string(StallTimeoutSeconds) + " seconds");
        }
        if (result == CURLE_OPERATION_TIMEDOUT) {
            throw TransportError("The server at " + url + " did not answer in time: " + detail);
        }
        const bool viaProxy = !ProxyHost.empty();
        throw TransportError("Could not connect to " + url +
                             (viaProxy ? " through the proxy " + ProxyHost : std::string()) + ": " +
                             detail);
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        Close();
        const std::string reason = ReasonOf(status);
        throw TransportError("The server answered HTTP status " + std::to_string(status) +
                             (reason.empty() ? std::string() : " (" + reason + ")") + " for " +
                             url);
    }
}

}  // namespace orvanta
