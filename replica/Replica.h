#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/DateTime.h"
#include "formats/ItemStorage.h"
#include "replica/Sqlite.h"

namespace orvanta {

struct ReplicaOptions {
    // How long a write waits for another program's write to end before it fails.
    int BusyTimeoutMs = 2000;
    // Draws a number in 0..bound-1; makes the device ID of a new replica.
    std::function<std::uint32_t(std::uint32_t bound)> Random;
    // The current moment in UTC: when a conflict copy was made, when a sync ended.
    std::function<TDateTime()> Clock;
};

class TReplicaStore;

// The replica: this computer's copy of the user's data, one SQLite file for every
// account and data source, with its device ID. Opening it creates it (mode 0600, in
// folders made 0700) when it is missing, checks it (PRAGMA quick_check), and brings an
// older schema up to date; a file that is damaged, not a replica, of a newer version or
// not writable is refused with a StorageError and left as it is. One object is one
// connection for one thread; another thread or program opens its own, and writes wait
// for each other up to the busy timeout. Never holds a password.
class TReplica {
public:
    // $XDG_DATA_HOME/Orvanta/replica.sqlite, or ~/.local/share/Orvanta/replica.sqlite.
    [[nodiscard]] static std::filesystem::path DefaultPath();

    explicit TReplica(const std::filesystem::path& file, ReplicaOptions options = {});
    ~TReplica();
    TReplica(const TReplica&) = delete;
    TReplica& operator=(const TReplica&) = delete;

    [[nodiscard]] const std::filesystem::path& File() const { return db_.File(); }
    [[nodiscard]] const std::string& DeviceID() const { return deviceID_; }
    // The items of one account's data source; an empty store the first time. Fails
    // (WrongKind) when the data source is held for another kind.
    [[nodiscard]] TReplicaStore Store(const StoreKey& key);
    // Every account and data source held.
    [[nodiscard]] std::vector<StoreKey> Stores();

private:
    friend class TReplicaStore;
    friend class TReplicaBatch;

    void Open(bool created);
    // One session per data source at a time, among all programs and connections: a lock
    // on the store's byte of the file "<replica>-sessions" (an open-file-description
    // lock: it also keeps out another connection of this program, and goes with the
    // program when it ends, crashed or not).
    void LockSession(std::int64_t store, const std::string& dataSource);
    void UnlockSession(std::int64_t store);
    // A prepared statement, made once per connection, for one use.
    [[nodiscard]] sqlite::TStatementUse Sql(const char* text);
    [[nodiscard]] TDateTime Now() const { return options_.Clock(); }

    ReplicaOptions options_;
    sqlite::TDatabase db_;
    std::unordered_map<const char*, sqlite::TStatement> statements_;
    std::string deviceID_;
    int sessionLocks_ = -1;  // the file of the session locks, opened at the first session
};

// The items of one account and data source in the replica.
class TReplicaStore final : public TItemStorage {
public:
    TReplicaStore(TReplica& replica, std::int64_t id, StoreKey key);

    [[nodiscard]] const StoreKey& Key() const { return key_; }

    [[nodiscard]] const std::string& DeviceID() const override { return replica_.DeviceID(); }
    [[nodiscard]] SyncAnchors Anchors() const override;
    [[nodiscard]] std::optional<TDateTime> LastSync() const override;
    [[nodiscard]] bool AddsInDoubt() const override;
    void ReadItems(const StoredItemHandler& handler) const override;
    [[nodiscard]] std::optional<StoredItem> FindItem(std::string_view luid) const override;
    [[nodiscard]] std::vector<StoredItem> LocalChanges() const override;
    [[nodiscard]] std::vector<StoredItem> PendingMaps() const override;
    [[nodiscard]] std::vector<ConflictCopy> Conflicts() const override;

    std::vector<std::string> AddLocal(std::span<const std::string_view> payloads) override;
    ItemState ReplaceLocal(std::string_view luid, std::string_view payload) override;
    bool DeleteLocal(std::string_view luid) override;
    void ResolveConflict(std::int64_t id, ConflictSide keep) override;

    void BeginSession() override;
    void NoteAddsSent() override;
    [[nodiscard]] std::unique_ptr<TStorageBatch> BeginBatch() override;
    void EndSession(const SyncAnchors& next) override;
    void AbortSession() override;

private:
    friend class TReplicaBatch;
    class SessionUnlock;

    void StartSession();
    // The row of an item of this store, for the writes that depend on it.
    struct Row {
        std::int64_t ID = 0;  // the row id: the store's range plus the LUID
        ItemState State = ItemState::Unchanged;
        std::string Payload;
    };
    [[nodiscard]] std::int64_t RowID(std::int64_t luid) const;
    [[nodiscard]] std::optional<Row> FindRow(std::int64_t rowID) const;
    [[nodiscard]] std::optional<Row> FindRow(const ItemRef& ref) const;
    [[nodiscard]] Row RowOf(std::string_view luid) const;  // fails for an unknown LUID
    [[nodiscard]] bool InSession() const;
    // The last LUID the store made; new ones count on from it.
    [[nodiscard]] std::int64_t LastLUID() const;
    void SetLastLUID(std::int64_t luid);
    void Insert(std::int64_t rowID, std::string_view serverID, ItemState state,
                std::string_view payload);
    // A new payload and state, a new revision, no confirmation.
    void Update(const Row& row, std::string_view payload, ItemState state);
    void Erase(std::int64_t rowID);
    // The Maps still to send are runs of row ids [first, last].
    [[nodiscard]] bool MapPending(std::int64_t rowID) const;
    void PendMaps(std::int64_t first, std::int64_t last);
    void ConfirmMaps(std::int64_t first, std::int64_t last);
    void KeepConflict(std::int64_t rowID, std::optional<std::string_view> local,
                      std::optional<std::string_view> server);
    // Marks an item deleted, or drops a new one that no session may have sent.
    bool MarkDeleted(const Row& row);
    void ForgetConfirmations();

    TReplica& replica_;
    std::int64_t id_;
    StoreKey key_;
};

}  // namespace orvanta
