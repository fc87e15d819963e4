-- The empty cache database the program installs as "db.s3db". The cache's statements read
-- result columns by position and insert without column names, so the column order is fixed.
PRAGMA journal_mode = WAL;

CREATE TABLE devices (
    deviceid TEXT,
    devicename TEXT,
    version TEXT,
    synclocation TEXT,
    extra TEXT
);

CREATE TABLE files (
    deviceid TEXT,
    artist TEXT,
    album TEXT,
    filename TEXT,
    location TEXT,
    status INTEGER
);

CREATE TABLE arts (
    deviceid TEXT,
    artist TEXT,
    album TEXT,
    status INTEGER
);

-- Look-ups by device and name, so that a sync's per-track queries do not scan the tables.
-- Not unique: inserting the same file twice must still succeed.
CREATE INDEX devices_by_id ON devices (deviceid);
CREATE INDEX files_by_name ON files (deviceid, artist, album, filename);
CREATE INDEX files_by_status ON files (deviceid, status);
CREATE INDEX arts_by_name ON arts (deviceid, artist, album);
