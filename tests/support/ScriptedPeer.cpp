#include "support/ScriptedPeer.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "support/ServerReply.h"

namespace orvanta::test {

std::string RecordedRequest::Header(const std::string& name) const {
    for (const auto& [key, value] : Headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    }
    return {};
}

namespace {

void EchoSessionID(const std::string& request, std::string& reply) {
    const std::string marker = kEchoSessionID;
    const auto at = reply.find(marker);
    if (at == std::string::npos) return;
    const auto open = request.find("<SessionID>");
    const auto close = request.find("</SessionID>");
    const std::string id = open == std::string::npos || close < open
                               ? std::string()
                               : request.substr(open + 11, close - open - 11);
    reply.replace(at, marker.size(), id);
}

}  // namespace

ScriptedPeer::Handler InOrder(std::vector<std::string> replies) {
    return [replies = std::move(replies)](const RecordedRequest&, int index) {
        if (index < static_cast<int>(replies.size())) return PeerReply{200, replies[index], 0};
        return PeerReply{500, "no more replies in the script", 0};
    };
}

ScriptedPeer::ScriptedPeer(std::vector<std::string> replies)
    : ScriptedPeer(InOrder(std::move(replies))) {}

ScriptedPeer::ScriptedPeer(Handler handler, const std::string& certFile, const std::string& keyFile)
    : handler_(std::move(handler)),
      server_(certFile.empty()
                  ? std::make_unique<httplib::Server>()
                  : std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())),
      tls_(!certFile.empty()) {
    server_->Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
        RecordedRequest recorded{req.target, req.body, {}};
        for (const auto& [key, value] : req.headers)
            recorded.Headers.emplace(key, value);
        int index;
        {
            std::lock_guard lock(mutex_);
            index = static_cast<int>(requests_.size());
            requests_.push_back(recorded);
            if (!keepBodies_) requests_.back().Body.clear();
        }
        PeerReply reply = handler_(recorded, index);
        EchoSessionID(recorded.Body, reply.Body);
        if (reply.DelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.DelayMs));
        res.status = reply.Status;
        res.set_content(reply.Body, "application/vnd.syncml+xml");
    });
    // Replies leave in two writes (head, body); without TCP_NODELAY the second one waits
    // for the client's delayed acknowledgement, 40 ms a round trip.
    server_->set_socket_options([](socket_t sock) {
        const int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    });
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the scripted peer could not bind a port");
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    for (int i = 0; i < 500 && !server_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

ScriptedPeer::~ScriptedPeer() {
    server_->stop();
    if (thread_.joinable()) thread_.join();
}

std::string ScriptedPeer::Url(const std::string& path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::vector<RecordedRequest> ScriptedPeer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

int ClosedPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) close(fd);
        throw std::runtime_error("no free loopback port");
    }
    close(fd);
    return ntohs(addr.sin_port);
}

}  // namespace orvanta::test
