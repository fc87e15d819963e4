// Finds the music library to read: the QUILLORY_LIBRARY environment variable, else the path kept
// in the program's settings, else the usual places of each player, in this order:
//   1. an exported iTunes library under the music folder (Library.xml, iTunes/iTunes Music
//      Library.xml, iTunes/iTunes Library.xml): exported there on purpose;
//   2. Rhythmbox's folder ($XDG_DATA_HOME/rhythmbox, holding rhythmdb.xml);
//   3. Strawberry's database ($XDG_DATA_HOME/strawberry/strawberry/strawberry.db);
//   4. Clementine's database ($XDG_CONFIG_HOME/Clementine/clementine.db);
//   5. playlist folders: the music folder's Playlists, MPD's (~/.mpd/playlists,
//      $XDG_CONFIG_HOME/mpd/playlists), Audacious's ($XDG_CONFIG_HOME/audacious/playlists).
// The first place that reads with at least one playlist wins (a player installed but never used
// keeps an empty library); when none has playlists, the first that exists.
#pragma once

#include <QString>
#include <QStringList>

class LibraryLocator {
  public:
    // The settings key of the chosen library path.
    static constexpr const char* kSettingsKey = "library";
    // The settings key of the music folder for a library moved from another computer.
    static constexpr const char* kMusicFolderKey = "musicfolder";

    // The library path to use, or "" when none is configured and none was found.
    static QString locate();
    // The usual places, in the order they are tried.
    static QStringList usualPlaces();
    // Keeps path as the user's choice.
    static void choose(const QString& path);

    // The music folder the user chose for a moved library; "" (the library file's folder)
    // when none was chosen.
    static QString musicFolder();
    static void chooseMusicFolder(const QString& path);
};
