#include "replica/Schema.h"

#include <array>
#include <string>

namespace orvanta::sqlite {

namespace {

// Each step brings the schema from version i to i + 1. A released step never changes:
// a new layout is a new step.
constexpr std::array<const char*, kSchemaVersion> kSteps = {
    // 1: the replica's device ID; per account and data source the anchors; the items
    // (LUID = row id, never used twice) with the server's identifier, state and payload;
    // the local versions that lost a conflict (their numbers never used twice either).
    R"sql(
CREATE TABLE replica (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    device_id TEXT NOT NULL,
    created INTEGER NOT NULL
);
CREATE TABLE stores (
    id INTEGER PRIMARY KEY,
    server_url TEXT NOT NULL,
    user_name TEXT NOT NULL,
    data_source TEXT NOT NULL,
    kind TEXT NOT NULL,
    client_anchor TEXT NOT NULL DEFAULT '',
    server_anchor TEXT NOT NULL DEFAULT '',
    UNIQUE (server_url, user_name, data_source)
);
CREATE TABLE items (
    luid INTEGER PRIMARY KEY AUTOINCREMENT,
    store_id INTEGER NOT NULL REFERENCES stores (id),
    server_id TEXT,
    state INTEGER NOT NULL,
    map_pending INTEGER NOT NULL DEFAULT 0,
    payload BLOB NOT NULL
);
CREATE INDEX items_by_store ON items (store_id);
CREATE UNIQUE INDEX items_by_server_id ON items (store_id, server_id)
    WHERE server_id IS NOT NULL;
CREATE TABLE conflicts (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    store_id INTEGER NOT NULL REFERENCES stores (id),
    luid INTEGER NOT NULL,
    made INTEGER NOT NULL,
    local_payload BLOB
);
)sql",
    // 2: the items of a store are one range of the table (row id = the store's number
    // times 2^32 plus the item's LUID, each store counting its own LUIDs), so that
    // reading a store and adding to it needs no index of stores; the Maps still to send
    // are runs of row ids (a server message's Adds are one run, the server's
    // confirmation of a Map takes a run out), so that neither rewrites an item; local
    // changes are settled when the session ends (an item's revision names the
    // version the server confirmed); a failed session is undone from the rows it kept in
    // session_undo; the server's version stands beside each conflict copy. The LUIDs
    // stay what they were (the server maps them); every store goes on after the highest
    // one ever made. The server's version of an older conflict is the item as it is now
    // (none when it is gone).
    R"sql(
CREATE TABLE store_items (
    id INTEGER PRIMARY KEY,
    store_id INTEGER NOT NULL REFERENCES stores (id),
    server_id TEXT,
    state INTEGER NOT NULL,
    revision INTEGER NOT NULL DEFAULT 1,
    confirmed INTEGER,
    payload BLOB NOT NULL
);
INSERT INTO store_items (id, store_id, server_id, state, payload)
    SELECT (store_id << 32) + luid, store_id, server_id, state, payload FROM items;
CREATE TABLE pending_maps (first INTEGER PRIMARY KEY, last INTEGER NOT NULL);
INSERT INTO pending_maps SELECT (store_id << 32) + luid, (store_id << 32) + luid FROM items
    WHERE map_pending <> 0;
ALTER TABLE stores ADD COLUMN last_luid INTEGER NOT NULL DEFAULT 0;
UPDATE stores SET last_luid = coalesce((SELECT seq FROM sqlite_sequence WHERE name = 'items'), 0);
DROP TABLE items;
DELETE FROM sqlite_sequence WHERE name = 'items';
ALTER TABLE store_items RENAME TO items;
CREATE UNIQUE INDEX items_by_server_id ON items (store_id, server_id) WHERE server_id IS NOT NULL;
CREATE INDEX items_changed ON items (store_id) WHERE state <> 0;
ALTER TABLE stores ADD COLUMN session INTEGER NOT NULL DEFAULT 0;
ALTER TABLE stores ADD COLUMN in_session INTEGER NOT NULL DEFAULT 0;
ALTER TABLE stores ADD COLUMN session_luid INTEGER NOT NULL DEFAULT 0;
ALTER TABLE stores ADD COLUMN last_sync INTEGER;
ALTER TABLE conflicts ADD COLUMN session INTEGER NOT NULL DEFAULT 0;
ALTER TABLE conflicts ADD COLUMN server_payload BLOB;
UPDATE conflicts SET server_payload =
    (SELECT payload FROM items WHERE items.id = (conflicts.store_id << 32) + conflicts.luid);
CREATE TABLE session_undo (
    id INTEGER PRIMARY KEY,
    server_id TEXT,
    state INTEGER NOT NULL,
    revision INTEGER NOT NULL,
    map_pending INTEGER NOT NULL,
    payload BLOB NOT NULL
);
)sql",
    // 3: a failed session is no longer undone (the server's changes it took in stay, as
    // the server counts them as delivered), so the rows kept for undoing it and the
    // session counters go; a store notes that a session sent new items and did not end,
    // so that the next one is a slow sync instead of sending them again as Adds.
    R"sql(
DROP TABLE session_undo;
ALTER TABLE conflicts DROP COLUMN session;
ALTER TABLE stores DROP COLUMN session;
ALTER TABLE stores DROP COLUMN session_luid;
ALTER TABLE stores ADD COLUMN adds_in_doubt INTEGER NOT NULL DEFAULT 0;
)sql",
};

}  // namespace

void MigrateSchema(TDatabase& db, int from) {
    for (int version = from; version < kSchemaVersion; ++version)
        db.Exec(kSteps[static_cast<std::size_t>(version)]);
    // PRAGMA takes no parameters; the number is the program's own constant.
    db.Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
}

}  // namespace orvanta::sqlite
