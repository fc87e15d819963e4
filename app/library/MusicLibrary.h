// A music library as the library provider reads it: playlists in library order, each with its
// items. Implemented by each library source, one class per format.
#pragma once

#include <QString>
#include <QStringList>
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
    // Where the library was read from.
    virtual QString origin() const = 0;
    // The kind of library as the window names it ("iTunes library", "Playlist folder", ...).
    virtual QString kind() const = 0;
    // Parts of the library left out because they could not be read, each "path: reason"
    // (damaged playlist files of a folder); empty when everything was read.
    virtual QStringList unreadable() const { return {}; }

    // Opens the library at path, whatever its kind: the source is told by the file's content
    // or the folder's files. musicFolder is where the tracks of a library exported on another
    // computer are looked for ("": the folder that holds the library file). Null when it cannot
    // be opened, with the reason (naming the file) in error; a damaged or foreign file is an
    // error, never an empty library.
    static std::unique_ptr<MusicLibrary> open(const QString& path, QString& error,
                                              const QString& musicFolder = QString());
    // The same, the reason logged instead.
    static std::unique_ptr<MusicLibrary> open(const QString& path);
};
