#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SyncMLBase.h"

namespace orvanta {
struct DataKind;
}  // namespace orvanta

namespace orvanta::test {

// One real-world shaped payload of tests/data, with what the round trips need: its kind,
// the store client of its kind, one edit through a setter and the property it rewrites.
struct CorpusFile {
    std::string name;
    std::string text;
    const DataKind* kind;
    std::string store;  // the real server's store of its kind
    std::function<std::unique_ptr<TSMLBase>()> makeClient;
    std::function<void(TSMLItem&)> change;
    std::string property;
};

// The value the edits write.
extern const WideString kCorpusEdit;

// Every payload of tests/data, sorted by name (README.md and the references aside); the kind of
// each is the first of the kinds table whose file extensions hold the file's and whose component
// the file holds: .vcf contacts, .vnt notes, .ics and .vcs events, or tasks when they
// hold a VTODO and no VEVENT. A file of no kind fails.
[[nodiscard]] std::vector<CorpusFile> CorpusFiles();

// The fields of an item of the kind that hold a value (a text not empty, a moment or date,
// a flag that is set, a number not zero, reminders), one "Name=value" line each in the
// order of the kind's fields: texts with "\r", "\n" and "\\" for CR, LF and backslash,
// moments "2026-07-15T10:00:00" in local time, dates "1970-01-31", reminders "15 Minutes
// Popup" or "ByTime 2024-06-01T08:15:00 Email", several joined by " / ".
[[nodiscard]] std::string FilledFields(const DataKind& kind, const TSMLItem& item);

// A local moment as "2026-07-15T10:00:00", or its date alone as "2026-07-15".
[[nodiscard]] std::string LocalText(TDateTime value, bool withTime = true);

// Sets one field of an item as "Name=value", the value written as FilledFields writes it
// (an empty one clears a moment or date). "Title=..." or "Summary=..." sets the title of any kind;
// "Reminders+=15 Minutes Popup" adds a reminder and "Reminders-=2" deletes the second.
void SetField(TSMLItem& item, const std::string& assignment);

// A text on one line: CR, LF and "\" as "\r", "\n" and "\\", other bytes below 32 as
// "\xHH"; and such a text read back.
[[nodiscard]] std::string Escaped(std::string_view text);
// A text as FilledFields writes it, read back: "\r", "\n" and "\\" for CR, LF and "\",
// and "\xHH" for any byte.
[[nodiscard]] std::string Unescaped(std::string_view text);

// One part of a case file: "== head" on a line of its own, the lines up to the next head.
struct Section {
    std::string Head;
    std::string Body;  // each line ended with "\n"
};
// The sections of a case file; the lines before the first head come as a section with an
// empty head.
[[nodiscard]] std::vector<Section> ReadSections(std::string_view text);

// The files of a folder of tests/data whose names end in `extension`, sorted.
[[nodiscard]] std::vector<std::filesystem::path> CaseFiles(const std::string& folder,
                                                           const std::string& extension);

// A script of commands with the output each gives indented under it ("  "), as the
// replica's and the sessions' case files are: the text run afresh, comments and blank
// lines kept. A command's input is the lines after it that begin with "| ".
using CaseCommand = std::function<std::vector<std::string>(const std::string& command,
                                                           const std::vector<std::string>& input)>;
[[nodiscard]] std::string Transcript(std::string_view text, const CaseCommand& run);
// Expects the case file to read as `transcript`; with ORVANTA_UPDATE_CASES=1 in the
// environment writes the transcript into the file instead, for review.
void ExpectTranscript(const std::filesystem::path& file, const std::string& transcript);

// A test name made of a file name: every character that is not a letter or digit made "_".
[[nodiscard]] std::string TestName(std::string name);
[[nodiscard]] std::string CorpusTestName(const CorpusFile& file);

// The names of the property lines that start in a payload's raw text (continuations
// and quoted-printable soft-broken parts aside), upper-cased, in order.
[[nodiscard]] std::vector<std::string> RawPropertyNames(const std::string& text);

}  // namespace orvanta::test
