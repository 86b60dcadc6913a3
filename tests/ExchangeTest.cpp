#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "engine/Errors.h"
#include "engine/SyncExchange.h"
#include "engine/SyncMLMessage.h"
#include "kinds/KindTable.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/ReplicaCase.h"
#include "support/ReplicaSupport.h"
#include "support/SyncPeer.h"

namespace orvanta {
namespace {

using namespace test;

const std::filesystem::path kSessions = std::filesystem::path(ORVANTA_TEST_DATA) / "sessions";
const char* const kStates[] = {"unchanged", "new", "modified", "deleted"};
const std::string kCard = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family;Given;;;\r\nEND:VCARD\r\n";

// One recorded session of tests/data/sessions: a client of its own and a peer that answers
// it from the case's replies. The commands:
//   reply [at N]          the next reply (or the reply to request N), its lines "| path=value"
//                         as Unflattened reads them; "| @NAME" takes the lines of NAME.reply;
//                         "from N": the reply to request N and to every later one the queue
//                         leaves unanswered
//   reply-xml [at N]      a reply as the text of its "| " lines
//   reply-http CODE [at N]  an HTTP status, its body the "| " lines
//   store-server [CODE=ID...]  when no reply is left, answers as a server that
//                         accepts every change (or gives the item ID the code; 0 for none)
//   client KIND           a client of another kind; random N...; credentials [USER PASS];
//                         url USER:PASS (the peer's URL with user information)
//   loaded ANCHOR         the client as after a load; item ID STATE [PAYLOAD]; set ID F=V;
//                         state ID STATE
//   load [LAST]; store    the exchange: its failure "! ..." and what the load refused
//   sent N [NAME...]      the Nth message of the last exchange: "> " the HTTP target, then
//                         its lines as Flattened writes them (only those of commands NAME)
//   requests; items; payload ID; anchor
// Replies and messages say {url} for the peer's address.
class SessionCase {
public:
    SessionCase()
        : peer_([this](const RecordedRequest& request, int index) {
              return Answer(request, index);
          }) {
        client_ = ClientFor(peer_);
    }

    std::vector<std::string> Run(const std::string& command,
                                 const std::vector<std::string>& input) {
        std::istringstream in(command);
        std::string verb;
        std::vector<std::string> args;
        in >> verb;
        for (std::string word; in >> word;)
            args.push_back(word);
        const std::string rest =
            command.size() > verb.size() ? command.substr(verb.size() + 1) : "";
        if (verb.starts_with("reply")) {
            Queue(verb, args, input);
        } else if (verb == "store-server") {
            std::map<std::string, int> codes;
            for (const std::string& a : args)
                codes[a.substr(a.find('=') + 1)] = std::stoi(a);
            store_ = StoreServer([codes](const MessagePart& c) {
                const auto code = codes.find(c["Item/Source/LocURI"]);
                return code != codes.end() ? code->second : UsualCode(c);
            });
        } else if (verb == "client") {
            client_ = KindNamed(rest).MakeClient();
            Configure(*client_, peer_);
        } else if (verb == "random") {
            std::deque<std::uint32_t> numbers;
            for (const std::string& a : args)
                numbers.push_back(static_cast<std::uint32_t>(std::stoul(a)));
            Client().Random = Sequence(numbers);
        } else if (verb == "url") {
            Client().SetServerURL(Replaced(peer_.Url(), "://", "://" + rest + "@"));
        } else if (verb == "credentials") {
            Client().UserName = args.empty() ? "" : args[0];
            Client().Password = args.empty() ? "" : args[1];
        } else if (verb == "loaded") {
            Client().Loaded = true;
            Client().NextAnchor = rest;
        } else if (verb == "item") {
            TSMLItem& item = *Client().Items.emplace_back(Client().CreateItem());
            item.Parse(args.size() > 2 ? Unescaped(args[2]) : kCard);
            item.ID = args[0];
            item.State = StateOf(args[1]);
        } else if (verb == "set") {
            SetField(Item(args[0]), rest.substr(args[0].size() + 1));
        } else if (verb == "state") {
            Item(args[0]).State = StateOf(args[1]);
        } else if (verb == "load" || verb == "store") {
            return Exchange(verb == "load", rest);
        } else if (verb == "sent") {
            return Sent(std::stoul(args.at(0)), {args.begin() + 1, args.end()});
        } else if (verb == "requests") {
            return {std::to_string(peer_.Requests().size())};
        } else if (verb == "items") {
            return Items();
        } else if (verb == "payload") {
            return {Escaped(Item(args[0]).GetText())};
        } else if (verb == "anchor") {
            return {"next " + Client().NextAnchor +
                    (Client().Loaded ? ", loaded" : ", not loaded")};
        } else {
            return {"? unknown command"};
        }
        return {};
    }

private:
    static ItemState StateOf(const std::string& name) {
        return static_cast<ItemState>(std::ranges::find(kStates, name) - std::begin(kStates));
    }

    TSMLBase& Client() { return *client_; }

    TSMLItem& Item(const std::string& id) {
        for (const auto& item : Client().Items)
            if (item->ID == id) return *item;
        throw std::invalid_argument("no item " + id);
    }

    // The lines, each "@NAME" replaced by the lines of NAME.reply.
    std::vector<std::string> Expanded(const std::vector<std::string>& input) const {
        std::vector<std::string> lines;
        for (const std::string& line : input) {
            if (!line.starts_with('@')) {
                lines.push_back(Replaced(line, "{url}", peer_.Url("")));
                continue;
            }
            std::vector<std::string> included;
            for (const auto l :
                 SplitPayloadLines(ReadFile(kSessions / (line.substr(1) + ".reply"))))
                included.emplace_back(l);
            for (std::string& l : Expanded(included))
                lines.push_back(std::move(l));
        }
        return lines;
    }

    void Queue(const std::string& verb, std::vector<std::string> args,
               const std::vector<std::string>& input) {
        PeerReply reply{200, {}, 0};
        int at = 0;
        const bool from = args.size() >= 2 && args[args.size() - 2] == "from";
        if (args.size() >= 2 && (from || args[args.size() - 2] == "at")) {
            at = std::stoi(args.back());
            args.resize(args.size() - 2);
        }
        const std::vector<std::string> lines = Expanded(input);
        if (verb == "reply") {
            reply.Body = Unflattened(lines);
        } else {
            for (const std::string& line : lines)
                reply.Body += line;
            if (verb == "reply-http") reply.Status = std::stoi(args.at(0));
        }
        const std::lock_guard lock(mutex_);
        from ? void(from_ = {at, reply}) : at > 0 ? void(at_[at] = reply) : queue_.push_back(reply);
    }

    PeerReply Answer(const RecordedRequest& request, int index) {
        const std::lock_guard lock(mutex_);
        if (const auto at = at_.find(index + 1); at != at_.end()) return at->second;
        if (next_ < queue_.size()) return queue_[next_++];
        if (from_ && index + 1 >= from_->first) return from_->second;
        if (store_) return store_(request, index);
        return {500, "no more replies in the script", 0};
    }

    std::vector<std::string> Exchange(bool load, const std::string& last) {
        first_ = peer_.Requests().size();
        std::vector<std::string> out;
        const std::string failure = FailureOf<SyncError>([&] {
            load ? Client().Load(last.size() > 1 && last.front() == '"'
                                     ? last.substr(1, last.size() - 2)
                                     : last)
                 : Client().Store();
        });
        if (failure != "no failure")
            out.push_back("! " + Replaced(failure, peer_.Url(""), "{url}"));
        if (!Client().Refused.empty()) out.push_back("refused: " + RefusedReport(Client().Refused));
        return out;
    }

    std::vector<std::string> Sent(std::size_t n, const std::vector<std::string>& names) {
        const auto requests = peer_.Requests();
        if (first_ + n > requests.size()) return {"? no message " + std::to_string(n)};
        const RecordedRequest& r = requests[first_ + n - 1];
        std::vector<std::string> out{"> " + r.Target};
        for (const std::string& line : Flattened(r.Body)) {
            const std::string command = line.substr(0, line.find_first_of("/="));
            if (names.empty() || std::find(names.begin(), names.end(), command) != names.end())
                out.push_back(Replaced(line, peer_.Url(""), "{url}"));
        }
        return out;
    }

    std::vector<std::string> Items() {
        static const char* const kChanges[] = {"-", "added", "replaced", "deleted"};
        std::vector<std::string> out;
        for (const auto& item : Client().Items) {
            out.push_back(item->ID + " " + kStates[static_cast<int>(item->State)] + " " +
                          kChanges[static_cast<int>(item->ServerChange)] + " " +
                          (item->CmdID.empty() ? "-" : item->CmdID) + " " +
                          ToUTF8(item->GetTitle()));
        }
        return out;
    }

    std::mutex mutex_;
    std::deque<PeerReply> queue_;
    std::size_t next_ = 0;
    std::map<int, PeerReply> at_;
    std::optional<std::pair<int, PeerReply>> from_;  // the reply to request N and every later one
    ScriptedPeer::Handler store_;
    ScriptedPeer peer_;
    std::unique_ptr<TSMLBase> client_;
    std::size_t first_ = 0;  // the first request of the last exchange
};

class Sessions : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(Sessions, GoAsRecorded) {
    SessionCase session;
    ExpectTranscript(GetParam(),
                     Transcript(ReadFile(GetParam()), [&](const auto& command, const auto& input) {
                         return session.Run(command, input);
                     }));
}

INSTANTIATE_TEST_SUITE_P(Data, Sessions, ::testing::ValuesIn(CaseFiles("sessions", ".case")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

// Thousands of Adds, Replaces and Deletes over a few thousand identifiers, in one reply:
// repeated, of items deleted before, of items never sent. The client keeps what a plain
// map of identifiers keeps (in the order items first came, each with its last payload)
// and answers 211 exactly to the Deletes of items it does not hold.
TEST(Load, ManyChangesOfTheSameItemsEndAsAMapOfIdentifiers) {
    ServerReplyShape r;
    std::vector<std::pair<std::string, std::string>> held;  // ID and title, in the client's order
    std::string deletes;
    std::uint32_t random = 12345;
    for (int k = 0; k < 6000; ++k) {
        random = random * 1103515245u + 12345u;
        const std::string id = "c" + std::to_string((random >> 8) % 2500);
        const int kind = k < 1500 ? 0 : static_cast<int>((random >> 20) % 3);
        const std::string cmdID = std::to_string(10 + k);
        const auto at = std::ranges::find(held, id, &std::pair<std::string, std::string>::first);
        if (kind == 2) {
            r.Commands.push_back({"Delete", cmdID, id, std::nullopt});
            deletes += id + (at == held.end() ? " 211 " : " 200 ");
            if (at != held.end()) held.erase(at);
            continue;
        }
        r.Commands.push_back(
            {kind == 0 ? "Add" : "Replace", cmdID, id, VCard({"N:" + cmdID + ";Given;;;"})});
        (at == held.end() ? held.emplace_back(id, "") : *at).second = "Given " + cmdID;
    }
    ScriptedPeer peer({BuildServerReply(r), Closing()});
    auto client = ClientFor(peer);
    client->Load("");

    std::string expected, got;
    for (const auto& [id, title] : held)
        expected += id + " " + title + ", ";
    for (std::size_t i = 0; i < client->Count(); ++i)
        got += client->Item(i)->ID + " " + ToUTF8(client->Item(i)->GetTitle()) + ", ";
    EXPECT_EQ(got, expected);
    std::string answered;
    for (const RecordedRequest& request : peer.Requests()) {
        for (const MessagePart& s : PartsOf(request.Body))
            if (s.Name == "Status" && s["Cmd"] == "Delete")
                answered += s["TargetRef"] + " " + s["Data"] + " ";
    }
    EXPECT_EQ(answered, deletes);
}

// A new identifier skips those taken; a random source that gives only taken ones fails.
TEST(SyncClient, MakeUniqueIDSkipsTakenIdentifiers) {
    TSMLContacts client;
    client.Random = Sequence({42, 42, 7, 99999999});
    EXPECT_EQ(client.NewItem()->ID, "42");
    EXPECT_EQ(client.NewItem()->ID, "7");
    EXPECT_EQ(client.MakeUniqueID(), "99999999");
    // Several at once differ from each other as well.
    client.Random = Sequence({3, 3, 42, 4});
    EXPECT_EQ(client.MakeUniqueIDs(2), (std::vector<std::string>{"3", "4"}));
    client.Random = Sequence({7});
    EXPECT_THROW((void)client.MakeUniqueID(), SyncError);
}

TEST(SyncClient, DefaultRandomSourceDrawsDistinctIdentifiers) {
    TSMLContacts client;
    std::set<std::string> ids;
    for (int i = 0; i < 2000; ++i) {
        const std::string id = client.NewItem()->ID;
        EXPECT_LE(id.size(), 8u);
        EXPECT_EQ(id.find_first_not_of("0123456789"), std::string::npos);
        EXPECT_TRUE(id == "0" || id.front() != '0');
        ids.insert(id);
    }
    EXPECT_EQ(ids.size(), 2000u);
}

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
struct Script {
    std::string Alert;
    int AlertStatus = 200;
    std::optional<std::string> Last;
    std::map<std::string, int> Codes;
    std::vector<ServerCommand> Commands;
    int PerMessage = 0;
    int MaxMsgSize = 0;
    int MapStatus = 200;
    int FailAt = 0;
    bool Idle = false;
};

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
                            (code == "222" ? ""
                                           : " last '" + p["Item/Meta/Anchor/Last"] + "' next " +
                                                 p["Item/Meta/Anchor/Next"]));
        } else if (p.Name == "Sync") {
            const std::string count = p["NumberOfChanges"];
            parts.push_back(count.empty() ? "Sync" : "Sync of " + count);
        } else if (p.Name == "Add" || p.Name == "Replace" || p.Name == "Delete") {
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
        const std::map<std::string, int*> numbers{{"alert-status", &script_.AlertStatus},
                                                  {"per-message", &script_.PerMessage},
                                                  {"max-msg-size", &script_.MaxMsgSize},
                                                  {"map-status", &script_.MapStatus},
                                                  {"fail-at", &script_.FailAt}};
        const std::string what = w.size() > 1 ? w[1] : "";
        if (w.at(0) == "sync") {
            Sync();
        } else if (w[0] != "server") {
            return false;
        } else if (numbers.contains(what)) {
            *numbers.at(what) = std::stoi(w.at(2));
        } else if (what == "alert") {
            script_.Alert = w.at(2);
        } else if (what == "last") {
            script_.Last = w.at(2);
        } else if (what == "status") {
            script_.Codes[w.at(2)] = std::stoi(w.at(3));
        } else if (what == "idle") {
            script_.Idle = true;
        } else if (what == "add" || what == "replace" || what == "delete" || what == "broken-add") {
            const std::string cmdID =
                what == "broken-add" ? "x" : std::to_string(100 + script_.Commands.size());
            script_.Commands.push_back(
                {what == "broken-add"
                     ? "Add"
                     : std::string(1, static_cast<char>(what[0] - 32)) + what.substr(1),
                 cmdID, w.at(2),
                 w.size() > 3 ? std::optional<std::string>(Unescaped(w[3])) : std::nullopt});
        } else {
            return false;
        }
        return true;
    }

    PeerReply Answer(const RecordedRequest& request, int index) {
        if (index + 1 == script_.FailAt) return {500, "failed", 0};
        const Message m = PartsOf(request.Body);
        if (Find(m, "SyncHdr")["MsgID"] == "1") {
            // The script's Alert is that of the sync's first session; a session after it
            // (the changes left by a slow sync) is a plain one.
            if (opened_++ > 0) {
                script_.Alert.clear();
                script_.AlertStatus = 200;
                script_.Last.reset();
            }
            ServerReplyShape r =
                Opening(m, script_.Alert, script_.Last.value_or(Store().Anchors().Server),
                        "s" + std::to_string(sessions_));
            r.AlertStatus = script_.AlertStatus;
            r.MaxMsgSize = script_.MaxMsgSize;
            return {200, BuildServerReply(r), 0};
        }
        const auto codeFor = [this](const MessagePart& c) {
            const auto code = script_.Codes.find(c["Item/Source/LocURI"]);
            return code != script_.Codes.end() ? code->second : UsualCode(c);
        };
        ServerReplyShape r = Confirming(m, codeFor, script_.MapStatus);
        r.MaxMsgSize = script_.MaxMsgSize;
        // Its changes follow the client's last Sync message, and go on as the client asks
        // for more (Alert 222); a message of Statuses alone gets Statuses alone.
        const bool more = Find(m, "Alert")["Data"] == "222" && sending_;
        const bool syncs = !Find(m, "Sync").Name.empty() && r.Final;
        r.Final = r.Final && !script_.Idle;
        if (!script_.Idle && (syncs || more)) {
            r.Sync = true;
            const auto per = static_cast<std::size_t>(script_.PerMessage);
            for (std::size_t n = 0; sent_ < script_.Commands.size() && (per == 0 || n < per); ++n)
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
        ScriptedPeer peer(
            [this](const RecordedRequest& request, int index) { return Answer(request, index); });
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
            Out("> " + std::to_string(n) + ": " + Render(request.Body) +
                (over ? " | OVER THE LIMIT" : ""));
        }
        // The peer's port changes from run to run.
        for (const std::string& line : result)
            Out(Replaced(line, peer.Url(), "{url}"));
        script_ = {};
    }

    Script script_;
    int sessions_ = 0;
    std::uint32_t draws_ = 0;  // the client's random numbers, counted on from sync to sync
    int opened_ = 0;           // sessions the sync has opened
    bool sending_ = false;
    std::size_t sent_ = 0;
};

class SyncExchangeCase : public ::testing::TestWithParam<std::filesystem::path> {};

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
