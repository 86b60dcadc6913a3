#include <gtest/gtest.h>

#include "formats/PayloadZones.h"
#include "formats/SyncMLItem.h"
#include "formats/TimeZoneRule.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using namespace test;

constexpr double kTolerance = 1e-9;

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
        const auto rule = ReadVTimeZone(*zone, 0, zone->size() - 1);
        ASSERT_TRUE(rule.has_value());
        EXPECT_NEAR(ZoneToUTC(*rule, wall), utc, kTolerance)
            << zone->at(1) << " " << DateToText(wall) << " " << DecodeDateTime(wall).Hour;
    }
    // Rules of other shapes are not guessed.
    Lines monthly = kVienna, secondLast = kVienna;
    monthly[4] = "RRULE:FREQ=MONTHLY;BYDAY=-1SU";
    secondLast[4] = "RRULE:FREQ=YEARLY;BYDAY=-2SU;BYMONTH=10";
    for (const Lines& zone : {monthly, secondLast, {"BEGIN:VTIMEZONE", "TZID:x", "END:VTIMEZONE"}})
        EXPECT_FALSE(ReadVTimeZone(zone, 0, zone.size() - 1)) << ::testing::PrintToString(zone);
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
    PayloadZones zones(payload);
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
