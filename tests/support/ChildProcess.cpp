#include "support/ChildProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
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

ToolProcess::ToolProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::filesystem::path& cwd) {
    // The entries of `env` first, then the rest of ours, without those it names.
    std::vector<std::string> environment;
    const auto named = [&](std::string_view entry) {
        const std::string_view name = entry.substr(0, entry.find('='));
        return std::any_of(env.begin(), env.end(), [&](const std::string& e) {
            return std::string_view(e).substr(0, e.find('=')) == name;
        });
    };
    for (const std::string& entry : env)
        if (entry.find('=') != std::string::npos) environment.push_back(entry);
    for (char** e = environ; *e; ++e)
        if (!named(*e)) environment.emplace_back(*e);
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
        std::ifstream out(dir_.Path() / "out", std::ios::binary);
        std::ifstream err(dir_.Path() / "err", std::ios::binary);
        run_.Out.assign(std::istreambuf_iterator<char>(out), {});
        run_.Err.assign(std::istreambuf_iterator<char>(err), {});
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
    for (int i = 0; i < 250 && !Accepts(port_); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!Accepts(port_))
        throw std::runtime_error("tinyproxy did not start on port " + std::to_string(port_));
}

}  // namespace orvanta::test
