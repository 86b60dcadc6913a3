#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "support/ChildProcess.h"
#include "support/LoadHarness.h"

namespace orvanta {
namespace {

using namespace test;

std::string ReplyWith(int items) {
    ServerReplyShape r;
    r.Commands = Adds(items, 7);
    return BuildServerReply(r);
}

TEST(Transport, ExactlyTheTwoSyncMLHeaders) {
    ScriptedPeer peer({ReplyWith(300), Closing()});
    auto client = ClientFor(peer);
    client->Load("");
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_GT(requests[1].Body.size(), 20000u);  // large enough for curl to want Expect
    for (const RecordedRequest& r : requests) {
        EXPECT_EQ(r.Header("Content-Type"), "application/vnd.syncml+xml; charset=\"utf-8\"");
        EXPECT_EQ(r.Header("Accept"), "application/vnd.syncml+xml");
        EXPECT_FALSE(r.HasHeader("Expect"));
        EXPECT_FALSE(r.HasHeader("Authorization"));
        EXPECT_EQ(r.Header("Content-Length"), std::to_string(r.Body.size()));
    }
}

TEST(Transport, ConnectionRefusedIsAClearFailure) {
    auto client = std::make_unique<TSMLContacts>();
    const std::string url = "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/sync";
    client->SetServerURL(url);
    const std::string failure = FailureOf<TransportError>([&] { client->Load(""); });
    EXPECT_NE(failure.find("Could not connect to " + url), std::string::npos) << failure;
    EXPECT_FALSE(client->Loaded);
}

TEST(Transport, SilentServerRunsIntoTheStallTimeout) {
    ScriptedPeer peer([](const RecordedRequest&, int) { return PeerReply{200, "", 4000}; });
    auto client = ClientFor(peer);
    client->HTTP->StallTimeoutSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = FailureOf<TransportError>([&] { client->Load(""); });
    EXPECT_NE(failure.find("did not answer in time"), std::string::npos) << failure;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

TEST(Transport, ProxyVariablesOfTheEnvironmentAreIgnored) {
    const std::string dead = "http://127.0.0.1:" + std::to_string(ClosedPort());
    setenv("http_proxy", dead.c_str(), 1);
    setenv("HTTP_PROXY", dead.c_str(), 1);
    setenv("ALL_PROXY", dead.c_str(), 1);
    ScriptedPeer peer({ReplyWith(1), Closing()});
    auto client = ClientFor(peer);
    EXPECT_NO_THROW(client->Load(""));
    unsetenv("http_proxy");
    unsetenv("HTTP_PROXY");
    unsetenv("ALL_PROXY");
    EXPECT_EQ(client->Count(), 1u);
}

TEST(Transport, LoadThroughARealProxy) {
    TinyProxy proxy;
    ScriptedPeer peer({ReplyWith(5), Closing()});
    auto client = ClientFor(peer);
    client->SetProxyServer("127.0.0.1");
    client->SetProxyPort(proxy.Port());
    client->Load("");
    EXPECT_EQ(client->Count(), 5u);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const RecordedRequest& r : requests) {
        EXPECT_NE(r.Header("Via").find("tinyproxy"), std::string::npos);
        EXPECT_FALSE(r.HasHeader("Expect"));
    }
}

TEST(Transport, DeadProxyIsNamedInTheFailure) {
    ScriptedPeer peer({ReplyWith(1), Closing()});
    auto client = ClientFor(peer);
    client->SetProxyServer("127.0.0.1");
    client->SetProxyPort(ClosedPort());
    const std::string failure = FailureOf<TransportError>([&] { client->Load(""); });
    EXPECT_NE(failure.find("through the proxy 127.0.0.1"), std::string::npos) << failure;
    EXPECT_TRUE(peer.Requests().empty());
}

TEST(Transport, OnlyHTTPAndHTTPS) {
    auto client = std::make_unique<TSMLContacts>();
    client->SetServerURL("file:///etc/hostname");
    EXPECT_THROW(client->Load(""), TransportError);
}

}  // namespace
}  // namespace orvanta
