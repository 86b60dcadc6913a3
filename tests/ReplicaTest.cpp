// The replica's behaviour as cases in tests/data/replica/*.case: each is a script of
// offline edits, sessions and server messages, with the output expected of each command
// indented under it (support/ReplicaCase.h); `dump` prints the whole store. The cases
// have these commands more:
//   close              closes the replica (crash opens it again)
//   break WAY [BYTES]  breaks it one of the ways of Break (locked by another
//                      program, read-only, damaged, not a replica, of a newer version, on
//                      a full disk that holds BYTES more); mend: the cause gone, the modes
//                      as they were
//   use open|add [FILE]  opens it (or the replica FILE), or adds 300 items: the problem
//                      and message it fails with ("! PROBLEM: ..."), or "no failure";
//                      use-as-nobody: the same as a user that file modes bind
//   keep-bytes         keeps the file's bytes; same-bytes: whether it still holds them
//   other-begin DATASOURCE  begins a session of the data source on a second connection
//                      to the replica (opened at its first use): "no failure" or the
//                      refusal as for use; other-close closes that connection
// and for tests/data/sync-tool, where orvanta-sync runs on the command line:
//   tool ARGS...       orvanta-sync with the case's replica and account, then ARGS; its
//                      stdout, its stderr ("2> " before each line) and "exit N"
//   bare ARGS...       the same with ARGS alone
//   password TEXT      ORVANTA_PASSWORD for the tool runs after it (none before)
//   file NAME TEXT...  writes a file of the case's folder, the words one after the other
//   cat NAME           a file's lines; exists NAME: whether it is there
// The tool runs without a terminal, in UTC; file names are relative to the case's folder.
// Then a new replica's files, and the Maps of a large first sync.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/ItemCollection.h"
#include "kinds/ContSyncML.h"
#include "replica/Replica.h"
#include "replica/Schema.h"
#include "support/ChildProcess.h"
#include "support/Corpus.h"
#include "support/Payloads.h"
#include "support/ReplicaCase.h"
#include "support/ReplicaSupport.h"
#include "support/SyncPeer.h"

using namespace orvanta;
using namespace orvanta::test;
namespace fs = std::filesystem;

namespace {

const StoreKey kKey{"http://sync.example/sync", "anna", "card", "card"};

constexpr fs::perms kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;

// A new replica: its folders (those it makes) and its files, the WAL's as well, are the
// owner's alone, as it holds personal data; it draws its own device ID once and keeps it.
TEST(Replica, ANewReplicaIsTheOwnersAndItsOwn) {
    const TempFolder dir;
    const fs::path file = dir.Path() / "data" / "Orvanta" / "replica.sqlite";
    std::string device;
    {
        TReplica replica(file);
        device = replica.DeviceID();
        replica.Store({"u", "n", "card", "card"}).AddLocal(std::vector<std::string_view>{"x"});
        EXPECT_EQ(fs::status(dir.Path() / "data").permissions(), fs::perms::owner_all);
        EXPECT_EQ(fs::status(file.parent_path()).permissions(), fs::perms::owner_all);
        for (const char* suffix : {"", "-wal", "-shm"})
            EXPECT_EQ(fs::status(file.string() + suffix).permissions(), kOwnerOnly) << suffix;
    }
    EXPECT_EQ(TReplica(file).DeviceID(), device);
    EXPECT_NE(TReplica(dir.Path() / "other.sqlite").DeviceID(), device);
}

// The Maps of a large first sync are read from the index of server identifiers: the
// same Maps as for a small one.
TEST(Replica, ManyPendingMaps) {
    const TempFolder dir;
    TReplica replica(dir.Path() / "replica.sqlite", FixedReplicaOptions());
    TReplicaStore store = replica.Store(kKey);
    store.BeginSession();
    auto batch = store.BeginBatch();
    for (int i = 1; i <= 12000; ++i)
        batch->ServerAdd("s" + std::to_string(i), "x");
    for (int i = 2; i <= 11999; ++i)
        batch->ConfirmMap(std::to_string(i));
    batch->Commit();
    std::string maps;
    for (const StoredItem& item : store.PendingMaps())
        maps += item.LUID + "=" + item.ServerID + " ";
    EXPECT_EQ(maps, "1=s1 12000=s12000 ");
}

// ---- A disk that fills up: SQLite's own file layer, its writes answered "no space
// left" (ENOSPC) by the system once a budget of bytes is spent. SQLite writes every
// page with pwrite64 (the refused-full-disk case fails should that change). ----

long long gWriteBudget = 0;  // bytes still writable
sqlite3_syscall_ptr gPWrite64 = nullptr;

ssize_t PWrite64(int fd, const void* data, std::size_t n, off64_t at) {
    if (static_cast<long long>(n) > gWriteBudget) {
        gWriteBudget = 0;  // once full, full until freed
        errno = ENOSPC;
        return -1;
    }
    gWriteBudget -= static_cast<long long>(n);
    return reinterpret_cast<decltype(&PWrite64)>(gPWrite64)(fd, data, n, at);
}

// While it lives, the disk holds `bytes` more.
struct FullDisk {
    explicit FullDisk(long long bytes) {
        gWriteBudget = bytes;
        gPWrite64 = vfs->xGetSystemCall(vfs, "pwrite64");
        vfs->xSetSystemCall(vfs, "pwrite64", reinterpret_cast<sqlite3_syscall_ptr>(&PWrite64));
    }
    ~FullDisk() { vfs->xSetSystemCall(vfs, "pwrite64", nullptr); }

    sqlite3_vfs* const vfs = sqlite3_vfs_find("unix");
};

// ---- Running a check as a user that file modes bind (root passes over them) ----

// Runs `check` in a child process as user nobody when this process is root; gives its
// result, "" for success or what went wrong.
std::string AsPlainUser(const std::function<std::string()>& check) {
    if (geteuid() != 0) return check();
    // The child's result comes back on a page the two processes share (zeroed at first).
    auto* shared = static_cast<char*>(
        mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    const pid_t child = fork();
    if (child == 0) {
        const std::string result = setgid(65534) == 0 && setuid(65534) == 0 ? check() : "no setuid";
        result.copy(shared, 4095);
        _exit(0);
    }
    waitpid(child, nullptr, 0);
    std::string result = child > 0 ? shared : "no child";
    munmap(shared, 4096);
    return result;
}

// What an action threw: "! PROBLEM: message" with the folder's path written DIR and line
// breaks \n, or "no failure".
std::string Refusal(const fs::path& dir, const std::function<void()>& action) {
    static const char* const kProblems[] = {
        "no such item", "no such conflict", "wrong kind", "in use",    "read-only",
        "damaged",      "not a replica",    "too new",    "disk full", "unreadable"};
    try {
        action();
        return "no failure";
    } catch (const StorageError& e) {
        // The folder's name is mkdtemp's: letters, digits and "/-" alone.
        std::string message = std::regex_replace(e.what(), std::regex(dir.string()), "DIR");
        message = std::regex_replace(message, std::regex("\n"), "\\n");
        return std::string("! ") + kProblems[static_cast<int>(e.Problem())] + ": " + message;
    }
}

// Breaks a replica (or its surroundings) one of the ways the cases' `break` command
// names; `cause` keeps what must stay alive meanwhile.
void Break(const std::vector<std::string>& w, const fs::path& file, std::shared_ptr<void>& cause) {
    const std::string& way = w.at(1);
    if (way == "in-use") {
        sqlite3* other = nullptr;
        sqlite3_open(file.c_str(), &other);
        sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        cause = {other, [](void* db) { sqlite3_close(static_cast<sqlite3*>(db)); }};
    } else if (way == "read-only-file") {
        fs::permissions(file.parent_path(), fs::perms{0777});
        fs::permissions(file, fs::perms{0444});
    } else if (way == "read-only-folder") {
        fs::permissions(file, fs::perms{0666});
        fs::permissions(file.parent_path(), fs::perms{0505});
    } else if (way == "damaged-page") {
        // The third page holds a table: its head made garbage. The page size is the
        // big-endian number at byte 16 of the file.
        const std::string head = ReadFile(file).substr(16, 2);
        const int pageSize =
            static_cast<unsigned char>(head[0]) << 8 | static_cast<unsigned char>(head[1]);
        std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(2 * pageSize)
            << std::string(200, '\xa5');
    } else if (way == "not-a-database") {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(8192, 'v');
    } else if (way == "other-database") {
        fs::remove(file);
        WriteDatabase(file, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('x');");
    } else if (way == "newer-schema") {
        WriteDatabase(file, "PRAGMA user_version = " + std::to_string(sqlite::kSchemaVersion + 1));
    } else if (way == "full-disk") {
        // By default a fifth of what the items of `use add` need.
        cause = std::make_shared<FullDisk>(w.size() > 2 ? std::stoll(w[2]) : 64 * 1024);
    } else {
        throw std::invalid_argument("no way to break a replica called " + way);
    }
}

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
        } else if (c == "other-begin") {
            if (!other_) other_ = std::make_unique<TReplica>(File(), FixedReplicaOptions());
            const StoreKey key{Key().ServerURL, Key().UserName, w.at(1), w.at(1)};
            Out(Refusal(dir_, [&] { other_->Store(key).BeginSession(); }));
        } else if (c == "other-close") {
            other_.reset();
        } else if (c == "close") {
            Close();
        } else if (c == "break") {
            Break(w, File(), cause_);
        } else if (c == "mend") {
            cause_.reset();
            fs::permissions(dir_, fs::perms::owner_all);
            fs::permissions(File(), kOwnerOnly);
        } else if (c == "keep-bytes") {
            bytes_ = ReadFile(File());
        } else if (c == "same-bytes") {
            Out(ReadFile(File()) == bytes_ ? "same bytes" : "changed");
        } else if (c == "use" || c == "use-as-nobody") {
            // Opens the replica, and with `add` adds 300 items of 1000 bytes to it.
            const auto use = [&] {
                const fs::path file = w.size() > 2 ? dir_ / w[2] : File();
                return Refusal(dir_, [&] {
                    TReplica replica(file, FixedReplicaOptions());
                    const std::string payload(1000, 'x');
                    const std::vector<std::string_view> payloads(300, payload);
                    if (w.at(1) == "add") replica.Store(kKey).AddLocal(payloads);
                });
            };
            Out(c == "use" ? use() : AsPlainUser(use));
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
        static const std::regex blank(R"(\\x20)");  // Escape writes "\" as \x5c
        for (std::string line; std::getline(in, line);)
            Out(prefix + std::regex_replace(Escape(line), blank, " "));
    }

    fs::path dir_;
    std::string password_ = "ORVANTA_PASSWORD";  // not set
    std::unique_ptr<TReplica> other_;            // a second connection to the replica
    std::shared_ptr<void> cause_;                // what keeps the replica broken
    std::string bytes_;                          // the file's bytes at keep-bytes
};

std::vector<fs::path> Cases() {
    std::vector<fs::path> cases = CaseFiles("replica", ".case");
    const std::vector<fs::path> tool = CaseFiles("sync-tool", ".case");
    cases.insert(cases.end(), tool.begin(), tool.end());
    return cases;
}

class ReplicaCase : public ::testing::TestWithParam<fs::path> {};

TEST_P(ReplicaCase, GivesTheExpectedOutput) {
    const TempFolder dir;
    ToolCase replica(dir.Path());
    ExpectTranscript(GetParam(), Transcript(ReadFile(GetParam()), [&](const auto& line, auto&) {
                         return replica.Run(line);
                     }));
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplicaCase, ::testing::ValuesIn(Cases()), [](const auto& info) {
    return TestName(info.param.parent_path().filename().string() + "_" +
                    info.param.stem().string());
});

}  // namespace
