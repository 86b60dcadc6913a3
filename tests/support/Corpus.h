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
};

// The value the edits write.
extern const WideString kCorpusEdit;

// Every file of tests/data, sorted by name (README.md aside); the kind of each is the
// first of the kinds table whose file extensions hold the file's and whose component
// the file holds: .vcf contacts, .vnt notes, .ics and .vcs events, or tasks when they
// hold a VTODO and no VEVENT. A file of no kind fails.
[[nodiscard]] std::vector<CorpusFile> CorpusFiles();

// A test name for each file of the corpus: its name with every character that is not a
// letter or digit made "_".
[[nodiscard]] std::string CorpusTestName(const CorpusFile& file);

// The names of the property lines that start in a payload's raw text (continuations
// and quoted-printable soft-broken parts aside), upper-cased, in order.
[[nodiscard]] std::vector<std::string> RawPropertyNames(const std::string& text);

}  // namespace orvanta::test
