#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace orvanta::test {

// One request as the peer saw it.
struct RecordedRequest {
    std::string Target;  // path and query exactly as sent
    std::string Body;
    std::multimap<std::string, std::string> Headers;
    [[nodiscard]] std::string Header(const std::string& name) const;
};

struct PeerReply {
    int Status = 200;
    std::string Body;
    int DelayMs = 0;  // answers late, to exercise the client's time-out
};

// A SyncML server of our own on 127.0.0.1 that answers each POST from a script.
class ScriptedPeer {
public:
    // handler(request, index of the request from 0) gives the reply.
    using Handler = std::function<PeerReply(const RecordedRequest&, int)>;

    // With a certificate and key (PEM files), over https.
    explicit ScriptedPeer(Handler handler, const std::string& certFile = {},
                          const std::string& keyFile = {});
    // Replies in order (InOrder).
    explicit ScriptedPeer(std::vector<std::string> replies);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    [[nodiscard]] int Port() const { return port_; }
    [[nodiscard]] std::string Url(const std::string& path = "/sync") const;
    [[nodiscard]] std::vector<RecordedRequest> Requests() const;
    // Benchmarks keep only the targets and headers, not megabytes of bodies.
    void KeepBodies(bool keep) { keepBodies_ = keep; }

private:
    Handler handler_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    bool tls_ = false;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    bool keepBodies_ = true;
};

// Gives the replies in order; a request beyond the list gets HTTP 500.
[[nodiscard]] ScriptedPeer::Handler InOrder(std::vector<std::string> replies);

// A loopback port that was free a moment ago: nothing listens on it.
[[nodiscard]] int ClosedPort();

}  // namespace orvanta::test
