#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvanta {
class TSMLBase;
}

namespace orvanta::fuzz {

// The fake transport of the fuzz programs stands in for the HTTP client at link time:
// each Post takes the next of these replies, as if the server had sent it. In a reply,
// "@SESSION@" stands for the session identifier and "@MSG@" for the message number of
// the request it answers, so that recorded replies fit any session. With no reply
// left, Post fails as a lost connection does.
void SetReplies(std::vector<std::string> replies);
[[nodiscard]] std::size_t RepliesTaken();
// The bodies the client posted since SetReplies, in order.
[[nodiscard]] const std::vector<std::string>& RequestsSent();

// A store client of the kind `selector` picks (calendar, contacts, tasks, notes), with
// a fixed clock and a counting random source so that every run sends the same bytes.
[[nodiscard]] std::unique_ptr<TSMLBase> MakeClient(std::uint8_t selector);

}  // namespace orvanta::fuzz
