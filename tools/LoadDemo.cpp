// orvanta-load: loads one data store of a SyncML server and lists its items.
//   orvanta-load URL USER PASSWORD [cal|card|task|vnote] [DATASOURCE] [--fields]
//                [--ca-file FILE]
// With --fields (anywhere on the line) each item is printed as one JSON object per line
// with every field of its kind, as the editors see them. --ca-file names the certificate
// authority of a server with a private one. Exit status: 0 loaded, 1 failed, 2 wrong
// usage, 3 loaded but the server's items were refused in part (said on stderr).
// --help prints the usage and --version the version, both on stdout, and end with 0.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kinds/KindTable.h"

using namespace orvanta;

namespace {

std::string Quoted(std::string_view utf8) {
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

std::string Quoted(const WideString& text) {
    return Quoted(ToUTF8(text));
}

// A local moment as ISO 8601 with the UTC offset in force at that moment; 0 is null.
std::string Moment(TDateTime local) {
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
               "\",\"Time\":" + Moment(r.Time) + "}";
    }
    return out + "]";
}

// A field's value as JSON.
std::string Json(const FieldValue& value) {
    struct {
        std::string operator()(const WideString& text) const { return Quoted(text); }
        std::string operator()(LocalMoment m) const { return Moment(m.Value); }
        std::string operator()(CalendarDate d) const { return Date(d.Value); }
        std::string operator()(bool flag) const { return flag ? "true" : "false"; }
        std::string operator()(std::int32_t n) const { return std::to_string(n); }
        std::string operator()(const std::vector<TReminder>& r) const { return Reminders(r); }
    } json;
    return std::visit(json, value);
}

}  // namespace

int main(int argc, char** argv) {
    bool fields = false;
    bool usage = false;
    bool help = false;
    std::string caFile;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--fields") {
            fields = true;
        } else if (arg == "--help") {
            help = true;
        } else if (arg == "--version") {
            std::printf("orvanta-load %s\n", ORVANTA_VERSION);
            return 0;
        } else if (arg == "--ca-file") {
            usage |= i + 1 == argc;
            if (i + 1 < argc) caFile = argv[++i];
        } else {
            args.emplace_back(arg);
        }
    }
    if (help || usage || args.size() < 3) {
        std::string kinds;
        for (const DataKind& kind : DataKinds())
            kinds += (kinds.empty() ? "" : "|") + kind.Keyword;
        std::fprintf(help ? stdout : stderr,
                     "usage: %s URL USER PASSWORD [%s] [DATASOURCE] [--fields] [--ca-file FILE]\n",
                     argv[0], kinds.c_str());
        return help ? 0 : 2;
    }
    const DataKind* kind = nullptr;
    try {
        kind = &KindNamed(args.size() > 3 ? args[3] : "card");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
        return 2;
    }
    const std::unique_ptr<TSMLBase> client = kind->MakeClient();
    client->SetServerURL(args[0]);
    client->UserName = args[1];
    client->Password = args[2];
    if (args.size() > 4) client->DataSource = args[4];
    client->SetCAFile(caFile);
    try {
        client->Load("");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Orvanta: %s\n", e.what());
        return 1;
    }
    for (const auto& item : client->Items) {
        if (!fields) {
            std::printf("%-24s %s\n", item->ID.c_str(), ToUTF8(item->GetTitle()).c_str());
            continue;
        }
        std::string line = "{\"id\":" + Quoted(item->ID) + ",\"title\":" + Quoted(item->GetTitle());
        for (const auto& [name, value] : kind->Fields(*item))
            line += std::string(",\"") + name + "\":" + Json(value);
        std::printf("%s}\n", line.c_str());
    }
    std::printf("%zu items\n", client->Items.size());
    // The only sign that the list is not the whole data source.
    if (!client->Refused.empty()) {
        std::fflush(stdout);  // after the list, also where both go to one pipe
        std::fprintf(stderr, "Orvanta: %s\n", RefusedReport(client->Refused).c_str());
        return 3;
    }
    return 0;
}
