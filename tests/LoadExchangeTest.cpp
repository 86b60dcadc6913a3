#include <gtest/gtest.h>

#include <atomic>

#include "engine/Errors.h"
#include "engine/HttpClient.h"
#include "engine/SyncMLSession.h"
#include "support/LoadHarness.h"

namespace orvanta {
namespace {

using namespace test;

std::string Reply(const ServerReplyShape& shape) {
    return BuildServerReply(shape);
}

TEST(Load, ItemsArriveInOrderWithIdentifiersAndPayloads) {
    ServerReplyShape r;
    r.Commands = Adds(3, 10, "srv-");
    r.Commands[1].Data =
        "BEGIN:VCARD\r\nN;CHARSET=UTF-8:Gr\xC3\xBC\xC3\x9F;\xF0\x9F\x98\x80;;;\r\nEND:VCARD\r\n";
    ScriptedPeer peer({Reply(r), Closing()});
    auto client = ClientFor(peer);
    client->Load("");

    ASSERT_EQ(client->Count(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const TSMLContact* item = client->Item(i);
        EXPECT_EQ(item->ID, "srv-" + std::to_string(i + 1));
        EXPECT_EQ(item->CmdID, std::to_string(10 + i));
        EXPECT_EQ(item->State, ItemState::Unchanged);
        EXPECT_EQ(item->ServerChange, ServerChangeKind::None);
        EXPECT_EQ(item->GetText(), *r.Commands[i].Data);
    }
    EXPECT_EQ(client->Item(1)->GetTitle(), u"\U0001F600 Gr\u00FC\u00DF");
    EXPECT_TRUE(client->Loaded);

    const auto messages = Messages(peer);
    ASSERT_EQ(messages.size(), 2u);
    // Without a response URI everything goes to the server's URL.
    EXPECT_EQ(peer.Requests()[1].Target, "/sync");
    EXPECT_EQ(messages[1].Target, peer.Url());
    EXPECT_TRUE(messages[1].Final);
    ASSERT_EQ(messages[1].Statuses.size(), 6u);
    EXPECT_EQ(messages[1].Statuses[3].CmdRef, "10");
    EXPECT_EQ(messages[1].Statuses[5].CmdRef, "12");
    EXPECT_EQ(messages[1].MapCmdIDs, std::vector<std::string>{"7"});
    EXPECT_EQ(messages[1].MapItems.size(), 3u);
}

// A Map without MapItem makes a real server abort the session: an empty store is
// closed with the Statuses alone.
TEST(Load, EmptySyncClosesWithStatusesAndNoMap) {
    ScriptedPeer peer({Reply({}), Closing()});
    auto client = ClientFor(peer);
    client->Load("");
    EXPECT_EQ(client->Count(), 0u);
    const ClientMessage m = Messages(peer).at(1);
    ASSERT_EQ(m.Statuses.size(), 3u);
    EXPECT_EQ(m.Statuses[0].Cmd, "SyncHdr");
    EXPECT_EQ(m.Statuses[1].Cmd, "Alert");
    EXPECT_EQ(m.Statuses[1].AnchorNext, "srv-anchor-1");
    EXPECT_EQ(m.Statuses[2].Cmd, "Sync");
    EXPECT_TRUE(m.MapCmdIDs.empty());
    EXPECT_TRUE(m.MapItems.empty());
    EXPECT_TRUE(m.Final);
}

TEST(Load, ReplaceAndDeleteFromTheServer) {
    ServerReplyShape r;
    r.Commands = {{"Add", "7", "a", std::nullopt},
                  {"Replace", "8", "b", "BEGIN:VCARD\r\nN:B;;;;\r\nEND:VCARD\r\n"},
                  {"Delete", "9", "c", std::nullopt}};
    ScriptedPeer peer({Reply(r), Closing()});
    auto client = ClientFor(peer);
    client->Load("anchor-1");

    ASSERT_EQ(client->Count(), 2u);  // a server Delete leaves no item behind
    EXPECT_EQ(client->Item(0)->ServerChange, ServerChangeKind::Added);
    EXPECT_TRUE(client->Item(0)->Lines.empty());  // an Add without data: an empty payload
    EXPECT_EQ(client->Item(1)->ServerChange, ServerChangeKind::Replaced);
    EXPECT_EQ(client->Item(1)->ID, "b");
    const ClientMessage m = Messages(peer).at(1);
    ASSERT_EQ(m.Statuses.size(), 6u);
    EXPECT_EQ(m.Statuses[5].Cmd, "Delete");
    EXPECT_EQ(m.Statuses[5].CmdRef, "9");
    EXPECT_EQ(m.Statuses[5].TargetRef, "c");
    EXPECT_EQ(m.MapItems.size(), 2u);
    for (const auto& [target, source] : m.MapItems)
        EXPECT_NE(target, "c");
}

TEST(Load, ReplacesItemsHeldBefore) {
    ServerReplyShape r;
    r.Commands = Adds(2, 7);
    ScriptedPeer peer({Reply(r), Closing(), Reply(r), Closing()});
    auto client = ClientFor(peer);
    client->Load("");
    (void)client->NewItem();
    client->Item(0)->SetProperty("TEL", {""}, u"1");
    client->Load("");
    ASSERT_EQ(client->Count(), 2u);
    EXPECT_EQ(client->Item(0)->State, ItemState::Unchanged);
}

// A server that spreads 9 items over three messages.
TEST(Load, ReplySplitOverThreeMessages) {
    ScriptedPeer peer([](const RecordedRequest&, int index) {
        ServerReplyShape r;
        r.MsgID = std::to_string(index + 1);
        r.StatusMsgRef = r.MsgID;
        r.HeaderStatus = index == 0 ? 212 : 200;
        if (index > 0) {
            r.AlertStatus.reset();
            r.Alert = false;
        }
        r.SyncCmdID = std::to_string(6 + index);
        r.Commands = Adds(3, 100 * (index + 1), "m" + std::to_string(index + 1) + "-");
        r.Final = index == 2;
        if (index == 3) return PeerReply{200, Closing(4), 0};
        return PeerReply{200, BuildServerReply(r), 0};
    });
    auto client = ClientFor(peer);
    client->Load("");

    ASSERT_EQ(client->Count(), 9u);
    EXPECT_EQ(client->Item(0)->ID, "m1-1");
    EXPECT_EQ(client->Item(8)->ID, "m3-3");
    const auto messages = Messages(peer);
    ASSERT_EQ(messages.size(), 4u);
    for (int i : {1, 2}) {
        const ClientMessage& m = messages[i];
        EXPECT_FALSE(m.Final);
        EXPECT_EQ(m.AlertCodes, std::vector<std::string>{"222"});
        EXPECT_TRUE(m.MapItems.empty());
        for (const ClientStatus& s : m.Statuses)
            EXPECT_EQ(s.MsgRef, std::to_string(i));
        EXPECT_EQ(m.Statuses.back().CmdRef, std::to_string(100 * i + 2));
    }
    const ClientMessage& last = messages[3];
    EXPECT_TRUE(last.Final);
    EXPECT_TRUE(last.AlertCodes.empty());
    EXPECT_EQ(last.MapItems.size(), 9u);
    EXPECT_EQ(last.Statuses.front().MsgRef, "3");
}

// A server limit far below the Map's size: the closing Statuses and Map go over
// several messages, none larger than the limit, Final only on the last.
TEST(Load, SmallServerLimitSplitsTheMap) {
    constexpr long kLimit = 3000;
    ScriptedPeer peer([&](const RecordedRequest& req, int index) {
        if (index == 0) {
            ServerReplyShape r;
            r.MaxMsgSize = kLimit;
            r.Commands = Adds(60, 7, "contact-with-a-long-identifier-");
            return PeerReply{200, BuildServerReply(r), 0};
        }
        ServerReplyShape r = Acknowledgement(index + 1);
        r.MaxMsgSize = kLimit;
        r.Final = ReadClientMessage(req.Body).Final;
        if (!r.Final) {
            r.ExtraBodyXml = "<Alert><CmdID>3</CmdID><Data>222</Data></Alert>";
        }
        return PeerReply{200, BuildServerReply(r), 0};
    });
    auto client = ClientFor(peer);
    client->Load("");

    const auto requests = peer.Requests();
    ASSERT_GT(requests.size(), 4u);
    std::vector<std::string> mapped;
    int statusesForAdds = 0;
    for (std::size_t i = 1; i < requests.size(); ++i) {
        EXPECT_LE(requests[i].Body.size(), static_cast<std::size_t>(kLimit)) << "message " << i + 1;
        const ClientMessage m = ReadClientMessage(requests[i].Body);
        EXPECT_EQ(m.Final, i + 1 == requests.size());
        for (const auto& [target, source] : m.MapItems)
            mapped.push_back(target);
        // Each message answers the reply before it, its header Status first.
        ASSERT_FALSE(m.Statuses.empty());
        EXPECT_EQ(m.Statuses.front().Cmd, "SyncHdr");
        EXPECT_EQ(m.Statuses.front().MsgRef, std::to_string(i));
        for (const ClientStatus& s : m.Statuses) {
            statusesForAdds += s.Cmd == "Add";
            if (s.Cmd == "Alert" && i > 1) {
                EXPECT_EQ(s.CmdRef, "3");
            }
        }
    }
    EXPECT_EQ(statusesForAdds, 60);
    ASSERT_EQ(mapped.size(), 60u);
    for (int i = 0; i < 60; ++i) {
        EXPECT_EQ(mapped[i], "contact-with-a-long-identifier-" + std::to_string(i + 1));
    }
}

TEST(Load, RefusalsEndTheLoadWithTheirMeaning) {
    const struct {
        std::optional<int> header;
        std::optional<int> alert;
        const char* message;
    } cases[] = {
        {401, std::nullopt, "The server refused the credentials (status 401)"},
        {407, std::nullopt, "The server requires credentials (status 407)"},
        {212, 404, "The server does not know the data source \"card\" (status 404)"},
        {200, 403, "The server refused the data source \"card\": access is forbidden (status 403)"},
        {511, std::nullopt, "The server refused the session: server failure (status 511)"},
    };
    for (const auto& c : cases) {
        ServerReplyShape r;
        r.HeaderStatus = c.header;
        r.AlertStatus = c.alert;
        r.Alert = !c.alert && *c.header < 300;
        r.Sync = r.Alert;
        ScriptedPeer peer({Reply(r)});
        auto client = ClientFor(peer);
        EXPECT_EQ(FailureOf<ProtocolError>([&] { client->Load(""); }), c.message);
        EXPECT_FALSE(client->Loaded);
        EXPECT_EQ(peer.Requests().size(), 1u);
    }
}

TEST(Load, BrokenRepliesFailCleanly) {
    ServerReplyShape badCmdID;
    badCmdID.AlertCmdID = "five";
    ServerReplyShape noAlert;
    noAlert.Alert = false;
    const struct {
        PeerReply reply;
        const char* fragment;
    } cases[] = {
        {{500, "boom", 0}, "HTTP status 500 (Internal Server Error)"},
        {{200, "<SyncML><SyncBody>", 0}, "not well-formed XML"},
        {{200, "<html/>", 0}, "not a SyncML message"},
        {{200, Reply(badCmdID), 0}, "malformed: the CmdID of Alert is 'five', not a number"},
        {{200, Reply(noAlert), 0}, "did not open the data source \"card\""},
    };
    for (const auto& c : cases) {
        ScriptedPeer peer([&](const RecordedRequest&, int) { return c.reply; });
        auto client = ClientFor(peer);
        const std::string failure = FailureOf<SyncError>([&] { client->Load(""); });
        EXPECT_NE(failure.find(c.fragment), std::string::npos) << failure;
        EXPECT_FALSE(client->Loaded);
        EXPECT_EQ(client->NextAnchor, "12345678");  // drawn for message 1 before the failure
    }
}

// A refresh that fails leaves neither a partial list nor a store that could send
// changes against it: the client is as before its first load.
TEST(Load, FailedLoadLeavesNothingToStore) {
    ServerReplyShape r;
    r.Commands = Adds(3, 10);
    ServerReplyShape broken = Acknowledgement(2);
    broken.HeaderStatus = 500;
    ScriptedPeer peer({Reply(r), Closing(), Reply(r), Reply(broken)});
    auto client = ClientFor(peer);
    client->Load("");
    ASSERT_EQ(client->Count(), 3u);
    EXPECT_THROW(client->Load(""), ProtocolError);
    EXPECT_FALSE(client->Loaded);
    EXPECT_EQ(client->Count(), 0u);
    client->Store();
    EXPECT_EQ(peer.Requests().size(), 4u);
}

TEST(Load, ServerThatNeverFinishesIsStopped) {
    std::atomic<int> served{0};
    ScriptedPeer peer([&](const RecordedRequest&, int index) {
        ++served;
        ServerReplyShape r;
        r.MsgID = std::to_string(index + 1);
        r.StatusMsgRef = r.MsgID;
        r.Final = false;
        return PeerReply{200, BuildServerReply(r), 0};
    });
    auto client = ClientFor(peer);
    EXPECT_THROW(client->Load(""), ProtocolError);
    EXPECT_EQ(served.load(), TSyncSession::kMaxRoundTrips);
}

}  // namespace
}  // namespace orvanta
