#include <gtest/gtest.h>

#include <map>

#include "engine/Errors.h"
#include "support/SyncPeer.h"
#include "support/RealServer.h"

namespace orvanta {
namespace {

using namespace test;

std::map<std::string, std::string> GeneratedContacts(int count) {
    std::map<std::string, std::string> items;
    for (int i = 1; i <= count; ++i)
        items["generated-" + std::to_string(i)] = SampleContact(i);
    return items;
}

TEST(Interop, LargeAddressBooksArriveWhole) {
    const RealServer server;
    for (const int count : {1000, 5000}) {
        const ScopedStoreContents contacts(server, "card", GeneratedContacts(count));
        TSMLContacts client;
        server.Configure(client);

        EXPECT_EQ(server.Load(client), "200");
        EXPECT_EQ(client.Count(), static_cast<std::size_t>(count));
        EXPECT_EQ(SortedIDs(client), server.ItemIDs("card"));
        // The server splits the data, and the closing Map must stay under its limit.
        EXPECT_GT(client.LastExchange.RoundTrips, count / 600);
        EXPECT_LE(client.LastExchange.LargestMessage, 150000u);
    }
}

// A refusal ends the session with its meaning and no items; the next load goes
// through at once.
TEST(Interop, RefusalsAreReportedAndEndTheSession) {
    const RealServer server;
    const struct {
        const char *password, *source, *message;
    } cases[] = {
        {"not the password", "card", "The server refused the credentials (status 401)"},
        {RealServer::kPassword, "addressbook",
         "The server does not know the data source \"addressbook\" (status 404)"},
    };
    for (const auto& c : cases) {
        TSMLContacts client;
        server.Configure(client);
        client.Password = c.password;
        client.DataSource = c.source;
        EXPECT_EQ(FailureOf<ProtocolError>([&] { client.Load(""); }), c.message);
        EXPECT_FALSE(client.Loaded);
        EXPECT_EQ(client.Count(), 0u);
        server.Configure(client);
        client.DataSource = "card";
        client.Load("");
        EXPECT_EQ(SortedIDs(client), server.ItemIDs("card"));
    }
}

}  // namespace
}  // namespace orvanta
