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

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/SyncExchange.h"
#include "support/LoadHarness.h"
#include "support/ReplicaCase.h"
#include "support/ReplicaSupport.h"

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

// One client message in a line: its Statuses (command, CmdRef, item, code, anchor), its
// Alerts, its Sync and Map in the order they came, Final.
std::string Render(const std::string& body) {
    const ClientMessage m = ReadClientMessage(body);
    std::vector<std::string> parts;
    if (!m.Statuses.empty()) {
        std::string statuses;
        for (const ClientStatus& s : m.Statuses) {
            const bool item = s.Cmd != "SyncHdr" && s.Cmd != "Alert" && s.Cmd != "Sync";
            statuses += (statuses.empty() ? "" : ", ") + s.Cmd + " " + s.CmdRef + " " +
                        (item ? s.SourceRef + s.TargetRef + " " : "") + s.Data +
                        (s.AnchorNext.empty() ? "" : " " + s.AnchorNext);
        }
        parts.push_back(statuses);
    }
    for (const std::string& code : m.AlertCodes) {
        parts.push_back("Alert " + code +
                        (code == "222" ? "" : " last '" + m.AlertLast + "' next " + m.AlertNext));
    }
    const auto mapFirst = static_cast<std::ptrdiff_t>(parts.size());
    if (m.HasSync) {
        std::string sync = "Sync";
        for (const ClientCommand& c : m.Commands)
            sync += std::string(&c == &m.Commands.front() ? ": " : ", ") + c.Name + " " +
                    c.Source + (c.Data.empty() ? "" : " " + Escape(c.Data));
        parts.push_back(sync);
    }
    if (!m.MapCmdIDs.empty()) {
        std::string map = "Map:";
        for (const auto& [target, source] : m.MapItems)
            map += " " + target + "=" + source;
        parts.insert(body.find("<Map>") < body.find("<Sync>") ? parts.begin() + mapFirst
                                                             : parts.end(),
                     map);
    }
    if (m.Final) parts.push_back("Final");
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
                 w.size() > 3 ? std::optional<std::string>(Unescape(w[3])) : std::nullopt});
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
        const ClientMessage m = ReadClientMessage(request.Body);
        ServerReplyShape r = Acknowledgement(std::stoi(m.MsgID));
        r.MaxMsgSize = script_.MaxMsgSize;
        if (m.MsgID == "1") {
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
            r.AlertCode = script_.Alert.empty() ? m.AlertCodes.at(0) : script_.Alert;
            r.LastAnchor = script_.Last.value_or(Store().Anchors().Server);
            r.NextAnchor = "s" + std::to_string(sessions_);
            return {200, BuildServerReply(r), 0};
        }
        int cmdID = 10;
        for (const ClientCommand& c : m.Commands) {
            const auto code = script_.Codes.find(c.Source);
            const int value =
                code != script_.Codes.end() ? code->second : c.Name == "Add" ? 201 : 200;
            if (value != 0) r.ExtraBodyXml += StatusXml(cmdID++, m.MsgID, c.CmdID, c.Name, value);
        }
        for (const std::string& map : m.MapCmdIDs)
            r.ExtraBodyXml += StatusXml(cmdID++, m.MsgID, map, "Map", script_.MapStatus);
        // Its changes follow the client's last Sync message, and go on as the client asks
        // for more (Alert 222); a message of Statuses alone gets Statuses alone.
        const bool more = std::find(m.AlertCodes.begin(), m.AlertCodes.end(), "222") !=
                          m.AlertCodes.end();
        r.Final = m.Final && !script_.Idle;
        if (!script_.Idle && ((m.HasSync && m.Final) || (more && sending_))) {
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
        int n = 0;
        for (const RecordedRequest& request : peer.Requests())
            Out("> " + std::to_string(++n) + ": " + Render(request.Body));
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
    SyncCase(dir.Path()).Check(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Cases, SyncExchangeCase,
                         ::testing::ValuesIn(CaseFiles(fs::path(ORVANTA_TEST_DATA) / "sync")),
                         [](const auto& info) { return CaseName(info.param); });

}  // namespace
}  // namespace orvanta
