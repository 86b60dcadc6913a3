#include "formats/DateTime.h"

#include <cmath>
#include <cstdio>

#include "formats/Failure.h"
#include "formats/TimeZoneRule.h"

namespace orvanta {

namespace {

constexpr long long kMSecsPerDayInt = 86400000LL;
// Day numbers of 1 January 0001 and 31 December 9999: values outside are clamped
// when decoded, so no arithmetic below can overflow.
constexpr double kFirstDay = -693593.0;
constexpr double kLastDay = 2958465.0;
// 30 December 1899 counted from 1 January 1970.
constexpr long long kUnixEpochDay = 25569;

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Delphi-style Copy: a substring from a 1-based position, clamped to the text.
std::string_view Copy(std::string_view s, std::size_t pos1, std::size_t count) {
    if (pos1 < 1 || pos1 > s.size()) return {};
    return s.substr(pos1 - 1, count);
}

// The parts are converted in reading order (year, month, day), so a failure names the
// first part that is not a number, whatever order a compiler evaluates arguments in.
TDateTime DateFromFields(std::string_view s, std::size_t y, std::size_t m, std::size_t d) {
    const int year = StrToInt(Copy(s, y, 4));
    const int month = StrToInt(Copy(s, m, 2));
    const int day = StrToInt(Copy(s, d, 2));
    return EncodeDate(year, month, day);
}

void AppendNumber(std::string& out, double n, char unit) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.0f%c", n, unit);
    out += buf;
}

long long RoundedMSecs(TDateTime value) {
    if (!std::isfinite(value)) value = 0;
    if (value < kFirstDay) value = kFirstDay;
    if (value > kLastDay + 1) value = kLastDay + 1;
    return std::llround(value * kMSecsPerDay);
}

}  // namespace

int StrToInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) throw InvalidInteger(std::string(text));
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') throw InvalidInteger(std::string(text));
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) throw InvalidInteger(std::string(text));
    }
    if (negative) value = -value;
    if (value > 2147483647LL) throw InvalidInteger(std::string(text));
    return static_cast<int>(value);
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

TDateTime EncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month)) {
        throw ConversionError("Invalid argument to date encode");
    }
    return static_cast<double>(
        DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
        kUnixEpochDay);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999) {
        throw ConversionError("Invalid argument to time encode");
    }
    return (((hour * 60LL + minute) * 60LL + second) * 1000LL + millisecond) / kMSecsPerDay;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
    return date + time;
}

DateTimeParts DecodeDateTime(TDateTime value) {
    const long long ms = RoundedMSecs(value);
    long long day = ms / kMSecsPerDayInt;
    long long rest = ms % kMSecsPerDayInt;
    if (rest < 0) {
        rest += kMSecsPerDayInt;
        --day;
    }
    DateTimeParts p;
    CivilFromDays(day - kUnixEpochDay, p.Year, p.Month, p.Day);
    p.Millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    p.Second = static_cast<int>(rest % 60);
    rest /= 60;
    p.Minute = static_cast<int>(rest % 60);
    p.Hour = static_cast<int>(rest / 60);
    // Day 0 (30 December 1899) was a Saturday.
    p.DayOfWeek = static_cast<int>(((day % 7) + 7 + 6) % 7);
    return p;
}

bool HasTimeOfDay(TDateTime value) {
    return RoundedMSecs(value) % kMSecsPerDayInt != 0;
}

std::string DateToText(TDateTime value) {
    const DateTimeParts p = DecodeDateTime(value);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", p.Year, p.Month, p.Day);
    return buf;
}

std::string UTCText(TDateTime utc) {
    const DateTimeParts p = DecodeDateTime(utc);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02dT%02d%02d%02dZ", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second);
    return buf;
}

std::string MomentToText(TDateTime local) {
    return UTCText(LocalToUTC(local));
}

std::string DateTimeToText(TDateTime value) {
    if (std::fabs(value) < 365.0) return DurationToText(value);
    const TDateTime utc = LocalToUTC(value);
    // A bare date reads back as local midnight, so it is only written for a whole day
    // that is midnight in UTC too; 01:00 in a zone one hour east of Greenwich is written
    // 00:00 UTC with its time, so it does not come back as 00:00 local. A timed value
    // keeps its time of day also when it rounds up to midnight within its last
    // millisecond: written as a date it would turn into a whole day.
    if (value == std::floor(value) && utc == std::floor(utc)) return DateToText(utc);
    return UTCText(utc);
}

std::string DurationToText(TDateTime days) {
    std::string out = "P";
    double d = days;
    if (d < 0) {
        out = "-P";
        d = -d;
    }
    if (!std::isfinite(d)) return out;
    d += 1.0 / kMSecsPerDay;
    const double weeks = std::floor(d / 7.0);
    if (weeks != 0) {
        AppendNumber(out, weeks, 'W');
        d -= 7.0 * weeks;
    }
    const double wholeDays = std::floor(d);
    if (wholeDays != 0) AppendNumber(out, wholeDays, 'D');
    d -= wholeDays;
    const double hoursF = d * 24.0;
    const double h = std::floor(hoursF);
    const double minutesF = (hoursF - h) * 60.0;
    const double m = std::floor(minutesF);
    const double s = std::nearbyint((minutesF - m) * 60.0);  // halves to even
    if (h != 0 || m != 0 || s != 0) {
        out += 'T';
        if (h != 0) AppendNumber(out, h, 'H');
        if (m != 0) AppendNumber(out, m, 'M');
        if (s != 0) AppendNumber(out, s, 'S');
    }
    return out;
}

TDateTime ParseDuration(std::string_view text) {
    double result = 0;
    std::string pending;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            pending += c;
            continue;
        }
        switch (c) {
            case 'W':
                result += StrToInt(pending) * 7.0;
                break;
            case 'D':
                result += StrToInt(pending);
                break;
            case 'H':
                result += StrToInt(pending) / 24.0;
                break;
            case 'M':
                result += StrToInt(pending) / kMinutesPerDay;
                break;
            case 'S':
                result += StrToInt(pending) / kSecondsPerDay;
                break;
            default:
                break;  // T, Y, signs and the like carry no amount
        }
        pending.clear();
    }
    return result;
}

TDateTime ParseDate(std::string_view text) {
    if (text.size() < 8) return 0;
    if (text.find('-') == 4) return DateFromFields(text, 1, 6, 9);
    return DateFromFields(text, 1, 5, 7);
}

TDateTime ParseTime(std::string_view text) {
    if (text.size() < 6) return 0;
    const bool extended = text.find(':') == 2;
    const std::size_t m = extended ? 4 : 3, s = extended ? 7 : 5;
    const int hour = StrToInt(Copy(text, 1, 2));
    const int minute = StrToInt(Copy(text, m, 2));
    const int second = StrToInt(Copy(text, s, 2));
    return EncodeTime(hour, minute, second, 0);
}

TDateTime ParseDateText(std::string_view text) {
    bool blank = true;
    for (const char c : text)
        blank = blank && IsBlankOrControl(c);
    if (blank) return 0;
    if (text.find('-') != std::string_view::npos) return DateFromFields(text, 1, 6, 9);
    return DateFromFields(text, 1, 5, 7);
}

TDateTime TextToDateTime(std::string_view text) {
    if (text.empty()) return 0;
    if (const auto p = text.find('P'); p != std::string_view::npos) {
        const TDateTime d = ParseDuration(text.substr(p + 1));
        return text.front() == '-' ? -d : d;
    }
    TDateTime result;
    if (const auto t = text.find('T'); t == std::string_view::npos) {
        result = (text.size() == 8 || text.size() == 10) ? ParseDate(text) : ParseTime(text);
    } else {
        const TDateTime date = ParseDate(text);  // the date before the time
        result = ComposeDateTime(date, ParseTime(text.substr(t + 1)));
    }
    if (text.find('Z') != std::string_view::npos) result = UTCToLocal(result);
    return result;
}

std::int32_t LocalOffsetMinutes(TDateTime local) {
    return CurrentTimeZone()->WallOffset(local) / 60;
}

TDateTime LocalToUTC(TDateTime local) {
    return CurrentTimeZone()->ToUTC(local);
}

TDateTime UTCToLocal(TDateTime utc) {
    return CurrentTimeZone()->FromUTC(utc);
}

}  // namespace orvanta
