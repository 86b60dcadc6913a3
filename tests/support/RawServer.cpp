#include "support/RawServer.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace orvanta::test {

RawServer::RawServer(Session session) : session_(std::move(session)) {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (listener_ >= 0) close(listener_);
        throw std::runtime_error("the raw server could not listen");
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawServer::~RawServer() {
    stopping_ = true;
    if (acceptor_.joinable()) acceptor_.join();
    {
        std::lock_guard lock(mutex_);
        for (const int fd : connections_)
            shutdown(fd, SHUT_RDWR);
    }
    for (std::thread& worker : workers_)
        worker.join();
    for (const int fd : connections_)
        close(fd);
    close(listener_);
}

std::string RawServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void RawServer::AcceptLoop() {
    while (!stopping_) {
        pollfd p{listener_, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) continue;
        ++accepted_;
        std::lock_guard lock(mutex_);
        connections_.push_back(fd);
        workers_.emplace_back([this, fd] { session_(fd, *this); });
    }
}

std::string RawServer::ReadRequest(int fd) const {
    std::string request;
    std::size_t bodyStart = std::string::npos;
    std::size_t length = 0;
    char buffer[16384];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!stopping_ && std::chrono::steady_clock::now() < deadline) {
        if (bodyStart != std::string::npos && request.size() >= bodyStart + length) break;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        request.append(buffer, static_cast<std::size_t>(n));
        if (bodyStart == std::string::npos) {
            const auto end = request.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            bodyStart = end + 4;
            const auto header = request.find("Content-Length:");
            if (header != std::string::npos && header < end) {
                length = std::stoul(request.substr(header + 15));
            }
        }
    }
    return request;
}

bool RawServer::Send(int fd, const std::string& text) const {
    std::size_t sent = 0;
    while (sent < text.size()) {
        if (stopping_) return false;
        pollfd p{fd, POLLOUT, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void RawServer::Pause(int ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void RawServer::Hold() const {
    while (!stopping_)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::string ReplyHead(int status, long long contentLength, const std::string& extraHeaders) {
    std::string head = "HTTP/1.1 " + std::to_string(status) + " Whatever\r\n" +
                       "Content-Type: application/vnd.syncml+xml\r\n";
    if (contentLength >= 0) head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
    return head + extraHeaders + "\r\n";
}

}  // namespace orvanta::test
