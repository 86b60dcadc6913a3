#include "support/ChildProcess.h"

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "support/Payloads.h"
#include "support/SyncPeer.h"

extern char** environ;

namespace orvanta::test {

ToolProcess::ToolProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::filesystem::path& cwd) {
    // The entries of `env` first, then the rest of ours, without those it names.
    std::vector<std::string> environment;
    std::set<std::string> named;
    for (const std::string& entry : env) {
        named.insert(entry.substr(0, entry.find('=')));
        if (entry.find('=') != std::string::npos) environment.push_back(entry);
    }
    for (char** e = environ; *e; ++e)
        if (!named.contains(std::string(*e).substr(0, std::string_view(*e).find('='))))
            environment.emplace_back(*e);
    std::vector<char*> argv{const_cast<char*>(program.c_str())}, envp;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    for (std::string& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, (dir_.Path() / "out").c_str(), O_WRONLY | O_CREAT,
                                     0600);
    posix_spawn_file_actions_addopen(&files, 2, (dir_.Path() / "err").c_str(), O_WRONLY | O_CREAT,
                                     0600);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&files, cwd.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    const int error =
        posix_spawnp(&pid_, program.c_str(), &files, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (error != 0) {
        pid_ = -1;
        throw std::runtime_error("could not start " + program);
    }
}

ToolProcess::~ToolProcess() {
    if (pid_ > 0) Kill();
}

ToolRun ToolProcess::Wait() {
    if (pid_ > 0) {
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        run_.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run_.Out = ReadFile(dir_.Path() / "out");
        run_.Err = ReadFile(dir_.Path() / "err");
    }
    return run_;
}

ToolRun ToolProcess::Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
    return Wait();
}

TinyProxy::TinyProxy() : port_(ClosedPort()) {
    const std::string dir = dir_.Path().string();
    std::ofstream(dir + "/tinyproxy.conf")
        << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\nAllow 127.0.0.1\n"
        << "MaxClients 20\nLogLevel Error\nLogFile \"" << dir << "/tinyproxy.log\"\n"
        << "PidFile \"" << dir << "/tinyproxy.pid\"\n";
    process_ = std::make_unique<ToolProcess>(
        "tinyproxy", std::vector<std::string>{"-d", "-c", dir + "/tinyproxy.conf"});
    // Up once it answers a request (with its own error page).
    const auto up = [this] {
        return static_cast<bool>(httplib::Client("127.0.0.1", port_).Get("/"));
    };
    for (int i = 0; i < 250 && !up(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!up()) throw std::runtime_error("tinyproxy did not start on port " + std::to_string(port_));
}

}  // namespace orvanta::test
