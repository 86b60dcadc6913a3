#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "engine/Errors.h"
#include "engine/SyncMLMessage.h"
#include "support/LoadHarness.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

// A server that spreads 9 items over three messages.
TEST(Load, ReplySplitOverThreeMessages) {
    ScriptedPeer peer([](const RecordedRequest&, int index) {
        if (index == 3) return PeerReply{200, Closing(4), 0};
        ServerReplyShape r = index == 0 ? ServerReplyShape{} : Acknowledgement(index + 1);
        r.Sync = true;
        r.SyncCmdID = std::to_string(6 + index);
        r.Commands = Adds(3, 100 * (index + 1), "m" + std::to_string(index + 1) + "-");
        r.Final = index == 2;
        return PeerReply{200, BuildServerReply(r), 0};
    });
    auto client = ClientFor(peer);
    client->Load("");

    // Each message answers one reply and, but for the last, asks for the next.
    const auto messages = Messages(peer);
    ASSERT_EQ(messages.size(), 4u);
    std::string all;
    for (int i = 1; i <= 3; ++i) {
        const std::string n = std::to_string(i);
        const auto adds = "Add " + n + "00 m" + n + "-1 200, Add " + n + "01 m" + n +
                          "-2 200, Add " + n + "02 m" + n + "-3 200";
        all += " m" + n + "-1 m" + n + "-2 m" + n + "-3";
        EXPECT_EQ(Answers(messages[i]),
                  "SyncHdr 0 200, " + std::string(i == 1 ? "Alert 5 200, " : "") + "Sync " +
                      std::to_string(5 + i) + " 200, " + adds + (i == 3 ? ", Map" + all : ""));
        EXPECT_EQ(messages[i].AlertCodes, std::vector<std::string>(i == 3 ? 0 : 1, "222"));
        EXPECT_EQ(messages[i].Final, i == 3);
        for (const ClientStatus& s : messages[i].Statuses)
            EXPECT_EQ(s.MsgRef, n);
    }
}

// Thousands of Adds, Replaces and Deletes over a few thousand identifiers, in one reply:
// repeated, of items deleted before, of items never sent. The client keeps what a plain
// map of identifiers keeps (in the order items first came, each with its last payload)
// and answers 211 exactly to the Deletes of items it does not hold.
TEST(Load, ManyChangesOfTheSameItemsEndAsAMapOfIdentifiers) {
    ServerReplyShape r;
    r.Commands.clear();
    std::vector<std::string> held;  // in the order the client holds them
    std::map<std::string, std::string> titles;
    std::string deletes;
    std::uint32_t random = 12345;
    for (int k = 0; k < 6000; ++k) {
        random = random * 1103515245u + 12345u;
        const std::string id = "c" + std::to_string((random >> 8) % 2500);
        const int kind = k < 1500 ? 0 : static_cast<int>((random >> 20) % 3);
        const std::string cmdID = std::to_string(10 + k);
        const auto at = std::find(held.begin(), held.end(), id);
        if (kind == 2) {
            r.Commands.push_back({"Delete", cmdID, id, std::nullopt});
            deletes += id + (at == held.end() ? " 211 " : " 200 ");
            if (at != held.end()) held.erase(at), titles.erase(id);
            continue;
        }
        const std::string title = "Given " + cmdID;
        r.Commands.push_back(
            {kind == 0 ? "Add" : "Replace", cmdID, id, VCard({"N:" + cmdID + ";Given;;;"})});
        if (at == held.end()) held.push_back(id);
        titles[id] = title;
    }
    ScriptedPeer peer({BuildServerReply(r), Closing()});
    auto client = ClientFor(peer);
    client->Load("");

    std::string expected, got;
    for (const std::string& id : held)
        expected += id + " " + titles[id] + ", ";
    for (std::size_t i = 0; i < client->Count(); ++i)
        got += client->Item(i)->ID + " " + ToUTF8(client->Item(i)->GetTitle()) + ", ";
    EXPECT_EQ(got, expected);
    std::string answered;
    for (const ClientMessage& m : Messages(peer)) {
        for (const ClientStatus& s : m.Statuses) {
            if (s.Cmd == "Delete") answered += s.TargetRef + " " + s.Data + " ";
        }
    }
    EXPECT_EQ(answered, deletes);
}

// A server limit far below the Map's size: the closing Statuses and Map go over
// several messages, none larger than the limit, Final only on the last.
TEST(Load, SmallServerLimitSplitsTheMap) {
    constexpr long kLimit = 3000;
    // The store server's replies, the first made a load's.
    ScriptedPeer peer(StoreServer({}, [](ServerReplyShape& r, const ClientMessage&, int index) {
        r.MaxMsgSize = kLimit;
        if (index > 0) return;
        r.AlertCode = "201";
        r.Sync = true;
        r.Commands = Adds(60, 7, "contact-with-a-long-identifier-");
    }));
    auto client = ClientFor(peer);
    client->Load("");

    const auto messages = SplitUnder(peer, kLimit);
    ASSERT_GT(messages.size(), 3u);
    std::string answered, mapped, expected;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        // Each message answers the reply before it, its header Status first.
        const auto& statuses = messages[i].Statuses;
        ASSERT_FALSE(statuses.empty());
        EXPECT_EQ(statuses.front().Cmd + statuses.front().MsgRef,
                  "SyncHdr" + std::to_string(i + 1));
        for (const ClientStatus& s : statuses) {
            if (s.Cmd == "Add") answered += s.SourceRef + " ";
            if (s.Cmd == "Alert" && i > 0) {
                EXPECT_EQ(s.CmdRef, "9");
            }
        }
        for (const auto& [target, source] : messages[i].MapItems)
            mapped += target + " ";
    }
    for (int i = 1; i <= 60; ++i)
        expected += "contact-with-a-long-identifier-" + std::to_string(i) + " ";
    EXPECT_EQ(answered, expected);
    EXPECT_EQ(mapped, expected);
}

// A load replaces the items held before, local changes too. A refresh that fails leaves
// neither a partial list nor a store that could send changes against it: the client is
// as before its first load.
TEST(Load, ReplacesItemsHeldBeforeOrLeavesNoneWhenItFails) {
    ServerReplyShape r;
    r.Commands = Adds(3, 10);
    ServerReplyShape broken = Acknowledgement(2);
    broken.HeaderStatus = 500;
    ScriptedPeer peer({BuildServerReply(r), Closing(), BuildServerReply(r), Closing(),
                       BuildServerReply(r), BuildServerReply(broken)});
    auto client = ClientFor(peer);
    client->Load("");
    (void)client->NewItem();
    client->Item(0)->SetProperty("TEL", {""}, u"1");
    client->Load("");
    EXPECT_EQ(ItemList(*client),
              "item1 0 4 Given1 Family1, item2 0 4 Given2 Family2, item3 0 4 Given3 Family3");
    EXPECT_EQ(States(*client), "Unchanged Unchanged Unchanged");
    EXPECT_THROW(client->Load(""), ProtocolError);
    EXPECT_FALSE(client->Loaded);
    EXPECT_EQ(client->Count(), 0u);
    client->Store();
    EXPECT_EQ(peer.Requests().size(), 6u);
}

// The second message of a slow-sync load, broken into lines as kLoadMessage1.
const char* const kMessage2 =
    R"(<?xml version="1.0" encoding="utf-8"?><SyncML><SyncHdr><VerDTD>1.2</VerDTD>
<VerProto>SyncML/1.2</VerProto><SessionID>loading_20240115T083000Z4711</SessionID>
<MsgID>2</MsgID><Target><LocURI>{url}?sessionid=ab=1&amp;x=y</LocURI></Target><Source>
<LocURI>ContSyncML</LocURI></Source><Meta><MaxMsgSize xmlns="syncml:metinf">1048576</MaxMsgSize>
</Meta></SyncHdr><SyncBody><Status><CmdID>1</CmdID><MsgRef>3</MsgRef><CmdRef>0</CmdRef>
<Cmd>SyncHdr</Cmd><TargetRef>ContSyncML</TargetRef><SourceRef>{url}</SourceRef><Data>200</Data>
</Status><Status><CmdID>2</CmdID><MsgRef>3</MsgRef><CmdRef>5</CmdRef><Cmd>Alert</Cmd>
<TargetRef>contdb</TargetRef><SourceRef>card</SourceRef><Data>200</Data><Item><Data>
<Anchor xmlns="syncml:metinf"><Next>srv-anchor-1</Next></Anchor></Data></Item></Status><Status>
<CmdID>3</CmdID><MsgRef>3</MsgRef><CmdRef>6</CmdRef><Cmd>Sync</Cmd><TargetRef>contdb</TargetRef>
<SourceRef>card</SourceRef><Data>200</Data></Status><Status><CmdID>4</CmdID><MsgRef>3</MsgRef>
<CmdRef>7</CmdRef><Cmd>Add</Cmd><SourceRef>a1</SourceRef><Data>200</Data></Status><Status>
<CmdID>5</CmdID><MsgRef>3</MsgRef><CmdRef>8</CmdRef><Cmd>Add</Cmd><SourceRef>a2</SourceRef>
<Data>200</Data></Status><Map><CmdID>6</CmdID><Target><LocURI>card</LocURI></Target><Source>
<LocURI>contdb</LocURI></Source><MapItem><Target><LocURI>a1</LocURI></Target><Source>
<LocURI>a1</LocURI></Source></MapItem><MapItem><Target><LocURI>a2</LocURI></Target><Source>
<LocURI>a2</LocURI></Source></MapItem></Map><Final/></SyncBody></SyncML>)";

TEST(Messages, SlowSyncLoadIsLaidOutExactly) {
    ServerReplyShape reply;
    reply.MsgID = "3";  // a server numbers its messages its own way: Statuses refer to it
    reply.Commands = {
        {"Add", "7", "a1", "BEGIN:VCARD\r\nEND:VCARD\r\n"},
        {"Add", "8", "a2",
         "BEGIN:VCARD\r\nN;CHARSET=UTF-8:Gr\xC3\xBC\xC3\x9F;\xF0\x9F\x98\x80;;;\r\nEND:VCARD\r\n"}};
    ScriptedPeer* self = nullptr;
    ScriptedPeer peer([&](const RecordedRequest&, int index) {
        reply.RespURI = self->Url("/sync?sessionid=ab=1&x=y");
        return PeerReply{200, BuildServerReply(index % 2 == 0 ? reply : Acknowledgement(2)), 0};
    });
    self = &peer;
    auto client = ClientFor(peer);
    client->Load("");

    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2u);
    // The response URI is used exactly as given, also for the HTTP request.
    EXPECT_EQ(requests[1].Target, "/sync?sessionid=ab=1&x=y");
    EXPECT_EQ(requests[0].Body, Expected(kLoadMessage1, peer.Url()));
    EXPECT_EQ(requests[1].Body, Expected(kMessage2, peer.Url()));
    EXPECT_EQ(client->NextAnchor, "12345678");
    // The items keep the server's identifiers, command numbers and payloads.
    EXPECT_EQ(ItemList(*client), "a1 0 2 , a2 0 3 \xF0\x9F\x98\x80 Gr\xC3\xBC\xC3\x9F");
    for (std::size_t i = 0; i < client->Count(); ++i) {
        EXPECT_EQ(client->Item(i)->CmdID, reply.Commands[i].CmdID);
        EXPECT_EQ(client->Item(i)->GetText(), *reply.Commands[i].Data);
    }

    // A last anchor asks for a fast sync; empty credentials still travel.
    client->UserName.clear();
    client->Password.clear();
    client->Random = Sequence({4711, 12345678});
    client->Load(" 2024 ");
    EXPECT_EQ(peer.Requests().at(2).Body,
              Expected(kLoadMessage1, peer.Url(),
                       {{"dXNlcjpwYXNz", "Og=="},
                        {"<Data>201</Data>", "<Data>204</Data>"},
                        {"<Next>12345678", "<Last> 2024 </Last><Next>12345678"}}));
}

// Text the writer escapes or splits reads back as it was written, and the size the
// writer gives before the message is closed is the size of the closed message: a
// message that outgrew it would outgrow the server's limit.
TEST(Messages, WrittenTextReadsBackAndIsCountedExactly) {
    // XML cannot carry a NUL: it is left out, and the text after it still travels.
    const struct {
        std::string text, read = text;
    } cases[] = {{""},
                 {"plain"},
                 {"a&b<c>d"},
                 {"say \"hi\" 'x'"},
                 {"tab\tline\n"},
                 {"\x01\x1F"},
                 {"M\xC3\xBC"
                  "ller"},
                 {"x]]>y]]>"},
                 {"BEGIN:VNOTE\nBODY:a]]>b ]]]> <&>\nEND:VNOTE\n"},
                 {std::string("TEL:1\0 2\0", 9), "TEL:1 2"}};
    for (const auto& [text, read] : cases) {
        TMessageWriter message;
        message.Start();
        message.Open("Add");
        message.Element("CmdID", 7LL);
        message.Element("Text", text);
        message.Meta("Type", text);
        message.Open("Item");
        message.LocURI("Source", text);
        message.CData("Data", text);
        const std::size_t counted = message.Size();
        std::string written = message.Finish();
        EXPECT_EQ(counted, written.size()) << written;
        pugi::xml_document reply;
        ParseReply(reply, written);
        const pugi::xml_node add = Child(reply.document_element(), "Add");
        // A control character travels as a reference, which the reader may not undo.
        if (text.find('\x01') == std::string::npos) {
            EXPECT_EQ(Text(Child(add, "Text")), read);
            EXPECT_EQ(Text(Path(add, "Meta/Type")), read);
            EXPECT_EQ(Text(Path(add, "Item/Source/LocURI")), read);
        }
        EXPECT_EQ(Text(Path(add, "Item/Data")), read);
    }
}

TEST(Messages, RepliesAreReadByLocalName) {
    std::string text =
        "<s:SyncML xmlns:s='SYNCML:SYNCML1.2'><s:SyncBody><s:Alert><s:CmdID> 12 "
        "</s:CmdID></s:Alert></s:SyncBody></s:SyncML>";
    pugi::xml_document reply;
    ParseReply(reply, text);
    EXPECT_EQ(ReadInteger(Path(reply.document_element(), "SyncBody/Alert/CmdID")), 12);
    EXPECT_EQ(Text(Path(reply.document_element(), "SyncBody/Missing/CmdID")), "");
}

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

// A new identifier skips those taken; a random source that gives only taken ones fails.
TEST(SyncClient, MakeUniqueIDSkipsTakenIdentifiers) {
    TSMLContacts client;
    client.Random = Sequence({42, 42, 7, 99999999});
    EXPECT_EQ(client.NewItem()->ID, "42");
    EXPECT_EQ(client.NewItem()->ID, "7");
    EXPECT_EQ(client.MakeUniqueID(), "99999999");
    // Several at once differ from each other as well.
    client.Random = Sequence({3, 3, 42, 4});
    EXPECT_EQ(client.MakeUniqueIDs(2), (std::vector<std::string>{"3", "4"}));
    client.Random = Sequence({7});
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

}  // namespace
}  // namespace orvanta
