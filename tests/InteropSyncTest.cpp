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
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <sstream>

#include "kinds/ContSyncML.h"
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

    std::string ID() const {
        std::string id;
        Edit([&](TReplicaStore& store) { id = store.DeviceID(); });
        return id;
    }

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

class InteropCase {
public:
    std::vector<std::string> Run(const std::string& line) {
        out_.clear();
        try {
            Dispatch(Words(line));
        } catch (const std::exception& e) {
            out_.push_back(std::string("! ") + e.what());
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
        } else if (c == "server") {
            std::map<std::string, std::string> files;
            for (std::size_t i = 1; i < w.size(); ++i)
                files[w[i].substr(0, w[i].find('='))] = Contact(w[i].substr(w[i].find('=') + 1));
            store_.emplace(server_, "card", files);
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
    std::optional<ScopedStoreContents> store_;
    std::map<std::string, std::unique_ptr<Device>> devices_;
    std::vector<std::string> out_;
};

class InteropSync : public ::testing::TestWithParam<fs::path> {};

TEST_P(InteropSync, GivesTheExpectedOutput) {
    InteropCase run;
    ExpectTranscript(GetParam(), Transcript(ReadFile(GetParam()), [&](const auto& line, auto&) {
                         return run.Run(line);
                     }));
}

INSTANTIATE_TEST_SUITE_P(Cases, InteropSync, ::testing::ValuesIn(CaseFiles("interop", ".case")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

}  // namespace
}  // namespace orvanta
