#include <gtest/gtest.h>

#include <cstdlib>

#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/TimeZoneRule.h"
#include "support/LoadHarness.h"
#include "support/Payloads.h"

namespace orvanta {
namespace {

using test::At;
using test::FailureOf;
using test::kCentralEurope;

constexpr double kMinute = 1.0 / 1440.0;
constexpr double kTolerance = 1e-9;
constexpr const char* kNewYork = "EST5EDT,M3.2.0,M11.1.0";
constexpr const char* kSydney = "AEST-10AEDT,M10.1.0,M4.1.0/3";

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
        {kNewYork, At(2026, 1, 14, 19), "20260115T000000Z", "20260115T000000Z"},
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

TEST(TimeZone, OffsetsByZone) {
    const std::tuple<const char*, int, int> cases[] = {
        {"UTC0", 0, 0},
        {"JST-9", 540, 540},
        {kCentralEurope, 60, 120},
        {kNewYork, -300, -240},
        {kSydney, 660, 600},
        {"<+0330>-3:30", 210, 210},
        {"NZST-12NZDT,M9.5.0,M4.1.0/3", 780, 720},
    };
    for (const auto& [rule, january, july] : cases) {
        ScopedTimeZone zone(rule);
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), january) << rule;
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), july) << rule;
    }
    for (const char* text :
         {"", "UTC", "America/New_York", "CET-1CEST,J60,J300", "X1", "CET-1CEST,M13.1.0,M10.5.0"})
        EXPECT_FALSE(ParsePosixRule(text).has_value()) << text;
}

TEST(TimeZone, TransitionsAtTheirLocalTimes) {
    ScopedTimeZone zone(kCentralEurope);
    // 2024: summer time from 31 March 02:00 to 27 October 03:00.
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 1, 59)), 60);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 2, 0)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 2, 59)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 3, 0)), 60);
    // The fifth weekday of a month is its last.
    EXPECT_EQ(TransitionDate({2, 0, 5, 0, 0, 0, 0}, 2024), EncodeDate(2024, 2, 25));
    EXPECT_NEAR(TransitionDate({3, 0, 5, 2, 30, 0, 0}, 2024), At(2024, 3, 31, 2, 30), kTolerance);
    EXPECT_EQ(TransitionDate({10, 2, 2, 0, 0, 0, 0}, 2026), EncodeDate(2026, 10, 13));

    ScopedTimeZone sydney(kSydney);
    const TDateTime local = At(2024, 12, 24, 18, 45);
    EXPECT_NEAR(LocalToUTC(local), At(2024, 12, 24, 7, 45), kTolerance);
    EXPECT_NEAR(UTCToLocal(LocalToUTC(local)), local, kTolerance);
}

// The platform's rule: the TZ variable holding a rule or a zone name; an unknown name
// is UTC.
TEST(TimeZone, PlatformRuleFromTheTZVariable) {
    const char* tz = std::getenv("TZ");
    const std::optional<std::string> saved = tz ? std::optional<std::string>(tz) : std::nullopt;
    const std::tuple<const char*, int, int> cases[] = {
        {kSydney, 660, 600},         {"JST-9", 540, 540},        {"America/New_York", -300, -240},
        {":Europe/Berlin", 60, 120}, {"Nowhere/Atlantis", 0, 0},
    };
    for (const auto& [value, january, july] : cases) {
        setenv("TZ", value, 1);
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), january) << value;
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), july) << value;
    }
    setenv("TZ", "America/New_York", 1);
    const TimeZoneRule rule = SystemTimeZoneRule();
    EXPECT_EQ(rule.DaylightDate.Month, 3);
    EXPECT_EQ(rule.StandardDate.Month, 11);
    if (saved) {
        setenv("TZ", saved->c_str(), 1);
    } else {
        unsetenv("TZ");
    }
}

}  // namespace
}  // namespace orvanta
