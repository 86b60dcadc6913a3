#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/DateTime.h"
#include "formats/Failure.h"
#include "formats/SyncMLItem.h"

namespace orvanta {

// Where the items of one data store are kept between runs, as the exchanges and the
// offline edits see it. Items are payload bytes with their bookkeeping; what they mean is
// up to the kinds. The replica on disk implements it; the exchanges and the window use
// only this, so that neither needs to know the file.
//
// Identifiers: the LUID is this client's own identifier of an item, made by the storage
// and never used twice in one store; the server's identifier is known once the server has
// sent the item (its Add), and stays empty for an item made here: the server keeps the
// map from our LUID to its own identifier for those.

// Why a storage failed; the message says the same for the user.
enum class StorageProblem : std::uint8_t {
    NoSuchItem,      // an offline edit names a LUID the store does not hold
    NoSuchConflict,  // a conflict copy that is not (or no longer) there
    WrongKind,       // the data source is held for another kind of item
    InUse,           // another program holds the file (its lock outlasted the wait)
    ReadOnly,        // the file or its folder cannot be written
    Damaged,         // the file fails its check or a read finds it corrupt
    NotAReplica,     // not a database, or a database of another program
    TooNew,          // written by a newer version of the program
    DiskFull,        // no room to write: the unit of work was rolled back
    Unreadable,      // any other failure to read or write the file
};

class StorageError : public Failure {
public:
    StorageError(StorageProblem problem, const std::string& message)
        : Failure(message), problem_(problem) {}
    [[nodiscard]] StorageProblem Problem() const { return problem_; }

private:
    StorageProblem problem_;
};

// One account (server URL and user) and one of its data sources, of one kind of item
// ("cal", "card", "task", "vnote"). The kind is not part of the identity: a data source
// is held for one kind, and opening it for another is refused.
struct StoreKey {
    std::string ServerURL;
    std::string UserName;
    std::string DataSource;
    std::string Kind;
};

// The Next anchors of the last session that ended with success; both empty before the
// first one (a slow sync).
struct SyncAnchors {
    std::string Client;  // the client's Next of that session: its Last in the next one
    std::string Server;  // the server's Next of that session
    friend bool operator==(const SyncAnchors&, const SyncAnchors&) = default;
};

// One item as a storage hands it out while reading: the views hold until the handler
// returns.
struct StoredItemView {
    std::string_view LUID;
    std::string_view ServerID;  // empty until the server has named the item
    std::string_view Payload;   // byte for byte as it was written
    ItemState State = ItemState::Unchanged;
    // Changes with every write of the item; a confirmation of a local change names the
    // revision that was sent, so that an edit made after it stays marked.
    std::int64_t Revision = 0;
};

// The same, owning its texts.
struct StoredItem {
    std::string LUID;
    std::string ServerID;
    std::string Payload;
    ItemState State = ItemState::Unchanged;
    std::int64_t Revision = 0;

    StoredItem() = default;
    explicit StoredItem(const StoredItemView& v)
        : LUID(v.LUID),
          ServerID(v.ServerID),
          Payload(v.Payload),
          State(v.State),
          Revision(v.Revision) {}
};

// The item a server command names: by LUID when the server gives one (a Replace or
// Delete of an item it has mapped), else by the server's identifier.
struct ItemRef {
    std::string_view LUID;
    std::string_view ServerID;
};

enum class ApplyOutcome : std::uint8_t {
    Added,     // a new item: status 201
    Updated,   // an item held already: 200
    Deleted,   // 200
    NotFound,  // no such item: 211 for a Delete, 404 (or an Add) for a Replace
};

struct ApplyResult {
    ApplyOutcome Outcome = ApplyOutcome::NotFound;
    std::string LUID;  // the item's LUID (a new one for Added); empty for NotFound
    // The item held a local change that the server's command overwrote with another
    // version: the local version was kept as a conflict copy.
    bool Conflict = false;
};

// The local version of an item that lost against the server's, kept so that no edit
// disappears without a trace, with the server's version beside it.
struct ConflictCopy {
    std::int64_t ID = 0;
    std::string LUID;    // the item it belongs to (no longer held when the server deleted it)
    TDateTime When = 0;  // UTC, when the server's version came in
    std::optional<std::string> Local;   // empty: the item was deleted here
    std::optional<std::string> Server;  // empty: the server deleted the item
};

enum class ConflictSide : std::uint8_t {
    Server,  // the item stays as the server has it; the copy goes
    Local,   // the local version comes back, marked for the next sync
};

// The changes of one server message, written in one transaction: everything or, when the
// batch is dropped without Commit (a failure half way), nothing. Within a session only.
//
// The server resolves conflicts and the storage takes its result. When the server's
// version replaces an item that holds a local change (not yet settled: new, modified or
// deleted) and differs from it, the local version is kept as a conflict copy, whether
// the server had seen the change or not: a change the server took and sends back
// changed was merged with one on its side, which may have won over part of it.
class TStorageBatch {
public:
    virtual ~TStorageBatch() = default;

    // A server Add: a new item (new LUID, its Map pending), or, when the store holds an
    // item of this server identifier already (an Add repeated after a lost Map), that
    // item updated.
    virtual ApplyResult ServerAdd(std::string_view serverID, std::string_view payload) = 0;
    // A server Replace: the item named takes the payload; NotFound when there is none.
    virtual ApplyResult ServerReplace(const ItemRef& target, std::string_view payload) = 0;
    // A server Delete: the item named goes; NotFound when there is none.
    virtual ApplyResult ServerDelete(const ItemRef& target) = 0;
    // The server accepted the local change of this revision (a 2xx Status for its Add,
    // Replace or Delete). It is settled when the session ends with success; an edit made
    // since (a newer revision) stays marked. Names of unknown items are passed over.
    virtual void ConfirmChange(std::string_view luid, std::int64_t revision) = 0;
    // The server added this item anew (a 201 for its Replace, after the server had
    // deleted it): the identifier the server gave it before names nothing now, or
    // another item later.
    virtual void ForgetServerID(std::string_view luid) = 0;
    // The server accepted the Map entry of this item (taken in with Commit): the server
    // holds the map from then on, whatever becomes of the session.
    virtual void ConfirmMap(std::string_view luid) = 0;
    // A slow sync paired the server's item of this identifier with the item held here:
    // the item takes the identifier (an item that had it lets go of it), and its Map
    // goes with this session. `settle`: a new item is one the server holds already (sent
    // by a session that did not end), unchanged from now on.
    virtual void Pair(std::string_view luid, std::string_view serverID, bool settle) = 0;
    // A slow sync brought no server item for this item held here: the server does not
    // hold it (its store was emptied or replaced, or it lost the item), so the item goes
    // to the server again as a new one. A slow sync never deletes what is kept here.
    virtual void SendAgain(std::string_view luid) = 0;

    virtual void Commit() = 0;
};

// Receives the items while a storage reads them.
using StoredItemHandler = std::function<void(const StoredItemView& item)>;

class TItemStorage {
public:
    virtual ~TItemStorage() = default;

    // The device ID of this copy of the data, made once when the storage was created and
    // the same from then on: the server keeps its anchors and maps per device.
    [[nodiscard]] virtual const std::string& DeviceID() const = 0;
    [[nodiscard]] virtual SyncAnchors Anchors() const = 0;
    // When the last session ended with success (UTC); empty before the first.
    [[nodiscard]] virtual std::optional<TDateTime> LastSync() const = 0;
    // A session sent new items (Adds) and did not end with success: the server may hold
    // them without the map of their LUIDs, and sending them again as Adds would double
    // them. The next session is then a slow sync, which pairs them by content.
    [[nodiscard]] virtual bool AddsInDoubt() const = 0;

    // Every item, deleted ones (not yet sent) included, in the order they were made.
    virtual void ReadItems(const StoredItemHandler& handler) const = 0;
    [[nodiscard]] virtual std::optional<StoredItem> FindItem(std::string_view luid) const = 0;
    // The items with a local change (new, modified, deleted) to send, in LUID order.
    [[nodiscard]] virtual std::vector<StoredItem> LocalChanges() const = 0;
    // The server's items whose Map entry (LUID and server identifier) the server has not
    // confirmed: the next Map sends them. No payloads.
    [[nodiscard]] virtual std::vector<StoredItem> PendingMaps() const = 0;
    [[nodiscard]] virtual std::vector<ConflictCopy> Conflicts() const = 0;

    // Offline edits, each one unit of work, kept at once and sent with the next sync.
    // New items from payloads, all or none; gives their LUIDs in the same order.
    virtual std::vector<std::string> AddLocal(std::span<const std::string_view> payloads) = 0;
    // Gives the item's state after the change: a new item stays new, any other one is
    // modified. Fails for an unknown or deleted item.
    virtual ItemState ReplaceLocal(std::string_view luid, std::string_view payload) = 0;
    // A new item that no session may have sent yet goes at once (gives true); any other
    // is marked deleted (gives false) and goes once the server has confirmed its Delete.
    virtual bool DeleteLocal(std::string_view luid) = 0;
    // Keeps one side of a conflict and drops the copy. Keeping the local side marks the
    // item modified (or deleted), or makes it again as a new item when the server had
    // deleted it.
    virtual void ResolveConflict(std::int64_t id, ConflictSide keep) = 0;

    // A sync session. Begin marks the start, and fails (InUse) while another session of
    // the data source runs, in any program; each server message is one batch; End
    // settles the confirmed local changes, keeps the new anchors and clears
    // AddsInDoubt, in one unit of work. Abort (after any failure) and a program that
    // ends inside a session (a crash) alike keep what the committed batches took in (the
    // server's changes, which the server counts as delivered and does not send again,
    // with the Maps of its new items still to send) and settle nothing: every local
    // change stays marked, the confirmations are forgotten and the anchors stay as they
    // were.
    virtual void BeginSession() = 0;
    // The session is about to send new items; written at once, so that it holds through
    // a crash. Sets AddsInDoubt until a session ends with success.
    virtual void NoteAddsSent() = 0;
    [[nodiscard]] virtual std::unique_ptr<TStorageBatch> BeginBatch() = 0;
    virtual void EndSession(const SyncAnchors& next) = 0;
    virtual void AbortSession() = 0;
};

}  // namespace orvanta
