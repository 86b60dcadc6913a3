#include "formats/TimeZoneRule.h"

#include <libical/ical.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <list>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvanta {

namespace {

// A moment moved by whole seconds, kept to whole milliseconds in the form EncodeDate and
// EncodeTime give (the day, plus the time as a fraction), so that a converted time
// equals the same time entered.
TDateTime Moved(TDateTime value, int seconds) {
    if (!std::isfinite(value)) value = 0;
    const long long ms =
        std::llround(std::clamp(value, -693594.0, 2958466.0) * kMSecsPerDay) + seconds * 1000LL;
    constexpr long long kDay = 86400000LL;
    const long long day = ms / kDay - (ms % kDay < 0 ? 1 : 0);
    return static_cast<double>(day) + static_cast<double>(ms - day * kDay) / kMSecsPerDay;
}

}  // namespace

TDateTime TimeZone::ToUTC(TDateTime wall) const {
    return Moved(wall, -WallOffset(wall));
}

TDateTime TimeZone::FromUTC(TDateTime utc) const {
    return Moved(utc, UTCOffset(utc));
}

namespace {

// The year of a moment, within the years dates can be encoded in.
int YearOf(TDateTime value) {
    return std::clamp(DecodeDateTime(value).Year, 1, 9999);
}

// --- POSIX rules -------------------------------------------------------------------

// Mm.w.d/time: the w-th (5: last) weekday d (0 Sunday) of month m, at a local time.
struct Transition {
    int month = 0, week = 0, weekday = 0;
    int seconds = 2 * 3600;
};

// Offsets in seconds east of UTC; without daylight time the standard offset holds.
struct PosixRule {
    int standard = 0;
    int daylight = 0;
    bool hasDaylight = false;
    Transition toDaylight, toStandard;  // each at the local time in force before it
};

// A small cursor over a POSIX TZ text.
class RuleReader {
public:
    explicit RuleReader(std::string_view text) : s_(text) {}

    [[nodiscard]] bool AtEnd() const { return i_ >= s_.size(); }
    [[nodiscard]] char Peek() const { return AtEnd() ? '\0' : s_[i_]; }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++i_;
        return true;
    }

    // A zone abbreviation: three or more letters, or anything inside <...>.
    bool Name() {
        if (Take('<')) {
            const auto close = s_.find('>', i_);
            if (close == std::string_view::npos || close - i_ < 3) return false;
            i_ = close + 1;
            return true;
        }
        const std::size_t start = i_;
        while (!AtEnd() && std::isalpha(static_cast<unsigned char>(Peek())))
            ++i_;
        return i_ - start >= 3;
    }

    bool Number(int& out, int maxDigits) {
        const std::size_t start = i_;
        int value = 0;
        while (!AtEnd() && std::isdigit(static_cast<unsigned char>(Peek())) &&
               i_ - start < static_cast<std::size_t>(maxDigits)) {
            value = value * 10 + (s_[i_++] - '0');
        }
        out = value;
        return i_ > start;
    }

    // [+-]hh[:mm[:ss]] as signed seconds.
    bool Offset(int& seconds) {
        int sign = 1;
        if (Take('-')) {
            sign = -1;
        } else {
            Take('+');
        }
        int h = 0, m = 0, sec = 0;
        if (!Number(h, 3) || h > 167) return false;
        if (Take(':')) {
            if (!Number(m, 2) || m > 59) return false;
            if (Take(':') && (!Number(sec, 2) || sec > 59)) return false;
        }
        seconds = sign * ((h * 60 + m) * 60 + sec);
        return true;
    }

    // Mm.w.d[/time]; the time defaults to 02:00 local.
    bool Rule(Transition& t) {
        if (!Take('M')) return false;
        if (!Number(t.month, 2) || t.month < 1 || t.month > 12 || !Take('.')) return false;
        if (!Number(t.week, 1) || t.week < 1 || t.week > 5 || !Take('.')) return false;
        if (!Number(t.weekday, 1) || t.weekday > 6) return false;
        t.seconds = 2 * 3600;
        return !Take('/') || Offset(t.seconds);
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

std::optional<PosixRule> ParsePosixRule(std::string_view text) {
    RuleReader r(text);
    int west = 0;
    if (!r.Name() || !r.Offset(west)) return std::nullopt;
    PosixRule rule;
    rule.standard = -west;
    if (r.AtEnd()) return rule;

    if (!r.Name()) return std::nullopt;
    int daylightWest = west - 3600;
    if (r.Peek() != ',' && !r.AtEnd() && !r.Offset(daylightWest)) return std::nullopt;
    rule.daylight = -daylightWest;
    rule.hasDaylight = true;
    if (r.AtEnd()) {
        // No transition rules given: the POSIX default of the United States.
        rule.toDaylight = {3, 2, 0, 2 * 3600};
        rule.toStandard = {11, 1, 0, 2 * 3600};
        return rule;
    }
    if (!r.Take(',') || !r.Rule(rule.toDaylight) || !r.Take(',') || !r.Rule(rule.toStandard) ||
        !r.AtEnd()) {
        return std::nullopt;
    }
    return rule;
}

// Whole seconds since 30 December 1899, so that a moment and a transition compare
// exactly.
long long Seconds(TDateTime value) {
    if (!std::isfinite(value)) value = 0;
    return std::llround(std::clamp(value, -693594.0, 2958466.0) * kSecondsPerDay);
}

// The local moment of a transition in a year, in seconds.
long long TransitionIn(const Transition& t, int year) {
    const TDateTime first = EncodeDate(year, t.month, 1);
    const int firstWeekday = DecodeDateTime(first).DayOfWeek;
    int day = 1 + ((t.weekday - firstWeekday) % 7 + 7) % 7 + (t.week - 1) * 7;
    while (day > DaysInMonth(year, t.month))
        day -= 7;
    return Seconds(first + (day - 1)) + t.seconds;
}

class PosixZone final : public TimeZone {
public:
    explicit PosixZone(const PosixRule& rule) : rule_(rule) {}

    int WallOffset(TDateTime wall) const override { return Offset(wall, 0, 0); }
    int UTCOffset(TDateTime utc) const override {
        return Offset(utc, rule_.standard, rule_.daylight);
    }

private:
    // The transitions of the value's year, each moved by the offset in force before it
    // (nothing for wall times, that offset for UTC).
    int Offset(TDateTime value, int beforeDaylight, int beforeStandard) const {
        if (!rule_.hasDaylight) return rule_.standard;
        const int year = YearOf(value);
        const long long at = Seconds(value);
        const long long toDaylight = TransitionIn(rule_.toDaylight, year) - beforeDaylight;
        const long long toStandard = TransitionIn(rule_.toStandard, year) - beforeStandard;
        // Summer in the middle of the year, or (southern hemisphere) at both ends.
        const bool daylight = toDaylight < toStandard ? toDaylight <= at && at < toStandard
                                                      : !(toStandard <= at && at < toDaylight);
        return daylight ? rule_.daylight : rule_.standard;
    }

    PosixRule rule_;
};

// --- Zones read by libical ------------------------------------------------------

// Exchanges read payloads on a worker thread while the window converts its own dates.
// libical guards a zone's table of transitions itself, not all of its state (the first
// year its expansions reach is set on first use, its error state, the zone folder it
// finds), so every call into it holds this lock. A lookup is a search of that table:
// the window's thread waits at most that long for an exchange's.
std::mutex& IcalLock() {
    // Never destroyed: zones held by other statics are released at exit, after it.
    static auto* const lock = new std::mutex;
    return *lock;
}

// libical expands a zone's rules from their start up to the year asked for (at most
// 2582, and again at every call for a later year). The calendar repeats every 400
// years, weekdays included, so a year past 2400 asks for its like within 2000-2399: the
// rules in force then recur alike, and no expansion runs past 2404.
icaltimetype IcalTime(TDateTime value) {
    const DateTimeParts p = DecodeDateTime(value);
    icaltimetype t = icaltime_null_time();
    t.year = std::max(p.Year, 1);
    if (t.year >= 2400) t.year = 2000 + (t.year - 2000) % 400;
    t.month = p.Month;
    t.day = p.Day;
    t.hour = p.Hour;
    t.minute = p.Minute;
    t.second = p.Second;
    return t;
}

class IcalZone final : public TimeZone {
public:
    explicit IcalZone(icaltimezone* zone) : zone_(zone) {}
    ~IcalZone() override {
        const std::lock_guard lock(IcalLock());
        icaltimezone_free(zone_, 1);
    }
    IcalZone(const IcalZone&) = delete;
    IcalZone& operator=(const IcalZone&) = delete;

    int WallOffset(TDateTime wall) const override {
        return Offset(icaltimezone_get_utc_offset, wall);
    }
    int UTCOffset(TDateTime utc) const override {
        return Offset(icaltimezone_get_utc_offset_of_utc_time, utc);
    }

private:
    using Lookup = int (*)(icaltimezone*, icaltimetype*, int*);
    int Offset(Lookup lookup, TDateTime value) const {
        icaltimetype t = IcalTime(value);
        int daylight = 0;
        const std::lock_guard lock(IcalLock());
        return lookup(zone_, &t, &daylight);
    }

    icaltimezone* zone_;
};

// A zone of a VTIMEZONE component, which it takes; null when libical makes none of it.
// Called with the lock held; the caller wraps the zone once the lock is released.
icaltimezone* MakeIcalZone(icalcomponent* component) {
    if (!component) return nullptr;
    icaltimezone* zone = icaltimezone_new();
    if (!zone || !icaltimezone_set_component(zone, component)) {
        icalcomponent_free(component);
        if (zone) icaltimezone_free(zone, 1);
        return nullptr;
    }
    return zone;
}

ZonePtr Wrap(icaltimezone* zone) {
    return zone ? std::make_shared<const IcalZone>(zone) : nullptr;
}

bool IsEmpty(const short* list) {
    return list[0] == ICAL_RECURRENCE_ARRAY_MAX;
}

// Zone rules recur once a year: FREQ=YEARLY, or FREQ=MONTHLY;INTERVAL=12 as some
// servers write it (the month then comes from DTSTART), in one month, on one weekday
// of it (2SU, -1SU) or on days of it (BYMONTHDAY=8,...,14 with BYDAY=SU). libical
// expands a rule occurrence by occurrence from its start to the year asked for: a rule
// that recurs every second, or never (BYMONTHDAY=30 in February), would hold it for
// minutes, so a block with a rule of another shape is not read at all.
bool RecursYearly(const icalrecurrencetype& r, const icaltimetype& start) {
    const bool yearly = r.freq == ICAL_YEARLY_RECURRENCE && r.interval == 1;
    const bool everyTwelveMonths = r.freq == ICAL_MONTHLY_RECURRENCE && r.interval == 12;
    if ((!yearly && !everyTwelveMonths) || r.rscale) return false;
    for (const short* unused :
         {r.by_second, r.by_minute, r.by_hour, r.by_year_day, r.by_week_no, r.by_set_pos}) {
        if (!IsEmpty(unused)) return false;
    }
    int month = start.month;
    if (!IsEmpty(r.by_month)) {
        if (r.by_month[1] != ICAL_RECURRENCE_ARRAY_MAX) return false;
        if (everyTwelveMonths && r.by_month[0] != start.month) return false;
        month = r.by_month[0];
    } else if (yearly && !IsEmpty(r.by_day)) {
        return false;  // BYDAY=-1SU without a month: the last Sunday of the year
    }
    if (month < 1 || month > 12) return false;
    const int days = month == 2 ? 29 : DaysInMonth(2001, month);
    int monthDays = 0;
    for (const short* d = r.by_month_day;
         d < std::end(r.by_month_day) && *d != ICAL_RECURRENCE_ARRAY_MAX; ++d) {
        if (*d == 0 || std::abs(*d) > days) return false;
        ++monthDays;
    }
    if (IsEmpty(r.by_day)) return true;
    if (r.by_day[1] != ICAL_RECURRENCE_ARRAY_MAX) return false;
    const int position = icalrecurrencetype_day_position(r.by_day[0]);
    return position == 0 ? monthDays > 0 : monthDays == 0 && position >= -5 && position <= 5;
}

bool HasYearlyRules(icalcomponent* vtimezone) {
    for (icalcomponent* o = icalcomponent_get_first_component(vtimezone, ICAL_ANY_COMPONENT); o;
         o = icalcomponent_get_next_component(vtimezone, ICAL_ANY_COMPONENT)) {
        const icalcomponent_kind kind = icalcomponent_isa(o);
        if (kind != ICAL_XSTANDARD_COMPONENT && kind != ICAL_XDAYLIGHT_COMPONENT) continue;
        const icalproperty* dtstart = icalcomponent_get_first_property(o, ICAL_DTSTART_PROPERTY);
        const icaltimetype start =
            dtstart ? icalproperty_get_dtstart(dtstart) : icaltime_null_time();
        for (icalproperty* p = icalcomponent_get_first_property(o, ICAL_RRULE_PROPERTY); p;
             p = icalcomponent_get_next_property(o, ICAL_RRULE_PROPERTY)) {
            if (!RecursYearly(icalproperty_get_rrule(p), start)) return false;
        }
    }
    return true;
}

icaltimezone* ParseVTimeZone(const std::string& block) {
    const std::lock_guard lock(IcalLock());
    icalcomponent* component = icalparser_parse_string(block.c_str());
    if (component &&
        (icalcomponent_isa(component) != ICAL_VTIMEZONE_COMPONENT || !HasYearlyRules(component))) {
        icalcomponent_free(component);
        return nullptr;
    }
    return MakeIcalZone(component);
}

// A zone file by its path under libical's zone folder.
icaltimezone* ReadZoneFile(const std::string& location) {
    const std::lock_guard lock(IcalLock());
    return MakeIcalZone(icaltzutil_fetch_timezone(location.c_str()));
}

// --- Caches ----------------------------------------------------------------------

// Zones by the text they were made of, the least recently used dropped when full.
// Reading a VTIMEZONE and expanding its rules takes about half a millisecond; a load
// of events that all carry the same block reads it once.
class ZoneCache {
public:
    explicit ZoneCache(std::size_t capacity) : capacity_(capacity) {}

    template <class Make>
    ZonePtr Get(const std::string& key, Make make) {
        {
            const std::lock_guard lock(mutex_);
            if (const auto it = index_.find(key); it != index_.end()) {
                entries_.splice(entries_.begin(), entries_, it->second);
                return it->second->second;
            }
        }
        ZonePtr zone = make();
        std::vector<ZonePtr> dropped;  // released after the lock: their release locks libical
        const std::lock_guard lock(mutex_);
        if (const auto it = index_.find(key); it != index_.end()) return it->second->second;
        entries_.emplace_front(key, zone);
        index_.emplace(entries_.front().first, entries_.begin());
        while (entries_.size() > capacity_) {
            dropped.push_back(std::move(entries_.back().second));
            index_.erase(entries_.back().first);
            entries_.pop_back();
        }
        return zone;
    }

private:
    using Entry = std::pair<std::string, ZonePtr>;
    std::mutex mutex_;
    std::size_t capacity_;
    std::list<Entry> entries_;
    std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
};

// More zones than a calendar uses, so that a load in which events of many zones take
// turns does not read the same blocks again and again.
ZoneCache& BlockCache() {
    static ZoneCache cache(256);
    return cache;
}

ZoneCache& FileCache() {
    static ZoneCache cache(64);
    return cache;
}

ZonePtr CachedZoneFile(const std::string& location) {
    return FileCache().Get(location, [&] { return Wrap(ReadZoneFile(location)); });
}

// Names as zone databases spell them; no path leaves the zone folder.
bool IsZoneName(std::string_view name) {
    if (name.empty() || name.size() > 255 || name.front() == '/' ||
        name.find("..") != std::string_view::npos) {
        return false;
    }
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '/' || c == '_' || c == '-' || c == '+';
    });
}

// A zone file anywhere, by its path relative to libical's zone folder: /etc/localtime,
// most often a link into that folder, becomes the zone's own name there.
ZonePtr ZoneFileAt(const std::string& path) {
    std::string folder;
    {
        const std::lock_guard lock(IcalLock());
        const char* dir = icaltzutil_get_zone_directory();
        folder = dir ? dir : "";
    }
    std::error_code error;
    const std::filesystem::path relative = std::filesystem::relative(path, folder, error);
    if (error || relative.empty() || folder.empty()) return nullptr;
    return CachedZoneFile(relative.string());
}

// The zone a TZ value names: a zone of the database (or a zone file's path), else a
// POSIX rule, as the C library reads it.
ZonePtr ZoneOfTZ(std::string_view value) {
    if (value.empty()) return UTCZone();
    if (value.front() == ':') value.remove_prefix(1);
    if (!value.empty() && value.front() == '/') {
        if (ZonePtr zone = ZoneFileAt(std::string(value))) return zone;
    } else if (ZonePtr zone = NamedTimeZone(value)) {
        return zone;
    }
    if (ZonePtr zone = PosixTimeZone(value)) return zone;
    return UTCZone();
}

struct ProviderState {
    std::mutex mutex;
    TimeZoneProvider provider;
    bool cached = false;
    std::string cachedKey;
    ZonePtr cachedZone;
};

ProviderState& State() {
    static ProviderState state;
    return state;
}

}  // namespace

ZonePtr UTCZone() {
    static const ZonePtr utc = std::make_shared<const PosixZone>(PosixRule{});
    return utc;
}

ZonePtr PosixTimeZone(std::string_view rule) {
    const auto read = ParsePosixRule(rule);
    return read ? std::make_shared<const PosixZone>(*read) : nullptr;
}

ZonePtr VTimeZone(std::string_view block) {
    std::string text(block);
    return BlockCache().Get(text, [&] { return Wrap(ParseVTimeZone(text)); });
}

ZonePtr NamedTimeZone(std::string_view name) {
    return IsZoneName(name) ? CachedZoneFile(std::string(name)) : nullptr;
}

ZonePtr SystemTimeZone() {
    if (const char* tz = std::getenv("TZ")) return ZoneOfTZ(tz);
    if (ZonePtr zone = ZoneFileAt("/etc/localtime")) return zone;
    return UTCZone();
}

ZonePtr CurrentTimeZone() {
    ProviderState& state = State();
    const std::lock_guard lock(state.mutex);
    if (state.provider) return state.provider();
    // The zone is read again whenever the TZ variable changes.
    const char* tz = std::getenv("TZ");
    const std::string key = tz ? std::string("=") + tz : std::string();
    if (!state.cached || state.cachedKey != key) {
        state.cachedZone = SystemTimeZone();
        state.cachedKey = key;
        state.cached = true;
    }
    return state.cachedZone;
}

void SetTimeZoneProvider(TimeZoneProvider provider) {
    ProviderState& state = State();
    TimeZoneProvider old;
    const std::lock_guard lock(state.mutex);
    old = std::exchange(state.provider, std::move(provider));
}

ScopedTimeZone::ScopedTimeZone(std::string_view zone) : ScopedTimeZone(ZoneOfTZ(zone)) {}

ScopedTimeZone::ScopedTimeZone(ZonePtr zone) {
    ProviderState& state = State();
    const std::lock_guard lock(state.mutex);
    previous_ = std::exchange(state.provider, [zone = std::move(zone)] { return zone; });
}

ScopedTimeZone::~ScopedTimeZone() {
    SetTimeZoneProvider(std::move(previous_));
}

}  // namespace orvanta
