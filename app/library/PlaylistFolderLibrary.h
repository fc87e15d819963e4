// A folder of playlist files, as MPD's and Audacious's playlist folders or a player's export
// hold them: M3U/M3U8, XSPF, PLS and Audacious's .audpl files (extensions in any case), each
// file one playlist. A playlist is named after its file without the extension; an .audpl one
// after its title (the file name when it has none).
// Order: file-name order, .audpl files after the others; when the folder has Audacious's
// "order" file, the .audpl files it lists come in its order, those it does not list after them
// in file-name order.
// A playlist file that cannot be read or parsed (an XSPF that is not XML, a PLS without its
// section, a file over 64 MiB, ...) is left out, logged with its name and reason, and listed by
// unreadable(), so that one damaged file does not hide the others. When the folder holds
// playlist files and none of them can be read, the folder is an error naming each of them,
// never an empty library; a folder without playlist files is an empty library.
#pragma once

#include <QStringList>

#include "library/MusicLibrary.h"

class PlaylistFolderLibrary : public MusicLibrary {
  public:
    // Reads every playlist file of the folder. Null, with the reason in error, when the folder
    // cannot be read or when none of its playlist files can (see above). Any thread.
    static std::unique_ptr<PlaylistFolderLibrary> load(const QString& folder, QString& error);

    std::vector<LibraryPlaylist> allPlaylists() const override { return playlists; }
    QString origin() const override { return folder; }
    QString kind() const override { return QStringLiteral("Playlist folder"); }

    // The playlist files left out, each as "path: reason", in folder order.
    QStringList unreadable() const override { return leftOut; }

  private:
    QString folder;
    std::vector<LibraryPlaylist> playlists;
    QStringList leftOut;
};
