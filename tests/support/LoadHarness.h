#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engine/SyncMLBase.h"
#include "items/ContSyncML.h"
#include "support/ScriptedPeer.h"
#include "support/ServerReply.h"

namespace orvanta::test {

// A random source that gives the listed numbers in order, then repeats the last one.
[[nodiscard]] RandomSource Sequence(std::deque<std::uint32_t> values);
// 15 January 2024, 08:30:00 UTC.
[[nodiscard]] TDateTime FixedClock();

// A contacts client pointed at the peer with known credentials, clock and randomness.
[[nodiscard]] std::unique_ptr<TSMLContacts> ClientFor(const ScriptedPeer& peer);

// The client's messages as the peer received them.
[[nodiscard]] std::vector<ClientMessage> Messages(const ScriptedPeer& peer);

}  // namespace orvanta::test
