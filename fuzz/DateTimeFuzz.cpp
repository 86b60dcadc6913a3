// The date-time text readers, and the writers over what they read, in a zone with
// daylight saving time.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/TimeZoneRule.h"
#include "fuzz/FuzzSupport.h"

using namespace orvanta;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScopedTimeZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
    const std::string_view text = fuzz::AsText(data, size);
    using Reader = TDateTime (*)(std::string_view);
    for (const Reader read :
         {&TextToDateTime, &ParseDuration, &ParseDate, &ParseTime, &ParseDateText}) {
        try {
            const TDateTime value = read(text);
            (void)DateToText(value);
            (void)DateTimeToText(value);
            (void)DurationToText(value);
            (void)UTCText(value);
            (void)DecodeDateTime(value);
            (void)LocalToUTC(value);
            (void)UTCToLocal(value);
        } catch (const ConversionError&) {
        }
    }
    try {
        (void)StrToInt(text);
    } catch (const ConversionError&) {
    }
    return 0;
}
