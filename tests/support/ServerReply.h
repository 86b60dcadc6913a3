#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <pugixml.hpp>

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

// A client message as the tests read it.
struct ClientStatus {
    std::string CmdID, MsgRef, CmdRef, Cmd, TargetRef, SourceRef, Data, AnchorNext;
};
struct ClientCommand {
    std::string Name, CmdID, Source, Type, Data;
    bool operator==(const ClientCommand&) const = default;
};
struct ClientMessage {
    std::string MsgID;
    std::string SessionID;
    std::string AlertLast, AlertNext;
    bool HasSync = false;
    std::vector<ClientCommand> Commands;  // the changes inside the Sync
    std::string Target;
    bool Final = false;
    std::vector<ClientStatus> Statuses;
    std::vector<std::string> AlertCodes;
    std::vector<std::string> MapCmdIDs;
    std::vector<std::pair<std::string, std::string>> MapItems;  // target, source
};
[[nodiscard]] ClientMessage ReadClientMessage(const std::string& body);

// A server for stores: it opens the session (212, Alert 202), gives each change the
// status `codeFor` gives (by default 201 for an Add, 200 otherwise; 0 for none) and asks
// for the next message (Alert 222) while the client's lacks Final. `adjust` may change
// each reply before it is sent; it gets the client's message and its index from 0.
using CodeFor = std::function<int(const ClientCommand&)>;
using AdjustReply = std::function<void(ServerReplyShape&, const ClientMessage&, int)>;
[[nodiscard]] ScriptedPeer::Handler StoreServer(CodeFor codeFor = {}, AdjustReply adjust = {});

// A server for two-way syncs: its anchors follow from session to session (no slow sync is
// forced, though a session that failed is taken as ended), confirms each change with 201 for an Add and 200 otherwise, and answers the
// client's last Sync message with its own changes, those `changes` gives for the session
// (counted from 0); every later message is confirmed with 200.
using SessionChanges = std::function<std::vector<ServerCommand>(int session)>;
[[nodiscard]] ScriptedPeer::Handler SyncServer(SessionChanges changes = {});

// A change of the server (Add, Replace, Delete, Copy ...) as XML, naming its item by
// Source and Target where they are not empty, with the payload unless it is empty.
[[nodiscard]] std::string CommandXml(
    const std::string& name, int cmdID, const std::string& source, const std::string& target,
    const std::string& data = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Name;Given;;;\r\nEND:VCARD\r\n");

// A Status of the server, as XML to put into ServerReplyShape::ExtraBodyXml.
[[nodiscard]] std::string StatusXml(int cmdID, const std::string& msgRef, const std::string& cmdRef,
                                    const std::string& cmd, int code);

}  // namespace orvanta::test
