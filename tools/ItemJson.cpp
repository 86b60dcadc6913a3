#include "tools/ItemJson.h"

#include <cstdio>
#include <variant>
#include <vector>

#include "kinds/KindTable.h"

namespace orvanta {

namespace {

std::string Quoted(const WideString& text) {
    return JsonQuoted(ToUTF8(text));
}

}  // namespace

std::string JsonMoment(TDateTime local) {
    if (local == 0) return "null";
    const DateTimeParts p = DecodeDateTime(local);
    const int offset = LocalOffsetMinutes(local);
    const int magnitude = offset < 0 ? -offset : offset;
    char buf[48];
    std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d\"", p.Year, p.Month,
                  p.Day, p.Hour, p.Minute, p.Second, offset < 0 ? '-' : '+', magnitude / 60,
                  magnitude % 60);
    return buf;
}

namespace {

std::string Date(TDateTime local) {
    if (local == 0) return "null";
    const DateTimeParts p = DecodeDateTime(local);
    char buf[24];
    std::snprintf(buf, sizeof buf, "\"%04d-%02d-%02d\"", p.Year, p.Month, p.Day);
    return buf;
}

std::string Reminders(const std::vector<TReminder>& reminders) {
    static constexpr const char* kPeriods[] = {"Minutes", "Hours", "Days", "Weeks", "ByTime"};
    std::string out = "[";
    for (const TReminder& r : reminders) {
        if (out.size() > 1) out += ',';
        out += "{\"Number\":" + std::to_string(r.Number) + ",\"Period\":\"" +
               kPeriods[static_cast<int>(r.Period)] + "\",\"Method\":\"" +
               (r.Method == ReminderMethod::Email ? "Email" : "Popup") +
               "\",\"Time\":" + JsonMoment(r.Time) + "}";
    }
    return out + "]";
}

// A field's value as JSON.
std::string Json(const FieldValue& value) {
    struct {
        std::string operator()(const WideString& text) const { return Quoted(text); }
        std::string operator()(LocalMoment m) const { return JsonMoment(m.Value); }
        std::string operator()(CalendarDate d) const { return Date(d.Value); }
        std::string operator()(bool flag) const { return flag ? "true" : "false"; }
        std::string operator()(std::int32_t n) const { return std::to_string(n); }
        std::string operator()(const std::vector<TReminder>& r) const { return Reminders(r); }
    } json;
    return std::visit(json, value);
}

}  // namespace

std::string JsonQuoted(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", byte);
            out += buf;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string ItemJson(const DataKind& kind, const TSMLItem& item, std::string_view id) {
    std::string line = "{\"id\":" + JsonQuoted(id) + ",\"title\":" + Quoted(item.GetTitle());
    for (const auto& [name, value] : kind.Fields(item))
        line += std::string(",\"") + name + "\":" + Json(value);
    return line + "}";
}

}  // namespace orvanta
