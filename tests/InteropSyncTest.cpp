// Two-way syncs with the real server as cases in tests/data/interop/*.case: devices, each
// a replica of its own synced by orvanta-sync (a child process) through a forwarding
// proxy of its own, and a third program writing into the server's "card" store. Contacts
// are written LAST:MOBILE (a vCard 2.1 "Anna LAST"). The commands:
//   server FILE=LAST:MOBILE...   the store holds these files for the rest of the case
//   third-add FILE LAST:MOBILE   the third program writes a new file
//   third-edit LAST:MOBILE       the third program rewrites the file of that contact
//   server contacts              the store's contacts, sorted
//   device D                     a new device (whether its device ID is its own)
//   D sync [WORDS...]            orvanta-sync with D's account and the words: its stdout
//                                (conflicts' times as WHEN) and "exit N"
//   D add LAST:MOBILE...         offline edits of D's replica
//   D replace LAST:MOBILE, D delete LAST
//   D contacts, D changes        the contacts held, the LUIDs with a change to send
//   D mark, D anchors            whether the anchors are still those at the mark
//   D kill REQUEST request|reply|half-reply
//                                the sync stalls there and is killed (SIGKILL)
//   D reply REQUEST status N | cut | edit REGEX WITH
//                                the next sync's reply to that request is replaced, cut
//                                in half, or edited
//   same-lines FROM TO LAST...   which of FROM's lines of these contacts TO holds, byte
//                                for byte (the server adds lines of its own)
// and for the load and store exchanges of a client of any kind (TEXT: the rest of the line):
//   server empty|samples KIND    the kind's store is empty, or holds the server's sample
//                                data, for the rest of the case
//   server put KIND FILE         writes the payload in the lines "| ..." under it there
//   server items KIND            the titles of the store's files, sorted
//   server calendar KIND FILE    the store holds the kind's items of data/interop/FILE, each
//                                in a file named by its UID, for the rest of the case
//   shown ZONE KIND FIELD        orvanta-load --fields in the client zone ZONE: each item's
//                                ID and that field, sorted
//   server lines KIND FILE NAME...  the file's lines of these properties
//   client C KIND                a new client of the kind's store, through a proxy of its own
//   C load, C store              the outcome the server recorded ("session 200"), or
//                                "! " and the message the client failed with
//   C items                      whether it loaded, how many items, whether their IDs are
//                                the server's; their titles and states, sorted
//   C new, C pick TITLE, C set NAME=VALUE   a new item, or the one with that title, for
//                                set, which sets a field as SetField takes it
//   C delete TITLE, C fields TITLE          deletes an item; prints its fields
//   C add-contacts N LENGTH      N new contacts, each with a note of LENGTH characters
//   C count TEXT                 how many items hold TEXT
//   C password TEXT, C source TEXT          the credentials and data source it uses
//   C lose REQUEST dropped|500   the reply to that request is lost, and the line after it
//                                (0: none; the proxy's counts start afresh)
//   C forwarded, C statuses N    the requests forwarded since; the Cmd and Data of each
//                                Status in the server's Nth reply
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>

#include "formats/ObjectFile.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "support/ChildProcess.h"
#include "support/Corpus.h"
#include "support/ForwardingProxy.h"
#include "support/Payloads.h"
#include "support/ReplicaCase.h"
#include "support/RealServer.h"
#include "support/ReplicaSupport.h"

namespace orvanta {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Last name to mobile phone, one entry per contact, so that one lost or doubled shows.
using ContactSet = std::multimap<std::string, std::string>;

std::pair<std::string, std::string> NameAndMobile(const std::string& payload) {
    TSMLContacts client;
    TSMLContact contact(&client);
    contact.Parse(payload);
    return {ToUTF8(contact.LastName()), ToUTF8(contact.Mobile())};
}

// The payload of LAST:MOBILE.
std::string Contact(const std::string& token) {
    const auto colon = token.find(':');
    return VCard(
        {"N:" + token.substr(0, colon) + ";Anna;;;", "TEL;CELL:" + token.substr(colon + 1)});
}

std::string Listed(const std::map<std::string, std::string>& payloads) {
    ContactSet set;
    for (const auto& [id, payload] : payloads)
        set.insert(NameAndMobile(payload));
    std::string line;
    for (const auto& [last, mobile] : set)
        line += (line.empty() ? "" : " ") + last + ":" + mobile;
    return line;
}

// The lines of a payload, its BEGIN, END and VERSION aside.
std::set<std::string> PropertyLines(const std::string& payload) {
    std::set<std::string> lines;
    for (const std::string_view line : SplitPayloadLines(payload))
        if (!line.starts_with("BEGIN:") && !line.starts_with("END:") &&
            !line.starts_with("VERSION:"))
            lines.emplace(line);
    return lines;
}

struct Device {
    explicit Device(const RealServer& server)
        : proxy(server.Url()), file(folder.Path() / "replica.sqlite") {}

    std::unique_ptr<ToolProcess> Start(std::vector<std::string> words) const {
        std::vector<std::string> args{"--replica", file.string(),     "--server", proxy.Url(),
                                      "--user",    RealServer::kUser, "card"};
        args.insert(args.end(), words.begin(), words.end());
        return std::make_unique<ToolProcess>(
            ORVANTA_SYNC_TOOL, args,
            std::vector<std::string>{std::string("ORVANTA_PASSWORD=") + RealServer::kPassword});
    }

    // The replica's data source, opened for the call only: the tool has the file to
    // itself otherwise.
    void Edit(const std::function<void(TReplicaStore&)>& edit) const {
        TReplica replica(file);
        TReplicaStore store = replica.Store({proxy.Url(), RealServer::kUser, "card", "card"});
        edit(store);
    }

    // The payloads of the items not deleted, by LUID.
    std::map<std::string, std::string> Payloads() const {
        std::map<std::string, std::string> payloads;
        Edit([&](TReplicaStore& store) {
            store.ReadItems([&](const StoredItemView& item) {
                if (item.State != ItemState::Deleted) payloads.emplace(item.LUID, item.Payload);
            });
        });
        return payloads;
    }

    std::string ID() const { return TReplica(file).DeviceID(); }

    std::string LUIDOf(const std::string& last) const {
        for (const auto& [luid, payload] : Payloads())
            if (NameAndMobile(payload).first == last) return luid;
        throw std::invalid_argument("no contact " + last);
    }

    TempFolder folder;
    ForwardingProxy proxy;
    fs::path file;
    SyncAnchors mark;
};

// A client's load and store exchanges with one kind's store.
struct Client {
    Client(const RealServer& server, const std::string& kind)
        : kind(kind), proxy(server.Url()), items(KindNamed(kind).MakeClient()) {
        server.Configure(*items);
        items->SetServerURL(proxy.Url());
    }

    std::size_t Index(const std::string& title) const {
        for (std::size_t i = 0; i < items->Items.size(); ++i)
            if (ToUTF8(items->Items[i]->GetTitle()) == title) return i;
        throw std::invalid_argument("no item titled " + title);
    }

    std::string kind;
    ForwardingProxy proxy;
    std::unique_ptr<TSMLBase> items;
    TSMLItem* picked = nullptr;
};

class InteropCase {
public:
    std::vector<std::string> Run(const std::string& line, const std::vector<std::string>& input) {
        out_.clear();
        static const std::regex twoWords(R"(^\s*\S+\s+\S+\s?)");
        rest_ = std::regex_replace(line, twoWords, "", std::regex_constants::format_first_only);
        input_ = input;
        try {
            Dispatch(Words(line));
        } catch (const std::exception& e) {
            static const std::regex url("http://[^ ]+");  // its port and session vary
            out_.push_back(std::regex_replace(std::string("! ") + e.what(), url, "URL"));
        }
        return out_;
    }

private:
    std::map<std::string, std::string> ServerPayloads() const {
        std::map<std::string, std::string> payloads;
        for (const std::string& id : server_.ItemIDs("card"))
            payloads[id] = ReadFile(server_.StoreFolder("card") / id);
        return payloads;
    }

    void Dispatch(const std::vector<std::string>& w) {
        const std::string& c = w.at(0);
        if (c == "server" && w.at(1) == "contacts") {
            out_.push_back(Listed(ServerPayloads()));
        } else if (c == "server" && (w.at(1) == "empty" || w.at(1) == "samples")) {
            std::map<std::string, std::string> files;
            const fs::path samples = fs::path(ORVANTA_TEST_DATA) / "../../scripts/sample-data";
            if (w[1] == "samples")
                for (const auto& entry : fs::directory_iterator(samples / w.at(2)))
                    files[entry.path().filename().string()] = ReadFile(entry.path());
            stores_.erase(w.at(2));
            stores_.try_emplace(w.at(2), server_, w.at(2), files);
        } else if (c == "server" && w.at(1) == "put") {
            std::string payload;
            for (const std::string& line : input_)
                payload += line + "\r\n";
            std::ofstream(server_.StoreFolder(w.at(2)) / w.at(3), std::ios::binary) << payload;
        } else if (c == "server" && w.at(1) == "calendar") {
            static const std::regex uid("\nUID:([^\r\n]*)");
            std::map<std::string, std::string> files;
            std::smatch id;
            const std::string file = ReadFile(fs::path(ORVANTA_TEST_DATA) / "interop" / w.at(3));
            for (const std::string& payload :
                 SplitObjectFile(file, KindNamed(w[2]).Component).Payloads)
                files[std::regex_search(payload, id, uid) ? id[1].str() : ""] = payload;
            stores_.erase(w[2]);
            stores_.try_emplace(w[2], server_, w[2], files);
        } else if (c == "shown") {
            Shown(w.at(1), w.at(2), w.at(3));
        } else if (c == "server" && (w.at(1) == "items" || w.at(1) == "lines")) {
            ServerItems(w);
        } else if (c == "server") {
            std::map<std::string, std::string> files;
            for (std::size_t i = 1; i < w.size(); ++i)
                files[w[i].substr(0, w[i].find('='))] = Contact(w[i].substr(w[i].find('=') + 1));
            stores_.erase("card");
            stores_.try_emplace("card", server_, "card", files);
        } else if (c == "client") {
            clients_[w.at(1)] = std::make_unique<Client>(server_, w.at(2));
        } else if (clients_.count(c)) {
            OnClient(*clients_.at(c), w.at(1), {w.begin() + 2, w.end()});
        } else if (c == "third-add") {
            std::ofstream(server_.StoreFolder("card") / w.at(1), std::ios::binary)
                << Contact(w.at(2));
        } else if (c == "third-edit") {
            const std::string last = w.at(1).substr(0, w.at(1).find(':'));
            for (const auto& [id, payload] : ServerPayloads())
                if (NameAndMobile(payload).first == last)
                    std::ofstream(server_.StoreFolder("card") / id, std::ios::binary)
                        << Contact(w[1]);
        } else if (c == "device") {
            auto device = std::make_unique<Device>(server_);
            std::string same;
            for (const auto& [name, other] : devices_)
                if (other->ID() == device->ID()) same = name;
            out_.push_back(same.empty() ? "a device ID of its own" : "the device ID of " + same);
            devices_[w.at(1)] = std::move(device);
        } else if (c == "same-lines") {
            SameLines(*devices_.at(w.at(1)), *devices_.at(w.at(2)), {w.begin() + 3, w.end()});
        } else {
            OnDevice(*devices_.at(c), w.at(1), {w.begin() + 2, w.end()});
        }
    }

    void OnDevice(Device& d, const std::string& c, const std::vector<std::string>& w) {
        if (c == "sync") {
            const ToolRun run = d.Start(w)->Wait();
            static const std::regex when(" [0-9T:+-]{25} ");
            std::istringstream in(std::regex_replace(run.Out, when, " WHEN "));
            for (std::string line; std::getline(in, line);)
                out_.push_back(line);
            out_.push_back("exit " + std::to_string(run.Status));
        } else if (c == "add") {
            std::vector<std::string> payloads;
            for (const std::string& token : w)
                payloads.push_back(Contact(token));
            const std::vector<std::string_view> views(payloads.begin(), payloads.end());
            d.Edit([&](TReplicaStore& store) { (void)store.AddLocal(views); });
        } else if (c == "replace") {
            const std::string luid = d.LUIDOf(w.at(0).substr(0, w.at(0).find(':')));
            d.Edit([&](TReplicaStore& store) { store.ReplaceLocal(luid, Contact(w[0])); });
        } else if (c == "delete") {
            const std::string luid = d.LUIDOf(w.at(0));
            d.Edit([&](TReplicaStore& store) { store.DeleteLocal(luid); });
        } else if (c == "contacts") {
            out_.push_back(Listed(d.Payloads()));
        } else if (c == "changes") {
            std::string line = "to send:";
            d.Edit([&](TReplicaStore& store) {
                for (const StoredItem& item : store.LocalChanges())
                    line += " " + item.LUID;
            });
            out_.push_back(line);
        } else if (c == "mark" || c == "anchors") {
            SyncAnchors anchors;
            d.Edit([&](TReplicaStore& store) { anchors = store.Anchors(); });
            if (c == "mark") d.mark = anchors;
            if (c == "anchors") out_.push_back(anchors == d.mark ? "as marked" : "moved");
        } else if (c == "kill") {
            d.proxy.StallAt(std::stoi(w.at(0)),
                            w.at(1) == "request" ? ForwardingProxy::Stall::Request
                            : w.at(1) == "reply" ? ForwardingProxy::Stall::Reply
                                                 : ForwardingProxy::Stall::HalfReply);
            const auto running = d.Start({});
            out_.push_back(d.proxy.WaitStalled() ? "stalled" : "never stalled");
            out_.push_back(running->Kill().Status == -1 ? "killed" : "ended before the kill");
            d.proxy.Release();
        } else if (c == "reply") {
            d.proxy.RewriteReplyOf(std::stoi(w.at(0)), Rewrite(w));
        } else {
            throw std::invalid_argument("unknown command " + c);
        }
    }

    void Shown(const std::string& zone, const std::string& kind, const std::string& field) {
        const ToolRun run =
            ToolProcess(ORVANTA_LOAD_TOOL, {server_.Url(), RealServer::kUser, "--fields", kind},
                        {"TZ=" + zone, std::string("ORVANTA_PASSWORD=") + RealServer::kPassword})
                .Wait();
        if (run.Status != 0) out_.push_back("exit " + std::to_string(run.Status) + ": " + run.Err);
        static const std::regex id("^\\{\"id\":\"([^\"]*)\"");
        const std::regex value("\"" + field + "\":\"([^\"]*)\"");
        std::vector<std::string> lines;
        std::istringstream in(run.Out);
        std::smatch i, v;
        for (std::string line; std::getline(in, line);)
            if (std::regex_search(line, i, id) && std::regex_search(line, v, value))
                lines.push_back(i[1].str() + " " + v[1].str());
        std::sort(lines.begin(), lines.end());
        out_.insert(out_.end(), lines.begin(), lines.end());
    }

    void ServerItems(const std::vector<std::string>& w) {
        std::vector<std::string> lines;
        for (const std::string& id : server_.ItemIDs(w.at(2))) {
            if (w[1] == "lines" && id != w.at(3)) continue;
            const auto item = KindNamed(w[2]).MakeClient()->CreateItem();
            item->Parse(ReadFile(server_.StoreFolder(w[2]) / id));
            if (w[1] == "items") {
                lines.push_back(Escaped(ToUTF8(item->GetTitle())));
                continue;
            }
            for (const std::string_view line : item->Lines)
                if (std::find(w.begin() + 4, w.end(), GetPropertyName(line)) != w.end())
                    lines.emplace_back(line);
        }
        if (w[1] == "items") std::sort(lines.begin(), lines.end());
        out_.insert(out_.end(), lines.begin(), lines.end());
    }

    void OnClient(Client& c, const std::string& cmd, const std::vector<std::string>& w) {
        TSMLBase& client = *c.items;
        if (cmd == "load" || cmd == "store") {
            c.picked = nullptr;
            out_.push_back("session " +
                           (cmd == "load" ? server_.Load(client) : server_.Store(client)));
        } else if (cmd == "items") {
            static const char* const kStates[] = {"", " (new)", " (modified)", " (deleted)"};
            std::vector<std::string> titles;
            for (const auto& item : client.Items)
                titles.push_back(Escaped(ToUTF8(item->GetTitle())) +
                                 kStates[static_cast<int>(item->State)]);
            std::sort(titles.begin(), titles.end());
            out_.push_back(std::string(client.Loaded ? "loaded, " : "not loaded, ") +
                           std::to_string(titles.size()) + " items" +
                           (SortedIDs(client) == server_.ItemIDs(c.kind)
                                ? ", the server's IDs"
                                : ", not the server's IDs"));
            out_.insert(out_.end(), titles.begin(), titles.end());
        } else if (cmd == "new") {
            c.picked = client.NewItem();
        } else if (cmd == "pick") {
            c.picked = client.Items[c.Index(rest_)].get();
        } else if (cmd == "set") {
            if (!c.picked) throw std::invalid_argument("no item picked");
            SetField(*c.picked, rest_);
        } else if (cmd == "delete") {
            client.DeleteItem(c.Index(rest_));
        } else if (cmd == "fields") {
            std::istringstream in(FilledFields(KindNamed(c.kind), *client.Items[c.Index(rest_)]));
            for (std::string line; std::getline(in, line);)
                out_.push_back(line);
        } else if (cmd == "add-contacts") {
            for (int i = 1; i <= std::stoi(w.at(0)); ++i) {
                TSMLItem* contact = client.NewItem();
                contact->Parse(VCard({"N:Verloren;Nummer " + std::to_string(i) + ";;;",
                                      "NOTE:" + std::string(std::stoul(w.at(1)), 'n')}));
                contact->State = ItemState::New;
            }
        } else if (cmd == "count") {
            const auto n = std::count_if(client.Items.begin(), client.Items.end(), [&](auto& item) {
                return item->GetText().find(rest_) != std::string::npos;
            });
            out_.push_back(std::to_string(n) + " items with " + rest_);
        } else if (cmd == "password" || cmd == "source") {
            (cmd == "password" ? client.Password : client.DataSource) = rest_;
        } else if (cmd == "lose") {
            c.proxy.LoseReplyOf(std::stoi(w.at(0)), w.at(1) == "dropped"
                                                        ? ForwardingProxy::Loss::Dropped
                                                        : ForwardingProxy::Loss::ServerError);
        } else if (cmd == "forwarded") {
            out_.push_back(std::to_string(c.proxy.Forwarded()) + " forwarded");
        } else if (cmd == "statuses") {
            static const std::regex status(
                "<Status>[\\s\\S]*?<Cmd>([^<]*)</Cmd>[\\s\\S]*?<Data>([^<]*)</Data>");
            const std::string reply = c.proxy.Replies().at(std::stoul(w.at(0)) - 1);
            for (std::sregex_iterator m(reply.begin(), reply.end(), status), end; m != end; ++m)
                out_.push_back((*m)[1].str() + " " + (*m)[2].str());
        } else {
            throw std::invalid_argument("unknown command " + cmd);
        }
    }

    static ForwardingProxy::Rewrite Rewrite(const std::vector<std::string>& w) {
        if (w.at(1) == "status") {
            return [status = std::stoi(w.at(2))](const std::string&) {
                return PeerReply{status, {}, 0};
            };
        }
        if (w.at(1) == "cut") {
            return [](const std::string& reply) {
                return PeerReply{200, reply.substr(0, reply.size() / 2), 0};
            };
        }
        return [pattern = std::regex(w.at(2)), with = w.at(3)](const std::string& reply) {
            return PeerReply{
                200,
                std::regex_replace(reply, pattern, with, std::regex_constants::format_first_only),
                0};
        };
    }

    void SameLines(const Device& from, const Device& to, const std::set<std::string>& written) {
        std::map<std::string, std::string> theirs;
        for (const auto& [luid, payload] : to.Payloads())
            theirs.emplace(NameAndMobile(payload).first, payload);
        int found = 0, all = 0;
        for (const auto& [luid, payload] : from.Payloads()) {
            const std::string last = NameAndMobile(payload).first;
            if (!written.count(last)) continue;
            const std::set<std::string> lines = PropertyLines(theirs[last]);
            for (const std::string& line : PropertyLines(payload)) {
                ++all;
                if (lines.count(line))
                    ++found;
                else
                    out_.push_back("missing in " + last + ": " + line);
            }
        }
        out_.push_back(std::to_string(found) + " of " + std::to_string(all) + " lines found");
    }

    const RealServer server_;
    std::map<std::string, ScopedStoreContents> stores_;  // by kind
    std::map<std::string, std::unique_ptr<Device>> devices_;
    std::map<std::string, std::unique_ptr<Client>> clients_;
    std::vector<std::string> out_;
    std::string rest_;                // the command line after its first two words
    std::vector<std::string> input_;  // the lines "| ..." under it
};

class InteropSync : public ::testing::TestWithParam<fs::path> {};

TEST_P(InteropSync, GivesTheExpectedOutput) {
    InteropCase run;
    ExpectTranscript(GetParam(),
                     Transcript(ReadFile(GetParam()), [&](const auto& line, const auto& input) {
                         return run.Run(line, input);
                     }));
}

INSTANTIATE_TEST_SUITE_P(Cases, InteropSync, ::testing::ValuesIn(CaseFiles("interop", ".case")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

}  // namespace
}  // namespace orvanta
