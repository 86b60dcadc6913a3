#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvanta {

// Days since 30 December 1899 00:00, the time of day as the fraction. Moments are
// local time inside the program; the same type carries signed durations in days.
using TDateTime = double;

inline constexpr double kMinutesPerDay = 1440.0;
inline constexpr double kSecondsPerDay = 86400.0;
inline constexpr double kMSecsPerDay = 86400000.0;

struct DateTimeParts {
    int Year = 1899, Month = 12, Day = 30;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    int DayOfWeek = 6;  // 0 Sunday .. 6 Saturday
};

// Calendar arithmetic. EncodeDate and EncodeTime fail on dates and times that do not
// exist; DecodeDateTime rounds to the millisecond so 08:29:59.9999 reads as 08:30.
[[nodiscard]] TDateTime EncodeDate(int year, int month, int day);
[[nodiscard]] TDateTime EncodeTime(int hour, int minute, int second, int millisecond = 0);
[[nodiscard]] TDateTime ComposeDateTime(TDateTime date, TDateTime time);
[[nodiscard]] DateTimeParts DecodeDateTime(TDateTime value);
[[nodiscard]] bool HasTimeOfDay(TDateTime value);
[[nodiscard]] int DaysInMonth(int year, int month);

// Writers.
[[nodiscard]] std::string DateToText(TDateTime value);
[[nodiscard]] std::string DateTimeToText(TDateTime value);
[[nodiscard]] std::string DurationToText(TDateTime days);
// A UTC value as "yyyymmddThhnnssZ"; the session identifiers use it for the clock.
[[nodiscard]] std::string UTCText(TDateTime utc);
// A local moment of a timed item as UTC text, always with its time of day, also at UTC
// midnight (T000000Z): a bare date there would turn the value into a whole day.
[[nodiscard]] std::string MomentToText(TDateTime local);

// Readers. Failures are ConversionError with the texts the user sees.
[[nodiscard]] TDateTime TextToDateTime(std::string_view text);
[[nodiscard]] TDateTime ParseDuration(std::string_view text);
[[nodiscard]] TDateTime ParseDate(std::string_view text);
[[nodiscard]] TDateTime ParseTime(std::string_view text);
[[nodiscard]] TDateTime ParseDateText(std::string_view text);

// Local time and UTC by the client's own zone (CurrentTimeZone in TimeZoneRule.h), with
// the offset each date had in its year.
[[nodiscard]] TDateTime LocalToUTC(TDateTime local);
[[nodiscard]] TDateTime UTCToLocal(TDateTime utc);
// Minutes east of UTC in force at a local time.
[[nodiscard]] std::int32_t LocalOffsetMinutes(TDateTime local);

// The strict decimal reader behind every number in a date, time or duration text:
// optional leading blanks, an optional sign, then only digits.
[[nodiscard]] int StrToInt(std::string_view text);

}  // namespace orvanta
