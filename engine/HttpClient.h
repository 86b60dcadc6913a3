#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace orvanta {

// HTTP POST on libcurl, as the SyncML exchanges need it: one connection per exchange,
// kept between its messages and closed at its end, an optional HTTP proxy, and the
// reply body read whole. Proxy variables of the environment play no part.
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

    // Giving up on a server that cannot be reached, or that stops sending.
    long ConnectTimeoutSeconds = 30;
    long StallTimeoutSeconds = 120;
    // A reply larger than this is refused, so a broken server cannot exhaust memory.
    std::size_t MaxReplyBytes = std::size_t{512} << 20;

    // Called while a reply arrives, with the bytes received so far.
    std::function<void(std::size_t received)> OnProgress;

    // POSTs body to url and reads the reply body into `reply`, whose capacity is kept
    // from message to message. Throws TransportError on a connection failure, a
    // time-out or an HTTP status outside 2xx.
    void Post(const std::string& url, const std::string& body, std::string& reply);

    // Closes the connection; the next Post opens a new one.
    void Close();

private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace orvanta
