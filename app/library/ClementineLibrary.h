// The library database of Strawberry (strawberry.db) or of Clementine, the player it was forked
// from (clementine.db): SQLite files with the same layout and some columns renamed.
//   playlists:      name; ui_order, the tab order (-1 for a playlist kept but closed; without
//                   that column, as in early Clementine databases, row id order).
//   playlist_items: playlist (a playlists row id); type; the row id of a collection song
//                   (Strawberry collection_id, Clementine library_id); the item's own location
//                   (Strawberry url; Clementine filename, a file URL often stored as a BLOB, or
//                   url before schema 29) and its own title, artist, album.
//   songs:          the collection (library), keyed by row id: title, artist, album and the
//                   location (Strawberry url, Clementine filename).
// Item types: Strawberry keeps an integer (2 collection; 0 unknown, 1 local file, 4 device:
// their own location; anything else a CD track, stream or internet service); Clementine a name
// ("Library"; "File"; "Stream", "Internet", "Radio", "Magnatune", "Jamendo" for the rest).
// Playlists come open tabs first in tab order, then closed ones, ties by row id; items in row id
// order (the order the player saves them), duplicates kept. A collection item takes its song's
// location and tags, its own when the song is gone. Streams and services have no location.
// Left out: what the player does not keep as items (the rules of smart and dynamic playlists:
// a dynamic playlist reads as the items last saved for it), the folders of the playlist panel
// (ui_path), favourites, ratings and play counts, and the section of a file a CUE sheet names
// (beginning, cue_path: every section is its whole file).
#pragma once

#include "library/MusicLibrary.h"

class ClementineLibrary : public MusicLibrary {
  public:
    // Reads the database read-only, in one short read transaction that never makes the running
    // player wait more than that read, and closes it. Null, with the reason naming the file in
    // error, when it cannot be read or is not such a database. Any thread.
    static std::unique_ptr<ClementineLibrary> load(const QString& path, QString& error);

    std::vector<LibraryPlaylist> allPlaylists() const override { return playlists; }
    QString origin() const override { return path; }
    // "Strawberry" or "Clementine", after the layout found.
    QString kind() const override { return player; }

  private:
    QString path;
    QString player;
    std::vector<LibraryPlaylist> playlists;
};
