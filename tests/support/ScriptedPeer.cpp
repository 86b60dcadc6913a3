#include "support/ScriptedPeer.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <stdexcept>

namespace orvanta::test {

namespace {

// A socket on 127.0.0.1, any free port, bound and, when `backlog` >= 0, listening.
int Bound(int& port, int backlog) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        (backlog >= 0 && listen(fd, backlog) != 0) ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (fd >= 0) close(fd);
        throw std::runtime_error("no free loopback port");
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// The value of a header in an HTTP head, whatever its case; empty when absent.
std::string HeaderIn(const std::string& head, const std::string& name) {
    std::smatch m;
    return std::regex_search(head, m,
                             std::regex("\r\n" + name + ":[ \t]*([^\r]*)", std::regex::icase))
               ? m[1].str()
               : std::string();
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
    return HeaderIn(Head, name);
}

std::string WithSessionID(std::string reply, const std::string& request) {
    const auto at = reply.find(kEchoSessionID);
    std::smatch m;
    if (at == std::string::npos) return reply;
    std::regex_search(request, m, std::regex("<SessionID>([^<]*)</SessionID>"));
    return reply.replace(at, std::string(kEchoSessionID).size(), m[1].str());
}

bool Connection::Stopping() const {
    return peer_.stopping_.load();
}

std::string Connection::Read() {
    std::string request;
    std::size_t bodyStart = std::string::npos;
    std::size_t length = 0;
    char buffer[16384];
    while (!Stopping()) {
        if (bodyStart != std::string::npos && request.size() >= bodyStart + length) return request;
        // TLS may hold decrypted bytes that the socket no longer shows.
        if (!ssl_ || SSL_pending(ssl_) == 0) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
        }
        const long n =
            ssl_ ? SSL_read(ssl_, buffer, sizeof buffer) : recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        request.append(buffer, static_cast<std::size_t>(n));
        if (bodyStart == std::string::npos) {
            const auto end = request.find("\r\n\r\n");
            if (end == std::string::npos) continue;
            bodyStart = end + 4;
            length = std::stoul("0" + HeaderIn(request.substr(0, end), "Content-Length"));
        }
    }
    return {};
}

bool Connection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (Stopping()) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (poll(&p, 1, 20) <= 0) continue;
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - sent, 1 << 20);
        const long n = ssl_ ? SSL_write(ssl_, bytes.data() + sent, static_cast<int>(chunk))
                            : send(fd_, bytes.data() + sent, chunk, MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

void Connection::Close() {
    shutdown(fd_, SHUT_RDWR);
}

void Connection::Pause(int ms) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Stopping() && (ms < 0 || std::chrono::steady_clock::now() < until))
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

ScriptedPeer::ScriptedPeer(Handler handler, const std::string& certFile, const std::string& keyFile)
    : session_([this](Connection& c) { Answer(c); }), handler_(std::move(handler)) {
    if (!certFile.empty()) {
        // A client that drops the connection must not end the test with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        tls_.reset(SSL_CTX_new(TLS_server_method()));
        if (SSL_CTX_use_certificate_chain_file(tls_.get(), certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(tls_.get(), keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
            throw std::runtime_error("the scripted peer could not load " + certFile);
        }
    }
    Start();
}

ScriptedPeer::ScriptedPeer(std::vector<std::string> replies)
    : ScriptedPeer(InOrder(std::move(replies))) {}

ScriptedPeer::ScriptedPeer(Session session) : session_(std::move(session)) {
    Start();
}

void ScriptedPeer::Start() {
    listener_ = Bound(port_, 16);
    acceptor_ = std::thread([this] {
        while (!stopping_) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0) continue;
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            const int yes = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            ++accepted_;
            std::lock_guard lock(mutex_);
            connections_.push_back(fd);
            workers_.emplace_back([this, fd] {
                Connection c(*this, fd);
                if (tls_) {
                    c.ssl_ = SSL_new(tls_.get());
                    SSL_set_fd(c.ssl_, fd);
                }
                if (!tls_ || SSL_accept(c.ssl_) == 1) session_(c);
                c.Close();
                SSL_free(c.ssl_);
            });
        }
    });
}

ScriptedPeer::~ScriptedPeer() {
    stopping_ = true;
    acceptor_.join();
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

std::string ScriptedPeer::Url(const std::string& path) const {
    return (tls_ ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(port_) + path;
}

std::vector<RecordedRequest> ScriptedPeer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void ScriptedPeer::Answer(Connection& c) {
    // One connection may carry several requests.
    for (std::string raw = c.Read(); !raw.empty(); raw = c.Read()) {
        const auto headEnd = raw.find("\r\n\r\n");
        const auto target = raw.find(' ') + 1;
        RecordedRequest request{raw.substr(target, raw.find(' ', target) - target),
                                raw.substr(headEnd + 4), raw.substr(0, headEnd)};
        int index;
        {
            std::lock_guard lock(mutex_);
            index = static_cast<int>(requests_.size());
            requests_.push_back(request);
            if (!keepBodies_) requests_.back().Body.clear();
        }
        PeerReply reply = handler_(request, index);
        reply.Body = WithSessionID(std::move(reply.Body), request.Body);
        c.Pause(reply.DelayMs);
        if (reply.Status == 0 || !c.Send(ReplyHead(reply.Status, reply.Body.size()) + reply.Body))
            return;
    }
}

ScriptedPeer::Handler InOrder(std::vector<std::string> replies) {
    return [replies = std::move(replies)](const RecordedRequest&, int index) {
        if (index < static_cast<int>(replies.size())) return PeerReply{200, replies[index], 0};
        return PeerReply{500, "no more replies in the script", 0};
    };
}

std::string ReplyHead(int status, std::size_t contentLength, const std::string& extraHeaders) {
    return "HTTP/1.1 " + std::to_string(status) +
           " Whatever\r\nContent-Type: application/vnd.syncml+xml\r\nContent-Length: " +
           std::to_string(contentLength) + "\r\n" + extraHeaders + "\r\n";
}

UnansweredPort::UnansweredPort() : sockets_{Bound(port_, 0)} {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    for (int i = 0; i < 2; ++i) {
        sockets_.push_back(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
        connect(sockets_.back(), reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

UnansweredPort::~UnansweredPort() {
    for (const int fd : sockets_)
        close(fd);
}

int ClosedPort() {
    int port = 0;
    close(Bound(port, -1));
    return port;
}

}  // namespace orvanta::test
