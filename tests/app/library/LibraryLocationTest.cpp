#include "library/LibraryLocation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QUrl>
#include <filesystem>

#include "library/LibraryLocator.h"
#include "library/MusicLibrary.h"
#include "library/MusicProvider.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

QString text(const std::string& path) {
    return QString::fromStdString(path);
}

TEST(LibraryLocationTest, UrlsAsLocalPaths) {
    const struct {
        const char* url;
        const char* base;
        const char* path;
    } cases[] = {
        {"file:///a%20b/c%C3%A9.mp3", "", "/a b/cé.mp3"},
        // Older iTunes on macOS and iTunes on Windows name this machine "localhost".
        {"file://localhost/a%20b/c.mp3", "", "/a b/c.mp3"},
        {"FILE://LocalHost/x.mp3", "", "/x.mp3"},
        {"file:///raw space/é.mp3", "", "/raw space/é.mp3"},
        {"file://nas.local/x.mp3", "", ""},
        {"http://radio.example/stream.mp3", "", ""},
        {"sub/c%C3%A9.mp3", "/base", "/base/sub/cé.mp3"},
        {"../x%25.mp3", "/base/lists", "/base/x%.mp3"},
        {"sub/c.mp3", "", ""},
        {"", "/base", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LibraryLocation::fromUrl(QString::fromUtf8(c.url), QString::fromUtf8(c.base)),
                  QString::fromUtf8(c.path))
            << c.url;
    }
}

TEST(LibraryLocationTest, EntriesNameExistingFilesWithWindowsSeparatorsAsSecondTry) {
    TempDir dir;
    const QString root = text(dir.path().string());
    const QString track = text(dir.write("Artist/Album/01 Track.mp3", "x"));
    // A Linux file name may hold a backslash: as written, it is found first.
    const QString odd = text(dir.write("lists/a\\b.mp3", "x"));
    dir.write("lists/a/b.mp3", "x");
    const QString lists = root + QStringLiteral("/lists");
    const struct {
        QString entry;
        std::optional<QString> found;
    } cases[] = {
        {QStringLiteral("..\\Artist\\Album\\01 Track.mp3"), track},
        {QStringLiteral("../Artist/Album/01 Track.mp3"), track},
        {track, track},
        {QStringLiteral("file://localhost") + QUrl::fromLocalFile(track).path(QUrl::FullyEncoded),
         track},
        {QStringLiteral("file://LOCALHOST") + QUrl::fromLocalFile(track).path(QUrl::FullyEncoded)
             .replace(QLatin1Char('/'), QLatin1Char('\\')),
         track},
        {QStringLiteral("a\\b.mp3"), odd},
        {QStringLiteral("..\\Artist\\Album\\02 Missing.mp3"), std::nullopt},
        {QStringLiteral("..\\Artist"), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LibraryLocation::existingEntry(c.entry, lists), c.found) << c.entry.toStdString();
    }
}

// An iTunes library exported on Windows, its music copied beside it (or elsewhere).
TEST(LibraryLocationTest, LibraryMovedFromAnotherComputerFindsTracksUnderTheMusicFolder) {
    TempDir dir;
    const QString root = text(dir.path().string());
    const QString beside = text(dir.write("export/Music/Artïst/Album/01 Song.mp3", "x"));
    const QString elsewhere = text(dir.write("disk/Music/Artïst/Album/01 Song.mp3", "x"));
    const char* xml =
        "<plist><dict>"
        "<key>Music Folder</key>"
        "<string>file://localhost/C:/Users/Name/Music/iTunes/iTunes%20Media/</string>"
        "<key>Tracks</key><dict>"
        "<key>1</key><dict><key>Location</key><string>file://localhost/c:/users/name/Music/"
        "iTunes/iTunes%20Media/Music/Art%C3%AFst/Album/01%20Song.mp3</string></dict>"
        "<key>2</key><dict><key>Location</key><string>file://localhost/D:/Other/02%20Song.mp3"
        "</string></dict>"
        "</dict><key>Playlists</key><array>"
        "<dict><key>Name</key><string>Mix</string><key>Playlist Items</key><array>"
        "<dict><key>Track ID</key><integer>1</integer></dict>"
        "<dict><key>Track ID</key><integer>2</integer></dict></array></dict>"
        "</array></dict></plist>";
    const QString library = text(dir.write("export/Library.xml", xml));
    const struct {
        QString musicFolder;
        QString found;
    } cases[] = {
        {QString(), beside},
        {root + QStringLiteral("/disk"), elsewhere},
        {root + QStringLiteral("/disk/"), elsewhere},
    };
    for (const auto& c : cases) {
        QString error;
        const auto opened = MusicLibrary::open(library, error, c.musicFolder);
        ASSERT_TRUE(opened) << error.toStdString();
        EXPECT_EQ(opened->kind(), QStringLiteral("iTunes library"));
        const std::vector<LibraryPlaylist> playlists = opened->allPlaylists();
        ASSERT_EQ(playlists.size(), 1u);
        ASSERT_EQ(playlists[0].items.size(), 2u);
        EXPECT_EQ(playlists[0].items[0].location, c.found) << c.musicFolder.toStdString();
        // A track outside the old music folder has nowhere to be looked for.
        EXPECT_FALSE(playlists[0].items[1].location);
    }
}

TEST(LibraryLocatorTest, TheFirstUsualPlaceWithPlaylistsWins) {
    QSettings().remove(QLatin1String(LibraryLocator::kSettingsKey));
    const QString home = QDir::homePath();
    const QString empty = home + QStringLiteral("/Music/Playlists");
    const QString mpd = home + QStringLiteral("/.mpd/playlists");
    QDir().mkpath(empty);
    QDir().mkpath(mpd);
    EXPECT_EQ(LibraryLocator::locate(), empty);
    QFile list(mpd + QStringLiteral("/Mix.m3u"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.close();
    EXPECT_EQ(LibraryLocator::locate(), mpd);
    // What the user chose comes before any usual place.
    LibraryLocator::choose(empty);
    EXPECT_EQ(LibraryLocator::locate(), empty);
    QSettings().remove(QLatin1String(LibraryLocator::kSettingsKey));
    QDir(home + QStringLiteral("/Music")).removeRecursively();
    QDir(home + QStringLiteral("/.mpd")).removeRecursively();
}

}  // namespace
