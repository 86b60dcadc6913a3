#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "kinds/CalSyncML.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/RealServer.h"

namespace orvanta {
namespace {

using namespace test;

const std::string kTokyoZone =
    "BEGIN:VTIMEZONE\r\nTZID:Asia/Tokyo\r\nBEGIN:STANDARD\r\nDTSTART:19700101T000000\r\n"
    "TZOFFSETFROM:+0900\r\nTZOFFSETTO:+0900\r\nTZNAME:JST\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";

std::string Calendar(const std::string& zone, const std::string& component) {
    return "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example Corp.//Calendar 3.1//EN\r\n" +
           zone + component + "END:VCALENDAR\r\n";
}

// Events and tasks as stored on the server by other programs: in Tokyo time with the
// zone's definition, and in UTC.
const std::map<std::string, std::string> kEvents = {
    {"tokyo-summer",
     Calendar(kTokyoZone,
              "BEGIN:VEVENT\r\nUID:tokyo-summer@example.com\r\nSUMMARY:Tokyo summer\r\n"
              "DTSTART;TZID=Asia/Tokyo:20260715T100000\r\n"
              "DTEND;TZID=Asia/Tokyo:20260715T113000\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
              "DESCRIPTION:Reminder\r\nTRIGGER;VALUE=DATE-TIME:20260715T003000Z\r\n"
              "END:VALARM\r\nEND:VEVENT\r\n")},
    {"tokyo-winter",
     Calendar(kTokyoZone,
              "BEGIN:VEVENT\r\nUID:tokyo-winter@example.com\r\nSUMMARY:Tokyo winter\r\n"
              "DTSTART;TZID=Asia/Tokyo:20260115T100000\r\n"
              "DTEND;TZID=Asia/Tokyo:20260115T110000\r\nEND:VEVENT\r\n")},
    {"utc", Calendar("",
                     "BEGIN:VEVENT\r\nUID:utc@example.com\r\nSUMMARY:In UTC\r\n"
                     "DTSTART:20260715T013000Z\r\nDTEND:20260715T023000Z\r\nEND:VEVENT\r\n")},
};
const std::map<std::string, std::string> kTasks = {
    {"tokyo-task",
     Calendar(kTokyoZone,
              "BEGIN:VTODO\r\nUID:tokyo-task@example.com\r\nSUMMARY:Tokyo task\r\n"
              "DUE;TZID=Asia/Tokyo:20261212T180000\r\nBEGIN:VALARM\r\nACTION:DISPLAY\r\n"
              "DESCRIPTION:Reminder\r\nTRIGGER:-PT30M\r\nEND:VALARM\r\nEND:VTODO\r\n")},
    {"utc-task", Calendar("",
                          "BEGIN:VTODO\r\nUID:utc-task@example.com\r\nSUMMARY:UTC task\r\n"
                          "DUE:20260715T160000Z\r\nEND:VTODO\r\n")},
};

// The JSON lines of `orvanta-load --fields` in the given client zone, by item id.
std::map<std::string, std::string> LoadedFields(const RealServer& server, const char* zone,
                                                const char* kind) {
    const std::string command = std::string("TZ=") + zone + " '" + ORVANTA_LOAD_TOOL + "' '" +
                                server.Url() + "' " + RealServer::kUser + " " +
                                RealServer::kPassword + " --fields " + kind + " 2>&1";
    std::map<std::string, std::string> byID;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return byID;
    std::string out;
    char buf[4096];
    while (const std::size_t n = std::fread(buf, 1, sizeof buf, pipe))
        out.append(buf, n);
    EXPECT_EQ(pclose(pipe), 0) << out;
    static const std::regex line(R"re((^|\n)\{"id":"([^"]*)"[^\n]*)re");
    for (std::sregex_iterator m(out.begin(), out.end(), line), end; m != end; ++m)
        byID[(*m)[2]] = m->str().substr(m->str().find('{'));
    return byID;
}

TEST(InteropZones, EveryTimeIsTheTrueMomentInTheClientsZone) {
    const RealServer server;
    const ScopedStoreContents events(server, "cal", kEvents);
    const ScopedStoreContents tasks(server, "task", kTasks);
    const struct {
        const char* zone;
        // Each: an item and a field text its JSON line must hold.
        std::vector<std::pair<const char*, const char*>> cal, task;
    } cases[] = {
        {"Europe/Berlin",
         {{"tokyo-summer",
           R"("Start":"2026-07-15T03:00:00+02:00","End":"2026-07-15T04:30:00+02:00")"},
          {"tokyo-summer", R"("Time":"2026-07-15T02:30:00+02:00")"},
          {"tokyo-winter",
           R"("Start":"2026-01-15T02:00:00+01:00","End":"2026-01-15T03:00:00+01:00")"},
          {"utc", R"("Start":"2026-07-15T03:30:00+02:00","End":"2026-07-15T04:30:00+02:00")"}},
         {{"tokyo-task",
           R"("Due":"2026-12-12T10:00:00+01:00","Alarm":"2026-12-12T09:30:00+01:00")"},
          {"utc-task", R"("Due":"2026-07-15T18:00:00+02:00")"}}},
        {"America/New_York",
         {{"tokyo-summer",
           R"("Start":"2026-07-14T21:00:00-04:00","End":"2026-07-14T22:30:00-04:00")"},
          {"tokyo-summer", R"("Time":"2026-07-14T20:30:00-04:00")"},
          {"tokyo-winter",
           R"("Start":"2026-01-14T20:00:00-05:00","End":"2026-01-14T21:00:00-05:00")"},
          {"utc", R"("Start":"2026-07-14T21:30:00-04:00","End":"2026-07-14T22:30:00-04:00")"}},
         {{"tokyo-task",
           R"("Due":"2026-12-12T04:00:00-05:00","Alarm":"2026-12-12T03:30:00-05:00")"},
          {"utc-task", R"("Due":"2026-07-15T12:00:00-04:00")"}}},
    };
    for (const auto& c : cases) {
        for (const auto& [kind, expected] :
             {std::pair{"cal", &c.cal}, std::pair{"task", &c.task}}) {
            const auto loaded = LoadedFields(server, c.zone, kind);
            for (const auto& [id, field] : *expected) {
                const auto it = loaded.find(id);
                ASSERT_NE(it, loaded.end()) << c.zone << " " << id;
                EXPECT_NE(it->second.find(field), std::string::npos)
                    << c.zone << ": " << field << " not in " << it->second;
            }
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
    // What the server made of the file as it came from the other program.
    std::cout << f.name << ": the server rewrote "
              << ::testing::PrintToString(
                     Differing(StoredLines(f, f.text), StoredLines(f, baseline)))
              << "\n";
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusOnTheServer, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) { return CorpusTestName(info.param); });

}  // namespace
}  // namespace orvanta
