// orvanta-sync: the replica on the command line, for scripts and cron. Syncs one
// account's data source both ways, and lists, imports, replaces, deletes and exports its
// items offline; `orvanta-sync --help` and the man page (orvanta-sync.1) say how.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SyncExchange.h"
#include "formats/Failure.h"
#include "formats/ItemCollection.h"
#include "formats/ObjectFile.h"
#include "kinds/ItemFiles.h"
#include "kinds/KindTable.h"
#include "replica/Replica.h"
#include "tools/ItemJson.h"
#include "tools/Terminal.h"

using namespace orvanta;

namespace {

constexpr const char* kUsage =
    "usage: orvanta-sync [--replica FILE] --server URL --user USER [--ca-file FILE]\n"
    "                    KIND [DATASOURCE] [ACTION]\n"
    "actions: (none: sync both ways) --list [--fields] | --import FILE | --replace LUID FILE\n"
    "         | --delete LUID | --export FILE | --conflicts [--fields] | --keep local|server ID\n";

constexpr const char* kHelp =
    "Keeps one account's data source of a SyncML server in the replica on this computer, and\n"
    "syncs it with the server both ways: only what changed since the last sync crosses.\n"
    "\n"
    "Account (every form takes it; one replica holds several accounts):\n"
    "  --replica FILE   the replica (default $XDG_DATA_HOME/Orvanta/replica.sqlite)\n"
    "  --server URL     the server's SyncML URL\n"
    "  --user USER      the user name on the server\n"
    "  KIND             cal, card, task or vnote\n"
    "  DATASOURCE       the server's data source (default: the kind's name)\n"
    "  --ca-file FILE   the certificate authority of a server with a private one\n"
    "\n"
    "Forms:\n"
    "  (no action)             sync both ways and print one line: what was sent and received\n"
    "                          (added, replaced, deleted) and the conflicts\n"
    "  --list [--fields]       the items, LUID and title; with --fields one JSON object per\n"
    "                          line with every field (\"id\" is the LUID)\n"
    "  --import FILE           add the items of a .vcf, .ics, .vcs or .vnt file; prints their\n"
    "                          LUIDs\n"
    "  --replace LUID FILE     the item takes the one item of FILE\n"
    "  --delete LUID           delete the item\n"
    "  --export FILE           write every item to FILE\n"
    "  --conflicts [--fields]  the local versions that lost against the server's: ID, LUID,\n"
    "                          when, and both sides\n"
    "  --keep local|server ID  settle conflict ID: the server's version stays, or the local\n"
    "                          one comes back and goes with the next sync\n"
    "Every form but the sync works offline and needs no password; its changes go with the\n"
    "next sync.\n"
    "\n"
    "The password comes from ORVANTA_PASSWORD, or is asked on the terminal; never from the\n"
    "command line. Progress goes to stderr when it is a terminal.\n"
    "\n"
    "Exit status: 0 done; 1 failed (the reason on stderr, one line); 2 wrong command line;\n"
    "3 synced, but some changes did not go through (which, on stderr; they go again with\n"
    "the next sync).\n";

struct UsageError {
    std::string Message;
};

enum class Action { Sync, List, Import, Replace, Delete, Export, Conflicts, Keep };

struct ActionWord {
    std::string_view Word;
    Action What;
    int Arguments;
};

constexpr ActionWord kActions[] = {
    {"--list", Action::List, 0},       {"--import", Action::Import, 1},
    {"--replace", Action::Replace, 2}, {"--delete", Action::Delete, 1},
    {"--export", Action::Export, 1},   {"--conflicts", Action::Conflicts, 0},
    {"--keep", Action::Keep, 2},
};

struct CommandLine {
    std::filesystem::path Replica;
    std::string Server;
    std::string User;
    std::string CAFile;
    const DataKind* Kind = nullptr;
    std::string DataSource;
    Action What = Action::Sync;
    std::vector<std::string> Arguments;
    bool Fields = false;
    bool Help = false;
    bool Version = false;

    [[nodiscard]] StoreKey Key() const { return {Server, User, DataSource, Kind->Keyword}; }
};

CommandLine Parse(int argc, char** argv) {
    CommandLine line;
    std::vector<std::string> positional;
    const ActionWord* action = nullptr;
    std::optional<std::string> replica;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != arg.npos) {
            inlineValue = std::string(arg.substr(eq + 1));
            arg = arg.substr(0, eq);
        }
        // The value of an option: after '=' or the next word.
        const auto value = [&]() -> std::string {
            if (inlineValue) return *inlineValue;
            if (i + 1 == argc) throw UsageError{std::string(arg) + " needs a value"};
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            line.Help = true;
        } else if (arg == "--version") {
            line.Version = true;
        } else if (arg == "--replica") {
            replica = value();
        } else if (arg == "--server") {
            line.Server = value();
        } else if (arg == "--user") {
            line.User = value();
        } else if (arg == "--ca-file") {
            line.CAFile = value();
        } else if (arg == "--fields") {
            line.Fields = true;
        } else if (const auto* found =
                       std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const ActionWord& a) { return a.Word == arg; });
                   found != std::end(kActions)) {
            if (action) {
                throw UsageError{std::string(arg) + " and " + std::string(action->Word) +
                                 " cannot go together"};
            }
            if (inlineValue) throw UsageError{std::string(arg) + " takes no '='"};
            action = found;
            line.What = found->What;
            for (int n = 0; n < found->Arguments; ++n) {
                if (i + 1 == argc) {
                    throw UsageError{std::string(arg) + " needs " +
                                     (found->Arguments == 1 ? "a value" : "two values")};
                }
                line.Arguments.emplace_back(argv[++i]);
            }
        } else if (arg.starts_with("-") && arg.size() > 1) {
            throw UsageError{"unknown option " + std::string(arg)};
        } else {
            positional.emplace_back(arg);
        }
    }
    if (line.Help || line.Version) return line;
    if (line.Server.empty()) throw UsageError{"--server URL is missing"};
    if (line.User.empty()) throw UsageError{"--user USER is missing"};
    if (positional.empty()) throw UsageError{"KIND is missing"};
    if (positional.size() > 2) throw UsageError{"too many words: " + positional[2]};
    try {
        line.Kind = &KindNamed(positional[0]);
    } catch (const Failure& failure) {
        throw UsageError{failure.what()};
    }
    line.DataSource = positional.size() > 1 ? positional[1] : line.Kind->Defaults.DataSource;
    if (line.Fields && line.What != Action::List && line.What != Action::Conflicts)
        throw UsageError{"--fields goes with --list or --conflicts"};
    if (line.What == Action::Keep) {
        const std::string& side = line.Arguments[0];
        if (side != "local" && side != "server")
            throw UsageError{"--keep takes local or server, not " + side};
        const std::string& id = line.Arguments[1];
        if (id.empty() || id.size() > 18 || !std::all_of(id.begin(), id.end(), ::isdigit))
            throw UsageError{"--keep names a conflict by its number, not " + id};
    }
    line.Replica = replica ? std::filesystem::path(*replica) : TReplica::DefaultPath();
    return line;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        throw Failure("Cannot read " + path + ": " + std::strerror(errno ? errno : EIO));
    }
    return std::move(text).str();
}

// Writes the file whole or not at all: a new file beside it, renamed over it once
// written and flushed to the disk.
void WriteWholeFile(const std::filesystem::path& path, std::string_view text) {
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    const auto fail = [&](int error) {
        if (fd >= 0) {
            close(fd);
            unlink(temporary.c_str());
        }
        throw Failure("Cannot write " + path.string() + ": " + std::strerror(error));
    };
    if (fd < 0) fail(errno);
    // A file of the usual mode for the user (mkstemp makes it 0600).
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) fail(errno);
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) fail(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        throw Failure("Cannot write " + path.string() + ": " + std::strerror(error));
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temporary.c_str());
        throw Failure("Cannot write " + path.string() + ": " + std::strerror(error));
    }
}

// "1 contact", "3 contacts".
std::string Count(std::size_t n, const DataKind& kind) {
    return std::to_string(n) + " " + (n == 1 ? kind.One : kind.Many);
}

// The items of a file, of the kind asked for; a file that holds none fails.
FileItems ItemsOfFile(TSMLBase& client, const std::string& path) {
    const DataKind& kind = KindOf(client);
    const std::string text = ReadWholeFile(path);
    try {
        FileItems read = ReadFileItems(client, text);
        if (read.Items.empty()) {
            throw Failure("The file holds no " + kind.Many +
                          (read.OtherKinds > 0 ? ", only items of another kind" : ""));
        }
        return read;
    } catch (const Failure& failure) {
        throw Failure(path + ": " + failure.what());
    }
}

const char* StateWord(ItemState state) {
    switch (state) {
        case ItemState::New:
            return "new";
        case ItemState::Modified:
            return "modified";
        case ItemState::Deleted:
            return "deleted";
        default:
            return "";
    }
}

// A payload as an item of the client's kind.
std::unique_ptr<TSMLItem> ItemOf(TSMLBase& client, std::string_view payload) {
    auto item = client.CreateItem();
    item->Parse(payload);
    return item;
}

class Tool {
public:
    explicit Tool(const CommandLine& line) : line_(line), client_(line.Kind->MakeClient()) {}

    int Run() {
        switch (line_.What) {
            case Action::Sync:
                return Sync();
            case Action::List:
                return List();
            case Action::Import:
                return Import();
            case Action::Replace:
                return Replace();
            case Action::Delete:
                Open().DeleteLocal(line_.Arguments[0]);
                return 0;
            case Action::Export:
                return Export();
            case Action::Conflicts:
                return Conflicts();
            case Action::Keep:
                Open().ResolveConflict(std::stoll(line_.Arguments[1]), line_.Arguments[0] == "local"
                                                                           ? ConflictSide::Local
                                                                           : ConflictSide::Server);
                return 0;
        }
        return 1;
    }

private:
    // The account's data source, made when the replica does not hold it yet.
    TReplicaStore& Open() {
        replica_.emplace(line_.Replica);
        store_.emplace(replica_->Store(line_.Key()));
        return *store_;
    }

    // The data source only when the replica holds it: a form that only reads makes no
    // replica and no data source.
    TReplicaStore* OpenToRead() {
        if (!std::filesystem::exists(line_.Replica)) return nullptr;
        replica_.emplace(line_.Replica);
        const StoreKey key = line_.Key();
        for (const StoreKey& held : replica_->Stores()) {
            if (held.ServerURL == key.ServerURL && held.UserName == key.UserName &&
                held.DataSource == key.DataSource)
                return &store_.emplace(replica_->Store(key));
        }
        return nullptr;
    }

    int Sync() {
        TReplicaStore& store = Open();
        client_->SetServerURL(line_.Server);
        client_->UserName = line_.User;
        client_->DataSource = line_.DataSource;
        client_->SetCAFile(line_.CAFile);
        client_->Password = AccountPassword(line_.User, line_.Server);
        SyncSummary summary;
        {
            // Gone from the terminal before the summary or the failure is printed.
            TProgressLine progress;
            client_->OnProgress = [&progress](const ExchangeStats& stats) { progress.Show(stats); };
            summary = Synchronize(*client_, store);
            client_->OnProgress = nullptr;
        }
        std::printf("%s\n", SummaryLine(summary).c_str());
        std::fflush(stdout);
        int status = 0;
        if (!summary.Unaccepted.empty()) {
            std::string which;
            for (const UnacceptedChange& change : summary.Unaccepted) {
                which += (which.empty() ? "" : ", ") + change.Cmd + " of " + change.LUID +
                         (change.Code ? " (status " + std::to_string(change.Code) + ")"
                                      : " (no status)");
            }
            std::fprintf(stderr,
                         "orvanta-sync: the server did not accept %zu of the changes; "
                         "they go again with the next sync: %s\n",
                         summary.Unaccepted.size(), which.c_str());
            status = 3;
        }
        if (!summary.Refused.empty()) {
            std::fprintf(stderr, "orvanta-sync: %s\n", RefusedReport(summary.Refused).c_str());
            status = 3;
        }
        return status;
    }

    int List() {
        std::size_t shown = 0, waiting = 0;
        if (TReplicaStore* store = OpenToRead()) {
            TItemCollection items(*store, [this] { return client_->CreateItem(); });
            items.Load();
            waiting = items.Changes();
            for (std::size_t i = 0; i < items.size(); ++i) {
                const TSMLItem& item = items[i];
                if (item.State == ItemState::Deleted) continue;
                ++shown;
                if (line_.Fields) {
                    std::printf("%s\n", ItemJson(*line_.Kind, item, item.ID).c_str());
                } else {
                    std::printf("%-8s %-9s %s\n", item.ID.c_str(), StateWord(item.State),
                                ToUTF8(item.GetTitle()).c_str());
                }
            }
        }
        std::printf("%s", Count(shown, *line_.Kind).c_str());
        if (waiting > 0) std::printf(", %zu to send", waiting);
        std::printf("\n");
        return 0;
    }

    int Import() {
        const std::string& path = line_.Arguments[0];
        FileItems read = ItemsOfFile(*client_, path);
        TItemCollection items(Open(), [this] { return client_->CreateItem(); });
        for (const TSMLItem* item : items.Add(std::move(read.Items)))
            std::printf("%s\n", item->ID.c_str());
        if (read.OtherKinds > 0) {
            std::fflush(stdout);
            std::fprintf(stderr,
                         "orvanta-sync: %s also holds %zu items of another kind, not "
                         "imported\n",
                         path.c_str(), read.OtherKinds);
        }
        return 0;
    }

    int Replace() {
        const std::string& luid = line_.Arguments[0];
        const std::string& path = line_.Arguments[1];
        const FileItems read = ItemsOfFile(*client_, path);
        if (read.Items.size() != 1) {
            throw Failure(path + " holds " + Count(read.Items.size(), *line_.Kind) +
                          "; an item is replaced by one");
        }
        Open().ReplaceLocal(luid, read.Items.front()->GetText());
        return 0;
    }

    int Export() {
        std::vector<std::string> payloads;
        if (const TReplicaStore* store = OpenToRead()) {
            store->ReadItems([&](const StoredItemView& item) {
                if (item.State != ItemState::Deleted) payloads.emplace_back(item.Payload);
            });
        }
        WriteWholeFile(line_.Arguments[0], JoinObjectFile(payloads));
        return 0;
    }

    int Conflicts() {
        const TReplicaStore* store = OpenToRead();
        if (!store) return 0;
        const auto side = [&](const std::optional<std::string>& payload,
                              const std::string& luid) -> std::string {
            if (!payload) return line_.Fields ? "null" : "(deleted)";
            const auto item = ItemOf(*client_, *payload);
            return line_.Fields ? ItemJson(*line_.Kind, *item, luid)
                                : JsonQuoted(ToUTF8(item->GetTitle()));
        };
        for (const ConflictCopy& copy : store->Conflicts()) {
            const std::string when = JsonMoment(UTCToLocal(copy.When));
            if (line_.Fields) {
                std::printf(
                    "{\"conflict\":%lld,\"id\":%s,\"when\":%s,\"local\":%s,\"server\":%s}\n",
                    static_cast<long long>(copy.ID), JsonQuoted(copy.LUID).c_str(), when.c_str(),
                    side(copy.Local, copy.LUID).c_str(), side(copy.Server, copy.LUID).c_str());
            } else {
                std::printf(
                    "%-4lld %-8s %s  local: %s  server: %s\n", static_cast<long long>(copy.ID),
                    copy.LUID.c_str(), when.substr(1, when.size() - 2).c_str(),
                    side(copy.Local, copy.LUID).c_str(), side(copy.Server, copy.LUID).c_str());
            }
        }
        return 0;
    }

    const CommandLine& line_;
    std::unique_ptr<TSMLBase> client_;
    std::optional<TReplica> replica_;
    std::optional<TReplicaStore> store_;
};

}  // namespace

int main(int argc, char** argv) {
    CommandLine line;
    try {
        line = Parse(argc, argv);
    } catch (const UsageError& usage) {
        std::fprintf(stderr, "orvanta-sync: %s\nTry 'orvanta-sync --help'.\n",
                     usage.Message.c_str());
        return 2;
    }
    if (line.Help) {
        std::printf("%s\n%s", kUsage, kHelp);
        return 0;
    }
    if (line.Version) {
        std::printf("orvanta-sync %s\n", ORVANTA_VERSION);
        return 0;
    }
    try {
        return Tool(line).Run();
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "orvanta-sync: %s\n", e.what());
        return 1;
    }
}
