#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "engine/Deadlines.h"
#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "support/ChildProcess.h"
#include "support/SyncPeer.h"

namespace orvanta {
namespace {

using namespace test;

std::string ReplyWith(int items) {
    ServerReplyShape r;
    r.Commands = Adds(items, 7);
    return BuildServerReply(r);
}

// The deadlines on a clock of the test's own, a case per line of
// data/transport/deadlines.txt: the limits, the moments of one request with the bytes
// moved by each, and the deadline the last moment passes.
TEST(Transport, DeadlinesCases) {
    static constexpr const char* kNames[] = {"None", "Connect", "Stall", "LowSpeed", "Overall"};
    std::ifstream file(std::string(ORVANTA_TEST_DATA) + "/transport/deadlines.txt");
    int cases = 0;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        std::istringstream in(line.substr(0, line.find('#')));
        long connect = 0, stall = 0, floor = 0, window = 0, overall = 0;
        std::size_t request = 0;
        std::string expected, moment, verdicts, want;
        in >> connect >> stall >> floor >> window >> overall >> request >> expected;
        using std::chrono::seconds;
        TTransferDeadlines deadlines(
            {seconds(connect), seconds(stall), floor, seconds(window), seconds(overall)}, request,
            {});
        while (in >> moment) {
            double at = 0;
            std::size_t sent = 0, received = 0;
            ASSERT_EQ(std::sscanf(moment.c_str(), "%lf:%zu/%zu", &at, &sent, &received), 3);
            const auto now = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(at));
            want += verdicts.empty() ? "" : "None ";
            verdicts += std::string(verdicts.empty() ? "" : " ") +
                        kNames[static_cast<int>(
                            deadlines.Check(TTransferDeadlines::TimePoint(now), sent, received))];
        }
        EXPECT_EQ(verdicts, want + expected);
        ++cases;
    }
    EXPECT_GE(cases, 10);
}

// Progress reaches the caller on the exchange's
// thread, never goes backwards, and its last report is what the exchange moved. Each
// request carries exactly the two SyncML headers and its length.
TEST(Transport, HeadersAndProgressOfALoad) {
    ScriptedPeer peer({ReplyWith(300), Closing()});
    auto client = ClientFor(peer);
    std::vector<ExchangeStats> reports;
    bool otherThread = false;
    const auto caller = std::this_thread::get_id();
    client->OnProgress = [&](const ExchangeStats& s) {
        otherThread |= std::this_thread::get_id() != caller;
        reports.push_back(s);
    };
    client->Load("");
    ASSERT_GE(reports.size(), 3u);
    EXPECT_FALSE(otherThread);
    for (std::size_t i = 1; i < reports.size(); ++i) {
        EXPECT_GE(reports[i].BytesReceived, reports[i - 1].BytesReceived);
        EXPECT_GE(reports[i].BytesSent, reports[i - 1].BytesSent);
        EXPECT_GE(reports[i].Items, reports[i - 1].Items);
    }
    EXPECT_EQ(reports.back().RoundTrips, 2);
    EXPECT_EQ(reports.back().Items, 300u);
    EXPECT_EQ(reports.back().BytesReceived, client->LastExchange.BytesReceived);
    EXPECT_EQ(client->LastExchange.Items, 300u);

    // Past 1 MB curl asks for 100-continue unless told not to.
    ScriptedPeer store(StoreServer());
    client->SetServerURL(store.Url());
    client->NewItem()->SetNotes(FromUTF8(std::string(1100000, 'x')));
    client->Store();
    auto requests = peer.Requests();
    std::ranges::copy(store.Requests(), std::back_inserter(requests));
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_GT(requests[3].Body.size(), 1100000u);
    for (const RecordedRequest& r : requests) {
        EXPECT_EQ(r.Header("Content-Type"), "application/vnd.syncml+xml; charset=\"utf-8\"");
        EXPECT_EQ(r.Header("Accept"), "application/vnd.syncml+xml");
        EXPECT_EQ(r.Header("Expect") + r.Header("Authorization"), "");
        EXPECT_EQ(r.Header("Content-Length"), std::to_string(r.Body.size()));
    }
}

// The proxy variables of the environment are ignored, NO_PROXY too: the proxy of the
// settings is used, and named when it cannot be reached.
TEST(Transport, OnlyTheConfiguredProxyIsUsed) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(ClosedPort());
    const char* const variables[] = {"http_proxy", "HTTP_PROXY", "ALL_PROXY"};
    for (const char* name : variables)
        setenv(name, dead.c_str(), 1);
    setenv("NO_PROXY", "*", 1);
    ScriptedPeer peer(std::vector<std::string>{ReplyWith(1), Closing(), ReplyWith(5), Closing()});
    auto client = ClientFor(peer);
    EXPECT_NO_THROW(client->Load(""));
    EXPECT_EQ(client->Count(), 1u);

    TinyProxy proxy;
    client->SetProxyServer("127.0.0.1");
    client->SetProxyPort(proxy.Port());
    client->Load("");
    for (const char* name : variables)
        unsetenv(name);
    unsetenv("NO_PROXY");
    EXPECT_EQ(client->Count(), 5u);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 4u);
    for (const RecordedRequest& r : {requests[2], requests[3]}) {
        EXPECT_NE(r.Header("Via").find("tinyproxy"), std::string::npos);
        EXPECT_EQ(r.Header("Expect"), "");
    }

    client->SetProxyPort(ClosedPort());
    EXPECT_EQ(FailureOf<TransportError>([&] {
                  client->Load("");
              }).find("Could not connect to " + peer.Url() + " through the proxy 127.0.0.1: "),
              0u);
    EXPECT_EQ(peer.Requests().size(), 4u);
}

}  // namespace
}  // namespace orvanta
