// A music library exported as an XML property list ("Library.xml"): a Tracks dictionary keyed by
// track id with Location (file URL), Name, Artist and Album, and a Playlists array whose entries
// have a Name and Playlist Items of Track ID. Locations may also be relative to the file.
// A library exported on another computer names files under that computer's "Music Folder"
// (for example file://localhost/C:/Users/name/Music/iTunes/iTunes%20Media/): a location that
// names no file here is looked for by its path relative to that folder under musicFolder.
#pragma once

#include "library/MusicLibrary.h"

class XmlLibrary : public MusicLibrary {
public:
    // Parses the file; null (with the reason in error) when it is not such a library.
    // musicFolder "" means the folder that holds the file.
    static std::unique_ptr<XmlLibrary> load(const QString& path, const QString& musicFolder,
                                            QString& error);
    // The same from the file's bytes; path names the file for relative locations and messages.
    static std::unique_ptr<XmlLibrary> parse(const QByteArray& xml, const QString& path,
                                             const QString& musicFolder, QString& error);

    std::vector<LibraryPlaylist> allPlaylists() const override { return playlists; }
    QString origin() const override { return path; }
    QString kind() const override { return QStringLiteral("iTunes library"); }

private:
    QString path;
    std::vector<LibraryPlaylist> playlists;
};
