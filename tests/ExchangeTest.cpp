#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <regex>
#include <sstream>

#include "engine/Errors.h"
#include "engine/SyncMLMessage.h"
#include "kinds/KindTable.h"
#include "support/Corpus.h"
#include "support/SyncPeer.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

const std::filesystem::path kSessions = std::filesystem::path(ORVANTA_TEST_DATA) / "sessions";
const std::string kCard = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family;Given;;;\r\nEND:VCARD\r\n";

// One recorded session of tests/data/sessions: a client of its own and a peer that answers
// it from the case's replies. The commands:
//   reply [at N]          the next reply (or the reply to request N), its lines "| path=value"
//                         as Unflattened reads them; "| @NAME" takes the lines of NAME.reply
//   reply-xml [at N]      a reply as the text of its "| " lines
//   reply-http CODE [at N]  an HTTP status, its body the "| " lines
//   store-server [CODE=ID...] [max=N]  when no reply is left, answers as a server that
//                         accepts every change (or gives the item ID the code; 0 for none)
//   client KIND           a client of another kind; random N...; credentials [USER PASS]
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
        : peer_([this](const RecordedRequest& request, int index) { return Answer(request, index); }) {
        client_ = ClientFor(peer_);
    }

    std::vector<std::string> Run(const std::string& command, const std::vector<std::string>& input) {
        std::istringstream in(command);
        std::string verb;
        std::vector<std::string> args;
        in >> verb;
        for (std::string word; in >> word;)
            args.push_back(word);
        const std::string rest = command.size() > verb.size() ? command.substr(verb.size() + 1) : "";
        if (verb.starts_with("reply")) {
            Queue(verb, args, input);
        } else if (verb == "store-server") {
            std::map<std::string, int> codes;
            long max = 0;
            for (const std::string& a : args) {
                const std::size_t eq = a.find('=');
                a.starts_with("max=") ? void(max = std::stol(a.substr(4)))
                                      : void(codes[a.substr(eq + 1)] = std::stoi(a.substr(0, eq)));
            }
            store_ = StoreServer(
                [codes](const MessagePart& c) {
                    const auto code = codes.find(c["Item/Source/LocURI"]);
                    return code != codes.end() ? code->second : c.Name == "Add" ? 201 : 200;
                },
                [max](ServerReplyShape& r, int) { r.MaxMsgSize = max; });
        } else if (verb == "client") {
            client_ = KindNamed(rest).MakeClient();
            Configure(*client_, peer_);
        } else if (verb == "random") {
            std::deque<std::uint32_t> numbers;
            for (const std::string& a : args)
                numbers.push_back(static_cast<std::uint32_t>(std::stoul(a)));
            Client().Random = Sequence(numbers);
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
            return {"next " + Client().NextAnchor + (Client().Loaded ? ", loaded" : ", not loaded")};
        } else {
            return {"? unknown command"};
        }
        return {};
    }

private:
    static ItemState StateOf(const std::string& name) {
        static const char* const kNames[] = {"unchanged", "new", "modified", "deleted"};
        return static_cast<ItemState>(std::find(std::begin(kNames), std::end(kNames), name) -
                                      std::begin(kNames));
    }

    TSMLBase& Client() { return *client_; }

    TSMLItem& Item(const std::string& id) {
        for (const auto& item : Client().Items)
            if (item->ID == id) return *item;
        throw std::invalid_argument("no item " + id);
    }

    std::string WithUrl(std::string text) const {
        return std::regex_replace(text, std::regex(R"(\{url\})"), peer_.Url(""));
    }

    // The lines, each "@NAME" replaced by the lines of NAME.reply.
    std::vector<std::string> Expanded(const std::vector<std::string>& input) const {
        std::vector<std::string> lines;
        for (const std::string& line : input) {
            if (!line.starts_with('@')) {
                lines.push_back(WithUrl(line));
                continue;
            }
            std::vector<std::string> included;
            for (const auto l : SplitPayloadLines(ReadFile(kSessions / (line.substr(1) + ".reply"))))
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
        if (args.size() >= 2 && args[args.size() - 2] == "at") {
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
        at > 0 ? void(at_[at] = reply) : queue_.push_back(reply);
    }

    PeerReply Answer(const RecordedRequest& request, int index) {
        const std::lock_guard lock(mutex_);
        if (const auto at = at_.find(index + 1); at != at_.end()) return at->second;
        if (next_ < queue_.size()) return queue_[next_++];
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
        if (failure != "no failure") out.push_back("! " + WithoutUrl(failure));
        if (!Client().Refused.empty()) out.push_back("refused: " + RefusedReport(Client().Refused));
        return out;
    }

    std::string WithoutUrl(std::string text) const {
        for (std::size_t at; (at = text.find(peer_.Url(""))) != std::string::npos;)
            text.replace(at, peer_.Url("").size(), "{url}");
        return text;
    }

    std::vector<std::string> Sent(std::size_t n, const std::vector<std::string>& names) {
        const auto requests = peer_.Requests();
        if (first_ + n > requests.size()) return {"? no message " + std::to_string(n)};
        const RecordedRequest& r = requests[first_ + n - 1];
        std::vector<std::string> out{"> " + r.Target};
        for (const std::string& line : Flattened(r.Body)) {
            const std::string command = line.substr(0, line.find_first_of("/="));
            if (names.empty() || std::find(names.begin(), names.end(), command) != names.end())
                out.push_back(WithoutUrl(line));
        }
        return out;
    }

    std::vector<std::string> Items() {
        static const char* const kStates[] = {"unchanged", "new", "modified", "deleted"};
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
    ScriptedPeer::Handler store_;
    ScriptedPeer peer_;
    std::unique_ptr<TSMLBase> client_;
    std::size_t first_ = 0;  // the first request of the last exchange
};

class Sessions : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(Sessions, GoAsRecorded) {
    SessionCase session;
    ExpectTranscript(GetParam(), Transcript(ReadFile(GetParam()), [&](const auto& command,
                                                                        const auto& input) {
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
    r.Commands.clear();
    std::vector<std::string> held;  // in the order the client holds them
    std::map<std::string, std::string> titles;
    std::string deletes;
    std::uint32_t random = 12345;
    for (int k = 0; k < 6000; ++k) {
        random = random * 1103515245u + 12345u;
        const std::string id = "c" + std::to_string((random >> 8) % 2500);
        const int kind = k < 1500 ? 0 : static_cast<int>((random >> 20) % 3);
        const std::string cmdID = std::to_string(10 + k);
        const auto at = std::find(held.begin(), held.end(), id);
        if (kind == 2) {
            r.Commands.push_back({"Delete", cmdID, id, std::nullopt});
            deletes += id + (at == held.end() ? " 211 " : " 200 ");
            if (at != held.end()) held.erase(at), titles.erase(id);
            continue;
        }
        const std::string title = "Given " + cmdID;
        r.Commands.push_back(
            {kind == 0 ? "Add" : "Replace", cmdID, id, VCard({"N:" + cmdID + ";Given;;;"})});
        if (at == held.end()) held.push_back(id);
        titles[id] = title;
    }
    ScriptedPeer peer({BuildServerReply(r), Closing()});
    auto client = ClientFor(peer);
    client->Load("");

    std::string expected, got;
    for (const std::string& id : held)
        expected += id + " " + titles[id] + ", ";
    for (std::size_t i = 0; i < client->Count(); ++i)
        got += client->Item(i)->ID + " " + ToUTF8(client->Item(i)->GetTitle()) + ", ";
    EXPECT_EQ(got, expected);
    std::string answered;
    for (const Message& m : Messages(peer)) {
        for (const MessagePart& s : m) {
            if (s.Name == "Status" && s["Cmd"] == "Delete") answered += s["TargetRef"] + " " + s["Data"] + " ";
        }
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

}  // namespace
}  // namespace orvanta
