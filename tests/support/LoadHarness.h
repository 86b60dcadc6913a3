#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "engine/SyncMLBase.h"
#include "kinds/ContSyncML.h"
#include "support/ScriptedPeer.h"
#include "support/ServerReply.h"

namespace orvanta::test {

// A random source that gives the listed numbers in order, then repeats the last one.
[[nodiscard]] RandomSource Sequence(std::deque<std::uint32_t> values);

// A client pointed at the peer (its URL with a trailing slash, which goes) with known
// credentials, randomness and clock (15 January 2024, 08:30:00 UTC); a contacts client so.
void Configure(TSMLBase& client, const ScriptedPeer& peer);
[[nodiscard]] std::unique_ptr<TSMLContacts> ClientFor(const ScriptedPeer& peer);

// The message of the failure of type E that `action` raises: "no failure" when it
// returns, and the text marked "other failure" when it fails another way.
template <class E>
[[nodiscard]] std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("other failure: ") + e.what();
    }
    return "no failure";
}

// The client's messages as the peer received them.
[[nodiscard]] std::vector<ClientMessage> Messages(const ScriptedPeer& peer);

// The client's messages after the first, each checked to be within `limit` bytes and
// to carry Final only when it is the last.
[[nodiscard]] std::vector<ClientMessage> SplitUnder(const ScriptedPeer& peer, long limit);

// A SyncML message as lines "path=value", one per element that holds no other, in the
// order of the message: the header's under SyncHdr/, each command's under its name
// (Status/CmdRef=5); "path" alone for an empty element, "path@name=value" for an
// attribute (a namespace). Values are written as Escaped writes them; prefixes are left out.
[[nodiscard]] std::vector<std::string> Flattened(const std::string& message);
// The message those lines describe, as a server would send it: a line that names the first
// child of an element again begins the next element of that name (the second Status,
// Add or MapItem).
[[nodiscard]] std::string Unflattened(const std::vector<std::string>& lines);

// The states of a client's items in one line, such as "New Unchanged Deleted".
[[nodiscard]] std::string States(const TSMLBase& client);

}  // namespace orvanta::test
