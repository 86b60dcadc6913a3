#include <gtest/gtest.h>

#include <algorithm>

#include "formats/Failure.h"
#include "kinds/CalSyncML.h"
#include "formats/TimeZoneRule.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;
using enum ReminderPeriod;
using enum ReminderMethod;

constexpr double kHour = 1.0 / 24;

class Event : public ::testing::Test {
protected:
    ScopedTimeZone zone{kCentralEurope};
    TSMLEvent event{nullptr};

    std::vector<TReminder> Reminders(const TSMLEvent& e) const {
        std::vector<TReminder> all;
        for (std::size_t i = 0; i < e.ReminderCount(); ++i)
            all.push_back(e.GetReminder(i));
        return all;
    }
};

// The span of an event and whether it is a run of whole days: dates at both ends, or a
// start date and a DURATION of whole days. Without DTEND an event ends after its
// DURATION, or where it starts; never in 1899.
TEST_F(Event, SpanAndAllDay) {
    // The lines of a VEVENT, its local start, its length in days, whether it is all-day.
    const std::tuple<Lines, const char*, double, bool> cases[] = {
        {{"DTSTART;VALUE=DATE:20240101", "DTEND;VALUE=DATE:20240102"}, "20240101", 1, true},
        {{"DTSTART;VALUE=DATE:20240101"}, "20240101", 0, false},
        {{"DTSTART;VALUE=DATE-TIME:20240101T100000Z", "DURATION:P1D"}, "20240101T110000", 1, false},
        {{"DTSTART;VALUE=DATE:20240101", "DTEND:20240101T110000Z"}, "20240101", 0.5, false},
        {{"DTSTART:20260715T080000Z", "DURATION:PT1H30M"}, "20260715T100000", 1.5 * kHour, false},
        {{"DURATION:P1DT2H", "DTSTART:20260715T080000Z"}, "20260715T100000", 1 + 2 * kHour, false},
        {{"DTSTART:20260715T080000Z"}, "20260715T100000", 0, false},
        {{"DTSTART;VALUE=DATE:20260715", "DURATION:P2D"}, "20260715", 2, true},
        {{"DTSTART;VALUE=DATE:20260715", "DURATION:PT36H"}, "20260715", 1.5, false},
        {{"DTSTART:20260715T080000Z", "DTEND:20260715T083000Z", "DURATION:PT5H"},
         "20260715T100000",
         0.5 * kHour,
         false},
        {{"DTSTART;TZID=Asia/Tokyo:20260715T100000"}, "20260715T030000", 0, false},
    };
    for (const auto& [lines, start, days, allDay] : cases) {
        SCOPED_TRACE(lines.back());
        event.Parse(VEvent(lines));
        EXPECT_NEAR(event.Start, TextToDateTime(start), 1e-9);
        EXPECT_NEAR(event.End - event.Start, days, 1e-9);
        EXPECT_EQ(event.AllDay, allDay);
    }
}

// A DURATION gives way to DTEND in its place once a date setter writes the end, so the
// payload never holds both, and the end does not move with a later start.
TEST_F(Event, DTENDTakesThePlaceOfDURATION) {
    const std::string payload = VEvent({"DTSTART:20260715T080000Z", "DURATION:PT1H", "X-KEPT:1"});
    event.Parse(payload);
    event.SetEnd(At(2026, 7, 15, 12));
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART:20260715T080000Z", "DTEND:20260715T100000Z", "X-KEPT:1"}));
    event.Parse(payload);
    event.SetStart(At(2026, 7, 15, 9));
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART:20260715T070000Z", "DTEND:20260715T090000Z", "X-KEPT:1"}));
    EXPECT_NEAR(event.End, At(2026, 7, 15, 11), 1e-9);
}

TEST_F(Event, DescriptionAndLocation) {
    event.Parse(VEvent({"LOCATION:Raum 4\\, 2. OG", "DESCRIPTION:Zeile eins\\nZeile zwei\\\\",
                        "BEGIN:VALARM", "DESCRIPTION:alarm", "END:VALARM"}));
    EXPECT_EQ(event.Location, u"Raum 4, 2. OG");
    EXPECT_EQ(event.Description, u"Zeile eins\r\nZeile zwei\\");
    event.Parse(VEvent({"DESCRIPTION;ENCODING=QUOTED-PRINTABLE:one=0Atwo"}, "1.0"));
    EXPECT_EQ(event.Description, u"one\r\ntwo");
    EXPECT_EQ(event.Location, u"");
    event.SetDescription(u"a\r\nb");
    EXPECT_EQ(event.Lines[3], "DESCRIPTION;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=0Ab");
    EXPECT_EQ(event.State, ItemState::Modified);
}

// A VALARM block and the reminder it is: read from a payload, and written for a new
// event where the block is as this program writes it. A trigger that is not a whole
// number of one unit reads as the largest unit it holds at least once.
TEST_F(Event, RemindersAndTheirBlocks) {
    const std::tuple<const char*, std::string, TReminder, bool> cases[] = {
        {"DISPLAY", "TRIGGER:-PT15M", {15, 0, Minutes, Popup}, true},
        {"EMAIL", "TRIGGER:-PT2H", {2, 0, Hours, Email}, true},
        {"DISPLAY", "TRIGGER:-P10D", {10, 0, Days, Popup}, true},
        {"EMAIL", "TRIGGER:-P14D", {2, 0, Weeks, Email}, true},
        {"EMAIL",
         "TRIGGER;VALUE=DATE-TIME:20240601T061500Z",
         {0, At(2024, 6, 1, 8, 15), ByTime, Email},
         true},
        {"AUDIO", "TRIGGER;VALUE=DURATION:-PT90M", {1, 0, Hours, Popup}, false},
        {"AUDIO", "TRIGGER:-P1W", {1, 0, Weeks, Popup}, false},
        {"AUDIO", "TRIGGER:PT15M", {15, 0, Minutes, Popup}, false},
        {"AUDIO", "TRIGGER:-P1DT12H", {1, 0, Days, Popup}, false},
        {"AUDIO", "TRIGGER:-PT30S", {0, 0, Minutes, Popup}, false},
        {"AUDIO", "TRIGGER:-PT60M", {1, 0, Hours, Popup}, false},
        {"AUDIO", "TRIGGER:-PT24H", {1, 0, Days, Popup}, false},
        {"DISPLAY", "X-NO-TRIGGER:1", {}, false},
    };
    for (const auto& [action, trigger, reminder, written] : cases) {
        SCOPED_TRACE(trigger);
        event.Parse(
            VEvent({"BEGIN:VALARM", std::string("ACTION:") + action, trigger, "END:VALARM"}));
        EXPECT_EQ(Reminders(event), std::vector{reminder});
        if (!written) continue;
        TSMLEvent added(nullptr);
        added.AddReminder(reminder);
        EXPECT_EQ(added.Lines,
                  (Lines{"BEGIN:VCALENDAR", "VERSION:2.0", "CALSCALE:GREGORIAN", "BEGIN:VEVENT",
                         "BEGIN:VALARM", std::string("ACTION:") + action,
                         "DESCRIPTION:This is an event reminder", "SUMMARY:Alarm notification",
                         trigger, "END:VALARM", "END:VEVENT", "END:VCALENDAR"}));
        EXPECT_EQ(added.State, ItemState::New);
    }
}

TEST_F(Event, DeleteReminderRemovesItsBlockOnly) {
    event.Parse(VEvent({"SUMMARY:x", "BEGIN:VALARM", "ACTION:DISPLAY", "TRIGGER:-PT5M",
                        "END:VALARM", "BEGIN:VALARM", "ACTION:EMAIL", "X-KEEP:me", "TRIGGER:-P1D",
                        "END:VALARM", "LOCATION:y"}));
    event.DeleteReminder(0);
    EXPECT_EQ(event.GetText(), VEvent({"SUMMARY:x", "BEGIN:VALARM", "ACTION:EMAIL", "X-KEEP:me",
                                       "TRIGGER:-P1D", "END:VALARM", "LOCATION:y"}));
    EXPECT_EQ(Reminders(event), (std::vector{TReminder{1, 0, Days, Email}}));
    EXPECT_EQ(event.State, ItemState::Modified);
}

// Whatever a server's payload holds, Reminders and its VALARM blocks stay in step: a new
// block goes last in the event's own VEVENT with its record at the same number, the
// payload read again gives the same reminders, and deleting the new one restores it.
TEST_F(Event, ReminderEditsKeepBlocksInStep) {
    // What the payload holds, the payload, the reminders Parse reads, whether one can be
    // added, and the new reminder's number.
    const std::tuple<const char*, std::string, std::size_t, bool, std::size_t> cases[] = {
        {"an empty payload", "", 0, false, 0},
        {"no VEVENT at all", "BEGIN:VALARM\rEND:VEVENT", 0, false, 0},
        {"a VALARM inside a VALARM",
         "BEGIN:VEVENT\r\nBEGIN:VALARM\r\nBEGIN:VALARM\r\nEND:VALARM\r\nEND:VEVENT\r\n", 1, true,
         1},
        {"a VALARM never closed", "BEGIN:VEVENT\r\nBEGIN:VALARM\r\nTRIGGER:-PT5M\r\nEND:VEVENT\r\n",
         1, false, 0},
        {"END:VALARM in lower case", "BEGIN:VEVENT\r\nBEGIN:VALARM\r\nend:VALARM\r\nEND:VEVENT", 1,
         true, 1},
        {"a VEVENT never closed", "BEGIN:VEVENT\r\nSUMMARY:x", 0, true, 0},
        {"a VEVENT never closed after a soft line break",
         "BEGIN:VEVENT\r\nNOTE;ENCODING=QUOTED-PRINTABLE:a=", 0, false, 0},
        {"a second VEVENT with its own VALARM",
         VEvent({"BEGIN:VALARM", "TRIGGER:-PT5M", "END:VALARM", "END:VEVENT", "BEGIN:VEVENT",
                 "BEGIN:VALARM", "TRIGGER:-PT1H", "END:VALARM"}),
         2, true, 1},
    };
    const TReminder added{10, 0, Minutes, Email};
    for (const auto& [what, payload, reminders, addable, newIndex] : cases) {
        SCOPED_TRACE(what);
        event.Parse(payload);
        const ItemLines parsed = event.Lines;
        const std::vector<TReminder> before = Reminders(event);
        ASSERT_EQ(before.size(), reminders);
        if (!addable) {
            EXPECT_THROW(event.AddReminder(added), ItemError);
            EXPECT_EQ(event.Lines, parsed);
            EXPECT_EQ(Reminders(event), before);
            continue;
        }
        event.AddReminder(added);
        ASSERT_EQ(event.ReminderCount(), reminders + 1);
        EXPECT_EQ(event.GetReminder(newIndex), added);
        TSMLEvent reread(nullptr);
        reread.Parse(event.GetText());
        EXPECT_EQ(Reminders(reread), Reminders(event));
        event.DeleteReminder(newIndex);
        EXPECT_EQ(event.Lines, parsed);
        EXPECT_EQ(Reminders(event), before);
    }
}

TEST_F(Event, DateSetters) {
    event.Parse(VEvent({"DTSTART;VALUE=DATE:20240301", "DTEND;VALUE=DATE:20240302"}));
    event.SetStart(At(2024, 3, 5, 14, 30));
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART;VALUE=DATE:20240305", "DTEND;VALUE=DATE:20240306"}));
    EXPECT_EQ(event.End, At(2024, 3, 6));
    event.SetAllDay(false);
    EXPECT_EQ(event.GetText(), VEvent({"DTSTART:20240304T230000Z", "DTEND:20240305T230000Z"}));
    event.SetEnd(At(2024, 3, 1));  // before the start
    EXPECT_EQ(event.End, event.Start);

    event.Parse(VEvent({"DTSTART:20240710T080000Z", "DTEND:20240710T090000Z"}));
    event.SetAllDay(true);
    EXPECT_EQ(event.GetText(),
              VEvent({"DTSTART;VALUE=DATE:20240710", "DTEND;VALUE=DATE:20240711"}));
    // The date setters rewrite their line even when nothing changed.
    event.Parse(VEvent({"DTSTART;TZID=Europe/Berlin:20240710T100000"}));
    event.SetStart(event.Start);
    EXPECT_EQ(event.GetText(), VEvent({"DTSTART:20240710T080000Z"}));
    EXPECT_EQ(event.State, ItemState::Modified);
    // A timed end at UTC midnight keeps its time of day (a bare date is a whole day).
    ScopedTimeZone greenwich("UTC0");
    event.Parse(VEvent({"DTSTART:19980118T230000Z"}));
    event.SetEnd(At(1998, 1, 20));
    event.AddReminder(TReminder{0, At(1998, 1, 19), ByTime, Popup});
    EXPECT_EQ(event.Lines[event.FindProperty("DTEND", {})], "DTEND:19980120T000000Z");
    EXPECT_EQ(event.Lines[event.Lines.size() - 4], "TRIGGER;VALUE=DATE-TIME:19980119T000000Z");
}

}  // namespace
}  // namespace orvanta
