#pragma once

// The SyncML side of the loopback peer: replies as servers write them, a store server that
// accepts every change, the client's messages as the tests read them, and a client set up
// for the peer with a known clock and random source.

#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "engine/SyncMLBase.h"
#include "kinds/ContSyncML.h"
#include "support/ScriptedPeer.h"

namespace orvanta::test {

// One command inside the server's Sync.
struct ServerCommand {
    std::string Name = "Add";
    std::string CmdID;
    std::string LocURI;               // Source for Add, Target for Replace and Delete
    std::optional<std::string> Data;  // sent as CDATA
};

// A reply of the server, written the way real servers write them: SyncML namespace on
// the root, metinf namespace on Meta children, payloads as CDATA.

struct ServerReplyShape {
    std::string SessionID = kEchoSessionID;
    std::string MsgID = "1";
    std::string StatusMsgRef = "1";
    std::string RespURI;
    long MaxMsgSize = 0;
    std::optional<int> HeaderStatus = 212;
    std::optional<int> AlertStatus = 200;  // Status for the client's Alert (CmdRef 2)
    bool Alert = true;
    std::string AlertCmdID = "5";
    std::string AlertCode = "201";
    std::string LastAnchor;  // left out when empty
    std::string NextAnchor = "srv-anchor-1";
    bool Sync = true;
    std::string SyncCmdID = "6";
    std::vector<ServerCommand> Commands;
    std::string ExtraSyncXml;  // raw children appended inside the Sync
    std::string ExtraBodyXml;  // raw commands appended to the body before Final
    bool Final = true;
};

[[nodiscard]] std::string BuildServerReply(const ServerReplyShape& shape);

// A reply that only acknowledges the client's message `msgID` (Status 200 for its
// header, no Alert, no Sync), with Final unless the caller clears it.
[[nodiscard]] ServerReplyShape Acknowledgement(int msgID);

// The reply that closes a session: the acknowledgement of message `msgID`, as text.
[[nodiscard]] std::string Closing(int msgID = 2);

// An Add for an item with the given LocURI and payload, CmdIDs counting from `cmdID`.
[[nodiscard]] std::vector<ServerCommand> Adds(int count, int firstCmdID,
                                              const std::string& idPrefix = "item");

// A realistic vCard 2.1 contact of about 400 bytes with quoted-printable fields,
// numbered so that every one is different.
[[nodiscard]] std::string SampleContact(int number);

// One command of a client message as the tests read it, with its values by path below it
// (CmdRef, Item/Source/LocURI), as Flattened gives them.
struct MessagePart {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Values;
    // The first value at the path, or "".
    [[nodiscard]] std::string operator[](std::string_view path) const;
    // Every value at the path.
    [[nodiscard]] std::vector<std::string> All(std::string_view path) const;
};
using Message = std::vector<MessagePart>;
// The parts of a client message in order: the header (SyncHdr), each command of the body,
// and the changes inside a Sync after it (Add, Replace, Delete); Final when it is final.
[[nodiscard]] Message PartsOf(const std::string& body);
// The first part of the name, or an empty one.
[[nodiscard]] MessagePart Find(const Message& message, std::string_view name);

// A server for stores: it opens the session (212, Alert 202), gives each change the
// status `codeFor` gives (by default 201 for an Add, 200 otherwise; 0 for none) and asks
// for the next message (Alert 222) while the client's lacks Final. `adjust` may change
// each reply before it is sent; it gets the index of the request from 0.
using CodeFor = std::function<int(const MessagePart& change)>;
using AdjustReply = std::function<void(ServerReplyShape&, int)>;
[[nodiscard]] ScriptedPeer::Handler StoreServer(CodeFor codeFor = {}, AdjustReply adjust = {});

// A server for two-way syncs: its anchors follow from session to session (no slow sync
// is forced, though a session that failed is taken as ended), confirms each change with
// 201 for an Add and 200 otherwise, and answers the client's last Sync message with its
// own changes, those `changes` gives for the session (counted from 0); every later
// message is confirmed with 200.
using SessionChanges = std::function<std::vector<ServerCommand>(int session)>;
[[nodiscard]] ScriptedPeer::Handler SyncServer(SessionChanges changes = {});

// A Status of the server, as XML to put into ServerReplyShape::ExtraBodyXml.
[[nodiscard]] std::string StatusXml(int cmdID, const std::string& msgRef, const std::string& cmdRef,
                                    const std::string& cmd, int code);

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
[[nodiscard]] std::vector<Message> Messages(const ScriptedPeer& peer);

// A SyncML message as lines "path=value", one per element that holds no other, in the
// order of the message: the header's under SyncHdr/, each command's under its name
// (Status/CmdRef=5); "path" alone for an empty element, "path@name=value" for an
// attribute (a namespace). Values are written as Escaped writes them; prefixes are left out.
[[nodiscard]] std::vector<std::string> Flattened(const std::string& message);
// The message those lines describe, as a server would send it: a line that names the first
// child of an element again begins the next element of that name (the second Status,
// Add or MapItem).
[[nodiscard]] std::string Unflattened(const std::vector<std::string>& lines);


}  // namespace orvanta::test
