#include "support/Corpus.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>

#include "kinds/CalSyncML.h"
#include "kinds/ContSyncML.h"
#include "kinds/NoteSyncML.h"
#include "kinds/TaskSyncML.h"
#include "support/Payloads.h"

namespace orvanta::test {

const WideString kCorpusEdit = u"Ge\u00E4ndert \u2013 \U0001F389";

namespace {

template <class Client>
std::function<std::unique_ptr<TSMLBase>()> Make() {
    return [] { return std::make_unique<Client>(); };
}

template <class Item>
std::function<void(TSMLItem&)> Edit(void (Item::*setter)(const WideString&)) {
    return [setter](TSMLItem& item) { (static_cast<Item&>(item).*setter)(kCorpusEdit); };
}

}  // namespace

std::vector<CorpusFile> CorpusFiles() {
    std::vector<CorpusFile> files;
    for (const auto& entry : std::filesystem::directory_iterator(ORVANTA_TEST_DATA)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || ext == ".md") continue;
        const std::string text = ReadFile(entry.path());
        const std::string name = entry.path().filename().string();
        if (ext == ".vcf") {
            files.push_back(
                {name, text, "card", Make<TSMLContacts>(), Edit(&TSMLContact::SetFirstName), "N"});
        } else if (ext == ".vnt") {
            files.push_back(
                {name, text, "vnote", Make<TSMLNotes>(), Edit(&TSMLNote::SetTitle), "SUMMARY"});
        } else if (text.find("BEGIN:VTODO") != std::string::npos) {
            files.push_back(
                {name, text, "task", Make<TSMLTasks>(), Edit(&TSMLTask::SetTitle), "SUMMARY"});
        } else {
            files.push_back(
                {name, text, "cal", Make<TSMLCalendar>(), Edit(&TSMLEvent::SetTitle), "SUMMARY"});
        }
    }
    std::sort(files.begin(), files.end(),
              [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
    return files;
}

std::vector<std::string> RawPropertyNames(const std::string& text) {
    // A property starts a line with its name and a ";" or ":"; folded parts start with
    // a blank and soft-broken quoted-printable parts with their text.
    static const std::regex kStart("^([A-Za-z][A-Za-z0-9-]*)[;:]");
    std::vector<std::string> names;
    for (const std::string_view view : SplitPayloadLines(text)) {
        const std::string line(view);
        std::smatch m;
        if (!std::regex_search(line, m, kStart)) continue;
        std::string name = m[1];
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        names.push_back(name);
    }
    return names;
}

std::string CorpusTestName(const CorpusFile& file) {
    std::string name = file.name;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

}  // namespace orvanta::test
