#include "engine/SyncMLSession.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "engine/SyncMLBase.h"
#include "formats/TextCodec.h"

namespace orvanta {

namespace {

// Room kept free in every message for <Final/>, a tail command and the closing tags.
constexpr std::size_t kReserveBytes = 512;

std::string Meaning(StatusCode code) {
    switch (Number(code)) {
        case 400:
            return "the request was malformed";
        case 401:
            return "the credentials were refused";
        case 403:
            return "access is forbidden";
        case 404:
            return "not found";
        case 405:
            return "the command is not allowed";
        case 406:
            return "an optional feature is not supported";
        case 407:
            return "credentials are missing";
        case 408:
            return "the request timed out";
        case 412:
            return "the command was incomplete";
        case 413:
            return "the request was too large";
        case 415:
            return "the data type is not supported";
        case 417:
            return "retry later";
        case 500:
            return "the command failed on the server";
        case 503:
            return "the service is unavailable";
        case 506:
            return "the server could not process the command";
        case 508:
            return "a full synchronisation is required";
        case 511:
            return "server failure";
        case 512:
            return "the synchronisation failed";
        case 513:
            return "the protocol version is not supported";
        default:
            return "refused";
    }
}

}  // namespace

std::string RefusalMessage(StatusCode code, const std::string& dataSource, bool forAlert,
                           AlertCode sessionAlert) {
    const std::string status = " (status " + std::to_string(Number(code)) + ")";
    if (code == StatusCode::RefreshRequired) {
        // "Refresh" loads the data source anew, which a store needs after 508; a load is
        // that already, and a full one has nothing left to do first.
        switch (sessionAlert) {
            case AlertCode::SlowSync:
                return "The server refused the full synchronisation of the data source \"" +
                       dataSource + "\"" + status;
            case AlertCode::OneWayFromClient:
                return "The server needs a full synchronisation; press \"Refresh\" first" + status;
            default:
                return "The server needs a full synchronisation of the data source \"" +
                       dataSource + "\"" + status;
        }
    }
    switch (code) {
        case StatusCode::InvalidCredentials:
            return "The server refused the credentials" + status;
        case StatusCode::MissingCredentials:
            return "The server requires credentials" + status;
        case StatusCode::NotFound:
            if (forAlert)
                return "The server does not know the data source \"" + dataSource + "\"" + status;
            break;
        default:
            break;
    }
    if (forAlert) {
        return "The server refused the data source \"" + dataSource + "\": " + Meaning(code) +
               status;
    }
    return "The server refused the session: " + Meaning(code) + status;
}

TSyncSession::TSyncSession(TSMLBase& client, std::string_view prefix, SessionIdentity identity)
    : client_(client),
      deviceID_(identity.DeviceID.empty() ? client.DeviceID : std::move(identity.DeviceID)),
      twoWay_(identity.TwoWay) {
    sessionID_ = std::string(prefix) + UTCText(client.Clock()) + client.DrawNumber(1000000);
    responseURI_ = client.ServerURL;
    client.LastExchange = {};
    client.HTTP->ContentType = "application/vnd.syncml+xml; charset=\"utf-8\"";
    client.HTTP->Accept = "application/vnd.syncml+xml";
    client.HTTP->MaxReplyBytes = kMaxReplyBytes;
    client.Refused.clear();
    client.HTTP->OnProgress = [this](std::size_t sent, std::size_t received) {
        if (!client_.OnProgress) return;
        ExchangeStats now = client_.LastExchange;
        now.BytesSent += sent;
        now.BytesReceived += received;
        client_.OnProgress(now);
    };
    client.BeginExchange();
}

TSyncSession::~TSyncSession() {
    client_.EndExchange();
    client_.HTTP->OnProgress = nullptr;
    client_.HTTP->Close();
}

void TSyncSession::ReportProgress() const {
    if (client_.OnProgress) client_.OnProgress(client_.LastExchange);
}

StatusCode TSyncSession::Open(AlertCode alertCode, const std::optional<std::string>& last,
                              const std::string& next, bool withSync, bool refreshAccepted) {
    alert_ = alertCode;
    BeginMessage();
    AppendDevInfPut();
    AppendStoreAlert(alertCode, last, next);
    if (withSync) AppendSync();
    Send(true);
    CheckAlertAccepted("1", "2", alertCode, refreshAccepted);
    if (!Child(ReplyBody(), "Alert")) {
        throw ProtocolError("The server did not open the data source \"" + client_.DataSource +
                            "\" for synchronisation");
    }
    return ReplyStatus("1", "2").value_or(StatusCode::Ok);
}

void TSyncSession::BeginMessage() {
    TMessageWriter& m = message_;
    m.Start();
    ++msgID_;
    cmdID_ = 0;
    m.Open("SyncHdr");
    m.Element("VerDTD", "1.2");
    m.Element("VerProto", "SyncML/1.2");
    m.Element("SessionID", sessionID_);
    m.Element("MsgID", msgID_);
    // A password in the URL is for the HTTP layer, not for the message.
    m.LocURI("Target", WithoutUserInfo(msgID_ == 1 ? client_.ServerURL : responseURI_));
    m.LocURI("Source", deviceID_);
    // Credentials only ever go in message 1, which goes to the server the user named;
    // a response URI may point elsewhere.
    if (msgID_ == 1) {
        m.Open("Cred");
        m.Meta("Type", "syncml:auth-basic");
        m.Element("Data", EncodeBase64(client_.UserName + ":" + client_.Password));
        m.Close();
    }
    // Without the client's own limit a server guesses one, and an item that does not
    // fit its guess at the end of a message is dropped instead of sent in the next.
    m.Meta("MaxMsgSize", std::to_string(kClientMaxMsgSize));
    m.Close();
    m.Open("SyncBody");
}

void TSyncSession::AppendDevInfPut() {
    TMessageWriter& m = message_;
    m.Open("Put");
    m.Element("CmdID", NextCmdID());
    m.Meta("Type", "application/vnd.syncml-devinf+xml");
    m.Open("Item");
    m.LocURI("Source", "./devinf12");
    m.Open("Data");
    // The device information is its own namespace; servers refuse it without one.
    m.Open("DevInf", "syncml:devinf");
    m.Element("VerDTD", "1.2");
    m.Element("DevID", deviceID_);
    m.Element("DevTyp", "workstation");
    // The client reads UTC times ("Z") and zoned times with their VTIMEZONE; without this
    // a server sends every time floating in its own zone, and times shift.
    m.Element("UTC");
    m.Open("DataStore");
    m.Element("SourceRef", client_.LocalDatabase);
    for (const char* pref : {"Rx-Pref", "Tx-Pref"}) {
        m.Open(pref);
        m.Element("CTType", client_.ContentType);
        m.Element("VerCT", client_.ContentVersion);
        m.Close();
    }
    if (!client_.Capabilities.empty()) {
        m.Open("CTCap");
        m.Element("CTType", client_.ContentType);
        m.Element("VerCT", client_.ContentVersion);
        for (const PropertyCapability& property : client_.Capabilities) {
            m.Open("Property");
            m.Element("PropName", property.Name);
            if (!property.Types.empty()) {
                m.Open("PropParam");
                m.Element("ParamName", "TYPE");
                for (const std::string& type : property.Types)
                    m.Element("ValEnum", type);
                m.Close();
            }
            m.Close();
        }
        m.Close();
    }
    // Sync types: 1 two-way, 2 slow, 3 one-way from the client, 5 one-way from the server.
    m.Open("SyncCap");
    if (twoWay_) m.Element("SyncType", 1);
    for (const int type : {2, 3, 5})
        m.Element("SyncType", type);
    m.Close();
    m.Close();  // DataStore
    m.Close();  // DevInf
    m.Close();  // Data
    m.Close();  // Item
    m.Close();  // Put
}

void TSyncSession::AppendStoreAlert(AlertCode code, const std::optional<std::string>& last,
                                    const std::string& next) {
    TMessageWriter& m = message_;
    m.Open("Alert");
    m.Element("CmdID", NextCmdID());
    m.Element("Data", static_cast<long long>(code));
    m.Open("Item");
    AppendDataSources(m);
    m.Open("Meta");
    m.Open("Anchor", "syncml:metinf");
    if (last) m.Element("Last", *last);
    m.Element("Next", next);
    m.Close();
    m.Close();
    m.Close();
    m.Close();
}

void TSyncSession::AppendSync() {
    TMessageWriter& m = message_;
    m.Open("Sync");
    m.Element("CmdID", NextCmdID());
    AppendDataSources(m);
    m.Close();
}

void TSyncSession::AppendDataSources(TMessageWriter& m) const {
    m.LocURI("Target", client_.DataSource);
    m.LocURI("Source", client_.LocalDatabase);
}

TContainer TSyncSession::Container(const char* name) const {
    TContainer container;
    container.Name = name;
    container.Head = [this](TMessageWriter& m) { AppendDataSources(m); };
    return container;
}

void TSyncSession::AppendMapItem(TMessageWriter& m, std::string_view serverID,
                                 std::string_view luid) {
    m.Open("MapItem");
    m.LocURI("Target", serverID);
    m.LocURI("Source", luid);
    m.Close();
}

void TSyncSession::AppendStatus(const OutgoingStatus& s) {
    TMessageWriter& m = message_;
    m.Open("Status");
    m.Element("CmdID", NextCmdID());
    m.Element("MsgRef", s.MsgRef);
    m.Element("CmdRef", s.CmdRef);
    m.Element("Cmd", s.Cmd);
    if (!s.TargetRef.empty()) m.Element("TargetRef", s.TargetRef);
    if (!s.SourceRef.empty()) m.Element("SourceRef", s.SourceRef);
    m.Element("Data", Number(s.Code));
    if (s.AnchorNext) {
        m.Open("Item");
        m.Open("Data");
        m.Open("Anchor", "syncml:metinf");
        m.Element("Next", *s.AnchorNext);
        m.Close();
        m.Close();
        m.Close();
    }
    m.Close();
}

void TSyncSession::AppendNextMessageAlert() {
    TMessageWriter& m = message_;
    m.Open("Alert");
    m.Element("CmdID", NextCmdID());
    m.Element("Data", static_cast<long long>(AlertCode::NextMessage));
    m.Open("Item");
    AppendDataSources(m);
    m.Close();
    m.Close();
}

bool TSyncSession::Fits(std::size_t reserve) const {
    return maxMsgSize_ <= 0 || message_.Size() + reserve <= static_cast<std::size_t>(maxMsgSize_);
}

void TSyncSession::Send(bool final) {
    ExchangeStats& stats = client_.LastExchange;
    if (stats.RoundTrips >= kMaxRoundTrips) {
        throw ProtocolError("The server kept the session going for more than " +
                            std::to_string(kMaxRoundTrips) + " messages");
    }
    if (final) message_.Element("Final");
    const std::string& request = message_.Finish();
    // Every message after the first goes to the response URI exactly as the server
    // gave it: the session parameter is in its query.
    const std::string url = msgID_ == 1 ? client_.ServerURL : responseURI_;
    stats.LargestMessage = std::max(stats.LargestMessage, request.size());
    reply_.reset();
    client_.HTTP->Post(url, request, replyText_);
    ++stats.RoundTrips;
    stats.BytesSent += request.size();
    stats.BytesReceived += replyText_.size();
    ReportProgress();
    ParseReply(reply_, replyText_, client_.HTTP->ReplyContentType);

    const pugi::xml_node header = ReplyHeader();
    replyMsgID_ = Text(Child(header, "MsgID"));
    if (replyMsgID_.empty()) replyMsgID_ = std::to_string(msgID_);
    CheckSameSession();
    if (const std::string uri = Text(Child(header, "RespURI")); !uri.empty()) TakeResponseURI(uri);
    if (const pugi::xml_node max = Path(header, "Meta/MaxMsgSize")) {
        try {
            maxMsgSize_ = ReadInteger(max);
        } catch (const ProtocolError&) {
            // An unreadable limit is no limit; the server will say if a message is too big.
        }
    }
    if (const auto code = ReplyStatus(std::to_string(msgID_), "0"); code && !IsSuccess(*code)) {
        throw ProtocolError(RefusalMessage(*code, client_.DataSource, false, alert_), *code);
    }
}

void TSyncSession::CheckSameSession() const {
    const pugi::xml_node header = ReplyHeader();
    bool same = true;
    if (const pugi::xml_node id = Child(header, "SessionID")) same = Text(id) == sessionID_;
    const std::string sent = std::to_string(msgID_);
    for (pugi::xml_node s = ReplyBody().first_child(); s && same; s = s.next_sibling()) {
        if (!HasLocalName(s, "Status") || Text(Child(s, "Cmd")) != "SyncHdr") continue;
        const std::string ref = Text(Child(s, "MsgRef"));
        same = ref.empty() || ref == sent;
    }
    if (!same) throw ProtocolError("The server answered for another session");
}

void TSyncSession::TakeResponseURI(const std::string& uri) {
    // Over https the credentials and the data travel encrypted; a server (or whoever
    // answers in its name) must not move the rest of the session into the clear.
    if (SchemeOf(client_.ServerURL) == "https" && SchemeOf(uri) != "https") {
        throw ProtocolError("The server asked to go on without encryption, at " + DisplayURL(uri) +
                            "; the session was ended");
    }
    responseURI_ = uri;
}

void TSyncSession::LimitTooSmall() const {
    throw ProtocolError("The server's maximum message size (" + std::to_string(maxMsgSize_) +
                        " bytes) is too small");
}

void TSyncSession::SendQueued(TOutbox& out, bool final, const std::function<void()>& answer) {
    TMessageWriter& m = message_;
    for (;;) {
        BeginMessage();
        bool full = false;
        std::size_t placed = 0;
        while (!full && !out.Statuses.empty()) {
            const TMessageWriter::Mark before = m.Here();
            AppendStatus(out.Statuses.front());
            if (!Fits(kReserveBytes)) {
                // Alone in a message and still too big: more messages will not help.
                if (placed == 0) LimitTooSmall();
                m.Rewind(before);
                --cmdID_;
                full = true;
            } else {
                // The header's Status comes anew with every reply: a message that holds
                // only that has moved nothing, and the next would be the same.
                if (out.Statuses.front().Cmd != "SyncHdr") ++placed;
                out.Statuses.pop_front();
            }
        }
        for (TContainer& c : out.Containers) {
            if (full) break;
            if (c.Done()) continue;
            const TMessageWriter::Mark beforeContainer = m.Here();
            m.Open(c.Name);
            c.CmdID = NextCmdID();
            m.Element("CmdID", c.CmdID);
            if (c.Head) c.Head(m);
            std::size_t inContainer = 0;
            while (c.UnitsLeft()) {
                const TMessageWriter::Mark before = m.Here();
                c.AppendUnit(m, c.NextUnit);
                if (!Fits(kReserveBytes)) {
                    if (placed == 0) LimitTooSmall();
                    m.Rewind(before);
                    full = true;
                    break;
                }
                ++c.NextUnit;
                ++inContainer;
                ++placed;
            }
            if (inContainer == 0 && full) {
                m.Rewind(beforeContainer);
                --cmdID_;
            } else {
                m.Close();
                c.Sent = true;
                ++placed;
            }
            if (c.UnitsAreItems) client_.LastExchange.Items = c.NextUnit;
        }
        const bool last = !full && out.Statuses.empty() &&
                          std::all_of(out.Containers.begin(), out.Containers.end(),
                                      [](const TContainer& c) { return c.Done(); });
        if (last) {
            if (out.Tail) out.Tail();
            Send(final);
            return;
        }
        Send(false);
        if (answer) answer();
    }
}

pugi::xml_node TSyncSession::ReplyHeader() const {
    return Child(reply_.document_element(), "SyncHdr");
}

pugi::xml_node TSyncSession::ReplyBody() const {
    return Child(reply_.document_element(), "SyncBody");
}

bool TSyncSession::ReplyFinal() const {
    return static_cast<bool>(Child(ReplyBody(), "Final"));
}

std::optional<StatusCode> TSyncSession::ReplyStatus(std::string_view msgRef,
                                             std::string_view cmdRef) const {
    for (pugi::xml_node s = ReplyBody().first_child(); s; s = s.next_sibling()) {
        if (!HasLocalName(s, "Status") || Text(Child(s, "CmdRef")) != cmdRef) continue;
        const std::string ref = Text(Child(s, "MsgRef"));
        if (!ref.empty() && ref != msgRef) continue;
        return static_cast<StatusCode>(ReadInteger(s, "Data"));
    }
    return std::nullopt;
}

void TSyncSession::CheckAlertAccepted(std::string_view msgRef, std::string_view cmdRef,
                                      AlertCode alert, bool refreshAccepted) const {
    const auto code = ReplyStatus(msgRef, cmdRef);
    if (refreshAccepted && code == StatusCode::RefreshRequired) return;
    if (code && !IsSuccess(*code)) {
        throw ProtocolError(RefusalMessage(*code, client_.DataSource, true, alert), *code);
    }
}

namespace {

// Atomic and Sequence hold other commands; a server that nests them deeper than this
// gets 406 for the deeper ones instead of a walk without end.
constexpr int kMaxNesting = 8;

bool IsGroup(std::string_view name) {
    return name == "Atomic" || name == "Sequence";
}

bool IsChange(std::string_view name) {
    return name == "Add" || name == "Replace" || name == "Delete";
}

bool IsItemCommand(std::string_view name) {
    return IsChange(name) || name == "Copy" || name == "Move";
}

// Commands the client has no part in; they are answered all the same (a server fails the
// session when its device information, a Put, is refused).
bool IsOtherCommand(std::string_view name) {
    return name == "Get" || name == "Exec" || name == "Search" || name == "Map";
}

// The Statuses for one reply, in the order of its commands: every command of the server
// gets one, at the top of the body, in a Sync and inside Atomic and Sequence at either
// place. The commands refused that carry items are noted, since their items are missing.
class TReplyAnswer {
public:
    TReplyAnswer(const std::string& msgRef, const TSyncSession::ServerItemHandler& onItem,
                 std::function<OutgoingStatus(pugi::xml_node, const char*)> storeStatus,
                 bool wantAnchor, std::vector<RefusedCommand>& refused)
        : msgRef_(msgRef),
          onItem_(onItem),
          storeStatus_(std::move(storeStatus)),
          wantAnchor_(wantAnchor),
          refused_(refused) {}

    std::deque<OutgoingStatus> Statuses;

    // The commands of the body, or of a group in it.
    void Body(pugi::xml_node parent, int depth) {
        for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element) continue;
            const std::string_view name = LocalName(c);
            if (name == "Alert") {
                Alert(c);
            } else if (name == "Sync") {
                Statuses.push_back(storeStatus_(c, "Sync"));
                InSync(c, depth);
            } else if (IsGroup(name)) {
                Group(c, name, depth, false);
            } else if (IsItemCommand(name)) {
                // A change names its data store by the Sync around it.
                Refuse(c, name, StatusCode::NotSupported, RefusalReason::OutsideSync);
            } else if (name == "Put") {
                Statuses.push_back(StatusOf(c, name, StatusCode::Ok));
            } else if (IsOtherCommand(name)) {
                Statuses.push_back(StatusOf(c, name, StatusCode::NotSupported));
            }
        }
    }

private:
    OutgoingStatus StatusOf(pugi::xml_node c, std::string_view name, StatusCode code) const {
        return {msgRef_, std::to_string(ReadInteger(c, "CmdID")), std::string(name), {}, {}, code,
                {}};
    }

    void Refuse(pugi::xml_node c, std::string_view name, StatusCode code, RefusalReason reason) {
        Statuses.push_back(StatusOf(c, name, code));
        refused_.push_back({std::string(name), code, reason});
    }

    void Alert(pugi::xml_node c) {
        OutgoingStatus status = storeStatus_(c, "Alert");
        if (wantAnchor_) {
            // The server's anchor is the first element of the Alert's Meta.
            const pugi::xml_node anchor = Path(c, "Item/Meta").find_child([](pugi::xml_node n) {
                return n.type() == pugi::node_element;
            });
            status.AnchorNext = Text(Child(anchor, "Next"));
            wantAnchor_ = false;
        }
        Statuses.push_back(std::move(status));
    }

    void Group(pugi::xml_node c, std::string_view name, int depth, bool inSync) {
        if (depth >= kMaxNesting) {
            Refuse(c, name, StatusCode::NotSupported, RefusalReason::NestedTooDeeply);
            return;
        }
        Statuses.push_back(StatusOf(c, name, StatusCode::Ok));
        if (inSync) {
            InSync(c, depth + 1);
        } else {
            Body(c, depth + 1);
        }
    }

    // The commands of a Sync, or of a group in it.
    void InSync(pugi::xml_node parent, int depth) {
        for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
            if (c.type() != pugi::node_element) continue;
            const std::string_view name = LocalName(c);
            if (IsChange(name)) {
                Change(c, name);
            } else if (IsGroup(name)) {
                Group(c, name, depth, true);
            } else if (IsItemCommand(name)) {
                Refuse(c, name, StatusCode::NotSupported, RefusalReason::NotSupported);
            }  // CmdID, Target, Meta ...
        }
    }

    void Change(pugi::xml_node c, std::string_view name) {
        OutgoingStatus status = StatusOf(c, name, StatusCode::Ok);
        // An Add names the server's item by its Source, a Replace or Delete by its
        // Target; a server that uses the other one is understood as well.
        const pugi::xml_node item = Child(c, "Item");
        const std::string source = Text(Path(item, "Source/LocURI"));
        const std::string target = Text(Path(item, "Target/LocURI"));
        const bool bySource =
            name == "Add" ? !source.empty() || target.empty() : target.empty() && !source.empty();
        const std::string& id = bySource ? source : target;
        if (id.empty()) {
            Refuse(c, name, StatusCode::IncompleteCommand, RefusalReason::NoItem);
            return;
        }
        (bySource ? status.SourceRef : status.TargetRef) = id;
        if (onItem_) status.Code = onItem_(c, name, id);
        Statuses.push_back(std::move(status));
    }

    const std::string& msgRef_;
    const TSyncSession::ServerItemHandler& onItem_;
    std::function<OutgoingStatus(pugi::xml_node, const char*)> storeStatus_;
    bool wantAnchor_;
    std::vector<RefusedCommand>& refused_;
};

}  // namespace

void TSyncSession::AnswerReply(TOutbox& outbox, bool firstReply, const ServerItemHandler& onItem) {
    const auto storeStatus = [this](pugi::xml_node cmd, const char* name) {
        return OutgoingStatus{replyMsgID_,
                              std::to_string(ReadInteger(cmd, "CmdID")),
                              name,
                              client_.LocalDatabase,
                              client_.DataSource,
                              StatusCode::Ok,
                              {}};
    };
    TReplyAnswer answer(replyMsgID_, onItem, storeStatus, firstReply, client_.Refused);
    // The answer to the newest reply goes first, its header Status leading.
    answer.Statuses.push_back(HeaderStatus());
    answer.Body(ReplyBody(), 0);
    outbox.Statuses.insert(outbox.Statuses.begin(),
                           std::make_move_iterator(answer.Statuses.begin()),
                           std::make_move_iterator(answer.Statuses.end()));
}

bool TSyncSession::ReplyHasCommands() const {
    for (pugi::xml_node cmd = ReplyBody().first_child(); cmd; cmd = cmd.next_sibling()) {
        if (cmd.type() == pugi::node_element && !HasLocalName(cmd, "Status") &&
            !HasLocalName(cmd, "Final")) {
            return true;
        }
    }
    return false;
}

OutgoingStatus TSyncSession::HeaderStatus() const {
    return OutgoingStatus{replyMsgID_, "0",          "SyncHdr", deviceID_, WithoutUserInfo(client_.ServerURL),
                          StatusCode::Ok, {}};
}

}  // namespace orvanta
