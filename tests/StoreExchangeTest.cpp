#include <gtest/gtest.h>

#include <regex>

#include "engine/Errors.h"
#include "kinds/NoteSyncML.h"
#include "support/LoadHarness.h"

namespace orvanta {
namespace {

using namespace test;

const char* const kCard = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Family;Given;;;\r\nEND:VCARD\r\n";

// A loaded contacts client holding items in the given states.
std::unique_ptr<TSMLContacts> LoadedClient(const ScriptedPeer& peer,
                                           std::initializer_list<ItemState> states) {
    auto client = ClientFor(peer);
    client->NextAnchor = "11111111";
    client->Loaded = true;
    int n = 0;
    for (const ItemState state : states) {
        TSMLContact* c = client->NewItem();
        c->Parse(kCard);
        c->ID = "c" + std::to_string(++n);
        c->State = state;
    }
    client->Random = Sequence({4711, 22222222});
    return client;
}

TEST(Store, BeforeAnyLoadNothingHappens) {
    ScriptedPeer server(StoreServer());
    auto client = ClientFor(server);
    (void)client->NewItem();
    client->Store();
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(States(*client), "New");
    EXPECT_TRUE(client->NextAnchor.empty());
}

TEST(Store, ChangesGoInCollectionOrderAndSettle) {
    ScriptedPeer server(StoreServer());
    auto client = LoadedClient(
        server, {ItemState::Unchanged, ItemState::New, ItemState::Deleted, ItemState::Modified});
    client->Store();

    const auto messages = Messages(server);
    ASSERT_EQ(messages.size(), 2u);
    // Message 1 opens the session as a load does, with Alert 202, both anchors and no
    // Sync yet; message 2 answers reply 1 and carries the changes: a deletion names its
    // item only.
    EXPECT_EQ(server.Requests()[0].Body,
              Expected(kLoadMessage1, server.Url(),
                       {{"loading", "storing"},
                        {"<Data>201", "<Data>202"},
                        {"<Next>12345678", "<Last>11111111</Last><Next>22222222"},
                        {"<Sync>.*</Sync>", ""}}));
    EXPECT_EQ(Answers(messages[1]), "SyncHdr 0 200, Alert 5 200");
    EXPECT_EQ(messages[1].Statuses[1].AnchorNext, "srv-anchor-1");
    const std::string sync = Expected(
        R"(<Sync><CmdID>3</CmdID><Target><LocURI>card</LocURI></Target><Source>
<LocURI>contdb</LocURI></Source><Add><CmdID>4</CmdID>@type@<Item><Source><LocURI>c2</LocURI>
</Source>@card@</Item></Add><Delete><CmdID>5</CmdID><Item><Source><LocURI>c3</LocURI></Source>
</Item></Delete><Replace><CmdID>6</CmdID>@type@<Item><Source><LocURI>c4</LocURI></Source>@card@
</Item></Replace></Sync><Final/>)",
        server.Url(),
        {{"@type@", R"(<Meta><Type xmlns="syncml:metinf">text/x-vcard</Type></Meta>)"},
         {"@card@", "<Data><![CDATA[" + std::string(kCard) + "]]></Data>"}});
    EXPECT_NE(server.Requests()[1].Body.find(sync), std::string::npos) << server.Requests()[1].Body;

    // Accepted changes settle: the deleted item is gone, the others are unchanged.
    EXPECT_EQ(States(*client), "Unchanged Unchanged Unchanged");
    EXPECT_EQ(client->Items.back()->ID, "c4");
    EXPECT_EQ(client->NextAnchor, "22222222");
}

TEST(Store, RefusedAndUnconfirmedChangesStayPendingAndAreReported) {
    ScriptedPeer server(StoreServer([](const ClientCommand& c) {
        if (c.Source == "c1") return 415;
        if (c.Source == "c3") return 0;  // no Status at all
        return c.Name == "Add" ? 201 : 200;
    }));
    auto client = LoadedClient(server, {ItemState::New, ItemState::Modified, ItemState::Deleted});
    EXPECT_EQ(FailureOf<ProtocolError>([&] { client->Store(); }),
              "The server refused 1 of 3 changes (status 415); it did not confirm 1 of 3 "
              "changes. They stay marked and go with the next store.");
    EXPECT_EQ(States(*client), "New Unchanged Deleted");
    // The session was finished all the same.
    EXPECT_TRUE(Messages(server).back().Final);
}

TEST(Store, RefusalOfTheSessionSendsNoChange) {
    const struct {
        int header, alert;
        const char* message;
    } cases[] = {
        {401, 401, "The server refused the credentials (status 401)"},
        {212, 508, "The server needs a full synchronisation; press \"Refresh\" first (status 508)"},
        {212, 404, "The server does not know the data source \"card\" (status 404)"},
    };
    for (const auto& c : cases) {
        ScriptedPeer server(StoreServer({}, [&](ServerReplyShape& r, const ClientMessage&, int) {
            r.HeaderStatus = c.header;
            r.AlertStatus = c.alert;
            r.Alert = false;
        }));
        auto client = LoadedClient(server, {ItemState::New, ItemState::Deleted});
        EXPECT_EQ(FailureOf<ProtocolError>([&] { client->Store(); }), c.message);
        EXPECT_EQ(server.Requests().size(), 1u);
        EXPECT_EQ(States(*client), "New Deleted");
        EXPECT_EQ(client->NextAnchor, "22222222");  // drawn for message 1 all the same
    }
}

TEST(Store, LargeSyncIsSplitUnderTheServerLimit) {
    constexpr long kLimit = 4000;
    ScriptedPeer server(StoreServer(
        {}, [](ServerReplyShape& r, const ClientMessage&, int) { r.MaxMsgSize = kLimit; }));
    auto client = LoadedClient(server, {});
    for (int i = 0; i < 40; ++i) {
        TSMLContact* c = client->NewItem();
        c->ID = "new-" + std::to_string(i);
        c->SetLastName(u"Family with a fairly long name number " + FromUTF8(std::to_string(i)));
    }
    client->Store();

    const auto messages = SplitUnder(server, kLimit);
    ASSERT_GT(messages.size(), 2u);
    std::string sent, expected;
    for (const ClientMessage& m : messages) {
        EXPECT_TRUE(m.HasSync);
        for (const ClientCommand& c : m.Commands)
            sent += c.Source + " ";
    }
    for (int i = 0; i < 40; ++i)
        expected += "new-" + std::to_string(i) + " ";
    EXPECT_EQ(sent, expected);
    for (const auto& item : client->Items)
        EXPECT_EQ(item->State, ItemState::Unchanged) << item->ID;
}

// A store without changes still sends its (empty) Sync. After a store whose reply was
// lost the client cannot know what the server did, so the changes stay marked and go
// again exactly as they went: same commands, same client identifiers (a server that
// kept them takes a repeated Add as an update). Each store's next anchor is the next
// one's last, also after the lost session (a server that did not finish that session
// no longer matches it and asks for a full synchronisation).
TEST(Store, AfterALostReplyTheSameChangesGoAgain) {
    ScriptedPeer server([store = StoreServer()](const RecordedRequest& request, int index) {
        return index == 3 ? PeerReply{500, "lost", 0} : store(request, index);
    });
    auto client =
        LoadedClient(server, {ItemState::Unchanged, ItemState::Unchanged, ItemState::Unchanged});
    client->Random = Sequence({1, 500, 2, 600, 3, 700});
    client->Store();
    client->Item(0)->State = ItemState::New;
    client->Item(1)->State = ItemState::Modified;
    client->Item(2)->State = ItemState::Deleted;
    EXPECT_EQ(FailureOf<TransportError>([&] { client->Store(); }),
              "The server answered HTTP status 500 (Internal Server Error) for " + server.Url());
    EXPECT_EQ(States(*client), "New Modified Deleted");

    client->Store();
    const auto messages = Messages(server);
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_TRUE(messages[1].HasSync);
    EXPECT_TRUE(messages[1].Commands.empty());
    std::string anchors;
    for (int i = 0; i < 6; i += 2)
        anchors += messages[i].AlertLast + ">" + messages[i].AlertNext + " ";
    EXPECT_EQ(anchors, "11111111>500 500>600 600>700 ");
    ASSERT_EQ(messages[3].Commands.size(), 3u);
    EXPECT_EQ(messages[5].Commands, messages[3].Commands);
    EXPECT_EQ(States(*client), "Unchanged Unchanged");
    EXPECT_EQ(client->NextAnchor, "700");
}

TEST(Store, PayloadHoldingTheCDataEndArrivesIntact) {
    ScriptedPeer server(StoreServer());
    auto notes = std::make_unique<TSMLNotes>();
    notes->SetServerURL(server.Url());
    notes->Loaded = true;
    TSMLNote* note = notes->NewItem();
    note->SetBody(u"a ]]> b ]]]]> \u00FC\U0001F600");
    notes->Store();
    const auto messages = Messages(server);
    ASSERT_EQ(messages.size(), 2u);
    ASSERT_EQ(messages[1].Commands.size(), 1u);
    EXPECT_EQ(messages[1].Commands[0].Data,
              std::regex_replace(note->GetText(), std::regex("\r"), ""));  // as XML reads it
    EXPECT_EQ(messages[1].Commands[0].Type, "text/x-vnote");
    EXPECT_EQ(note->State, ItemState::Unchanged);
}

// The server's reply to the changes holds a Sync of its own and is not final: the client
// answers the Sync and asks for the rest (Alert 222) before the session ends. A store
// has no place for the server's changes: each is refused, not taken as delivered, and
// reported; the store itself went through.
TEST(Store, ServersOwnSyncIsAnsweredBeforeTheSessionEnds) {
    ScriptedPeer server(StoreServer({}, [](ServerReplyShape& r, const ClientMessage&, int index) {
        if (index == 1) {
            r.Final = false;
            r.ExtraBodyXml +=
                "<Sync><CmdID>30</CmdID><Target><LocURI>contdb</LocURI></Target>"
                "<Source><LocURI>card</LocURI></Source>" +
                CommandXml("Add", 31, "s1", "") + CommandXml("Delete", 32, "", "c1", "") + "</Sync>";
        } else if (index == 2) {
            r.Final = true;
            r.ExtraBodyXml.clear();
        }
    }));
    auto client = LoadedClient(server, {ItemState::Modified});
    client->Store();
    const auto messages = Messages(server);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_FALSE(messages[2].HasSync);
    EXPECT_EQ(Answers(messages[2]), "SyncHdr 0 200, Sync 30 200, Add 31 s1 406, Delete 32 c1 406");
    EXPECT_EQ(messages[2].AlertCodes, std::vector<std::string>{"222"});
    EXPECT_EQ(client->Item(0)->State, ItemState::Unchanged);
    EXPECT_EQ(RefusedReport(client->Refused),
              "2 of the server's commands were refused, so their items are missing here: 1 Add "
              "command sent back to a store (status 406), 1 Delete command sent back to a store "
              "(status 406)");
}

}  // namespace
}  // namespace orvanta
