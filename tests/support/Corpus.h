#pragma once

#include <functional>
#include <memory>
#include <string>
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
    // The reference of the fields the file reads to, as FilledFields writes them: the
    // file NAME.fields beside it; empty when there is none.
    std::string fields;
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

// A test name for each file of the corpus: its name with every character that is not a
// letter or digit made "_".
[[nodiscard]] std::string CorpusTestName(const CorpusFile& file);

// The names of the property lines that start in a payload's raw text (continuations
// and quoted-printable soft-broken parts aside), upper-cased, in order.
[[nodiscard]] std::vector<std::string> RawPropertyNames(const std::string& text);

}  // namespace orvanta::test
