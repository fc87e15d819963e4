// Rhythmbox's library folder ($XDG_DATA_HOME/rhythmbox): the track database rhythmdb.xml
// (<rhythmdb> with one <entry type="..."> per location, a song entry holding <location>, a
// percent-encoded URI, and <title>, <artist>, <album>) and playlists.xml (<rhythmdb-playlists>
// with <playlist name="..." type="...">, a static one listing its <location> children in order).
// Static playlists are read in file order; an item's tags come from the song entry of the same
// location (the first, as Rhythmbox merges later ones into it) and are empty for any other
// location. Left out: automatic playlists, which hold a query in Rhythmbox's own query language
// that is not evaluated here; the play queue (type "queue"); and the texts of entries of other
// types (podcasts, radio stations, ignored files, import errors).
#pragma once

#include <QByteArray>
#include <optional>

#include "library/MusicLibrary.h"

class RhythmboxLibrary : public MusicLibrary {
  public:
    // Reads FOLDER/rhythmdb.xml and FOLDER/playlists.xml; a missing playlists.xml (Rhythmbox
    // writes it on the first save) means no playlists. Null, with the reason naming the file,
    // when either cannot be read or is damaged, truncated or not Rhythmbox's. Any thread.
    static std::unique_ptr<RhythmboxLibrary> load(const QString& folder, QString& error);
    // The same from the files' bytes (playlists absent: no such file); folder names the files in
    // messages and resolves relative locations. Any thread.
    static std::unique_ptr<RhythmboxLibrary> parse(const QByteArray& rhythmdb,
                                                   const std::optional<QByteArray>& playlists,
                                                   const QString& folder, QString& error);

    // The Rhythmbox folder that path names, absent when it names none: a folder holding
    // rhythmdb.xml; a file whose root element is <rhythmdb> or <rhythmdb-playlists>; a file named
    // rhythmdb.xml or playlists.xml whose root element cannot be read (so that a damaged one is
    // reported as such). Reads at most the start of the file. Any thread.
    static std::optional<QString> folderOf(const QString& path);

    std::vector<LibraryPlaylist> allPlaylists() const override { return playlists; }
    QString origin() const override { return folder; }
    QString kind() const override { return QStringLiteral("Rhythmbox"); }

  private:
    QString folder;
    std::vector<LibraryPlaylist> playlists;
};
