#pragma once

namespace orvanta::test {

// A tinyproxy on 127.0.0.1 with a configuration of its own in a temporary folder,
// ended (SIGTERM, then SIGKILL) and its folder removed when the object goes.
class TinyProxy {
public:
    TinyProxy();
    ~TinyProxy();
    TinyProxy(const TinyProxy&) = delete;
    TinyProxy& operator=(const TinyProxy&) = delete;
    [[nodiscard]] int Port() const { return port_; }

private:
    void Stop();
    char dir_[32] = "/tmp/orvanta-proxy-XXXXXX";
    int port_ = 0;
    int pid_ = -1;
};

}  // namespace orvanta::test
