// The replica's behaviour as cases in tests/data/replica/*.case: each is a script of
// offline edits, sessions and server messages, with the output expected of each command
// indented under it; `dump` prints the whole store. ORVANTA_UPDATE_CASES=1 writes the
// output into the files instead (read every change before committing it). Then the
// replica's files, the window's collection of items, and the failures: a replica that
// cannot be used gives one clear message and changes nothing (locked by another
// program, read-only, damaged, not a replica, of a newer version, on a full disk).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "formats/ItemCollection.h"
#include "kinds/ContSyncML.h"
#include "replica/Replica.h"
#include "replica/Schema.h"
#include "support/Payloads.h"
#include "support/ReplicaSupport.h"
#include "support/ServerReply.h"

using namespace orvanta;
using namespace orvanta::test;
namespace fs = std::filesystem;

namespace {

const fs::path kCases = fs::path(ORVANTA_TEST_DATA) / "replica";
const StoreKey kKey{"http://sync.example/sync", "anna", "card", "card"};

// Bytes as one token: printable ASCII as it is, \xHH for the rest (and for "\").
std::string Escape(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", c);
        out += c > ' ' && c < 0x7f && c != '\\' ? std::string(1, ch) : hex;
    }
    return out;
}

std::string Unescape(const std::string& token) {
    std::string out;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const bool hex = token.compare(i, 2, "\\x") == 0 && i + 3 < token.size();
        out += hex ? static_cast<char>(std::stoi(token.substr(i + 2, 2), nullptr, 16)) : token[i];
        if (hex) i += 3;
    }
    return out;
}

const char* const kStates[] = {"unchanged", "new", "modified", "deleted"};
const char* const kOutcomes[] = {"added", "updated", "deleted", "not found"};

// "12" names an item by LUID, "@s1" by the server's identifier.
ItemRef RefOf(const std::string& token) {
    return token.starts_with('@') ? ItemRef{{}, std::string_view(token).substr(1)}
                                  : ItemRef{token, {}};
}

// Runs one case's commands against a replica in a folder of its own.
class CaseRunner {
public:
    explicit CaseRunner(const fs::path& dir) : file_(dir / "replica.sqlite") { Reopen(); }

    std::vector<std::string> Run(const std::vector<std::string>& words) {
        out_.clear();
        try {
            Dispatch(words);
        } catch (const Failure& failure) {
            out_.push_back(std::string("! ") + failure.what());
        }
        return out_;
    }

private:
    void Reopen() {
        batch_.reset();
        store_.reset();
        replica_ = std::make_unique<TReplica>(file_, FixedReplicaOptions());
        store_.emplace(replica_->Store(key_));
    }

    void Dispatch(const std::vector<std::string>& w) {
        const std::string& c = w.at(0);
        const auto arg = [&](std::size_t i) { return Unescape(w.at(i)); };
        if (c == "add") {
            std::vector<std::string> payloads;
            for (std::size_t i = 1; i < w.size(); ++i)
                payloads.push_back(arg(i));
            const std::vector<std::string_view> views(payloads.begin(), payloads.end());
            std::string line = "luids";
            for (const auto& luid : store_->AddLocal(views))
                line += " " + luid;
            out_.push_back(line);
        } else if (c == "replace") {
            out_.push_back(kStates[static_cast<int>(store_->ReplaceLocal(w.at(1), arg(2)))]);
        } else if (c == "delete") {
            out_.push_back(store_->DeleteLocal(w.at(1)) ? "gone" : "marked deleted");
        } else if (c == "resolve") {
            store_->ResolveConflict(std::stoll(w.at(1)), w.at(2) == "local" ? ConflictSide::Local
                                                                            : ConflictSide::Server);
        } else if (c == "begin") {
            store_->BeginSession();
        } else if (c == "batch") {
            batch_ = store_->BeginBatch();
        } else if (c == "commit") {
            batch_->Commit();
            batch_.reset();
        } else if (c == "drop") {
            batch_.reset();
        } else if (c == "end") {
            store_->EndSession({w.at(1), w.at(2)});
        } else if (c == "abort") {
            store_->AbortSession();
        } else if (c == "crash") {
            Reopen();
        } else if (c == "server-add") {
            Print(batch_->ServerAdd(w.at(1), arg(2)));
        } else if (c == "server-replace") {
            Print(batch_->ServerReplace(RefOf(w.at(1)), arg(2)));
        } else if (c == "server-delete") {
            Print(batch_->ServerDelete(RefOf(w.at(1))));
        } else if (c == "confirm") {
            batch_->ConfirmChange(w.at(1), std::stoll(w.at(2)));
        } else if (c == "confirm-map") {
            batch_->ConfirmMap(w.at(1));
        } else if (c == "store") {
            key_ = {w.at(1), w.at(2), w.at(3), w.at(4)};
            store_.emplace(replica_->Store(key_));
        } else if (c == "open-sql") {
            store_.reset();
            replica_.reset();
            fs::remove(file_);
            WriteDatabase(file_, ReadFile(kCases / w.at(1)));
            Reopen();
        } else if (c == "dump") {
            Dump();
        } else {
            throw std::invalid_argument("unknown command " + c);
        }
    }

    void Print(const ApplyResult& r) {
        out_.push_back(std::string(kOutcomes[static_cast<int>(r.Outcome)]) +
                       (r.LUID.empty() ? "" : " " + r.LUID) + (r.Conflict ? " conflict" : ""));
    }

    void Dump() {
        const SyncAnchors anchors = store_->Anchors();
        out_.push_back("device " + store_->DeviceID());
        out_.push_back("anchors client '" + anchors.Client + "' server '" + anchors.Server + "'" +
                       (store_->LastSync() ? " at " + UTCText(*store_->LastSync()) : ""));
        store_->ReadItems([&](const StoredItemView& item) {
            std::string line = "item " + std::string(item.LUID) + " " +
                               kStates[static_cast<int>(item.State)] + " rev " +
                               std::to_string(item.Revision);
            if (!item.ServerID.empty()) line += " server " + std::string(item.ServerID);
            out_.push_back(line + " " + Escape(item.Payload));
        });
        for (const ConflictCopy& copy : store_->Conflicts()) {
            out_.push_back("conflict " + std::to_string(copy.ID) + " item " + copy.LUID + " at " +
                           UTCText(copy.When) + " local " +
                           (copy.Local ? Escape(*copy.Local) : "-") + " server " +
                           (copy.Server ? Escape(*copy.Server) : "-"));
        }
        std::string changes = "to send:", maps = "maps to send:";
        for (const StoredItem& item : store_->LocalChanges())
            changes += " " + item.LUID;
        for (const StoredItem& item : store_->PendingMaps())
            maps += " " + item.LUID + "=" + item.ServerID;
        out_.push_back(changes);
        out_.push_back(maps);
    }

    fs::path file_;
    StoreKey key_ = kKey;
    std::unique_ptr<TReplica> replica_;
    std::optional<TReplicaStore> store_;
    std::unique_ptr<TStorageBatch> batch_;
    std::vector<std::string> out_;
};

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// The case run afresh: its commands and comments as they are, each command's output
// indented under it.
std::string Transcript(const fs::path& file, const fs::path& dir) {
    CaseRunner runner(dir);
    std::istringstream in(ReadFile(file));
    std::string out;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("  ")) continue;  // expected output: made anew below
        out += line + "\n";
        if (line.empty() || line.starts_with('#')) continue;
        for (const std::string& result : runner.Run(Words(line)))
            out += "  " + result + "\n";
    }
    return out;
}

class ReplicaCase : public ::testing::TestWithParam<fs::path> {};

TEST_P(ReplicaCase, GivesTheExpectedOutput) {
    const TempFolder dir;
    const std::string expected = ReadFile(GetParam());
    const std::string actual = Transcript(GetParam(), dir.Path());
    if (std::getenv("ORVANTA_UPDATE_CASES") && actual != expected) {
        std::ofstream(GetParam(), std::ios::binary) << actual;
        GTEST_SKIP() << "written anew: " << GetParam();
    }
    EXPECT_EQ(actual, expected);
}

std::vector<fs::path> CaseFiles() {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(kCases)) {
        if (entry.path().extension() == ".case") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

INSTANTIATE_TEST_SUITE_P(Cases, ReplicaCase, ::testing::ValuesIn(CaseFiles()),
                         [](const auto& info) {
                             std::string name = info.param.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

mode_t ModeOf(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

// A new replica: its folders (those it makes) and its files, the WAL's as well, are the
// owner's alone, as it holds personal data; it draws its own device ID once and keeps it.
TEST(Replica, ANewReplicaIsTheOwnersAndItsOwn) {
    const TempFolder dir;
    const fs::path file = dir.Path() / "data" / "Orvanta" / "replica.sqlite";
    std::string device;
    {
        TReplica replica(file);
        device = replica.DeviceID();
        const std::vector<std::string_view> one{"x"};
        replica.Store({"u", "n", "card", "card"}).AddLocal(one);
        EXPECT_EQ(ModeOf(dir.Path() / "data"), 0700u);
        EXPECT_EQ(ModeOf(file.parent_path()), 0700u);
        for (const char* suffix : {"", "-wal", "-shm"})
            EXPECT_EQ(ModeOf(file.string() + suffix), 0600u) << suffix;
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

// The window's items: read from the replica into items of their kind, each edit kept
// at once, so that another run finds them as they were left.
TEST(ItemCollection, EditsAreKeptAsTheyAreMade) {
    const TempFolder dir;
    const fs::path file = dir.Path() / "replica.sqlite";
    TSMLContacts contacts;
    const auto makeContact = [&] { return contacts.CreateItem(); };
    const auto texts = [](const TItemCollection& items) {
        std::string all;
        for (std::size_t i = 0; i < items.size(); ++i) {
            const auto& contact = static_cast<const TSMLContact&>(items[i]);
            all += contact.ID + " " + std::to_string(static_cast<int>(contact.State)) + " " +
                   ToUTF8(contact.Mobile()) + "\n";
        }
        return all;
    };
    std::string left;
    {
        TReplica replica(file, FixedReplicaOptions());
        TReplicaStore store = replica.Store(kKey);
        store.BeginSession();
        auto batch = store.BeginBatch();
        for (int i = 1; i <= 3; ++i)
            batch->ServerAdd("s" + std::to_string(i), SampleContact(i));
        batch->Commit();
        store.EndSession({"1", "1"});

        TItemCollection items(store, makeContact);
        items.Load();
        auto added = contacts.CreateItem();
        added->Parse(SampleContact(4));
        TSMLItem& fourth = items.Add(std::move(added));
        static_cast<TSMLContact&>(fourth).SetMobile(u"+49 1");
        items.Save(fourth);
        static_cast<TSMLContact&>(items[0]).SetMobile(u"+49 2");
        items.Save(items[0]);
        items.Remove(items[1].ID);
        items.Remove(items.Find("4")->ID);
        EXPECT_EQ(items.Find("4"), nullptr);
        EXPECT_EQ(items.Changes(), 2u);
        left = texts(items);
    }
    TReplica replica(file, FixedReplicaOptions());
    TReplicaStore store = replica.Store(kKey);
    TItemCollection again(store, makeContact);
    again.Load();
    EXPECT_EQ(texts(again), left);
    EXPECT_EQ(left, "1 2 +49 2\n2 3 +49 171 2\n3 0 +49 171 3\n");
}

// ---- A disk that fills up: SQLite's own file layer, its writes answered "no space
// left" (ENOSPC) by the system once a budget of bytes is spent. ----

std::atomic<long long> gWriteBudget{-1};  // bytes still writable; -1: no limit
sqlite3_syscall_ptr gWrite = nullptr, gPWrite64 = nullptr;

bool Spend(std::size_t bytes) {
    if (gWriteBudget < 0) return true;
    if (static_cast<long long>(bytes) > gWriteBudget) {
        gWriteBudget = 0;  // once full, full until freed
        errno = ENOSPC;
        return false;
    }
    gWriteBudget -= static_cast<long long>(bytes);
    return true;
}

ssize_t Write(int fd, const void* data, std::size_t n) {
    return Spend(n) ? reinterpret_cast<decltype(&Write)>(gWrite)(fd, data, n) : -1;
}

ssize_t PWrite64(int fd, const void* data, std::size_t n, off64_t at) {
    return Spend(n) ? reinterpret_cast<decltype(&PWrite64)>(gPWrite64)(fd, data, n, at) : -1;
}

// While it lives, the disk holds `bytes` more.
class FullDisk {
public:
    explicit FullDisk(long long bytes) : unix_(sqlite3_vfs_find("unix")) {
        gWrite = unix_->xGetSystemCall(unix_, "write");
        gPWrite64 = unix_->xGetSystemCall(unix_, "pwrite64");
        unix_->xSetSystemCall(unix_, "write", reinterpret_cast<sqlite3_syscall_ptr>(&Write));
        unix_->xSetSystemCall(unix_, "pwrite64", reinterpret_cast<sqlite3_syscall_ptr>(&PWrite64));
        gWriteBudget = bytes;
    }
    ~FullDisk() {
        gWriteBudget = -1;
        unix_->xSetSystemCall(unix_, "write", nullptr);
        unix_->xSetSystemCall(unix_, "pwrite64", nullptr);
    }

private:
    sqlite3_vfs* unix_;
};

// ---- Running a check as a user that file modes bind (root passes over them) ----

// Runs `check` in a child process as user nobody when this process is root; gives its
// result, "" for success or what went wrong.
std::string AsPlainUser(const std::function<std::string()>& check) {
    if (geteuid() != 0) return check();
    int pipe_[2];
    if (pipe(pipe_) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_[0]);
        std::string result = setgid(65534) == 0 && setuid(65534) == 0 ? check() : "no setuid";
        if (write(pipe_[1], result.data(), result.size()) < 0) _exit(2);
        _exit(0);
    }
    close(pipe_[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = read(pipe_[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(n));
    close(pipe_[0]);
    waitpid(child, nullptr, 0);
    return result;
}

// What a failing action threw, as "" when it threw the expected problem with a message
// that names the file and says `says`, else what it did instead.
std::string Expect(const std::function<void()>& action, StorageProblem problem,
                   const fs::path& file, const std::string& says) {
    try {
        action();
        return "no failure";
    } catch (const StorageError& e) {
        const std::string message = e.what();
        if (e.Problem() != problem) return "another problem: " + message;
        if (message.find(file.string()) == std::string::npos) return "no file named: " + message;
        if (message.find(says) == std::string::npos) return "unclear: " + message;
        return "";
    }
}

// The store's items as one text.
std::string Items(const fs::path& file) {
    TReplica replica(file, FixedReplicaOptions());
    std::string items;
    replica.Store(kKey).ReadItems([&](const StoredItemView& item) {
        items += std::string(item.LUID) + ":" + std::string(item.Payload) + ";";
    });
    return items;
}

struct FailureCase {
    const char* name;
    // Breaks the replica (or its surroundings), keeping in `cause` what must stay alive
    // meanwhile.
    std::function<void(const fs::path& file, std::shared_ptr<void>& cause)> breakIt;
    // What the user does: fails with the problem.
    std::function<void(const fs::path& file)> use;
    StorageProblem problem;
    const char* says;
    bool asPlainUser = false;
};

void Open(const fs::path& file) {
    TReplica replica(file, FixedReplicaOptions());
}

void AddItems(const fs::path& file) {
    TReplica replica(file, FixedReplicaOptions());
    const std::string payload(1000, 'x');
    const std::vector<std::string_view> payloads(300, payload);
    replica.Store(kKey).AddLocal(payloads);
}

const FailureCase kFailures[] = {
    {"in use by another program",
     [](const fs::path& file, std::shared_ptr<void>& cause) {
         sqlite3* other = nullptr;
         sqlite3_open(file.c_str(), &other);
         sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
         cause = {other, [](void* db) { sqlite3_close(static_cast<sqlite3*>(db)); }};
     },
     AddItems, StorageProblem::InUse, "in use by another program"},
    {"read-only file",
     [](const fs::path& file, std::shared_ptr<void>&) {
         fs::permissions(file.parent_path(), fs::perms::all);
         fs::permissions(file,
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
     },
     Open, StorageProblem::ReadOnly, "cannot be written", true},
    {"read-only folder",
     [](const fs::path& file, std::shared_ptr<void>&) {
         fs::permissions(file, fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec &
                                   ~fs::perms::others_exec);
         fs::permissions(file.parent_path(), fs::perms::owner_read | fs::perms::owner_exec |
                                                 fs::perms::others_read | fs::perms::others_exec);
     },
     Open, StorageProblem::ReadOnly, "cannot be written", true},
    {"damaged page",
     [](const fs::path& file, std::shared_ptr<void>&) {
         // The third page holds a table: its head made garbage. The page size is the
         // big-endian number at byte 16 of the file.
         const std::string head = ReadFile(file).substr(16, 2);
         const int pageSize =
             static_cast<unsigned char>(head[0]) << 8 | static_cast<unsigned char>(head[1]);
         std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(2 * pageSize)
             << std::string(200, '\xa5');
     },
     Open, StorageProblem::Damaged, "is damaged"},
    {"not a database",
     [](const fs::path& file, std::shared_ptr<void>&) {
         std::ofstream(file, std::ios::binary | std::ios::trunc) << std::string(8192, 'v');
     },
     Open, StorageProblem::NotAReplica, "not a database"},
    {"another program's database",
     [](const fs::path& file, std::shared_ptr<void>&) {
         fs::remove(file);
         WriteDatabase(file, "CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('x');");
     },
     Open, StorageProblem::NotAReplica, "database of another program"},
    {"newer schema",
     [](const fs::path& file, std::shared_ptr<void>&) {
         WriteDatabase(file, "PRAGMA user_version = " + std::to_string(sqlite::kSchemaVersion + 1));
     },
     Open, StorageProblem::TooNew, "newer version"},
    {"full disk",
     [](const fs::path&, std::shared_ptr<void>& cause) {
         cause = std::make_shared<FullDisk>(64 * 1024);  // a fifth of what the items need
     },
     AddItems, StorageProblem::DiskFull, "is full"},
};

// A file refused at opening is left byte for byte as it was; after a refused write the
// cause gone, the replica holds what it held and takes writes again.
TEST(ReplicaFailure, OneClearMessageAndNothingChanged) {
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.name);
        const TempFolder dir;
        const fs::path file = dir.Path() / "data" / "replica.sqlite";
        {
            TReplica replica(file, FixedReplicaOptions());
            const std::vector<std::string_view> one{"BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n"};
            replica.Store(kKey).AddLocal(one);
        }
        const std::string before = ReadFile(file);
        if (c.asPlainUser)
            fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::others_exec);
        const bool refusesFile = c.problem == StorageProblem::NotAReplica ||
                                 c.problem == StorageProblem::TooNew ||
                                 c.problem == StorageProblem::Damaged;
        {
            std::shared_ptr<void> cause;
            c.breakIt(file, cause);
            const std::string broken = ReadFile(file);
            const auto check = [&] {
                return Expect([&] { c.use(file); }, c.problem, file, c.says);
            };
            EXPECT_EQ(c.asPlainUser ? AsPlainUser(check) : check(), "");
            if (refusesFile) {
                EXPECT_EQ(ReadFile(file), broken);
                EXPECT_FALSE(fs::exists(file.string() + "-wal"));
                continue;
            }
        }
        fs::permissions(file.parent_path(), fs::perms::owner_all);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(ReadFile(file), before);
        EXPECT_EQ(Items(file), "1:BEGIN:VCARD\r\nFN:A\r\nEND:VCARD\r\n;");
        EXPECT_NO_THROW(AddItems(file));
    }
}

// One sync of a data source at a time, also between two connections of one program;
// another data source may sync meanwhile, and a session cut off holds nothing.
TEST(ReplicaFailure, OneSessionPerDataSourceAtATime) {
    const TempFolder dir;
    const fs::path file = dir.Path() / "replica.sqlite";
    TReplica window(file, FixedReplicaOptions()), worker(file, FixedReplicaOptions());
    TReplicaStore running = worker.Store(kKey);
    running.BeginSession();
    TReplicaStore second = window.Store(kKey);
    EXPECT_EQ(Expect([&] { second.BeginSession(); }, StorageProblem::InUse, file, "running"), "");
    EXPECT_NO_THROW(window.Store({kKey.ServerURL, kKey.UserName, "cal", "cal"}).BeginSession());
    running.EndSession({"1", "1"});
    EXPECT_NO_THROW(second.BeginSession());
    const StoreKey tasks{kKey.ServerURL, kKey.UserName, "task", "task"};
    {
        TReplica cutOff(file, FixedReplicaOptions());
        cutOff.Store(tasks).BeginSession();
    }
    EXPECT_NO_THROW(worker.Store(tasks).BeginSession());
}

// A replica that cannot be made leaves no file behind.
TEST(ReplicaFailure, ANewReplicaThatFailsLeavesNoFile) {
    const TempFolder dir;
    const fs::path file = dir.Path() / "replica.sqlite";
    const FullDisk disk(1024);
    EXPECT_EQ(Expect([&] { Open(file); }, StorageProblem::DiskFull, file, "is full"), "");
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
