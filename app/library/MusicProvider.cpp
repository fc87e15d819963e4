#include "MusicProvider.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLoggingCategory>

#include "LibraryLocator.h"
#include "MusicLibrary.h"
#include "PrivateFolder.h"
#include "TrackFile.h"

Q_LOGGING_CATEGORY(lcLibrary, "quillory.library")

namespace {

QString playlistList(const std::vector<LibraryPlaylist>& playlists) {
    QStringList names;
    for (const LibraryPlaylist& playlist : playlists) names << playlist.name;
    return QStringLiteral("(") + names.join(QStringLiteral(", ")) + QStringLiteral(")");
}

// Artwork beside the track, for files without an embedded picture.
QByteArray folderArtwork(const QString& track) {
    const QDir folder = QFileInfo(track).dir();
    for (const char* name :
         {"cover.jpg", "folder.jpg", "front.jpg", "Cover.jpg", "Folder.jpg", "Front.jpg"}) {
        QFile file(folder.filePath(QLatin1String(name)));
        if (file.open(QIODevice::ReadOnly)) return file.readAll();
    }
    return {};
}

// The image as JPEG bytes: a JPEG passes unchanged (decoding and encoding it again would only
// lose quality and time), anything else is converted at the highest quality. Empty when the
// bytes are not an image.
QByteArray toJpeg(const QByteArray& image) {
    if (image.startsWith("\xFF\xD8\xFF")) return image;
    QImage decoded;
    if (!decoded.loadFromData(image)) return {};
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!decoded.save(&buffer, "JPEG", 100)) return {};
    return jpeg;
}

}  // namespace

std::unique_ptr<MusicLibrary> MusicProvider::openLocated(QString* path) {
    const QString located = LibraryLocator::locate();
    if (path != nullptr) *path = located;
    if (located.isEmpty()) {
        qCWarning(lcLibrary) << "No music library found; set one in the program or with"
                             << "QUILLORY_LIBRARY";
        return nullptr;
    }
    return MusicLibrary::open(located);
}

QString MusicProvider::artFolder() {
    return PrivateFolder::path();
}

QString MusicProvider::_sanitizeFileNameString(QString text) {
    for (const QChar bad : QStringLiteral("/\\?%*|\"<>:")) text.replace(bad, QLatin1Char('_'));
    return text;
}

QStringList MusicProvider::getPlaylistNames() {
    const std::unique_ptr<MusicLibrary> library = openLocated();
    return getPlaylistNames(library.get());
}

QStringList MusicProvider::getPlaylistNames(const MusicLibrary* library) {
    QStringList names;
    if (library == nullptr) return names;
    const std::vector<LibraryPlaylist> playlists = library->allPlaylists();
    qCInfo(lcLibrary).noquote() << "Playlists -" << playlistList(playlists);
    for (const LibraryPlaylist& playlist : playlists) names << playlist.name;
    return names;
}

std::optional<QList<ITunesMediaFileObc>> MusicProvider::getMusicMediaFiles(
    const QStringList& names) {
    const std::unique_ptr<MusicLibrary> library = openLocated();
    return getMusicMediaFiles(library.get(), names);
}

std::optional<QList<ITunesMediaFileObc>> MusicProvider::getMusicMediaFiles(
    const MusicLibrary* library, const QStringList& names) {
    // "" when the folder cannot be used (logged): the tracks then go without art.
    const QString folder = PrivateFolder::ensure(artFolder());
    if (library == nullptr) return std::nullopt;
    const std::vector<LibraryPlaylist> playlists = library->allPlaylists();
    qCInfo(lcLibrary).noquote() << "Playlists -" << playlistList(playlists);

    QList<ITunesMediaFileObc> result;
    QHash<QString, qsizetype> bySource;
    // Art files written in this call: every track of an album shares one file, so it is
    // exported once per call rather than once per track.
    QHash<QString, QString> exported;
    for (const LibraryPlaylist& playlist : playlists) {
        if (!names.contains(playlist.name)) continue;
        for (const LibraryItem& item : playlist.items) {
            if (!item.location) {
                qCInfo(lcLibrary).noquote()
                    << "Sourcefile for the track" << item.title << "was nil";
                continue;
            }
            const QString path = *item.location;
            const auto known = bySource.constFind(path);
            if (known != bySource.constEnd()) {
                result[*known].addRefPlaylist(playlist.name);
                continue;
            }
            // The file is opened only when the library left something to read from its tags,
            // and closed before the next track: no more than one track's artwork is held.
            TrackFile file(path);
            ITunesMediaFileObc record;
            record.artist = item.artist.isEmpty() ? file.artist() : item.artist;
            record.album = item.album.isEmpty() ? file.album() : item.album;
            const QString title = item.title.isEmpty() ? file.title() : item.title;
            qCDebug(lcLibrary).noquote() << "track info: location:" << path << "name:" << title
                                         << ", album:" << record.album << ", source:" << path;
            if (record.artist.isEmpty()) record.artist = QStringLiteral("unknown");
            if (record.album.isEmpty()) record.album = QStringLiteral("unknown");
            record.sourceFile = path;

            const QString artName = _sanitizeFileNameString(
                QStringLiteral("%1-%2-%3")
                    .arg(record.album, record.artist, QStringLiteral("artfile.jpg")));
            const auto done = exported.constFind(artName);
            if (done != exported.constEnd()) {
                record.sourceArt = *done;
            } else {
                QByteArray image = file.picture();
                if (image.isEmpty()) image = folderArtwork(path);
                if (image.isEmpty()) {
                    qCDebug(lcLibrary) << "artwork wa nil";
                } else {
                    const QByteArray jpeg = toJpeg(image);
                    if (!folder.isEmpty() && !jpeg.isEmpty() &&
                        PrivateFolder::writeFile(folder, artName, jpeg)) {
                        record.sourceArt = folder + QLatin1Char('/') + artName;
                        exported.insert(artName, record.sourceArt);
                    }
                }
            }

            const QFileInfo info(path);
            record.filename = info.fileName();
            record.size = info.exists() ? static_cast<quint64>(info.size()) : 0;
            record.playLists = QStringList{playlist.name};
            bySource.insert(path, result.size());
            result.append(std::move(record));
        }
    }
    return result;
}
