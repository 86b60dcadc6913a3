// Two-way syncs with the real server, each device a replica of its own synced by
// orvanta-sync (a child process): changes both ways, two devices and a third program
// writing into the server's store, conflicts, the pairing of a first slow sync, and
// sessions that fail. After each sync the replicas and the server's files are compared
// with the contacts expected: none lost, none doubled.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "formats/ItemStorage.h"
#include "support/Payloads.h"
#include "support/RealServer.h"
#include "support/SyncDevice.h"

namespace orvanta {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::string Summary(const std::string& sent, const std::string& received, int conflicts,
                    bool slow = false) {
    return "sent: " + sent + "; received: " + received + "; " + std::to_string(conflicts) +
           (conflicts == 1 ? " conflict" : " conflicts") + (slow ? " (slow sync)" : "") + "\n";
}

// A sync that went through, with this summary.
#define EXPECT_SYNC(device, summary)              \
    do {                                          \
        const ToolRun run_ = (device).Run();      \
        EXPECT_EQ(run_.Status, 0) << run_.Err;    \
        EXPECT_EQ(run_.Out, summary) << run_.Err; \
    } while (false)

void AddLocal(SyncDevice& device, const std::vector<std::string>& payloads) {
    device.Edit([&](TReplicaStore& store) {
        const std::vector<std::string_view> views(payloads.begin(), payloads.end());
        (void)store.AddLocal(views);
    });
}

void ReplaceLocal(SyncDevice& device, const std::string& last, const std::string& mobile) {
    const std::string luid = device.LUIDOf(last);
    ASSERT_FALSE(luid.empty()) << last;
    device.Edit([&](TReplicaStore& store) { store.ReplaceLocal(luid, Contact(last, mobile)); });
}

void DeleteLocal(SyncDevice& device, const std::string& last) {
    const std::string luid = device.LUIDOf(last);
    ASSERT_FALSE(luid.empty()) << last;
    device.Edit([&](TReplicaStore& store) { store.DeleteLocal(luid); });
}

// The lines of a payload, its BEGIN, END and VERSION aside.
std::set<std::string> PropertyLines(const std::string& payload) {
    std::set<std::string> lines;
    std::istringstream in(payload);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.starts_with("BEGIN:") && !line.starts_with("END:") &&
            !line.starts_with("VERSION:"))
            lines.insert(line);
    }
    return lines;
}

// Device `to` holds the contacts `from` wrote with every line `from` wrote, byte for
// byte (the server adds lines of its own: FN, REV, empty ones), and no more contacts.
void ExpectSameItems(SyncDevice& from, SyncDevice& to, const std::set<std::string>& written) {
    std::map<std::string, std::string> theirs;
    for (const auto& [luid, payload] : to.Payloads())
        theirs.emplace(ContactsIn({payload}).begin()->first, payload);
    const auto ours = from.Payloads();
    EXPECT_EQ(theirs.size(), ours.size());
    for (const auto& [luid, payload] : ours) {
        const std::string last = ContactsIn({payload}).begin()->first;
        if (!written.count(last)) continue;
        const std::set<std::string> lines = PropertyLines(theirs[last]);
        for (const std::string& line : PropertyLines(payload))
            EXPECT_TRUE(lines.count(line)) << last << ": " << line << " missing from\n"
                                           << theirs[last];
    }
}

TEST(InteropSync, TwoDevicesAndAThirdWriter) {
    const RealServer server;
    ScopedStoreContents store(
        server, "card", {{"seed1", Contact("Seed1", "100")}, {"seed2", Contact("Seed2", "200")}});
    SyncDevice a(server), b(server);
    EXPECT_NE(a.DeviceID(), b.DeviceID());
    ContactSet expected{{"Seed1", "100"}, {"Seed2", "200"}};

    // First syncs: slow, each device takes the server's contacts.
    EXPECT_SYNC(
        a, Summary("0 added, 0 replaced, 0 deleted", "2 added, 0 replaced, 0 deleted", 0, true));
    EXPECT_SYNC(
        b, Summary("0 added, 0 replaced, 0 deleted", "2 added, 0 replaced, 0 deleted", 0, true));
    EXPECT_EQ(a.Contacts(), expected);
    EXPECT_EQ(b.Contacts(), expected);

    // Adds, an edit and a delete on A go to the server and from there to B.
    AddLocal(a, {Contact("A1", "101"), Contact("A2", "102")});
    ReplaceLocal(a, "Seed1", "111");
    DeleteLocal(a, "Seed2");
    expected = {{"Seed1", "111"}, {"A1", "101"}, {"A2", "102"}};
    EXPECT_SYNC(a, Summary("2 added, 1 replaced, 1 deleted", "0 added, 0 replaced, 0 deleted", 0));
    EXPECT_EQ(ServerContacts(server), expected);
    EXPECT_TRUE(a.Changes().empty());
    EXPECT_SYNC(b, Summary("0 added, 0 replaced, 0 deleted", "2 added, 1 replaced, 1 deleted", 0));
    EXPECT_EQ(b.Contacts(), expected);
    ExpectSameItems(a, b, {"A1", "A2", "Seed1"});

    // A third program writes a contact into the server's folder, and edits one: the next
    // syncs of both devices see both.
    std::ofstream(server.StoreFolder("card") / "third", std::ios::binary)
        << Contact("Third", "300");
    std::ofstream(ServerFileOf(server, "A2"), std::ios::binary) << Contact("A2", "302");
    expected = {{"Seed1", "111"}, {"A1", "101"}, {"A2", "302"}, {"Third", "300"}};
    for (SyncDevice* device : {&a, &b}) {
        EXPECT_SYNC(*device,
                    Summary("0 added, 0 replaced, 0 deleted", "1 added, 1 replaced, 0 deleted", 0));
        EXPECT_EQ(device->Contacts(), expected);
    }

    // The other way: an edit and a delete on B reach A.
    ReplaceLocal(b, "A1", "201");
    DeleteLocal(b, "Third");
    expected = {{"Seed1", "111"}, {"A1", "201"}, {"A2", "302"}};
    EXPECT_SYNC(b, Summary("0 added, 1 replaced, 1 deleted", "0 added, 0 replaced, 0 deleted", 0));
    EXPECT_SYNC(a, Summary("0 added, 0 replaced, 0 deleted", "0 added, 1 replaced, 1 deleted", 0));
    EXPECT_EQ(a.Contacts(), expected);
    EXPECT_EQ(ServerContacts(server), expected);
    ExpectSameItems(b, a, {"A1"});
}

// The same contact edited on both devices, and a delete on one against an edit on the
// other, both ways. The server settles each; the device that syncs second takes the
// server's result and keeps its own version where that lost, as a conflict copy.
TEST(InteropSync, Conflicts) {
    const RealServer server;
    ScopedStoreContents store(server, "card",
                              {{"c1", Contact("Both", "100")},
                               {"c2", Contact("DeletedOnA", "200")},
                               {"c3", Contact("DeletedOnB", "300")}});
    SyncDevice a(server), b(server);
    for (SyncDevice* device : {&a, &b})
        ASSERT_EQ(device->Run().Status, 0);

    ReplaceLocal(a, "Both", "111");
    DeleteLocal(a, "DeletedOnA");
    ReplaceLocal(a, "DeletedOnB", "311");
    EXPECT_SYNC(a, Summary("0 added, 2 replaced, 1 deleted", "0 added, 0 replaced, 0 deleted", 0));
    ReplaceLocal(b, "Both", "122");
    ReplaceLocal(b, "DeletedOnA", "222");
    DeleteLocal(b, "DeletedOnB");
    // Both: the server took B's Replace and merged it with A's; a phone changed on both
    // sides keeps the server's value, so B's phone lost and stays as a conflict copy.
    // DeletedOnA: the server adds B's edited contact again (201). DeletedOnB: the server
    // adds A's edited contact again, and B keeps a copy of its deletion.
    const ContactSet expected{{"Both", "111"}, {"DeletedOnA", "222"}, {"DeletedOnB", "311"}};
    EXPECT_SYNC(b, Summary("0 added, 2 replaced, 1 deleted", "1 added, 1 replaced, 0 deleted", 2));
    EXPECT_EQ(b.Contacts(), expected);
    EXPECT_EQ(ServerContacts(server), expected);
    const ToolRun conflicts = b.Run({"--conflicts"});
    static const std::regex when(" [0-9T:+-]{25} ");
    EXPECT_EQ(std::regex_replace(conflicts.Out, when, " WHEN "),
              "1    1        WHEN  local: \"Anna Both\"  server: \"Anna Both\"\n"
              "2    3        WHEN  local: (deleted)  server: \"Anna DeletedOnB\"\n");
    EXPECT_SYNC(a, Summary("0 added, 0 replaced, 0 deleted", "1 added, 1 replaced, 0 deleted", 0));
    EXPECT_EQ(a.Contacts(), expected);

    // B keeps its own phone after all, and the server's side of the other: the phone goes
    // to the server and on to A.
    EXPECT_EQ(b.Run({"--keep", "local", "1"}).Status, 0);
    EXPECT_EQ(b.Run({"--keep", "server", "2"}).Status, 0);
    EXPECT_EQ(b.Run({"--conflicts"}).Out, "");
    const ContactSet settled{{"Both", "122"}, {"DeletedOnA", "222"}, {"DeletedOnB", "311"}};
    EXPECT_SYNC(b, Summary("0 added, 1 replaced, 0 deleted", "0 added, 0 replaced, 0 deleted", 0));
    EXPECT_SYNC(a, Summary("0 added, 0 replaced, 0 deleted", "0 added, 1 replaced, 0 deleted", 0));
    for (const ContactSet& held : {a.Contacts(), b.Contacts(), ServerContacts(server)})
        EXPECT_EQ(held, settled);
}

// The first sync of a replica that holds contacts the server has already (made by
// another program, say): a slow sync, in which each of the server's contacts is paired
// with the one held here of the same name. None is doubled on either side; the one that
// differs takes the server's version and keeps its own as a conflict copy.
TEST(InteropSync, FirstSyncPairsWhatBothHold) {
    const RealServer server;
    ScopedStoreContents store(server, "card",
                              {{"p1", Contact("Same", "100")},
                               {"p2", Contact("Differs", "200")},
                               {"p3", Contact("ServerOnly", "300")}});
    SyncDevice a(server);
    AddLocal(a, {Contact("Same", "100"), Contact("Differs", "222"), Contact("LocalOnly", "400")});
    EXPECT_SYNC(
        a, Summary("1 added, 0 replaced, 0 deleted", "1 added, 1 replaced, 0 deleted", 1, true));
    const ContactSet expected{
        {"Same", "100"}, {"Differs", "200"}, {"ServerOnly", "300"}, {"LocalOnly", "400"}};
    EXPECT_EQ(a.Contacts(), expected);
    EXPECT_EQ(ServerContacts(server), expected);
    EXPECT_TRUE(a.Changes().empty());
    EXPECT_SYNC(a, Summary("0 added, 0 replaced, 0 deleted", "0 added, 0 replaced, 0 deleted", 0));
}

// Sessions that fail, as the hostile server's table has them, with the real server behind
// the proxy: each leaves the local changes marked and the anchors as they were, and the
// next sync brings replica and server together.
TEST(InteropSync, FailedSessions) {
    const RealServer server;
    ScopedStoreContents store(server, "card", {{"k1", Contact("Kept", "100")}});
    SyncDevice a(server);
    ASSERT_EQ(a.Run().Status, 0);
    ContactSet expected{{"Kept", "100"}};
    using Rewrite = ForwardingProxy::Rewrite;
    const auto answer = [](int status) -> Rewrite {
        return [status](const std::string&) { return PeerReply{status, {}, 0}; };
    };
    const auto edited = [](const char* pattern, const char* with) -> Rewrite {
        return [pattern, with](const std::string& reply) {
            return PeerReply{200,
                             std::regex_replace(reply, std::regex(pattern), with,
                                                std::regex_constants::format_first_only),
                             0};
        };
    };
    const struct Row {
        const char* name;
        int request;
        Rewrite rewrite;
    } rows[] = {
        {"the changes' reply for another session", 2,
         edited("<SessionID>[^<]*</SessionID>", "<SessionID>elsewhere</SessionID>")},
        {"the changes' reply HTTP 500", 2, answer(500)},
        {"the changes' reply cut off", 2,
         [](const std::string& reply) {
             return PeerReply{200, reply.substr(0, reply.size() / 2), 0};
         }},
        {"credentials refused", 1, edited("<Data>212</Data>", "<Data>401</Data>")},
        {"the Map's reply HTTP 500", 3, answer(500)},
    };
    int round = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ChangeBothSides(a, server, ++round, expected);
        const std::vector<std::string> changes = a.Changes();
        const SyncAnchors anchors = a.Anchors();
        a.Proxy().RewriteReplyOf(row.request, row.rewrite);
        const ToolRun failed = a.Run();
        EXPECT_EQ(failed.Status, 1) << failed.Out << failed.Err;
        EXPECT_EQ(a.Changes(), changes);
        EXPECT_EQ(a.Anchors(), anchors);
        const ToolRun again = a.Run();
        EXPECT_EQ(again.Status, 0) << again.Err;
        EXPECT_TRUE(a.Changes().empty());
        EXPECT_EQ(a.Contacts(), expected);
        EXPECT_EQ(ServerContacts(server), expected);
    }
}

}  // namespace
}  // namespace orvanta
