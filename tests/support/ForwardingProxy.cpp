#include "support/ForwardingProxy.h"

#include <httplib.h>
#include <sys/socket.h>

#include <regex>
#include <stdexcept>

namespace orvanta::test {

ForwardingProxy::ForwardingProxy(const std::string& upstream)
    : server_([this](int fd, RawServer& server) { Serve(fd, server); }) {
    static const std::regex url(R"(http://([^/:]+):(\d+)(/.*)?)");
    std::smatch m;
    if (!std::regex_match(upstream, m, url)) {
        throw std::invalid_argument("not an http URL with a port: " + upstream);
    }
    host_ = m[1];
    port_ = std::stoi(m[2]);
    path_ = m[3].matched ? m[3].str() : "/";
}

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

void ForwardingProxy::Serve(int fd, RawServer& server) {
    httplib::Client upstream(host_, port_);
    upstream.set_read_timeout(60, 0);
    // One connection may carry several requests; each is forwarded in turn.
    for (;;) {
        const std::string request = server.ReadRequest(fd);
        const auto headEnd = request.find("\r\n\r\n");
        if (headEnd == std::string::npos) return;
        const auto lineEnd = request.find("\r\n");
        const std::string line = request.substr(0, lineEnd);
        const auto target = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
        std::string type = "application/vnd.syncml+xml";
        static const std::regex typeHeader(R"(\r\nContent-Type:\s*([^\r]*))", std::regex::icase);
        std::smatch m;
        const std::string head = request.substr(0, headEnd);
        if (std::regex_search(head, m, typeHeader)) type = m[1];
        const std::string body = request.substr(headEnd + 4);

        const int lose = lose_.load();
        int number = 0;
        {
            std::lock_guard lock(mutex_);
            number = forwarded_ + 1;
            // After the lost reply the line stays down: nothing more reaches the server.
            if (lose > 0 && number > lose) {
                shutdown(fd, SHUT_RDWR);
                return;
            }
            forwarded_ = number;
        }
        const auto reply = upstream.Post(target, body, type);
        {
            std::lock_guard lock(mutex_);
            replies_.push_back(reply ? reply->body : std::string());
        }
        if (number == lose) {
            if (how_.load() == Loss::Dropped) {
                shutdown(fd, SHUT_RDWR);
                return;
            }
            const std::string text = "Internal Server Error";
            server.Send(fd, ReplyHead(500, static_cast<long long>(text.size())) + text);
            continue;
        }
        if (!reply) return;
        server.Send(
            fd, ReplyHead(reply->status, static_cast<long long>(reply->body.size())) + reply->body);
    }
}

}  // namespace orvanta::test
