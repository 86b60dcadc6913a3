#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "support/SyncPeer.h"

namespace httplib {
class Client;
}

namespace orvanta::test {

// An HTTP forwarder on 127.0.0.1 between the client and a real server: each request
// goes on to the server unchanged, and the server's reply comes back, except for the
// one request a fault is set for (counted from 1 from the call that sets it on):
//  - LoseReplyOf: the server receives and processes it, but the client sees the
//    connection closed without a reply, or an HTTP 500, in its place; and from then on
//    the line stays down: later requests are closed without reaching the server (the
//    HTTP client sends a request again on a fresh connection when a reused one closes
//    without a reply; a line that came back would carry that).
//  - StallAt: the exchange stops at that point and stays there, the connection open,
//    until Release (a test kills the client meanwhile); later requests pass.
//  - RewriteReplyOf: the server processes it and the client gets the rewritten reply;
//    later requests pass.
class ForwardingProxy {
public:
    enum class Loss { Dropped, ServerError };
    enum class Stall {
        Request,    // the request never reaches the server
        Reply,      // the server takes it; its reply is held
        HalfReply,  // the reply's head and the first half of its body go out, then nothing
    };
    // The reply the client gets in place of the server's (Status 0: the connection is
    // closed without one).
    using Rewrite = std::function<PeerReply(const std::string& serverReply)>;

    // upstream: the server's URL, http://127.0.0.1:PORT/PATH.
    explicit ForwardingProxy(const std::string& upstream);
    ~ForwardingProxy();

    // Same path as the server's, on the forwarder's port.
    [[nodiscard]] std::string Url() const;
    void LoseReplyOf(int request, Loss how);
    void StallAt(int request, Stall how);
    void RewriteReplyOf(int request, Rewrite rewrite);
    // Waits until the stalled request has come and stands where it was told to; false
    // when it has not within a minute.
    [[nodiscard]] bool WaitStalled();
    // Closes the stalled connection.
    void Release();
    // The requests forwarded since the last fault was set (or since the start).
    [[nodiscard]] int Forwarded() const {
        std::lock_guard lock(mutex_);
        return forwarded_;
    }
    // The server's replies to them, lost ones included.
    [[nodiscard]] std::vector<std::string> Replies() const;

private:
    void Serve(Connection& client);
    void Reset(int request);
    // Marks the stall reached and holds the connection until Release.
    void Hold(std::unique_lock<std::mutex>& lock);

    std::unique_ptr<httplib::Client> upstream_;
    std::string path_;
    int requests_ = 0;   // requests seen since the fault was set
    int forwarded_ = 0;  // of them, those that reached the server
    int at_ = 0;         // the request of the fault; 0: none
    enum class Fault { None, Stall, Rewrite } fault_ = Fault::None;
    bool lineDown_ = false;  // a lost reply: the requests after it are closed unanswered
    Stall stall_ = Stall::Reply;
    Rewrite rewrite_;
    bool stalled_ = false;
    int releases_ = 0;  // a held connection goes once this moves on
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> replies_;
    ScriptedPeer server_;  // last: its threads use the members above
};

}  // namespace orvanta::test
