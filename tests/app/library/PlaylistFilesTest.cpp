#include <gtest/gtest.h>

#include <QDir>
#include <QStringEncoder>
#include <QUrl>
#include <filesystem>
#include <functional>
#include <map>

#include "library/M3uPlaylist.h"
#include "library/MusicLibrary.h"
#include "library/PlaylistFolderLibrary.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

// Music files every case refers to, relative to the temporary folder.
const QString kTrack = QStringLiteral("music/Artist/Album/01 Track.mp3");
const QString kJoga = QStringLiteral("music/Björk/Homogenic/02 Jóga #1.mp3");
const QString kPercent = QStringLiteral("music/a b%20c.mp3");

class PlaylistFilesTest : public testing::Test {
  protected:
    PlaylistFilesTest() {
        for (const QString& file : {kTrack, kJoga, kPercent}) write(file, "x");
    }

    std::string write(const QString& name, const QByteArray& bytes) const {
        return temp.write(name.toStdString(), bytes.toStdString());
    }
    QString path(const QString& name) const {
        return QString::fromStdString(temp.file(name.toStdString()));
    }
    // The folder with %ROOT% standing for it.
    QString withRoot(QString text) const {
        return text.replace(QLatin1String("%ROOT%"), path(QString()).chopped(1));
    }
    // The playlist as "name" then "location|title|artist|album" per item, the location
    // relative to the temporary folder ("-" when absent).
    QStringList summary(const LibraryPlaylist& playlist) const {
        QStringList lines{playlist.name};
        for (const LibraryItem& item : playlist.items) {
            lines << QStringList{item.location
                                     ? QDir(path(QString())).relativeFilePath(*item.location)
                                     : QStringLiteral("-"),
                                 item.title, item.artist, item.album}
                         .join(QLatin1Char('|'));
        }
        return lines;
    }

    TempDir temp;
};

TEST(M3uPlaylistTest, ParsesWhatPlayersWrite) {
    TempDir dir;
    const QString base = QString::fromStdString(dir.path().string());
    dir.write("a b.mp3", "x");
    dir.write("sub/c.mp3", "x");
    const QByteArray text = QByteArray(
                                "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:12,Artist - Song\r\na b.mp3\r\n"
                                "# a comment\r\n\r\n") +
                            (base + QStringLiteral("/sub/c.mp3\n")).toUtf8() +
                            QUrl::fromLocalFile(base + QStringLiteral("/a b.mp3")).toEncoded() +
                            "\nmissing.mp3\n";
    const std::vector<LibraryItem> items = M3uPlaylist::parse(text, base);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].location, base + QStringLiteral("/a b.mp3"));
    EXPECT_EQ(items[0].title, QStringLiteral("Artist - Song"));
    EXPECT_EQ(items[1].location, base + QStringLiteral("/sub/c.mp3"));
    EXPECT_EQ(items[1].title, QString());
    EXPECT_EQ(items[2].location, base + QStringLiteral("/a b.mp3"));
    EXPECT_FALSE(items[3].location.has_value());
}

// One playlist, as a Windows player writes it, in each encoding players use.
TEST_F(PlaylistFilesTest, M3uInEachEncoding) {
    const QString text = QStringLiteral(
        "#EXTM3U\r\n#EXTINF:305,Björk - Jóga\r\n..\\Björk\\Homogenic\\02 Jóga #1.mp3\r\n"
        "..\\Artist\\Album\\01 Track.mp3\r\n");
    const auto encoded = [&](QStringEncoder::Encoding encoding) {
        QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
        return QByteArray(encoder(text));
    };
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"UTF-8", text.toUtf8()},
        {"UTF-8 with BOM", encoded(QStringEncoder::Utf8)},
        {"Latin-1", text.toLatin1()},
        {"UTF-16 LE with BOM", encoded(QStringEncoder::Utf16LE)},
        {"UTF-16 BE with BOM", encoded(QStringEncoder::Utf16BE)},
    };
    for (const auto& c : cases) {
        const std::vector<LibraryItem> items = M3uPlaylist::parse(c.bytes, path("music/Artist"));
        EXPECT_EQ(summary({QStringLiteral("M"), items}),
                  (QStringList{QStringLiteral("M"), kJoga + QStringLiteral("|Björk - Jóga||"),
                               kTrack + QStringLiteral("|||")}))
            << c.what;
    }
}

// Every way each format names a file, one playlist per format: the locations read, in order.
TEST_F(PlaylistFilesTest, LocationsAsEachFormatWritesThem) {
    const QString none = QStringLiteral("-");
    const struct {
        QString format, written, file;
    } cases[] = {
        {"m3u", "../music/Artist/Album/01 Track.mp3", kTrack},
        {"m3u", "..\\music\\Björk\\Homogenic\\02 Jóga #1.mp3", kJoga},
        {"m3u", "%ROOT%/music/a b%20c.mp3", kPercent},
        {"m3u", "file://localhost%ROOT%/music/Bj%C3%B6rk/Homogenic/02%20J%C3%B3ga%20%231.mp3",
         kJoga},
        {"m3u", "../music/gone.mp3", none},

        {"xspf", "../music/Artist/Album/01%20Track.mp3", kTrack},
        {"xspf", "../music/Bj%C3%B6rk/Homogenic/02%20J%C3%B3ga%20%231.mp3", kJoga},
        {"xspf", "../music/Björk/Homogenic/02 Jóga %231.mp3", kJoga},
        {"xspf", "../music/a%20b%2520c.mp3", kPercent},
        {"xspf", "..\\music\\Artist\\Album\\01%20Track.mp3", kTrack},
        {"xspf", "file://%ROOT%/music/Bj%C3%B6rk/Homogenic/02%20J%C3%B3ga%20%231.mp3", kJoga},
        {"xspf", "file://localhost%ROOT%/music/Artist/Album/01%20Track.mp3", kTrack},
        {"xspf", "file://LocalHost%ROOT%/music/a%20b%2520c.mp3", kPercent},
        {"xspf", "file://otherhost%ROOT%/music/Artist/Album/01%20Track.mp3", none},
        {"xspf", "http://radio.example/stream.mp3", none},
        {"xspf", "../music/gone.mp3", none},

        {"pls", "../music/Artist/Album/01 Track.mp3", kTrack},
        {"pls", "..\\music\\Artist\\Album\\01 Track.mp3", kTrack},
        {"pls", "%ROOT%/music/Björk/Homogenic/02 Jóga #1.mp3", kJoga},
        {"pls", "../music/a b%20c.mp3", kPercent},
        {"pls", "file://%ROOT%/music/Bj%C3%B6rk/Homogenic/02%20J%C3%B3ga%20%231.mp3", kJoga},
        {"pls", "file://localhost%ROOT%/music/a%20b%2520c.mp3", kPercent},
        {"pls", "http://radio.example/stream.mp3", none},

        {"audpl", "file://%ROOT%/music/Bj%C3%B6rk/Homogenic/02%20J%C3%B3ga%20%231.mp3", kJoga},
        {"audpl", "file://localhost%ROOT%/music/a%20b%2520c.mp3", kPercent},
        {"audpl", "file://%ROOT%/music/Artist/Album/01 Track.mp3", kTrack},
        {"audpl", "cdda://?3", none},
        {"audpl", "http://radio.example/stream.mp3", none},
    };
    std::map<QString, std::pair<QStringList, QStringList>> byFormat;  // written, expected
    for (const auto& c : cases) {
        byFormat[c.format].first << withRoot(c.written);
        byFormat[c.format].second << c.file;
    }
    const std::map<QString, std::function<QByteArray(const QStringList&)>> writers{
        {"m3u",
         [](const QStringList& lines) {
             return ("#EXTM3U\n" + lines.join(QLatin1Char('\n')) + "\n").toUtf8();
         }},
        {"xspf",
         [](const QStringList& lines) {
             QString xml = QStringLiteral(
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>\n");
             for (const QString& line : lines) {
                 xml += "<track><location>" + line.toHtmlEscaped() + "</location></track>\n";
             }
             return (xml + "</trackList></playlist>\n").toUtf8();
         }},
        {"pls",
         [](const QStringList& lines) {
             QString text = QStringLiteral("[playlist]\n");
             for (int i = 0; i < lines.size(); ++i) {
                 text += QStringLiteral("File%1=%2\n").arg(i + 1).arg(lines[i]);
             }
             return (text + QStringLiteral("NumberOfEntries=%1\nVersion=2\n").arg(lines.size()))
                 .toUtf8();
         }},
        {"audpl",
         [](const QStringList& lines) {
             return ("title=Locations\nuri=" + lines.join(QStringLiteral("\nuri=")) + "\n")
                 .toUtf8();
         }},
    };
    for (const auto& [format, lists] : byFormat) {
        write(format + QStringLiteral("/Locations.") + format, writers.at(format)(lists.first));
        QString error;
        const auto library = PlaylistFolderLibrary::load(path(format), error);
        ASSERT_TRUE(library) << error.toStdString();
        const auto playlists = library->allPlaylists();
        ASSERT_EQ(playlists.size(), 1u) << format.toStdString();
        QStringList locations = summary(playlists[0]).mid(1);
        for (QString& line : locations) line = line.section(QLatin1Char('|'), 0, 0);
        EXPECT_EQ(locations, lists.second) << format.toStdString();
    }
}

// Titles, artists and albums each format gives, and how each names its playlist.
TEST_F(PlaylistFilesTest, TextsOfEachFormat) {
    const struct {
        QString file;
        QByteArray bytes;
        QStringList playlist;
    } cases[] = {
        {"Road Trip.xspf",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">\n"
         "  <title>Not the name</title>\n  <trackList>\n    <track>\n"
         "      <location>../music/gone.mp3</location>\n"
         "      <location>../music/Bj%C3%B6rk/Homogenic/02%20J%C3%B3ga%20%231.mp3</location>\n"
         "      <title>Jóga</title><creator>Björk</creator><album>Homogenic</album>\n"
         "      <duration>305000</duration>\n"
         "      <extension application=\"http://example.com/\"><title>no</title></extension>\n"
         "    </track>\n    <track><location>../music/gone.mp3</location></track>\n"
         "    <track><title>Only a title</title></track>\n  </trackList>\n</playlist>\n",
         {"Road Trip", kJoga + "|Jóga|Björk|Homogenic", "-|||", "-|Only a title||"}},
        {"bare.XSPF",
         "<playlist><trackList><track>\n  <location>\n    ../music/Artist/Album/01%20Track.mp3\n"
         "  </location>\n  <title>A &amp; B</title><creator><![CDATA[<C>]]></creator>\n"
         "</track></trackList></playlist>",
         {"bare", kTrack + "|A & B|<C>|"}},
        {"prefixed.xspf",
         "<x:playlist version=\"1\" xmlns:x=\"http://xspf.org/ns/0/\"><x:trackList><x:track>"
         "<x:location>../music/a%20b%2520c.mp3</x:location><x:album>Al</x:album>"
         "</x:track></x:trackList></x:playlist>",
         {"prefixed", kPercent + "|||Al"}},
        {"Radio.pls",
         "\r\n[Playlist]\r\nVersion=2\r\ntitle7=Seven\r\nFILE7=../music/a b%20c.mp3\r\n"
         "File2=../music/Artist/Album/01 Track.mp3\r\nLength2=215\r\nTitle2=Caf\xe9\r\n"
         "Title4=No file\r\nFile10=http://radio.example/stream\r\n[other]\r\n"
         "File1=../music/Artist/Album/01 Track.mp3\r\n",
         {"Radio", kTrack + "|Café||", kPercent + "|Seven||", "-|||"}},
        {"1000.audpl",
         "title=Road%20Trip%20%E2%9C%93\n"
         "uri=../music/Bj%C3%B6rk/Homogenic/02%20J%C3%B3ga%20%231.mp3\n"
         "title=J%C3%B3ga\nartist=Bj%C3%B6rk\nalbum=Homo%3Dgenic\ntrack-number=2\nlength=305000\n"
         "uri=http://radio.example/stream\nstate=good\n"
         "uri=../music/Artist/Album/01%20Track.mp3\ntitle=%41 & B\n",
         {"Road Trip ✓", kJoga + "|Jóga|Björk|Homo=genic", "-|||", kTrack + "|A & B||"}},
        {"1001.audpl",
         "uri=../music/Artist/Album/01%20Track.mp3\ntitle=First\n",
         {"1001", kTrack + "|First||"}},
        {"Mix.m3u8",
         "#EXTM3U\n#EXTINF:-1,Jóga\n../music/Björk/Homogenic/02 Jóga #1.mp3\n",
         {"Mix", kJoga + "|Jóga||"}},
    };
    int folder = 0;
    for (const auto& c : cases) {
        const QString lists = QStringLiteral("lists%1").arg(++folder);
        write(lists + QLatin1Char('/') + c.file, c.bytes);
        QString error;
        const auto library = PlaylistFolderLibrary::load(path(lists), error);
        ASSERT_TRUE(library) << c.file.toStdString() << ": " << error.toStdString();
        const auto playlists = library->allPlaylists();
        ASSERT_EQ(playlists.size(), 1u) << c.file.toStdString();
        EXPECT_EQ(summary(playlists[0]), c.playlist) << c.file.toStdString();
        EXPECT_TRUE(library->unreadable().isEmpty()) << c.file.toStdString();
    }
}

TEST_F(PlaylistFilesTest, OrderOfTheFolder) {
    const QByteArray entry = "../music/Artist/Album/01 Track.mp3\n";
    const QByteArray xspf = "<playlist><trackList/></playlist>";
    const struct {
        const char* what;
        std::map<QString, QByteArray> files;
        QStringList names;
    } cases[] = {
        {"mixed, extensions in any case, other files ignored",
         {{"b.m3u", entry},
          {"A.XSPF", xspf},
          {"c.Pls", "[playlist]\n"},
          {"D.m3u8", entry},
          {"e.M3U", entry},
          {"1001.audpl", "title=Zebra\n"},
          {"1000.audpl", ""},
          {"notes.txt", entry},
          {"cover.jpg", "x"}},
         {"A", "b", "c", "D", "e", "1000", "Zebra"}},
        {"Audacious's, with its order",
         {{"1000.audpl", "title=Second\n"},
          {"1001.audpl", "title=Third\n"},
          {"1002.audpl", "title=First\n"},
          {"0999.audpl", "title=Not listed\n"},
          {"order", "1002 1000\n1001"},
          {"Saved.m3u", entry}},
         {"Saved", "First", "Second", "Third", "Not listed"}},
    };
    int folder = 0;
    for (const auto& c : cases) {
        const QString lists = QStringLiteral("lists%1/").arg(++folder);
        for (const auto& [name, bytes] : c.files) write(lists + name, bytes);
        const auto library = MusicLibrary::open(path(lists));
        ASSERT_TRUE(library) << c.what;
        EXPECT_EQ(library->kind(), QStringLiteral("Playlist folder"));
        QStringList names;
        for (const LibraryPlaylist& playlist : library->allPlaylists()) names << playlist.name;
        EXPECT_EQ(names, c.names) << c.what;
    }
}

// A damaged file is left out and named; alone in its folder it makes the folder an error.
TEST_F(PlaylistFilesTest, DamagedFilesAreLeftOutAndNamed) {
    const struct {
        QString file;
        QByteArray bytes;
        QString reason;
    } cases[] = {
        {"Cut.xspf", "<playlist><trackList><track>", "not XML"},
        {"Words.xspf", "just words", "not XML"},
        {"Page.xspf", "<html><body/></html>", "not an XSPF playlist"},
        {"NoList.xspf", "<playlist version=\"1\"><title>x</title></playlist>",
         "not an XSPF playlist"},
        {"NoSection.pls", "File1=../music/Artist/Album/01 Track.mp3\n", "not a PLS playlist"},
        {"M3u.pls", "#EXTM3U\n../music/Artist/Album/01 Track.mp3\n", "not a PLS playlist"},
        {"Binary.audpl",
         QByteArray("\x7F"
                    "ELF\x02\x01\x01\0\0\0",
                    10),
         "not an Audacious"},
        {"Huge.m3u", {}, "too large"},
    };
    int folder = 0;
    for (const auto& c : cases) {
        const QString alone = QStringLiteral("alone%1/").arg(++folder);
        const QString mixed = QStringLiteral("mixed%1/").arg(folder);
        for (const QString& lists : {alone, mixed}) {
            const std::string file = write(lists + c.file, c.bytes);
            if (c.file == QLatin1String("Huge.m3u")) {
                std::filesystem::resize_file(file, 65 * 1024 * 1024);
            }
        }
        write(mixed + QStringLiteral("Good.m3u"), "../music/Artist/Album/01 Track.mp3\n");
        const QString expected = path(alone + c.file) + QStringLiteral(": ");

        QString error;
        EXPECT_FALSE(MusicLibrary::open(path(alone), error)) << c.file.toStdString();
        EXPECT_TRUE(error.contains(expected + c.reason)) << error.toStdString();

        const auto library = PlaylistFolderLibrary::load(path(mixed), error);
        ASSERT_TRUE(library) << c.file.toStdString();
        ASSERT_EQ(library->allPlaylists().size(), 1u) << c.file.toStdString();
        EXPECT_EQ(library->allPlaylists()[0].name, QStringLiteral("Good"));
        ASSERT_EQ(library->unreadable().size(), 1) << c.file.toStdString();
        EXPECT_TRUE(library->unreadable()[0].startsWith(path(mixed + c.file) + ": " + c.reason))
            << library->unreadable()[0].toStdString();
    }

    // A folder without playlist files is an empty library, not an error.
    write(QStringLiteral("empty/notes.txt"), "x");
    QString error;
    const auto empty = MusicLibrary::open(path(QStringLiteral("empty")), error);
    ASSERT_TRUE(empty) << error.toStdString();
    EXPECT_TRUE(empty->allPlaylists().empty());
}

}  // namespace
