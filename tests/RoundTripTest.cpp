#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "formats/Failure.h"
#include "formats/ObjectFile.h"
#include "formats/TimeZoneRule.h"
#include "support/Corpus.h"
#include "support/Payloads.h"

namespace orvanta {
namespace test {
// A failing case names its file rather than its bytes.
void PrintTo(const CorpusFile& file, std::ostream* out) {
    *out << file.name;
}
}  // namespace test

namespace {

using namespace test;

class RoundTrip : public ::testing::TestWithParam<CorpusFile> {
protected:
    ScopedTimeZone zone{kCentralEurope};
};

// Parse a payload another program wrote, change one field, write it out: every line but
// the one that carries the field is what came in, byte for byte.
TEST_P(RoundTrip, OnlyTheChangedPropertyDiffers) {
    const CorpusFile& f = GetParam();
    const auto client = f.makeClient();
    const std::unique_ptr<TSMLItem> item = client->CreateItem();
    item->Parse(f.text);
    EXPECT_EQ(item->State, ItemState::Unchanged);
    EXPECT_FALSE(item->GetTitle().empty());
    // Unfolding joins continuations only: every property of the file is still there.
    EXPECT_EQ(RawPropertyNames(item->GetText()), RawPropertyNames(f.text));
    // Written unchanged, the payload reads back to the same lines.
    const std::unique_ptr<TSMLItem> same = client->CreateItem();
    same->Parse(item->GetText());
    EXPECT_EQ(same->Lines, item->Lines);

    const ItemLines before = item->Lines;
    f.change(*item);
    EXPECT_EQ(item->State, ItemState::Modified);
    const ItemLines after = SplitPayloadLines(item->GetText());
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (after[i] == before[i]) continue;
        ++changed;
        EXPECT_EQ(GetPropertyName(after[i]), f.property) << after[i];
    }
    EXPECT_EQ(changed, 1);
    const std::unique_ptr<TSMLItem> reread = client->CreateItem();
    reread->Parse(item->GetText());
    EXPECT_EQ(reread->Lines, after);
    EXPECT_NE(ToUTF8(reread->GetTitle()).find(ToUTF8(kCorpusEdit)), std::string::npos);
}

// A file of one object is one item whose payload is the file, byte for byte; asked for
// another kind, the file holds none of it.
TEST_P(RoundTrip, TheFileIsOneObject) {
    const std::map<std::string, std::pair<const char*, const char*>> kinds = {
        {"card", {"VCARD", "VEVENT"}},
        {"vnote", {"VNOTE", "VCARD"}},
        {"task", {"VTODO", "VEVENT"}},
        {"cal", {"VEVENT", "VTODO"}}};
    const CorpusFile& f = GetParam();
    const auto& [component, other] = kinds.at(f.store);
    const ObjectFileItems items = SplitObjectFile(f.text, component);
    EXPECT_EQ(items.Payloads, std::vector<std::string>{f.text});
    EXPECT_EQ(items.OtherKinds, 0u);
    EXPECT_EQ(JoinObjectFile(items.Payloads), f.text);
    const ObjectFileItems none = SplitObjectFile(f.text, other);
    EXPECT_TRUE(none.Payloads.empty());
    EXPECT_EQ(none.OtherKinds, 1u);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip, ::testing::ValuesIn(CorpusFiles()),
                         [](const auto& info) { return CorpusTestName(info.param); });

// A calendar of several components, as desktop calendars export it: LF line ends, a
// byte-order mark, names in lower case, the time zone after the first event, a recurring
// event (its UID folded) with an exception, and a task.
const Lines kHead = {"begin:VCALENDAR", "VERSION:2.0", "PRODID:-//Example//Calendar//EN"};
const Lines kWeekly = {
    "BEGIN:VEVENT",      "UID:weekly", " -1", "DTSTART;TZID=Europe/Berlin:20261207T090000",
    "RRULE:FREQ=WEEKLY", "END:VEVENT"};
const Lines kZone = {
    "BEGIN:VTIMEZONE",    "TZID:Europe/Berlin", "BEGIN:STANDARD", "DTSTART:19701025T030000",
    "TZOFFSETFROM:+0200", "TZOFFSETTO:+0100",   "END:STANDARD",   "END:VTIMEZONE"};
const Lines kTask = {"BEGIN:VTODO", "UID:task-1", "SUMMARY:Pay rent", "END:VTODO"};
const Lines kSingle = {"BEGIN:VEVENT", "UID:single-", " 2", "SUMMARY:Dentist", "END:VEVENT"};
const Lines kException = {"BEGIN:VEVENT", "UID:weekly-1",
                          "RECURRENCE-ID;TZID=Europe/Berlin:20261214T090000",
                          "DTSTART;TZID=Europe/Berlin:20261214T100000", "END:VEVENT"};
const Lines kTail = {"end:vcalendar"};

TEST(ObjectFile, CalendarBecomesOneItemPerComponentWithTheSharedBlocks) {
    const std::string calendar = "\xEF\xBB\xBF" + Joined(kHead, "\n") + Joined(kWeekly, "\n") +
                                 Joined(kZone, "\n") + Joined(kTask, "\n") + Joined(kSingle, "\n") +
                                 Joined(kException, "\n") + Joined(kTail, "\n") + "\n";
    const auto item = [](std::initializer_list<Lines> components) {
        std::string text = Joined(kHead);
        for (const Lines& c : components)
            text += Joined(c);
        return text + Joined(kZone) + Joined(kTail);
    };

    const ObjectFileItems events = SplitObjectFile(calendar, "VEVENT");
    EXPECT_EQ(events.OtherKinds, 1u);
    EXPECT_EQ(events.Payloads,
              (std::vector<std::string>{item({kWeekly, kException}), item({kSingle})}));

    const ObjectFileItems tasks = SplitObjectFile(calendar, "VTODO");
    EXPECT_EQ(tasks.OtherKinds, 2u);  // the recurring event counts once
    EXPECT_EQ(tasks.Payloads, std::vector<std::string>{item({kTask})});

    // Joined and split again, the items are the same.
    EXPECT_EQ(SplitObjectFile(JoinObjectFile(events.Payloads), "VEVENT").Payloads, events.Payloads);
}

TEST(ObjectFile, CardsWithNestedCardsAndCutFiles) {
    const std::string first =
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Boss;Anna\r\nAGENT:\r\nBEGIN:VCARD\r\nVERSION:2.1\r\n"
        "N:Helper;Ben\r\nEND:VCARD\r\nEND:VCARD\r\n";
    const std::string second = "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Solo;Cem\r\nEND:VCARD\r\n";
    const ObjectFileItems cards = SplitObjectFile(first + "\r\n" + second, "VCARD");
    EXPECT_EQ(cards.Payloads, (std::vector<std::string>{first, second}));

    // A file cut off inside an object is refused whole, naming where the object begins.
    try {
        (void)SplitObjectFile(second + "BEGIN:VCARD\r\nN:Cut;Off\r\n", "VCARD");
        FAIL() << "a cut file was accepted";
    } catch (const ItemError& e) {
        EXPECT_STREQ(e.what(), "The file ends inside the VCARD object that begins on line 5");
    }
    // Text that holds no object at all gives no items and no failure.
    EXPECT_TRUE(SplitObjectFile("hello\r\n", "VNOTE").Payloads.empty());
}

}  // namespace
}  // namespace orvanta
