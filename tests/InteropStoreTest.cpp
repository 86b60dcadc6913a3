#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "formats/ObjectFile.h"
#include "formats/SyncMLItem.h"
#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "support/ChildProcess.h"
#include "support/Corpus.h"
#include "support/ForwardingProxy.h"
#include "support/Payloads.h"
#include "support/RealServer.h"
#include "support/SyncPeer.h"

namespace orvanta {
namespace {

using namespace test;

const WideString kTitle = u"Gr\u00FC\u00DFe aus K\u00F6ln \U0001F389";
// A multi-line text with umlauts and an emoji, as SetField takes it.
const std::string kText = "Zeile eins\\r\\nZeile zwei; mit Ä, Ö und Ü\\r\\n😀 Ende";

// One kind of data: its store, the field that makes the title, the fields a new item gets
// (as SetField takes them) and the one of them that holds a multi-line text.
struct KindCase {
    const char* store;
    const char* title;
    std::vector<std::string> fields;
    const char* text;
};

const KindCase kKinds[] = {
    {"cal",
     "Summary",
     {"Start=2027-03-04T10:30:00", "End=2027-03-04T11:45:00", "Location=Raum 4, 2. OG",
      "Description=" + kText, "Reminders+=15 Minutes Popup"},
     "Description"},
    {"card",
     "FirstName",
     {"LastName=Müller", "Mobile=+49 171 555 0100", "Address=Flat 2; Block B", "City=Köln",
      "Birthday=1980-04-12", "Notes=" + kText},
     "Notes"},
    {"task",
     "Summary",
     {"Description=" + kText, "Due=2027-05-31T16:00:00", "Alarm=2027-05-30T09:00:00", "Priority=2"},
     "Description"},
    {"vnote", "Title", {"Body=" + kText}, "Body"},
};

// Gives an item the kind's fields and the title.
void Fill(const KindCase& c, TSMLItem& item, const WideString& title) {
    SetField(item, std::string(c.title) + "=" + ToUTF8(title));
    for (const std::string& field : c.fields)
        SetField(item, field);
}

// The multi-line text of an item of the kind, as read.
std::string TextOf(const KindCase& c, const TSMLItem& item) {
    for (const ItemField& field : KindNamed(c.store).Fields(item))
        if (field.Name == std::string(c.text)) return ToUTF8(std::get<WideString>(field.Value));
    return "no field";
}

class StoreEachKind : public ::testing::TestWithParam<KindCase> {
protected:
    RealServer server;
};

// A load returns exactly the server's items, their titles as the stored files give
// them; an edit, a deletion and a new item reach the server's folder; a load then
// shows what the server holds. Then an empty store loads with no items and takes new
// items in stores that follow each other without a load between (each chains its
// anchors to the one before); a load then shows them.
TEST_P(StoreEachKind, ChangesReachTheServer) {
    const KindCase& c = GetParam();
    auto client = KindNamed(c.store).MakeClient();
    server.Configure(*client);
    EXPECT_EQ(server.Load(*client), "200");
    const std::vector<std::string> before = server.ItemIDs(c.store);
    EXPECT_EQ(SortedIDs(*client), before);
    ASSERT_GE(client->Items.size(), 2u);
    for (const auto& item : client->Items) {
        const auto reference = KindNamed(c.store).MakeClient()->CreateItem();
        reference->Parse(ReadFile(server.StoreFolder(c.store) / item->ID));
        EXPECT_EQ(ToUTF8(item->GetTitle()), ToUTF8(reference->GetTitle())) << item->ID;
        EXPECT_FALSE(item->GetTitle().empty()) << item->ID;
    }

    const std::string replacedID = client->Items[0]->ID;
    const std::string deletedID = client->Items[1]->ID;
    Fill(c, *client->Items[0], u"Ge\u00E4ndert \u2013 " + kTitle);
    client->DeleteItem(1);
    TSMLItem* added = client->NewItem();
    Fill(c, *added, kTitle);
    const std::string replacedTitle = ToUTF8(client->Items[0]->GetTitle());
    const std::string addedTitle = ToUTF8(added->GetTitle());

    EXPECT_EQ(server.Store(*client), "200");

    // In the server's folder: the deleted file is gone, one file is new, the replaced
    // one holds the new title.
    const std::vector<std::string> after = server.ItemIDs(c.store);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_FALSE(std::binary_search(after.begin(), after.end(), deletedID));
    std::vector<std::string> fresh;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(fresh));
    ASSERT_EQ(fresh.size(), 1u);
    const auto stored = KindNamed(c.store).MakeClient()->CreateItem();
    stored->Parse(ReadFile(server.StoreFolder(c.store) / fresh.front()));
    EXPECT_EQ(ToUTF8(stored->GetTitle()), addedTitle);

    // The items settled; a load shows what the server now holds.
    for (const auto& item : client->Items)
        EXPECT_EQ(item->State, ItemState::Unchanged);
    EXPECT_EQ(server.Load(*client), "200");
    EXPECT_EQ(SortedIDs(*client), after);
    const TSMLItem* replaced = FindByID(*client, replacedID);
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(ToUTF8(replaced->GetTitle()), replacedTitle);
    const TSMLItem* reloaded = FindByID(*client, fresh.front());
    ASSERT_NE(reloaded, nullptr);
    // Non-ASCII text and line breaks survive the round trip through the server.
    EXPECT_EQ(ToUTF8(reloaded->GetTitle()), addedTitle);
    EXPECT_EQ(TextOf(c, *reloaded), Unescaped(kText));

    const ScopedStoreContents empty(server, c.store);
    EXPECT_EQ(server.Load(*client), "200");
    EXPECT_TRUE(client->Loaded);
    EXPECT_TRUE(client->Items.empty());
    std::vector<std::string> titles;
    for (int round = 1; round <= 3; ++round) {
        TSMLItem* item = client->NewItem();
        Fill(c, *item, kTitle + u" " + FromUTF8(std::to_string(round)));
        titles.push_back(ToUTF8(item->GetTitle()));
        EXPECT_EQ(server.Store(*client), "200") << "store " << round;
        EXPECT_EQ(item->State, ItemState::Unchanged);
    }
    client->Load("");
    EXPECT_EQ(SortedIDs(*client), server.ItemIDs(c.store));
    std::vector<std::string> loaded;
    for (const auto& item : client->Items)
        loaded.push_back(ToUTF8(item->GetTitle()));
    std::sort(loaded.begin(), loaded.end());
    EXPECT_EQ(loaded, titles);
}

INSTANTIATE_TEST_SUITE_P(RealServer, StoreEachKind, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.store); });

// Each of these runs on a store of its own, empty or with the listed items, that the
// server's sample data replaces afterwards.

// A thousand new contacts go in one store; address books of 1000 and 5000 contacts load
// whole. The server splits its data over several messages, and none of ours (the Map
// that closes a load included) goes over its limit.
TEST(InteropStore, LargeAddressBooks) {
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

// An edited phone number and e-mail address replace the old ones on the server: the
// contact keeps one line of each, with its parameters.
TEST(InteropStore, EditedPhoneAndEMailReplaceTheOldOnes) {
    RealServer server;
    const ScopedStoreContents store(
        server, "card",
        {{"tina", VCard({"N:Telefon;Tina;;;", "TEL;HOME;VOICE:+49 30 1111",
                         "EMAIL;INTERNET:alt@example.org"})}});
    TSMLContacts client;
    server.Configure(client);
    client.Load("");
    ASSERT_EQ(client.Count(), 1u);
    client.Item(0)->SetPhone(u"+49 30 2222");
    client.Item(0)->SetEMail(u"neu@example.org");
    EXPECT_EQ(server.Store(client), "200");
    std::vector<std::string> phones, emails;
    for (const std::string_view line :
         SplitPayloadLines(ReadFile(server.StoreFolder("card") / "tina"))) {
        if (GetPropertyName(line) == "TEL") phones.emplace_back(line);
        if (GetPropertyName(line) == "EMAIL") emails.emplace_back(line);
    }
    ASSERT_EQ(phones.size(), 1u);
    EXPECT_EQ(GetPropertyValue(phones[0]), u"+49 30 2222");
    EXPECT_NE(phones[0].find("HOME"), std::string::npos) << phones[0];
    ASSERT_EQ(emails.size(), 1u);
    EXPECT_EQ(GetPropertyValue(emails[0]), u"neu@example.org");
}

// A store whose reply is lost after the server carried out its changes (the line drops,
// or a gateway answers 500 in its place), then a store again. The server keeps the
// client's identifiers of a finished session: the Adds sent again are taken as updates
// (208), and an edit made in between arrives. A session that broke off before its last
// message leaves the anchors apart: the next store is refused with 508 rather than
// sending anything twice, and a refresh shows each item once.
TEST(InteropStore, ALostStoreReplyLeavesNoDuplicate) {
    RealServer server;
    const struct {
        const char* name;
        ForwardingProxy::Loss how;
        int count;          // new contacts, each with a long note
        std::size_t note;   // characters per note: large ones need several messages
        bool sessionEnded;  // the lost reply was the last of the session
    } cases[] = {
        {"the last reply, line dropped", ForwardingProxy::Loss::Dropped, 3, 40, true},
        {"the last reply, HTTP 500", ForwardingProxy::Loss::ServerError, 3, 40, true},
        {"a reply mid-session, line dropped", ForwardingProxy::Loss::Dropped, 60, 6000, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedStoreContents empty(server, "card");
        ForwardingProxy proxy(server.Url());
        TSMLContacts client;
        server.Configure(client);
        client.SetServerURL(proxy.Url());
        client.Load("");
        for (int i = 1; i <= c.count; ++i) {
            TSMLContact* contact = client.NewItem();
            contact->Parse(VCard({"N:Verloren;Nummer " + std::to_string(i) + ";;;",
                                  "NOTE:" + std::string(c.note, 'n')}));
            contact->State = ItemState::New;
        }

        proxy.LoseReplyOf(2, c.how);
        EXPECT_THROW(client.Store(), TransportError);
        const std::size_t arrived = server.ItemIDs("card").size();
        if (c.sessionEnded) {
            EXPECT_EQ(arrived, static_cast<std::size_t>(c.count));
        } else {
            EXPECT_GT(arrived, 0u);
            EXPECT_LT(arrived, static_cast<std::size_t>(c.count));
        }
        EXPECT_EQ(std::count_if(client.Items.begin(), client.Items.end(),
                                [](const auto& item) { return item->State == ItemState::New; }),
                  c.count);

        client.Item(client.Count() - 1)->SetNotes(u"edited after the loss");
        proxy.LoseReplyOf(0, c.how);
        if (c.sessionEnded) {
            client.Store();
            const std::string reply = proxy.Replies().at(1);
            EXPECT_NE(reply.find("<Cmd>Add</Cmd>"), std::string::npos);
            EXPECT_EQ(reply.find("<Data>201</Data>"), std::string::npos) << reply;
        } else {
            EXPECT_EQ(FailureOf<ProtocolError>([&] { client.Store(); }),
                      "The server needs a full synchronisation; press \"Refresh\" first "
                      "(status 508)");
            EXPECT_EQ(proxy.Forwarded(), 1);
        }
        EXPECT_EQ(server.ItemIDs("card").size(), arrived);

        // A refresh shows each contact that arrived once, the edit where it was stored.
        client.Load("");
        std::map<WideString, int> seen;
        int edited = 0;
        for (const auto& item : client.Items) {
            const auto& contact = static_cast<const TSMLContact&>(*item);
            ++seen[contact.FirstName()];
            edited += contact.Notes() == u"edited after the loss";
        }
        EXPECT_EQ(seen.size(), arrived);
        for (const auto& [name, n] : seen)
            EXPECT_EQ(n, 1) << ToUTF8(name);
        EXPECT_EQ(edited, c.sessionEnded ? 1 : 0);
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

// The JSON lines of `orvanta-load --fields` in the given client zone, by item id.
std::map<std::string, std::string> LoadedFields(const RealServer& server, const std::string& zone,
                                                const std::string& kind) {
    const ToolRun run =
        ToolProcess(ORVANTA_LOAD_TOOL, {server.Url(), RealServer::kUser, "--fields", kind},
                    {"TZ=" + zone, std::string("ORVANTA_PASSWORD=") + RealServer::kPassword})
            .Wait();
    EXPECT_EQ(run.Status, 0) << run.Out << run.Err;
    const std::string& out = run.Out;
    std::map<std::string, std::string> byID;
    static const std::regex line(R"re((^|\n)\{"id":"([^"]*)"[^\n]*)re");
    for (std::sregex_iterator m(out.begin(), out.end(), line), end; m != end; ++m)
        byID[(*m)[2]] = m->str().substr(m->str().find('{'));
    return byID;
}

// Events and tasks as other programs store them, in zones with summer time in either
// hemisphere, with a half-hour offset and on dates before a rule changed; the server
// sends them with its own rewritten time-zone blocks. data/interop/zone-events.ics holds
// the calendar; after each component's UID, its X-LOADED lines say what orvanta-load
// shows as its start (a task: its due time) in the client zone of their TZ parameter.
TEST(InteropZones, EveryTimeIsTheTrueMomentInTheClientsZone) {
    struct Check {
        std::string store, id, shown;
    };
    std::map<std::string, std::map<std::string, std::string>> items;  // by store, then id
    std::map<std::string, std::vector<Check>> checks;                 // by client zone
    const std::string file =
        ReadFile(std::filesystem::path(ORVANTA_TEST_DATA) / "interop" / "zone-events.ics");
    for (const std::string store : {"cal", "task"}) {
        for (const std::string& payload :
             SplitObjectFile(file, KindNamed(store).Component).Payloads) {
            std::string id;
            for (const std::string_view line : SplitPayloadLines(payload)) {
                const std::string value(line.substr(line.find(':') + 1));
                if (GetPropertyName(line) == "UID") id = value;
                if (GetPropertyName(line) != "X-LOADED") continue;
                const std::string zone(line.substr(12, line.find(':') - 12));  // X-LOADED;TZ=
                checks[zone].push_back({store, id, value});
            }
            items[store][id] = payload;
        }
    }
    const RealServer server;
    const ScopedStoreContents events(server, "cal", items["cal"]);
    const ScopedStoreContents tasks(server, "task", items["task"]);
    for (const auto& [zone, expected] : checks) {
        std::map<std::string, std::map<std::string, std::string>> loaded;
        for (const Check& check : expected) {
            auto& byID = loaded[check.store];
            if (byID.empty()) byID = LoadedFields(server, zone, check.store);
            const auto it = byID.find(check.id);
            ASSERT_NE(it, byID.end()) << zone << " " << check.id;
            const std::string field =
                (check.store == "cal" ? "\"Start\":\"" : "\"Due\":\"") + check.shown + "\"";
            EXPECT_NE(it->second.find(field), std::string::npos)
                << zone << ": " << field << " not in " << it->second;
        }
    }
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
