#pragma once

#include <chrono>
#include <cstddef>

namespace orvanta {

// How long one HTTP request may take and how slowly it may move. 0 turns a limit off.
struct TransferLimits {
    // Until the request starts to go out: name lookup, connection, TLS handshake, proxy.
    std::chrono::seconds Connect{15};
    // Without a byte moving in either direction: a server that never starts its reply,
    // or stops in the middle of it.
    std::chrono::seconds Stall{30};
    // Slower than this on average over LowSpeedWindow (a server that trickles). Judged
    // while the request goes out and while the reply comes in, each from its own start,
    // not while the server thinks between the two: that is the stall deadline's part.
    long LowSpeedBytesPerSecond = 100;
    std::chrono::seconds LowSpeedWindow{30};
    // The whole request and its reply, however they move: a server that keeps just
    // above the low-speed floor is ended all the same.
    std::chrono::seconds Overall{600};
};

// The deadline a transfer passed.
enum class Overdue { None, Connect, Stall, LowSpeed, Overall };

// The deadlines of one request. The caller reads its clock and the bytes moved, and
// asks at each turn of its transfer loop whether a deadline has passed; the clock stays
// outside, so that every deadline can be tried without waiting for it.
class TTransferDeadlines {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // requestBytes: the size of the body to send, which tells sending from waiting.
    TTransferDeadlines(const TransferLimits& limits, std::size_t requestBytes, TimePoint start);

    // The bytes of the request sent and of the reply received by `now` (never fewer than
    // at the last call); gives the deadline passed, if any.
    [[nodiscard]] Overdue Check(TimePoint now, std::size_t sent, std::size_t received);
    // Whether the last Check saw more bytes moved than the one before it.
    [[nodiscard]] bool Moved() const { return moved_; }

private:
    enum class Phase { Connecting, Sending, Waiting, Receiving };
    [[nodiscard]] Phase PhaseOf(std::size_t sent, std::size_t received) const;

    TransferLimits limits_;
    std::size_t requestBytes_;
    TimePoint start_;
    TimePoint lastActivity_;
    std::size_t lastMoved_ = 0;
    bool moved_ = false;
    Phase phase_ = Phase::Connecting;
    TimePoint windowStart_;
    std::size_t windowBytes_ = 0;
};

}  // namespace orvanta
