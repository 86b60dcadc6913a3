#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvanta::test {

// A TCP server on 127.0.0.1 that hands each accepted connection to a function of the
// test, for replies no well-behaved HTTP server gives: none at all, a trickle, a body
// of hundreds of megabytes made up as it is sent. The destructor ends every
// connection and waits for the functions to return; they watch Stopping().
class RawServer {
public:
    using Session = std::function<void(int fd, RawServer& server)>;

    explicit RawServer(Session session);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    [[nodiscard]] int Port() const { return port_; }
    [[nodiscard]] std::string Url(const std::string& path = "/sync") const;
    [[nodiscard]] bool Stopping() const { return stopping_.load(); }
    [[nodiscard]] int Accepted() const { return accepted_.load(); }

    // Reads one HTTP request (head and Content-Length body); empty when the client
    // went away first.
    [[nodiscard]] std::string ReadRequest(int fd) const;
    // Writes all of text; false when the client went away or the server stops.
    bool Send(int fd, const std::string& text) const;
    // Sleeps up to ms, less when the server stops.
    void Pause(int ms) const;
    // Waits until the server stops.
    void Hold() const;

private:
    void AcceptLoop();

    Session session_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<int> connections_;
    std::vector<std::thread> workers_;
};

// An HTTP/1.1 reply head with the status and, when given, a Content-Length.
[[nodiscard]] std::string ReplyHead(int status, long long contentLength = -1,
                                    const std::string& extraHeaders = {});

}  // namespace orvanta::test
