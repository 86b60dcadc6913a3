// orvanta-sync on the command line, as cases in tests/data/sync-tool: the replica's case
// commands (to set up conflicts and look at the replica) and these:
//   tool ARGS...       orvanta-sync with the case's replica and account, then ARGS; its
//                      stdout, its stderr ("2> " before each line) and "exit N"
//   bare ARGS...       the same with ARGS alone
//   password TEXT      ORVANTA_PASSWORD for the tool runs after it (none before)
//   file NAME TEXT...  writes a file of the case's folder, the words one after the other
//   cat NAME           a file's lines; exists NAME: whether it is there
// The tool runs without a terminal, in UTC; file names are relative to the case's folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/ChildProcess.h"
#include "support/Payloads.h"
#include "support/Corpus.h"
#include "support/ReplicaCase.h"
#include "support/ReplicaSupport.h"

using namespace orvanta;
using namespace orvanta::test;
namespace fs = std::filesystem;

namespace {

class ToolCase : public TReplicaCase {
public:
    explicit ToolCase(const fs::path& dir) : TReplicaCase(dir), dir_(dir) {}

private:
    bool Command(const std::vector<std::string>& w) override {
        const std::string& c = w.at(0);
        if (c == "tool" || c == "bare") {
            std::vector<std::string> args{"--replica",     File().string(), "--server",
                                          Key().ServerURL, "--user",        Key().UserName};
            if (c == "bare") args.clear();
            args.insert(args.end(), w.begin() + 1, w.end());
            const ToolRun run =
                ToolProcess(ORVANTA_SYNC_TOOL, args, {"TZ=UTC", password_}, dir_).Wait();
            Lines(run.Out, "");
            Lines(run.Err, "2> ");
            Out("exit " + std::to_string(run.Status));
        } else if (c == "password") {
            password_ = "ORVANTA_PASSWORD=" + w.at(1);
        } else if (c == "file") {
            std::string text;
            for (std::size_t i = 2; i < w.size(); ++i)
                text += Unescaped(w[i]);
            std::ofstream(dir_ / w.at(1), std::ios::binary) << text;
        } else if (c == "cat") {
            Lines(ReadFile(dir_ / w.at(1)), "");
        } else if (c == "exists") {
            Out(fs::exists(dir_ / w.at(1)) ? "yes" : "no");
        } else {
            return false;
        }
        return true;
    }

    // Printable ASCII and blanks as they are, other bytes as \xHH; the milliseconds of a
    // failed connection as N.
    void Lines(const std::string& text, const std::string& prefix) {
        static const std::regex milliseconds("after [0-9]+ ms");
        std::istringstream in(std::regex_replace(text, milliseconds, "after N ms"));
        for (std::string line; std::getline(in, line);) {
            std::string shown = prefix;
            for (const char c : line)
                shown += c == ' ' ? std::string(" ") : Escape(std::string_view(&c, 1));
            Out(shown);
        }
    }

    fs::path dir_;
    std::string password_ = "ORVANTA_PASSWORD";  // not set
};

class SyncToolCase : public ::testing::TestWithParam<fs::path> {};

TEST_P(SyncToolCase, GivesTheExpectedOutput) {
    const TempFolder dir;
    ToolCase tool(dir.Path());
    ExpectTranscript(GetParam(), Transcript(ReadFile(GetParam()), [&](const auto& line, auto&) {
                         return tool.Run(line);
                     }));
}

INSTANTIATE_TEST_SUITE_P(Cases, SyncToolCase,
                         ::testing::ValuesIn(CaseFiles("sync-tool", ".case")),
                         [](const auto& info) { return TestName(info.param.stem().string()); });

}  // namespace
