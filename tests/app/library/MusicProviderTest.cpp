#include "library/MusicProvider.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUrl>

#include "library/MusicLibrary.h"
#include "library/TrackFile.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

const QString kSample = QStringLiteral(QUILLORY_SAMPLE_LIBRARY);
const QString kMusic = kSample + QStringLiteral("/music/");

// Each test writes its art into a cache folder of its own.
class MusicProviderTest : public testing::Test {
  protected:
    MusicProviderTest() : previous(qgetenv("XDG_CACHE_HOME")) {
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(temp.file("cache")));
    }
    ~MusicProviderTest() override { qputenv("XDG_CACHE_HOME", previous); }

    // "artist|album|filename|size|art name|playlists" per record.
    static QStringList summary(const QList<ITunesMediaFileObc>& records) {
        QStringList lines;
        for (const ITunesMediaFileObc& r : records) {
            lines << QStringLiteral("%1|%2|%3|%4|%5|%6")
                         .arg(r.artist, r.album, r.filename)
                         .arg(r.size)
                         .arg(QFileInfo(r.sourceArt).fileName(),
                              r.playLists.join(QLatin1Char(',')));
        }
        return lines;
    }

    TempDir temp;
    QByteArray previous;
};

const QStringList kAll{QStringLiteral("Morning Mix"), QStringLiteral("Focus: Deep Work"),
                       QStringLiteral("Café Nights")};

TEST_F(MusicProviderTest, XmlLibraryNamesAndRecords) {
    const auto library = MusicLibrary::open(kSample + QStringLiteral("/Library.xml"));
    ASSERT_TRUE(library);
    EXPECT_EQ(MusicProvider::getPlaylistNames(library.get()), kAll);

    const auto records = MusicProvider::getMusicMediaFiles(library.get(), kAll);
    ASSERT_TRUE(records);
    const QString nl = QStringLiteral("Northern Lights-Aurora Tones-artfile.jpg");
    const QString dusk = QStringLiteral("Dusk_ Live_Unplugged-Day_Night Ensemble-artfile.jpg");
    const QString k = QStringLiteral("Kyrrð-Sigrún Ó-artfile.jpg");
    const auto size = [](const QString& file) { return QFileInfo(kMusic + file).size(); };
    EXPECT_EQ(
        summary(*records),
        (QStringList{
            QStringLiteral(
                "Aurora Tones|Northern Lights|01 First Light.mp3|%1|%2|Morning Mix,Café Nights")
                .arg(size("Aurora Tones/Northern Lights/01 First Light.mp3"))
                .arg(nl),
            QStringLiteral(
                "Aurora Tones|Northern Lights|02 Rock'n'Roll: Take 1.mp3|%1|%2|Morning Mix")
                .arg(size("Aurora Tones/Northern Lights/02 Rock'n'Roll: Take 1.mp3"))
                .arg(nl),
            QStringLiteral("Day/Night Ensemble|Dusk: Live/Unplugged|02 Evening "
                           "[Reprise].opus|%1|%2|Morning Mix,Café Nights")
                .arg(size("Day-Night Ensemble/Dusk - Live/02 Evening [Reprise].opus"))
                .arg(dusk),
            QStringLiteral("Sigrún Ó|Kyrrð|01 Þögn.flac|%1|%2|Focus: Deep Work,Café Nights")
                .arg(size("Sigrún Ó/Kyrrð/01 Þögn.flac"))
                .arg(k),
            QStringLiteral("Sigrún Ó|Kyrrð|02 Über the Fjord.flac|%1|%2|Focus: Deep Work")
                .arg(size("Sigrún Ó/Kyrrð/02 Über the Fjord.flac"))
                .arg(k),
            QStringLiteral("unknown|Field Recordings|Untitled Hum.ogg|%1||Focus: Deep Work")
                .arg(size("Unknown Artist/Untitled Hum.ogg")),
            QStringLiteral(
                "Day/Night Ensemble|Dusk: Live/Unplugged|01 Dusk's Opening.ogg|%1|%2|Café Nights")
                .arg(size("Day-Night Ensemble/Dusk - Live/01 Dusk's Opening.ogg"))
                .arg(dusk),
        }));
    EXPECT_EQ((*records)[0].sourceFile,
              kMusic + QStringLiteral("Aurora Tones/Northern Lights/01 First Light.mp3"));

    // Every art file is a JPEG that decodes: the embedded JPEG as stored, the embedded PNG
    // converted, the folder's cover.jpg as it is.
    for (const QString& name : {nl, dusk, k}) {
        QFile art(MusicProvider::artFolder() + QLatin1Char('/') + name);
        ASSERT_TRUE(art.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = art.readAll();
        EXPECT_TRUE(bytes.startsWith("\xFF\xD8\xFF")) << name.toStdString();
        QImage image;
        EXPECT_TRUE(image.loadFromData(bytes, "JPEG")) << name.toStdString();
        EXPECT_EQ(image.width(), 64);
    }
    QFile cover(kMusic + QStringLiteral("Day-Night Ensemble/Dusk - Live/cover.jpg"));
    cover.open(QIODevice::ReadOnly);
    QFile exported(MusicProvider::artFolder() + QLatin1Char('/') + dusk);
    exported.open(QIODevice::ReadOnly);
    EXPECT_EQ(exported.readAll(), cover.readAll());
}

TEST_F(MusicProviderTest, ArtFolderIsPrivateAndLinksInItAreNotFollowed) {
    const QString folder = MusicProvider::artFolder();
    EXPECT_EQ(folder, QString::fromStdString(temp.file("cache/quillory")));
    const auto library = MusicLibrary::open(kSample + QStringLiteral("/Library.xml"));
    ASSERT_TRUE(library);
    const QString art = QStringLiteral("Northern Lights-Aurora Tones-artfile.jpg");
    const auto mode = [](const QString& path) {
        struct stat info {};
        ::lstat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 07777;
    };
    // Made when missing, 0700; left wider by someone, narrowed again; a link planted under an
    // art file's name is replaced by the art, and its target stays as it was.
    const std::string victim = temp.write("victim.txt", "precious");
    const struct {
        const char* what;
        std::function<void()> before;
    } cases[] = {
        {"missing", [] {}},
        {"too open", [&] { ::chmod(QFile::encodeName(folder).constData(), 0777); }},
        {"a planted link",
         [&] {
             QFile::remove(folder + QLatin1Char('/') + art);
             ASSERT_TRUE(
                 QFile::link(QString::fromStdString(victim), folder + QLatin1Char('/') + art));
         }},
    };
    for (const auto& c : cases) {
        c.before();
        const auto records =
            MusicProvider::getMusicMediaFiles(library.get(), {QStringLiteral("Morning Mix")});
        ASSERT_TRUE(records) << c.what;
        EXPECT_EQ(mode(folder), 0700u) << c.what;
        EXPECT_EQ(records->front().sourceArt, folder + QLatin1Char('/') + art) << c.what;
        EXPECT_FALSE(QFileInfo(records->front().sourceArt).isSymLink()) << c.what;
        EXPECT_EQ(mode(records->front().sourceArt), 0600u) << c.what;
        EXPECT_EQ(testsupport::readFile(victim), "precious") << c.what;
    }

    // The folder itself a link (to a folder someone else chose): not used; no art is written.
    QDir(folder).removeRecursively();
    std::filesystem::create_directories(temp.file("elsewhere"));
    ASSERT_TRUE(QFile::link(QString::fromStdString(temp.file("elsewhere")), folder));
    const auto records =
        MusicProvider::getMusicMediaFiles(library.get(), {QStringLiteral("Morning Mix")});
    ASSERT_TRUE(records);
    EXPECT_EQ(records->front().sourceArt, QString());
    EXPECT_TRUE(std::filesystem::is_empty(temp.file("elsewhere")));
}

TEST_F(MusicProviderTest, M3uFolderGivesTheSameTracks) {
    const auto library = MusicLibrary::open(kSample + QStringLiteral("/playlists"));
    ASSERT_TRUE(library);
    // File-name order.
    EXPECT_EQ(MusicProvider::getPlaylistNames(library.get()),
              (QStringList{QStringLiteral("Café Nights"), QStringLiteral("Focus: Deep Work"),
                           QStringLiteral("Morning Mix")}));
    const auto fromM3u = MusicProvider::getMusicMediaFiles(library.get(), kAll);
    const auto xml = MusicLibrary::open(kSample + QStringLiteral("/Library.xml"));
    const auto fromXml = MusicProvider::getMusicMediaFiles(xml.get(), kAll);
    ASSERT_TRUE(fromM3u && fromXml);
    // Tags give what the XML gives; only the order of playlists (and so of records) differs.
    QStringList a = summary(*fromM3u), b = summary(*fromXml);
    for (QString& line : a) line = line.section(QLatin1Char('|'), 0, 4);
    for (QString& line : b) line = line.section(QLatin1Char('|'), 0, 4);
    a.sort();
    b.sort();
    EXPECT_EQ(a, b);
    EXPECT_EQ(fromM3u->front().playLists,
              (QStringList{QStringLiteral("Café Nights"), QStringLiteral("Morning Mix")}));
}

TEST_F(MusicProviderTest, LibrariesThatCannotBeOpened) {
    const std::string broken = temp.write("Broken.xml", "<plist><dict><key>Tracks</key><dict>");
    const std::string notLibrary = temp.write("Other.xml", "<html><body/></html>");
    for (const QString& path : {QString::fromStdString(broken), QString::fromStdString(notLibrary),
                                QString::fromStdString(temp.file("no-such-folder"))}) {
        const auto library = MusicLibrary::open(path);
        EXPECT_FALSE(library) << path.toStdString();
        EXPECT_TRUE(MusicProvider::getPlaylistNames(library.get()).isEmpty());
        EXPECT_FALSE(MusicProvider::getMusicMediaFiles(library.get(), kAll).has_value());
    }
}

TEST_F(MusicProviderTest, MergesDuplicatesAndSkipsMissingFiles) {
    const QString track =
        kMusic + QStringLiteral("Aurora Tones/Northern Lights/01 First Light.mp3");
    temp.write("lists/A.m3u",
               (track + "\n" + track + "\n" + temp.file("gone.mp3").c_str() + "\n").toStdString());
    temp.write("lists/B.m3u", (track + "\n").toStdString());
    temp.write("lists/b.m3u8", (track + "\n").toStdString());
    const auto library = MusicLibrary::open(QString::fromStdString(temp.file("lists")));
    ASSERT_TRUE(library);
    const auto records = MusicProvider::getMusicMediaFiles(
        library.get(), {QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("B")});
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 1);
    EXPECT_EQ(records->front().playLists,
              (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("b")}));
    EXPECT_TRUE(
        MusicProvider::getMusicMediaFiles(library.get(), {QStringLiteral("none")})->isEmpty());
}

TEST_F(MusicProviderTest, SamePlaylistNameTwiceContributesBoth) {
    const QString first = kMusic + QStringLiteral("Sigrún Ó/Kyrrð/01 Þögn.flac");
    const QString second = kMusic + QStringLiteral("Unknown Artist/Untitled Hum.ogg");
    const QString xml =
        QStringLiteral(
            "<plist><dict><key>Tracks</key><dict>"
            "<key>1</key><dict><key>Name</key><string>x</string><key>Location</key><string>%1</"
            "string></dict>"
            "<key>2</key><dict><key>Artist</key><string></string><key>Album</key><string>Override</"
            "string>"
            "<key>Location</key><string>%2</string></dict>"
            "<key>3</key><dict><key>Name</key><string>a stream</string>"
            "<key>Location</key><string>http://radio.example/stream</string></dict>"
            "</dict><key>Playlists</key><array>"
            "<dict><key>Name</key><string>Twin</string><key>Playlist Items</key><array>"
            "<dict><key>Track ID</key><integer>1</integer></dict>"
            "<dict><key>Track ID</key><integer>3</integer></dict></array></dict>"
            "<dict><key>Name</key><string>Twin</string><key>Playlist Items</key><array>"
            "<dict><key>Track ID</key><integer>2</integer></dict></array></dict>"
            "</array></dict></plist>")
            .arg(QUrl::fromLocalFile(first).toString(QUrl::FullyEncoded),
                 QUrl::fromLocalFile(second).toString(QUrl::FullyEncoded));
    const auto library =
        MusicLibrary::open(QString::fromStdString(temp.write("L.xml", xml.toStdString())));
    ASSERT_TRUE(library);
    EXPECT_EQ(MusicProvider::getPlaylistNames(library.get()),
              (QStringList{QStringLiteral("Twin"), QStringLiteral("Twin")}));
    const auto records = MusicProvider::getMusicMediaFiles(library.get(), {QStringLiteral("Twin")});
    ASSERT_TRUE(records);
    // The stream has no local file and is left out; the XML's album wins over the tag, an empty
    // artist falls back to the file's tag (none here), then "unknown".
    EXPECT_EQ(summary(*records),
              (QStringList{
                  QStringLiteral("Sigrún Ó|Kyrrð|01 Þögn.flac|%1|Kyrrð-Sigrún Ó-artfile.jpg|Twin")
                      .arg(QFileInfo(first).size()),
                  QStringLiteral("unknown|Override|Untitled Hum.ogg|%1||Twin")
                      .arg(QFileInfo(second).size())}));
}

TEST(MusicProviderNamesTest, SanitizesTenCharacters) {
    const struct {
        QString in, out;
    } cases[] = {
        {QStringLiteral("A/B:C-D-artfile.jpg"), QStringLiteral("A_B_C-D-artfile.jpg")},
        {QStringLiteral("/\\?%*|\"<>:"), QStringLiteral("__________")},
        {QStringLiteral("It's a [mix] + more.jpg"), QStringLiteral("It's a [mix] + more.jpg")},
        {QStringLiteral(" spaced  out "), QStringLiteral(" spaced  out ")},
    };
    for (const auto& c : cases) EXPECT_EQ(MusicProvider::_sanitizeFileNameString(c.in), c.out);
}

TEST(TrackFileTest, ReadsTagsAndPicturesOfEachFormat) {
    const struct {
        QString file, title, artist, album;
        bool picture;
    } cases[] = {
        {QStringLiteral("Aurora Tones/Northern Lights/01 First Light.mp3"),
         QStringLiteral("First Light"), QStringLiteral("Aurora Tones"),
         QStringLiteral("Northern Lights"), true},
        {QStringLiteral("Sigrún Ó/Kyrrð/02 Über the Fjord.flac"), QStringLiteral("Über the Fjord"),
         QStringLiteral("Sigrún Ó"), QStringLiteral("Kyrrð"), true},
        {QStringLiteral("Day-Night Ensemble/Dusk - Live/01 Dusk's Opening.ogg"),
         QStringLiteral("Dusk's Opening"), QStringLiteral("Day/Night Ensemble"),
         QStringLiteral("Dusk: Live/Unplugged"), false},
        {QStringLiteral("Day-Night Ensemble/Dusk - Live/02 Evening [Reprise].opus"),
         QStringLiteral("Evening [Reprise]"), QStringLiteral("Day/Night Ensemble"),
         QStringLiteral("Dusk: Live/Unplugged"), false},
        {QStringLiteral("Unknown Artist/Untitled Hum.ogg"), QStringLiteral("Untitled Hum"),
         QString(), QStringLiteral("Field Recordings"), false},
    };
    for (const auto& c : cases) {
        TrackFile file(kMusic + c.file);
        EXPECT_EQ(file.title(), c.title) << c.file.toStdString();
        EXPECT_EQ(file.artist(), c.artist) << c.file.toStdString();
        EXPECT_EQ(file.album(), c.album) << c.file.toStdString();
        EXPECT_EQ(!file.picture().isEmpty(), c.picture) << c.file.toStdString();
    }
    TrackFile notAudio(kSample + QStringLiteral("/Library.xml"));
    EXPECT_EQ(notAudio.artist(), QString());
    EXPECT_TRUE(notAudio.picture().isEmpty());
}

}  // namespace

namespace {

TEST_F(MusicProviderTest, TrackCacheSkipsUnchangedFilesAndSeesChangedOnes) {
    // A copy of the sample's music, so that its tags can be changed.
    const QString music = QString::fromStdString(temp.file("music"));
    QStringList lines;
    for (const QString& file : {QStringLiteral("Aurora Tones/Northern Lights/01 First Light.mp3"),
                                QStringLiteral("Sigrún Ó/Kyrrð/01 Þögn.flac"),
                                QStringLiteral("Sigrún Ó/Kyrrð/02 Über the Fjord.flac")}) {
        QDir().mkpath(QFileInfo(music + QLatin1Char('/') + file).path());
        ASSERT_TRUE(QFile::copy(kMusic + file, music + QLatin1Char('/') + file));
        lines << music + QLatin1Char('/') + file;
    }
    temp.write("lists/Mix.m3u", lines.join(QLatin1Char('\n')).toStdString());
    const auto library = MusicLibrary::open(QString::fromStdString(temp.file("lists")));
    const QString cacheFile = QString::fromStdString(temp.file("track-info.s3db"));
    const QStringList mix{QStringLiteral("Mix")};

    const auto first = MusicProvider::getMusicMediaFiles(library.get(), mix, cacheFile);
    ASSERT_TRUE(first && first->size() == 3);
    // The same again, from the cache: same records, and the art files are not written again.
    const QDateTime old = QDateTime::currentDateTime().addDays(-1);
    for (const ITunesMediaFileObc& record : *first) {
        QFile art(record.sourceArt);
        ASSERT_TRUE(art.open(QIODevice::ReadWrite));
        art.setFileTime(old, QFileDevice::FileModificationTime);
    }
    const auto second = MusicProvider::getMusicMediaFiles(library.get(), mix, cacheFile);
    ASSERT_TRUE(second);
    EXPECT_EQ(summary(*second), summary(*first));
    for (const ITunesMediaFileObc& record : *second) {
        EXPECT_EQ(QFileInfo(record.sourceArt).lastModified(), old)
            << record.sourceArt.toStdString();
    }

    // New tags in the same file are seen, whatever its size.
    {
        TagLib::FileRef tagged(lines[1].toLocal8Bit().constData());
        ASSERT_FALSE(tagged.isNull());
        tagged.tag()->setArtist("Renamed");
        ASSERT_TRUE(tagged.save());
    }
    QFile changed(lines[1]);
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite));
    changed.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
    changed.close();
    const auto third = MusicProvider::getMusicMediaFiles(library.get(), mix, cacheFile);
    ASSERT_TRUE(third);
    EXPECT_EQ((*third)[1].artist, QStringLiteral("Renamed"));
    EXPECT_EQ((*third)[2].artist, (*first)[2].artist);
}

}  // namespace
