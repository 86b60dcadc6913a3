#include "support/ForwardingProxy.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace orvanta::test {

ForwardingProxy::ForwardingProxy(const std::string& upstream)
    : server_([this](Connection& client) { Serve(client); }) {
    const auto path = upstream.find('/', upstream.find("//") + 2);
    upstream_ = std::make_unique<httplib::Client>(upstream.substr(0, path));
    if (!upstream_->is_valid()) throw std::invalid_argument("not an http URL: " + upstream);
    upstream_->set_read_timeout(60, 0);
    path_ = path == std::string::npos ? "/" : upstream.substr(path);
}

ForwardingProxy::~ForwardingProxy() {
    Release();
}

std::string ForwardingProxy::Url() const {
    return server_.Url(path_);
}

void ForwardingProxy::Reset(int request) {
    replies_.clear();
    requests_ = forwarded_ = 0;
    at_ = request;
    stalled_ = false;
    lineDown_ = false;
}

void ForwardingProxy::LoseReplyOf(int request, Loss how) {
    RewriteReplyOf(request, [how](const std::string&) {
        return how == Loss::Dropped ? PeerReply{0, {}, 0}
                                    : PeerReply{500, "Internal Server Error", 0};
    });
    std::lock_guard lock(mutex_);
    lineDown_ = true;
}

void ForwardingProxy::StallAt(int request, Stall how) {
    std::lock_guard lock(mutex_);
    Reset(request);
    fault_ = Fault::Stall;
    stall_ = how;
}

void ForwardingProxy::RewriteReplyOf(int request, Rewrite rewrite) {
    std::lock_guard lock(mutex_);
    Reset(request);
    fault_ = Fault::Rewrite;
    rewrite_ = std::move(rewrite);
}

bool ForwardingProxy::WaitStalled() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::minutes(1), [this] { return stalled_; });
}

void ForwardingProxy::Release() {
    std::lock_guard lock(mutex_);
    ++releases_;
    changed_.notify_all();
}

std::vector<std::string> ForwardingProxy::Replies() const {
    std::lock_guard lock(mutex_);
    return replies_;
}

void ForwardingProxy::Hold(std::unique_lock<std::mutex>& lock) {
    stalled_ = true;
    changed_.notify_all();
    const int mine = releases_;
    changed_.wait(lock, [this, mine] { return releases_ != mine; });
}

void ForwardingProxy::Serve(Connection& client) {
    // One connection may carry several requests.
    for (std::string raw = client.Read(); !raw.empty(); raw = client.Read()) {
        const auto headEnd = raw.find("\r\n\r\n");
        const auto target = raw.find(' ') + 1;
        const RecordedRequest request{raw.substr(target, raw.find(' ', target) - target),
                                      raw.substr(headEnd + 4), raw.substr(0, headEnd)};
        std::unique_lock lock(mutex_);
        const bool faulty = ++requests_ == at_;
        // After a lost reply the line stays down: nothing more reaches the server.
        if (lineDown_ && at_ > 0 && requests_ > at_) return;
        if (faulty && fault_ == Fault::Stall && stall_ == Stall::Request) return Hold(lock);
        ++forwarded_;
        lock.unlock();
        const auto reply =
            upstream_->Post(request.Target, request.Body, request.Header("Content-Type"));
        PeerReply answer = reply ? PeerReply{reply->status, reply->body, 0} : PeerReply{0, {}, 0};
        lock.lock();
        replies_.push_back(answer.Body);
        if (faulty && fault_ == Fault::Stall) {
            if (stall_ == Stall::HalfReply) {
                client.Send(ReplyHead(answer.Status, answer.Body.size()) +
                            answer.Body.substr(0, answer.Body.size() / 2));
            }
            return Hold(lock);
        } else if (faulty && fault_ == Fault::Rewrite) {
            answer = rewrite_(answer.Body);
        }
        lock.unlock();
        if (answer.Status == 0 ||
            !client.Send(ReplyHead(answer.Status, answer.Body.size()) + answer.Body))
            return;
    }
}

}  // namespace orvanta::test
