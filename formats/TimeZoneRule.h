#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace orvanta {

// One yearly transition: the occurrence-th (5 = last) DayOfWeek (0 Sunday) of Month,
// at the given local time of day. Month 0 in the standard rule means no daylight saving.
// Hour may lie outside 0..23 (POSIX allows transitions at -1:00 or 25:00).
struct TransitionRule {
    int Month = 0;
    int DayOfWeek = 0;
    int Occurrence = 0;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    int Millisecond = 0;
};

// A zone's rule: UTC = local + Bias (+ StandardBias or DaylightBias), all in minutes.
// StandardDate is when standard time begins, DaylightDate when daylight time begins.
struct TimeZoneRule {
    int Bias = 0;
    int StandardBias = 0;
    TransitionRule StandardDate;
    int DaylightBias = 0;
    TransitionRule DaylightDate;
};

// Reads a POSIX TZ rule such as "CET-1CEST,M3.5.0,M10.5.0/3". Rules with Julian-day
// transitions (Jn, n) have no such shape and give nullopt.
[[nodiscard]] std::optional<TimeZoneRule> ParsePosixRule(std::string_view text);

// The footer rule of a TZif file (version 2 and later), or nullopt.
[[nodiscard]] std::optional<TimeZoneRule> ReadZoneFileRule(const std::string& path);

// The rule of a zone of the system's zone database by its name ("Asia/Tokyo"), or
// nullopt when there is no such zone.
[[nodiscard]] std::optional<TimeZoneRule> NamedTimeZoneRule(const std::string& name);

// The platform's rule: the TZ variable when it holds a rule, else the named zone's file
// in the zoneinfo folder, else /etc/localtime; UTC when none of them gives a rule.
[[nodiscard]] TimeZoneRule SystemTimeZoneRule();

// The rule all date-time conversions use. Tests replace it.
using TimeZoneProvider = std::function<TimeZoneRule()>;
[[nodiscard]] TimeZoneRule CurrentTimeZoneRule();
void SetTimeZoneProvider(TimeZoneProvider provider);  // empty: the platform's rule

// Installs a fixed rule for its lifetime and restores the previous provider after.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const TimeZoneRule& rule);
    explicit ScopedTimeZone(std::string_view posixRule);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    TimeZoneProvider previous_;
};

}  // namespace orvanta
