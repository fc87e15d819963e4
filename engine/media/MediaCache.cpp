#include "media/MediaCache.h"

#include <utility>

#include "media/CMediaException.h"

void MediaCache::StatementCloser::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

MediaCache::MarkBatch::MarkBatch(MediaCache& cache) : cache(cache), open(false) {
    if (cache.db == nullptr) throw media::CDBException(cache.errorMessage());
    if (sqlite3_exec(cache.db, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        throw media::CDBException(cache.errorMessage());
    }
    open = true;
}

MediaCache::MarkBatch::~MarkBatch() {
    if (open) sqlite3_exec(cache.db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void MediaCache::MarkBatch::commit() {
    if (!open) return;
    if (sqlite3_exec(cache.db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const std::string message = "cannot commit the marks: " + cache.errorMessage();
        // A failed COMMIT may leave the transaction open; end it so the connection is usable.
        if (sqlite3_get_autocommit(cache.db) == 0) {
            sqlite3_exec(cache.db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        open = false;
        throw media::CDBException(message);
    }
    open = false;
}

MediaCache::MediaCache() = default;

MediaCache::~MediaCache() {
    free();
}

void MediaCache::init(const std::string& path) {
    free();
    sqlite3* opened = nullptr;
    // Never created here: a missing cache is the program's to install from its template. An
    // empty file made here would have no tables and fail every later sync.
    const int code = sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
    if (code != SQLITE_OK) {
        // SQLite may hand back a connection even when the open failed; it must be closed.
        const std::string reason =
            opened != nullptr ? sqlite3_errmsg(opened) : sqlite3_errstr(code);
        sqlite3_close(opened);
        throw media::CDBException("cannot open the cache database " + path + ": " + reason);
    }
    db = opened;
    // Another program syncing at the same moment holds the database briefly; wait for it.
    sqlite3_busy_timeout(db, 5000);
    // Each statement is its own transaction; with the write-ahead log (which the template
    // carries) and NORMAL syncing a commit costs no fsync, at the price that a power loss may
    // roll back the last commits. A rolled-back insert only makes the next sync send a track
    // again.
    sqlite3_exec(db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
}

void MediaCache::free() {
    if (db == nullptr) return;
    statements.clear();
    sqlite3_close(db);
    db = nullptr;
}

std::string MediaCache::errorMessage() const {
    return db != nullptr ? sqlite3_errmsg(db) : "the cache database is not open";
}

sqlite3_stmt* MediaCache::statementFor(const std::string& sql) {
    if (db == nullptr) throw media::CDBException(errorMessage());
    auto found = statements.find(sql);
    if (found != statements.end()) return found->second.get();
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &prepared, nullptr) !=
        SQLITE_OK) {
        sqlite3_finalize(prepared);
        throw media::CDBException(errorMessage());
    }
    if (prepared == nullptr) return nullptr;
    statements.emplace(sql, Statement(prepared));
    return prepared;
}

// A statement that fails as it runs (a read-only, full or damaged database) throws: carried on,
// the marks would be stale and the next steps would delete wanted files from the device.
int MediaCache::executeQuery(const std::string& sql) {
    sqlite3_stmt* statement = statementFor(sql);
    if (statement == nullptr) throw media::CDBException("ppStmpt was null");
    const int code = sqlite3_step(statement);
    const int reset = sqlite3_reset(statement);
    if (code != SQLITE_ROW && code != SQLITE_DONE) throw media::CDBException(errorMessage());
    return reset;
}

int MediaCache::prepareAndExecuteQuery(const std::string& sql, std::vector<std::string> parameters,
                                       bool collect) {
    sqlite3_stmt* statement = statementFor(sql);
    if (statement == nullptr) return -1;
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        // The parameters copy outlives the statement's use: it is reset before we return.
        sqlite3_bind_text(statement, static_cast<int>(i + 1), parameters[i].c_str(), -1,
                          SQLITE_STATIC);
    }
    int code = sqlite3_step(statement);
    if (collect) {
        rows.clear();
        const int columns = sqlite3_column_count(statement);
        while (code == SQLITE_ROW) {
            std::vector<std::string> row;
            row.reserve(static_cast<std::size_t>(columns));
            for (int c = 0; c < columns; ++c) {
                const unsigned char* text = sqlite3_column_text(statement, c);
                row.emplace_back(text != nullptr ? reinterpret_cast<const char*>(text) : "");
            }
            rows.push_back(std::move(row));
            code = sqlite3_step(statement);
        }
    }
    if (code != SQLITE_ROW && code != SQLITE_DONE) {
        const std::string message = errorMessage();
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        throw media::CDBException(message);
    }
    // Resetting ends the statement's read or write at once, as finalizing would.
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    return code;
}

void MediaCache::unmarkAll() {
    executeQuery("update files set status = 0");
    executeQuery("update arts set status = 0");
}

void MediaCache::clearCache(const std::string& deviceId) {
    prepareAndExecuteQuery("delete from files where deviceid = ?", {deviceId}, false);
    prepareAndExecuteQuery("delete from arts where deviceid = ?", {deviceId}, false);
}

bool MediaCache::containsDevice(std::string deviceId) {
    return prepareAndExecuteQuery("select * from devices where deviceid = ?", {std::move(deviceId)},
                                  false) == SQLITE_ROW;
}

media::MediaDevice MediaCache::getDevice(const std::string& deviceId) {
    prepareAndExecuteQuery("select * from devices where deviceid = ?", {deviceId}, true);
    if (rows.empty() || rows.front().size() < 5)
        return media::MediaDevice(deviceId, "", "", "", "");
    const std::vector<std::string>& row = rows.front();
    return media::MediaDevice(deviceId, row[1], row[2], row[3], row[4]);
}

void MediaCache::insertDevice(std::string deviceId, std::string name, std::string version,
                              std::string syncLocation, std::string extra) {
    prepareAndExecuteQuery("insert into devices values (?,?,?,?,?)",
                           {std::move(deviceId), std::move(name), std::move(version),
                            std::move(syncLocation), std::move(extra)},
                           false);
}

void MediaCache::removeDevice(std::string deviceId) {
    prepareAndExecuteQuery("delete from devices where deviceid = ?", {std::move(deviceId)}, false);
}

bool MediaCache::containsFile(std::string deviceId, std::string artist, std::string album,
                              std::string fileName) {
    return prepareAndExecuteQuery(
               "select * from files where deviceid = ? and artist = ? and album = ? and "
               "filename = ?",
               {std::move(deviceId), std::move(artist), std::move(album), std::move(fileName)},
               false) == SQLITE_ROW;
}

void MediaCache::markSyncedFile(std::string deviceId, std::string artist, std::string album,
                                std::string fileName) {
    prepareAndExecuteQuery(
        "update files set status = 1 where deviceid = ? and artist = ? and album = ? and "
        "filename = ?",
        {std::move(deviceId), std::move(artist), std::move(album), std::move(fileName)}, false);
}

void MediaCache::insertFile(std::string deviceId, std::string artist, std::string album,
                            std::string fileName, std::string location) {
    prepareAndExecuteQuery("insert into files values (?, ?, ?, ?, ?, 0)",
                           {std::move(deviceId), std::move(artist), std::move(album),
                            std::move(fileName), std::move(location)},
                           false);
}

void MediaCache::removeFile(std::string deviceId, std::string artist, std::string album,
                            std::string fileName) {
    prepareAndExecuteQuery(
        "delete from files where deviceid = ? and artist = ? and album = ? and filename = ?",
        {std::move(deviceId), std::move(artist), std::move(album), std::move(fileName)}, false);
}

std::vector<media::MediaFile> MediaCache::getMediaFilesUnmarked(std::string deviceId) {
    prepareAndExecuteQuery("select * from files where deviceid = ? and status = 0",
                           {std::move(deviceId)}, true);
    std::vector<media::MediaFile> files;
    files.reserve(rows.size());
    for (const std::vector<std::string>& row : rows) {
        if (row.size() < 4) continue;
        files.emplace_back(row[1], row[2], row[3], media::MediaFile::STATUS_UNCHECKED);
    }
    return files;
}

bool MediaCache::containsArt(std::string deviceId, std::string artist, std::string album) {
    return prepareAndExecuteQuery(
               "select * from arts where deviceid = ? and artist = ? and album = ? ",
               {std::move(deviceId), std::move(artist), std::move(album)}, false) == SQLITE_ROW;
}

void MediaCache::markSyncedArt(std::string deviceId, std::string artist, std::string album) {
    prepareAndExecuteQuery(
        "update arts set status = 1 where deviceid = ? and artist = ? and album = ?",
        {std::move(deviceId), std::move(artist), std::move(album)}, false);
}

void MediaCache::insertArt(std::string deviceId, std::string artist, std::string album) {
    prepareAndExecuteQuery("insert into arts values (?, ?, ?, 0)",
                           {std::move(deviceId), std::move(artist), std::move(album)}, false);
}

void MediaCache::removeArt(std::string deviceId, std::string artist, std::string album) {
    prepareAndExecuteQuery("delete from arts where deviceid = ? and artist = ? and album = ? ",
                           {std::move(deviceId), std::move(artist), std::move(album)}, false);
}

std::vector<media::MediaAlbum> MediaCache::getMediaAlbumsUnmarked(std::string deviceId) {
    prepareAndExecuteQuery("select * from arts where deviceid = ? and status = 0",
                           {std::move(deviceId)}, true);
    std::vector<media::MediaAlbum> albums;
    albums.reserve(rows.size());
    for (const std::vector<std::string>& row : rows) {
        if (row.size() < 3) continue;
        albums.emplace_back(row[1], row[2]);
    }
    return albums;
}

std::vector<media::MediaAlbum> MediaCache::getAlbumsFromFiles(std::string deviceId) {
    prepareAndExecuteQuery("select distinct artist, album from files where deviceid = ?",
                           {std::move(deviceId)}, true);
    std::vector<media::MediaAlbum> albums;
    albums.reserve(rows.size());
    for (const std::vector<std::string>& row : rows) {
        if (row.size() < 2) continue;
        albums.emplace_back(row[0], row[1]);
    }
    return albums;
}

void MediaCache::ensureArtDigests() {
    executeQuery(
        "create table if not exists art_digests (deviceid text, artist text, album text, "
        "digest text, unique (deviceid, artist, album))");
}

std::string MediaCache::getArtDigest(std::string deviceId, std::string artist, std::string album) {
    prepareAndExecuteQuery(
        "select digest from art_digests where deviceid = ? and artist = ? and album = ?",
        {std::move(deviceId), std::move(artist), std::move(album)}, true);
    return rows.empty() || rows.front().empty() ? std::string() : rows.front().front();
}

void MediaCache::setArtDigest(std::string deviceId, std::string artist, std::string album,
                              std::string digest) {
    prepareAndExecuteQuery(
        "insert or replace into art_digests values (?, ?, ?, ?)",
        {std::move(deviceId), std::move(artist), std::move(album), std::move(digest)}, false);
}
