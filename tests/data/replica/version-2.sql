-- A replica as version 2 of its schema wrote it, left inside a session by a program
-- that ended there: the server had replaced item 1 (its earlier version kept for undoing
-- the session, and a conflict copy of it), confirmed the edit of item 2, added item 5
-- (its Map still to send) and item 6 (Map confirmed); items 3 and 4 wait to be sent.
CREATE TABLE replica (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    device_id TEXT NOT NULL,
    created INTEGER NOT NULL
);
INSERT INTO replica VALUES(1,'orvanta-5f0c9d2e7a1b3c44',1767222000000);
CREATE TABLE stores (
    id INTEGER PRIMARY KEY,
    server_url TEXT NOT NULL,
    user_name TEXT NOT NULL,
    data_source TEXT NOT NULL,
    kind TEXT NOT NULL,
    client_anchor TEXT NOT NULL DEFAULT '',
    server_anchor TEXT NOT NULL DEFAULT '', last_luid INTEGER NOT NULL DEFAULT 0, session INTEGER NOT NULL DEFAULT 0, in_session INTEGER NOT NULL DEFAULT 0, session_luid INTEGER NOT NULL DEFAULT 0, last_sync INTEGER,
    UNIQUE (server_url, user_name, data_source)
);
INSERT INTO stores VALUES(1,'http://sync.example/sync','anna','card','card','4711','srv-9',6,3,1,4,1767225600000);
CREATE TABLE conflicts (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    store_id INTEGER NOT NULL REFERENCES stores (id),
    luid INTEGER NOT NULL,
    made INTEGER NOT NULL,
    local_payload BLOB
, session INTEGER NOT NULL DEFAULT 0, server_payload BLOB);
INSERT INTO conflicts VALUES(1,1,1,1767229200000,'Edited here before',3,'Replaced by the server');
CREATE TABLE IF NOT EXISTS "items" (
    id INTEGER PRIMARY KEY,
    store_id INTEGER NOT NULL REFERENCES stores (id),
    server_id TEXT,
    state INTEGER NOT NULL,
    revision INTEGER NOT NULL DEFAULT 1,
    confirmed INTEGER,
    payload BLOB NOT NULL
);
INSERT INTO items VALUES(4294967297,1,'s1',0,2,NULL,'Replaced by the server');
INSERT INTO items VALUES(4294967298,1,'s2',2,2,2,'Edited here, confirmed');
INSERT INTO items VALUES(4294967299,1,'s3',3,1,NULL,'Deleted here');
INSERT INTO items VALUES(4294967300,1,NULL,1,1,NULL,'Made here');
INSERT INTO items VALUES(4294967301,1,'s5',0,1,NULL,'Added by the server');
INSERT INTO items VALUES(4294967302,1,'s6',0,1,NULL,'Added, Map confirmed');
CREATE TABLE pending_maps (first INTEGER PRIMARY KEY, last INTEGER NOT NULL);
INSERT INTO pending_maps VALUES(4294967301,4294967301);
CREATE TABLE session_undo (
    id INTEGER PRIMARY KEY,
    server_id TEXT,
    state INTEGER NOT NULL,
    revision INTEGER NOT NULL,
    map_pending INTEGER NOT NULL,
    payload BLOB NOT NULL
);
INSERT INTO session_undo VALUES(4294967297,'s1',2,1,0,'Edited here before');
INSERT INTO sqlite_sequence VALUES('conflicts',1);
CREATE UNIQUE INDEX items_by_server_id ON items (store_id, server_id) WHERE server_id IS NOT NULL;
CREATE INDEX items_changed ON items (store_id) WHERE state <> 0;
PRAGMA user_version = 2;
