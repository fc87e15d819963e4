#include "media/MediaCache.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "media/CMediaException.h"
#include "support/TempDir.h"

namespace {

using testsupport::TempDir;

class MediaCacheTest : public testing::Test {
protected:
    void SetUp() override { cache.init(dir.copyTemplateDb()); }

    // The file rows of a device as "artist|album|filename|status", in table order.
    std::vector<std::string> fileRows(const std::string& deviceId) {
        std::vector<std::string> out;
        sqlite3* db = nullptr;
        sqlite3_open(dir.file("db.s3db").c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db,
                           "select artist, album, filename, status from files where "
                           "deviceid = ? order by rowid",
                           -1, &statement, nullptr);
        sqlite3_bind_text(statement, 1, deviceId.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < 4; ++c) {
                row += (c ? "|" : "");
                row += reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
            }
            out.push_back(row);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return out;
    }

    TempDir dir;
    MediaCache cache;
};

TEST_F(MediaCacheTest, TemplateHasTablesInColumnOrderAndIndexes) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QUILLORY_TEMPLATE_DB, &db), SQLITE_OK);
    auto names = [&](const std::string& sql, int column = 0) {
        std::vector<std::string> out;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            out.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
        }
        sqlite3_finalize(statement);
        return out;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(names("select name from pragma_table_info('devices') order by cid"),
              (Names{"deviceid", "devicename", "version", "synclocation", "extra"}));
    EXPECT_EQ(names("select name from pragma_table_info('files') order by cid"),
              (Names{"deviceid", "artist", "album", "filename", "location", "status"}));
    EXPECT_EQ(names("select name from pragma_table_info('arts') order by cid"),
              (Names{"deviceid", "artist", "album", "status"}));
    EXPECT_EQ(names("select name from pragma_index_info('files_by_name') order by seqno"),
              (Names{"deviceid", "artist", "album", "filename"}));
    EXPECT_EQ(names("select name from pragma_index_info('arts_by_name') order by seqno"),
              (Names{"deviceid", "artist", "album"}));
    EXPECT_EQ(names("select count(*) from files"), (Names{"0"}));
    // The per-track look-up uses the index rather than scanning.
    const Names plan = names(
        "explain query plan select * from files where deviceid = 'd' and artist = 'a' and "
        "album = 'b' and filename = 'f'",
        3);
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_NE(plan[0].find("USING INDEX files_by_name"), std::string::npos) << plan[0];
    sqlite3_close(db);
}

TEST_F(MediaCacheTest, DevicesRoundTrip) {
    EXPECT_FALSE(cache.containsDevice("dev1"));
    const media::MediaDevice none = cache.getDevice("dev1");
    EXPECT_EQ(none.deviceId, "dev1");
    EXPECT_EQ(none.name + none.version + none.syncLocation + none.extra, "");

    cache.insertDevice("dev1", "Pixel", "2.3", "/sdcard/Music", "x");
    cache.insertDevice("dev1", "Second", "9", "/other", "y");
    EXPECT_TRUE(cache.containsDevice("dev1"));
    const media::MediaDevice first = cache.getDevice("dev1");
    EXPECT_EQ(first.name, "Pixel");
    EXPECT_EQ(first.version, "2.3");
    EXPECT_EQ(first.syncLocation, "/sdcard/Music");
    EXPECT_EQ(first.extra, "x");

    cache.insertFile("dev1", "a", "b", "f.mp3", "/l/f.mp3");
    cache.insertArt("dev1", "a", "b");
    cache.clearCache("dev1");
    EXPECT_TRUE(cache.containsDevice("dev1"));
    EXPECT_FALSE(cache.containsFile("dev1", "a", "b", "f.mp3"));
    EXPECT_FALSE(cache.containsArt("dev1", "a", "b"));
    cache.removeDevice("dev1");
    EXPECT_FALSE(cache.containsDevice("dev1"));
}

TEST_F(MediaCacheTest, MarksSpanAllDevices) {
    cache.insertFile("dev1", "A", "X", "1.mp3", "/l/1");
    cache.insertFile("dev1", "A", "X", "2.mp3", "/l/2");
    cache.insertFile("dev2", "A", "X", "1.mp3", "/l/1");
    cache.insertArt("dev1", "A", "X");
    cache.insertArt("dev2", "A", "X");
    cache.markSyncedFile("dev1", "A", "X", "1.mp3");
    cache.markSyncedFile("dev2", "A", "X", "1.mp3");
    cache.markSyncedArt("dev2", "A", "X");
    ASSERT_EQ(cache.getMediaFilesUnmarked("dev1").size(), 1u);
    EXPECT_EQ(cache.getMediaFilesUnmarked("dev1")[0].getFileName(), "2.mp3");
    EXPECT_EQ(cache.getMediaFilesUnmarked("dev1")[0].getStatus(),
              media::MediaFile::STATUS_UNCHECKED);
    EXPECT_TRUE(cache.getMediaFilesUnmarked("dev2").empty());
    EXPECT_TRUE(cache.getMediaAlbumsUnmarked("dev2").empty());

    cache.unmarkAll();
    EXPECT_EQ(cache.getMediaFilesUnmarked("dev1").size(), 2u);
    EXPECT_EQ(cache.getMediaFilesUnmarked("dev2").size(), 1u);
    ASSERT_EQ(cache.getMediaAlbumsUnmarked("dev2").size(), 1u);
    EXPECT_EQ(cache.getMediaAlbumsUnmarked("dev2")[0].getAlbum(), "X");
    EXPECT_EQ(fileRows("dev1"), (std::vector<std::string>{"A|X|1.mp3|0", "A|X|2.mp3|0"}));
}

TEST_F(MediaCacheTest, ApostrophesAreBoundNotSpliced) {
    const std::string artist = "Guns N' Roses";
    const std::string album = "'; drop table files; --";
    cache.insertFile("dev'1", artist, album, "It's so easy.mp3", "/l/it's");
    cache.insertArt("dev'1", artist, album);
    EXPECT_TRUE(cache.containsFile("dev'1", artist, album, "It's so easy.mp3"));
    EXPECT_FALSE(cache.containsFile("dev'1", "Guns N Roses", album, "It's so easy.mp3"));
    EXPECT_TRUE(cache.containsArt("dev'1", artist, album));
    const std::vector<media::MediaAlbum> albums = cache.getAlbumsFromFiles("dev'1");
    ASSERT_EQ(albums.size(), 1u);
    EXPECT_EQ(albums[0].getArtist(), artist);
    EXPECT_EQ(albums[0].getAlbum(), album);
    cache.removeArt("dev'1", artist, album);
    EXPECT_FALSE(cache.containsArt("dev'1", artist, album));
}

TEST_F(MediaCacheTest, DoubleInsertThenOneRemove) {
    cache.insertFile("d", "A", "X", "1.mp3", "/l/1");
    cache.insertFile("d", "A", "X", "1.mp3", "/l/1");
    cache.insertFile("d", "A", "Y", "2.mp3", "/l/2");
    EXPECT_TRUE(cache.containsFile("d", "A", "X", "1.mp3"));
    EXPECT_EQ(fileRows("d").size(), 3u);
    EXPECT_EQ(cache.getAlbumsFromFiles("d").size(), 2u);
    cache.removeFile("d", "A", "X", "1.mp3");
    EXPECT_FALSE(cache.containsFile("d", "A", "X", "1.mp3"));
    EXPECT_EQ(fileRows("d"), (std::vector<std::string>{"A|Y|2.mp3|0"}));
}

TEST_F(MediaCacheTest, PrimitivesResultCodes) {
    EXPECT_EQ(cache.prepareAndExecuteQuery("", {}, false), -1);
    EXPECT_EQ(cache.prepareAndExecuteQuery("select * from files", {}, false), SQLITE_DONE);
    try {
        cache.executeQuery("  ");
        FAIL() << "no statement must throw";
    } catch (const media::CDBException& error) {
        EXPECT_EQ(error.message, "ppStmpt was null");
    }
    try {
        cache.prepareAndExecuteQuery("select * from nowhere", {}, false);
        FAIL() << "a missing table must throw";
    } catch (const media::CDBException& error) {
        EXPECT_EQ(error.message, "no such table: nowhere");
        EXPECT_STREQ(error.what(), "error_db");
    }
}

TEST_F(MediaCacheTest, StatementsThatFailToRunThrow) {
    cache.insertFile("d", "A", "X", "1.mp3", "/l/1");
    // A connection that may not write stands for a read-only or damaged database.
    cache.prepareAndExecuteQuery("PRAGMA query_only = 1", {}, false);
    EXPECT_THROW(cache.unmarkAll(), media::CDBException);
    EXPECT_THROW(cache.insertFile("d", "A", "X", "2.mp3", "/l/2"), media::CDBException);
    try {
        cache.removeFile("d", "A", "X", "1.mp3");
        FAIL() << "a failed removal must throw";
    } catch (const media::CDBException& error) {
        EXPECT_EQ(error.message, "attempt to write a readonly database");
    }
    // Reading still works, and nothing was changed.
    EXPECT_TRUE(cache.containsFile("d", "A", "X", "1.mp3"));
    EXPECT_FALSE(cache.containsFile("d", "A", "X", "2.mp3"));
}

TEST(MediaCacheOpenTest, MissingFileIsNotCreated) {
    TempDir dir;
    MediaCache cache;
    EXPECT_THROW(cache.init(dir.file("db.s3db")), media::CDBException);
    EXPECT_FALSE(std::filesystem::exists(dir.file("db.s3db")));
}

TEST(MediaCacheOpenTest, FileWithoutTablesFailsAtFirstStatement) {
    TempDir dir;
    MediaCache cache;
    cache.init(dir.write("empty.s3db", ""));
    try {
        cache.unmarkAll();
        FAIL() << "unmarkAll on an empty database must throw";
    } catch (const media::CDBException& error) {
        EXPECT_EQ(error.message, "no such table: files");
    }
}

TEST(MediaCacheOpenTest, UnopenableFileThrowsInsteadOfExiting) {
    TempDir dir;
    MediaCache cache;
    const std::string path = dir.file("no/such/folder/db.s3db");
    try {
        cache.init(path);
        FAIL() << "opening inside a missing folder must throw";
    } catch (const media::CDBException& error) {
        EXPECT_NE(error.message.find(path), std::string::npos) << error.message;
        EXPECT_NE(error.message.find("unable to open database file"), std::string::npos)
            << error.message;
    }
    // Closed again: operations need an open cache and say so.
    EXPECT_THROW(cache.containsDevice("d"), media::CDBException);
    cache.free();
}

}  // namespace
