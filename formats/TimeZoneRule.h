#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "formats/DateTime.h"

namespace orvanta {

// A time zone: the UTC offset in force at any moment of any year. Zones never change
// once made, and every zone may be used from any thread.
class TimeZone {
public:
    virtual ~TimeZone() = default;
    // Seconds east of UTC at a wall time of this zone. A wall time that the clocks
    // skip, or pass twice, reads with one of the two offsets around the change.
    [[nodiscard]] virtual int WallOffset(TDateTime wall) const = 0;
    // Seconds east of UTC at a moment given in UTC.
    [[nodiscard]] virtual int UTCOffset(TDateTime utc) const = 0;

    [[nodiscard]] TDateTime ToUTC(TDateTime wall) const;
    [[nodiscard]] TDateTime FromUTC(TDateTime utc) const;
};
using ZonePtr = std::shared_ptr<const TimeZone>;

// UTC itself.
[[nodiscard]] ZonePtr UTCZone();

// A POSIX TZ rule such as "CET-1CEST,M3.5.0,M10.5.0/3", its rule applied to every
// year; null for a text of another shape (Julian-day transitions among them).
[[nodiscard]] ZonePtr PosixTimeZone(std::string_view rule);

// A VTIMEZONE block (its unfolded lines from BEGIN to END) read by libical, with every
// observance, RRULE and RDATE it holds; before its first onset the offset that onset
// changes from holds (RFC 5545). Null when libical cannot read the block or one of its
// rules does not recur about once a year, as no zone's rule does.
[[nodiscard]] ZonePtr VTimeZone(std::string_view block);

// A zone of the system's zone database by name ("America/New_York"), with its whole
// history; null when there is no such zone or the name is a path.
[[nodiscard]] ZonePtr NamedTimeZone(std::string_view name);

// The client's own zone: the TZ variable (a zone name, ":name", ":/path" of a zone file,
// or a POSIX rule), else /etc/localtime; UTC when none of them gives a zone.
[[nodiscard]] ZonePtr SystemTimeZone();

// The zone all local-time conversions use. Tests replace it.
using TimeZoneProvider = std::function<ZonePtr()>;
[[nodiscard]] ZonePtr CurrentTimeZone();
void SetTimeZoneProvider(TimeZoneProvider provider);  // empty: the system's zone

// Installs a fixed zone for its lifetime and restores the previous provider after: a
// zone name of the database or a POSIX rule, read as the TZ variable is; UTC when it is
// neither.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(std::string_view zone);
    explicit ScopedTimeZone(ZonePtr zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    TimeZoneProvider previous_;
};

}  // namespace orvanta
