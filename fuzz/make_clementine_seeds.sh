#!/usr/bin/env bash
# Writes the seed corpus of fuzz_clementine_database: small Strawberry and Clementine databases
# (the tables and columns the reader uses, 512-byte pages so that each stays under the fuzzer's
# 4 KiB input limit), and truncated and bit-flipped copies of them.
set -euo pipefail
cd "$(dirname "$0")/corpus/clementine_database"
rm -f ./*.db

sqlite3 strawberry.db <<'SQL'
PRAGMA page_size = 512;
CREATE TABLE songs (title TEXT, album TEXT, artist TEXT, url TEXT NOT NULL, rating INTEGER);
CREATE TABLE playlists (name TEXT NOT NULL, ui_order INTEGER NOT NULL DEFAULT 0,
  is_favorite INTEGER NOT NULL DEFAULT 0);
CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type INTEGER NOT NULL DEFAULT 0,
  collection_id INTEGER, title TEXT, album TEXT, artist TEXT, url TEXT NOT NULL);
INSERT INTO songs VALUES ('One', 'Album', 'Artist', 'file:///tmp/a%20b.mp3', 5),
  ('Þögn', 'Kyrrð', 'Sigrún', 'file:///tmp/S%C3%AD.flac', -1);
INSERT INTO playlists VALUES ('Mix', 1, 0), ('Closed', -1, 1), ('Café', 0, 0);
INSERT INTO playlist_items VALUES (1, 2, 1, NULL, NULL, NULL, ''), (1, 2, 2, NULL, NULL, NULL, ''),
  (3, 1, NULL, 'Own', 'A', 'B', 'file:///tmp/own.ogg'), (3, 5, NULL, 'Radio', '', '', 'http://x/'),
  (1, 2, 1, NULL, NULL, NULL, ''), (2, 2, 9, 'Gone', '', '', '');
SQL

sqlite3 clementine.db <<'SQL'
PRAGMA page_size = 512;
CREATE TABLE songs (title TEXT, album TEXT, artist TEXT, directory INTEGER NOT NULL,
  filename TEXT NOT NULL, mtime INTEGER NOT NULL, ctime INTEGER NOT NULL,
  filesize INTEGER NOT NULL);
CREATE TABLE playlists (name TEXT NOT NULL, ui_order INTEGER NOT NULL DEFAULT 0);
CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type TEXT NOT NULL, library_id INTEGER,
  url TEXT, title TEXT, artist TEXT, album TEXT, radio_service TEXT, filename TEXT);
INSERT INTO songs VALUES ('One', 'Album', 'Artist', 1, CAST('file:///tmp/a%20b.mp3' AS BLOB), 0, 0, 1);
INSERT INTO playlists VALUES ('Mix', 0), ('Other', 0);
INSERT INTO playlist_items VALUES (1, 'Library', 1, NULL, NULL, NULL, NULL, NULL, NULL),
  (2, 'File', NULL, 'file:///tmp/old.mp3', 'Own', 'A', 'B', NULL,
   CAST('file:///tmp/own.ogg' AS BLOB)),
  (1, 'Stream', NULL, NULL, 'Radio', '', '', NULL, CAST('http://x/' AS BLOB)),
  (2, 'Magnatune', 1, NULL, 'Service', '', '', 'Magnatune', NULL);
SQL

sqlite3 early-clementine.db <<'SQL'
PRAGMA page_size = 512;
CREATE TABLE songs (title TEXT, album TEXT, artist TEXT, filename TEXT NOT NULL);
CREATE TABLE playlists (name TEXT NOT NULL);
CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type TEXT NOT NULL, library_id INTEGER,
  url TEXT, title TEXT, artist TEXT, album TEXT, length INTEGER, radio_service TEXT);
INSERT INTO songs VALUES ('One', 'Album', 'Artist', 'file:///tmp/a.mp3');
INSERT INTO playlists VALUES ('Mix');
INSERT INTO playlist_items VALUES (1, 'Library', 1, NULL, NULL, NULL, NULL, NULL, NULL),
  (1, 'Radio', NULL, 'lastfm://x', 'Radio', '', '', NULL, 'Last.fm');
SQL

for db in strawberry clementine; do
  size=$(stat -c %s "$db.db")
  head -c $((size / 2)) "$db.db" >"$db-truncated.db"
  # A flipped bit in each page's kind, and one in the text of the schema.
  cp "$db.db" "$db-flipped.db"
  for ((page = 512; page < size; page += 1024)); do
    byte=$(od -An -tu1 -j "$page" -N1 "$db.db")
    printf "$(printf '\\%03o' $((byte ^ 4)))" | dd of="$db-flipped.db" bs=1 seek="$page" conv=notrunc status=none
  done
  at=$(grep -abo 'CREATE TABLE playlists' "$db.db" | head -1 | cut -d: -f1)
  cp "$db.db" "$db-schema-flipped.db"
  printf 'X' | dd of="$db-schema-flipped.db" bs=1 seek=$((at + 3)) conv=notrunc status=none
done
ls -l
