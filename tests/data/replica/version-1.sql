-- A replica as version 1 of its schema wrote it: one account with two data sources, a
-- finished sync of the first (its anchors), local changes of every kind, a Map the
-- server had not confirmed, and two conflict copies, one of an item the server deleted
-- since. LUIDs 1 to 7 were made (6 is gone), conflicts 1 to 3 (1 was resolved).
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
INSERT INTO replica VALUES (1, 'orvanta-5f0c9d2e7a1b3c44', 1767222000000);
INSERT INTO stores VALUES (1, 'http://sync.example/sync', 'anna', 'card', 'card', '4711', 'srv-9');
INSERT INTO stores VALUES (2, 'http://sync.example/sync', 'anna', 'cal', 'cal', '', '');
INSERT INTO items VALUES (1, 1, 's1', 0, 0, X'424547494E3A56434152440D0A464E3A4AC3B672670D0A454E443A56434152440D0A');
INSERT INTO items VALUES (2, 1, 's2', 2, 0, 'Edited here');
INSERT INTO items VALUES (3, 1, 's3', 3, 0, 'Deleted here');
INSERT INTO items VALUES (4, 1, NULL, 1, 0, 'Made here');
INSERT INTO items VALUES (5, 1, 's5', 0, 1, 'Map not confirmed');
INSERT INTO items VALUES (7, 2, 's1', 1, 0, 'An event of the other data source');
INSERT INTO conflicts VALUES (2, 1, 2, 1767225600000, 'The local version of 2');
INSERT INTO conflicts VALUES (3, 1, 6, 1767229200000, 'The local version of 6');
UPDATE sqlite_sequence SET seq = 7 WHERE name = 'items';
UPDATE sqlite_sequence SET seq = 3 WHERE name = 'conflicts';
PRAGMA user_version = 1;
