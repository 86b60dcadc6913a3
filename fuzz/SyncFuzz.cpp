// The two-way sync against replies from the input, into a replica in a file of its own.
// The first byte picks the kind of store (its two lowest bits) and whether the replica
// has synced before (bit 2: then it holds an unchanged, a modified and a deleted item of
// the server, a Map the server has not confirmed, and the anchors "c1" and "s1"); either
// way it holds a new item. The rest holds the server's replies, separated by kSeparator.
//
// Whatever the replies, the replica stays consistent: every item once, by its LUID and
// by the server's identifier; a new item without one; the anchors unchanged after a
// failure (unless a slow sync ended before the session that failed) and new after a
// success; every Map of the server's items either still to send
// or sent in a Map of this session; and every local change still marked, settled by a
// sync that succeeded, or kept as a conflict copy.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/SyncExchange.h"
#include "engine/SyncMLMessage.h"
#include "engine/SyncMLSession.h"
#include "formats/Failure.h"
#include "fuzz/FakeTransport.h"
#include "fuzz/FuzzSupport.h"
#include "replica/Replica.h"

using namespace orvanta;
namespace fs = std::filesystem;

namespace {

// A folder of this process's own, in memory where the system has one.
fs::path Folder() {
    static const fs::path folder = [] {
        const fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path dir = base / ("orvanta-sync-fuzz-" + std::to_string(getpid()));
        fs::create_directories(dir);
        return dir;
    }();
    return folder;
}

ReplicaOptions Options() {
    ReplicaOptions options;
    options.Random = [](std::uint32_t bound) { return 7 % bound; };
    options.Clock = [] { return 46000.5; };
    return options;
}

// The MapItem the client writes for an item, byte for byte.
std::string MapItemText(const std::string& serverID, const std::string& luid) {
    TMessageWriter m;
    m.Start();
    TSyncSession::AppendMapItem(m, serverID, luid);
    const std::string& text = m.Finish();
    const auto from = text.find("<MapItem>");
    return text.substr(from, text.rfind("</MapItem>") + 10 - from);
}

// The session whose client Next anchor was `next` was followed by another session: a
// slow sync that ended and the two-way one for the local changes it left.
bool SessionFollowed(const std::string& sent, const std::string& next) {
    const auto at = sent.find("<Next>" + next + "</Next>");
    return at != std::string::npos && sent.find("<MsgID>1</MsgID>", at) != std::string::npos;
}

struct Snapshot {
    SyncAnchors Anchors;
    std::map<std::string, StoredItem> Items;  // by LUID
    std::set<std::string> Pending;            // LUIDs whose Map is still to send
    std::set<std::string> Conflicts;          // LUIDs with a conflict copy
};

Snapshot Take(const TReplicaStore& store) {
    Snapshot s;
    s.Anchors = store.Anchors();
    std::set<std::string> serverIDs;
    store.ReadItems([&](const StoredItemView& item) {
        const StoredItem owned(item);
        fuzz::Require(s.Items.emplace(owned.LUID, owned).second, "an item held twice");
        fuzz::Require(item.ServerID.empty() || serverIDs.insert(owned.ServerID).second,
                      "two items of one server identifier");
        fuzz::Require(item.State != ItemState::New || item.ServerID.empty(),
                      "a new item the server has named");
    });
    for (const StoredItem& map : store.PendingMaps())
        s.Pending.insert(map.LUID);
    for (const ConflictCopy& copy : store.Conflicts())
        s.Conflicts.insert(copy.LUID);
    return s;
}

void Prepare(TReplicaStore& store, bool synced) {
    if (synced) {
        store.BeginSession();
        auto batch = store.BeginBatch();
        for (const char* id : {"g1", "g2", "g3", "g4"})
            (void)batch->ServerAdd(id, std::string("BEGIN:VCARD\r\nN:") + id + "\r\nEND:VCARD\r\n");
        for (const char* luid : {"1", "2", "3"})
            batch->ConfirmMap(luid);
        batch->Commit();
        store.EndSession({"c1", "s1"});
        (void)store.ReplaceLocal("2", "BEGIN:VCARD\r\nN:edited\r\nEND:VCARD\r\n");
        (void)store.DeleteLocal("3");
    }
    const std::string_view added = "BEGIN:VCARD\r\nN:new\r\nEND:VCARD\r\n";
    (void)store.AddLocal({&added, 1});
}

void Remove(const fs::path& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-sessions"})
        fs::remove(file.string() + suffix);
}

// The replica an input starts from, made once per kind and state and copied for each
// input: making it anew took most of an input's time.
const fs::path& Prepared(const StoreKey& key, bool synced) {
    static std::map<std::pair<std::string, bool>, fs::path> made;
    fs::path& file = made[{key.DataSource, synced}];
    if (file.empty()) {
        file = Folder() / (key.DataSource + (synced ? "-synced" : "-new") + ".sqlite");
        Remove(file);
        TReplica replica(file, Options());
        TReplicaStore store = replica.Store(key);
        Prepare(store, synced);
    }  // closed: the file holds everything, its log folded in
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    auto client = fuzz::MakeClient(data[0]);
    const StoreKey key{client->ServerURL, client->UserName, client->DataSource,
                       client->DataSource};
    const fs::path file = Folder() / "replica.sqlite";
    Remove(file);
    // Through streams, which go on after a signal (libFuzzer's timer) where
    // std::filesystem::copy_file fails.
    std::ofstream(file, std::ios::binary)
        << std::ifstream(Prepared(key, (data[0] & 4) != 0), std::ios::binary).rdbuf();
    TReplica replica(file, Options());
    TReplicaStore store = replica.Store(key);
    const Snapshot before = Take(store);

    fuzz::SetReplies(fuzz::SplitParts(fuzz::AsText(data + 1, size - 1)));
    bool synced = false;
    try {
        (void)Synchronize(*client, store);
        synced = true;
    } catch (const Failure&) {
        // The user reads the message; the replica must be as the invariants say.
    }
    const Snapshot after = Take(store);

    std::string sent;
    for (const std::string& request : fuzz::RequestsSent())
        sent += request;
    if (synced) {
        fuzz::Require(after.Anchors.Client != before.Anchors.Client, "a sync kept the old anchor");
    } else {
        // A slow sync that ended keeps its anchors when the session after it (the local
        // changes it left) fails.
        fuzz::Require(after.Anchors == before.Anchors || SessionFollowed(sent, after.Anchors.Client),
                      "a failed sync moved the anchors");
    }
    for (const auto& [luid, item] : after.Items) {
        if (item.ServerID.empty() || after.Pending.contains(luid)) continue;
        const auto old = before.Items.find(luid);
        const bool mappedBefore = old != before.Items.end() && old->second.ServerID == item.ServerID &&
                                  !before.Pending.contains(luid);
        fuzz::Require(mappedBefore || sent.find(MapItemText(item.ServerID, luid)) != sent.npos,
                      "a Map taken as confirmed that was never sent");
    }
    for (const auto& [luid, item] : before.Items) {
        if (item.State == ItemState::Unchanged) continue;
        // Still marked, settled, or taken over by the server's identical version; or its
        // local version kept beside the server's; or deleted on both sides.
        const auto now = after.Items.find(luid);
        const bool kept = now != after.Items.end() && now->second.Payload == item.Payload;
        const bool bothDeleted = item.State == ItemState::Deleted && now == after.Items.end();
        fuzz::Require(kept || bothDeleted || after.Conflicts.contains(luid),
                      "a local change lost without a trace");
        fuzz::Require(synced || now == after.Items.end() || now->second.State != ItemState::Unchanged ||
                          now->second.Revision != item.Revision,
                      "a failed sync settled a local change");
    }
    return 0;
}
