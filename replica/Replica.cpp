#include "replica/Replica.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <random>
#include <stdexcept>
#include <system_error>

#include "replica/Schema.h"

namespace orvanta {

namespace {

using sqlite::TStatement;
using sqlite::TTransaction;

// Times are kept as Unix milliseconds (UTC).
std::int64_t ToUnixMs(TDateTime utc) {
    return std::llround((utc - 25569.0) * kMSecsPerDay);
}

TDateTime FromUnixMs(std::int64_t ms) {
    return 25569.0 + static_cast<double>(ms) / kMSecsPerDay;
}

TDateTime SystemNowUTC() {
    using namespace std::chrono;
    return FromUnixMs(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

std::function<std::uint32_t(std::uint32_t)> SystemRandom() {
    auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
    return [engine](std::uint32_t bound) {
        return static_cast<std::uint32_t>(
            std::uniform_int_distribution<std::uint64_t>(0, bound - 1)(*engine));
    };
}

// A device ID of 64 random bits: no two replicas share one, so the server keeps the
// anchors and maps of each apart.
std::string MakeDeviceID(const std::function<std::uint32_t(std::uint32_t)>& random) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id = "orvanta-";
    for (int i = 0; i < 16; ++i)
        id += kHex[random(16) & 15];
    return id;
}

// A store's items are the rows from (store << 32) + 1 to (store << 32) + 2^32 - 1: the
// LUID is the row id's lower half, counted by each store on its own.
constexpr std::int64_t kLUIDs = std::int64_t{1} << 32;

// A LUID is a decimal number in 1 .. 2^32 - 1, written without leading zeros; any other
// text names no item.
std::optional<std::int64_t> ParseLUID(std::string_view text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0 || value >= kLUIDs ||
        std::to_string(value) != text)
        return std::nullopt;
    return value;
}

[[noreturn]] void Throw(StorageProblem problem, const std::string& message) {
    throw StorageError(problem, message);
}

[[noreturn]] void NoSuchItem(std::string_view luid, const StoreKey& key) {
    Throw(StorageProblem::NoSuchItem,
          "The replica holds no item " + std::string(luid) + " in data source " + key.DataSource);
}

// Makes the folders of a new replica that are missing, each readable by its owner only.
void MakeFolders(const std::filesystem::path& folder, const std::filesystem::path& file) {
    if (folder.empty() || std::filesystem::exists(folder)) return;
    MakeFolders(folder.parent_path(), file);
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        throw sqlite::ErrorFor(SQLITE_CANTOPEN, errno, file, "");
}

// Creates the empty file of a new replica with mode 0600 before SQLite sees it: SQLite
// gives its -wal and -shm files the mode of the database file. Gives false when the file
// was there already.
bool CreateFile(const std::filesystem::path& file) {
    MakeFolders(file.parent_path(), file);
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return false;
        throw sqlite::ErrorFor(SQLITE_CANTOPEN, errno, file, "");
    }
    close(fd);
    return true;
}

void RemoveFiles(const std::filesystem::path& file) {
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal", "-sessions"})
        std::filesystem::remove(file.string() + suffix, ignored);
}

// The SQL names states by their values (0 unchanged, 1 new, 2 modified, 3 deleted), so
// that the partial index of changed items serves the queries that name them.
static_assert(static_cast<int>(ItemState::Unchanged) == 0 &&
              static_cast<int>(ItemState::New) == 1 && static_cast<int>(ItemState::Modified) == 2 &&
              static_cast<int>(ItemState::Deleted) == 3);

ItemState StateOf(std::int64_t value) {
    return value >= 0 && value <= 3 ? static_cast<ItemState>(value) : ItemState::Modified;
}

std::int64_t Value(ItemState state) {
    return static_cast<std::int64_t>(state);
}

std::string LUIDText(std::int64_t rowID) {
    return std::to_string(rowID & (kLUIDs - 1));
}

}  // namespace

// ---- The file ----

std::filesystem::path TReplica::DefaultPath() {
    std::filesystem::path base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && data[0] == '/') {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* user = getpwuid(getuid());
            home = user ? user->pw_dir : "/";
        }
        base = std::filesystem::path(home) / ".local" / "share";
    }
    return base / "Orvanta" / "replica.sqlite";
}

TReplica::TReplica(const std::filesystem::path& file, ReplicaOptions options)
    : options_(std::move(options)) {
    // SQLite's count of its own memory takes a lock at every allocation; nothing here
    // reads it. Only possible before SQLite's first use in the process, else passed over.
    static std::once_flag noMemoryStatus;
    std::call_once(noMemoryStatus, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
    if (!options_.Random) options_.Random = SystemRandom();
    if (!options_.Clock) options_.Clock = SystemNowUTC;
    const bool created = CreateFile(file);
    try {
        db_ = sqlite::TDatabase(file, options_.BusyTimeoutMs);
        Open(created);
    } catch (...) {
        // A replica that could not be made leaves no file behind.
        statements_.clear();
        db_ = sqlite::TDatabase();
        if (created) RemoveFiles(file);
        throw;
    }
}

TReplica::~TReplica() {
    statements_.clear();
    if (sessionLocks_ >= 0) close(sessionLocks_);
}

void TReplica::LockSession(std::int64_t store, const std::string& dataSource) {
    const std::string lockFile = File().string() + "-sessions";
    if (sessionLocks_ < 0) {
        sessionLocks_ = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (sessionLocks_ < 0) throw sqlite::ErrorFor(SQLITE_CANTOPEN, errno, lockFile, "");
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(store);
    lock.l_len = 1;
    if (fcntl(sessionLocks_, F_OFD_SETLK, &lock) != 0) {
        if (errno != EAGAIN && errno != EACCES)
            throw sqlite::ErrorFor(SQLITE_IOERR, errno, lockFile, "");
        Throw(StorageProblem::InUse, "A sync of data source " + dataSource + " in the replica " +
                                         File().string() +
                                         " is running already; try again when it has finished");
    }
}

void TReplica::UnlockSession(std::int64_t store) {
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(store);
    lock.l_len = 1;
    if (sessionLocks_ >= 0) fcntl(sessionLocks_, F_OFD_SETLK, &lock);
}

void TReplica::Open(bool created) {
    // Checked before anything is written: a file refused here is left as it was.
    // Each statement is done with (finalized) before the next: an unfinished one holds a
    // read transaction open.
    const auto first = [this](const char* sql) {
        TStatement statement(db_, sql);
        statement.Step();
        return std::pair{statement.Int(0), std::string(statement.Text(0))};
    };
    const int schema = static_cast<int>(first("PRAGMA user_version").first);
    if (const std::string check = first("PRAGMA quick_check(1)").second; check != "ok")
        throw sqlite::DamagedError(File(), check);
    if (schema > sqlite::kSchemaVersion) {
        Throw(StorageProblem::TooNew,
              "The replica " + File().string() + " was written by a newer version of Orvanta " +
                  "(schema " + std::to_string(schema) + ", this version knows up to " +
                  std::to_string(sqlite::kSchemaVersion) + ") and was left as it is");
    }
    if (schema == 0) {
        if (first("SELECT count(*) FROM sqlite_schema").first != 0) {
            Throw(StorageProblem::NotAReplica,
                  File().string() + " is not a replica: it is a database of another program");
        }
    }
    if (sqlite3_db_readonly(db_.Handle(), "main") == 1) throw sqlite::ReadOnlyError(File());

    // WAL: readers (the window) and the one writer (a sync) do not wait for each other,
    // and a commit is one append. NORMAL: a commit survives the program's crash; a power
    // cut may lose the last ones, never the file's consistency.
    // 16 KiB pages: a page holds 30 contacts, and a sync's writes take fewer pages and
    // fewer calls to the system than with 4 KiB ones. A new file only: an existing one
    // keeps its size.
    if (created) db_.Exec("PRAGMA page_size = 16384");
    first("PRAGMA journal_mode = WAL");
    db_.Exec("PRAGMA synchronous = NORMAL");

    if (schema < sqlite::kSchemaVersion || created) {
        TTransaction transaction(db_);
        sqlite::MigrateSchema(db_, schema);
        TStatement device(db_,
                          "INSERT OR IGNORE INTO replica (id, device_id, created) "
                          "VALUES (1, ?1, ?2)");
        device.BindText(1, MakeDeviceID(options_.Random)).Bind(2, ToUnixMs(Now())).Run();
        transaction.Commit();
    }
    deviceID_ = first("SELECT device_id FROM replica WHERE id = 1").second;
    if (deviceID_.empty()) throw sqlite::DamagedError(File(), "it holds no device ID");
}

sqlite::TStatementUse TReplica::Sql(const char* text) {
    auto it = statements_.find(text);
    if (it == statements_.end()) it = statements_.emplace(text, TStatement(db_, text)).first;
    return sqlite::TStatementUse(it->second);
}

TReplicaStore TReplica::Store(const StoreKey& key) {
    const auto find = [&]() -> std::optional<std::pair<std::int64_t, std::string>> {
        auto s =
            Sql("SELECT id, kind FROM stores WHERE server_url = ?1 AND user_name = ?2 AND "
                "data_source = ?3");
        s->BindText(1, key.ServerURL).BindText(2, key.UserName).BindText(3, key.DataSource);
        if (!s->Step()) return std::nullopt;
        return std::pair{s->Int(0), std::string(s->Text(1))};
    };
    auto found = find();
    if (!found) {
        TTransaction transaction(db_);
        Sql("INSERT OR IGNORE INTO stores (server_url, user_name, data_source, kind) "
            "VALUES (?1, ?2, ?3, ?4)")
            ->BindText(1, key.ServerURL)
            .BindText(2, key.UserName)
            .BindText(3, key.DataSource)
            .BindText(4, key.Kind)
            .Run();
        transaction.Commit();
        found = find();
    }
    if (found->second != key.Kind) {
        Throw(StorageProblem::WrongKind,
              "The replica holds " + found->second + " items for data source " + key.DataSource +
                  " of " + key.UserName + " at " + key.ServerURL + ", not " + key.Kind);
    }
    return TReplicaStore(*this, found->first, key);
}

std::vector<StoreKey> TReplica::Stores() {
    std::vector<StoreKey> keys;
    auto s = Sql("SELECT server_url, user_name, data_source, kind FROM stores ORDER BY id");
    while (s->Step()) {
        keys.push_back({std::string(s->Text(0)), std::string(s->Text(1)), std::string(s->Text(2)),
                        std::string(s->Text(3))});
    }
    return keys;
}

// ---- Reading a store ----

TReplicaStore::TReplicaStore(TReplica& replica, std::int64_t id, StoreKey key)
    : replica_(replica), id_(id), key_(std::move(key)) {}

std::int64_t TReplicaStore::RowID(std::int64_t luid) const {
    return id_ * kLUIDs + luid;
}

SyncAnchors TReplicaStore::Anchors() const {
    auto s = replica_.Sql("SELECT client_anchor, server_anchor FROM stores WHERE id = ?1");
    s->Bind(1, id_);
    if (!s->Step()) return {};
    return {std::string(s->Text(0)), std::string(s->Text(1))};
}

std::optional<TDateTime> TReplicaStore::LastSync() const {
    auto s = replica_.Sql("SELECT last_sync FROM stores WHERE id = ?1");
    s->Bind(1, id_);
    if (!s->Step() || s->IsNull(0)) return std::nullopt;
    return FromUnixMs(s->Int(0));
}

namespace {

// Rows of (id, server_id, state, revision, payload).
StoredItemView ViewOf(const TStatement& row, std::string& luid) {
    luid = LUIDText(row.Int(0));
    return {luid, row.Text(1), row.Blob(4), StateOf(row.Int(2)), row.Int(3)};
}

}  // namespace

void TReplicaStore::ReadItems(const StoredItemHandler& handler) const {
    auto s = replica_.Sql(
        "SELECT id, server_id, state, revision, payload FROM items "
        "WHERE id BETWEEN ?1 AND ?2 ORDER BY id");
    s->Bind(1, RowID(1)).Bind(2, RowID(kLUIDs - 1));
    std::string luid;
    while (s->Step())
        handler(ViewOf(*s, luid));
}

std::optional<StoredItem> TReplicaStore::FindItem(std::string_view luid) const {
    const auto number = ParseLUID(luid);
    if (!number) return std::nullopt;
    auto s =
        replica_.Sql("SELECT id, server_id, state, revision, payload FROM items WHERE id = ?1");
    s->Bind(1, RowID(*number));
    if (!s->Step()) return std::nullopt;
    std::string text;
    return StoredItem(ViewOf(*s, text));
}

std::vector<StoredItem> TReplicaStore::LocalChanges() const {
    std::vector<StoredItem> changes;
    auto s = replica_.Sql(
        "SELECT id, server_id, state, revision, payload FROM items "
        "WHERE store_id = ?1 AND state <> 0 ORDER BY id");
    s->Bind(1, id_);
    std::string luid;
    while (s->Step())
        changes.emplace_back(ViewOf(*s, luid));
    return changes;
}

std::vector<StoredItem> TReplicaStore::PendingMaps() const {
    std::vector<std::pair<std::int64_t, std::int64_t>> runs;
    auto s = replica_.Sql(
        "SELECT first, last FROM pending_maps WHERE first BETWEEN ?1 AND ?2 ORDER BY first");
    s->Bind(1, RowID(1)).Bind(2, RowID(kLUIDs - 1));
    std::int64_t span = 0;
    while (s->Step()) {
        runs.emplace_back(s->Int(0), s->Int(1));
        span += s->Int(1) - s->Int(0) + 1;
    }
    // A run may hold ids of items gone since, or made here: only the server's items
    // count. Long runs (a first sync's) are read from the index of server identifiers,
    // which holds no payloads; short ones from the items themselves.
    std::vector<std::pair<std::int64_t, std::string>> found;
    if (span > 10000) {
        auto all = replica_.Sql(
            "SELECT id, server_id FROM items INDEXED BY items_by_server_id "
            "WHERE store_id = ?1 AND server_id IS NOT NULL");
        all->Bind(1, id_);
        while (all->Step()) {
            const std::int64_t id = all->Int(0);
            const auto run = std::upper_bound(
                runs.begin(), runs.end(), std::pair{id, std::numeric_limits<std::int64_t>::max()});
            if (run != runs.begin() && std::prev(run)->second >= id)
                found.emplace_back(id, all->Text(1));
        }
        std::sort(found.begin(), found.end());
    } else {
        for (const auto& [first, last] : runs) {
            auto some = replica_.Sql(
                "SELECT id, server_id FROM items "
                "WHERE id BETWEEN ?1 AND ?2 AND server_id IS NOT NULL ORDER BY id");
            some->Bind(1, first).Bind(2, last);
            while (some->Step())
                found.emplace_back(some->Int(0), some->Text(1));
        }
    }
    std::vector<StoredItem> maps(found.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        maps[i].LUID = LUIDText(found[i].first);
        maps[i].ServerID = std::move(found[i].second);
    }
    return maps;
}

std::vector<ConflictCopy> TReplicaStore::Conflicts() const {
    std::vector<ConflictCopy> copies;
    auto s = replica_.Sql(
        "SELECT id, luid, made, local_payload, server_payload FROM conflicts "
        "WHERE store_id = ?1 ORDER BY id");
    s->Bind(1, id_);
    while (s->Step()) {
        ConflictCopy& copy = copies.emplace_back();
        copy.ID = s->Int(0);
        copy.LUID = std::to_string(s->Int(1));
        copy.When = FromUnixMs(s->Int(2));
        if (!s->IsNull(3)) copy.Local = std::string(s->Blob(3));
        if (!s->IsNull(4)) copy.Server = std::string(s->Blob(4));
    }
    return copies;
}

std::optional<TReplicaStore::Row> TReplicaStore::FindRow(std::int64_t rowID) const {
    auto s = replica_.Sql("SELECT id, state, payload FROM items WHERE id = ?1");
    s->Bind(1, rowID);
    if (!s->Step()) return std::nullopt;
    return Row{s->Int(0), StateOf(s->Int(1)), std::string(s->Blob(2))};
}

std::optional<TReplicaStore::Row> TReplicaStore::FindRow(const ItemRef& ref) const {
    if (!ref.LUID.empty()) {
        const auto luid = ParseLUID(ref.LUID);
        return luid ? FindRow(RowID(*luid)) : std::nullopt;
    }
    if (ref.ServerID.empty()) return std::nullopt;
    auto s = replica_.Sql("SELECT id FROM items WHERE store_id = ?1 AND server_id = ?2");
    s->Bind(1, id_).BindText(2, ref.ServerID);
    if (!s->Step()) return std::nullopt;
    return FindRow(s->Int(0));
}

TReplicaStore::Row TReplicaStore::RowOf(std::string_view luid) const {
    const auto number = ParseLUID(luid);
    auto row = number ? FindRow(RowID(*number)) : std::nullopt;
    if (!row) NoSuchItem(luid, key_);
    return std::move(*row);
}

bool TReplicaStore::InSession() const {
    auto s = replica_.Sql("SELECT in_session FROM stores WHERE id = ?1");
    s->Bind(1, id_);
    return s->Step() && s->Int(0) != 0;
}

// ---- Writing ----

std::int64_t TReplicaStore::LastLUID() const {
    auto s = replica_.Sql("SELECT last_luid FROM stores WHERE id = ?1");
    s->Bind(1, id_);
    s->Step();
    return s->Int(0);
}

void TReplicaStore::SetLastLUID(std::int64_t luid) {
    if (luid >= kLUIDs) {
        Throw(StorageProblem::Unreadable, "The replica " + replica_.File().string() +
                                              " has made every LUID of data source " +
                                              key_.DataSource);
    }
    replica_.Sql("UPDATE stores SET last_luid = ?2 WHERE id = ?1")
        ->Bind(1, id_)
        .Bind(2, luid)
        .Run();
}

void TReplicaStore::Insert(std::int64_t rowID, std::string_view serverID, ItemState state,
                           std::string_view payload) {
    replica_
        .Sql(
            "INSERT INTO items (id, store_id, server_id, state, payload) "
            "VALUES (?1, ?2, ?3, ?4, ?5)")
        ->Bind(1, rowID)
        .Bind(2, id_)
        .BindTextOrNull(3, serverID)
        .Bind(4, Value(state))
        .BindBlob(5, payload)
        .Run();
}

void TReplicaStore::Update(const Row& row, std::string_view payload, ItemState state) {
    replica_
        .Sql(
            "UPDATE items SET payload = ?2, state = ?3, confirmed = NULL, "
            "revision = revision + 1 WHERE id = ?1")
        ->Bind(1, row.ID)
        .BindBlob(2, payload)
        .Bind(3, Value(state))
        .Run();
}

void TReplicaStore::Erase(std::int64_t rowID) {
    // Its Map, if one was pending, stays in its run: PendingMaps passes over items gone.
    replica_.Sql("DELETE FROM items WHERE id = ?1")->Bind(1, rowID).Run();
}

bool TReplicaStore::MapPending(std::int64_t rowID) const {
    auto s = replica_.Sql(
        "SELECT last >= ?1 FROM pending_maps WHERE first <= ?1 ORDER BY first DESC LIMIT 1");
    s->Bind(1, rowID);
    return s->Step() && s->Int(0) != 0;
}

void TReplicaStore::PendMaps(std::int64_t first, std::int64_t last) {
    replica_.Sql("INSERT INTO pending_maps (first, last) VALUES (?1, ?2)")
        ->Bind(1, first)
        .Bind(2, last)
        .Run();
}

void TReplicaStore::ConfirmMaps(std::int64_t first, std::int64_t last) {
    // Every run that overlaps [first, last] loses that part: what is left on either
    // side stays.
    std::vector<std::pair<std::int64_t, std::int64_t>> overlapping;
    auto s = replica_.Sql(
        "SELECT first, last FROM pending_maps WHERE first <= ?2 AND last >= ?1 AND first >= "
        "coalesce((SELECT max(first) FROM pending_maps WHERE first <= ?1), ?1)");
    s->Bind(1, first).Bind(2, last);
    while (s->Step())
        overlapping.emplace_back(s->Int(0), s->Int(1));
    for (const auto& [runFirst, runLast] : overlapping) {
        replica_.Sql("DELETE FROM pending_maps WHERE first = ?1")->Bind(1, runFirst).Run();
        if (runFirst < first) PendMaps(runFirst, first - 1);
        if (runLast > last) PendMaps(last + 1, runLast);
    }
}

// ---- Offline edits ----

std::vector<std::string> TReplicaStore::AddLocal(std::span<const std::string_view> payloads) {
    std::vector<std::string> luids;
    luids.reserve(payloads.size());
    TTransaction transaction(replica_.db_);
    std::int64_t luid = LastLUID();
    for (const std::string_view payload : payloads) {
        Insert(RowID(++luid), {}, ItemState::New, payload);
        luids.push_back(std::to_string(luid));
    }
    SetLastLUID(luid);
    transaction.Commit();
    return luids;
}

ItemState TReplicaStore::ReplaceLocal(std::string_view luid, std::string_view payload) {
    TTransaction transaction(replica_.db_);
    const Row row = RowOf(luid);
    if (row.State == ItemState::Deleted) NoSuchItem(luid, key_);
    const ItemState state = row.State == ItemState::New ? ItemState::New : ItemState::Modified;
    Update(row, payload, state);
    transaction.Commit();
    return state;
}

bool TReplicaStore::MarkDeleted(const Row& row) {
    if (row.State == ItemState::New && !InSession()) {
        Erase(row.ID);
        return true;
    }
    Update(row, row.Payload, ItemState::Deleted);
    return false;
}

bool TReplicaStore::DeleteLocal(std::string_view luid) {
    TTransaction transaction(replica_.db_);
    const Row row = RowOf(luid);
    if (row.State == ItemState::Deleted) return false;
    const bool gone = MarkDeleted(row);
    transaction.Commit();
    return gone;
}

void TReplicaStore::ResolveConflict(std::int64_t id, ConflictSide keep) {
    TTransaction transaction(replica_.db_);
    auto s =
        replica_.Sql("SELECT luid, local_payload FROM conflicts WHERE id = ?1 AND store_id = ?2");
    s->Bind(1, id).Bind(2, id_);
    if (!s->Step()) {
        Throw(StorageProblem::NoSuchConflict, "The replica holds no conflict " +
                                                  std::to_string(id) + " in data source " +
                                                  key_.DataSource);
    }
    const std::int64_t rowID = RowID(s->Int(0));
    const std::optional<std::string> local =
        s->IsNull(1) ? std::nullopt : std::optional<std::string>(s->Blob(1));
    replica_.Sql("DELETE FROM conflicts WHERE id = ?1")->Bind(1, id).Run();

    if (keep == ConflictSide::Local) {
        const auto row = FindRow(rowID);
        if (!local) {
            // The local side was a deletion: the item goes again.
            if (row && row->State != ItemState::Deleted) MarkDeleted(*row);
        } else if (row) {
            Update(*row, *local,
                   row->State == ItemState::New ? ItemState::New : ItemState::Modified);
        } else {
            // The server deleted the item: it comes back under its LUID, as a new item.
            Insert(rowID, {}, ItemState::New, *local);
        }
    }
    transaction.Commit();
}

// ---- Sessions ----

// Lets go of the session's lock when the session ends, also when ending it fails: the
// session then counts as cut off, and the next one starts from what it committed.
class TReplicaStore::SessionUnlock {
public:
    explicit SessionUnlock(const TReplicaStore& store) : store_(store) {}
    ~SessionUnlock() { store_.replica_.UnlockSession(store_.id_); }
    SessionUnlock(const SessionUnlock&) = delete;
    SessionUnlock& operator=(const SessionUnlock&) = delete;

private:
    const TReplicaStore& store_;
};

void TReplicaStore::ForgetConfirmations() {
    replica_
        .Sql(
            "UPDATE items SET confirmed = NULL "
            "WHERE store_id = ?1 AND state <> 0 AND confirmed IS NOT NULL")
        ->Bind(1, id_)
        .Run();
}

void TReplicaStore::BeginSession() {
    replica_.LockSession(id_, key_.DataSource);
    try {
        StartSession();
    } catch (...) {
        replica_.UnlockSession(id_);
        throw;
    }
}

void TReplicaStore::StartSession() {
    TTransaction transaction(replica_.db_);
    // A session the program did not end (it crashed, or was killed) keeps what its
    // batches took in; its confirmations are forgotten, so its local changes go again.
    ForgetConfirmations();
    replica_.Sql("UPDATE stores SET in_session = 1 WHERE id = ?1")->Bind(1, id_).Run();
    transaction.Commit();
}

bool TReplicaStore::AddsInDoubt() const {
    auto s = replica_.Sql("SELECT adds_in_doubt FROM stores WHERE id = ?1");
    s->Bind(1, id_);
    return s->Step() && s->Int(0) != 0;
}

void TReplicaStore::NoteAddsSent() {
    TTransaction transaction(replica_.db_);
    if (!InSession()) throw std::logic_error("NoteAddsSent without a session");
    replica_.Sql("UPDATE stores SET adds_in_doubt = 1 WHERE id = ?1")->Bind(1, id_).Run();
    transaction.Commit();
}

void TReplicaStore::EndSession(const SyncAnchors& next) {
    const SessionUnlock unlock(*this);
    TTransaction transaction(replica_.db_);
    if (!InSession()) throw std::logic_error("EndSession without a session");
    replica_
        .Sql(
            "DELETE FROM items "
            "WHERE store_id = ?1 AND state <> 0 AND state = 3 AND confirmed IS revision")
        ->Bind(1, id_)
        .Run();
    replica_
        .Sql(
            "UPDATE items SET state = 0, confirmed = NULL "
            "WHERE store_id = ?1 AND state <> 0 AND confirmed IS revision")
        ->Bind(1, id_)
        .Run();
    ForgetConfirmations();
    replica_
        .Sql(
            "UPDATE stores SET client_anchor = ?2, server_anchor = ?3, in_session = 0, "
            "adds_in_doubt = 0, last_sync = ?4 WHERE id = ?1")
        ->Bind(1, id_)
        .BindText(2, next.Client)
        .BindText(3, next.Server)
        .Bind(4, ToUnixMs(replica_.Now()))
        .Run();
    transaction.Commit();
}

void TReplicaStore::AbortSession() {
    const SessionUnlock unlock(*this);
    TTransaction transaction(replica_.db_);
    if (!InSession()) return;
    // What the session's batches took in stays: the server counts its changes as
    // delivered and would not send them again. Nothing local is settled.
    ForgetConfirmations();
    replica_.Sql("UPDATE stores SET in_session = 0 WHERE id = ?1")->Bind(1, id_).Run();
    transaction.Commit();
}

void TReplicaStore::KeepConflict(std::int64_t rowID, std::optional<std::string_view> local,
                                 std::optional<std::string_view> server) {
    auto s = replica_.Sql(
        "INSERT INTO conflicts (store_id, luid, made, local_payload, server_payload) "
        "VALUES (?1, ?2, ?3, ?4, ?5)");
    s->Bind(1, id_).Bind(2, rowID - RowID(0)).Bind(3, ToUnixMs(replica_.Now()));
    if (local) s->BindBlob(4, *local);
    if (server) s->BindBlob(5, *server);
    s->Run();
}

// One server message's changes in one transaction.
class TReplicaBatch final : public TStorageBatch {
public:
    explicit TReplicaBatch(TReplicaStore& store)
        : store_(store), replica_(store.replica_), transaction_(replica_.db_) {
        auto s = replica_.Sql("SELECT in_session, last_luid FROM stores WHERE id = ?1");
        s->Bind(1, store_.id_);
        if (!s->Step() || s->Int(0) == 0) throw std::logic_error("a batch outside a session");
        lastLUID_ = s->Int(1);
    }

    ApplyResult ServerAdd(std::string_view serverID, std::string_view payload) override {
        // The server sends an Add only for an item it has no map of: an Add repeated after
        // a lost Map updates the item, and its Map goes again.
        const std::int64_t rowID = store_.RowID(lastLUID_ + 1);
        auto insert = replica_.Sql(
            "INSERT INTO items (id, store_id, server_id, state, payload) "
            "VALUES (?1, ?2, ?3, 0, ?4) "
            "ON CONFLICT (store_id, server_id) WHERE server_id IS NOT NULL DO NOTHING");
        insert->Bind(1, rowID).Bind(2, store_.id_).BindTextOrNull(3, serverID).BindBlob(4, payload);
        if (insert->Run() == 0) {
            const auto row = store_.FindRow(ItemRef{{}, serverID});
            ApplyResult result = Overwrite(*row, payload);
            if (!store_.MapPending(row->ID)) newMaps_.push_back(row->ID);
            return result;
        }
        ++lastLUID_;
        newMaps_.push_back(rowID);
        return {ApplyOutcome::Added, LUIDText(rowID), false};
    }

    ApplyResult ServerReplace(const ItemRef& target, std::string_view payload) override {
        const auto row = store_.FindRow(target);
        if (!row) return {};
        return Overwrite(*row, payload);
    }

    ApplyResult ServerDelete(const ItemRef& target) override {
        const auto row = store_.FindRow(target);
        if (!row) return {};
        const bool conflict =
            row->State != ItemState::Unchanged && row->State != ItemState::Deleted;
        if (conflict) store_.KeepConflict(row->ID, row->Payload, std::nullopt);
        store_.Erase(row->ID);
        return {ApplyOutcome::Deleted, LUIDText(row->ID), conflict};
    }

    void ConfirmChange(std::string_view luid, std::int64_t revision) override {
        const auto number = ParseLUID(luid);
        if (!number) return;
        replica_
            .Sql("UPDATE items SET confirmed = ?2 WHERE id = ?1 AND revision = ?2 AND state <> 0")
            ->Bind(1, store_.RowID(*number))
            .Bind(2, revision)
            .Run();
    }

    void ForgetServerID(std::string_view luid) override {
        if (const auto number = ParseLUID(luid)) {
            replica_.Sql("UPDATE items SET server_id = NULL WHERE id = ?1")
                ->Bind(1, store_.RowID(*number))
                .Run();
        }
    }

    void ConfirmMap(std::string_view luid) override {
        if (const auto number = ParseLUID(luid)) confirmedMaps_.push_back(store_.RowID(*number));
    }

    void Pair(std::string_view luid, std::string_view serverID, bool settle) override {
        const auto number = ParseLUID(luid);
        const auto row = number ? store_.FindRow(store_.RowID(*number)) : std::nullopt;
        if (!row) return;
        replica_.Sql("UPDATE items SET server_id = NULL WHERE store_id = ?1 AND server_id = ?2")
            ->Bind(1, store_.id_)
            .BindText(2, serverID)
            .Run();
        replica_.Sql("UPDATE items SET server_id = ?2 WHERE id = ?1")
            ->Bind(1, row->ID)
            .BindText(2, serverID)
            .Run();
        if (settle && row->State == ItemState::New)
            store_.Update(*row, row->Payload, ItemState::Unchanged);
        if (!store_.MapPending(row->ID)) newMaps_.push_back(row->ID);
    }

    void SendAgain(std::string_view luid) override {
        const auto number = ParseLUID(luid);
        const auto row = number ? store_.FindRow(store_.RowID(*number)) : std::nullopt;
        if (!row) return;
        replica_.Sql("UPDATE items SET server_id = NULL WHERE id = ?1")->Bind(1, row->ID).Run();
        store_.Update(*row, row->Payload, ItemState::New);
    }

    void Commit() override {
        // The Maps of one message go in and out as runs of consecutive items: a first
        // sync's hundred thousand Maps take a few hundred rows and statements.
        ForEachRun(newMaps_,
                   [this](std::int64_t first, std::int64_t last) { store_.PendMaps(first, last); });
        ForEachRun(confirmedMaps_, [this](std::int64_t first, std::int64_t last) {
            store_.ConfirmMaps(first, last);
        });
        replica_.Sql("UPDATE stores SET last_luid = ?2 WHERE id = ?1")
            ->Bind(1, store_.id_)
            .Bind(2, lastLUID_)
            .Run();
        transaction_.Commit();
    }

private:
    // Calls visit(first, last) for each run of consecutive ids among `ids`.
    template <class Visit>
    static void ForEachRun(std::vector<std::int64_t>& ids, Visit visit) {
        std::sort(ids.begin(), ids.end());
        for (std::size_t i = 0; i < ids.size();) {
            std::size_t j = i;
            while (j + 1 < ids.size() && ids[j + 1] <= ids[j] + 1)
                ++j;
            visit(ids[i], ids[j]);
            i = j + 1;
        }
    }

    // The server's version replaces the item's. A local change that differs from it is
    // kept as a conflict copy: one the server has not seen, or one it has taken and sends
    // back changed (merged with a change on its side, which may have won over part of it).
    ApplyResult Overwrite(const TReplicaStore::Row& row, std::string_view payload) {
        const bool conflict = row.State != ItemState::Unchanged &&
                              (row.State == ItemState::Deleted || row.Payload != payload);
        if (conflict) {
            store_.KeepConflict(row.ID,
                                row.State == ItemState::Deleted
                                    ? std::nullopt
                                    : std::optional<std::string_view>(row.Payload),
                                payload);
        }
        store_.Update(row, payload, ItemState::Unchanged);
        return {ApplyOutcome::Updated, LUIDText(row.ID), conflict};
    }

    TReplicaStore& store_;
    TReplica& replica_;
    TTransaction transaction_;
    std::int64_t lastLUID_ = 0;
    std::vector<std::int64_t> newMaps_, confirmedMaps_;  // written by Commit
};

std::unique_ptr<TStorageBatch> TReplicaStore::BeginBatch() {
    return std::make_unique<TReplicaBatch>(*this);
}

}  // namespace orvanta
