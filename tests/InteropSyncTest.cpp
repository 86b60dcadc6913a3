// Two-way syncs with the real server, each device a replica of its own synced by
// orvanta-sync (a child process): changes both ways, two devices and a third program
// writing into the server's store, conflicts, the pairing of a first slow sync, and
// sessions that fail. After each sync the replicas and the server's files are compared
// with the contacts expected: none lost, none doubled.
#include <gtest/gtest.h>

#include <fstream>
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

}  // namespace
}  // namespace orvanta
