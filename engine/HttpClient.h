#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/Deadlines.h"
#include "engine/Url.h"

namespace orvanta {

// HTTP POST on libcurl, as the SyncML exchanges need it: one connection per exchange,
// kept between its messages and closed at its end, an optional HTTP proxy, and the
// reply body read whole. Proxy variables of the environment play no part; redirects
// are not followed.
class THttpClient {
public:
    THttpClient();
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    std::string ProxyHost;  // empty: direct connection
    int ProxyPort = 0;

    std::string ContentType;
    std::string Accept;
    // The Content-Type of the last reply received; empty when the server gave none.
    std::string ReplyContentType;

    // The certificate authority of a server with a private one, as a PEM file, trusted for
    // https in place of the system's bundle; empty: libcurl's own defaults.
    std::string CAFile;

    // The deadlines of each request.
    TransferLimits Limits;
    // A reply larger than this is refused while it comes in, before more of it is kept,
    // so that a broken server cannot exhaust memory.
    std::size_t MaxReplyBytes = std::size_t{16} << 20;

    // Called on the posting thread while a request goes out and its reply comes in,
    // with the bytes of this request sent and received so far.
    std::function<void(std::size_t sent, std::size_t received)> OnProgress;

    // POSTs body to url and reads the reply body into `reply`, whose capacity is kept
    // from message to message. Throws TransportError on a connection failure, a
    // time-out or an HTTP status outside 2xx, CancelledError after Cancel.
    void Post(const std::string& url, const std::string& body, std::string& reply);

    // Closes the connection; the next Post opens a new one.
    void Close();

    // From any thread: ends a Post that runs at once, and makes every later Post fail
    // until ResetCancel.
    void Cancel();
    void ResetCancel();
    [[nodiscard]] bool Cancelled() const { return cancelled_.load(); }

private:
    struct Connection;
    // The connection of this exchange, made on its first request.
    Connection& Open();

    std::unique_ptr<Connection> connection_;
    std::atomic<bool> cancelled_{false};
    // Guards connection_ against Cancel waking it while Close frees it.
    std::mutex wakeMutex_;
};

}  // namespace orvanta
