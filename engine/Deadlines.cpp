#include "engine/Deadlines.h"

namespace orvanta {

TTransferDeadlines::TTransferDeadlines(const TransferLimits& limits, std::size_t requestBytes,
                                       TimePoint start)
    : limits_(limits),
      requestBytes_(requestBytes),
      start_(start),
      lastActivity_(start),
      windowStart_(start) {}

TTransferDeadlines::Phase TTransferDeadlines::PhaseOf(std::size_t sent,
                                                      std::size_t received) const {
    if (received > 0) return Phase::Receiving;
    // No byte of the body has gone out: the connection is not there yet.
    if (sent == 0 && requestBytes_ > 0) return Phase::Connecting;
    return sent < requestBytes_ ? Phase::Sending : Phase::Waiting;
}

Overdue TTransferDeadlines::Check(TimePoint now, std::size_t sent, std::size_t received) {
    const std::size_t moved = sent + received;
    moved_ = moved != lastMoved_;
    if (moved_) {
        lastMoved_ = moved;
        lastActivity_ = now;
    }
    const auto on = [](std::chrono::seconds limit) { return limit.count() > 0; };
    if (on(limits_.Overall) && now - start_ > limits_.Overall) return Overdue::Overall;

    const Phase phase = PhaseOf(sent, received);
    if (phase == Phase::Connecting) {
        return on(limits_.Connect) && now - start_ > limits_.Connect ? Overdue::Connect
                                                                     : Overdue::None;
    }
    if (on(limits_.Stall) && now - lastActivity_ > limits_.Stall) return Overdue::Stall;

    // The low-speed floor: the bytes of each window, from the start of the phase.
    if (phase != phase_) {
        phase_ = phase;
        windowStart_ = now;
        windowBytes_ = moved;
        return Overdue::None;
    }
    const bool judged =
        phase != Phase::Waiting && limits_.LowSpeedBytesPerSecond > 0 && on(limits_.LowSpeedWindow);
    if (!judged || now - windowStart_ < limits_.LowSpeedWindow) return Overdue::None;
    const auto floor = static_cast<std::size_t>(limits_.LowSpeedBytesPerSecond) *
                       static_cast<std::size_t>(limits_.LowSpeedWindow.count());
    if (moved - windowBytes_ < floor) return Overdue::LowSpeed;
    windowStart_ = now;
    windowBytes_ = moved;
    return Overdue::None;
}

}  // namespace orvanta
