#include "media/Synchronizer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <set>

#include "media/CMediaException.h"
#include "media/MediaCache.h"
#include "support/TempDir.h"
#include "util/Utils.h"

namespace {

using itunesinfo::ITunesMediaFile;
using testsupport::readFile;
using testsupport::TempDir;
using Calls = std::vector<std::string>;

// Records every transfer call as one text, answers checkAndRefreshExisting from a table, can
// raise an error at a chosen call, and keeps the set of files a device would now hold.
class RecordingTransfer : public media::IWifiMediaTransfer {
public:
    void init() override {
        record("init");
        info = ServerConnectInfo(reply);
    }
    void syncMedia(std::string location, std::string artist, std::string album,
                   std::string file) override {
        record("syncMedia " + location + " -> " + artist + "/" + album + "/" + file);
        held.insert(artist + "/" + album + "/" + file);
    }
    void syncArt(std::string location, std::string artist, std::string album,
                 std::string file) override {
        record("syncArt " + location + " -> " + artist + "/" + album + "/" + file);
        held.insert(artist + "/" + album + "/" + file);
    }
    void remove(std::string artist, std::string album, std::string file) override {
        record("remove " + artist + "/" + album + "/" + file);
        held.erase(artist + "/" + album + "/" + file);
    }
    void removePlaylists() override { record("removePlaylists"); }
    void syncPlaylist(std::string location, std::string file) override {
        record("syncPlaylist " + file);
        playlistBytes[file] = readFile(location);
    }
    void done() override { record("done"); }
    void free() override { record("free"); }
    std::string checkAndRefreshExisting(std::string, std::string artist, std::string album,
                                        std::string file, bool refresh) override {
        record("check " + artist + "/" + album + "/" + file + (refresh ? " refresh" : ""));
        return answers.count(file) ? answers[file] : "present";
    }
    void setHost(std::string host) override { record("setHost " + host); }
    void setPort(std::string port) override { record("setPort " + port); }
    std::map<std::string, std::string> sendCommand(std::map<std::string, std::string>) override {
        record("sendCommand");
        return {};
    }
    ServerConnectInfo& getServerVersionInfo() override {
        record("getServerVersionInfo");
        return info;
    }

    std::map<std::string, std::string> reply{{"deviceid", "dev1"},
                                             {"devicename", "Pixel"},
                                             {"versionname", "2.3"},
                                             {"synclocation", "/sdcard/Music"},
                                             {"extra", "e"},
                                             {"server.protocol.version", "1.1"}};
    std::map<std::string, std::string> answers;
    std::string failAt;                // a call whose text starts with this raises
    std::function<void()> raise;       // what it raises
    Calls calls;
    std::set<std::string> held;
    std::map<std::string, std::string> playlistBytes;

private:
    void record(const std::string& call) {
        calls.push_back(call);
        if (!failAt.empty() && call.rfind(failAt, 0) == 0 && raise) {
            failAt.clear();
            raise();
        }
    }
    ServerConnectInfo info;
};

class RecordingCallback : public SyncStatusCallback {
public:
    void onSyncStatus(int percent, std::string message) override {
        reports.push_back(std::to_string(percent) + " " + message);
    }
    std::vector<std::string> reports;
};

class SynchronizerTest : public testing::Test {
protected:
    SynchronizerTest() { dir.copyTemplateDb(); }

    // A track whose file holds `bytes` (none written when bytes is null) and whose art is the
    // album's "art.jpg" under the art folder (written once per album when withArt).
    ITunesMediaFile track(const std::string& artist, const std::string& album,
                          const std::string& file, std::vector<std::string> lists,
                          const char* bytes = "audio", bool withArt = true) {
        const std::string location = dir.file("music/" + file);
        if (bytes != nullptr) dir.write("music/" + file, bytes);
        const std::string art = "art/" + Utils::makeValidDirName(artist + "-" + album) + ".jpg";
        if (withArt) dir.write(art, "jpeg");
        return ITunesMediaFile(artist, album, file, 5, location, dir.file(art), std::move(lists));
    }

    Calls sync(const std::vector<ITunesMediaFile>& tracks, const std::vector<std::string>& lists) {
        transfer.calls.clear();
        callback.reports.clear();
        ServerConnectInfo kept;
        Synchronizer synchronizer(transfer, kept, tracks, {}, lists, dir.path().string());
        synchronizer.sync(&callback);
        summary = synchronizer.getSummary();
        declined = synchronizer.getDeclinedFiles();
        return transfer.calls;
    }

    Synchronizer::Summary summary;
    std::vector<std::string> declined;

    // Rows of a table as "col|col|..." sorted, for whole-table comparisons.
    std::set<std::string> rows(const std::string& sql) {
        sqlite3* db = nullptr;
        sqlite3_open(dir.file("db.s3db").c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        std::set<std::string> out;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const unsigned char* text = sqlite3_column_text(statement, c);
                row += (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "");
            }
            out.insert(row);
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return out;
    }
    std::set<std::string> cachedFiles() { return rows("select artist, album, filename from files"); }

    std::string music(const std::string& file) { return dir.file("music/" + file); }
    std::string art(const std::string& name) { return dir.file("art/" + name + ".jpg"); }

    TempDir dir;
    RecordingTransfer transfer;
    RecordingCallback callback;
};

const Calls kOpening{"init", "getServerVersionInfo", "free", "init"};

Calls join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(SynchronizerTest, FirstSyncOfNewDevice) {
    const std::vector<ITunesMediaFile> tracks{
        track("AC/DC", "Back: in Black", "01.mp3", {"Rock"}),
        track("AC/DC", "Back: in Black", "02.mp3", {"Rock", "Chill"}),
        track("Bj\xc3\xb6rk", "Post", "03.mp3", {"Chill"}),
    };
    const Calls calls = sync(tracks, {"Rock", "Chill"});

    EXPECT_EQ(calls, join({kOpening,
                           {"removePlaylists", "syncPlaylist Rock.m3u", "syncPlaylist Chill.m3u",
                            "getServerVersionInfo",
                            "syncMedia " + music("01.mp3") + " -> AC_DC/Back_ in Black/01.mp3",
                            "syncArt " + art("AC_DC-Back_ in Black") +
                                " -> AC_DC/Back_ in Black/AlbumArt.jpg",
                            "syncMedia " + music("02.mp3") + " -> AC_DC/Back_ in Black/02.mp3",
                            "syncMedia " + music("03.mp3") + " -> Bj\xc3\xb6rk/Post/03.mp3",
                            "syncArt " + art("Bj\xc3\xb6rk-Post") + " -> Bj\xc3\xb6rk/Post/AlbumArt.jpg",
                            "free"}}));
    EXPECT_EQ(callback.reports,
              (std::vector<std::string>{"0 Connecting to database..",
                                        "0 Connecting to android device..",
                                        "0 Checking pre-synced files", "0 Connecting to device",
                                        "0 Rock.m3u", "0 Chill.m3u", "33 01.mp3",
                                        "33 Syncing art :Back: in Black", "66 02.mp3", "100 03.mp3",
                                        "100 Syncing art :Post"}));
    EXPECT_EQ(rows("select * from devices"),
              (std::set<std::string>{"dev1|Pixel|2.3|/sdcard/Music|e"}));
    EXPECT_EQ(rows("select * from files"),
              (std::set<std::string>{
                  "dev1|AC/DC|Back: in Black|01.mp3|" + music("01.mp3") + "|0",
                  "dev1|AC/DC|Back: in Black|02.mp3|" + music("02.mp3") + "|0",
                  "dev1|Bj\xc3\xb6rk|Post|03.mp3|" + music("03.mp3") + "|0"}));
    EXPECT_EQ(rows("select * from arts"),
              (std::set<std::string>{"dev1|AC/DC|Back: in Black|0", "dev1|Bj\xc3\xb6rk|Post|0"}));
    EXPECT_EQ(transfer.playlistBytes["Rock.m3u"],
              "#EXTM3U\n./AC_DC/Back_ in Black/01.mp3\n./AC_DC/Back_ in Black/02.mp3");
    EXPECT_EQ(transfer.playlistBytes["Chill.m3u"],
              "#EXTM3U\n./AC_DC/Back_ in Black/02.mp3\n./Bj\xc3\xb6rk/Post/03.mp3");
}

TEST_F(SynchronizerTest, SecondSyncSendsNoTrack) {
    const std::vector<ITunesMediaFile> tracks{track("A", "X", "1.mp3", {"P"}),
                                              track("A", "X", "2.mp3", {"P"})};
    sync(tracks, {"P"});
    const auto filesBefore = rows("select deviceid, artist, album, filename, location from files");
    // The art is sent again in every sync; no track is.
    EXPECT_EQ(sync(tracks, {"P"}),
              join({kOpening,
                    {"removePlaylists", "syncPlaylist P.m3u", "getServerVersionInfo",
                     "syncArt " + art("A-X") + " -> A/X/AlbumArt.jpg", "free"}}));
    EXPECT_EQ(rows("select deviceid, artist, album, filename, location from files"), filesBefore);
    // Kept rows end the sync marked.
    EXPECT_EQ(rows("select status from files"), (std::set<std::string>{"1"}));
    EXPECT_EQ(rows("select * from arts"), (std::set<std::string>{"dev1|A|X|1"}));
    EXPECT_EQ(rows("select count(*) from devices"), (std::set<std::string>{"1"}));
}

TEST_F(SynchronizerTest, DroppedPlaylistIsDeletedWithItsArt) {
    const ITunesMediaFile kept = track("A", "X", "1.mp3", {"Keep"});
    const ITunesMediaFile dropped1 = track(" Guns N' Roses ", "Use/Your", "2.mp3", {"Drop"});
    const ITunesMediaFile dropped2 = track(" Guns N' Roses ", "Use/Your", "3.mp3", {"Drop"});
    sync({kept, dropped1, dropped2}, {"Keep", "Drop"});
    transfer.held.clear();

    EXPECT_EQ(sync({kept}, {"Keep"}),
              join({kOpening,
                    {"remove Guns N_ Roses/Use_Your/2.mp3", "remove Guns N_ Roses/Use_Your/3.mp3",
                     "remove Guns N_ Roses/Use_Your/AlbumArt.jpg", "removePlaylists",
                     "syncPlaylist Keep.m3u", "getServerVersionInfo",
                     "syncArt " + art("A-X") + " -> A/X/AlbumArt.jpg", "free"}}));
    // The cache is keyed by the raw names, the device by the cleaned ones.
    EXPECT_EQ(cachedFiles(), (std::set<std::string>{"A|X|1.mp3"}));
    EXPECT_EQ(rows("select artist, album from arts"), (std::set<std::string>{"A|X"}));
}

TEST_F(SynchronizerTest, EmptySyncListDeletesEverything) {
    sync({track("A", "X", "1.mp3", {"P"}), track("B", "Y", "2.mp3", {"P"})}, {"P"});
    EXPECT_EQ(sync({}, {}), join({kOpening,
                                  {"remove A/X/1.mp3", "remove B/Y/2.mp3", "remove A/X/AlbumArt.jpg",
                                   "remove B/Y/AlbumArt.jpg", "removePlaylists",
                                   "getServerVersionInfo", "free"}}));
    for (const std::string& report : callback.reports) EXPECT_EQ(report.substr(0, 2), "0 ");
    EXPECT_TRUE(cachedFiles().empty());
    EXPECT_TRUE(rows("select * from arts").empty());
}

TEST_F(SynchronizerTest, ChangedSyncLocationResendsEverything) {
    const std::vector<ITunesMediaFile> tracks{track("A", "X", "1.mp3", {"P"})};
    sync(tracks, {"P"});
    transfer.reply["synclocation"] = "/storage/card";
    transfer.reply["devicename"] = "Renamed";
    EXPECT_EQ(sync(tracks, {"P"}),
              join({kOpening,
                    {"removePlaylists", "syncPlaylist P.m3u", "getServerVersionInfo",
                     "syncMedia " + music("1.mp3") + " -> A/X/1.mp3",
                     "syncArt " + art("A-X") + " -> A/X/AlbumArt.jpg", "free"}}));
    EXPECT_EQ(rows("select * from devices"),
              (std::set<std::string>{"dev1|Renamed|2.3|/storage/card|e"}));
    EXPECT_EQ(rows("select count(*) from files"), (std::set<std::string>{"1"}));
    EXPECT_EQ(rows("select count(*) from arts"), (std::set<std::string>{"1"}));
}

TEST_F(SynchronizerTest, SameLocationKeepsTheStoredDeviceRow) {
    sync({track("A", "X", "1.mp3", {"P"})}, {"P"});
    transfer.reply["devicename"] = "Renamed";
    sync({track("A", "X", "1.mp3", {"P"})}, {"P"});
    EXPECT_EQ(rows("select devicename from devices"), (std::set<std::string>{"Pixel"}));
}

TEST_F(SynchronizerTest, ExistenceCheckOnlyFromProtocolTwo) {
    const std::vector<ITunesMediaFile> tracks{
        track("A", "X", "gone.mp3", {"P"}), track("A", "X", "short.mp3", {"P"}),
        track("A", "X", "empty-answer.mp3", {"P"}), track("A", "X", "fine.mp3", {"P"})};
    sync(tracks, {"P"});
    transfer.answers = {{"gone.mp3", "doesnotexist"},
                        {"short.mp3", "sizemismatch"},
                        {"empty-answer.mp3", ""},
                        {"fine.mp3", "exists"}};

    for (const std::string protocol : {"1.1", "1.9.9"}) {
        transfer.reply["server.protocol.version"] = protocol;
        const Calls calls = sync(tracks, {"P"});
        for (const std::string& call : calls) {
            EXPECT_NE(call.substr(0, 5), "check") << protocol;
            EXPECT_NE(call.substr(0, 9), "syncMedia") << protocol;
        }
    }
    transfer.reply.erase("server.protocol.version");  // "1.1" by default
    EXPECT_EQ(sync(tracks, {"P"}).size(), 9u);

    transfer.reply["server.protocol.version"] = "2.0";
    EXPECT_EQ(sync(tracks, {"P"}),
              join({kOpening,
                    {"removePlaylists", "syncPlaylist P.m3u", "getServerVersionInfo",
                     "check A/X/gone.mp3 refresh",
                     "syncMedia " + music("gone.mp3") + " -> A/X/gone.mp3",
                     "syncArt " + art("A-X") + " -> A/X/AlbumArt.jpg",
                     "check A/X/short.mp3 refresh",
                     "syncMedia " + music("short.mp3") + " -> A/X/short.mp3",
                     "check A/X/empty-answer.mp3 refresh", "check A/X/fine.mp3 refresh",
                     "free"}}));
    // A re-sent track keeps its single row.
    EXPECT_EQ(rows("select count(*) from files"), (std::set<std::string>{"4"}));
}

TEST_F(SynchronizerTest, PercentsTruncate) {
    const struct {
        int tracks;
        std::vector<int> percents;
    } cases[] = {{3, {33, 66, 100}}, {7, {14, 28, 42, 57, 71, 85, 100}}, {1, {100}}};
    for (const auto& c : cases) {
        std::vector<ITunesMediaFile> tracks;
        for (int i = 0; i < c.tracks; ++i) {
            tracks.push_back(track("A", "X" + std::to_string(c.tracks),
                                   std::to_string(c.tracks) + "-" + std::to_string(i) + ".mp3",
                                   {}, "audio", false));
        }
        sync(tracks, {});
        std::vector<int> percents;
        for (const std::string& report : callback.reports) {
            if (report.find(".mp3") != std::string::npos) percents.push_back(std::stoi(report));
        }
        EXPECT_EQ(percents, c.percents) << c.tracks << " tracks";
    }
}

TEST_F(SynchronizerTest, ArtOncePerAlbumAndMissingArtLoggedPerTrack) {
    std::vector<ITunesMediaFile> tracks;
    for (int i = 0; i < 10; ++i) tracks.push_back(track("A", "Same", "a" + std::to_string(i), {}));
    tracks.push_back(track("B", "Same", "b0", {}));  // same album name, other artist
    for (int i = 0; i < 10; ++i) {
        tracks.push_back(track("C", "NoArt", "c" + std::to_string(i), {}, "audio", false));
    }
    testing::internal::CaptureStderr();
    const Calls calls = sync(tracks, {});
    const std::string log = testing::internal::GetCapturedStderr();

    Calls arts;
    for (const std::string& call : calls) {
        if (call.rfind("syncArt", 0) == 0) arts.push_back(call);
    }
    EXPECT_EQ(arts, (Calls{"syncArt " + art("A-Same") + " -> A/Same/AlbumArt.jpg",
                           "syncArt " + art("B-Same") + " -> B/Same/AlbumArt.jpg"}));
    EXPECT_EQ(calls[6], "syncMedia " + music("a0") + " -> A/Same/a0");
    EXPECT_EQ(calls[7], arts[0]);
    const std::string missing = "Synchronizer : Failed to access art :" + art("C-NoArt") + "\n";
    std::size_t count = 0;
    for (std::size_t at = log.find(missing); at != std::string::npos;
         at = log.find(missing, at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 10u);
    EXPECT_EQ(rows("select artist, album from arts"),
              (std::set<std::string>{"A|Same", "B|Same"}));
}

TEST_F(SynchronizerTest, UnreadableTracksAreSkipped) {
    const std::vector<ITunesMediaFile> tracks{track("A", "X", "missing.mp3", {"P"}, nullptr),
                                              track("A", "X", "empty.mp3", {"P"}, ""),
                                              track("A", "X", "good.mp3", {"P"})};
    testing::internal::CaptureStderr();
    const Calls calls = sync(tracks, {"P"});
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(calls, join({kOpening,
                           {"removePlaylists", "syncPlaylist P.m3u", "getServerVersionInfo",
                            "syncMedia " + music("good.mp3") + " -> A/X/good.mp3",
                            "syncArt " + art("A-X") + " -> A/X/AlbumArt.jpg", "free"}}));
    EXPECT_NE(log.find("Failed to read media file : " + music("missing.mp3")), std::string::npos);
    EXPECT_NE(log.find("Failed to read media file : " + music("empty.mp3")), std::string::npos);
    EXPECT_EQ(cachedFiles(), (std::set<std::string>{"A|X|good.mp3"}));
    // The playlist still lists every chosen track.
    EXPECT_EQ(transfer.playlistBytes["P.m3u"],
              "#EXTM3U\n./A/X/missing.mp3\n./A/X/empty.mp3\n./A/X/good.mp3");
}

TEST_F(SynchronizerTest, FailureMidSyncThenNextSyncCompletes) {
    const std::vector<ITunesMediaFile> tracks{
        track("A", "X", "1.mp3", {"P"}), track("A", "X", "2.mp3", {"P"}),
        track("B", "Y", "3.mp3", {"P"}), track("B", "Y", "4.mp3", {"P"})};
    // The transfer raises before it would store the third track.
    transfer.failAt = "syncMedia " + music("3.mp3");
    transfer.raise = [] { throw media::CMediaDisconnectException("Broken pipe"); };
    try {
        sync(tracks, {"P"});
        FAIL() << "the error must leave sync";
    } catch (const media::CMediaDisconnectException& error) {
        EXPECT_EQ(error.message, "Broken pipe");
    }
    EXPECT_NE(transfer.calls.back(), "free");  // the owner frees the transfer
    EXPECT_EQ(cachedFiles(), (std::set<std::string>{"A|X|1.mp3", "A|X|2.mp3"}));
    EXPECT_EQ(rows("select artist, album from arts"), (std::set<std::string>{"A|X"}));

    const Calls calls = sync(tracks, {"P"});
    EXPECT_EQ(calls, join({kOpening,
                           {"removePlaylists", "syncPlaylist P.m3u", "getServerVersionInfo",
                            "syncArt " + art("A-X") + " -> A/X/AlbumArt.jpg",
                            "syncMedia " + music("3.mp3") + " -> B/Y/3.mp3",
                            "syncArt " + art("B-Y") + " -> B/Y/AlbumArt.jpg",
                            "syncMedia " + music("4.mp3") + " -> B/Y/4.mp3", "free"}}));
    EXPECT_EQ(cachedFiles(),
              (std::set<std::string>{"A|X|1.mp3", "A|X|2.mp3", "B|Y|3.mp3", "B|Y|4.mp3"}));
    EXPECT_EQ(transfer.held, (std::set<std::string>{"A/X/1.mp3", "A/X/2.mp3", "A/X/AlbumArt.jpg",
                                                    "B/Y/3.mp3", "B/Y/4.mp3", "B/Y/AlbumArt.jpg"}));
}

TEST_F(SynchronizerTest, DeletionsCutOffAreSentAgain) {
    const ITunesMediaFile kept = track("A", "X", "1.mp3", {"Keep"});
    const ITunesMediaFile dropped = track("B", "Y", "2.mp3", {"Drop"});
    const ITunesMediaFile back = track("C", "Z", "3.mp3", {"Drop"});
    sync({kept, dropped, back}, {"Keep", "Drop"});
    // The connection breaks after the deletions went out, before the device answered anything.
    transfer.failAt = "removePlaylists";
    transfer.raise = [] { throw media::CMediaDisconnectException("Broken pipe"); };
    EXPECT_THROW(sync({kept}, {"Keep"}), media::CMediaDisconnectException);
    EXPECT_EQ(cachedFiles(), (std::set<std::string>{"A|X|1.mp3"}));
    // The next sync deletes them again, except the file wanted again (sent as new) and the art
    // of its album.
    EXPECT_EQ(sync({kept, back}, {"Keep"}),
              join({kOpening,
                    {"remove B/Y/2.mp3", "remove B/Y/AlbumArt.jpg", "removePlaylists",
                     "syncPlaylist Keep.m3u", "getServerVersionInfo",
                     "syncArt " + art("A-X") + " -> A/X/AlbumArt.jpg",
                     "syncMedia " + music("3.mp3") + " -> C/Z/3.mp3",
                     "syncArt " + art("C-Z") + " -> C/Z/AlbumArt.jpg", "free"}}));
    // Answered: nothing is sent again.
    EXPECT_EQ(sync({kept, back}, {"Keep"})[4], "removePlaylists");
}

TEST_F(SynchronizerTest, CacheErrorsLeaveSync) {
    std::filesystem::remove(dir.file("db.s3db"));
    dir.write("db.s3db", "");
    try {
        sync({track("A", "X", "1.mp3", {})}, {});
        FAIL() << "a cache without tables must fail the sync";
    } catch (const media::CDBException& error) {
        EXPECT_EQ(error.message, "no such table: files");
    }
    EXPECT_TRUE(transfer.calls.empty());
}

}  // namespace

TEST_F(SynchronizerTest, MarksThatCannotBeCommittedStopTheSyncBeforeAnyDeletion) {
    const std::vector<ITunesMediaFile> tracks{track("A", "X", "1.mp3", {"P"}),
                                              track("A", "X", "2.mp3", {"P"})};
    sync(tracks, {"P"});
    // Another program reads the cache (a rollback journal, so its read lock blocks our commit)
    // from the moment the handshake ends.
    sqlite3* reader = nullptr;
    sqlite3_open(dir.file("db.s3db").c_str(), &reader);
    sqlite3_exec(reader, "PRAGMA journal_mode = DELETE", nullptr, nullptr, nullptr);
    sqlite3_stmt* reading = nullptr;
    transfer.failAt = "free";
    transfer.raise = [&] {
        sqlite3_exec(reader, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(reader, "select * from files", -1, &reading, nullptr);
        sqlite3_step(reading);
    };
    try {
        sync(tracks, {"P"});
        FAIL() << "lost marks must fail the sync";
    } catch (const media::CDBException& error) {
        EXPECT_EQ(error.message, "cannot commit the marks: database is locked");
    }
    sqlite3_finalize(reading);
    sqlite3_close(reader);
    // Without the marks every wanted track would have looked unwanted.
    EXPECT_EQ(transfer.calls, (Calls{"init", "getServerVersionInfo", "free"}));
    EXPECT_EQ(cachedFiles(), (std::set<std::string>{"A|X|1.mp3", "A|X|2.mp3"}));
}

TEST_F(SynchronizerTest, PlaylistThatCannotBeWrittenFailsTheSyncBeforeTheDeviceChanges) {
    const ITunesMediaFile kept = track("A", "X", "1.mp3", {"Mix"});
    sync({kept, track("B", "Y", "2.mp3", {"Old"})}, {"Mix", "Old"});
    // A folder in the way of the playlist file.
    std::filesystem::remove(dir.file("Mix.m3u"));
    dir.write("Mix.m3u/keep", "");
    try {
        sync({kept}, {"Mix"});
        FAIL() << "the sync must not report success without its playlist";
    } catch (const media::CMediaException& error) {
        EXPECT_STREQ(error.what(), "error");
        EXPECT_EQ(error.message,
                  "cannot write the playlist file " + dir.file("Mix.m3u") + ": Is a directory");
    }
    // Nothing deleted on the device: not the dropped track, not the playlists.
    EXPECT_EQ(transfer.calls, (Calls{"init", "getServerVersionInfo", "free"}));
}

TEST_F(SynchronizerTest, SummaryCountsWhatTheSyncDid) {
    const ITunesMediaFile present = track("A", "X", "1.mp3", {"P"});
    const ITunesMediaFile dropped = track("A", "X", "2.mp3", {"Old"});
    sync({present, dropped}, {"P", "Old"});
    const ITunesMediaFile fresh = track("B", "Y", "3.mp3", {"P"});
    const ITunesMediaFile refused = track("B", "Y", "4.mp3", {"P"});
    const ITunesMediaFile unreadable = track("B", "Y", "5.mp3", {"P"}, nullptr);
    transfer.failAt = "syncMedia " + music("4.mp3");
    transfer.raise = [] { throw media::CMediaDeclinedException("the device declined 4.mp3"); };
    sync({present, fresh, refused, unreadable}, {"P"});
    EXPECT_EQ((std::vector<int>{summary.sent, summary.deleted, summary.present, summary.skipped,
                                summary.declined}),
              (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(declined, (std::vector<std::string>{"B/Y/4.mp3"}));
    // Declined: no row, so the next sync offers it again.
    EXPECT_EQ(cachedFiles(), (std::set<std::string>{"A|X|1.mp3", "B|Y|3.mp3"}));
}
