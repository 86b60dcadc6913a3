#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ranges>
#include <regex>
#include <sstream>

#include "engine/SyncMLMessage.h"
#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/ObjectFile.h"
#include "formats/PayloadZones.h"
#include "formats/SyncMLItem.h"
#include "formats/TextCodec.h"
#include "formats/TimeZoneRule.h"
#include "kinds/KindTable.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/Scaling.h"

namespace orvanta {
namespace {

using test::At;
using test::kCentralEurope;
using test::Lines;

// A local moment from a table: ISO 8601 text, or a day number.
TDateTime Moment(const std::string& text) {
    return text.find_first_of("T-") != std::string::npos ? TextToDateTime(text) : std::stod(text);
}

std::string Bracketed(const auto& parts) {
    std::string out;
    for (const auto& part : parts)
        ((out += '[') += part) += ']';
    return out;
}

// The client's TZ variable set to `value` while it lives.
struct ScopedTZ {
    explicit ScopedTZ(const std::string& value) { setenv("TZ", value.c_str(), 1); }
    ~ScopedTZ() { before ? setenv("TZ", before->c_str(), 1) : unsetenv("TZ"); }
    // Read before the constructor sets the variable.
    const std::optional<std::string> before =
        std::getenv("TZ") ? std::optional<std::string>(std::getenv("TZ")) : std::nullopt;
};

// A text written into a message as an element, a Meta value, a LocURI and CDATA, and read
// back in that order; the size the writer gave before closing must be exact.
std::string WrittenAndRead(const std::string& text) {
    TMessageWriter message;
    message.Start();
    message.Open("Add");
    message.Element("Text", text);
    message.Meta("Type", text);
    message.Open("Item");
    message.LocURI("Source", text);
    message.CData("Data", text);
    const std::size_t counted = message.Size();
    std::string written = message.Finish();
    pugi::xml_document reply;
    ParseReply(reply, written);
    const pugi::xml_node add = Child(reply.document_element(), "Add");
    std::string read;
    for (const char* path : {"Text", "Meta/Type", "Item/Source/LocURI", "Item/Data"})
        read += (read.empty() ? "" : " | ") + Text(Path(add, path));
    return counted == written.size() ? read : read + " (counted " + std::to_string(counted) + ")";
}

using Args = std::vector<std::string>;

// The operations the tables of tests/data/formats name, each from its arguments to the
// text it is compared by.
std::string Operate(const std::string& op, const Args& a) {
    if (op == "utf8")
        return (IsWellFormedUTF8(a[0]) ? "well-formed: " : "not UTF-8: ") + ToUTF8(FromUTF8(a[0]));
    if (op == "utf16") {
        WideString units;
        for (std::size_t i = 0; i + 1 < a[0].size(); i += 2)
            units += static_cast<char16_t>(static_cast<unsigned char>(a[0][i]) |
                                           static_cast<unsigned char>(a[0][i + 1]) << 8);
        return ToUTF8(units);
    }
    if (op == "qp") {
        const std::string encoded = EncodeQP(a[0]);
        const std::string back = DecodeQP(encoded);
        return back == a[0] ? encoded : encoded + " (reads back as " + back + ")";
    }
    if (op == "qp-encode") return EncodeQP(a[0]);
    if (op == "qp-decode") return DecodeQP(a[0]);
    if (op == "base64") return EncodeBase64(a[0]);
    if (op == "property") {
        const std::string name = GetPropertyName(a[0]);
        return name + " | " + GetPropertyParamText(a[0]) + " | " + ToUTF8(GetPropertyValue(a[0])) +
               (PropertyNameIs(a[0], name) ? "" : " (the name does not match)");
    }
    if (op == "name-is") return PropertyNameIs(a[0], a[1]) ? "true" : "false";
    if (op == "value") return ToUTF8(GetPropertyValue(a[0], std::stoi(a[1]), a.size() > 2));
    if (op == "fields") {
        std::vector<WideString> read(8, u"-");
        std::array<WideString*, 8> into;
        for (std::size_t k = 0; k < read.size(); ++k)
            into[k] = &read[k];
        ReadPropertyValues(a[0], false, into);
        std::string out;
        for (const WideString& field : read)
            out += field == u"-" ? "-" : "[" + ToUTF8(field) + "]";
        return out;
    }
    if (op == "find") {
        ParamList params;
        for (const auto part : std::views::split(a[2], ','))
            params.emplace_back(part.begin(), part.end());
        if (a[2] == "-") params = {""};
        // Any kind's item: the search is the same for all.
        const auto item = KindNamed("vnote").MakeClient()->CreateItem();
        item->Lines = SplitPayloadLines(a[0]);
        item->StartLine = std::stoi(a[3]);
        return std::to_string(item->FindProperty(a[1], params));
    }
    if (op == "split") return Bracketed(SplitPayloadLines(a[0]));
    if (op == "edit") {
        ItemLines lines = SplitPayloadLines(a[0]);
        for (const std::string& step : a | std::views::drop(1)) {
            static const std::regex kStep(R"((\w+)(?: (\d+))?(?: ([\s\S]*))?)");
            std::smatch m;
            if (!std::regex_match(step, m, kStep)) throw std::invalid_argument("no step " + step);
            const std::size_t at = m[2].matched ? std::stoul(m[2]) : 0;
            if (m[1] == "replace") lines.Replace(at, m[3].str());
            if (m[1] == "copy") lines.Replace(at, lines[0].substr(std::stoul(m[3])));
            if (m[1] == "insert") lines.Insert(at, m[3].str());
            const ItemLines block = SplitPayloadLines(m[3].str());
            const std::vector<std::string_view> views(block.begin(), block.end());
            if (m[1] == "block") lines.Insert(at, views);
            if (m[1] == "erase") lines.Erase(at, std::stoul(m[3]));
            if (m[1] == "append") lines.push_back(m[3].str());
        }
        return Bracketed(lines);
    }
    if (op == "unfold") {
        ItemLines lines = SplitPayloadLines(a[0]);
        UnfoldLines(lines);
        // Written back and read again, the lines stay as they are.
        ItemLines again = SplitPayloadLines(test::Joined(Lines(lines.begin(), lines.end())));
        UnfoldLines(again);
        return Bracketed(lines) + (again == lines ? "" : " (read again: " + Bracketed(again) + ")");
    }
    if (op == "duration") return DurationToText(std::stod(a[0]) / 86400);
    if (op == "datetime-text") return DateTimeToText(Moment(a[0]));
    if (op == "date") return DateToText(Moment(a[0]));
    if (op == "reads") return test::LocalText(TextToDateTime(a[0]));
    if (op == "reads-duration") return std::to_string(std::lround(TextToDateTime(a[0]) * 86400));
    if (op == "reads-date") return test::LocalText(ParseDateText(a[0]), false);
    if (op == "posix") return PosixTimeZone(a[0]) ? "a rule" : "none";
    if (op == "tzid") return TzidOf(a[0]);
    if (op == "tz") {
        ScopedTZ tz(a[0]);
        return std::to_string(LocalOffsetMinutes(At(2024, 1, 15, 12))) + " " +
               std::to_string(LocalOffsetMinutes(At(2024, 7, 15, 12)));
    }
    if (op == "message") return WrittenAndRead(a[0]);
    if (op == "events") {  // how many events a file holds, and their bytes in all
        const ObjectFileItems items = SplitObjectFile(a[0], "VEVENT");
        std::size_t bytes = 0;
        for (const std::string& payload : items.Payloads)
            bytes += payload.size();
        return std::to_string(items.Payloads.size()) + " events, " + std::to_string(bytes) +
               " bytes";
    }
    if (op == "grows") {
        const auto input = [&a](std::size_t n) {  // each {part} n times, "#" its number
            static const std::regex kPart(R"(\{([^}]*)\}|[^{]+)");
            std::string text;
            for (std::sregex_iterator m(a[1].begin(), a[1].end(), kPart), end; m != end; ++m) {
                for (std::size_t i = 0; i < ((*m)[1].matched ? n : 1); ++i)
                    text += std::regex_replace((*m)[1].matched ? (*m)[1].str() : m->str(),
                                               std::regex("#"), std::to_string(i));
            }
            return text;
        };
        const std::string small = input(std::stoul(a[2])), large = input(10 * std::stoul(a[2]));
        const double ratio = test::TimeRatio([&] { (void)Operate(a[0], {small}); },
                                             [&] { (void)Operate(a[0], {large}); });
        return ratio < 30 ? "in step" : "grows " + std::to_string(ratio) + " times";
    }
    // The rest read a local moment in a zone of their own.
    ScopedTimeZone zone(a[0]);
    const TDateTime local = a.size() > 1 ? Moment(a[1]) : 0;
    if (op == "offset") return std::to_string(LocalOffsetMinutes(local));
    if (op == "moment") {
        const std::string moment = MomentToText(local);
        const bool same = std::abs(TextToDateTime(moment) - local) < 1e-6;
        return moment + " | " + DateTimeToText(local) + (same ? "" : " (reads back otherwise)");
    }
    if (op == "to-utc") {
        const bool same = std::abs(UTCToLocal(LocalToUTC(local)) - local) < 1e-6;
        return test::LocalText(LocalToUTC(local)) + (same ? "" : " (back otherwise)");
    }
    throw std::invalid_argument("no operation " + op);
}

// Every line of the tables in tests/data/formats: "OPERATION ARGUMENT [| MORE] =>
// EXPECTED", escapes as Unescaped reads them; a failure gives "! message". Local moments
// are read in Central European time unless the case names a zone (or the TZ variable).
// "{sydney copy}" is a copy of a zone file outside the zone folder.
TEST(FormatTables, EveryCaseGivesItsResult) {
    const std::string copy = ::testing::TempDir() + "orvanta-zone-copy";
    std::filesystem::copy_file("/usr/share/zoneinfo/Australia/Sydney", copy,
                               std::filesystem::copy_options::overwrite_existing);
    static const std::regex kCase(R"((\S+) ?(.*?) =>(?: (.*))?)");
    int cases = 0;
    for (const auto& path : test::CaseFiles("formats", ".txt")) {
        std::istringstream in(test::ReadFile(path));
        int number = 0;
        for (std::string text; std::getline(in, text);) {
            ++number;
            const std::string line =
                std::regex_replace(text, std::regex(R"(\{sydney copy\})"), copy);
            std::smatch m;
            if (line.starts_with('#') || !std::regex_match(line, m, kCase)) continue;
            const std::string op = m[1];
            Args args;
            std::string rest = m[2];
            for (std::size_t bar; (bar = rest.find(" | ")) != std::string::npos;) {
                args.push_back(test::Unescaped(rest.substr(0, bar)));
                rest.erase(0, bar + 3);
            }
            args.push_back(test::Unescaped(rest));
            std::optional<ScopedTimeZone> zone;
            if (op != "tz") zone.emplace(kCentralEurope);  // the TZ variable decides there
            std::string got;
            try {
                got = Operate(op, args);
            } catch (const Failure& failure) {
                got = std::string("! ") + failure.what();
            }
            EXPECT_EQ(got, test::Unescaped(m[3].str()))
                << path.filename().string() << ":" << number << ": " << line;
            ++cases;
        }
    }
    EXPECT_GT(cases, 150);  // every table was read
}

// Each file of data/zones is a payload of time-zone blocks and date lines; after each
// date line, X-EXPECT holds what the client reads: the local time and its offset in
// minutes in the client's zone that the last X-CLIENT-ZONE line named.
TEST(PayloadZones, EveryValueIsTheTrueMoment) {
    for (const auto& file : test::CaseFiles("zones", ".ics")) {
        ItemLines lines = SplitPayloadLines(test::ReadFile(file));
        UnfoldLines(lines);
        PayloadZones zones(lines);
        std::optional<ScopedTimeZone> client;
        for (std::size_t i = 1; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            const std::string_view value = line.substr(line.find(':') + 1);
            if (GetPropertyName(line) == "X-CLIENT-ZONE") {
                client.emplace(value);
            } else if (GetPropertyName(line) == "X-EXPECT") {
                const TDateTime local = zones.Read(lines[i - 1]);
                EXPECT_EQ(test::LocalText(local) + " " + std::to_string(LocalOffsetMinutes(local)),
                          value)
                    << file.filename() << ": " << lines[i - 1];
            }
        }
    }
}

}  // namespace
}  // namespace orvanta
