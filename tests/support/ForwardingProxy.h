#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/ScriptedPeer.h"

namespace httplib {
class Client;
}

namespace orvanta::test {

// An HTTP forwarder on 127.0.0.1 between the client and a real server: each request
// goes on to the server unchanged, and the server's reply comes back, except for the
// one request chosen by LoseReplyOf: the server receives and processes it, but the
// client sees the connection closed without a reply, or an HTTP 500, in its place; and
// from then on the line stays down: later requests are closed without reaching the
// server.
class ForwardingProxy {
public:
    enum class Loss { Dropped, ServerError };

    // upstream: the server's URL, http://127.0.0.1:PORT/PATH.
    explicit ForwardingProxy(const std::string& upstream);
    ~ForwardingProxy();

    // Same path as the server's, on the forwarder's port.
    [[nodiscard]] std::string Url() const;
    // The reply to the request with this number (counted from 1 from now on) is lost.
    void LoseReplyOf(int request, Loss how);
    // The requests forwarded since the last LoseReplyOf (or since the start).
    [[nodiscard]] int Forwarded() const {
        std::lock_guard lock(mutex_);
        return forwarded_;
    }
    // The server's replies to them, lost ones included.
    [[nodiscard]] std::vector<std::string> Replies() const;

private:
    PeerReply Forward(const RecordedRequest& request);

    std::unique_ptr<httplib::Client> upstream_;
    std::string path_;
    int forwarded_ = 0;
    int lose_ = 0;
    Loss how_ = Loss::Dropped;
    mutable std::mutex mutex_;
    std::vector<std::string> replies_;
    ScriptedPeer server_;  // last: its threads use the members above
};

}  // namespace orvanta::test
