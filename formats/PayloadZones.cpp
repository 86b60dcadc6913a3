#include "formats/PayloadZones.h"

#include "formats/Failure.h"
#include "formats/ItemKinds.h"
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
    // Blocks are told by the rule the items and the file reader share: BEGIN and END in
    // any letter case, blanks around the name.
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (!IsBlockLine(lines_[i], "BEGIN", "VTIMEZONE")) continue;
        std::string tzid;
        std::size_t depth = 0;
        std::size_t end = i + 1;
        for (; end < lines_.size(); ++end) {
            const std::string_view line = lines_[end];
            if (!BlockName(line, "BEGIN").empty()) {
                ++depth;
            } else if (!BlockName(line, "END").empty()) {
                if (depth-- == 0) break;
            } else if (depth == 0 && PropertyNameIs(line, "TZID")) {
                tzid = ToUTF8(GetPropertyValue(line));
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
        // libical's copy of the block names its blocks as libical expects them: no blanks
        // around the name, which the payload may have.
        std::string text;
        for (std::size_t i = block->second.begin; i <= block->second.end && i < lines_.size();
             ++i) {
            const std::string_view line = lines_[i];
            if (const std::string_view name = BlockName(line, "BEGIN"); !name.empty()) {
                text.append("BEGIN:").append(name);
            } else if (const std::string_view end = BlockName(line, "END"); !end.empty()) {
                text.append("END:").append(end);
            } else {
                text.append(line);
            }
            text.append("\r\n");
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
