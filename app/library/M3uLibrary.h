// A folder of M3U/M3U8 playlists, as an MPD playlist folder or a player's export holds them:
// each file is a playlist named after the file without its extension, in file-name order.
#pragma once

#include "MusicLibrary.h"

class M3uLibrary : public MusicLibrary {
public:
    // Reads every *.m3u and *.m3u8 file of the folder; null (with the reason) when the folder
    // cannot be read.
    static std::unique_ptr<M3uLibrary> load(const QString& folder, QString& error);

    // The entries of one playlist text: absolute paths, paths relative to base, or file URLs;
    // #EXTINF titles kept, other # lines, blank lines, CR and a UTF-8 BOM ignored. Entries whose
    // file does not exist have no location.
    static std::vector<LibraryItem> parse(const QByteArray& text, const QString& base);

    std::vector<LibraryPlaylist> allPlaylists() const override { return playlists; }
    QString origin() const override { return folder; }
    QString kind() const override { return QStringLiteral("Playlist folder"); }

private:
    QString folder;
    std::vector<LibraryPlaylist> playlists;
};
