#include "library/MusicProvider.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QLoggingCategory>

#include "library/LibraryLocator.h"
#include "library/MusicLibrary.h"
#include "library/TrackFile.h"
#include "library/TrackInfoCache.h"
#include "update/PrivateFolder.h"

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

std::unique_ptr<MusicLibrary> MusicProvider::openLocated(QString* path, QString* error) {
    const QString located = LibraryLocator::locate();
    if (path != nullptr) *path = located;
    if (located.isEmpty()) {
        qCWarning(lcLibrary) << "No music library found; set one in the program or with"
                             << "QUILLORY_LIBRARY";
        return nullptr;
    }
    QString why;
    std::unique_ptr<MusicLibrary> library =
        MusicLibrary::open(located, why, LibraryLocator::musicFolder());
    if (!library) qCWarning(lcLibrary).noquote() << "Cannot open the music library:" << why;
    if (error != nullptr) *error = why;
    return library;
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

QString MusicProvider::trackCacheFile(const QString& workingDir) {
    return workingDir + QStringLiteral("/track-info.s3db");
}

std::optional<QList<ITunesMediaFileObc>> MusicProvider::getMusicMediaFiles(
    const QStringList& names, const QString& trackCacheFile) {
    const std::unique_ptr<MusicLibrary> library = openLocated();
    return getMusicMediaFiles(library.get(), names, trackCacheFile);
}

std::optional<QList<ITunesMediaFileObc>> MusicProvider::getMusicMediaFiles(
    const MusicLibrary* library, const QStringList& names, const QString& trackCacheFile) {
    // "" when the folder cannot be used (logged): the tracks then go without art.
    const QString folder = PrivateFolder::ensure(artFolder());
    if (library == nullptr) return std::nullopt;
    const std::vector<LibraryPlaylist> playlists = library->allPlaylists();
    qCInfo(lcLibrary).noquote() << "Playlists -" << playlistList(playlists);

    std::optional<TrackInfoCache> cache;
    if (!trackCacheFile.isEmpty()) cache.emplace(trackCacheFile);
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
            // The file is opened only when the library left something to read from its tags
            // or its picture is needed, and it changed since the cache last saw it; it is
            // closed before the next track: no more than one track's artwork is held.
            const QFileInfo info(path);
            const qint64 modified = info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
            TrackFile file(path);
            std::optional<TrackInfoCache::Info> tags;
            const auto readTags = [&] {
                if (tags) return;
                if (cache) tags = cache->find(path, info.size(), modified);
                if (tags) return;
                tags = TrackInfoCache::Info{file.title(), file.artist(), file.album(),
                                            TrackInfoCache::digest(file.picture())};
                if (cache && info.exists()) cache->store(path, info.size(), modified, *tags);
            };
            ITunesMediaFileObc record;
            if (item.artist.isEmpty() || item.album.isEmpty() || item.title.isEmpty()) readTags();
            record.artist = item.artist.isEmpty() ? tags->artist : item.artist;
            record.album = item.album.isEmpty() ? tags->album : item.album;
            const QString title = item.title.isEmpty() ? tags->title : item.title;
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
                // The art file is written again only when its source image changed.
                readTags();
                QByteArray image;
                QString source = tags->pictureDigest;
                if (source.isEmpty()) {
                    image = folderArtwork(path);
                    source = TrackInfoCache::digest(image);
                }
                const QString target = folder + QLatin1Char('/') + artName;
                if (!folder.isEmpty() && !source.isEmpty() && cache &&
                    cache->artSource(artName) == source &&
                    QFileInfo(target).isFile()) {
                    record.sourceArt = target;
                    exported.insert(artName, target);
                } else {
                    if (image.isEmpty()) image = file.picture();
                    if (image.isEmpty()) {
                        qCDebug(lcLibrary) << "artwork wa nil";
                    } else {
                        const QByteArray jpeg = toJpeg(image);
                        if (!folder.isEmpty() && !jpeg.isEmpty() &&
                            PrivateFolder::writeFile(folder, artName, jpeg)) {
                            record.sourceArt = target;
                            exported.insert(artName, record.sourceArt);
                            if (cache) cache->setArtSource(artName, source);
                        }
                    }
                }
            }

            record.filename = info.fileName();
            record.size = info.exists() ? static_cast<quint64>(info.size()) : 0;
            record.playLists = QStringList{playlist.name};
            bySource.insert(path, result.size());
            result.append(std::move(record));
        }
    }
    return result;
}
