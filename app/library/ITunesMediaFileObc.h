// The desktop program's track record: one per distinct track file of the chosen playlists.
#pragma once

#include <QString>
#include <QStringList>

class ITunesMediaFileObc {
public:
    QString artist;      // "unknown" when the library has none
    QString album;       // "unknown" when the library has none
    QString filename;    // last path component of sourceFile, unchanged
    QString sourceFile;  // full local path
    QString sourceArt;   // exported art file, or "" when none was exported
    quint64 size = 0;    // bytes of sourceFile, 0 when unreadable
    QStringList playLists;  // requested playlists holding the track, in the order met, once each

    // Equal when the source files are the same text; nothing else counts.
    bool operator==(const ITunesMediaFileObc& other) const { return sourceFile == other.sourceFile; }

    // Appends the name unless it is held already.
    void addRefPlaylist(const QString& name);

    // "artist %1,album %2,filename %3,source %4,sourceArt %5,playlists %6", for log lines.
    QString description() const;
};
