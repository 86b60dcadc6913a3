#include "support/ForwardingProxy.h"

#include <httplib.h>

#include <regex>
#include <stdexcept>

namespace orvanta::test {

const PeerReply kClosed{0, {}, 0};

ForwardingProxy::ForwardingProxy(const std::string& upstream)
    : server_([this](const RecordedRequest& request, int) { return Forward(request); }) {
    static const std::regex url(R"(http://([^/:]+):(\d+)(/.*)?)");
    std::smatch m;
    if (!std::regex_match(upstream, m, url)) {
        throw std::invalid_argument("not an http URL with a port: " + upstream);
    }
    upstream_ = std::make_unique<httplib::Client>(m[1].str(), std::stoi(m[2]));
    upstream_->set_read_timeout(60, 0);
    path_ = m[3].matched ? m[3].str() : "/";
}

ForwardingProxy::~ForwardingProxy() = default;

std::string ForwardingProxy::Url() const {
    return server_.Url(path_);
}

void ForwardingProxy::LoseReplyOf(int request, Loss how) {
    std::lock_guard lock(mutex_);
    replies_.clear();
    forwarded_ = 0;
    how_ = how;
    lose_ = request;
}

std::vector<std::string> ForwardingProxy::Replies() const {
    std::lock_guard lock(mutex_);
    return replies_;
}

PeerReply ForwardingProxy::Forward(const RecordedRequest& request) {
    std::lock_guard lock(mutex_);
    // After the lost reply the line stays down: nothing more reaches the server.
    if (lose_ > 0 && forwarded_ >= lose_) return kClosed;
    ++forwarded_;
    const auto reply =
        upstream_->Post(request.Target, request.Body, request.Header("Content-Type"));
    replies_.push_back(reply ? reply->body : std::string());
    if (forwarded_ == lose_) {
        return how_ == Loss::Dropped ? kClosed : PeerReply{500, "Internal Server Error", 0};
    }
    return reply ? PeerReply{reply->status, reply->body, 0} : kClosed;
}

}  // namespace orvanta::test
