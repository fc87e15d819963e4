// Reading a large music library: 10,000 tracks in 1,000 albums, each with an embedded 500x500
// JPEG picture, in 20 playlists, as an XML library and as folders of M3U, XSPF and PLS files.
// Prints wall time and peak memory of getPlaylistNames and getMusicMediaFiles for each source.
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <malloc.h>
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

#include "MusicLibrary.h"
#include "MusicProvider.h"

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

// Writes the tracks, the XML library and the M3U, XSPF and PLS folders under root.
void generate(const QString& root) {
    const QByteArray picture = cover();
    // One MPEG frame header and silence: enough for an .mp3 that carries an ID3v2 tag.
    const QByteArray audio = QByteArray("\xFF\xFB\x90\x00", 4) + QByteArray(413, '\0');
    QStringList xmlTracks;
    QList<QStringList> members(kPlaylists);
    QList<QStringList> m3u(kPlaylists);
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

        xmlTracks << QStringLiteral(
                         "<key>%1</key><dict><key>Track ID</key><integer>%1</integer>"
                         "<key>Name</key><string>Track %1</string><key>Artist</key><string>%2</string>"
                         "<key>Album</key><string>%3</string><key>Location</key><string>%4</string></dict>")
                         .arg(i)
                         .arg(artist, albumName, QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()));
        // Every track in one playlist, every tenth in a second one too.
        const int second = (i % kPlaylists + 1 + (i / 10) % (kPlaylists - 1)) % kPlaylists;
        for (const int list : {i % kPlaylists, i % 10 == 0 ? second : -1}) {
            if (list < 0) continue;
            members[list] << QStringLiteral("<dict><key>Track ID</key><integer>%1</integer></dict>").arg(i);
            m3u[list] << path;
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
    const std::pair<const char*, QString> sources[] = {
        {"XML", QStringLiteral("Library.xml")},
        {"M3U", QStringLiteral("playlists")},
        {"XSPF", QStringLiteral("playlists-xspf")},
        {"PLS", QStringLiteral("playlists-pls")},
    };
    for (const auto& entry : sources) {
        const char* label = entry.first;
        const QString& source = entry.second;
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
