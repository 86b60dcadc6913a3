#pragma once

#include <string>

namespace orvanta {

struct ExchangeStats;

// The account's password, never taken from the command line (where other users see it in
// the process list): ORVANTA_PASSWORD when it is set, else asked on the terminal without
// echo. Fails (Failure) when neither is there, or the answer is cut short.
[[nodiscard]] std::string AccountPassword(const std::string& user, const std::string& server);

// Progress of an exchange on stderr, one line rewritten in place, only when stderr is a
// terminal: a script's logs get no progress lines.
class TProgressLine {
public:
    TProgressLine();
    ~TProgressLine();
    TProgressLine(const TProgressLine&) = delete;
    TProgressLine& operator=(const TProgressLine&) = delete;

    void Show(const ExchangeStats& stats);

private:
    bool shown_ = false;
    bool terminal_ = false;
};

}  // namespace orvanta
