#include "library/TrackInfoCache.h"

#include <sqlite3.h>

#include <QLoggingCategory>
#include <memory>

#include "util/Utils.h"

Q_LOGGING_CATEGORY(lcTrackCache, "quillory.library.cache")

namespace {

struct Finalize {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

Statement prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (db == nullptr || sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return Statement(statement);
}

void bind(sqlite3_stmt* statement, int position, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    sqlite3_bind_text(statement, position, bytes.constData(), static_cast<int>(bytes.size()),
                      SQLITE_TRANSIENT);
}

QString column(sqlite3_stmt* statement, int index) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

}  // namespace

TrackInfoCache::TrackInfoCache(const QString& file) {
    if (sqlite3_open(file.toLocal8Bit().constData(), &db) != SQLITE_OK ||
        sqlite3_exec(db,
                     "create table if not exists tracks (path text primary key, size integer, "
                     "modified integer, title text, artist text, album text, picture text);"
                     "create table if not exists arts (name text primary key, source text);"
                     "begin",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        qCWarning(lcTrackCache).noquote() << "Track cache unusable, every file is read:" << file
                                          << (db != nullptr ? sqlite3_errmsg(db) : "");
        sqlite3_close(db);
        db = nullptr;
    }
}

TrackInfoCache::~TrackInfoCache() {
    if (db == nullptr) return;
    if (sqlite3_exec(db, "commit", nullptr, nullptr, nullptr) != SQLITE_OK) {
        qCWarning(lcTrackCache).noquote() << "Track cache not saved:" << sqlite3_errmsg(db);
    }
    sqlite3_close(db);
}

std::optional<TrackInfoCache::Info> TrackInfoCache::find(const QString& path, qint64 size,
                                                         qint64 modified) {
    const Statement select =
        prepare(db,
                "select title, artist, album, picture from tracks where path = ? and size = ? and "
                "modified = ?");
    if (!select) return std::nullopt;
    bind(select.get(), 1, path);
    sqlite3_bind_int64(select.get(), 2, size);
    sqlite3_bind_int64(select.get(), 3, modified);
    if (sqlite3_step(select.get()) != SQLITE_ROW) return std::nullopt;
    return Info{column(select.get(), 0), column(select.get(), 1), column(select.get(), 2),
                column(select.get(), 3)};
}

void TrackInfoCache::store(const QString& path, qint64 size, qint64 modified, const Info& info) {
    const Statement insert =
        prepare(db, "insert or replace into tracks values (?, ?, ?, ?, ?, ?, ?)");
    if (!insert) return;
    bind(insert.get(), 1, path);
    sqlite3_bind_int64(insert.get(), 2, size);
    sqlite3_bind_int64(insert.get(), 3, modified);
    bind(insert.get(), 4, info.title);
    bind(insert.get(), 5, info.artist);
    bind(insert.get(), 6, info.album);
    bind(insert.get(), 7, info.pictureDigest);
    sqlite3_step(insert.get());
}

QString TrackInfoCache::artSource(const QString& artName) {
    const Statement select = prepare(db, "select source from arts where name = ?");
    if (!select) return {};
    bind(select.get(), 1, artName);
    return sqlite3_step(select.get()) == SQLITE_ROW ? column(select.get(), 0) : QString();
}

void TrackInfoCache::setArtSource(const QString& artName, const QString& digest) {
    const Statement insert = prepare(db, "insert or replace into arts values (?, ?)");
    if (!insert) return;
    bind(insert.get(), 1, artName);
    bind(insert.get(), 2, digest);
    sqlite3_step(insert.get());
}

QString TrackInfoCache::digest(const QByteArray& bytes) {
    return QString::fromStdString(
        Utils::digestOf(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}
