#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "engine/SyncMLMessage.h"

namespace orvanta {

class TSMLBase;

// One Status command of the client.
struct OutgoingStatus {
    std::string MsgRef;
    std::string CmdRef;
    std::string Cmd;
    std::string TargetRef;  // left out when empty
    std::string SourceRef;  // left out when empty
    StatusCode Code = StatusCode::Ok;
    // The server's data-store Alert is answered with its Next anchor.
    std::optional<std::string> AnchorNext;
};

// One container command the client sends (the Sync with its changes, the Map with its
// MapItems): its units go into as many messages as they need, and the container is
// opened again, with a new CmdID, in every message.
struct TContainer {
    const char* Name = nullptr;
    // Writes into the open container: its head after the CmdID, and one unit.
    std::function<void(TMessageWriter& message)> Head;
    std::function<std::size_t()> UnitCount;
    std::function<void(TMessageWriter& message, std::size_t unit)> AppendUnit;
    std::size_t NextUnit = 0;
    // Whether the container goes out once even without units (an empty Sync). A Map
    // without a MapItem makes servers abort the session, so it is left out.
    bool SendWhenEmpty = true;
    bool Sent = false;
    // The CmdID of the container in the message being written: the server's Status for
    // the container names it.
    long long CmdID = 0;
    // The units are the exchange's items (a store's changes): ExchangeStats::Items
    // counts those sent.
    bool UnitsAreItems = false;

    [[nodiscard]] bool UnitsLeft() const { return UnitCount && NextUnit < UnitCount(); }
    [[nodiscard]] bool Done() const { return !UnitsLeft() && (Sent || !SendWhenEmpty); }
};

// What the client still has to send in a session: statuses first, then the containers
// in their order, then a tail command. SendQueued spreads them over as many messages as
// the server's size limit needs.
struct TOutbox {
    std::deque<OutgoingStatus> Statuses;
    std::vector<TContainer> Containers;
    std::function<void()> Tail;
};

// How a session names this device and what it declares it can do.
struct SessionIdentity {
    std::string DeviceID;  // empty: the client's own, which names the program's kind
    bool TwoWay = false;   // the device information offers two-way sync
};

// One SyncML session of a store client: the session ID, the message numbering, the
// response URI and size limit from the server, the HTTP round trips and the checks of
// the server's Statuses for the session and the data source. The connection is closed
// when the session object goes, whether the exchange succeeded or not.
class TSyncSession {
public:
    // More round trips than any real store needs; a server that keeps a session
    // going beyond this is stopped with a failure.
    static constexpr int kMaxRoundTrips = 5000;
    // The largest message the client accepts, declared in every message header.
    static constexpr long kClientMaxMsgSize = 1048576;
    // The largest reply the client takes in: many times its own limit, for a server that
    // sends one item larger than that whole; far more is no message of this session and
    // is refused as it comes in.
    static constexpr std::size_t kMaxReplyBytes = 16 * std::size_t{kClientMaxMsgSize};

    TSyncSession(TSMLBase& client, std::string_view prefix, SessionIdentity identity = {});
    ~TSyncSession();
    TSyncSession(const TSyncSession&) = delete;
    TSyncSession& operator=(const TSyncSession&) = delete;

    [[nodiscard]] const std::string& SessionID() const { return sessionID_; }
    [[nodiscard]] const std::string& ResponseURI() const { return responseURI_; }
    [[nodiscard]] long long MaxMsgSize() const { return maxMsgSize_; }
    [[nodiscard]] const std::string& DeviceID() const { return deviceID_; }

    // Message 1 and its reply: the device information, the data-store Alert with the
    // anchors (and, with withSync, an empty Sync), Final. Fails when the server refuses
    // the session or the data source, or does not open the data source with an Alert;
    // a 508 for the Alert (the server needs a slow sync) only when refreshAccepted is
    // false. Gives the server's Status for the Alert.
    StatusCode Open(AlertCode alert, const std::optional<std::string>& last,
                    const std::string& next, bool withSync, bool refreshAccepted = false);

    [[nodiscard]] long long NextCmdID() { return ++cmdID_; }
    // The data sources a command of the client names: the server's as its Target, the
    // client's as its Source.
    void AppendDataSources(TMessageWriter& message) const;
    // A container of the client's (Sync, Map) whose head names the data sources.
    [[nodiscard]] TContainer Container(const char* name) const;
    // One MapItem: the server's identifier of an item and the client's.
    static void AppendMapItem(TMessageWriter& message, std::string_view serverID,
                              std::string_view luid);
    // Alert 222: the client asks for the server's next message.
    void AppendNextMessageAlert();

    // Sends what the outbox holds, split under the server's MaxMsgSize. Each message but
    // the last goes without Final; the reply to each of those is handed to answer,
    // which queues what it needs. The reply to the last message is left for the caller.
    void SendQueued(TOutbox& outbox, bool final, const std::function<void()>& answer);

    [[nodiscard]] pugi::xml_node ReplyHeader() const;
    [[nodiscard]] pugi::xml_node ReplyBody() const;
    [[nodiscard]] const std::string& ReplyMsgID() const { return replyMsgID_; }
    [[nodiscard]] bool ReplyFinal() const;
    // The code of the reply's Status for the client's command cmdRef of message msgRef.
    [[nodiscard]] std::optional<StatusCode> ReplyStatus(std::string_view msgRef,
                                                 std::string_view cmdRef) const;
    // The Status the client sends for the header of the current reply.
    [[nodiscard]] OutgoingStatus HeaderStatus() const;

    // Called for each Add, Replace and Delete of the server's Sync that names an item,
    // with the command's name and the item's identifier; gives the Status code.
    using ServerItemHandler = std::function<StatusCode(pugi::xml_node command,
                                                       std::string_view name, const std::string& id)>;
    // Queues, at the front of the outbox, the Statuses that answer the current reply:
    // its header, each Alert (the data-store Alert of the first reply with the
    // server's anchor), each Sync and each command inside it, Atomic and Sequence
    // wherever they stand and what they hold. Add, Replace and Delete in a Sync go to
    // onItem; one that names no item is answered 412 (incomplete); Copy and Move, and
    // changes outside any Sync, 406 (not supported). The server's device information
    // (Put) is taken with 200, Get, Exec, Search and Map are answered 406. Those refused
    // that carry items are added to the client's Refused.
    void AnswerReply(TOutbox& outbox, bool firstReply, const ServerItemHandler& onItem);
    // Whether the current reply holds commands that want an answer (not only Statuses).
    [[nodiscard]] bool ReplyHasCommands() const;
    [[nodiscard]] int MsgID() const { return msgID_; }
    // Hands the client's LastExchange to its OnProgress.
    void ReportProgress() const;

private:
    // Starts the next message: header (with credentials on the first), the body opened.
    void BeginMessage();
    // Message 1's commands.
    void AppendDevInfPut();
    // The Alert for the data store with the anchors.
    void AppendStoreAlert(AlertCode code, const std::optional<std::string>& last,
                          const std::string& next);
    void AppendSync();
    void AppendStatus(const OutgoingStatus& status);
    // Sends the message, with Final when asked, and reads the reply. Fails when the
    // server refuses the session (Status for the SyncHdr outside 2xx).
    void Send(bool final);
    // Fails when the server refused the client's data-store Alert.
    void CheckAlertAccepted(std::string_view msgRef, std::string_view cmdRef, AlertCode alert,
                            bool refreshAccepted) const;
    // Fails when the reply belongs to another session or answers another message.
    void CheckSameSession() const;
    // Takes the reply's RespURI; refuses one that would leave https.
    void TakeResponseURI(const std::string& uri);
    [[noreturn]] void LimitTooSmall() const;

    [[nodiscard]] bool Fits(std::size_t reserve) const;

    TSMLBase& client_;
    std::string deviceID_;
    bool twoWay_;
    std::string sessionID_;
    std::string responseURI_;
    long long maxMsgSize_ = 0;               // 0: the server gave no limit
    AlertCode alert_ = AlertCode::SlowSync;  // the data-store Alert the session opened with
    int msgID_ = 0;
    long long cmdID_ = 0;

    TMessageWriter message_;  // kept, with its capacity, from message to message
    std::string replyText_;   // the reply document points into it
    pugi::xml_document reply_;
    std::string replyMsgID_;
};

// The text the user reads for a failure Status of the server, for the session's header
// or (forAlert) its data-store Alert; sessionAlert: the Alert the session opened with.
[[nodiscard]] std::string RefusalMessage(StatusCode code, const std::string& dataSource,
                                         bool forAlert,
                                         AlertCode sessionAlert);

}  // namespace orvanta
