// A music library exported as an XML property list ("Library.xml"): a Tracks dictionary keyed by
// track id with Location (file URL), Name, Artist and Album, and a Playlists array whose entries
// have a Name and Playlist Items of Track ID. Locations may also be relative to the file.
#pragma once

#include "MusicLibrary.h"

class XmlLibrary : public MusicLibrary {
public:
    // Parses the file; null (with the reason in error) when it is not such a library.
    static std::unique_ptr<XmlLibrary> load(const QString& path, QString& error);
    // The same from the file's bytes; path names the file for relative locations and messages.
    static std::unique_ptr<XmlLibrary> parse(const QByteArray& xml, const QString& path, QString& error);

    std::vector<LibraryPlaylist> allPlaylists() const override { return playlists; }
    QString origin() const override { return path; }

private:
    QString path;
    std::vector<LibraryPlaylist> playlists;
};
