#include "engine/SyncMLSession.h"

#include <algorithm>

#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "engine/SyncMLBase.h"
#include "formats/TextCodec.h"

namespace orvanta {

namespace {

// Room kept free in every message for <Final/>, a tail command and the closing tags.
constexpr std::size_t kReserveBytes = 512;

bool IsSuccess(int code) {
    return code >= 200 && code <= 299;
}

std::string Meaning(int code) {
    switch (code) {
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

std::string RefusalMessage(int code, const std::string& dataSource, bool forAlert, bool slowSync) {
    const std::string status = " (status " + std::to_string(code) + ")";
    if (forAlert && slowSync && code == 508) {
        // The load is the full synchronisation: there is nothing to press first.
        return "The server refused the full synchronisation of the data source \"" + dataSource +
               "\"" + status;
    }
    switch (code) {
        case 401:
            return "The server refused the credentials" + status;
        case 407:
            return "The server requires credentials" + status;
        case 508:
            return "The server needs a full synchronisation; press \"Refresh\" first" + status;
        case 404:
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

TSyncSession::TSyncSession(TSMLBase& client, std::string_view prefix) : client_(client) {
    sessionID_ = std::string(prefix) + UTCText(client.Clock()) + client.DrawNumber(1000000);
    responseURI_ = client.ServerURL;
    client.LastExchange = {};
    client.HTTP->ContentType = "application/vnd.syncml+xml; charset=\"utf-8\"";
    client.HTTP->Accept = "application/vnd.syncml+xml";
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

void TSyncSession::Open(AlertCode alertCode, const std::optional<std::string>& last,
                        bool withSync) {
    BeginMessage();
    AppendDevInfPut();
    AppendStoreAlert(alertCode, last);
    if (withSync) AppendSync();
    Send(true);
    CheckAlertAccepted("1", "2", alertCode);
    if (!Child(ReplyBody(), "Alert")) {
        throw ProtocolError("The server did not open the data source \"" + client_.DataSource +
                            "\" for synchronisation");
    }
}

pugi::xml_node TSyncSession::BeginMessage() {
    message_.Start();
    ++msgID_;
    cmdID_ = 0;
    pugi::xml_node header = message_.Root().append_child("SyncHdr");
    AddElement(header, "VerDTD", "1.2");
    AddElement(header, "VerProto", "SyncML/1.2");
    AddElement(header, "SessionID", sessionID_);
    AddElement(header, "MsgID", msgID_);
    // A password in the URL is for the HTTP layer, not for the message.
    AddLocURI(header, "Target", WithoutUserInfo(msgID_ == 1 ? client_.ServerURL : responseURI_));
    AddLocURI(header, "Source", client_.DeviceID);
    // Credentials only ever go in message 1, which goes to the server the user named;
    // a response URI may point elsewhere.
    if (msgID_ == 1) {
        pugi::xml_node cred = header.append_child("Cred");
        AddMetInf(cred.append_child("Meta"), "Type", "syncml:auth-basic");
        AddElement(cred, "Data", EncodeBase64(client_.UserName + ":" + client_.Password));
    }
    // Without the client's own limit a server guesses one, and an item that does not
    // fit its guess at the end of a message is dropped instead of sent in the next.
    AddMetInf(header.append_child("Meta"), "MaxMsgSize", std::to_string(kClientMaxMsgSize));
    body_ = message_.Root().append_child("SyncBody");
    // "<SyncBody/>" grows by its closing tag once it has children.
    message_.SerialiseTo(request_);
    size_ = request_.size() + std::string_view("</SyncBody>").size();
    return body_;
}

void TSyncSession::AppendDevInfPut() {
    pugi::xml_node put = body_.append_child("Put");
    AddElement(put, "CmdID", NextCmdID());
    AddMetInf(put.append_child("Meta"), "Type", "application/vnd.syncml-devinf+xml");
    pugi::xml_node item = put.append_child("Item");
    AddLocURI(item, "Source", "./devinf12");
    // The device information is its own namespace; servers refuse it without one.
    pugi::xml_node devInf = item.append_child("Data").append_child("DevInf");
    devInf.append_attribute("xmlns").set_value("syncml:devinf");
    AddElement(devInf, "VerDTD", "1.2");
    AddElement(devInf, "DevID", client_.DeviceID);
    AddElement(devInf, "DevTyp", "workstation");
    // The client reads UTC times ("Z") and zoned times with their VTIMEZONE; without this
    // a server sends every time floating in its own zone, and times shift.
    devInf.append_child("UTC");
    pugi::xml_node store = devInf.append_child("DataStore");
    AddElement(store, "SourceRef", client_.LocalDatabase);
    for (const char* pref : {"Rx-Pref", "Tx-Pref"}) {
        pugi::xml_node p = store.append_child(pref);
        AddElement(p, "CTType", client_.ContentType);
        AddElement(p, "VerCT", client_.ContentVersion);
    }
    if (!client_.Capabilities.empty()) {
        pugi::xml_node cap = store.append_child("CTCap");
        AddElement(cap, "CTType", client_.ContentType);
        AddElement(cap, "VerCT", client_.ContentVersion);
        for (const PropertyCapability& property : client_.Capabilities) {
            pugi::xml_node prop = cap.append_child("Property");
            AddElement(prop, "PropName", property.Name);
            if (property.Types.empty()) continue;
            pugi::xml_node param = prop.append_child("PropParam");
            AddElement(param, "ParamName", "TYPE");
            for (const std::string& type : property.Types)
                AddElement(param, "ValEnum", type);
        }
    }
    pugi::xml_node caps = store.append_child("SyncCap");
    for (const int type : {2, 3, 5})
        AddElement(caps, "SyncType", type);
    Track(put);
}

void TSyncSession::AppendStoreAlert(AlertCode code, const std::optional<std::string>& last) {
    pugi::xml_node alert = body_.append_child("Alert");
    AddElement(alert, "CmdID", NextCmdID());
    AddElement(alert, "Data", static_cast<long long>(code));
    pugi::xml_node item = alert.append_child("Item");
    AddLocURI(item, "Target", client_.DataSource);
    AddLocURI(item, "Source", client_.LocalDatabase);
    pugi::xml_node anchor = AddMetInf(item.append_child("Meta"), "Anchor");
    if (last) AddElement(anchor, "Last", *last);
    client_.NextAnchor = client_.DrawNumber(100000000);
    AddElement(anchor, "Next", client_.NextAnchor);
    Track(alert);
}

void TSyncSession::AppendSync() {
    pugi::xml_node sync = body_.append_child("Sync");
    AddElement(sync, "CmdID", NextCmdID());
    AddLocURI(sync, "Target", client_.DataSource);
    AddLocURI(sync, "Source", client_.LocalDatabase);
    Track(sync);
}

void TSyncSession::AppendStatus(const OutgoingStatus& s) {
    pugi::xml_node status = body_.append_child("Status");
    AddElement(status, "CmdID", NextCmdID());
    AddElement(status, "MsgRef", s.MsgRef);
    AddElement(status, "CmdRef", s.CmdRef);
    AddElement(status, "Cmd", s.Cmd);
    if (!s.TargetRef.empty()) AddElement(status, "TargetRef", s.TargetRef);
    if (!s.SourceRef.empty()) AddElement(status, "SourceRef", s.SourceRef);
    AddElement(status, "Data", s.Code);
    if (s.AnchorNext) {
        pugi::xml_node anchor =
            AddMetInf(status.append_child("Item").append_child("Data"), "Anchor");
        AddElement(anchor, "Next", *s.AnchorNext);
    }
    Track(status);
}

void TSyncSession::AppendNextMessageAlert() {
    pugi::xml_node alert = body_.append_child("Alert");
    AddElement(alert, "CmdID", NextCmdID());
    AddElement(alert, "Data", static_cast<long long>(AlertCode::NextMessage));
    pugi::xml_node item = alert.append_child("Item");
    AddLocURI(item, "Target", client_.DataSource);
    AddLocURI(item, "Source", client_.LocalDatabase);
    Track(alert);
}

bool TSyncSession::Fits(std::size_t reserve) const {
    return maxMsgSize_ <= 0 || size_ + reserve <= static_cast<std::size_t>(maxMsgSize_);
}

void TSyncSession::Send(bool final) {
    ExchangeStats& stats = client_.LastExchange;
    if (stats.RoundTrips >= kMaxRoundTrips) {
        throw ProtocolError("The server kept the session going for more than " +
                            std::to_string(kMaxRoundTrips) + " messages");
    }
    if (final) body_.append_child("Final");
    message_.SerialiseTo(request_);
    const std::string& request = request_;
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
        throw ProtocolError(RefusalMessage(*code, client_.DataSource, false), *code);
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
    const auto unitsLeft = [&] { return out.UnitCount && out.NextUnit < out.UnitCount(); };
    for (;;) {
        BeginMessage();
        bool full = false;
        std::size_t placed = 0;
        while (!full && !out.Statuses.empty()) {
            const std::size_t before = size_;
            AppendStatus(out.Statuses.front());
            if (!Fits(kReserveBytes)) {
                // Alone in a message and still too big: more messages will not help.
                if (placed == 0) LimitTooSmall();
                body_.remove_child(body_.last_child());
                size_ = before;
                --cmdID_;
                full = true;
            } else {
                out.Statuses.pop_front();
                ++placed;
            }
        }
        if (!full && out.ContainerName &&
            (unitsLeft() || (out.SendWhenEmpty && !out.ContainerSent))) {
            pugi::xml_node container = body_.append_child(out.ContainerName);
            AddElement(container, "CmdID", NextCmdID());
            if (out.ContainerHead) out.ContainerHead(container);
            Track(container);
            std::size_t inContainer = 0;
            while (unitsLeft()) {
                const std::size_t before = size_;
                out.AppendUnit(container, out.NextUnit);
                Track(container.last_child());
                if (!Fits(kReserveBytes)) {
                    if (placed == 0 && inContainer == 0) LimitTooSmall();
                    container.remove_child(container.last_child());
                    size_ = before;
                    full = true;
                    break;
                }
                ++out.NextUnit;
                ++inContainer;
            }
            if (inContainer == 0 && full) {
                body_.remove_child(container);
                --cmdID_;
            } else {
                out.ContainerSent = true;
            }
        }
        if (out.UnitsAreItems) client_.LastExchange.Items = out.NextUnit;
        const bool last = !full && out.Statuses.empty() && !unitsLeft();
        if (last) {
            if (out.Tail) out.Tail(body_);
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

std::optional<int> TSyncSession::ReplyStatus(std::string_view msgRef,
                                             std::string_view cmdRef) const {
    for (pugi::xml_node s = ReplyBody().first_child(); s; s = s.next_sibling()) {
        if (!HasLocalName(s, "Status") || Text(Child(s, "CmdRef")) != cmdRef) continue;
        const std::string ref = Text(Child(s, "MsgRef"));
        if (!ref.empty() && ref != msgRef) continue;
        return static_cast<int>(ReadInteger(s, "Data"));
    }
    return std::nullopt;
}

void TSyncSession::CheckAlertAccepted(std::string_view msgRef, std::string_view cmdRef,
                                      AlertCode alert) const {
    if (const auto code = ReplyStatus(msgRef, cmdRef); code && !IsSuccess(*code)) {
        throw ProtocolError(
            RefusalMessage(*code, client_.DataSource, true, alert == AlertCode::SlowSync), *code);
    }
}

namespace {

// Atomic and Sequence hold change commands; a server that nests them deeper than
// this gets 406 for the deeper ones instead of a walk without end.
constexpr int kMaxNesting = 8;

void AnswerSyncCommands(pugi::xml_node parent, const std::string& msgRef, int depth,
                        const TSyncSession::ServerItemHandler& onItem,
                        std::deque<OutgoingStatus>& answer) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        const bool group = HasLocalName(c, "Atomic") || HasLocalName(c, "Sequence");
        const bool add = HasLocalName(c, "Add");
        const bool change = add || HasLocalName(c, "Replace") || HasLocalName(c, "Delete");
        const bool unsupported = HasLocalName(c, "Copy") || HasLocalName(c, "Move");
        if (!group && !change && !unsupported) continue;  // CmdID, Target, Meta ...
        std::string name = c.name();
        name = name.substr(name.rfind(':') + 1);
        OutgoingStatus status{msgRef, std::to_string(ReadInteger(c, "CmdID")), name, {}, {}, 200,
                              {}};
        if (group) {
            status.Code = depth < kMaxNesting ? 200 : 406;
            answer.push_back(status);
            if (depth < kMaxNesting) AnswerSyncCommands(c, msgRef, depth + 1, onItem, answer);
            continue;
        }
        if (unsupported) {
            status.Code = 406;
            answer.push_back(std::move(status));
            continue;
        }
        // An Add names the server's item by its Source, a Replace or Delete by its
        // Target; a server that uses the other one is understood as well.
        const pugi::xml_node item = Child(c, "Item");
        const std::string source = Text(Path(item, "Source/LocURI"));
        const std::string target = Text(Path(item, "Target/LocURI"));
        const bool bySource =
            add ? !source.empty() || target.empty() : target.empty() && !source.empty();
        const std::string& id = bySource ? source : target;
        (bySource ? status.SourceRef : status.TargetRef) = id;
        if (id.empty()) {
            status.Code = 412;  // incomplete: it names no item
        } else if (onItem) {
            status.Code = onItem(c, name, id);
        }
        answer.push_back(std::move(status));
    }
}

}  // namespace

void TSyncSession::AnswerReply(TOutbox& outbox, bool firstReply, const ServerItemHandler& onItem) {
    const std::string& msgRef = replyMsgID_;
    const auto storeStatus = [&](pugi::xml_node cmd, const char* name) {
        return OutgoingStatus{msgRef,
                              std::to_string(ReadInteger(cmd, "CmdID")),
                              name,
                              client_.LocalDatabase,
                              client_.DataSource,
                              200,
                              {}};
    };
    // The answer to the newest reply goes first, its header Status leading.
    std::deque<OutgoingStatus> answer{HeaderStatus()};
    bool storeAlertSeen = false;
    for (pugi::xml_node cmd = ReplyBody().first_child(); cmd; cmd = cmd.next_sibling()) {
        if (HasLocalName(cmd, "Alert")) {
            OutgoingStatus status = storeStatus(cmd, "Alert");
            if (firstReply && !storeAlertSeen) {
                // The server's anchor is the first element of the Alert's Meta.
                const pugi::xml_node anchor =
                    Path(cmd, "Item/Meta").find_child([](pugi::xml_node n) {
                        return n.type() == pugi::node_element;
                    });
                status.AnchorNext = Text(Child(anchor, "Next"));
                storeAlertSeen = true;
            }
            answer.push_back(std::move(status));
        } else if (HasLocalName(cmd, "Sync")) {
            answer.push_back(storeStatus(cmd, "Sync"));
            AnswerSyncCommands(cmd, msgRef, 0, onItem, answer);
        }
    }
    outbox.Statuses.insert(outbox.Statuses.begin(), answer.begin(), answer.end());
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
    return OutgoingStatus{
        replyMsgID_, "0", "SyncHdr", client_.DeviceID, WithoutUserInfo(client_.ServerURL), 200, {}};
}

}  // namespace orvanta
