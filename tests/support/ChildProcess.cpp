#include "support/ChildProcess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "support/ScriptedPeer.h"

extern char** environ;

namespace orvanta::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (posix_spawnp(&pid_, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        pid_ = -1;
        throw std::runtime_error("could not start " + argv.front());
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool ChildProcess::Running() const {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

bool WaitForPort(int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TinyProxy::TinyProxy() {
    char pattern[] = "/tmp/orvanta-proxy-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("no temporary folder for tinyproxy");
    dir_ = pattern;
    port_ = ClosedPort();
    std::ofstream conf(dir_ + "/tinyproxy.conf");
    conf << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
         << "MaxClients 20\nLogLevel Error\nLogFile \"" << dir_ << "/tinyproxy.log\"\n"
         << "PidFile \"" << dir_ << "/tinyproxy.pid\"\n";
    conf.close();
    process_ = std::make_unique<ChildProcess>(
        std::vector<std::string>{"tinyproxy", "-d", "-c", dir_ + "/tinyproxy.conf"});
    if (!WaitForPort(port_, 5000)) {
        process_.reset();
        throw std::runtime_error("tinyproxy did not start on port " + std::to_string(port_));
    }
}

TinyProxy::~TinyProxy() {
    process_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

}  // namespace orvanta::test
