#include <gtest/gtest.h>

#include <deque>
#include <set>

#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "engine/SyncMLBase.h"
#include "kinds/ContSyncML.h"
#include "support/LoadHarness.h"

namespace orvanta {
namespace {

using test::Sequence;

TEST(SyncClient, SetServerURLDropsOneTrailingSlash) {
    const struct {
        const char *given, *stored;
    } cases[] = {{"http://h/sync/", "http://h/sync"},
                 {"http://h/sync//", "http://h/sync/"},
                 {"", ""},
                 {"http://h/sync", "http://h/sync"}};
    TSMLContacts client;
    for (const auto& c : cases) {
        client.SetServerURL(c.given);
        EXPECT_EQ(client.ServerURL, c.stored);
    }
}

TEST(SyncClient, MakeUniqueIDSkipsTakenIdentifiers) {
    TSMLContacts client;
    client.Random = Sequence({42, 42, 7, 99999999});
    EXPECT_EQ(client.NewItem()->ID, "42");
    EXPECT_EQ(client.NewItem()->ID, "7");  // 42 is taken
    EXPECT_EQ(client.MakeUniqueID(), "99999999");
}

TEST(SyncClient, MakeUniqueIDFailsWhenTheRandomSourceIsStuck) {
    TSMLContacts client;
    client.Random = Sequence({5});
    (void)client.NewItem();
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

// An item kind that counts its destructions.
int destroyed = 0;
class CountedStore;
class CountedItem : public TSMLItem {
public:
    explicit CountedItem(CountedStore*) {}
    ~CountedItem() override { ++destroyed; }
    WideString GetTitle() const override { return {}; }
    void SetTitle(const WideString&) override {}
};
class CountedStore final : public TSMLStore<CountedStore, CountedItem> {
public:
    CountedStore() : TSMLStore({"s", "db", "t", "1", "dev"}) {}
};

TEST(SyncClient, DestroyingTheClientDestroysItsItems) {
    destroyed = 0;
    {
        CountedStore store;
        for (int i = 0; i < 3; ++i)
            (void)store.NewItem();
    }
    EXPECT_EQ(destroyed, 3);
}

}  // namespace
}  // namespace orvanta
