#include "formats/PayloadZones.h"

#include <algorithm>
#include <climits>

#include "formats/Failure.h"
#include "formats/SyncMLItem.h"

namespace orvanta {

namespace {

// One STANDARD or DAYLIGHT sub-block of a VTIMEZONE.
struct Observance {
    bool daylight = false;
    std::optional<int> offsetTo;  // minutes east of UTC
    TDateTime start = 0;          // DTSTART, wall time
    bool hasStart = false;
    bool hasRule = false;
    bool ended = false;  // the RRULE has an UNTIL or a COUNT: a rule of the past
    std::optional<TransitionRule> transition;
};

// "+0900", "-0500", "+053000" as minutes east of UTC.
std::optional<int> ReadOffset(std::string_view text) {
    if (text.size() < 5 || (text[0] != '+' && text[0] != '-')) return std::nullopt;
    int digits[6] = {};
    const std::size_t count = text.size() - 1;
    if (count != 4 && count != 6) return std::nullopt;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[i + 1];
        if (c < '0' || c > '9') return std::nullopt;
        digits[i] = c - '0';
    }
    const int minutes = (digits[0] * 10 + digits[1]) * 60 + digits[2] * 10 + digits[3];
    return text[0] == '-' ? -minutes : minutes;
}

int Weekday(std::string_view code) {
    static constexpr std::string_view kDays[] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};
    for (int d = 0; d < 7; ++d) {
        if (code == kDays[d]) return d;
    }
    return -1;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// A small reader of the decimal texts of a rule; nullopt on anything else.
std::optional<int> Number(std::string_view text) {
    if (text.empty() || text.size() > 4) return std::nullopt;
    int sign = 1;
    if (text.front() == '-' || text.front() == '+') {
        sign = text.front() == '-' ? -1 : 1;
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return sign * value;
}

// The yearly transition of an RRULE with the DTSTART's time of day, or nullopt for a
// rule of another shape.
std::optional<TransitionRule> ReadYearlyRule(std::string_view rrule, TDateTime start) {
    const DateTimeParts at = DecodeDateTime(start);
    TransitionRule rule{at.Month, -1, 0, at.Hour, at.Minute, at.Second, 0};
    bool yearly = false;
    int firstMonthDay = 0;
    for (const std::string_view part : Split(rrule, ';')) {
        const auto eq = part.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = part.substr(0, eq), value = part.substr(eq + 1);
        if (key == "FREQ") {
            yearly = value == "YEARLY";
        } else if (key == "BYMONTH") {
            const auto month = Number(value);
            if (!month || *month < 1 || *month > 12) return std::nullopt;
            rule.Month = *month;
        } else if (key == "BYDAY") {
            if (value.size() < 2) return std::nullopt;
            rule.DayOfWeek = Weekday(value.substr(value.size() - 2));
            if (value.size() > 2) {
                const auto n = Number(value.substr(0, value.size() - 2));
                if (!n || *n == 0 || *n < -1 || *n > 5) return std::nullopt;
                rule.Occurrence = *n == -1 ? 5 : *n;
            }
        } else if (key == "BYMONTHDAY") {
            int first = INT_MAX;
            for (const std::string_view day : Split(value, ',')) {
                const auto d = Number(day);
                if (!d || *d < 1 || *d > 31) return std::nullopt;
                first = std::min(first, *d);
            }
            firstMonthDay = first;
        } else if (key == "INTERVAL" && value != "1") {
            return std::nullopt;
        }
    }
    if (!yearly || rule.DayOfWeek < 0) return std::nullopt;
    if (rule.Occurrence == 0) {
        // BYDAY=SU;BYMONTHDAY=8,...,14: the week of the month that the days span; the
        // days from the 25th on are the last week.
        if (firstMonthDay == 0) return std::nullopt;
        rule.Occurrence = firstMonthDay >= 25 ? 5 : (firstMonthDay - 1) / 7 + 1;
    }
    return rule;
}

// The observance of each kind that holds now: one without an end before one with,
// then the one that began last.
const Observance* Current(const std::vector<Observance>& all, bool daylight) {
    const Observance* best = nullptr;
    for (const Observance& o : all) {
        if (o.daylight != daylight || !o.offsetTo) continue;
        if (!best || (best->ended && !o.ended) ||
            (best->ended == o.ended && o.start > best->start)) {
            best = &o;
        }
    }
    return best;
}

bool IsSafeZoneName(std::string_view name) {
    if (name.empty() || name.front() == '/' || name.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '/' || c == '_' || c == '-' || c == '+';
    });
}

}  // namespace

std::optional<TimeZoneRule> ReadVTimeZone(const ItemLines& lines, std::size_t begin,
                                          std::size_t end) {
    std::vector<Observance> all;
    Observance* open = nullptr;
    std::string rrule;
    const auto close = [&] {
        if (open && open->hasRule && open->hasStart) {
            open->transition = ReadYearlyRule(rrule, open->start);
        }
        open = nullptr;
        rrule.clear();
    };
    for (std::size_t i = begin + 1; i < end && i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::string name = GetPropertyName(line);
        const std::string value = ToUTF8(GetPropertyValue(line));
        if (name == "BEGIN" && (value == "STANDARD" || value == "DAYLIGHT")) {
            close();
            all.push_back(Observance{});
            open = &all.back();
            open->daylight = value == "DAYLIGHT";
        } else if (name == "END") {
            close();
        } else if (!open) {
            continue;
        } else if (name == "TZOFFSETTO") {
            open->offsetTo = ReadOffset(value);
        } else if (name == "DTSTART") {
            try {
                open->start = TextToDateTime(value);
                open->hasStart = true;
            } catch (const ConversionError&) {
                // An unreadable start leaves the observance without a yearly rule.
            }
        } else if (name == "RRULE") {
            open->hasRule = true;
            rrule = value;
            open->ended = value.find("UNTIL=") != std::string::npos ||
                          value.find("COUNT=") != std::string::npos;
        }
    }
    close();

    const Observance* standard = Current(all, false);
    const Observance* daylight = Current(all, true);
    if (!standard) return std::nullopt;
    TimeZoneRule rule;
    rule.Bias = -*standard->offsetTo;
    // Daylight saving only while both observances still follow a yearly rule; a zone
    // that gave it up has a standard observance without one, or ended daylight rules.
    if (!daylight || daylight->ended || !daylight->hasRule || standard->ended ||
        !standard->hasRule) {
        return rule;
    }
    if (!standard->transition || !daylight->transition) return std::nullopt;
    rule.StandardDate = *standard->transition;
    rule.DaylightDate = *daylight->transition;
    rule.DaylightBias = -(*daylight->offsetTo - *standard->offsetTo);
    return rule;
}

std::string TzidOf(std::string_view line) {
    const std::string params = GetPropertyParamText(line);
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= params.size(); ++i) {
        if (i < params.size() && params[i] == '"') quoted = !quoted;
        if (i < params.size() && (quoted || params[i] != ';')) continue;
        std::string_view param = std::string_view(params).substr(start, i - start);
        start = i + 1;
        if (param.size() < 5) continue;
        if (!EqualsUpper(param.substr(0, 5), "TZID=")) continue;
        param.remove_prefix(5);
        if (param.size() >= 2 && param.front() == '"' && param.back() == '"') {
            param = param.substr(1, param.size() - 2);
        }
        return std::string(param);
    }
    return {};
}

void PayloadZones::Collect() {
    collected_ = true;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (GetPropertyName(lines_[i]) != "BEGIN" ||
            ToUTF8(GetPropertyValue(lines_[i])) != "VTIMEZONE") {
            continue;
        }
        std::size_t end = i + 1;
        std::string tzid;
        int depth = 0;
        for (; end < lines_.size(); ++end) {
            const std::string name = GetPropertyName(lines_[end]);
            if (name == "BEGIN") {
                ++depth;
            } else if (name == "END" && depth-- == 0) {
                break;
            } else if (name == "TZID" && depth == 0) {
                tzid = ToUTF8(GetPropertyValue(lines_[end]));
            }
        }
        // The first definition of a TZID counts.
        if (!tzid.empty() && !zones_.count(tzid)) zones_[tzid] = ReadVTimeZone(lines_, i, end);
        i = end;
    }
}

const TimeZoneRule* PayloadZones::Find(const std::string& tzid) {
    if (!collected_) Collect();
    if (const auto it = zones_.find(tzid); it != zones_.end() && it->second) return &*it->second;
    const auto [it, added] = named_.try_emplace(tzid);
    if (added && IsSafeZoneName(tzid)) it->second = NamedTimeZoneRule(tzid);
    return it->second ? &*it->second : nullptr;
}

TDateTime PayloadZones::Read(std::string_view line) {
    const std::string value = ToUTF8(GetPropertyValue(line));
    if (value.empty()) return 0;
    const TDateTime read = TextToDateTime(value);
    // Durations, UTC values and dates carry no zone of their own.
    if (value.find_first_of("PZ") != std::string::npos || value.find('T') == std::string::npos) {
        return read;
    }
    const std::string tzid = TzidOf(line);
    if (tzid.empty()) return read;
    const TimeZoneRule* rule = Find(tzid);
    if (!rule) return read;
    return UTCToLocal(ZoneToUTC(*rule, read));
}

}  // namespace orvanta
