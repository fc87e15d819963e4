#include "library/RhythmboxLibrary.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QUrl>

#include "library/MusicLibrary.h"
#include "library/MusicProvider.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

// Lines as text, so that a failure prints them readably.
std::string text(const QStringList& lines) {
    return lines.join(QLatin1Char('\n')).toStdString();
}

// "name:" per playlist, then "  location|title|artist|album" per item ("-": no location).
std::string summary(const std::vector<LibraryPlaylist>& playlists) {
    QStringList lines;
    for (const LibraryPlaylist& playlist : playlists) {
        lines << playlist.name + QLatin1Char(':');
        for (const LibraryItem& item : playlist.items) {
            lines << QStringLiteral("  ") + QStringList{item.location.value_or(QStringLiteral("-")),
                                                        item.title, item.artist, item.album}
                                                .join(QLatin1Char('|'));
        }
    }
    return text(lines);
}

// A Rhythmbox folder as Rhythmbox writes it, and the music it names, in a temporary folder.
class RhythmboxLibraryTest : public testing::Test {
  protected:
    RhythmboxLibraryTest() {
        for (const char* file :
             {"music/Sigrún Ó/Kyrrð/01 Þögn.mp3", "music/Rock & Roll/50% #1 [live].mp3",
              "music/plain.mp3", "music/not in database.mp3", "music/episode.mp3"}) {
            temp.write(file, "x");
        }
        const QByteArray music =
            QUrl::fromLocalFile(QString::fromStdString(temp.file("music"))).toEncoded();
        // Written percent-encoded, as Rhythmbox writes every location.
        kyrrd = music + "/Sigr%C3%BAn%20%C3%93/Kyrr%C3%B0/01%20%C3%9E%C3%B6gn.mp3";
        rock = music + "/Rock%20&amp;%20Roll/50%25%20%231%20%5Blive%5D.mp3";
        plain = music + "/plain.mp3";
        notInDatabase = music + "/not%20in%20database.mp3";
        episode = music + "/episode.mp3";
        gone = music + "/gone.mp3";
    }

    std::string database() const {
        return R"(<?xml version="1.0" standalone="yes"?>
<rhythmdb version="2.0">
  <entry type="iradio">
    <title>Jazz Radio</title>
    <genre>Jazz</genre>
    <artist></artist>
    <location>http://radio.example/jazz</location>
    <date>0</date>
    <media-type>application/octet-stream</media-type>
  </entry>
  <entry type="song">
    <title>Þögn</title>
    <genre>Ambient</genre>
    <artist>Sigrún Ó</artist>
    <album>Kyrrð</album>
    <track-number>1</track-number>
    <duration>241</duration>
    <file-size>1</file-size>
    <location>)" +
               kyrrd.toStdString() + R"(</location>
    <mtime>1700000000</mtime>
    <first-seen>1700000000</first-seen>
    <last-seen>1700000500</last-seen>
    <bitrate>192</bitrate>
    <date>738000</date>
    <media-type>audio/mpeg</media-type>
  </entry>
  <entry type="song">
    <title>50% #1 [live]</title>
    <artist>Rock &amp; Roll</artist>
    <album>Live &lt;at&gt; Home</album>
    <location>)" +
               rock.toStdString() + R"(</location>
  </entry>
  <entry type="song">
    <title>Plain</title>
    <location>)" +
               plain.toStdString() + R"(</location>
  </entry>
  <entry type="song">
    <title>A later entry of the same location</title>
    <artist>Merged away</artist>
    <location>)" +
               plain.toStdString() + R"(</location>
  </entry>
  <entry type="song">
    <title>Gone</title>
    <artist>Ghost</artist>
    <album>Missing</album>
    <location>)" +
               gone.toStdString() + R"(</location>
    <hidden>1</hidden>
  </entry>
  <entry type="song">
    <title>Far</title>
    <artist>Remote</artist>
    <location>smb://nas/music/far.mp3</location>
  </entry>
  <entry type="podcast-feed">
    <title>A Feed</title>
    <location>http://podcast.example/feed.xml</location>
  </entry>
  <entry type="podcast-post">
    <title>Episode 1</title>
    <artist>A Feed</artist>
    <album>A Feed</album>
    <location>)" +
               episode.toStdString() + R"(</location>
  </entry>
  <entry type="ignore">
    <title></title>
    <location>)" +
               notInDatabase.toStdString() + R"(</location>
  </entry>
</rhythmdb>
)";
    }

    std::string playlists() const {
        return R"(<?xml version="1.0"?>
<rhythmdb-playlists>
  <playlist name="My Top Rated" show-browser="false" browser-position="180" search-type="search-match" type="automatic" sort-key="Rating" sort-direction="1">
    <conjunction>
      <subquery>
        <conjunction>
          <equals prop="type">song</equals>
          <greater prop="rating">4</greater>
        </conjunction>
      </subquery>
    </conjunction>
  </playlist>
  <playlist name="Café Nights" show-browser="true" browser-position="180" search-type="search-match" type="static">
    <location>)" +
               rock.toStdString() + R"(</location>
    <location>)" +
               kyrrd.toStdString() + R"(</location>
    <location>)" +
               plain.toStdString() + R"(</location>
    <location>)" +
               notInDatabase.toStdString() + R"(</location>
    <location>)" +
               episode.toStdString() + R"(</location>
    <location>)" +
               gone.toStdString() + R"(</location>
    <location>smb://nas/music/far.mp3</location>
    <location>http://radio.example/jazz</location>
  </playlist>
  <playlist name="Play Queue" show-browser="false" browser-position="180" search-type="search-match" type="queue">
    <location>)" +
               plain.toStdString() + R"(</location>
  </playlist>
  <playlist name="Recently Added" show-browser="true" browser-position="180" search-type="search-match" type="automatic" sort-key="FirstSeen" sort-direction="1">
    <conjunction>
      <subquery>
        <conjunction>
          <equals prop="type">song</equals>
          <current-time-within prop="first-seen">604800</current-time-within>
        </conjunction>
      </subquery>
    </conjunction>
  </playlist>
  <playlist name="Empty" show-browser="true" browser-position="180" search-type="search-match" type="static"/>
  <playlist name="Once &amp; Again" show-browser="true" browser-position="180" search-type="search-match" type="static">
    <location>)" +
               plain.toStdString() + R"(</location>
    <location>)" +
               kyrrd.toStdString() + R"(</location>
  </playlist>
</rhythmdb-playlists>
)";
    }

    QString music(const char* file) const {
        return QString::fromStdString(temp.file(std::string("music/") + file));
    }
    QString folder() const { return QString::fromStdString(temp.path().string()); }

    TempDir temp;
    QByteArray kyrrd, rock, plain, notInDatabase, episode, gone;
};

TEST_F(RhythmboxLibraryTest, ReadsStaticPlaylistsWithTheTagsOfTheirSongs) {
    temp.write("rhythmdb.xml", database());
    temp.write("playlists.xml", playlists());
    QString error;
    const auto library = RhythmboxLibrary::load(folder(), error);
    ASSERT_TRUE(library) << error.toStdString();
    EXPECT_EQ(library->kind(), QStringLiteral("Rhythmbox"));
    EXPECT_EQ(library->origin(), folder());
    // Automatic playlists and the queue are left out. A location that is no song entry (not in
    // the database, a podcast episode, an ignored file) has no tags; a file that is gone and a
    // location on another machine have tags but no local file.
    EXPECT_EQ(summary(library->allPlaylists()),
              text({
                  QStringLiteral("Café Nights:"),
                  QStringLiteral("  ") + music("Rock & Roll/50% #1 [live].mp3") +
                      QStringLiteral("|50% #1 [live]|Rock & Roll|Live <at> Home"),
                  QStringLiteral("  ") + music("Sigrún Ó/Kyrrð/01 Þögn.mp3") +
                      QStringLiteral("|Þögn|Sigrún Ó|Kyrrð"),
                  QStringLiteral("  ") + music("plain.mp3") + QStringLiteral("|Plain||"),
                  QStringLiteral("  ") + music("not in database.mp3") + QStringLiteral("|||"),
                  QStringLiteral("  ") + music("episode.mp3") + QStringLiteral("|||"),
                  QStringLiteral("  -|Gone|Ghost|Missing"),
                  QStringLiteral("  -|Far|Remote|"),
                  QStringLiteral("  -|||"),
                  QStringLiteral("Empty:"),
                  QStringLiteral("Once & Again:"),
                  QStringLiteral("  ") + music("plain.mp3") + QStringLiteral("|Plain||"),
                  QStringLiteral("  ") + music("Sigrún Ó/Kyrrð/01 Þögn.mp3") +
                      QStringLiteral("|Þögn|Sigrún Ó|Kyrrð"),
              }));
}

TEST_F(RhythmboxLibraryTest, NoPlaylistsFileYetIsALibraryWithoutPlaylists) {
    temp.write("rhythmdb.xml", database());
    QString error;
    const auto library = RhythmboxLibrary::load(folder(), error);
    ASSERT_TRUE(library) << error.toStdString();
    EXPECT_TRUE(library->allPlaylists().empty());
    // The same from bytes, and a playlists file with no playlist in it.
    const QByteArray bytes = QByteArray::fromStdString(database());
    for (const std::optional<QByteArray>& lists :
         {std::optional<QByteArray>(), std::optional<QByteArray>("<rhythmdb-playlists/>")}) {
        const auto parsed = RhythmboxLibrary::parse(bytes, lists, folder(), error);
        ASSERT_TRUE(parsed) << error.toStdString();
        EXPECT_TRUE(parsed->allPlaylists().empty());
    }
}

TEST_F(RhythmboxLibraryTest, DamagedOrForeignFilesAreErrorsNamingTheFile) {
    const std::string database = this->database();
    const std::string playlists = this->playlists();
    const struct {
        const char* what;
        std::optional<std::string> database, playlists;
        const char* blamed;  // the file the error names
    } cases[] = {
        {"no database", std::nullopt, playlists, "rhythmdb.xml"},
        {"empty database", "", playlists, "rhythmdb.xml"},
        {"truncated database", database.substr(0, database.size() / 2), playlists, "rhythmdb.xml"},
        {"database not XML", "SQLite format 3\0", playlists, "rhythmdb.xml"},
        {"database of another player", "<plist version=\"1.0\"><dict/></plist>", playlists,
         "rhythmdb.xml"},
        {"playlists file as database", playlists, playlists, "rhythmdb.xml"},
        {"empty playlists", database, "", "playlists.xml"},
        {"truncated playlists", database, playlists.substr(0, playlists.size() - 12),
         "playlists.xml"},
        {"playlists of another kind", database, "<playlist><trackList/></playlist>",
         "playlists.xml"},
        {"database as playlists", database, database, "playlists.xml"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(temp.file("rhythmdb.xml"));
        std::filesystem::remove(temp.file("playlists.xml"));
        if (c.database) temp.write("rhythmdb.xml", *c.database);
        if (c.playlists) temp.write("playlists.xml", *c.playlists);
        QString error;
        EXPECT_FALSE(RhythmboxLibrary::load(folder(), error)) << c.what;
        EXPECT_TRUE(
            error.startsWith(QString::fromStdString(temp.file(c.blamed)) + QLatin1Char(':')))
            << c.what << ": " << error.toStdString();
    }
}

TEST_F(RhythmboxLibraryTest, EveryTruncationIsAnError) {
    // Cut anywhere before the closing tag of the root, each file is damaged, never a smaller
    // library.
    const QByteArray database = QByteArray::fromStdString(this->database());
    const QByteArray playlists = QByteArray::fromStdString(this->playlists());
    const qsizetype databaseEnd = database.lastIndexOf('>');
    const qsizetype playlistsEnd = playlists.lastIndexOf('>');
    QString error;
    for (qsizetype cut = 0; cut < databaseEnd; ++cut) {
        EXPECT_FALSE(RhythmboxLibrary::parse(database.left(cut), playlists, folder(), error))
            << "database cut at " << cut;
    }
    for (qsizetype cut = 0; cut < playlistsEnd; ++cut) {
        EXPECT_FALSE(RhythmboxLibrary::parse(database, playlists.left(cut), folder(), error))
            << "playlists cut at " << cut;
    }
    EXPECT_TRUE(RhythmboxLibrary::parse(database.left(databaseEnd + 1),
                                        playlists.left(playlistsEnd + 1), folder(), error));
}

// Through the program's door: the folder or either of its files opens the library, and the
// provider gives the tracks with the database's tags first, the file's own for the rest.
class RhythmboxOpenTest : public testing::Test {
  protected:
    RhythmboxOpenTest() : previous(qgetenv("XDG_CACHE_HOME")) {
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(temp.file("cache")));
    }
    ~RhythmboxOpenTest() override { qputenv("XDG_CACHE_HOME", previous); }

    TempDir temp;
    QByteArray previous;
};

TEST_F(RhythmboxOpenTest, OpensByFolderOrFileAndGivesTheTracks) {
    const QString sample = QStringLiteral(QUILLORY_SAMPLE_LIBRARY "/music/");
    const auto uri = [&](const char* file) {
        return QUrl::fromLocalFile(sample + QString::fromUtf8(file)).toEncoded().toStdString();
    };
    const std::string database =
        "<?xml version=\"1.0\" standalone=\"yes\"?>\n<rhythmdb version=\"2.0\">"
        "<entry type=\"song\"><title>First Light</title><artist>Aurora Tones</artist>"
        "<album>Northern Lights (Remastered)</album><location>" +
        uri("Aurora Tones/Northern Lights/01 First Light.mp3") +
        "</location></entry>"
        "<entry type=\"song\"><title>Þögn</title><artist>Sigrún Ó.</artist><album>Kyrrð</album>"
        "<location>" +
        uri("Sigrún Ó/Kyrrð/01 Þögn.flac") + "</location></entry></rhythmdb>\n";
    const std::string playlists =
        "<?xml version=\"1.0\"?>\n<rhythmdb-playlists>"
        "<playlist name=\"Morning\" show-browser=\"true\" browser-position=\"180\" "
        "search-type=\"search-match\" type=\"static\"><location>" +
        uri("Sigrún Ó/Kyrrð/01 Þögn.flac") + "</location><location>" +
        uri("Unknown Artist/Untitled Hum.ogg") + "</location><location>" +
        uri("Aurora Tones/Northern Lights/01 First Light.mp3") +
        "</location></playlist>"
        "<playlist name=\"Play Queue\" type=\"queue\"><location>" +
        uri("Unknown Artist/Untitled Hum.ogg") + "</location></playlist></rhythmdb-playlists>\n";
    const QString rhythmbox = QString::fromStdString(temp.file("rhythmbox"));
    temp.write("rhythmbox/rhythmdb.xml", database);
    temp.write("rhythmbox/playlists.xml", playlists);
    temp.write("rhythmbox/playlists backup.xml", playlists);

    for (const QString& path : {rhythmbox, rhythmbox + QStringLiteral("/rhythmdb.xml"),
                                rhythmbox + QStringLiteral("/playlists.xml"),
                                rhythmbox + QStringLiteral("/playlists backup.xml")}) {
        QString error;
        const auto library = MusicLibrary::open(path, error);
        ASSERT_TRUE(library) << path.toStdString() << ": " << error.toStdString();
        EXPECT_EQ(library->kind(), QStringLiteral("Rhythmbox")) << path.toStdString();
        EXPECT_EQ(library->origin(), rhythmbox) << path.toStdString();
        EXPECT_EQ(MusicProvider::getPlaylistNames(library.get()),
                  QStringList{QStringLiteral("Morning")});
    }

    const auto library = MusicLibrary::open(rhythmbox);
    const auto records =
        MusicProvider::getMusicMediaFiles(library.get(), {QStringLiteral("Morning")});
    ASSERT_TRUE(records);
    QStringList lines;
    for (const ITunesMediaFileObc& r : *records) {
        lines << QStringList{r.artist, r.album, r.sourceFile, r.playLists.join(QLatin1Char(','))}
                     .join(QLatin1Char('|'));
    }
    EXPECT_EQ(text(lines),
              text({
                  QStringLiteral("Sigrún Ó.|Kyrrð|") + sample +
                      QStringLiteral("Sigrún Ó/Kyrrð/01 Þögn.flac|Morning"),
                  // Not in the database: the file's own tags (no artist).
                  QStringLiteral("unknown|Field Recordings|") + sample +
                      QStringLiteral("Unknown Artist/Untitled Hum.ogg|Morning"),
                  QStringLiteral("Aurora Tones|Northern Lights (Remastered)|") + sample +
                      QStringLiteral("Aurora Tones/Northern Lights/01 First Light.mp3|Morning"),
              }));
}

TEST_F(RhythmboxOpenTest, WhatIsNotRhythmboxOpensAsBefore) {
    const struct {
        const char* what;
        std::string file, bytes;
        QString kind;  // "" when it cannot be opened
        std::string blamed;
    } cases[] = {
        // Rhythmbox's own file names, damaged: reported as Rhythmbox's.
        {"empty database", "a/rhythmdb.xml", "", QString(), "a/rhythmdb.xml"},
        {"damaged playlists beside the database", "b/playlists.xml", "\x01\x02", QString(),
         "b/playlists.xml"},
        {"playlists without a database", "c/playlists.xml", "<rhythmdb-playlists/>", QString(),
         "c/rhythmdb.xml"},
        // Another player's files keep their own reader, whatever their names.
        {"an iTunes library named playlists.xml", "d/playlists.xml",
         "<plist><dict><key>Tracks</key><dict/><key>Playlists</key><array/></dict></plist>",
         QStringLiteral("iTunes library"), ""},
        {"a folder of M3U files", "e/Mix.m3u", "#EXTM3U\n", QStringLiteral("Playlist folder"), ""},
    };
    temp.write("b/rhythmdb.xml", "<rhythmdb version=\"2.0\"/>");
    for (const auto& c : cases) {
        temp.write(c.file, c.bytes);
        const QFileInfo file(QString::fromStdString(temp.file(c.file)));
        const QString path =
            c.kind == QStringLiteral("Playlist folder") ? file.path() : file.filePath();
        QString error;
        const auto library = MusicLibrary::open(path, error);
        if (c.kind.isEmpty()) {
            EXPECT_FALSE(library) << c.what;
            EXPECT_TRUE(
                error.startsWith(QString::fromStdString(temp.file(c.blamed)) + QLatin1Char(':')))
                << c.what << ": " << error.toStdString();
        } else {
            ASSERT_TRUE(library) << c.what << ": " << error.toStdString();
            EXPECT_EQ(library->kind(), c.kind) << c.what;
        }
    }
}

}  // namespace
