// Reads the music library for the rest of the program: the playlist names, and the track
// records of chosen playlists with their album art exported as JPEG files to the user's private
// folder "quillory" (PrivateFolder). Holds no state; any thread.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

#include "library/ITunesMediaFileObc.h"
#include "library/MusicLibrary.h"

class MusicProvider {
  public:
    // Opens the library LibraryLocator finds, with the music folder the user chose; null
    // (logged) when there is none or it cannot be read. path, when given, receives where it was
    // looked for ("" when nowhere); error, why it could not be read.
    static std::unique_ptr<MusicLibrary> openLocated(QString* path = nullptr,
                                                     QString* error = nullptr);

    // Every playlist name of the library LibraryLocator finds, in library order, duplicates
    // kept; empty when it cannot be opened.
    static QStringList getPlaylistNames();
    static QStringList getPlaylistNames(const MusicLibrary* library);

    // One record per distinct track file of the named playlists, in the order met; absent when
    // the library cannot be opened. With a track cache file (see TrackInfoCache), files and
    // art unchanged since an earlier call are neither opened nor exported again.
    static std::optional<QList<ITunesMediaFileObc>> getMusicMediaFiles(
        const QStringList& names, const QString& trackCacheFile = QString());
    static std::optional<QList<ITunesMediaFileObc>> getMusicMediaFiles(
        const MusicLibrary* library, const QStringList& names,
        const QString& trackCacheFile = QString());
    // The track cache file in a working folder.
    static QString trackCacheFile(const QString& workingDir);

    // The text with each of / \ ? % * | " < > : replaced by "_".
    static QString _sanitizeFileNameString(QString text);
    // The art folder: PrivateFolder::path().
    static QString artFolder();
};
