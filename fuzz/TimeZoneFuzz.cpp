// The time-zone rule reader: a POSIX TZ text, or (first byte odd) a TZif file whose
// footer holds the rule. A rule that reads is then used for conversions.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "formats/DateTime.h"
#include "formats/TimeZoneRule.h"
#include "fuzz/FuzzSupport.h"

using namespace orvanta;

namespace {

std::optional<TimeZoneRule> ReadZoneFile(std::string_view bytes) {
    static const std::string path = "/tmp/orvanta-fuzz-tzif-" + std::to_string(getpid());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    auto rule = ReadZoneFileRule(path);
    unlink(path.c_str());
    return rule;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string_view text = fuzz::AsText(data + 1, size - 1);
    const auto rule = data[0] & 1 ? ReadZoneFile(text) : ParsePosixRule(text);
    if (!rule) return 0;
    const ScopedTimeZone zone(*rule);
    for (int year = 1900; year <= 2100; year += 37) {
        for (const TransitionRule* t : {&rule->DaylightDate, &rule->StandardDate}) {
            if (t->Month == 0) continue;
            const TDateTime when = TransitionDate(*t, year);
            (void)LocalToUTC(when);
            (void)UTCToLocal(when);
            (void)LocalOffsetMinutes(when);
            (void)DateTimeToText(LocalToUTC(when));
        }
    }
    return 0;
}
