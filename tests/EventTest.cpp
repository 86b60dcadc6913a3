#include <gtest/gtest.h>

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

TEST_F(Event, RemindersNeedAnEventToHoldThem) {
    event.Parse("");
    EXPECT_THROW(event.AddReminder(TReminder{}), ItemError);
    EXPECT_EQ(event.ReminderCount(), 0u);
    EXPECT_TRUE(event.Lines.empty());
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
    // The date setters rewrite their line even when nothing changed.
    TSMLEvent same(nullptr);
    same.Parse(VEvent({"DTSTART;TZID=Europe/Berlin:20240710T100000"}));
    same.SetStart(same.Start);
    EXPECT_EQ(same.Lines[same.FindProperty("DTSTART", {})], "DTSTART:20240710T080000Z");
    EXPECT_EQ(same.State, ItemState::Modified);
}

}  // namespace
}  // namespace orvanta
