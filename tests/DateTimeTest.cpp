#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/Errors.h"
#include "formats/DateTime.h"
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

TEST(DateTimeWriters, DurationTexts) {
    const struct {
        double days;
        const char* text;
    } cases[] = {
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
    for (const auto& c : cases) {
        EXPECT_EQ(DurationToText(c.days), c.text) << c.days;
    }
}

TEST(DateTimeWriters, DateToTextDropsTheTimeOfDay) {
    EXPECT_EQ(DateToText(0), "18991230");
    EXPECT_EQ(DateToText(At(2024, 1, 15, 23, 59, 59)), "20240115");
    EXPECT_EQ(DateToText(At(1, 1, 1)), "00010101");
}

TEST(DateTimeWriters, DateTimeToTextWritesUTC) {
    ScopedTimeZone zone(kCentralEurope);
    EXPECT_EQ(DateTimeToText(At(2024, 1, 15, 9, 30)), "20240115T083000Z");
    EXPECT_EQ(DateTimeToText(At(2024, 7, 15, 9, 30)), "20240715T073000Z");
    // Local midnight away from Greenwich is written with its UTC time.
    EXPECT_EQ(DateTimeToText(At(2024, 1, 15)), "20240114T230000Z");
    // 01:00 local is 00:00 UTC; written with its time so it reads back as 01:00.
    EXPECT_EQ(DateTimeToText(At(2024, 1, 15, 1)), "20240115T000000Z");
    EXPECT_NEAR(TextToDateTime(DateTimeToText(At(2024, 1, 15, 1))), At(2024, 1, 15, 1), kTolerance);
    // Under 365 days from day 0 it is a duration.
    EXPECT_EQ(DateTimeToText(300), "P42W6D");
}

// The moments of timed items always carry their time of day, also at UTC midnight.
TEST(DateTimeWriters, MomentsKeepTheirTimeOfDay) {
    const struct {
        const char* zone;
        TDateTime local;
        const char* text;
    } cases[] = {
        {"UTC0", At(1998, 1, 20), "19980120T000000Z"},
        {kCentralEurope, At(1998, 1, 20, 1), "19980120T000000Z"},
        {kCentralEurope, At(2026, 7, 15, 2), "20260715T000000Z"},
        {kCentralEurope, At(2026, 7, 15, 10, 30), "20260715T083000Z"},
        {"EST5EDT,M3.2.0,M11.1.0", At(2026, 1, 14, 19), "20260115T000000Z"},
    };
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(MomentToText(c.local), c.text) << c.zone;
        EXPECT_NEAR(TextToDateTime(c.text), c.local, kTolerance) << c.zone;
    }
}

TEST(DateTimeWriters, MidnightInUTCIsABareDate) {
    ScopedTimeZone zone("UTC0");
    EXPECT_EQ(DateTimeToText(At(2024, 1, 15)), "20240115");
    EXPECT_EQ(DateTimeToText(At(2024, 1, 15, 8, 30)), "20240115T083000Z");
}

TEST(DateTimeReaders, MomentsAndDates) {
    ScopedTimeZone zone(kCentralEurope);
    const struct {
        const char* text;
        TDateTime value;
    } cases[] = {
        {"20240115T083000Z", At(2024, 1, 15, 9, 30)},
        {"20240115T083000", At(2024, 1, 15, 8, 30)},
        {"20240115", At(2024, 1, 15)},
        {"2024-01-15", At(2024, 1, 15)},
        {"2024-01-15T08:30:00Z", At(2024, 1, 15, 9, 30)},
        {"20240715T083000Z", At(2024, 7, 15, 10, 30)},
        {"083000000000", EncodeTime(8, 30, 0)},
        {"", 0},
        {"12345", 0},  // a time text shorter than six characters
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(TextToDateTime(c.text), c.value, kTolerance) << c.text;
    }
}

TEST(DateTimeReaders, Durations) {
    const struct {
        const char* text;
        double days;
    } cases[] = {
        {"-PT15M", -15 * kMinute},
        {"-P15M", -15 * kMinute},
        {"-P0DT0H15M0S", -15 * kMinute},
        {"P1W", 7},
        {"PT1H30M", 1.5 / 24},
        {"P1Y", 0},
        {"PT1.5H", 5.0 / 24},
        {"P2D12", 2},
        {"PT30S", 30.0 / 86400},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(TextToDateTime(c.text), c.days, kTolerance) << c.text;
    }
}

TEST(DateTimeReaders, BirthdayTexts) {
    EXPECT_EQ(ParseDateText(""), 0);
    EXPECT_EQ(ParseDateText(" \t"), 0);
    EXPECT_EQ(ParseDateText("19700131"), EncodeDate(1970, 1, 31));
    EXPECT_EQ(ParseDateText("1970-01-31"), EncodeDate(1970, 1, 31));
    EXPECT_EQ(ParseDateText("1970-01-31T00:00:00Z"), EncodeDate(1970, 1, 31));
}

TEST(DateTimeReaders, FailuresCarryTheUsersMessage) {
    const struct {
        const char* text;
        const char* message;
    } cases[] = {
        {"2024AB15", "'AB' is not a valid integer value"},
        {"20241315", "Invalid argument to date encode"},
        {"20230230", "Invalid argument to date encode"},
        {"20240115T250000", "Invalid argument to time encode"},
        {"20240115T086000", "Invalid argument to time encode"},
        {"PTH", "'' is not a valid integer value"},
        {"2024-01-", "'' is not a valid integer value"},
        // Parts are read in reading order: year, month, day, then the time.
        {"ABCDEFGH", "'ABCD' is not a valid integer value"},
        {"2024XXYY", "'XX' is not a valid integer value"},
        {"2024XX15TAB0000", "'XX' is not a valid integer value"},
        {"20240115TABCD00", "'AB' is not a valid integer value"},
        {"20240115T08CDEF", "'CD' is not a valid integer value"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FailureOf<ConversionError>([&] { (void)TextToDateTime(c.text); }), c.message)
            << c.text;
    }
    EXPECT_THROW((void)ParseDateText("1970-1"), ConversionError);
}

TEST(TimeZone, OffsetsByZone) {
    const struct {
        const char* rule;
        int january;
        int july;
    } cases[] = {
        {"UTC0", 0, 0},
        {"JST-9", 540, 540},
        {kCentralEurope, 60, 120},
        {"EST5EDT,M3.2.0,M11.1.0", -300, -240},
        {"AEST-10AEDT,M10.1.0,M4.1.0/3", 660, 600},
        {"<+0330>-3:30", 210, 210},
        {"NZST-12NZDT,M9.5.0,M4.1.0/3", 780, 720},
    };
    for (const auto& c : cases) {
        ScopedTimeZone zone(c.rule);
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), c.january) << c.rule;
        EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), c.july) << c.rule;
    }
}

TEST(TimeZone, TransitionsAtTheirLocalTimes) {
    ScopedTimeZone zone(kCentralEurope);
    // 2024: summer time from 31 March 02:00 to 27 October 03:00.
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 1, 59)), 60);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 3, 31, 2, 0)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 2, 59)), 120);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 10, 27, 3, 0)), 60);
}

TEST(TimeZone, FifthWeekdayMeansTheLast) {
    const TransitionRule lastSunday{2, 0, 5, 0, 0, 0, 0};
    // February 2024 has four Sundays, the last on the 25th.
    EXPECT_EQ(TransitionDate(lastSunday, 2024), EncodeDate(2024, 2, 25));
    const TransitionRule lastSundayOfMarch{3, 0, 5, 2, 30, 0, 0};
    EXPECT_NEAR(TransitionDate(lastSundayOfMarch, 2024), At(2024, 3, 31, 2, 30), kTolerance);
    const TransitionRule secondTuesday{10, 2, 2, 0, 0, 0, 0};
    EXPECT_EQ(TransitionDate(secondTuesday, 2026), EncodeDate(2026, 10, 13));
}

TEST(TimeZone, LocalAndUTCRoundTrip) {
    ScopedTimeZone zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
    const TDateTime local = At(2024, 12, 24, 18, 45);
    EXPECT_NEAR(LocalToUTC(local), At(2024, 12, 24, 7, 45), kTolerance);
    EXPECT_NEAR(UTCToLocal(LocalToUTC(local)), local, kTolerance);
}

TEST(TimeZone, PosixRulesThatDoNotParse) {
    for (const char* text :
         {"", "UTC", "America/New_York", "CET-1CEST,J60,J300", "X1", "CET-1CEST,M13.1.0,M10.5.0"}) {
        EXPECT_FALSE(ParsePosixRule(text).has_value()) << text;
    }
}

// The platform's rule: the TZ variable holding a rule, a zone name, or unset.
class PlatformZone : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) saved_ = tz;
    }
    void TearDown() override {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
    }
    std::optional<std::string> saved_;
};

TEST_F(PlatformZone, RuleFromTheTZVariable) {
    setenv("TZ", "AEST-10AEDT,M10.1.0,M4.1.0/3", 1);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), 660);
    setenv("TZ", "JST-9", 1);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), 540);
}

TEST_F(PlatformZone, NamedZoneReadsItsZoneFile) {
    setenv("TZ", "America/New_York", 1);
    const TimeZoneRule rule = SystemTimeZoneRule();
    EXPECT_EQ(rule.Bias, 300);
    EXPECT_EQ(rule.DaylightDate.Month, 3);
    EXPECT_EQ(rule.StandardDate.Month, 11);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 1, 15, 12)), -300);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), -240);
    setenv("TZ", ":Europe/Berlin", 1);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), 120);
}

TEST_F(PlatformZone, UnknownZoneFallsBackToUTC) {
    setenv("TZ", "Nowhere/Atlantis", 1);
    EXPECT_EQ(LocalOffsetMinutes(At(2024, 7, 15, 12)), 0);
}

}  // namespace
}  // namespace orvanta
