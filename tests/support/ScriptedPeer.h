#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <openssl/ssl.h>

namespace orvanta::test {

// One request as the peer saw it.
struct RecordedRequest {
    std::string Target;  // path and query exactly as sent
    std::string Body;
    std::string Head;  // request line and headers
    [[nodiscard]] std::string Header(const std::string& name) const;
};

struct PeerReply {
    int Status = 200;  // 0: the connection is closed without a reply
    std::string Body;
    int DelayMs = 0;  // answers late, to exercise the client's time-out
};

class ScriptedPeer;

// One accepted connection, for sessions that break HTTP: no reply at all, a trickle, a
// body of hundreds of megabytes made up as it is sent. Every wait ends when the peer
// stops.
class Connection {
public:
    // One HTTP request, raw (head and Content-Length body); empty when the client went
    // away first.
    std::string Read();
    // Writes all of bytes; false when the client went away or the peer stops.
    bool Send(const std::string& bytes);
    void Close();
    void Pause(int ms) const;
    void Hold() const { Pause(-1); }

private:
    [[nodiscard]] bool Stopping() const;
    friend class ScriptedPeer;
    Connection(ScriptedPeer& peer, int fd) : peer_(peer), fd_(fd) {}
    ScriptedPeer& peer_;
    int fd_;
    SSL* ssl_ = nullptr;
};

// A server of our own on 127.0.0.1. Either each POST is answered from a script
// (handler: request and its index from 0 -> reply), or each connection is handed to a
// session of the test.
class ScriptedPeer {
public:
    using Handler = std::function<PeerReply(const RecordedRequest&, int)>;
    using Session = std::function<void(Connection&)>;

    // With a certificate and key (PEM files), over https.
    explicit ScriptedPeer(Handler handler, const std::string& certFile = {},
                          const std::string& keyFile = {});
    // Replies in order (InOrder).
    explicit ScriptedPeer(std::vector<std::string> replies);
    explicit ScriptedPeer(Session session);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    [[nodiscard]] int Port() const { return port_; }
    [[nodiscard]] std::string Url(const std::string& path = "/sync") const;
    [[nodiscard]] std::vector<RecordedRequest> Requests() const;
    [[nodiscard]] int Accepted() const { return accepted_.load(); }
    // Benchmarks keep only the targets and headers, not megabytes of bodies.
    void KeepBodies(bool keep) { keepBodies_ = keep; }

private:
    friend class Connection;
    void Start();
    void Answer(Connection& connection);

    Session session_;
    Handler handler_;
    std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> tls_{nullptr, SSL_CTX_free};
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    bool keepBodies_ = true;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::vector<int> connections_;
    std::vector<std::thread> workers_;
    std::thread acceptor_;  // last: it uses the members above
};

// Put into a reply's SessionID, makes the scripted peer answer with the session ID of
// the request it answers, as real servers do.
inline constexpr char kEchoSessionID[] = "{{SessionID}}";

// The reply with kEchoSessionID replaced by the session ID of the request, as real
// servers answer.
[[nodiscard]] std::string WithSessionID(std::string reply, const std::string& request);

// Gives the replies in order; a request beyond the list gets HTTP 500.
[[nodiscard]] ScriptedPeer::Handler InOrder(std::vector<std::string> replies);

// An HTTP/1.1 reply head with the status and Content-Length.
[[nodiscard]] std::string ReplyHead(int status, std::size_t contentLength,
                                    const std::string& extraHeaders = {});

// A loopback port whose accept queue is full: a connection attempt gets no answer.
class UnansweredPort {
public:
    UnansweredPort();
    ~UnansweredPort();
    UnansweredPort(const UnansweredPort&) = delete;
    UnansweredPort& operator=(const UnansweredPort&) = delete;
    [[nodiscard]] int Port() const { return port_; }

private:
    int port_ = 0;
    std::vector<int> sockets_;
};

// A loopback port that was free a moment ago: nothing listens on it.
[[nodiscard]] int ClosedPort();

}  // namespace orvanta::test
