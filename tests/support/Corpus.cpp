#include "support/Corpus.h"

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <variant>

#include <gtest/gtest.h>

#include "kinds/ContSyncML.h"
#include "kinds/KindTable.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Payloads.h"

namespace orvanta::test {

const WideString kCorpusEdit = u"Ge\u00E4ndert \u2013 \U0001F389";

std::vector<CorpusFile> CorpusFiles() {
    std::vector<CorpusFile> files;
    for (const auto& entry : std::filesystem::directory_iterator(ORVANTA_TEST_DATA)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || ext == ".md" || ext == ".fields") continue;
        const std::string text = ReadFile(entry.path());
        // The first kind whose extensions hold the file's and whose component it holds.
        const auto kind = std::ranges::find_if(DataKinds(), [&](const DataKind& k) {
            return std::ranges::count(k.Extensions, ext.substr(1)) &&
                   text.find("BEGIN:" + k.Component) != std::string::npos;
        });
        if (kind == DataKinds().end())
            throw std::runtime_error(entry.path().string() + " is of no kind of data");
        // The edit: the title, which for a contact is made of its names.
        const bool contact = kind->Keyword == "card";
        const std::string edit = (contact ? "FirstName=" : "Title=") + ToUTF8(kCorpusEdit);
        files.push_back({entry.path().filename().string(), text, &*kind, kind->Keyword,
                         kind->MakeClient, [edit](TSMLItem& item) { SetField(item, edit); },
                         contact ? "N" : "SUMMARY"});
    }
    std::ranges::sort(files, {}, &CorpusFile::name);
    return files;
}

std::string LocalText(TDateTime value, bool withTime) {
    const DateTimeParts p = DecodeDateTime(value);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month, p.Day,
                  p.Hour, p.Minute, p.Second);
    return std::string(text, withTime ? 19 : 10);
}

namespace {

constexpr const char* kPeriods[] = {"Minutes", "Hours", "Days", "Weeks", "ByTime"};

std::string RemindersText(const std::vector<TReminder>& reminders) {
    std::string out;
    for (const TReminder& r : reminders) {
        out += out.empty() ? "" : " / ";
        out += r.Period == ReminderPeriod::ByTime
                   ? "ByTime " + LocalText(r.Time)
                   : std::to_string(r.Number) + " " + kPeriods[static_cast<int>(r.Period)];
        out += r.Method == ReminderMethod::Email ? " Email" : " Popup";
    }
    return out;
}

}  // namespace

std::string FilledFields(const DataKind& kind, const TSMLItem& item) {
    struct {
        std::string operator()(const WideString& t) const { return Escaped(ToUTF8(t)); }
        std::string operator()(LocalMoment m) const { return m.Value ? LocalText(m.Value) : ""; }
        std::string operator()(CalendarDate d) const {
            return d.Value ? LocalText(d.Value, false) : "";
        }
        std::string operator()(bool flag) const { return flag ? "true" : ""; }
        std::string operator()(std::int32_t n) const { return n == 0 ? "" : std::to_string(n); }
        std::string operator()(const std::vector<TReminder>& r) const { return RemindersText(r); }
    } text;
    std::string out;
    for (const ItemField& field : kind.Fields(item)) {
        const std::string value = std::visit(text, field.Value);
        if (!value.empty()) out += std::string(field.Name) + "=" + value + "\n";
    }
    return out;
}

std::string Escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02X", b);
        out += c == '\r'   ? "\\r"
               : c == '\n' ? "\\n"
               : c == '\\' ? "\\\\"
               : b < 32    ? hex
                           : std::string(1, c);
    }
    return out;
}

std::string Unescaped(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] != '\\' || (next != 'r' && next != 'n' && next != '\\' && next != 'x')) {
            out += text[i];
        } else if (next == 'x') {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else {
            out += next == 'r' ? '\r' : next == 'n' ? '\n' : '\\';
            ++i;
        }
    }
    return out;
}

namespace {

TReminder ReminderOf(const std::string& text) {
    std::istringstream in(text);
    std::string first, second, method;
    in >> first >> second >> method;
    const bool byTime = first == "ByTime";
    const auto period = std::ranges::find(kPeriods, byTime ? first : second) - std::begin(kPeriods);
    return {.Number = byTime ? 0 : std::stoi(first),
            .Time = byTime ? TextToDateTime(second) : 0,
            .Period = static_cast<ReminderPeriod>(period),
            .Method = method == "Email" ? ReminderMethod::Email : ReminderMethod::Popup};
}

}  // namespace

void SetField(TSMLItem& item, const std::string& assignment) {
    const std::size_t eq = assignment.find('=');
    std::string name = assignment.substr(0, eq);
    const std::string value = Unescaped(assignment.substr(eq + 1));
    const WideString text = FromUTF8(value);
    const auto moment = [&value] { return value.empty() ? 0 : TextToDateTime(value); };
    const char op = name.back();
    if (op == '+' || op == '-') name.pop_back();
    if (name == "Title" || name == "Summary") return item.SetTitle(text);
    if (auto* e = dynamic_cast<TSMLEvent*>(&item)) {
        if (name == "Location") return e->SetLocation(text);
        if (name == "Description") return e->SetDescription(text);
        if (name == "Start") return e->SetStart(moment());
        if (name == "End") return e->SetEnd(moment());
        if (name == "AllDay") return e->SetAllDay(value == "true");
        if (name == "Reminders" && op == '+') return e->AddReminder(ReminderOf(value));
        if (name == "Reminders" && op == '-') return e->DeleteReminder(std::stoul(value) - 1);
    } else if (auto* t = dynamic_cast<TSMLTask*>(&item)) {
        if (name == "Description") return t->SetDescription(text);
        if (name == "Due") return t->SetDue(moment());
        if (name == "Alarm") return t->SetAlarm(moment());
        if (name == "Completed") return t->SetCompleted(value == "true");
        if (name == "Priority") return t->SetPriority(value.empty() ? 0 : std::stoi(value));
    } else if (auto* n = dynamic_cast<TSMLNote*>(&item)) {
        if (name == "Body") return n->SetBody(text);
    } else if (auto* c = dynamic_cast<TSMLContact*>(&item)) {
        if (name == "Birthday") return c->SetBirthday(moment());
        for (const ContactField& field : ContactFields()) {
            if (field.Text && field.Name == name) return c->Set(field.Text, text);
        }
    }
    throw std::invalid_argument("no field to set: " + assignment);
}

std::vector<Section> ReadSections(std::string_view text) {
    std::vector<Section> sections(1);
    for (const std::string_view line : SplitPayloadLines(text)) {
        if (line.starts_with("== ")) {
            sections.push_back({std::string(line.substr(3)), {}});
        } else {
            sections.back().Body.append(line).append("\n");
        }
    }
    return sections;
}

std::vector<std::filesystem::path> CaseFiles(const std::string& folder,
                                             const std::string& extension) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(ORVANTA_TEST_DATA) / folder)) {
        if (entry.path().extension() == extension) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string Transcript(std::string_view text, const CaseCommand& run) {
    const ItemLines lines = SplitPayloadLines(text);
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].starts_with("  ")) continue;  // the output of before: made anew
        out.append(lines[i]).append("\n");
        if (lines[i].empty() || lines[i].starts_with('#') || lines[i].starts_with("| ")) continue;
        std::vector<std::string> input;
        std::size_t next = i + 1;
        for (; next < lines.size() && lines[next].starts_with("| "); ++next) {
            input.emplace_back(lines[next].substr(2));
            out.append(lines[next]).append("\n");
        }
        for (const std::string& result : run(std::string(lines[i]), input))
            out += "  " + result + "\n";
        i = next - 1;
    }
    return out;
}

void ExpectTranscript(const std::filesystem::path& file, const std::string& transcript) {
    if (std::getenv("ORVANTA_UPDATE_CASES") && transcript != ReadFile(file)) {
        std::ofstream(file, std::ios::binary) << transcript;
        GTEST_SKIP() << "written anew: " << file;
    }
    EXPECT_EQ(transcript, ReadFile(file));
}

std::vector<std::string> RawPropertyNames(const std::string& text) {
    // A property starts a line with its name and a ";" or ":"; folded parts start with
    // a blank and soft-broken quoted-printable parts with their text.
    static const std::regex kStart("^([A-Za-z][A-Za-z0-9-]*)[;:]");
    std::vector<std::string> names;
    for (const std::string_view view : SplitPayloadLines(text)) {
        std::match_results<std::string_view::const_iterator> m;
        if (std::regex_search(view.begin(), view.end(), m, kStart))
            names.push_back(AsciiUpper(m[1].str()));
    }
    return names;
}

std::string TestName(std::string name) {
    return std::regex_replace(name, std::regex("[^A-Za-z0-9]"), "_");
}

std::string CorpusTestName(const CorpusFile& file) {
    return TestName(file.name);
}

}  // namespace orvanta::test
