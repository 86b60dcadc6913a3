#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>

#include "formats/DateTime.h"
#include "formats/SyncMLItem.h"
#include "formats/TimeZoneRule.h"

namespace orvanta {

// The value of a line's TZID parameter without quotes, or empty text.
[[nodiscard]] std::string TzidOf(std::string_view line);

// Reads the date-time properties of one payload as local time: a value with "Z" as
// UTC, a value with a TZID parameter as wall time of that zone, anything else
// (floating, a date) as local time. A TZID means the payload's own VTIMEZONE of that
// TZID, else (no such block, or one libical cannot read) the zone of that name in the
// system's zone database; a TZID that neither defines reads as floating.
// The payload lines must outlive the reader and stay unchanged while it reads.
class PayloadZones {
public:
    explicit PayloadZones(const ItemLines& lines) : lines_(lines) {}
    explicit PayloadZones(ItemLines&&) = delete;

    [[nodiscard]] TDateTime Read(std::string_view line);
    // The zone of a TZID, or nullptr when neither the payload nor the system knows it.
    [[nodiscard]] const TimeZone* Find(const std::string& tzid);

private:
    void Collect();

    struct Block {
        std::size_t begin = 0, end = 0;  // the BEGIN:VTIMEZONE and END:VTIMEZONE lines
    };
    const ItemLines& lines_;
    bool collected_ = false;
    std::map<std::string, Block> blocks_;   // by TZID; the first definition counts
    std::map<std::string, ZonePtr> zones_;  // what each TZID asked for read as
};

}  // namespace orvanta
