#include "tools/Terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "engine/SyncMLBase.h"
#include "formats/Failure.h"

namespace orvanta {

namespace {

// The terminal's settings while the password is typed without echo: a signal that ends
// the program meanwhile puts them back first, so the shell does not stay blind.
int ttyFd = -1;
termios ttySaved{};

void RestoreAndRaise(int signal) {
    tcsetattr(ttyFd, TCSAFLUSH, &ttySaved);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void Write(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string AccountPassword(const std::string& user, const std::string& server) {
    if (const char* password = std::getenv("ORVANTA_PASSWORD")) return password;
    const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (tty < 0) {
        throw Failure("No password for " + user +
                      ": set ORVANTA_PASSWORD, or run on a terminal to be asked for it");
    }
    termios quiet{};
    const bool echoOff = tcgetattr(tty, &ttySaved) == 0;
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP};
    struct sigaction previous[std::size(kSignals)]{};
    if (echoOff) {
        ttyFd = tty;
        struct sigaction restore {};
        restore.sa_handler = RestoreAndRaise;
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &restore, &previous[i]);
        quiet = ttySaved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        tcsetattr(tty, TCSAFLUSH, &quiet);
    }
    Write(tty, "Password for " + user + " at " + server + ": ");
    std::string password;
    bool ended = false;
    for (char c; !ended && password.size() < 4096;) {
        const ssize_t n = read(tty, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (c == '\n') {
            ended = true;
        } else {
            password += c;
        }
    }
    if (echoOff) {
        tcsetattr(tty, TCSAFLUSH, &ttySaved);
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &previous[i], nullptr);
        ttyFd = -1;
    } else {
        Write(tty, "\n");
    }
    close(tty);
    if (!ended) throw Failure("No password for " + user + ": the terminal gave none");
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return password;
}

TProgressLine::TProgressLine() : terminal_(isatty(STDERR_FILENO) == 1) {}

TProgressLine::~TProgressLine() {
    if (shown_) std::fprintf(stderr, "\r%60s\r", "");
}

void TProgressLine::Show(const ExchangeStats& stats) {
    if (!terminal_) return;
    shown_ = true;
    std::fprintf(stderr, "\rmessage %d: %zu KB sent, %zu KB received   ", stats.RoundTrips + 1,
                 (stats.BytesSent + 512) / 1024, (stats.BytesReceived + 512) / 1024);
    std::fflush(stderr);
}

}  // namespace orvanta
