#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

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

    // Certificate authorities to trust for https, as a PEM file; empty: the system's.
    std::string CAFile;

    // Giving up on a server that cannot be reached.
    long ConnectTimeoutSeconds = 15;
    // Giving up on a server that moves no byte in either direction for this long:
    // one that never starts its reply, or stops in the middle of it.
    long StallTimeoutSeconds = 30;
    // Giving up on a transfer that moves, but slower than LowSpeedBytesPerSecond on
    // average over LowSpeedWindowSeconds (a server that trickles its reply). Judged
    // while the request goes out and while the reply comes in, not while the server
    // thinks between the two: that is the stall deadline's part. 0 turns it off.
    long LowSpeedBytesPerSecond = 100;
    long LowSpeedWindowSeconds = 30;
    // A reply larger than this is refused, so a broken server cannot exhaust memory.
    std::size_t MaxReplyBytes = std::size_t{512} << 20;

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
    std::unique_ptr<Connection> connection_;
    std::atomic<bool> cancelled_{false};
    // Guards connection_ against Cancel waking it while Close frees it.
    std::mutex wakeMutex_;
};

}  // namespace orvanta
