#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/SyncMLBase.h"

namespace orvanta {

class TItemStorage;

// Why a sync was a slow one: the client sends every item it holds, and the server pairs
// them with its own by content and sends those it could not pair.
enum class SlowSyncReason : std::uint8_t {
    None,            // a two-way sync: only what changed since the last one, both ways
    FirstSync,       // the data source has not been synchronised from this storage yet
    ServerAsked,     // the server answered the Alert with 508, or sent an Alert 201
    AnchorMismatch,  // the server's last anchor is not the one the storage kept
    // An earlier session sent new items and did not end: the server may hold them
    // without knowing their LUIDs, and sending them again as Adds would double them.
    AfterFailure,
};

struct ChangeCounts {
    std::size_t Added = 0;
    std::size_t Replaced = 0;
    std::size_t Deleted = 0;
    friend bool operator==(const ChangeCounts&, const ChangeCounts&) = default;
};

// A local change the server did not accept: it stays marked and goes with the next sync.
struct UnacceptedChange {
    std::string LUID;
    std::string Cmd;  // Add, Replace, Delete
    int Code = 0;     // the server's Status; 0 when none came
};

// What one sync did.
struct SyncSummary {
    SlowSyncReason Slow = SlowSyncReason::None;
    ChangeCounts Sent;      // local changes the server accepted
    ChangeCounts Received;  // the server's changes taken into the storage
    // Local versions kept as conflict copies because the server's version replaced them
    // (TItemStorage::Conflicts lists them).
    std::size_t Conflicts = 0;
    std::vector<UnacceptedChange> Unaccepted;
    // The server's commands the client refused (also in the client's Refused):
    // RefusedReport says what the user misses.
    std::vector<RefusedCommand> Refused;
    ExchangeStats Stats;
};

// The summary in one line, as the command line prints it: "sent: 1 added, 0 replaced,
// 2 deleted; received: 5 added, 1 replaced, 0 deleted; 1 conflict", with "(slow sync)"
// after a slow one.
[[nodiscard]] std::string SummaryLine(const SyncSummary& summary);

// A two-way sync (Alert 200, or a slow sync, Alert 201, when one is needed) of the
// client's data source with the items of `storage`, the storage's device ID naming this
// device. The client gives the account (server URL, user, password, data source), the
// kind's content type and capabilities, the transport, the clock and random source and
// the progress callback; its Items are not used. TSMLBase::Cancel ends it.
//
// Each server message is taken into the storage in one transaction, with the
// confirmations of the local changes and Maps it carries. The local changes are
// settled, and the anchors kept, only when the session ends with success. A session that
// fails throws (TransportError, ProtocolError, StorageError, CancelledError) and leaves
// the server's changes of the messages already taken (the server counts them as
// delivered and does not send them again), every local change still marked and the
// anchors as they were; the Maps of the server's new items go with the next session.
SyncSummary Synchronize(TSMLBase& client, TItemStorage& storage);

}  // namespace orvanta
