#include "formats/TimeZoneRule.h"

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>

namespace orvanta {

namespace {

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
    bool Transition(TransitionRule& rule) {
        if (!Take('M')) return false;
        int month = 0, week = 0, day = 0;
        if (!Number(month, 2) || month < 1 || month > 12 || !Take('.')) return false;
        if (!Number(week, 1) || week < 1 || week > 5 || !Take('.')) return false;
        if (!Number(day, 1) || day > 6) return false;
        int seconds = 2 * 3600;
        if (Take('/') && !Offset(seconds)) return false;
        rule =
            TransitionRule{month, day, week, seconds / 3600, seconds % 3600 / 60, seconds % 60, 0};
        return true;
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
};

struct ProviderState {
    std::mutex mutex;
    TimeZoneProvider provider;
    bool cached = false;
    std::string cachedKey;
    TimeZoneRule cachedRule;
};

ProviderState& State() {
    static ProviderState state;
    return state;
}

std::string ZoneFilePath(const std::string& name) {
    if (!name.empty() && name.front() == '/') return name;
    const char* dir = std::getenv("TZDIR");
    return std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + name;
}

}  // namespace

std::optional<TimeZoneRule> ParsePosixRule(std::string_view text) {
    RuleReader r(text);
    int stdOffset = 0;
    if (!r.Name() || !r.Offset(stdOffset)) return std::nullopt;
    TimeZoneRule rule;
    rule.Bias = stdOffset / 60;
    if (r.AtEnd()) return rule;

    if (!r.Name()) return std::nullopt;
    int dstOffset = stdOffset - 3600;
    if (r.Peek() != ',' && !r.AtEnd() && !r.Offset(dstOffset)) return std::nullopt;
    rule.DaylightBias = (dstOffset - stdOffset) / 60;
    if (r.AtEnd()) {
        // No transition rules given: the POSIX default of the United States.
        rule.DaylightDate = TransitionRule{3, 0, 2, 2, 0, 0, 0};
        rule.StandardDate = TransitionRule{11, 0, 1, 2, 0, 0, 0};
        return rule;
    }
    if (!r.Take(',') || !r.Transition(rule.DaylightDate) || !r.Take(',') ||
        !r.Transition(rule.StandardDate) || !r.AtEnd()) {
        return std::nullopt;
    }
    return rule;
}

std::optional<TimeZoneRule> ReadZoneFileRule(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 6 || data.compare(0, 4, "TZif") != 0 || data[4] < '2') return std::nullopt;
    if (data.back() != '\n') return std::nullopt;
    const auto start = data.rfind('\n', data.size() - 2);
    if (start == std::string::npos) return std::nullopt;
    return ParsePosixRule(std::string_view(data).substr(start + 1, data.size() - start - 2));
}

std::optional<TimeZoneRule> NamedTimeZoneRule(const std::string& name) {
    if (name.empty() || name.front() == '/') return std::nullopt;
    return ReadZoneFileRule(ZoneFilePath(name));
}

TimeZoneRule SystemTimeZoneRule() {
    const char* tz = std::getenv("TZ");
    std::string path = "/etc/localtime";
    if (tz) {
        std::string_view value(tz);
        if (value.empty()) return {};
        if (value.front() == ':') {
            value.remove_prefix(1);
        } else if (auto rule = ParsePosixRule(value)) {
            return *rule;
        }
        path = ZoneFilePath(std::string(value));
    }
    return ReadZoneFileRule(path).value_or(TimeZoneRule{});
}

TimeZoneRule CurrentTimeZoneRule() {
    ProviderState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.provider) return state.provider();
    // Reading the zone file for every date of a large load costs more than the load;
    // the rule is read again whenever the TZ variable changes.
    const char* tz = std::getenv("TZ");
    const std::string key = tz ? std::string("=") + tz : std::string();
    if (!state.cached || state.cachedKey != key) {
        state.cachedRule = SystemTimeZoneRule();
        state.cachedKey = key;
        state.cached = true;
    }
    return state.cachedRule;
}

void SetTimeZoneProvider(TimeZoneProvider provider) {
    ProviderState& state = State();
    std::lock_guard lock(state.mutex);
    state.provider = std::move(provider);
}

ScopedTimeZone::ScopedTimeZone(const TimeZoneRule& rule) {
    ProviderState& state = State();
    std::lock_guard lock(state.mutex);
    previous_ = std::exchange(state.provider, [rule] { return rule; });
}

ScopedTimeZone::ScopedTimeZone(std::string_view posixRule)
    : ScopedTimeZone(ParsePosixRule(posixRule).value_or(TimeZoneRule{})) {}

ScopedTimeZone::~ScopedTimeZone() {
    SetTimeZoneProvider(std::move(previous_));
}

}  // namespace orvanta
