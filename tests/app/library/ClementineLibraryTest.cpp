#include "library/ClementineLibrary.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <functional>

#include "library/MusicLibrary.h"
#include "library/MusicProvider.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

// Runs sql on the database at path (made when missing); the test fails on an SQLite error.
void execute(const QString& path, const QString& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char* message = nullptr;
    const int status = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message);
    EXPECT_EQ(status, SQLITE_OK) << (message != nullptr ? message : "") << "\n"
                                 << sql.toStdString();
    sqlite3_free(message);
    sqlite3_close(db);
}

QString quoted(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

QString blob(const QString& text) {
    return QStringLiteral("X'%1'").arg(QString::fromLatin1(text.toUtf8().toHex()));
}

// The lines as one text, for readable failures.
std::string text(const QStringList& lines) {
    return lines.join(QLatin1Char('\n')).toStdString();
}

// "playlist|location or -|title|artist|album" per item, in order.
QStringList summary(const MusicLibrary& library, const QString& root) {
    QStringList lines;
    for (const LibraryPlaylist& playlist : library.allPlaylists()) {
        if (playlist.items.empty()) lines << playlist.name + QStringLiteral("|(empty)");
        for (const LibraryItem& item : playlist.items) {
            const QString location =
                item.location ? QString(*item.location).replace(root, QStringLiteral("ROOT"))
                              : QStringLiteral("-");
            lines << QStringList{playlist.name, location, item.title, item.artist, item.album}.join(
                QLatin1Char('|'));
        }
    }
    return lines;
}

// What a playlist item refers to, in the fixtures' own terms.
enum class Ref { Collection, File, Stream, Service };

// One player's layout: the tables as its schema files write them (the columns read, and some
// that are not), and how it writes what this test puts in.
struct Layout {
    const char* name;
    const char* player;
    const char* schema;
    const char* songId;        // the item's column naming a collection song
    const char* songLocation;  // the location column of songs
    const char* itemLocation;  // the location column of playlist_items
    const char* songExtra;     // further NOT NULL columns of songs, and their values
    bool uiOrder;
    std::function<QString(Ref)> type;
    std::function<QString(const QString&)> location;  // a location as the player stores it
    const char* staleLocation;  // a column that once held the item's location, or nullptr
};

const char* const kStrawberrySchema = R"(
CREATE TABLE songs (title TEXT, album TEXT, artist TEXT, albumartist TEXT,
  track INTEGER NOT NULL DEFAULT -1, year INTEGER NOT NULL DEFAULT -1,
  source INTEGER NOT NULL DEFAULT 0, directory_id INTEGER NOT NULL DEFAULT -1, url TEXT NOT NULL,
  filetype INTEGER NOT NULL DEFAULT 0, unavailable INTEGER DEFAULT 0,
  playcount INTEGER NOT NULL DEFAULT 0, art_automatic TEXT, cue_path TEXT,
  rating INTEGER DEFAULT -1);
CREATE TABLE playlists (name TEXT NOT NULL, last_played INTEGER NOT NULL DEFAULT -1,
  ui_order INTEGER NOT NULL DEFAULT 0, special_type TEXT, ui_path TEXT,
  is_favorite INTEGER NOT NULL DEFAULT 0, dynamic_playlist_type INTEGER,
  dynamic_playlist_backend TEXT, dynamic_playlist_data BLOB);
CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type INTEGER NOT NULL DEFAULT 0,
  collection_id INTEGER, playlist_url TEXT, title TEXT, album TEXT, artist TEXT,
  albumartist TEXT, track INTEGER, beginning INTEGER, length INTEGER, source INTEGER,
  url TEXT NOT NULL, filetype INTEGER, cue_path TEXT, rating INTEGER DEFAULT -1);
CREATE TABLE devices (unique_id TEXT NOT NULL, friendly_name TEXT);
CREATE INDEX idx_url ON songs (url);
)";

const char* const kClementineSchema = R"(
CREATE TABLE songs (title TEXT, album TEXT, artist TEXT, albumartist TEXT, composer TEXT,
  track INTEGER, disc INTEGER, year INTEGER, genre TEXT, length INTEGER,
  directory INTEGER NOT NULL, filename TEXT NOT NULL, mtime INTEGER NOT NULL,
  ctime INTEGER NOT NULL, filesize INTEGER NOT NULL, art_automatic TEXT,
  effective_compilation NOT NULL DEFAULT 0, unavailable INTEGER DEFAULT 0, cue_path TEXT);
CREATE TABLE playlists (name TEXT NOT NULL, last_played INTEGER,
  dynamic_playlist_type TEXT, dynamic_playlist_data BLOB,
  dynamic_playlist_backend TEXT DEFAULT "songs", ui_order INTEGER NOT NULL DEFAULT 0,
  special_type TEXT, ui_path TEXT, is_favorite INTEGER NOT NULL DEFAULT 0);
CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type TEXT NOT NULL, library_id INTEGER,
  url TEXT, title TEXT, artist TEXT, album TEXT, length INTEGER, radio_service TEXT,
  beginning INTEGER, cue_path TEXT, albumartist TEXT, composer TEXT, track INTEGER,
  directory INTEGER, filename TEXT, mtime INTEGER, ctime INTEGER, filesize INTEGER,
  filetype INTEGER NOT NULL DEFAULT 0, unavailable INTEGER DEFAULT 0);
CREATE TABLE magnatune_songs (title TEXT, album TEXT, artist TEXT, filename TEXT NOT NULL);
CREATE TABLE schema_version (version INTEGER NOT NULL);
INSERT INTO schema_version (version) VALUES (54);
)";

// Clementine as it was when playlists were first kept: no tab order, items with a url.
const char* const kEarlyClementineSchema = R"(
CREATE TABLE songs (title TEXT, album TEXT, artist TEXT, albumartist TEXT, composer TEXT,
  track INTEGER, directory INTEGER NOT NULL, filename TEXT NOT NULL, mtime INTEGER NOT NULL,
  ctime INTEGER NOT NULL, filesize INTEGER NOT NULL);
CREATE TABLE playlists (name TEXT NOT NULL);
CREATE TABLE playlist_items (playlist INTEGER NOT NULL, type TEXT NOT NULL, library_id INTEGER,
  url TEXT, title TEXT, artist TEXT, album TEXT, length INTEGER, radio_service TEXT);
CREATE TABLE schema_version (version INTEGER NOT NULL);
INSERT INTO schema_version (version) VALUES (7);
)";

QString strawberryType(Ref ref) {
    // Song sources: 2 collection, 1 local file, 5 stream, 7 Subsonic.
    switch (ref) {
        case Ref::Collection:
            return QStringLiteral("2");
        case Ref::File:
            return QStringLiteral("1");
        case Ref::Stream:
            return QStringLiteral("5");
        case Ref::Service:
            return QStringLiteral("7");
    }
    return {};
}

QString clementineType(Ref ref) {
    switch (ref) {
        case Ref::Collection:
            return QStringLiteral("'Library'");
        case Ref::File:
            return QStringLiteral("'File'");
        case Ref::Stream:
            return QStringLiteral("'Stream'");
        case Ref::Service:
            return QStringLiteral("'Magnatune'");
    }
    return {};
}

const Layout kLayouts[] = {
    {"Strawberry", "Strawberry", kStrawberrySchema, "collection_id", "url", "url", "", true,
     strawberryType, quoted, nullptr},
    // Clementine writes a location as the bytes of QUrl::toEncoded(): a BLOB.
    {"Clementine", "Clementine", kClementineSchema, "library_id", "filename", "filename",
     ", directory, mtime, ctime, filesize|, 1, 0, 0, 100", true, clementineType, blob, "url"},
    {"early Clementine", "Clementine", kEarlyClementineSchema, "library_id", "filename", "url",
     ", directory, mtime, ctime, filesize|, 1, 0, 0, 100", false, clementineType, quoted, nullptr},
};

class ClementineLibraryTest : public testing::Test {
  protected:
    ClementineLibraryTest() : root(QString::fromStdString(temp.path().string())) {}

    // A small file standing for a track; its path.
    QString track(const QString& name) const {
        return QString::fromStdString(temp.write(("music/" + name).toStdString(), "audio"));
    }
    static QString encodedUrl(const QString& path) {
        return QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
    }

    TempDir temp;
    const QString root;
};

// Writes the same playlists in each player's layout.
void fixture(const Layout& layout, const QString& db, const QStringList& tracks,
             const QString& stale) {
    QString sql = QString::fromLatin1(layout.schema);
    const QStringList extra = QString::fromLatin1(layout.songExtra).split(QLatin1Char('|'));
    const auto song = [&](int id, const QString& location, const char* title, const char* artist,
                          const char* album) {
        sql +=
            QStringLiteral(
                "INSERT INTO songs (ROWID, title, artist, album, %1%2) "
                "VALUES (%3, %4, %5, %6, %7%8);\n")
                .arg(QLatin1String(layout.songLocation), extra.value(0))
                .arg(id)
                .arg(quoted(QString::fromUtf8(title)), quoted(QString::fromUtf8(artist)),
                     quoted(QString::fromUtf8(album)), layout.location(location), extra.value(1));
    };
    const auto playlist = [&](int id, const char* name, int uiOrder) {
        sql += layout.uiOrder ? QStringLiteral(
                                    "INSERT INTO playlists (ROWID, name, ui_order, "
                                    "is_favorite) VALUES (%1, %2, %3, 1);\n")
                                    .arg(id)
                                    .arg(quoted(QString::fromUtf8(name)))
                                    .arg(uiOrder)
                              : QStringLiteral(
                                    "INSERT INTO playlists (ROWID, name) "
                                    "VALUES (%1, %2);\n")
                                    .arg(id)
                                    .arg(quoted(QString::fromUtf8(name)));
    };
    // Strawberry keeps no location of its own for a collection item: an empty url.
    const auto item = [&](int list, Ref ref, int songId, const QString& location,
                          const char* title = "", const char* artist = "", const char* album = "") {
        QString columns =
            QStringLiteral("playlist, type, %1, %2, title, artist, album")
                .arg(QLatin1String(layout.songId), QLatin1String(layout.itemLocation));
        QString values =
            QStringLiteral("%1, %2, %3, %4, %5, %6, %7")
                .arg(list)
                .arg(layout.type(ref))
                .arg(songId < 0 ? QStringLiteral("NULL") : QString::number(songId))
                .arg(layout.location(location), quoted(QString::fromUtf8(title)),
                     quoted(QString::fromUtf8(artist)), quoted(QString::fromUtf8(album)));
        if (layout.staleLocation != nullptr) {
            columns += QStringLiteral(", ") + QLatin1String(layout.staleLocation);
            values += QStringLiteral(", ") + quoted(stale);
        }
        sql +=
            QStringLiteral("INSERT INTO playlist_items (%1) VALUES (%2);\n").arg(columns, values);
    };

    song(1, tracks[0], "First Light", "Aurora Tones", "Northern Lights");
    song(2, tracks[1], "Þögn", "Sigrún Ó", "Kyrrð");
    song(3, tracks[3], "", "", "");
    playlist(1, "Zeta", 1);
    playlist(2, "Alpha", 0);
    playlist(3, "Kept, closed", -1);
    playlist(4, "Beta", 1);
    // Items of different playlists interleaved; within one, the order they were saved in.
    item(1, Ref::Collection, 2, QString());
    item(2, Ref::File, -1, tracks[2], "Own", "Own Artist", "Own Album");
    item(1, Ref::File, -1, tracks[4], "Café", "", "");
    item(1, Ref::Collection, 1, QString());
    item(2, Ref::Collection, 99, QString(), "Removed from the collection");
    item(1, Ref::Stream, -1, QStringLiteral("http://radio.example/stream"), "Radio");
    item(1, Ref::Service, 1, QStringLiteral("magnatune://track/1"), "Service");
    item(1, Ref::Collection, 1, QString());
    item(3, Ref::Collection, 3, QString());
    item(42, Ref::Collection, 1, QString());
    item(2, Ref::File, -1, QStringLiteral("file:///nonexistent/gone.mp3"), "Gone");
    execute(db, sql);
}

TEST_F(ClementineLibraryTest, ReadsEachPlayersPlaylistsInTheirOrder) {
    const QString first = track(QStringLiteral("Aurora Tones/01 First Light.mp3"));
    // Percent-encoded: non-ASCII letters, spaces, "#" and "%".
    const QString silence = track(QStringLiteral("Sigrún Ó/01 Þögn # 100%.flac"));
    const QString own = track(QStringLiteral("own.opus"));
    const QString untagged = track(QStringLiteral("untagged.ogg"));
    const QString cafe = track(QStringLiteral("Café/b b.ogg"));
    const QString stale = encodedUrl(track(QStringLiteral("stale.mp3")));
    // The item's own locations in the forms players write: percent-encoded, as it is (spaces
    // and non-ASCII letters left), a plain path.
    const QStringList tracks{encodedUrl(first), encodedUrl(silence), own,
                             QStringLiteral("file://") + untagged,
                             QStringLiteral("file://") + cafe};

    // Each layout with a rollback journal and with a write-ahead log (the player not running:
    // no log beside the file).
    for (const auto& [layout, journal] : {std::pair{kLayouts[0], "DELETE"},
                                          {kLayouts[0], "WAL"},
                                          {kLayouts[1], "DELETE"},
                                          {kLayouts[1], "WAL"},
                                          {kLayouts[2], "DELETE"}}) {
        SCOPED_TRACE(std::string(layout.name) + ", " + journal);
        TempDir dbFolder;
        const QString db = QString::fromStdString(dbFolder.file("library.db"));
        fixture(layout, db, tracks, stale);
        execute(db, QStringLiteral("PRAGMA journal_mode = %1").arg(QLatin1String(journal)));
        const QByteArray before =
            QByteArray::fromStdString(testsupport::readFile(db.toStdString()));

        QString error;
        const auto library = ClementineLibrary::load(db, error);
        ASSERT_TRUE(library) << error.toStdString();
        EXPECT_EQ(library->kind(), QLatin1String(layout.player));
        EXPECT_EQ(library->origin(), db);
        const QStringList zeta{
            QStringLiteral("Zeta|ROOT/music/Sigrún Ó/01 Þögn # 100%.flac|Þögn|Sigrún Ó|Kyrrð"),
            QStringLiteral("Zeta|ROOT/music/Café/b b.ogg|Café||"),
            QStringLiteral(
                "Zeta|ROOT/music/Aurora Tones/01 First Light.mp3|First Light|Aurora Tones|"
                "Northern Lights"),
            QStringLiteral("Zeta|-|Radio||"),
            QStringLiteral("Zeta|-|Service||"),
            QStringLiteral(
                "Zeta|ROOT/music/Aurora Tones/01 First Light.mp3|First Light|Aurora Tones|"
                "Northern Lights"),
        };
        const QStringList alpha{
            QStringLiteral("Alpha|ROOT/music/own.opus|Own|Own Artist|Own Album"),
            QStringLiteral("Alpha|-|Removed from the collection||"),
            QStringLiteral("Alpha|-|Gone||"),
        };
        const QStringList closed{QStringLiteral("Kept, closed|ROOT/music/untagged.ogg|||")};
        const QStringList beta{QStringLiteral("Beta|(empty)")};
        // Tab order, ties by row id, closed ones last; without a tab order, row id order.
        const QStringList expected =
            layout.uiOrder ? alpha + zeta + beta + closed : zeta + alpha + closed + beta;
        EXPECT_EQ(text(summary(*library, root)), text(expected));

        // Nothing written: the file as it was, no journal beside it.
        EXPECT_EQ(QByteArray::fromStdString(testsupport::readFile(db.toStdString())), before);
        EXPECT_EQ(text(QDir(QString::fromStdString(dbFolder.path().string()))
                           .entryList(QDir::Files | QDir::Hidden)),
                  "library.db");
    }
}

TEST_F(ClementineLibraryTest, ReadsWhilePlayerHoldsAWriteTransaction) {
    const QString song = encodedUrl(track(QStringLiteral("a.mp3")));
    for (const char* journal : {"DELETE", "WAL"}) {
        SCOPED_TRACE(journal);
        TempDir dbFolder;
        const QString db = QString::fromStdString(dbFolder.file("strawberry.db"));
        fixture(kLayouts[0], db, {song, song, song, song, song}, QString());
        execute(db, QStringLiteral("PRAGMA journal_mode = %1").arg(QLatin1String(journal)));

        // The player, in the middle of saving a playlist.
        sqlite3* player = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(db).constData(), &player), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(player,
                               "BEGIN IMMEDIATE; INSERT INTO playlists (name, ui_order) "
                               "VALUES ('Being saved', 0)",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);

        QString error;
        const auto library = ClementineLibrary::load(db, error);
        ASSERT_TRUE(library) << error.toStdString();
        // What was committed, not what is being written.
        EXPECT_EQ(text(MusicProvider::getPlaylistNames(library.get())),
                  "Alpha\nZeta\nBeta\nKept, closed");

        // The reader let go: the player's commit goes through at once.
        sqlite3_busy_timeout(player, 0);
        EXPECT_EQ(sqlite3_exec(player, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(player);
        sqlite3_close(player);
        const auto after = ClementineLibrary::load(db, error);
        ASSERT_TRUE(after) << error.toStdString();
        EXPECT_EQ(text(MusicProvider::getPlaylistNames(after.get())),
                  "Alpha\nBeing saved\nZeta\nBeta\nKept, closed");
    }
}

TEST_F(ClementineLibraryTest, DamagedOrForeignFilesGiveAnErrorNamingTheFile) {
    const QString valid = QString::fromStdString(temp.file("valid.db"));
    const QString song = encodedUrl(track(QStringLiteral("a.mp3")));
    fixture(kLayouts[0], valid, {song, song, song, song, song}, QString());
    const std::string bytes = testsupport::readFile(valid.toStdString());
    ASSERT_GT(bytes.size(), 4096u * 4);
    // SQLite keeps no checksums: a flipped bit in a title reads as another title. Flips that
    // it sees: in a page's kind, in the text of the schema.
    std::string overwritten = bytes;
    std::fill(overwritten.begin() + 4096, overwritten.end(), '\xFF');
    std::string flipped = bytes;
    for (std::size_t page = 4096; page < flipped.size(); page += 4096) flipped[page] ^= 0x5A;
    std::string schema = bytes;
    const std::size_t create = schema.find("CREATE TABLE playlists");
    ASSERT_NE(create, std::string::npos);
    schema[create + 7] ^= 0x01;

    const auto sqliteFile = [&](const char* name, const char* sql) {
        const QString path = QString::fromStdString(temp.file(name));
        execute(path, QString::fromLatin1(sql));
        return path.toStdString();
    };
    const QString notSuch = QStringLiteral(": not a Strawberry or Clementine database");
    const struct {
        std::string path;
        QString reason;  // "" for any reason SQLite gives
    } cases[] = {
        {temp.write("truncated.db", bytes.substr(0, bytes.size() / 2)), {}},
        {temp.write("header.db", bytes.substr(0, 100)), {}},
        {temp.write("pages.db", overwritten), {}},
        {temp.write("flipped.db", flipped), {}},
        {temp.write("schema.db", schema), {}},
        {temp.write("garbage.db", std::string("SQLite format 3\0", 16) + std::string(600, 'x')),
         {}},
        {temp.write("Library.xml", "<plist><dict/></plist>"), {}},
        {temp.write("empty.db", ""), notSuch},
        {temp.file("missing.db"), {}},
        {sqliteFile("cache.db", "CREATE TABLE tracks (path TEXT PRIMARY KEY, title TEXT)"),
         notSuch},
        // The right tables, but items that refer to no collection.
        {sqliteFile("other.db",
                    "CREATE TABLE playlists (name TEXT); "
                    "CREATE TABLE playlist_items (playlist INTEGER, url TEXT)"),
         notSuch},
        // Tables of those names that are views.
        {sqliteFile("views.db",
                    "CREATE TABLE t (x); CREATE VIEW playlists AS SELECT 'a' AS name; "
                    "CREATE VIEW playlist_items AS SELECT 1 AS playlist, 1 AS collection_id"),
         notSuch},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromStdString(c.path);
        SCOPED_TRACE(path.toStdString());
        QString error;
        EXPECT_FALSE(ClementineLibrary::load(path, error));
        EXPECT_TRUE(error.startsWith(path + QStringLiteral(": "))) << error.toStdString();
        EXPECT_GT(error.size(), path.size() + 2);
        if (!c.reason.isEmpty()) {
            EXPECT_EQ(error, path + c.reason);
        }
    }

    // Told apart by its content, a foreign database opens as neither this nor an XML library.
    QString error;
    const QString cache = QString::fromStdString(temp.file("cache.db"));
    EXPECT_FALSE(MusicLibrary::open(cache, error));
    EXPECT_EQ(error, cache + notSuch);
    EXPECT_FALSE(MusicLibrary::open(QString::fromStdString(temp.file("flipped.db")), error));
    EXPECT_TRUE(error.startsWith(QString::fromStdString(temp.file("flipped.db")) + ": "));
}

TEST_F(ClementineLibraryTest, ProviderReadsAStrawberryDatabase) {
    const QString sample = QStringLiteral(QUILLORY_SAMPLE_LIBRARY "/music/");
    const QString first =
        sample + QStringLiteral("Aurora Tones/Northern Lights/01 First Light.mp3");
    const QString silence = sample + QStringLiteral("Sigrún Ó/Kyrrð/01 Þögn.flac");
    const QString db = QString::fromStdString(temp.file("strawberry.db"));
    execute(db,
            QString::fromLatin1(kStrawberrySchema) +
                QStringLiteral(
                    "INSERT INTO songs (ROWID, title, artist, album, url) VALUES "
                    "  (7, 'First Light', 'Aurora Tones', 'Northern Lights', %1);"
                    "INSERT INTO playlists (name, ui_order) VALUES ('Night', 1), ('Morning', 0);"
                    "INSERT INTO playlist_items (playlist, type, collection_id, url, title) VALUES"
                    "  (2, 2, 7, '', NULL), (2, 5, NULL, 'http://radio.example/', 'Radio'),"
                    "  (2, 2, 7, '', NULL), (1, 1, NULL, %2, NULL), (1, 2, 7, '', NULL);")
                    .arg(quoted(encodedUrl(first)), quoted(encodedUrl(silence))));

    QString error;
    const auto library = MusicLibrary::open(db, error);
    ASSERT_TRUE(library) << error.toStdString();
    EXPECT_EQ(library->kind(), QStringLiteral("Strawberry"));
    const QStringList names{QStringLiteral("Morning"), QStringLiteral("Night")};
    EXPECT_EQ(text(MusicProvider::getPlaylistNames(library.get())), text(names));
    const auto records = MusicProvider::getMusicMediaFiles(library.get(), names);
    ASSERT_TRUE(records);
    QStringList lines;
    for (const ITunesMediaFileObc& r : *records) {
        lines << QStringList{r.artist, r.album, r.sourceFile, r.playLists.join(QLatin1Char(','))}
                     .join(QLatin1Char('|'));
    }
    // The stream is left out, the track listed three times is one record; the file item's
    // empty tags come from the file.
    EXPECT_EQ(text(lines),
              text({QStringLiteral("Aurora Tones|Northern Lights|%1|Morning,Night").arg(first),
                    QStringLiteral("Sigrún Ó|Kyrrð|%1|Night").arg(silence)}));
}

}  // namespace
