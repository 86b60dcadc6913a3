#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/ReplicaSupport.h"

namespace orvanta::test {

// What a program printed and how it ended: its exit status, or -1 when a signal ended it.
struct ToolRun {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// A program of ours run as a child process, as a user or a script runs it (in the folder
// `cwd`, when given): in a session
// of its own (no controlling terminal, so nothing can ask there), stdin from /dev/null,
// its output kept in files. `env` sets NAME=VALUE in its environment, and a bare NAME
// takes that name out of it. Killed
// (SIGKILL) when the object goes while it runs.
class ToolProcess {
public:
    ToolProcess(const std::string& program, const std::vector<std::string>& args,
                const std::vector<std::string>& env = {}, const std::filesystem::path& cwd = {});
    ~ToolProcess();

    // Waits for the end.
    ToolRun Wait();
    // kill -9, and waits for the end.
    ToolRun Kill();

private:
    TempFolder dir_;
    pid_t pid_ = -1;
    ToolRun run_;
};

// A tinyproxy on 127.0.0.1 with a configuration of its own in a temporary folder,
// killed and its folder removed when the object goes.
class TinyProxy {
public:
    TinyProxy();
    [[nodiscard]] int Port() const { return port_; }

private:
    TempFolder dir_;
    int port_ = 0;
    std::unique_ptr<ToolProcess> process_;
};

}  // namespace orvanta::test
