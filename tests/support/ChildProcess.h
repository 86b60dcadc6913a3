#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orvanta::test {

// A program started by a test and ended (SIGTERM, then SIGKILL) when the object goes.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool Running() const;

private:
    int pid_ = -1;
};

// Waits up to timeoutMs for a TCP listener on 127.0.0.1:port.
[[nodiscard]] bool WaitForPort(int port, int timeoutMs);

// A tinyproxy on 127.0.0.1 with a configuration of its own in a temporary folder.
class TinyProxy {
public:
    TinyProxy();
    ~TinyProxy();
    [[nodiscard]] int Port() const { return port_; }

private:
    std::string dir_;
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

}  // namespace orvanta::test
