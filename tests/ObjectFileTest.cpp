#include <gtest/gtest.h>

#include "formats/Failure.h"
#include "formats/ObjectFile.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using test::ReadSample;

// A file of one object is one item whose payload is the file, byte for byte; asked for
// another kind, the file holds none of it.
TEST(ObjectFile, OneObjectFilesComeOutAsTheyWentIn) {
    const struct {
        const char* file;
        const char* component;
        const char* other;
    } cases[] = {
        {"contact-vcard21.vcf", "VCARD", "VEVENT"},
        {"contact-vcard21-latin1.vcf", "VCARD", "VNOTE"},
        {"contact-vcard30.vcf", "VCARD", "VTODO"},
        {"event-ical20-valarm.ics", "VEVENT", "VTODO"},
        {"event-vcal10-allday.vcs", "VEVENT", "VCARD"},
        {"task-vtodo10.vcs", "VTODO", "VEVENT"},
        {"note-vnote11.vnt", "VNOTE", "VCARD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string file = ReadSample(c.file);
        const ObjectFileItems items = SplitObjectFile(file, c.component);
        ASSERT_EQ(items.Payloads.size(), 1u);
        EXPECT_EQ(items.Payloads[0], file);
        EXPECT_EQ(items.OtherKinds, 0u);
        EXPECT_EQ(JoinObjectFile(items.Payloads), file);
        const ObjectFileItems none = SplitObjectFile(file, c.other);
        EXPECT_TRUE(none.Payloads.empty());
        EXPECT_EQ(none.OtherKinds, 1u);
    }
}

// A calendar of several components, as desktop calendars export it: LF line ends, a
// byte-order mark, names in lower case, the time zone after the first event, a recurring
// event with an exception, and a task.
const char* const kCalendar =
    "\xEF\xBB\xBF"
    "begin:VCALENDAR\n"
    "VERSION:2.0\n"
    "PRODID:-//Example//Calendar//EN\n"
    "BEGIN:VEVENT\n"
    "UID:weekly-1\n"
    "DTSTART;TZID=Europe/Berlin:20261207T090000\n"
    "RRULE:FREQ=WEEKLY\n"
    "END:VEVENT\n"
    "BEGIN:VTIMEZONE\n"
    "TZID:Europe/Berlin\n"
    "BEGIN:STANDARD\n"
    "DTSTART:19701025T030000\n"
    "TZOFFSETFROM:+0200\n"
    "TZOFFSETTO:+0100\n"
    "END:STANDARD\n"
    "END:VTIMEZONE\n"
    "BEGIN:VTODO\n"
    "UID:task-1\n"
    "SUMMARY:Pay rent\n"
    "END:VTODO\n"
    "BEGIN:VEVENT\n"
    "UID:single-\n"
    " 2\n"
    "SUMMARY:Dentist\n"
    "END:VEVENT\n"
    "BEGIN:VEVENT\n"
    "UID:weekly-1\n"
    "RECURRENCE-ID;TZID=Europe/Berlin:20261214T090000\n"
    "DTSTART;TZID=Europe/Berlin:20261214T100000\n"
    "END:VEVENT\n"
    "end:vcalendar\n"
    "\n";

TEST(ObjectFile, CalendarBecomesOneItemPerComponentWithTheSharedBlocks) {
    const std::string head =
        "begin:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example//Calendar//EN\r\n";
    const std::string zone =
        "BEGIN:VTIMEZONE\r\nTZID:Europe/Berlin\r\nBEGIN:STANDARD\r\nDTSTART:19701025T030000\r\n"
        "TZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\nEND:STANDARD\r\nEND:VTIMEZONE\r\n";
    const std::string tail = "end:vcalendar\r\n";

    const ObjectFileItems events = SplitObjectFile(kCalendar, "VEVENT");
    ASSERT_EQ(events.Payloads.size(), 2u);
    EXPECT_EQ(events.OtherKinds, 1u);
    EXPECT_EQ(events.Payloads[0],
              head +
                  "BEGIN:VEVENT\r\nUID:weekly-1\r\nDTSTART;TZID=Europe/Berlin:20261207T090000\r\n"
                  "RRULE:FREQ=WEEKLY\r\nEND:VEVENT\r\n"
                  "BEGIN:VEVENT\r\nUID:weekly-1\r\n"
                  "RECURRENCE-ID;TZID=Europe/Berlin:20261214T090000\r\n"
                  "DTSTART;TZID=Europe/Berlin:20261214T100000\r\nEND:VEVENT\r\n" +
                  zone + tail);
    EXPECT_EQ(events.Payloads[1],
              head + "BEGIN:VEVENT\r\nUID:single-\r\n 2\r\nSUMMARY:Dentist\r\nEND:VEVENT\r\n" +
                  zone + tail);

    const ObjectFileItems tasks = SplitObjectFile(kCalendar, "VTODO");
    ASSERT_EQ(tasks.Payloads.size(), 1u);
    EXPECT_EQ(tasks.OtherKinds, 2u);  // the recurring event counts once
    EXPECT_EQ(
        tasks.Payloads[0],
        head + "BEGIN:VTODO\r\nUID:task-1\r\nSUMMARY:Pay rent\r\nEND:VTODO\r\n" + zone + tail);

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
