#include <gtest/gtest.h>

#include "formats/PayloadZones.h"
#include "formats/SyncMLItem.h"
#include "formats/TimeZoneRule.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

constexpr double kTolerance = 1e-9;

// VTIMEZONE blocks in the shapes calendar programs and servers write them.
const Lines kVienna = {"BEGIN:VTIMEZONE",
                       "TZID:Vienna",
                       "BEGIN:STANDARD",
                       "DTSTART:19701025T030000",
                       "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10",
                       "TZOFFSETFROM:+0200",
                       "TZOFFSETTO:+0100",
                       "TZNAME:CET",
                       "END:STANDARD",
                       "BEGIN:DAYLIGHT",
                       "DTSTART:19700329T020000",
                       "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3",
                       "TZOFFSETFROM:+0100",
                       "TZOFFSETTO:+0200",
                       "TZNAME:CEST",
                       "END:DAYLIGHT",
                       "END:VTIMEZONE"};
const Lines kTokyo = {"BEGIN:VTIMEZONE",
                      "TZID:Tokyo",
                      "BEGIN:STANDARD",
                      "DTSTART:19510908T010000",
                      "TZOFFSETFROM:+1000",
                      "TZOFFSETTO:+0900",
                      "END:STANDARD",
                      "BEGIN:DAYLIGHT",
                      "DTSTART:19500506T000000",
                      "RRULE:FREQ=YEARLY;UNTIL=19510505T150000Z;BYDAY=1SA;BYMONTH=5",
                      "TZOFFSETFROM:+0900",
                      "TZOFFSETTO:+1000",
                      "END:DAYLIGHT",
                      "END:VTIMEZONE"};
// Daylight time across the turn of the year, and the older BYMONTHDAY form of a rule.
const Lines kSydney = {"BEGIN:VTIMEZONE",
                       "TZID:\"Australia/Sydney\"",
                       "BEGIN:STANDARD",
                       "DTSTART:20080406T030000",
                       "RRULE:FREQ=YEARLY;BYMONTH=4;BYDAY=SU;BYMONTHDAY=1,2,3,4,5,6,7",
                       "TZOFFSETFROM:+1100",
                       "TZOFFSETTO:+1000",
                       "END:STANDARD",
                       "BEGIN:DAYLIGHT",
                       "DTSTART:20081005T020000",
                       "RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=1SU",
                       "TZOFFSETFROM:+1000",
                       "TZOFFSETTO:+1100",
                       "END:DAYLIGHT",
                       "END:VTIMEZONE"};
// US Eastern with an older rule that has ended before the current one.
const Lines kNewYork = {"BEGIN:VTIMEZONE",
                        "TZID:US-Eastern",
                        "BEGIN:STANDARD",
                        "DTSTART:19671029T020000",
                        "RRULE:FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10;UNTIL=20061029T060000Z",
                        "TZOFFSETFROM:-0400",
                        "TZOFFSETTO:-0500",
                        "END:STANDARD",
                        "BEGIN:STANDARD",
                        "DTSTART:20071104T020000",
                        "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=11",
                        "TZOFFSETFROM:-0400",
                        "TZOFFSETTO:-0500",
                        "END:STANDARD",
                        "BEGIN:DAYLIGHT",
                        "DTSTART:19870405T020000",
                        "RRULE:FREQ=YEARLY;BYDAY=1SU;BYMONTH=4;UNTIL=20060402T070000Z",
                        "TZOFFSETFROM:-0500",
                        "TZOFFSETTO:-0400",
                        "END:DAYLIGHT",
                        "BEGIN:DAYLIGHT",
                        "DTSTART:20070311T020000",
                        "RRULE:FREQ=YEARLY;BYDAY=2SU;BYMONTH=3",
                        "TZOFFSETFROM:-0500",
                        "TZOFFSETTO:-0400",
                        "END:DAYLIGHT",
                        "END:VTIMEZONE"};

TimeZoneRule RuleOf(const Lines& block) {
    const auto rule = ReadVTimeZone(block, 0, block.size() - 1);
    EXPECT_TRUE(rule.has_value());
    return rule.value_or(TimeZoneRule{});
}

// Wall time in a zone and the UTC moment it is, either side of each transition.
TEST(VTimeZone, YearlyRulesGiveTheOffsetsInForce) {
    const struct {
        const Lines* zone;
        TDateTime wall;
        TDateTime utc;
    } cases[] = {
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
        {&kNewYork, At(2026, 3, 7, 12), At(2026, 3, 7, 17)},
        {&kNewYork, At(2026, 3, 8, 12), At(2026, 3, 8, 16)},
        {&kNewYork, At(2026, 11, 1, 12), At(2026, 11, 1, 17)},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(ZoneToUTC(RuleOf(*c.zone), c.wall), c.utc, kTolerance)
            << c.zone->at(1) << " " << DateToText(c.wall) << " " << DecodeDateTime(c.wall).Hour;
    }
}

TEST(VTimeZone, RulesOfOtherShapesAreNotGuessed) {
    Lines monthly = kVienna;
    monthly[4] = "RRULE:FREQ=MONTHLY;BYDAY=-1SU";
    EXPECT_FALSE(ReadVTimeZone(monthly, 0, monthly.size() - 1));
    Lines secondLast = kVienna;
    secondLast[4] = "RRULE:FREQ=YEARLY;BYDAY=-2SU;BYMONTH=10";
    EXPECT_FALSE(ReadVTimeZone(secondLast, 0, secondLast.size() - 1));
    const Lines noStandard = {"BEGIN:VTIMEZONE", "TZID:x", "END:VTIMEZONE"};
    EXPECT_FALSE(ReadVTimeZone(noStandard, 0, 2));
}

TEST(VTimeZone, TzidParameter) {
    EXPECT_EQ(TzidOf("DTSTART;TZID=Europe/Vienna:20260715T100000"), "Europe/Vienna");
    EXPECT_EQ(TzidOf("DTSTART;VALUE=DATE-TIME;tzid=\"Eastern; US\":20260715T100000"),
              "Eastern; US");
    EXPECT_EQ(TzidOf("DTSTART:20260715T100000"), "");
    EXPECT_EQ(TzidOf("DTSTART;X-TZID=a:20260715T100000"), "");
}

// What a client in Berlin reads from a payload: every value is the true moment.
TEST(PayloadZones, EveryValueIsTheTrueMoment) {
    ScopedTimeZone berlin(kCentralEurope);
    Lines payload = {"BEGIN:VCALENDAR", "VERSION:2.0"};
    for (const Lines* zone : {&kVienna, &kTokyo, &kSydney}) {
        payload.insert(payload.end(), zone->begin(), zone->end());
    }
    // The payload's own definition wins over the zone database of the same name.
    payload.insert(payload.end(), {"BEGIN:VTIMEZONE", "TZID:Asia/Tokyo", "BEGIN:STANDARD",
                                   "DTSTART:19700101T000000", "TZOFFSETFROM:+0100",
                                   "TZOFFSETTO:+0100", "END:STANDARD", "END:VTIMEZONE",
                                   "BEGIN:VEVENT", "END:VEVENT", "END:VCALENDAR"});
    PayloadZones zones(payload);
    const struct {
        const char* line;
        TDateTime local;
    } cases[] = {
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
    for (const auto& c : cases) {
        EXPECT_NEAR(zones.Read(c.line), c.local, kTolerance) << c.line;
    }
}

}  // namespace
}  // namespace orvanta
