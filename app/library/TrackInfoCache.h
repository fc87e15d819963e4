// What earlier syncs read from the library's track files, so that a sync of an unchanged
// library opens none of them: each file's tags and a digest of its embedded picture, keyed by
// path, size and modification time, and the digest of the image each exported art file was
// made from. Kept in an SQLite file of its own in the working folder; a cache that cannot be
// opened or written only costs speed, never a sync. One thread at a time.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

struct sqlite3;

class TrackInfoCache {
  public:
    struct Info {
        QString title;
        QString artist;
        QString album;
        QString pictureDigest;  // of the embedded picture's bytes; empty when there is none
    };

    // Opens (creating) the cache file; all look-ups miss when it cannot be opened. Changes are
    // written when the object is destroyed, in one transaction.
    explicit TrackInfoCache(const QString& file);
    ~TrackInfoCache();
    TrackInfoCache(const TrackInfoCache&) = delete;
    TrackInfoCache& operator=(const TrackInfoCache&) = delete;

    // What was read from the file at path while it had this size and modification time.
    std::optional<Info> find(const QString& path, qint64 size, qint64 modified);
    void store(const QString& path, qint64 size, qint64 modified, const Info& info);

    // The digest of the image the art file of that name was last made from; empty if unknown.
    QString artSource(const QString& artName);
    void setArtSource(const QString& artName, const QString& digest);

    // The digest used for pictures: stable across runs, empty for no bytes.
    static QString digest(const QByteArray& bytes);

  private:
    sqlite3* db = nullptr;
};
