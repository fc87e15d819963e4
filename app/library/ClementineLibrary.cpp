#include "library/ClementineLibrary.h"

#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <initializer_list>
#include <unordered_map>

#include "library/LibraryLocation.h"

namespace {

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct Finalize {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// How long a read waits while the player commits a write: commits take moments, and a longer
// wait would only hold up the window.
constexpr int kBusyMilliseconds = 1000;

// The columns of the query of items: playlist, type, then location, title, artist and album of
// the item itself (from kOwn), and of its collection song (from kSong, after its row id).
constexpr int kOwn = 2;
constexpr int kSongRow = 6;
constexpr int kSong = 7;

// What an item of a playlist refers to.
enum class Refers { CollectionSong, OwnFile, Elsewhere };

Refers strawberryType(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) == SQLITE_NULL) return Refers::OwnFile;
    // Strawberry's song sources: 0 unknown, 1 local file, 2 collection, 4 device (a mounted
    // player's files); the others are CD tracks, streams and internet services.
    switch (sqlite3_column_int64(row, column)) {
        case 2:
            return Refers::CollectionSong;
        case 0:
        case 1:
        case 4:
            return Refers::OwnFile;
        default:
            return Refers::Elsewhere;
    }
}

// The value of a column as text, whatever SQLite holds: Clementine stores locations as BLOBs.
QString text(sqlite3_stmt* row, int column) {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(row, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(row, column));
}

Refers clementineType(sqlite3_stmt* row, int column) {
    if (sqlite3_column_type(row, column) == SQLITE_NULL) return Refers::OwnFile;
    const QString type = text(row, column);
    if (type == QLatin1String("Library")) return Refers::CollectionSong;
    if (type == QLatin1String("File")) return Refers::OwnFile;
    return Refers::Elsewhere;
}

// The existing local file a location names: a file URL, or a plain absolute path.
std::optional<QString> localFile(const QString& location) {
    if (LibraryLocation::isFileUrl(location)) return LibraryLocation::existingUrl(location, {});
    if (QDir::isAbsolutePath(location)) return LibraryLocation::existingEntry(location, {});
    return std::nullopt;
}

// Whether the header of the database file says it keeps a write-ahead log.
bool isWalDatabase(const QString& path) {
    QFile file(path);
    const QByteArray header = file.open(QIODevice::ReadOnly) ? file.read(20) : QByteArray();
    // The file format's write version: 2 for WAL.
    return header.size() == 20 && header[19] == 2;
}

// Runs a query, handing each row to row; false when SQLite fails (the reason in the database's
// error message).
template <typename Row>
bool forEachRow(sqlite3* db, const QString& sql, Row row) {
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, utf8.constData(), static_cast<int>(utf8.size()), &raw, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(raw);
        return false;
    }
    const Statement statement(raw);
    int status = SQLITE_OK;
    while ((status = sqlite3_step(raw)) == SQLITE_ROW) row(raw);
    return status == SQLITE_DONE;
}

// The column names of each table, lower-cased, as PRAGMA table_info gives them; a view or a
// missing table has none, so that nothing but stored rows is read.
bool readColumns(sqlite3* db, std::unordered_map<std::string, QSet<QString>>& columns) {
    QSet<QString> tables;
    if (!forEachRow(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"),
                    [&](sqlite3_stmt* row) { tables.insert(text(row, 0).toLower()); })) {
        return false;
    }
    for (auto& entry : columns) {
        const QString table = QString::fromStdString(entry.first);
        QSet<QString>& names = entry.second;
        if (!tables.contains(table)) continue;
        const QString pragma = QStringLiteral("PRAGMA table_info(%1)").arg(table);
        if (!forEachRow(db, pragma,
                        [&](sqlite3_stmt* row) { names.insert(text(row, 1).toLower()); })) {
            return false;
        }
    }
    return true;
}

// "alias.name" for the first of names the table has, else NULL.
QString pick(const QSet<QString>& have, const char* alias,
             std::initializer_list<const char*> names) {
    for (const char* name : names) {
        if (have.contains(QLatin1String(name))) return QStringLiteral("%1.%2").arg(alias, name);
    }
    return QStringLiteral("NULL");
}

}  // namespace

std::unique_ptr<ClementineLibrary> ClementineLibrary::load(const QString& path, QString& error) {
    // Read-only in both ways SQLite offers, so that nothing can write to the player's file, not
    // even a journal.
    const QString absolute = QFileInfo(path).absoluteFilePath();
    QByteArray uri = QUrl::fromLocalFile(absolute).toEncoded() + "?mode=ro";
    // Even a read-only connection makes the write-ahead log and its index beside a database in
    // WAL mode, and leaves them. Without a log the player is not running and the file holds all:
    // it is read as it is, without them. (A log that a crashed player left gets its index made,
    // as the player's own next start would make it.)
    if (isWalDatabase(absolute) && !QFileInfo::exists(absolute + QStringLiteral("-wal"))) {
        uri += "&immutable=1";
    }
    sqlite3* raw = nullptr;
    const int opened =
        sqlite3_open_v2(uri.constData(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    const Database db(raw);
    const auto failed = [&] {
        error =
            path + QStringLiteral(": ") +
            (db ? QString::fromUtf8(sqlite3_errmsg(db.get())) : QStringLiteral("out of memory"));
        return nullptr;
    };
    if (opened != SQLITE_OK) return failed();
    // The file comes from outside: its schema may not run functions or write.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_busy_timeout(db.get(), kBusyMilliseconds);
    // One read transaction: a consistent view while the player may be saving, and its lock
    // held only for the moment the reads take.
    if (sqlite3_exec(db.get(), "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return failed();

    std::unordered_map<std::string, QSet<QString>> columns{
        {"playlists", {}}, {"playlist_items", {}}, {"songs", {}}};
    if (!readColumns(db.get(), columns)) return failed();
    const QSet<QString>& lists = columns["playlists"];
    const QSet<QString>& items = columns["playlist_items"];
    const QSet<QString>& songs = columns["songs"];
    const bool strawberry = items.contains(QStringLiteral("collection_id"));
    if ((!strawberry && !items.contains(QStringLiteral("library_id"))) ||
        !items.contains(QStringLiteral("playlist")) || !lists.contains(QStringLiteral("name"))) {
        error = path + QStringLiteral(": not a Strawberry or Clementine database");
        return nullptr;
    }

    auto library = std::unique_ptr<ClementineLibrary>(new ClementineLibrary);
    library->path = path;
    library->player = strawberry ? QStringLiteral("Strawberry") : QStringLiteral("Clementine");

    // Open tabs in tab order, then the playlists kept but closed (-1).
    const QString order = lists.contains(QStringLiteral("ui_order"))
                              ? QStringLiteral("ui_order < 0, ui_order, ROWID")
                              : QStringLiteral("ROWID");
    std::unordered_map<sqlite3_int64, std::size_t> byId;
    if (!forEachRow(db.get(), QStringLiteral("SELECT ROWID, name FROM playlists ORDER BY ") + order,
                    [&](sqlite3_stmt* row) {
                        byId.emplace(sqlite3_column_int64(row, 0), library->playlists.size());
                        library->playlists.push_back({text(row, 1), {}});
                    })) {
        return failed();
    }

    // Clementine databases from before its items kept a filename still have the url it replaced.
    const auto location = [&](const QSet<QString>& have, const char* alias) {
        return strawberry ? pick(have, alias, {"url", "filename"})
                          : pick(have, alias, {"filename", "url"});
    };
    const QString songId =
        strawberry ? QStringLiteral("p.collection_id") : QStringLiteral("p.library_id");
    const bool joined = !songs.isEmpty();
    QStringList select{QStringLiteral("p.playlist"), pick(items, "p", {"type"}),
                       location(items, "p"),         pick(items, "p", {"title"}),
                       pick(items, "p", {"artist"}), pick(items, "p", {"album"})};
    if (joined) {
        select << QStringLiteral("s.ROWID") << location(songs, "s") << pick(songs, "s", {"title"})
               << pick(songs, "s", {"artist"}) << pick(songs, "s", {"album"});
    } else {
        select << QStringLiteral("NULL") << QStringLiteral("NULL") << QStringLiteral("NULL")
               << QStringLiteral("NULL") << QStringLiteral("NULL");
    }
    QString sql = QStringLiteral("SELECT %1 FROM playlist_items AS p").arg(select.join(u", "));
    if (joined) sql += QStringLiteral(" LEFT JOIN songs AS s ON %1 = s.ROWID").arg(songId);
    sql += QStringLiteral(" ORDER BY p.ROWID");
    if (!forEachRow(db.get(), sql, [&](sqlite3_stmt* row) {
            const auto found = byId.find(sqlite3_column_int64(row, 0));
            if (found == byId.end()) return;
            const Refers refers = strawberry ? strawberryType(row, 1) : clementineType(row, 1);
            // A song removed from the collection leaves the item with what it kept itself.
            const bool fromSong = refers == Refers::CollectionSong &&
                                  sqlite3_column_type(row, kSongRow) != SQLITE_NULL;
            const int from = fromSong ? kSong : kOwn;
            LibraryItem item;
            if (refers != Refers::Elsewhere) item.location = localFile(text(row, from));
            item.title = text(row, from + 1);
            item.artist = text(row, from + 2);
            item.album = text(row, from + 3);
            library->playlists[found->second].items.push_back(std::move(item));
        })) {
        return failed();
    }
    if (sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return failed();
    return library;
}
