#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "support/SyncPeer.h"

namespace orvanta::test {

// A scripted peer in a child process, so that the benchmark's own peak resident size is
// the client's alone. The child builds its handler (and whatever data it serves) after
// the fork and serves until the parent closes the pipe.
class ForkedPeer {
public:
    explicit ForkedPeer(const std::function<ScriptedPeer::Handler()>& makeHandler) {
        int toParent[2], toChild[2];
        if (pipe(toParent) != 0 || pipe(toChild) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ < 0) throw std::runtime_error("fork");
        if (pid_ == 0) {
            close(toParent[0]);
            close(toChild[1]);
            Serve(makeHandler, toParent[1], toChild[0]);
            _exit(0);
        }
        close(toParent[1]);
        close(toChild[0]);
        release_ = toChild[1];
        if (read(toParent[0], &port_, sizeof port_) != sizeof port_) {
            throw std::runtime_error("the peer did not start");
        }
        close(toParent[0]);
    }
    ~ForkedPeer() {
        close(release_);
        waitpid(pid_, nullptr, 0);
    }
    ForkedPeer(const ForkedPeer&) = delete;
    ForkedPeer& operator=(const ForkedPeer&) = delete;

    [[nodiscard]] std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/sync";
    }

private:
    static void Serve(const std::function<ScriptedPeer::Handler()>& makeHandler, int portOut,
                      int releaseIn) {
        ScriptedPeer peer(makeHandler());
        peer.KeepBodies(false);
        const int port = peer.Port();
        if (write(portOut, &port, sizeof port) != sizeof port) return;
        close(portOut);
        char byte;
        while (read(releaseIn, &byte, 1) > 0) {
        }
    }

    pid_t pid_ = -1;
    int port_ = 0;
    int release_ = -1;
};

}  // namespace orvanta::test
