#include "support/ChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/ScriptedPeer.h"

extern char** environ;

namespace orvanta::test {

namespace {

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    return ok;
}

}  // namespace

TinyProxy::TinyProxy() {
    if (!mkdtemp(dir_)) throw std::runtime_error("no temporary folder for tinyproxy");
    const std::string dir = dir_;
    port_ = ClosedPort();
    std::ofstream(dir + "/tinyproxy.conf")
        << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
        << "MaxClients 20\nLogLevel Error\nLogFile \"" << dir << "/tinyproxy.log\"\n"
        << "PidFile \"" << dir << "/tinyproxy.pid\"\n";
    const std::string conf = dir + "/tinyproxy.conf";
    char* argv[] = {const_cast<char*>("tinyproxy"), const_cast<char*>("-d"),
                    const_cast<char*>("-c"), const_cast<char*>(conf.c_str()), nullptr};
    if (posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv, environ) != 0) {
        pid_ = -1;
        throw std::runtime_error("could not start tinyproxy");
    }
    for (int i = 0; i < 250 && !Accepts(port_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!Accepts(port_)) {
        Stop();
        throw std::runtime_error("tinyproxy did not start on port " + std::to_string(port_));
    }
}

TinyProxy::~TinyProxy() {
    Stop();
}

void TinyProxy::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        bool ended = false;
        for (int i = 0; i < 200 && !ended; ++i) {
            ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

}  // namespace orvanta::test
