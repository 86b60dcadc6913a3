#include "formats/PayloadZones.h"

#include "formats/Failure.h"
#include "formats/SyncMLItem.h"

namespace orvanta {

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
        if (!tzid.empty()) blocks_.try_emplace(tzid, Block{i, end});
        i = end;
    }
}

const TimeZone* PayloadZones::Find(const std::string& tzid) {
    if (!collected_) Collect();
    const auto [known, added] = zones_.try_emplace(tzid);
    if (!added) return known->second.get();
    ZonePtr& zone = known->second;
    if (const auto block = blocks_.find(tzid); block != blocks_.end()) {
        std::string text;
        for (std::size_t i = block->second.begin; i <= block->second.end && i < lines_.size();
             ++i) {
            text.append(lines_[i]).append("\r\n");
        }
        zone = VTimeZone(text);
    }
    if (!zone) zone = NamedTimeZone(tzid);
    return zone.get();
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
    const TimeZone* zone = Find(tzid);
    if (!zone) return read;
    return UTCToLocal(zone->ToUTC(read));
}

}  // namespace orvanta
