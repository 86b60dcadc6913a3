#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "formats/SyncMLItem.h"
#include "kinds/ContSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/RealServer.h"
#include "support/SyncPeer.h"

namespace orvanta {
namespace {

using namespace test;

// A thousand new contacts go in one store; address books of 1000 and 5000 contacts load
// whole. The server splits its data over several messages, and none of ours (the Map
// that closes a load included) goes over its limit. Each store of the test is its own,
// and the server's sample data replaces it afterwards.
TEST(InteropLoad, LargeAddressBooks) {
    const RealServer server;
    const auto loadsWhole = [&](int count) {
        TSMLContacts client;
        server.Configure(client);
        EXPECT_EQ(server.Load(client), "200");
        EXPECT_EQ(client.Count(), static_cast<std::size_t>(count));
        EXPECT_EQ(SortedIDs(client), server.ItemIDs("card"));
        EXPECT_GT(client.LastExchange.RoundTrips, count / 600);
        EXPECT_LE(client.LastExchange.LargestMessage, 150000u);
    };
    {
        const ScopedStoreContents empty(server, "card");
        TSMLContacts client;
        server.Configure(client);
        client.Load("");
        for (int i = 1; i <= 1000; ++i) {
            TSMLContact* c = client.NewItem();
            c->Parse(SampleContact(i));
            c->State = ItemState::New;
        }
        EXPECT_EQ(server.Store(client), "200");
        EXPECT_EQ(server.ItemIDs("card").size(), 1000u);
        EXPECT_LE(client.LastExchange.LargestMessage, 150000u);
        loadsWhole(1000);
    }
    std::map<std::string, std::string> items;
    for (int i = 1; i <= 5000; ++i)
        items["generated-" + std::to_string(i)] = SampleContact(i);
    const ScopedStoreContents contacts(server, "card", items);
    loadsWhole(5000);
}

// The property lines of a stored file as the item reads them (unfolded), sorted.
std::multiset<std::string> StoredLines(const CorpusFile& f, const std::string& text) {
    const auto item = f.makeClient()->CreateItem();
    item->Parse(text);
    return {item->Lines.begin(), item->Lines.end()};
}

// Names of the properties whose lines are in one set and not in the other.
std::set<std::string> Differing(const std::multiset<std::string>& a,
                                const std::multiset<std::string>& b) {
    std::vector<std::string> only;
    std::set_symmetric_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(only));
    std::set<std::string> names;
    for (const auto& line : only)
        names.insert(GetPropertyName(line));
    return names;
}

// What the server itself changes in an item that a client replaced (its own clock and
// the name it builds from N).
const std::set<std::string> kServerRewrites = {"FN", "DTSTAMP", "LAST-MODIFIED", "REV"};

class CorpusOnTheServer : public ::testing::TestWithParam<CorpusFile> {};

// Each file stored on the server, loaded, written back unchanged (what the server makes
// of it is the baseline), edited once and stored: only the edited property differs.
TEST_P(CorpusOnTheServer, OnlyTheEditedPropertyChanges) {
    const CorpusFile& f = GetParam();
    const RealServer server;
    const ScopedStoreContents store(server, f.store, {{"corpus-item", f.text}});
    const auto client = f.makeClient();
    server.Configure(*client);
    client->Load("");
    ASSERT_EQ(client->Items.size(), 1u);
    TSMLItem& item = *client->Items.front();
    ASSERT_EQ(item.ID, "corpus-item");

    item.MarkModified();
    ASSERT_EQ(server.Store(*client), "200");
    const std::string baseline = ReadFile(server.StoreFolder(f.store) / "corpus-item");

    f.change(item);
    ASSERT_EQ(server.Store(*client), "200");
    const std::string edited = ReadFile(server.StoreFolder(f.store) / "corpus-item");

    std::set<std::string> changed = Differing(StoredLines(f, baseline), StoredLines(f, edited));
    EXPECT_TRUE(changed.count(f.property)) << edited;
    changed.erase(f.property);
    for (const auto& name : kServerRewrites)
        changed.erase(name);
    // An item without UID gets a new one from the server at every store.
    const std::vector<std::string> names = RawPropertyNames(f.text);
    if (std::find(names.begin(), names.end(), "UID") == names.end()) changed.erase("UID");
    EXPECT_TRUE(changed.empty()) << "also changed: " << ::testing::PrintToString(changed)
                                 << "\nbaseline:\n"
                                 << baseline << "\nedited:\n"
                                 << edited;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusOnTheServer, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) { return CorpusTestName(info.param); });

}  // namespace
}  // namespace orvanta
