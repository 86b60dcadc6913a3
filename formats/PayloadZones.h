#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/DateTime.h"
#include "formats/SyncMLItem.h"
#include "formats/TimeZoneRule.h"

namespace orvanta {

// The yearly rule of one VTIMEZONE block: its standard and daylight offsets
// (TZOFFSETTO) and the yearly transitions of their RRULEs (FREQ=YEARLY with BYMONTH and
// BYDAY such as -1SU or 2SU, or BYDAY=SU with BYMONTHDAY=8,...,14). Sub-blocks whose
// RRULE has an UNTIL belong to the past and give way to the current ones. nullopt when
// the block has no standard offset or its rule has another shape.
[[nodiscard]] std::optional<TimeZoneRule> ReadVTimeZone(const ItemLines& lines, std::size_t begin,
                                                        std::size_t end);

// The value of a line's TZID parameter without quotes, or empty text.
[[nodiscard]] std::string TzidOf(std::string_view line);

// Reads the date-time properties of one payload as local time: a value with "Z" as
// UTC, a value with a TZID parameter as wall time of that zone (the payload's own
// VTIMEZONE of that TZID, else the system zone database by that name), anything else
// (floating, a date) as local time. A TZID that neither defines reads as floating.
// The payload lines must outlive the reader and stay unchanged while it reads.
class PayloadZones {
public:
    explicit PayloadZones(const ItemLines& lines) : lines_(lines) {}
    explicit PayloadZones(ItemLines&&) = delete;

    [[nodiscard]] TDateTime Read(std::string_view line);
    // The rule of a TZID, or nullptr when neither the payload nor the system knows it.
    [[nodiscard]] const TimeZoneRule* Find(const std::string& tzid);

private:
    void Collect();

    const ItemLines& lines_;
    bool collected_ = false;
    std::map<std::string, std::optional<TimeZoneRule>> zones_;  // the payload's own
    std::map<std::string, std::optional<TimeZoneRule>> named_;  // the zone database's
};

}  // namespace orvanta
