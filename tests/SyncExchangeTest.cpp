// The two-way sync as cases in tests/data/sync/*.case, against the scripted peer: the
// replica's commands (support/ReplicaCase.h), `server ...` lines that script the server
// of the next sync, and `sync`, which runs one and prints each message the client sent,
// by its structure, then the summary or the failure.
//
// The server, unless a line says otherwise, opens the session with the Alert the client
// sent and the last anchor the replica keeps, answers each change 201 (Add) or 200 and
// each Map 200, and sends its own changes in one message after the client's final Sync:
//   server alert CODE            its Alert (200, 201 ...)
//   server alert-status CODE     its Status for the client's Alert (508 ...)
//   server last ANCHOR           its Last anchor
//   server status LUID CODE      its Status for the client's change of LUID (0: none)
//   server add ID [PAYLOAD] | replace LUID [PAYLOAD] | delete LUID    its changes, in order
//   server broken-add ID PAYLOAD an Add whose CmdID is no number
//   server per-message N         its changes N to a message, the client asking for more
//   server max-msg-size N        its limit for the client's messages
//   server map-status CODE       its Status for each Map
//   server fail-at N             the client's request N (from 1) gets HTTP 500
//   server idle                  after message 1, it never ends its package nor sends
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/SyncExchange.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/ReplicaCase.h"
#include "support/ReplicaSupport.h"
#include "support/SyncPeer.h"

namespace orvanta {
namespace {

using namespace test;
namespace fs = std::filesystem;

struct Script {
    std::string Alert;
    int AlertStatus = 200;
    std::optional<std::string> Last;
    std::map<std::string, int> Codes;
    std::vector<ServerCommand> Commands;
    std::size_t PerMessage = 0;
    long MaxMsgSize = 0;
    int MapStatus = 200;
    int FailAt = 0;
    bool Idle = false;
};

bool IsChange(const MessagePart& part) {
    return part.Name == "Add" || part.Name == "Replace" || part.Name == "Delete";
}

// One client message in a line, its parts in order: its Statuses (command, CmdRef, item,
// code, anchor), its Alerts, its Sync ("of N": the count of changes it announces) with
// the changes in it, its Map, Final.
std::string Render(const std::string& body) {
    std::vector<std::string> parts;
    std::string previous;  // the name of the part before
    for (const MessagePart& p : PartsOf(body)) {
        const std::string before = std::exchange(previous, p.Name);
        const bool more = p.Name == before;
        if (p.Name == "Status") {
            const std::string cmd = p["Cmd"];
            const bool item = cmd != "SyncHdr" && cmd != "Alert" && cmd != "Sync";
            const std::string anchor = p["Item/Data/Anchor/Next"];
            const std::string status = cmd + " " + p["CmdRef"] + " " +
                                       (item ? p["SourceRef"] + p["TargetRef"] + " " : "") +
                                       p["Data"] + (anchor.empty() ? "" : " " + anchor);
            more ? void(parts.back() += ", " + status) : parts.push_back(status);
        } else if (p.Name == "Alert") {
            const std::string code = p["Data"];
            parts.push_back("Alert " + code +
                            (code == "222" ? "" : " last '" + p["Item/Meta/Anchor/Last"] +
                                                      "' next " + p["Item/Meta/Anchor/Next"]));
        } else if (p.Name == "Sync") {
            const std::string count = p["NumberOfChanges"];
            parts.push_back(count.empty() ? "Sync" : "Sync of " + count);
        } else if (IsChange(p)) {
            const std::string data = p["Item/Data"];
            parts.back() += std::string(before == "Sync" ? ": " : ", ") + p.Name + " " +
                            p["Item/Source/LocURI"] + (data.empty() ? "" : " " + Escape(data));
        } else if (p.Name == "Map") {
            std::string map = "Map:";
            const auto targets = p.All("MapItem/Target/LocURI");
            const auto sources = p.All("MapItem/Source/LocURI");
            for (std::size_t i = 0; i < targets.size(); ++i)
                map += " " + targets[i] + "=" + sources.at(i);
            parts.push_back(map);
        } else if (p.Name == "Final") {
            parts.push_back("Final");
        }
    }
    std::string line;
    for (const std::string& part : parts)
        line += (line.empty() ? "" : " | ") + part;
    return line;
}

class SyncCase : public TReplicaCase {
public:
    using TReplicaCase::TReplicaCase;

private:
    bool Command(const std::vector<std::string>& w) override {
        if (w.at(0) == "sync") {
            Sync();
            return true;
        }
        if (w.at(0) != "server") return false;
        const std::string& what = w.at(1);
        const auto number = [&] { return std::stoi(w.at(2)); };
        if (what == "alert") {
            script_.Alert = w.at(2);
        } else if (what == "alert-status") {
            script_.AlertStatus = number();
        } else if (what == "last") {
            script_.Last = w.at(2);
        } else if (what == "status") {
            script_.Codes[w.at(2)] = std::stoi(w.at(3));
        } else if (what == "add" || what == "replace" || what == "delete" || what == "broken-add") {
            const std::string cmdID =
                what == "broken-add" ? "x" : std::to_string(100 + script_.Commands.size());
            script_.Commands.push_back(
                {what == "broken-add" ? "Add" : std::string(1, static_cast<char>(what[0] - 32)) +
                                                    what.substr(1),
                 cmdID, w.at(2),
                 w.size() > 3 ? std::optional<std::string>(Unescaped(w[3])) : std::nullopt});
        } else if (what == "per-message") {
            script_.PerMessage = static_cast<std::size_t>(number());
        } else if (what == "max-msg-size") {
            script_.MaxMsgSize = number();
        } else if (what == "map-status") {
            script_.MapStatus = number();
        } else if (what == "fail-at") {
            script_.FailAt = number();
        } else if (what == "idle") {
            script_.Idle = true;
        } else {
            return false;
        }
        return true;
    }

    PeerReply Answer(const RecordedRequest& request, int index) {
        if (index + 1 == script_.FailAt) return {500, "failed", 0};
        const Message m = PartsOf(request.Body);
        const std::string msgID = Find(m, "SyncHdr")["MsgID"];
        ServerReplyShape r = Acknowledgement(std::stoi(msgID));
        r.MaxMsgSize = script_.MaxMsgSize;
        if (msgID == "1") {
            // The script's Alert is that of the sync's first session; a session after it
            // (the changes left by a slow sync) is a plain one.
            if (opened_++ > 0) {
                script_.Alert.clear();
                script_.AlertStatus = 200;
                script_.Last.reset();
            }
            r.HeaderStatus = 212;
            r.AlertStatus = script_.AlertStatus;
            r.Alert = true;
            r.AlertCode = script_.Alert.empty() ? Find(m, "Alert")["Data"] : script_.Alert;
            r.LastAnchor = script_.Last.value_or(Store().Anchors().Server);
            r.NextAnchor = "s" + std::to_string(sessions_);
            return {200, BuildServerReply(r), 0};
        }
        int cmdID = 10;
        bool more = false;
        for (const MessagePart& c : m) {
            const auto code = script_.Codes.find(c["Item/Source/LocURI"]);
            const int value = !IsChange(c)                  ? 0
                              : code != script_.Codes.end() ? code->second
                              : c.Name == "Add"             ? 201
                                                            : 200;
            if (value != 0) r.ExtraBodyXml += StatusXml(cmdID++, msgID, c["CmdID"], c.Name, value);
            if (c.Name == "Map")
                r.ExtraBodyXml += StatusXml(cmdID++, msgID, c["CmdID"], "Map", script_.MapStatus);
            more = more || (c.Name == "Alert" && c["Data"] == "222");
        }
        // Its changes follow the client's last Sync message, and go on as the client asks
        // for more (Alert 222); a message of Statuses alone gets Statuses alone.
        const bool final = !Find(m, "Final").Name.empty();
        r.Final = final && !script_.Idle;
        if (!script_.Idle && ((!Find(m, "Sync").Name.empty() && final) || (more && sending_))) {
            r.Sync = true;
            for (std::size_t n = 0; sent_ < script_.Commands.size() &&
                                    (script_.PerMessage == 0 || n < script_.PerMessage);
                 ++n)
                r.Commands.push_back(script_.Commands[sent_++]);
            sending_ = sent_ < script_.Commands.size();
            r.Final = !sending_;
        }
        return {200, BuildServerReply(r), 0};
    }

    void Sync() {
        ++sessions_;
        opened_ = 0;
        sending_ = false;
        sent_ = 0;
        ScriptedPeer peer([this](const RecordedRequest& request, int index) {
            return Answer(request, index);
        });
        auto client = ClientFor(peer);
        client->Random = [this](std::uint32_t bound) { return ++draws_ % bound; };
        std::vector<std::string> result;
        try {
            const SyncSummary summary = Synchronize(*client, Store());
            result.push_back(SummaryLine(summary));
            for (const UnacceptedChange& c : summary.Unaccepted)
                result.push_back("not accepted: " + c.Cmd + " " + c.LUID + " " +
                                 (c.Code ? std::to_string(c.Code) : "no status"));
            if (!summary.Refused.empty()) result.push_back(RefusedReport(summary.Refused));
        } catch (const Failure& failure) {
            result.push_back(std::string("! ") + failure.what());
        }
        // The server's limit binds each session's messages after the first.
        int n = 0;
        const auto limit = static_cast<std::size_t>(script_.MaxMsgSize);
        for (const RecordedRequest& request : peer.Requests()) {
            ++n;
            const bool over = limit > 0 && request.Body.size() > limit &&
                              Find(PartsOf(request.Body), "SyncHdr")["MsgID"] != "1";
            Out("> " + std::to_string(n) + ": " + Render(request.Body) + (over ? " | OVER THE LIMIT" : ""));
        }
        for (std::string& line : result) {
            // The peer's port changes from run to run.
            for (auto at = line.find(peer.Url()); at != std::string::npos; at = line.find(peer.Url()))
                line.replace(at, peer.Url().size(), "{url}");
            Out(std::move(line));
        }
        script_ = {};
    }

    Script script_;
    int sessions_ = 0;
    std::uint32_t draws_ = 0;  // the client's random numbers, counted on from sync to sync
    int opened_ = 0;  // sessions the sync has opened
    bool sending_ = false;
    std::size_t sent_ = 0;
};

class SyncExchangeCase : public ::testing::TestWithParam<fs::path> {};

TEST_P(SyncExchangeCase, GivesTheExpectedOutput) {
    const TempFolder dir;
    SyncCase sync(dir.Path());
    ExpectTranscript(GetParam(), Transcript(ReadFile(GetParam()), [&](const auto& line, auto&) {
                         return sync.Run(line);
                     }));
}

INSTANTIATE_TEST_SUITE_P(Cases, SyncExchangeCase, ::testing::ValuesIn(CaseFiles("sync", ".case")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

}  // namespace
}  // namespace orvanta
