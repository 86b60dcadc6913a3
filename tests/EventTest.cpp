#include <gtest/gtest.h>

#include <algorithm>

#include "engine/Errors.h"
#include "kinds/CalSyncML.h"
#include "formats/TimeZoneRule.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

class Event : public ::testing::Test {
protected:
    ScopedTimeZone zone{kCentralEurope};
    TSMLEvent event{nullptr};
};

TEST_F(Event, AllDayRule) {
    const struct {
        Lines lines;
        bool allDay;
    } cases[] = {
        {{"DTSTART;VALUE=DATE:20240101", "DTEND;VALUE=DATE:20240102"}, true},
        {{"DTSTART;VALUE=DATE:20240101"}, false},
        {{"DTSTART;VALUE=DATE-TIME:20240101T100000Z", "DTEND;VALUE=DATE-TIME:20240101T110000Z"},
         false},
        {{"DTSTART;VALUE=DATE:20240101", "DTEND:20240101T110000Z"}, false},
    };
    for (const auto& c : cases) {
        event.Parse(VEvent(c.lines));
        EXPECT_EQ(event.AllDay, c.allDay) << c.lines.front();
    }
    event.Parse(VEvent(cases[0].lines));
    EXPECT_EQ(event.Start, At(2024, 1, 1));
    EXPECT_EQ(event.End, At(2024, 1, 2));
}

// Without DTEND an event ends after its DURATION, or where it starts; never in 1899.
TEST_F(Event, EndWithoutDTEND) {
    const struct {
        Lines lines;
        TDateTime start, end;
        bool allDay;
    } cases[] = {
        {{"DTSTART:20260715T080000Z", "DURATION:PT1H30M"},
         At(2026, 7, 15, 10),
         At(2026, 7, 15, 11, 30),
         false},
        {{"DURATION:P1DT2H", "DTSTART:20260715T080000Z"},
         At(2026, 7, 15, 10),
         At(2026, 7, 16, 12),
         false},
        {{"DTSTART:20260715T080000Z"}, At(2026, 7, 15, 10), At(2026, 7, 15, 10), false},
        {{"DTSTART;VALUE=DATE:20260715", "DURATION:P2D"}, At(2026, 7, 15), At(2026, 7, 17), true},
        {{"DTSTART;VALUE=DATE:20260715"}, At(2026, 7, 15), At(2026, 7, 15), false},
        {{"DTSTART:20260715T080000Z", "DTEND:20260715T083000Z", "DURATION:PT5H"},
         At(2026, 7, 15, 10),
         At(2026, 7, 15, 10, 30),
         false},
        {{"DTSTART;TZID=Asia/Tokyo:20260715T100000", "DURATION:PT1H"},
         At(2026, 7, 15, 3),
         At(2026, 7, 15, 4),
         false},
    };
    for (const auto& c : cases) {
        event.Parse(VEvent(c.lines));
        EXPECT_NEAR(event.Start, c.start, 1e-9) << c.lines.front();
        EXPECT_NEAR(event.End, c.end, 1e-9) << c.lines.front();
        EXPECT_EQ(event.AllDay, c.allDay) << c.lines.front();
    }
}

// A DURATION gives way to DTEND in its place once a date setter writes the end, so the
// payload never holds both, and the end does not move with a later start.
TEST_F(Event, DTENDTakesThePlaceOfDURATION) {
    for (const bool viaStart : {false, true}) {
        event.Parse(VEvent({"DTSTART:20260715T080000Z", "DURATION:PT1H", "X-KEPT:1"}));
        if (viaStart) {
            event.SetStart(At(2026, 7, 15, 9));
        } else {
            event.SetEnd(At(2026, 7, 15, 12));
        }
        EXPECT_EQ(event.FindProperty("DURATION", {}), -1);
        EXPECT_EQ(event.Lines[4], viaStart ? "DTEND:20260715T090000Z" : "DTEND:20260715T100000Z");
        EXPECT_EQ(event.Lines[5], "X-KEPT:1");
        TSMLEvent reread(nullptr);
        reread.Parse(event.GetText());
        EXPECT_NEAR(reread.End, event.End, 1e-9);
    }
}

TEST_F(Event, FieldsAndTheirDecoding) {
    event.Parse(
        VEvent({"SUMMARY:Team", " meeting", "DTSTART:20240115T083000Z", "LOCATION:Raum 4\\, 2. OG",
                "DESCRIPTION:Zeile eins\\nZeile zwei\\\\", "BEGIN:VALARM", "SUMMARY:not the title",
                "DESCRIPTION:alarm", "TRIGGER:-PT15M", "END:VALARM", "X-UNKNOWN:kept"}));
    EXPECT_EQ(event.Summary, u"Teammeeting");
    EXPECT_EQ(event.Start, At(2024, 1, 15, 9, 30));
    EXPECT_EQ(event.Location, u"Raum 4, 2. OG");
    EXPECT_EQ(event.Description, u"Zeile eins\r\nZeile zwei\\");
    EXPECT_EQ(event.State, ItemState::Unchanged);
    // vCalendar 1.0 text carries no escapes.
    event.Parse(
        VEvent({"LOCATION:a\\, b", "DESCRIPTION;ENCODING=QUOTED-PRINTABLE:one=0Atwo"}, "1.0"));
    EXPECT_EQ(event.Location, u"a\\, b");
    EXPECT_EQ(event.Summary, u"");
    EXPECT_EQ(event.Description, u"one\r\ntwo");
    // Quoted-printable values are never unescaped.
    event.Parse(VEvent({"SUMMARY;ENCODING=QUOTED-PRINTABLE:a\\,b=3B"}));
    EXPECT_EQ(event.Summary, u"a\\,b;");
}

TEST_F(Event, BadDatesEndTheParse) {
    EXPECT_THROW(event.Parse(VEvent({"DTSTART:2024XX15T080000Z"})), ConversionError);
    EXPECT_THROW(event.Parse(VEvent({"BEGIN:VALARM", "TRIGGER;VALUE=DATE-TIME:20241301T000000Z"})),
                 ConversionError);
}

TEST_F(Event, TriggerClassification) {
    const struct {
        const char* trigger;
        ReminderPeriod period;
        int number;
    } cases[] = {
        {"-PT15M", ReminderPeriod::Minutes, 15}, {"-PT90M", ReminderPeriod::Hours, 1},
        {"-P14D", ReminderPeriod::Weeks, 2},     {"-P10D", ReminderPeriod::Days, 10},
        {"-P1W", ReminderPeriod::Weeks, 1},      {"PT15M", ReminderPeriod::Minutes, 15},
        {"-P1DT12H", ReminderPeriod::Days, 1},   {"-PT30S", ReminderPeriod::Minutes, 0},
        {"-PT60M", ReminderPeriod::Hours, 1},    {"-PT24H", ReminderPeriod::Days, 1},
    };
    for (const auto& c : cases) {
        event.Parse(VEvent({"BEGIN:VALARM", "ACTION:AUDIO",
                            std::string("TRIGGER;VALUE=DURATION:") + c.trigger, "END:VALARM"}));
        ASSERT_EQ(event.ReminderCount(), 1u) << c.trigger;
        const TReminder r = event.GetReminder(0);
        EXPECT_EQ(r.Period, c.period) << c.trigger;
        EXPECT_EQ(r.Number, c.number) << c.trigger;
        EXPECT_EQ(r.Method, ReminderMethod::Popup);
    }
    event.Parse(VEvent({"BEGIN:VALARM", "ACTION:EMAIL", "TRIGGER;VALUE=DATE-TIME:20240101T080000Z",
                        "END:VALARM", "BEGIN:VALARM", "END:VALARM"}));
    ASSERT_EQ(event.ReminderCount(), 2u);
    EXPECT_EQ(event.GetReminder(0),
              (TReminder{0, At(2024, 1, 1, 9), ReminderPeriod::ByTime, ReminderMethod::Email}));
    EXPECT_EQ(event.GetReminder(1), TReminder{});  // no TRIGGER: no timing
}

TEST_F(Event, AddReminderToANewEvent) {
    event.AddReminder(TReminder{5, 0, ReminderPeriod::Minutes, ReminderMethod::Popup});
    EXPECT_EQ(event.Lines,
              (Lines{"BEGIN:VCALENDAR", "VERSION:2.0", "CALSCALE:GREGORIAN", "BEGIN:VEVENT",
                     "BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:This is an event reminder",
                     "SUMMARY:Alarm notification", "TRIGGER:-PT5M", "END:VALARM", "END:VEVENT",
                     "END:VCALENDAR"}));
    EXPECT_EQ(event.State, ItemState::New);
    EXPECT_EQ(event.ReminderCount(), 1u);
}

TEST_F(Event, RemindersWrittenReadBack) {
    const TReminder cases[] = {
        {15, 0, ReminderPeriod::Minutes, ReminderMethod::Popup},
        {2, 0, ReminderPeriod::Hours, ReminderMethod::Email},
        {3, 0, ReminderPeriod::Days, ReminderMethod::Popup},
        {2, 0, ReminderPeriod::Weeks, ReminderMethod::Email},
        {0, At(2024, 6, 1, 8, 15), ReminderPeriod::ByTime, ReminderMethod::Popup},
    };
    for (const TReminder& r : cases)
        event.AddReminder(r);
    const std::string text = event.GetText();
    EXPECT_NE(text.find("TRIGGER:-P14D\r\nEND:VALARM"), std::string::npos);
    EXPECT_NE(text.find("TRIGGER;VALUE=DATE-TIME:20240601T061500Z"), std::string::npos);
    TSMLEvent reread(nullptr);
    reread.Parse(text);
    ASSERT_EQ(reread.ReminderCount(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(reread.GetReminder(i), cases[i]);

    // A whole number of a larger unit reads as that unit.
    reread.SetReminder(0, TReminder{60, 0, ReminderPeriod::Minutes, ReminderMethod::Popup});
    TSMLEvent third(nullptr);
    third.Parse(reread.GetText());
    EXPECT_EQ(third.GetReminder(0),
              (TReminder{1, 0, ReminderPeriod::Hours, ReminderMethod::Popup}));
}

TEST_F(Event, DeleteReminderRemovesItsBlockOnly) {
    event.Parse(VEvent({"SUMMARY:x", "BEGIN:VALARM", "ACTION:DISPLAY", "TRIGGER:-PT5M",
                        "END:VALARM", "BEGIN:VALARM", "ACTION:EMAIL", "X-KEEP:me", "TRIGGER:-P1D",
                        "END:VALARM", "LOCATION:y"}));
    event.DeleteReminder(0);
    EXPECT_EQ(event.Lines, (Lines{"BEGIN:VCALENDAR", "VERSION:2.0", "BEGIN:VEVENT", "SUMMARY:x",
                                  "BEGIN:VALARM", "ACTION:EMAIL", "X-KEEP:me", "TRIGGER:-P1D",
                                  "END:VALARM", "LOCATION:y", "END:VEVENT", "END:VCALENDAR"}));
    ASSERT_EQ(event.ReminderCount(), 1u);
    EXPECT_EQ(event.GetReminder(0), (TReminder{1, 0, ReminderPeriod::Days, ReminderMethod::Email}));
    EXPECT_EQ(event.State, ItemState::Modified);
}

// Whatever a server's payload holds, Reminders and its VALARM blocks stay in step: a new
// block goes last in the event's own VEVENT with its record at the same number, the
// payload read again gives the same reminders, and deleting the new one restores it.
TEST_F(Event, ReminderEditsKeepBlocksInStep) {
    struct Case {
        const char* what;
        std::string payload;
        std::size_t reminders;  // read by Parse
        bool addable;
        std::size_t newIndex;  // the new reminder's number
    };
    const Case cases[] = {
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
    const TReminder added{10, 0, ReminderPeriod::Minutes, ReminderMethod::Email};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        event.Parse(c.payload);
        const Lines parsed = event.Lines;
        ASSERT_EQ(event.ReminderCount(), c.reminders);
        if (!c.addable) {
            EXPECT_THROW(event.AddReminder(added), ItemError);
            EXPECT_EQ(event.Lines, parsed);
            EXPECT_EQ(event.ReminderCount(), c.reminders);
            continue;
        }
        event.AddReminder(added);
        ASSERT_EQ(event.ReminderCount(), c.reminders + 1);
        EXPECT_EQ(event.GetReminder(c.newIndex), added);
        TSMLEvent reread(nullptr);
        reread.Parse(event.GetText());
        ASSERT_EQ(reread.ReminderCount(), event.ReminderCount());
        EXPECT_EQ(reread.GetReminder(c.newIndex), added);
        event.DeleteReminder(c.newIndex);
        EXPECT_EQ(event.Lines, parsed);
    }
}

TEST_F(Event, TextSettersWriteOnlyWhatChanged) {
    event.Parse(VEvent({"SUMMARY:Same", "UID:1"}));
    event.SetTitle(u"Same");
    EXPECT_EQ(event.State, ItemState::Unchanged);
    EXPECT_EQ(event.Lines[3], "SUMMARY:Same");
    event.SetDescription(u"a\r\nb");
    EXPECT_EQ(event.Lines[3], "DESCRIPTION;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:a=0Ab");
    EXPECT_EQ(event.State, ItemState::Modified);
}

TEST_F(Event, DateSetters) {
    event.Parse(VEvent({"DTSTART;VALUE=DATE:20240301", "DTEND;VALUE=DATE:20240302"}));
    ASSERT_TRUE(event.AllDay);
    event.SetStart(At(2024, 3, 5, 14, 30));
    EXPECT_EQ(event.Lines[3], "DTSTART;VALUE=DATE:20240305");
    EXPECT_EQ(event.Lines[4], "DTEND;VALUE=DATE:20240306");
    EXPECT_EQ(event.End, At(2024, 3, 6));

    event.SetAllDay(false);
    EXPECT_EQ(event.Lines[3], "DTSTART:20240304T230000Z");
    EXPECT_EQ(event.Lines[4], "DTEND:20240305T230000Z");

    event.SetEnd(At(2024, 3, 1));  // before the start
    EXPECT_EQ(event.End, event.Start);

    TSMLEvent timed(nullptr);
    timed.Parse(VEvent({"DTSTART:20240710T080000Z", "DTEND:20240710T090000Z"}));
    timed.SetAllDay(true);
    EXPECT_EQ(timed.Lines[3], "DTSTART;VALUE=DATE:20240710");
    EXPECT_EQ(timed.Lines[4], "DTEND;VALUE=DATE:20240711");
    // A timed end at UTC midnight keeps its time of day (a bare date is a whole day).
    TSMLEvent utc(nullptr);
    {
        ScopedTimeZone greenwich("UTC0");
        utc.Parse(VEvent({"DTSTART:19980118T230000Z"}));
        utc.SetEnd(At(1998, 1, 20));
        utc.AddReminder(
            TReminder{0, At(1998, 1, 19), ReminderPeriod::ByTime, ReminderMethod::Popup});
    }
    EXPECT_EQ(utc.Lines[utc.FindProperty("DTEND", {})], "DTEND:19980120T000000Z");
    EXPECT_NE(
        std::find(utc.Lines.begin(), utc.Lines.end(), "TRIGGER;VALUE=DATE-TIME:19980119T000000Z"),
        utc.Lines.end());
    // The date setters rewrite their line even when nothing changed.
    TSMLEvent same(nullptr);
    same.Parse(VEvent({"DTSTART;TZID=Europe/Berlin:20240710T100000"}));
    same.SetStart(same.Start);
    EXPECT_EQ(same.Lines[same.FindProperty("DTSTART", {})], "DTSTART:20240710T080000Z");
    EXPECT_EQ(same.State, ItemState::Modified);
}

}  // namespace
}  // namespace orvanta
