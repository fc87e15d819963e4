#include "library/ITunesMediaFileObc.h"

void ITunesMediaFileObc::addRefPlaylist(const QString& name) {
    if (!playLists.contains(name)) playLists.append(name);
}

QString ITunesMediaFileObc::description() const {
    return QStringLiteral("artist %1,album %2,filename %3,source %4,sourceArt %5,playlists (%6)")
        .arg(artist, album, filename, sourceFile, sourceArt, playLists.join(QStringLiteral(", ")));
}
