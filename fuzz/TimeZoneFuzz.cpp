// Time zones as a server sends them: the payload's VTIMEZONE blocks (read by libical)
// and TZID values, or (first byte even) a POSIX TZ rule as the client's own zone. Every
// zone that reads is then asked for offsets across the years dates can hold.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/PayloadZones.h"
#include "formats/SyncMLItem.h"
#include "formats/TimeZoneRule.h"
#include "fuzz/FuzzSupport.h"

using namespace orvanta;

namespace {

constexpr int kYears[] = {1, 1601, 1899, 1970, 1998, 2005, 2026, 2037, 2100, 2582, 9999};

void Convert(const TimeZone& zone) {
    for (const int year : kYears) {
        for (const int month : {1, 3, 7, 10}) {
            const TDateTime wall = EncodeDate(year, month, 28) + 0.1;
            (void)zone.FromUTC(zone.ToUTC(wall));
            (void)MomentToText(zone.ToUTC(wall));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScopedTimeZone berlin("CET-1CEST,M3.5.0,M10.5.0/3");
    if (size < 1) return 0;
    const std::string_view text = fuzz::AsText(data + 1, size - 1);
    if ((data[0] & 1) == 0) {
        if (const ZonePtr zone = PosixTimeZone(text)) {
            const ScopedTimeZone local(zone);
            Convert(*zone);
        }
        return 0;
    }
    ItemLines lines = SplitPayloadLines(text);
    UnfoldLines(lines);
    PayloadZones zones(lines);
    for (const std::string_view line : lines) {
        if (GetPropertyName(line) == "TZID") {
            if (const TimeZone* zone = zones.Find(ToUTF8(GetPropertyValue(line)))) Convert(*zone);
        }
        try {
            (void)zones.Read(line);
        } catch (const ConversionError&) {
        }
    }
    return 0;
}
