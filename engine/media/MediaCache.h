// The per-device cache of what each device holds, over the SQLite file "db.s3db". Every
// statement takes effect when it executes, so after a failed sync the rows reflect exactly the
// work done. One thread at a time (the sync thread).
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "media/MediaAlbum.h"
#include "media/MediaDevice.h"
#include "media/MediaFile.h"

class MediaCache {
  public:
    MediaCache();
    virtual ~MediaCache();

    MediaCache(const MediaCache&) = delete;
    MediaCache& operator=(const MediaCache&) = delete;

    // Groups the mark updates and look-ups of one planning phase into a single transaction.
    // Marks mean nothing between syncs, so holding them back costs nothing; never hold a batch
    // across a transfer or around an insert or removal, which must be committed when they
    // execute. A batch that ends without commit() (an exception left the phase) rolls back.
    class MarkBatch {
      public:
        // Begins the transaction; throws media::CDBException when it cannot.
        explicit MarkBatch(MediaCache& cache);
        ~MarkBatch();
        MarkBatch(const MarkBatch&) = delete;
        MarkBatch& operator=(const MarkBatch&) = delete;

        // Commits the phase. Throws media::CDBException when the database refuses (busy, full):
        // the marks are then lost, and a sync that went on would delete wanted files.
        void commit();

      private:
        MediaCache& cache;
        bool open;
    };

    // Opens the existing database at path (it is never created here). Throws
    // media::CDBException naming the path and SQLite's reason when it cannot be opened. A file
    // without the tables opens fine; its first statement throws.
    void init(const std::string& path);
    // Closes the connection; does nothing when closed.
    void free();

    // All operations below need an open cache and throw media::CDBException when SQLite
    // rejects a statement's text (a missing table, say) or fails to run it (a read-only or
    // damaged database).

    // Status 0 for every file and art row of every device.
    void unmarkAll();
    // Deletes the device's file and art rows; its devices row stays.
    void clearCache(const std::string& deviceId);
    bool containsDevice(std::string deviceId);
    // The first row for the id, or the id with four empty texts when there is none.
    media::MediaDevice getDevice(const std::string& deviceId);
    void insertDevice(std::string deviceId, std::string name, std::string version,
                      std::string syncLocation, std::string extra);
    void removeDevice(std::string deviceId);
    bool containsFile(std::string deviceId, std::string artist, std::string album,
                      std::string fileName);
    void markSyncedFile(std::string deviceId, std::string artist, std::string album,
                        std::string fileName);
    void insertFile(std::string deviceId, std::string artist, std::string album,
                    std::string fileName, std::string location);
    // Deletes every matching row.
    void removeFile(std::string deviceId, std::string artist, std::string album,
                    std::string fileName);
    // The device's file rows still at status 0, as STATUS_UNCHECKED records.
    std::vector<media::MediaFile> getMediaFilesUnmarked(std::string deviceId);
    bool containsArt(std::string deviceId, std::string artist, std::string album);
    void markSyncedArt(std::string deviceId, std::string artist, std::string album);
    void insertArt(std::string deviceId, std::string artist, std::string album);
    void removeArt(std::string deviceId, std::string artist, std::string album);
    // The device's art rows still at status 0.
    std::vector<media::MediaAlbum> getMediaAlbumsUnmarked(std::string deviceId);
    // The distinct (artist, album) pairs among the device's file rows.
    std::vector<media::MediaAlbum> getAlbumsFromFiles(std::string deviceId);

    // The digest of each album's art as last sent to a device, in a table of its own
    // (art_digests), so that unchanged art need not be sent again. ensureArtDigests creates
    // the table in a cache made before it existed; the other two need it.
    void ensureArtDigests();
    // The stored digest, or "" when none is stored.
    std::string getArtDigest(std::string deviceId, std::string artist, std::string album);
    void setArtDigest(std::string deviceId, std::string artist, std::string album,
                      std::string digest);

    // Runs a parameterless statement once. Returns SQLite's code for it; throws
    // media::CDBException with "ppStmpt was null" when the text holds no statement.
    int executeQuery(const std::string& sql);
    // Binds the parameters as text to positions 1, 2, ... and steps; with collect, keeps every
    // result row in `rows`. Returns the last step's code, or -1 when the text holds no
    // statement.
    int prepareAndExecuteQuery(const std::string& sql, std::vector<std::string> parameters, bool collect);

  private:
    struct StatementCloser {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, StatementCloser>;

    // The prepared statement for the text, prepared once per connection and reset before
    // reuse; null when the text holds no statement.
    sqlite3_stmt* statementFor(const std::string& sql);
    std::string errorMessage() const;

    sqlite3* db = nullptr;
    std::vector<std::vector<std::string>> rows;
    std::unordered_map<std::string, Statement> statements;
};
