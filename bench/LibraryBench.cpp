// Reading a large music library: 10,000 tracks in 1,000 albums, each with an embedded 500x500
// JPEG picture, in 20 playlists, as an XML library, as folders of M3U, XSPF and PLS files, as a
// Strawberry database and as Rhythmbox's folder. Prints wall time and peak memory of
// getPlaylistNames and getMusicMediaFiles for each source.
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <malloc.h>
#include <sqlite3.h>
#include <unistd.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QUrl>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "library/MusicLibrary.h"
#include "library/MusicProvider.h"

namespace {

constexpr int kTracks = 10000;
constexpr int kAlbums = 1000;
constexpr int kPlaylists = 20;

long statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return 0;
}

QByteArray cover() {
    QImage image(500, 500, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int band = 0; band < 50; ++band) {
        painter.fillRect(0, band * 10, 500, 10, QColor::fromHsv(band * 7, 200, 220));
    }
    painter.end();
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return jpeg;
}

// A Strawberry database of the tracks: every track a collection song, the playlists' items
// referring to them.
void writeStrawberry(const QString& file, const QStringList& urls, const QStringList& titles,
                     const QStringList& artists, const QStringList& albums,
                     const QList<QList<int>>& members) {
    sqlite3* db = nullptr;
    sqlite3_open(file.toLocal8Bit().constData(), &db);
    sqlite3_exec(db,
                 "BEGIN;"
                 "CREATE TABLE songs (title TEXT, album TEXT, artist TEXT, albumartist TEXT, "
                 "  track INTEGER NOT NULL DEFAULT -1, url TEXT NOT NULL, "
                 "  playcount INTEGER NOT NULL DEFAULT 0, rating INTEGER DEFAULT -1);"
                 "CREATE TABLE playlists (name TEXT NOT NULL, last_played INTEGER NOT NULL "
                 "  DEFAULT -1, ui_order INTEGER NOT NULL DEFAULT 0, special_type TEXT, "
                 "  ui_path TEXT, is_favorite INTEGER NOT NULL DEFAULT 0);"
                 "CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type INTEGER NOT NULL "
                 "  DEFAULT 0, collection_id INTEGER, title TEXT, album TEXT, artist TEXT, "
                 "  url TEXT NOT NULL);"
                 "CREATE INDEX idx_url ON songs (url);",
                 nullptr, nullptr, nullptr);
    const auto bind = [](sqlite3_stmt* statement, int position, const QString& text) {
        const QByteArray bytes = text.toUtf8();
        sqlite3_bind_text(statement, position, bytes.constData(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
    };
    sqlite3_stmt* song = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO songs (ROWID, title, artist, album, url) "
                       "VALUES (?, ?, ?, ?, ?)",
                       -1, &song, nullptr);
    for (int i = 0; i < urls.size(); ++i) {
        sqlite3_bind_int(song, 1, i + 1);
        bind(song, 2, titles[i]);
        bind(song, 3, artists[i]);
        bind(song, 4, albums[i]);
        bind(song, 5, urls[i]);
        sqlite3_step(song);
        sqlite3_reset(song);
    }
    sqlite3_finalize(song);
    sqlite3_stmt* list = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO playlists (ROWID, name, ui_order) VALUES (?, ?, ?)", -1,
                       &list, nullptr);
    sqlite3_stmt* item = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO playlist_items (playlist, type, collection_id, url) "
                       "VALUES (?, 2, ?, '')",
                       -1, &item, nullptr);
    for (int l = 0; l < members.size(); ++l) {
        sqlite3_bind_int(list, 1, l + 1);
        bind(list, 2, QStringLiteral("Playlist %1").arg(l));
        sqlite3_bind_int(list, 3, l);
        sqlite3_step(list);
        sqlite3_reset(list);
        for (const int track : members[l]) {
            sqlite3_bind_int(item, 1, l + 1);
            sqlite3_bind_int(item, 2, track + 1);
            sqlite3_step(item);
            sqlite3_reset(item);
        }
    }
    sqlite3_finalize(list);
    sqlite3_finalize(item);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

// Writes the tracks, the XML library, the M3U, XSPF and PLS folders, the Strawberry database and
// the Rhythmbox folder under root.
void generate(const QString& root) {
    const QByteArray picture = cover();
    // One MPEG frame header and silence: enough for an .mp3 that carries an ID3v2 tag.
    const QByteArray audio = QByteArray("\xFF\xFB\x90\x00", 4) + QByteArray(413, '\0');
    QStringList xmlTracks;
    QStringList rhythmdb;
    QList<QStringList> members(kPlaylists);
    QList<QStringList> m3u(kPlaylists);
    QStringList urls, titles, artists, albums;
    QList<QList<int>> trackLists(kPlaylists);
    QList<QStringList> rhythmboxMembers(kPlaylists);
    QList<QStringList> xspf(kPlaylists);
    QList<QStringList> pls(kPlaylists);
    for (int i = 0; i < kTracks; ++i) {
        const int album = i % kAlbums;
        const QString artist = QStringLiteral("Artist %1").arg(album / 5);
        const QString albumName = QStringLiteral("Album %1").arg(album);
        const QString folder = QStringLiteral("%1/music/%2/%3").arg(root, artist, albumName);
        QDir().mkpath(folder);
        const QString path = QStringLiteral("%1/Track %2.mp3").arg(folder).arg(i);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(audio);
        file.close();
        TagLib::MPEG::File tagged(path.toLocal8Bit().constData(), false);
        TagLib::ID3v2::Tag* tag = tagged.ID3v2Tag(true);
        tag->setTitle(TagLib::String(QStringLiteral("Track %1").arg(i).toStdString(), TagLib::String::UTF8));
        tag->setArtist(TagLib::String(artist.toStdString(), TagLib::String::UTF8));
        tag->setAlbum(TagLib::String(albumName.toStdString(), TagLib::String::UTF8));
        auto* frame = new TagLib::ID3v2::AttachedPictureFrame;
        frame->setMimeType("image/jpeg");
        frame->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        frame->setPicture(TagLib::ByteVector(picture.constData(), static_cast<unsigned>(picture.size())));
        tag->addFrame(frame);
        tagged.save(TagLib::MPEG::File::ID3v2);

        const QString uri = QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
        urls << uri;
        titles << QStringLiteral("Track %1").arg(i);
        artists << artist;
        albums << albumName;
        xmlTracks << QStringLiteral(
                         "<key>%1</key><dict><key>Track ID</key><integer>%1</integer>"
                         "<key>Name</key><string>Track %1</string><key>Artist</key><string>%2</string>"
                         "<key>Album</key><string>%3</string><key>Location</key><string>%4</string></dict>")
                         .arg(i)
                         .arg(artist, albumName, uri);
        // An entry as Rhythmbox writes it, with the fields it keeps besides the three read.
        rhythmdb << QStringLiteral(
                        "<entry type=\"song\"><title>Track %1</title><genre>Genre</genre>"
                        "<artist>%2</artist><album>%3</album><track-number>%4</track-number>"
                        "<disc-number>1</disc-number><duration>215</duration>"
                        "<file-size>417</file-size><location>%5</location>"
                        "<mtime>1700000000</mtime><first-seen>1700000000</first-seen>"
                        "<last-seen>1700000500</last-seen><play-count>3</play-count>"
                        "<bitrate>192</bitrate><date>738000</date>"
                        "<media-type>audio/mpeg</media-type><composer>Unknown</composer>"
                        "</entry>\n")
                        .arg(i)
                        .arg(artist, albumName)
                        .arg(i % 10 + 1)
                        .arg(uri);
        // Every track in one playlist, every tenth in a second one too.
        const int second = (i % kPlaylists + 1 + (i / 10) % (kPlaylists - 1)) % kPlaylists;
        for (const int list : {i % kPlaylists, i % 10 == 0 ? second : -1}) {
            if (list < 0) continue;
            members[list] << QStringLiteral("<dict><key>Track ID</key><integer>%1</integer></dict>").arg(i);
            m3u[list] << path;
            trackLists[list] << i;
            rhythmboxMembers[list] << QStringLiteral("<location>%1</location>").arg(uri);
            xspf[list] << QStringLiteral("<track><location>%1</location><title>Track %2</title></track>")
                              .arg(QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()))
                              .arg(i);
            pls[list] << QStringLiteral("File%1=%2\nTitle%1=Track %3")
                             .arg(pls[list].size() + 1)
                             .arg(path)
                             .arg(i);
        }
    }
    QFile xml(root + QStringLiteral("/Library.xml"));
    xml.open(QIODevice::WriteOnly);
    xml.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict><key>Tracks</key><dict>");
    xml.write(xmlTracks.join(QString()).toUtf8());
    xml.write("</dict><key>Playlists</key><array>");
    for (const char* folder : {"/playlists", "/playlists-xspf", "/playlists-pls"}) {
        QDir().mkpath(root + QLatin1String(folder));
    }
    for (int list = 0; list < kPlaylists; ++list) {
        xml.write(QStringLiteral("<dict><key>Name</key><string>Playlist %1</string><key>Playlist Items</key><array>")
                      .arg(list)
                      .toUtf8());
        xml.write(members[list].join(QString()).toUtf8());
        xml.write("</array></dict>");
        QFile playlist(QStringLiteral("%1/playlists/Playlist %2.m3u8").arg(root).arg(list));
        playlist.open(QIODevice::WriteOnly);
        playlist.write(("#EXTM3U\n" + m3u[list].join(QLatin1Char('\n')) + "\n").toUtf8());
        QFile xspfFile(QStringLiteral("%1/playlists-xspf/Playlist %2.xspf").arg(root).arg(list));
        xspfFile.open(QIODevice::WriteOnly);
        xspfFile.write(("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<playlist version=\"1\" "
                        "xmlns=\"http://xspf.org/ns/0/\"><trackList>\n" +
                        xspf[list].join(QLatin1Char('\n')) + "\n</trackList></playlist>\n")
                           .toUtf8());
        QFile plsFile(QStringLiteral("%1/playlists-pls/Playlist %2.pls").arg(root).arg(list));
        plsFile.open(QIODevice::WriteOnly);
        plsFile.write(QStringLiteral("[playlist]\n%1\nNumberOfEntries=%2\nVersion=2\n")
                          .arg(pls[list].join(QLatin1Char('\n')))
                          .arg(pls[list].size())
                          .toUtf8());
    }
    xml.write("</array></dict></plist>");
    writeStrawberry(root + QStringLiteral("/strawberry.db"), urls, titles, artists, albums,
                    trackLists);

    QDir().mkpath(root + QStringLiteral("/rhythmbox"));
    QFile database(root + QStringLiteral("/rhythmbox/rhythmdb.xml"));
    database.open(QIODevice::WriteOnly);
    database.write("<?xml version=\"1.0\" standalone=\"yes\"?>\n<rhythmdb version=\"2.0\">\n");
    database.write(rhythmdb.join(QString()).toUtf8());
    database.write("</rhythmdb>\n");
    QFile playlists(root + QStringLiteral("/rhythmbox/playlists.xml"));
    playlists.open(QIODevice::WriteOnly);
    playlists.write("<?xml version=\"1.0\"?>\n<rhythmdb-playlists>\n");
    for (int list = 0; list < kPlaylists; ++list) {
        playlists.write(QStringLiteral("<playlist name=\"Playlist %1\" show-browser=\"true\" "
                                       "browser-position=\"180\" search-type=\"search-match\" "
                                       "type=\"static\">")
                            .arg(list)
                            .toUtf8());
        playlists.write(rhythmboxMembers[list].join(QString()).toUtf8());
        playlists.write("</playlist>\n");
    }
    playlists.write("</rhythmdb-playlists>\n");
}

struct Figure {
    double seconds;
    long peakMiB;
    qsizetype count;
};

template <typename Work>
Figure measure(Work work) {
    // Hand freed memory back first, so that the figure is this work's own.
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKiB("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    const qsizetype count = work();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, (statusKiB("VmHWM:") - before) / 1024, count};
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QString root = QDir::tempPath() + QStringLiteral("/quillory-library-bench-%1").arg(getpid());
    qputenv("TMPDIR", (root + QStringLiteral("/tmp")).toLocal8Bit());
    // The exported art goes to the private cache folder: the bench's own, not the user's.
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toLocal8Bit());
    QDir().mkpath(root + QStringLiteral("/tmp"));
    const auto generating = std::chrono::steady_clock::now();
    generate(root);
    std::printf("generated %d tracks in %d albums, %d playlists, in %.1f s\n", kTracks, kAlbums,
                kPlaylists,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - generating).count());

    QStringList names;
    for (int list = 0; list < kPlaylists; ++list) names << QStringLiteral("Playlist %1").arg(list);
    bool ok = true;
    std::printf("%-10s %-20s %10s %10s %10s\n", "source", "operation", "seconds", "peak MiB", "results");
    const struct {
        QString path;
        const char* label;
    } sources[] = {{QStringLiteral("Library.xml"), "XML"},
                   {QStringLiteral("playlists"), "M3U"},
                   {QStringLiteral("playlists-xspf"), "XSPF"},
                   {QStringLiteral("playlists-pls"), "PLS"},
                   {QStringLiteral("strawberry.db"), "Strawberry"},
                   {QStringLiteral("rhythmbox"), "Rhythmbox"}};
    for (const auto& each : sources) {
        const QString& source = each.path;
        const char* label = each.label;
        const Figure list = measure([&] {
            const auto library = MusicLibrary::open(root + QLatin1Char('/') + source);
            return MusicProvider::getPlaylistNames(library.get()).size();
        });
        const Figure tracks = measure([&] {
            const auto library = MusicLibrary::open(root + QLatin1Char('/') + source);
            return MusicProvider::getMusicMediaFiles(library.get(), names).value_or(QList<ITunesMediaFileObc>()).size();
        });
        std::printf("%-10s %-20s %10.2f %10ld %10lld\n", label, "getPlaylistNames", list.seconds,
                    list.peakMiB, static_cast<long long>(list.count));
        std::printf("%-10s %-20s %10.2f %10ld %10lld\n", label, "getMusicMediaFiles", tracks.seconds,
                    tracks.peakMiB, static_cast<long long>(tracks.count));
        ok = ok && tracks.seconds < 5.0 && tracks.peakMiB < 200 && tracks.count == kTracks;
    }
    std::printf("targets (getMusicMediaFiles over 10,000 tracks under 5 s and 200 MiB): %s\n",
                ok ? "met" : "MISSED");
    QDir(root).removeRecursively();
    return ok ? 0 : 1;
}
