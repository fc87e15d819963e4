// A music library as the library provider reads it: playlists in library order, each with its
// items. Implemented by each library source (an exported XML library, a folder of M3U files).
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <vector>

// One entry of a playlist. Texts the source does not know are empty; the provider then reads
// them from the file's own tags.
struct LibraryItem {
    std::optional<QString> location;  // absolute path of the local file; absent when none
    QString title;
    QString artist;
    QString album;
};

struct LibraryPlaylist {
    QString name;
    std::vector<LibraryItem> items;
};

class MusicLibrary {
public:
    virtual ~MusicLibrary() = default;

    // Every playlist, in library order, duplicates kept. Any thread.
    virtual std::vector<LibraryPlaylist> allPlaylists() const = 0;
    // Where the library was read from, for log lines.
    virtual QString origin() const = 0;

    // Opens the library at path: a folder is read as M3U playlists, a file as an XML library.
    // Returns null (and logs why) when it cannot be opened.
    static std::unique_ptr<MusicLibrary> open(const QString& path);
};
