#include <gtest/gtest.h>

#include <cstdlib>

#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/PayloadZones.h"
#include "formats/SyncMLItem.h"
#include "formats/TimeZoneRule.h"
#include "support/LoadHarness.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using test::At;
using test::FailureOf;
using test::kCentralEurope;
using test::Lines;

constexpr double kMinute = 1.0 / 1440.0;
constexpr double kTolerance = 1e-9;
constexpr const char* kNewYorkRule = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kSydneyRule = "AEST-10AEDT,M10.1.0,M4.1.0/3";

TEST(DateTimeWriters, Durations) {
    const std::pair<double, const char*> cases[] = {
        {-15 * kMinute, "-PT15M"},
        {1, "P1D"},
        {7, "P1W"},
        {8, "P1W1D"},
        {90 * kMinute, "PT1H30M"},
        {0, "P"},
        {-1, "-P1D"},
        {364, "P52W"},
        {1.5 / 24 / 60, "PT1M30S"},
        {2 + 3.0 / 24, "P2DT3H"},
        {-(15 * kMinute - 1e-10), "-PT15M"},
    };
    for (const auto& [days, text] : cases)
        EXPECT_EQ(DurationToText(days), text) << days;
}

// Moments are written in UTC and read back as the same local time. The moments of
// timed items always carry their time of day; DateTimeToText writes a bare date for a
// moment at midnight both locally and in UTC, and a duration under 365 days.
TEST(DateTimeWriters, MomentsInUTC) {
    const std::tuple<const char*, TDateTime, const char*, const char*> cases[] = {
        {"UTC0", At(1998, 1, 20), "19980120T000000Z", "19980120"},
        {"UTC0", At(2024, 1, 15, 8, 30), "20240115T083000Z", "20240115T083000Z"},
        {kCentralEurope, At(1998, 1, 20, 1), "19980120T000000Z", "19980120T000000Z"},
        {kCentralEurope, At(2024, 1, 15), "20240114T230000Z", "20240114T230000Z"},
        {kCentralEurope, At(2026, 7, 15, 2), "20260715T000000Z", "20260715T000000Z"},
        {kCentralEurope, At(2026, 7, 15, 10, 30), "20260715T083000Z", "20260715T083000Z"},
        {kNewYorkRule, At(2026, 1, 14, 19), "20260115T000000Z", "20260115T000000Z"},
    };
    for (const auto& [rule, local, moment, text] : cases) {
        SCOPED_TRACE(moment);
        ScopedTimeZone zone(rule);
        EXPECT_EQ(MomentToText(local), moment);
        EXPECT_EQ(DateTimeToText(local), text);
        EXPECT_NEAR(TextToDateTime(moment), local, kTolerance);
    }
    EXPECT_EQ(DateTimeToText(300), "P42W6D");
    EXPECT_EQ(DateToText(0), "18991230");
    EXPECT_EQ(DateToText(At(2024, 1, 15, 23, 59, 59)), "20240115");
    EXPECT_EQ(DateToText(At(1, 1, 1)), "00010101");
}

// Floating times, dates and durations; UTC is read as local time.
TEST(DateTimeReaders, MomentsDatesAndDurations) {
    ScopedTimeZone zone(kCentralEurope);
    const std::pair<const char*, TDateTime> cases[] = {
        {"20240115T083000Z", At(2024, 1, 15, 9, 30)},
        {"2024-01-15", At(2024, 1, 15)},
        {"2024-01-15T08:30:00Z", At(2024, 1, 15, 9, 30)},
        {"083000000000", EncodeTime(8, 30, 0)},
        {"", 0},
        {"12345", 0},  // a time text shorter than six characters
        {"-P15M", -15 * kMinute},
        {"-P0DT0H15M0S", -15 * kMinute},
        {"P1Y", 0},
        {"PT1.5H", 5.0 / 24},
        {"P2D12", 2},
        {"PT30S", 30.0 / 86400},
    };
    for (const auto& [text, value] : cases)
        EXPECT_NEAR(TextToDateTime(text), value, kTolerance) << text;
    for (const char* text : {"19700131", "1970-01-31", "1970-01-31T00:00:00Z"})
        EXPECT_EQ(ParseDateText(text), EncodeDate(1970, 1, 31)) << text;
    EXPECT_EQ(ParseDateText(" \t"), 0);
}

// The message names the first part that is wrong, in reading order: year, month, day,
// then the time.
TEST(DateTimeReaders, FailuresCarryTheUsersMessage) {
    const std::pair<const char*, const char*> cases[] = {
        {"20241315", "Invalid argument to date encode"},
        {"20230230", "Invalid argument to date encode"},
        {"20240115T250000", "Invalid argument to time encode"},
        {"20240115T086000", "Invalid argument to time encode"},
        {"PTH", "'' is not a valid integer value"},
        {"2024-01-", "'' is not a valid integer value"},
        {"ABCDEFGH", "'ABCD' is not a valid integer value"},
        {"2024XXYY", "'XX' is not a valid integer value"},
        {"2024XX15TAB0000", "'XX' is not a valid integer value"},
        {"20240115TABCD00", "'AB' is not a valid integer value"},
        {"20240115T08CDEF", "'CD' is not a valid integer value"},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(FailureOf<ConversionError>([&] { (void)TextToDateTime(text); }), message) << text;
    }
    EXPECT_THROW((void)ParseDateText("1970-1"), ConversionError);
}

TEST(TimeZone, TransitionsAtTheirLocalTimes) {
    ScopedTimeZone zone(kCentralEurope);
    // 2024: summer time from 31 March 02:00 to 27 October 03:00.
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 1, 59)), 60);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 2, 0)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 2, 59)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 3, 0)), 60);
    // The fifth weekday of a month is its last (October 2024 has four Sundays).
    EXPECT_NEAR(TransitionDate({3, 0, 5, 2, 30, 0, 0}, 2024), At(2024, 3, 31, 2, 30), kTolerance);
    EXPECT_EQ(TransitionDate({10, 2, 2, 0, 0, 0, 0}, 2026), EncodeDate(2026, 10, 13));

    ScopedTimeZone sydney(kSydneyRule);
    const TDateTime local = At(2024, 12, 24, 18, 45);
    EXPECT_NEAR(LocalToUTC(local), At(2024, 12, 24, 7, 45), kTolerance);
    EXPECT_NEAR(UTCToLocal(LocalToUTC(local)), local, kTolerance);
}

// The platform's rule: the TZ variable holding a rule or a zone name; an unknown name
// is UTC.
TEST(TimeZone, OffsetsByTheTZVariable) {
    const char* tz = std::getenv("TZ");
    const std::optional<std::string> saved = tz ? std::optional<std::string>(tz) : std::nullopt;
    const std::tuple<const char*, int, int> cases[] = {
        {"UTC0", 0, 0},
        {"JST-9", 540, 540},
        {kCentralEurope, 60, 120},
        {kNewYorkRule, -300, -240},
        {kSydneyRule, 660, 600},
        {"<+0330>-3:30", 210, 210},
        {"NZST-12NZDT,M9.5.0,M4.1.0/3", 780, 720},
        {"America/New_York", -300, -240},
        {"Nowhere/Atlantis", 0, 0},
        {":Europe/Berlin", 60, 120},
    };
    for (const auto& [value, january, july] : cases) {
        setenv("TZ", value, 1);
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), january) << value;
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), july) << value;
    }
    const TimeZoneRule rule = SystemTimeZoneRule();  // Berlin's zone file
    EXPECT_EQ(rule.DaylightDate.Month, 3);
    EXPECT_EQ(rule.StandardDate.Month, 10);
    if (saved) {
        setenv("TZ", saved->c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    for (const char* text :
         {"", "UTC", "America/New_York", "CET-1CEST,J60,J300", "X1", "CET-1CEST,M13.1.0,M10.5.0"})
        EXPECT_FALSE(ParsePosixRule(text).has_value()) << text;
}

// One observance of a VTIMEZONE block: STANDARD or DAYLIGHT, its first onset, its
// yearly rule (none when empty), its offsets and, where given, its name.
struct Observance {
    const char *kind, *start, *rule, *from, *to, *name = nullptr;
};

Lines VTimeZone(const std::string& tzid, std::initializer_list<Observance> observances) {
    Lines lines{"BEGIN:VTIMEZONE", "TZID:" + tzid};
    for (const Observance& o : observances) {
        lines.push_back(std::string("BEGIN:") + o.kind);
        lines.push_back(std::string("DTSTART:") + o.start);
        if (*o.rule) lines.push_back(std::string("RRULE:FREQ=YEARLY;") + o.rule);
        lines.push_back(std::string("TZOFFSETFROM:") + o.from);
        lines.push_back(std::string("TZOFFSETTO:") + o.to);
        if (o.name) lines.push_back(std::string("TZNAME:") + o.name);
        lines.push_back(std::string("END:") + o.kind);
    }
    lines.push_back("END:VTIMEZONE");
    return lines;
}

// VTIMEZONE blocks in the shapes calendar programs and servers write them.
const Lines kVienna = VTimeZone(
    "Vienna", {{"STANDARD", "19701025T030000", "BYDAY=-1SU;BYMONTH=10", "+0200", "+0100", "CET"},
               {"DAYLIGHT", "19700329T020000", "BYDAY=-1SU;BYMONTH=3", "+0100", "+0200", "CEST"}});
const Lines kTokyo =
    VTimeZone("Tokyo", {{"STANDARD", "19510908T010000", "", "+1000", "+0900"},
                        {"DAYLIGHT", "19500506T000000",
                         "UNTIL=19510505T150000Z;BYDAY=1SA;BYMONTH=5", "+0900", "+1000"}});
// Daylight time across the turn of the year, and the older BYMONTHDAY form of a rule.
const Lines kSydney =
    VTimeZone("\"Australia/Sydney\"",
              {{"STANDARD", "20080406T030000", "BYMONTH=4;BYDAY=SU;BYMONTHDAY=1,2,3,4,5,6,7",
                "+1100", "+1000"},
               {"DAYLIGHT", "20081005T020000", "BYMONTH=10;BYDAY=1SU", "+1000", "+1100"}});
// US Eastern with an older rule that has ended before the current one.
const Lines kNewYork = VTimeZone(
    "US-Eastern", {{"STANDARD", "19671029T020000", "BYDAY=-1SU;BYMONTH=10;UNTIL=20061029T060000Z",
                    "-0400", "-0500"},
                   {"STANDARD", "20071104T020000", "BYDAY=1SU;BYMONTH=11", "-0400", "-0500"},
                   {"DAYLIGHT", "19870405T020000", "BYDAY=1SU;BYMONTH=4;UNTIL=20060402T070000Z",
                    "-0500", "-0400"},
                   {"DAYLIGHT", "20070311T020000", "BYDAY=2SU;BYMONTH=3", "-0500", "-0400"}});

// Wall time in a zone and the UTC moment it is, either side of each transition.
TEST(VTimeZone, YearlyRulesGiveTheOffsetsInForce) {
    const std::tuple<const Lines*, TDateTime, TDateTime> cases[] = {
        {&kVienna, At(2026, 7, 15, 10), At(2026, 7, 15, 8)},
        {&kVienna, At(2026, 1, 15, 10), At(2026, 1, 15, 9)},
        {&kVienna, At(2026, 3, 29, 1, 59), At(2026, 3, 29, 0, 59)},
        {&kVienna, At(2026, 3, 29, 3), At(2026, 3, 29, 1)},
        {&kVienna, At(2026, 10, 25, 3, 0), At(2026, 10, 25, 2)},
        {&kTokyo, At(2026, 7, 15, 10), At(2026, 7, 15, 1)},
        {&kTokyo, At(2026, 1, 15, 0, 30), At(2026, 1, 14, 15, 30)},
        {&kSydney, At(2026, 1, 15, 10), At(2026, 1, 14, 23)},
        {&kSydney, At(2026, 7, 15, 10), At(2026, 7, 15, 0)},
        {&kSydney, At(2026, 10, 4, 3), At(2026, 10, 3, 16)},
        {&kSydney, At(2026, 4, 5, 12), At(2026, 4, 5, 2)},
        {&kNewYork, At(2026, 3, 7, 12), At(2026, 3, 7, 17)},
        {&kNewYork, At(2026, 3, 8, 12), At(2026, 3, 8, 16)},
        {&kNewYork, At(2026, 11, 1, 12), At(2026, 11, 1, 17)},
    };
    for (const auto& [zone, wall, utc] : cases) {
        const auto rule = ReadVTimeZone(ItemLines(*zone), 0, zone->size() - 1);
        ASSERT_TRUE(rule.has_value());
        EXPECT_NEAR(ZoneToUTC(*rule, wall), utc, kTolerance)
            << zone->at(1) << " " << DateToText(wall) << " " << DecodeDateTime(wall).Hour;
    }
    // Rules of other shapes are not guessed.
    Lines monthly = kVienna, secondLast = kVienna;
    monthly[4] = "RRULE:FREQ=MONTHLY;BYDAY=-1SU";
    secondLast[4] = "RRULE:FREQ=YEARLY;BYDAY=-2SU;BYMONTH=10";
    for (const Lines& zone : {monthly, secondLast, {"BEGIN:VTIMEZONE", "TZID:x", "END:VTIMEZONE"}})
        EXPECT_FALSE(ReadVTimeZone(ItemLines(zone), 0, zone.size() - 1))
            << ::testing::PrintToString(zone);
}

TEST(VTimeZone, TzidParameter) {
    for (const auto& [line, tzid] :
         {std::pair{"DTSTART;TZID=Europe/Vienna:20260715T100000", "Europe/Vienna"},
          {"DTSTART;VALUE=DATE-TIME;tzid=\"Eastern; US\":20260715T100000", "Eastern; US"},
          {"DTSTART:20260715T100000", ""},
          {"DTSTART;X-TZID=a:20260715T100000", ""}})
        EXPECT_EQ(TzidOf(line), tzid) << line;
}

// What a client in Berlin reads from a payload: every value is the true moment.
TEST(PayloadZones, EveryValueIsTheTrueMoment) {
    ScopedTimeZone berlin(kCentralEurope);
    Lines payload = {"BEGIN:VCALENDAR", "VERSION:2.0"};
    for (const Lines* zone : {&kVienna, &kTokyo, &kSydney}) {
        payload.insert(payload.end(), zone->begin(), zone->end());
    }
    // The payload's own definition wins over the zone database of the same name.
    const Lines fake =
        VTimeZone("Asia/Tokyo", {{"STANDARD", "19700101T000000", "", "+0100", "+0100"}});
    payload.insert(payload.end(), fake.begin(), fake.end());
    payload.insert(payload.end(), {"BEGIN:VEVENT", "END:VEVENT", "END:VCALENDAR"});
    const ItemLines lines(payload);
    PayloadZones zones(lines);
    const std::pair<const char*, TDateTime> cases[] = {
        {"DTSTART;TZID=Vienna:20260715T100000", At(2026, 7, 15, 10)},
        {"DTSTART;TZID=Tokyo:20260715T100000", At(2026, 7, 15, 3)},
        {"DTSTART;TZID=\"Australia/Sydney\":20260115T100000", At(2026, 1, 15, 0)},
        {"DTSTART;TZID=Asia/Tokyo:20260715T100000", At(2026, 7, 15, 11)},
        // Not in the payload: the zone database by name.
        {"DTSTART;TZID=America/New_York:20260715T100000", At(2026, 7, 15, 16)},
        {"DUE;TZID=Asia/Kolkata:20260115T100000", At(2026, 1, 15, 5, 30)},
        // Unknown anywhere, or a path: floating.
        {"DTSTART;TZID=Mars/Olympus:20260715T100000", At(2026, 7, 15, 10)},
        {"DTSTART;TZID=../../etc/localtime:20260715T100000", At(2026, 7, 15, 10)},
        {"DTSTART:20260715T013000Z", At(2026, 7, 15, 3, 30)},
        {"DTSTART;TZID=Tokyo:20260715T013000Z", At(2026, 7, 15, 3, 30)},
        {"DTSTART:20260715T100000", At(2026, 7, 15, 10)},
        {"DTSTART;VALUE=DATE;TZID=Tokyo:20260715", At(2026, 7, 15)},
        {"DTSTART:", 0},
    };
    for (const auto& [line, local] : cases)
        EXPECT_NEAR(zones.Read(line), local, kTolerance) << line;
}

}  // namespace
}  // namespace orvanta
