#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>

#include "engine/Errors.h"
#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/ChildProcess.h"
#include "support/LoadHarness.h"
#include "support/Payloads.h"
#include "support/RealServer.h"
#include "support/ScriptedPeer.h"
#include "support/ServerReply.h"

namespace orvanta {
namespace {

using namespace test;
namespace fs = std::filesystem;

std::vector<std::string> SortedIDs(const TSMLBase& client) {
    std::vector<std::string> ids;
    for (const auto& item : client.Items)
        ids.push_back(item->ID);
    std::sort(ids.begin(), ids.end());
    return ids;
}

double ProcessCPUSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct StoreCase {
    const char* store;
    std::function<std::unique_ptr<TSMLBase>()> make;
};

class LoadEachStore : public ::testing::TestWithParam<StoreCase> {
protected:
    RealServer server;
};

TEST_P(LoadEachStore, ReturnsExactlyTheServersItems) {
    const StoreCase& c = GetParam();
    const auto client = c.make();
    server.Configure(*client);
    auto since = RealServer::Now();
    client->Load("");

    const std::vector<std::string> expected = server.ItemIDs(c.store);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(SortedIDs(*client), expected);
    EXPECT_EQ(server.SessionStatus(client->DeviceID, since), "200");
    EXPECT_TRUE(client->Loaded);

    // The titles survive the server's conversion: compare with the stored files.
    for (const auto& item : client->Items) {
        const auto stored = c.make();
        const std::unique_ptr<TSMLItem> reference = stored->CreateItem();
        reference->Parse(ReadFile(server.StoreFolder(c.store) / item->ID));
        EXPECT_EQ(ToUTF8(item->GetTitle()), ToUTF8(reference->GetTitle())) << item->ID;
        EXPECT_FALSE(item->GetTitle().empty()) << item->ID;
        EXPECT_EQ(item->State, ItemState::Unchanged);
    }

    // The server recorded success, so a second load right after works the same.
    since = RealServer::Now();
    client->Load("");
    EXPECT_EQ(SortedIDs(*client), expected);
    EXPECT_EQ(server.SessionStatus(client->DeviceID, since), "200");
}

INSTANTIATE_TEST_SUITE_P(
    RealServer, LoadEachStore,
    ::testing::Values(StoreCase{"cal", [] { return std::make_unique<TSMLCalendar>(); }},
                      StoreCase{"card", [] { return std::make_unique<TSMLContacts>(); }},
                      StoreCase{"task", [] { return std::make_unique<TSMLTasks>(); }},
                      StoreCase{"vnote", [] { return std::make_unique<TSMLNotes>(); }}),
    [](const auto& info) { return std::string(info.param.store); });

std::map<std::string, std::string> GeneratedContacts(int count) {
    std::map<std::string, std::string> items;
    for (int i = 1; i <= count; ++i)
        items["generated-" + std::to_string(i)] = SampleContact(i);
    return items;
}

class Interop : public ::testing::Test {
protected:
    RealServer server;
};

TEST_F(Interop, LargeAddressBooksArriveWhole) {
    for (const int count : {1000, 5000}) {
        const ScopedStoreContents contacts(server, "card", GeneratedContacts(count));
        TSMLContacts client;
        server.Configure(client);

        const auto since = RealServer::Now();
        const double cpuBefore = ProcessCPUSeconds();
        const auto start = std::chrono::steady_clock::now();
        client.Load("");
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = ProcessCPUSeconds() - cpuBefore;

        EXPECT_EQ(client.Count(), static_cast<std::size_t>(count));
        EXPECT_EQ(SortedIDs(client), server.ItemIDs("card"));
        EXPECT_EQ(server.SessionStatus(client.DeviceID, since), "200");
        // The server splits the data, and the closing Map must stay under its limit.
        EXPECT_GT(client.LastExchange.RoundTrips, count / 600);
        EXPECT_LE(client.LastExchange.LargestMessage, 150000u);
        std::cout << "load of " << count << " contacts: " << wall << " s wall, "
                  << client.LastExchange.RoundTrips << " round trips, " << cpu << " s client CPU, "
                  << client.LastExchange.BytesReceived / 1024
                  << " KiB received, largest client message " << client.LastExchange.LargestMessage
                  << " bytes\n";
    }
}

// A refusal ends the session with its meaning and no items; the next load goes
// through at once.
TEST_F(Interop, RefusalsAreReportedAndEndTheSession) {
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

TEST_F(Interop, StoppedServerIsAConnectionError) {
    TSMLContacts client;
    server.Configure(client);
    client.SetServerURL("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/syncevolution");
    EXPECT_THROW(client.Load(""), TransportError);
}

TEST_F(Interop, LoadThroughARealProxy) {
    TinyProxy proxy;
    TSMLNotes client;
    server.Configure(client);
    client.SetProxyServer("127.0.0.1");
    client.SetProxyPort(proxy.Port());
    const auto since = RealServer::Now();
    client.Load("");
    EXPECT_EQ(SortedIDs(client), server.ItemIDs("vnote"));
    EXPECT_EQ(server.SessionStatus(client.DeviceID, since), "200");
}

}  // namespace
}  // namespace orvanta
