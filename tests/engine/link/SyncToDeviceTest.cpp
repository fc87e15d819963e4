// Whole syncs through WifiTransfer to the reference device server, checked against the folder
// the server keeps.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "link/WifiTransfer.h"
#include "media/CMediaException.h"
#include "media/Synchronizer.h"
#include "support/DeviceFixture.h"

namespace {

using itunesinfo::ITunesMediaFile;
using testsupport::DeviceFixture;
using testsupport::TempDir;
using Tree = std::map<std::string, std::string>;

class QuietCallback : public SyncStatusCallback {
  public:
    void onSyncStatus(int, std::string message) override { reports.push_back(message); }
    std::vector<std::string> reports;
};

class SyncToDeviceTest : public testing::Test {
  protected:
    SyncToDeviceTest() { work.copyTemplateDb(); }

    ITunesMediaFile track(const std::string& artist, const std::string& album,
                          const std::string& file, const std::string& bytes,
                          std::vector<std::string> playlists) {
        const std::string location = library.write(artist + "-" + album + "/" + file, bytes);
        const std::string art = library.write(album + ".jpg", "art of " + album);
        return ITunesMediaFile(artist, album, file, static_cast<int64_t>(bytes.size()), location,
                               art, std::move(playlists));
    }

    void sync(const std::vector<ITunesMediaFile>& tracks, const std::vector<std::string>& lists,
              Synchronizer::Options options = {}) {
        WifiTransfer transfer(&cancel);
        transfer.setHost("127.0.0.1");
        transfer.setPort(device.port());
        ServerConnectInfo kept;
        Synchronizer synchronizer(transfer, kept, tracks, {}, lists, work.path().string());
        synchronizer.setOptions(options);
        synchronizer.sync(&callback);
    }

    // Count of command lines of one kind the server has received so far.
    std::size_t commands(const std::string& name) {
        const std::string log = device.commandLog();
        const std::string needle = "\"command\" : \"" + name + "\"";
        std::size_t count = 0;
        for (std::size_t at = log.find(needle); at != std::string::npos;
             at = log.find(needle, at + 1)) {
            ++count;
        }
        return count;
    }

    TempDir work;
    TempDir library;
    DeviceFixture device;
    QuietCallback callback;
    int cancel = 0;
};

TEST_F(SyncToDeviceTest, SyncAgainThenDropAPlaylist) {
    const std::string big(5000, 'b');
    const std::vector<ITunesMediaFile> tracks{
        track("AC/DC", "Back in Black", "01 Hells Bells.mp3", big, {"Rock"}),
        track("AC/DC", "Back in Black", "02 Shoot.mp3", "shoot", {"Rock", "Mix"}),
        track("Bj\xc3\xb6rk", "Post: Live", "03 Army.flac", std::string(2048, 'a'), {"Mix"}),
    };
    sync(tracks, {"Rock", "Mix"});
    const Tree first{
        {"AC_DC/Back in Black/01 Hells Bells.mp3", big},
        {"AC_DC/Back in Black/02 Shoot.mp3", "shoot"},
        {"AC_DC/Back in Black/AlbumArt.jpg", "art of Back in Black"},
        {"Bj\xc3\xb6rk/Post_ Live/03 Army.flac", std::string(2048, 'a')},
        {"Bj\xc3\xb6rk/Post_ Live/AlbumArt.jpg", "art of Post: Live"},
        {"playlists/Rock.m3u",
         "#EXTM3U\n./AC_DC/Back in Black/01 Hells Bells.mp3\n./AC_DC/Back in Black/02 Shoot.mp3"},
        {"playlists/Mix.m3u",
         "#EXTM3U\n./AC_DC/Back in Black/02 Shoot.mp3\n./Bj\xc3\xb6rk/Post_ Live/03 Army.flac"},
    };
    EXPECT_EQ(device.tree(), first);
    EXPECT_EQ(commands("syncmedia"), 3u);

    // The device app speaks protocol 2.0, so each cached track is checked, none is sent.
    sync(tracks, {"Rock", "Mix"});
    EXPECT_EQ(commands("syncmedia"), 3u);
    EXPECT_EQ(commands("check_and_refresh_existing"), 3u);
    EXPECT_EQ(device.tree(), first);

    // A track lost on the device is sent again.
    std::filesystem::remove(device.root() / "AC_DC/Back in Black/02 Shoot.mp3");
    sync(tracks, {"Rock", "Mix"});
    EXPECT_EQ(commands("syncmedia"), 4u);
    EXPECT_EQ(device.tree(), first);

    sync({tracks[0], tracks[1]}, {"Rock"});
    EXPECT_EQ(device.tree(), (Tree{{"AC_DC/Back in Black/01 Hells Bells.mp3", big},
                                   {"AC_DC/Back in Black/02 Shoot.mp3", "shoot"},
                                   {"AC_DC/Back in Black/AlbumArt.jpg", "art of Back in Black"},
                                   {"playlists/Rock.m3u", first.at("playlists/Rock.m3u")}}));
    // Emptied folders go with their last file.
    EXPECT_FALSE(std::filesystem::exists(device.root() / "Bj\xc3\xb6rk"));
}

TEST_F(SyncToDeviceTest, FastSyncSendsOnlyWhatIsMissingOrChanged) {
    const Synchronizer::Options fast{true, 2};  // a window of two checks: several windows
    std::vector<ITunesMediaFile> tracks;
    Tree want;
    for (int i = 1; i <= 6; ++i) {
        const std::string album = i <= 3 ? "First" : "Second";
        const std::string file = std::to_string(i) + ".mp3";
        tracks.push_back(track("A", album, file, std::string(1500 * i, 'a' + i), {"P"}));
        want["A/" + album + "/" + file] = std::string(1500 * i, 'a' + i);
    }
    want["A/First/AlbumArt.jpg"] = "art of First";
    want["A/Second/AlbumArt.jpg"] = "art of Second";
    std::string playlist = "#EXTM3U";
    for (const ITunesMediaFile& t : tracks)
        playlist += "\n./A/" + t.getAlbum() + "/" + t.getFileName();
    want["playlists/P.m3u"] = playlist;

    sync(tracks, {"P"}, fast);
    EXPECT_EQ(device.tree(), want);
    EXPECT_EQ(commands("syncmedia"), 6u);
    EXPECT_EQ(commands("syncart"), 2u);

    // Nothing changed: six track checks and two art checks, nothing sent.
    sync(tracks, {"P"}, fast);
    EXPECT_EQ(commands("check_and_refresh_existing"), 8u);
    EXPECT_EQ(commands("syncmedia"), 6u);
    EXPECT_EQ(commands("syncart"), 2u);
    EXPECT_EQ(device.tree(), want);

    // A track lost in the middle of a window and an album's new art: exactly those go again.
    std::filesystem::remove(device.root() / "A/First/3.mp3");
    library.write("Second.jpg", "new art of Second");
    want["A/Second/AlbumArt.jpg"] = "new art of Second";
    sync(tracks, {"P"}, fast);
    EXPECT_EQ(commands("syncmedia"), 7u);
    EXPECT_EQ(commands("syncart"), 3u);
    EXPECT_EQ(device.tree(), want);

    // Art lost on the device is sent again too.
    std::filesystem::remove(device.root() / "A/First/AlbumArt.jpg");
    sync(tracks, {"P"}, fast);
    EXPECT_EQ(commands("syncmedia"), 7u);
    EXPECT_EQ(commands("syncart"), 4u);
    EXPECT_EQ(device.tree(), want);
}

TEST_F(SyncToDeviceTest, CancelledSyncIsCompletedByTheNext) {
    const std::vector<ITunesMediaFile> tracks{track("A", "X", "1.mp3", "one", {"P"}),
                                              track("A", "X", "2.mp3", "two", {"P"})};
    cancel = 1;
    EXPECT_THROW(sync(tracks, {"P"}), media::CCancelException);
    // The first file sent, the playlist, was cancelled: nothing reached the device.
    EXPECT_EQ(device.tree(), (Tree{}));
    cancel = 0;
    sync(tracks, {"P"});
    EXPECT_EQ(device.tree(), (Tree{{"A/X/1.mp3", "one"},
                                   {"A/X/2.mp3", "two"},
                                   {"A/X/AlbumArt.jpg", "art of X"},
                                   {"playlists/P.m3u", "#EXTM3U\n./A/X/1.mp3\n./A/X/2.mp3"}}));
}

// Every row of every table of the cache, as text: what a dry run must leave as it was.
std::string cacheContent(const std::string& path) {
    sqlite3* db = nullptr;
    std::string dump;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        std::vector<std::string> tables;
        sqlite3_exec(
            db, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name",
            [](void* into, int, char** values, char**) {
                static_cast<std::vector<std::string>*>(into)->push_back(values[0]);
                return 0;
            },
            &tables, nullptr);
        for (const std::string& table : tables) {
            dump += "[" + table + "]\n";
            sqlite3_exec(
                db, ("SELECT * FROM \"" + table + "\" ORDER BY 1, 2, 3").c_str(),
                [](void* into, int count, char** values, char**) {
                    for (int i = 0; i < count; ++i) {
                        *static_cast<std::string*>(into) += (values[i] ? values[i] : "NULL");
                        *static_cast<std::string*>(into) += i + 1 < count ? "|" : "\n";
                    }
                    return 0;
                },
                &dump, nullptr);
        }
    }
    sqlite3_close(db);
    return dump;
}

// The files a stretch of the command log sends ("syncmedia", "syncart") or deletes, as
// "artist/album/file name".
struct Commanded {
    std::vector<std::string> sent;
    std::vector<std::string> deleted;
};
Commanded commanded(const std::string& log) {
    static const std::regex field("\"(album|artist|command|filename)\" : \"([^\"]*)\"");
    Commanded result;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::map<std::string, std::string> fields;
        for (std::sregex_iterator at(line.begin(), line.end(), field), end; at != end; ++at) {
            fields[(*at)[1]] = (*at)[2];
        }
        const std::string file =
            fields["artist"] + "/" + fields["album"] + "/" + fields["filename"];
        if (fields["command"] == "syncmedia" || fields["command"] == "syncart") {
            result.sent.push_back(file);
        } else if (fields["command"] == "delete") {
            result.deleted.push_back(file);
        }
    }
    return result;
}

TEST_F(SyncToDeviceTest, DryRunChangesNothingAndForetellsTheSync) {
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast" : "one command at a time");
        TempDir cacheDir;
        cacheDir.copyTemplateDb();
        DeviceFixture target;
        const Synchronizer::Options options{fast, 2};
        const auto run = [&](const std::vector<ITunesMediaFile>& tracks,
                             const std::vector<std::string>& lists, bool dry) {
            WifiTransfer transfer(&cancel);
            transfer.setHost("127.0.0.1");
            transfer.setPort(target.port());
            ServerConnectInfo kept;
            Synchronizer synchronizer(transfer, kept, tracks, {}, lists, cacheDir.path().string());
            synchronizer.setOptions(options);
            Synchronizer::Preview preview;
            if (dry) {
                preview = synchronizer.preview(&callback);
            } else {
                synchronizer.sync(&callback);
            }
            return preview;
        };
        const ITunesMediaFile kept1 = track("A", "Kept", "1.mp3", "one", {"Rock"});
        const ITunesMediaFile lost = track("A", "Kept", "2.mp3", "two", {"Rock"});
        const ITunesMediaFile dropped = track("B", "Dropped", "3.mp3", "three", {"Mix"});
        const ITunesMediaFile added = track("C", "New", "4.mp3", "four", {"Rock"});
        const ITunesMediaFile unreadable = ITunesMediaFile(
            "C", "New", "5.mp3", 4, (library.path() / "gone.mp3").string(), "", {"Rock"});
        run({kept1, lost, dropped}, {"Rock", "Mix"}, false);

        // The device lost a track, the sync list drops a playlist and a playlist gained tracks.
        std::filesystem::remove(target.root() / "A/Kept/2.mp3");
        const std::vector<ITunesMediaFile> now{kept1, lost, added, unreadable};
        const Tree deviceBefore = target.tree();
        const std::string cacheBefore = cacheContent(cacheDir.file("db.s3db"));
        const std::size_t logBefore = target.commandLog().size();
        const auto journal = [&] {
            std::ifstream in(cacheDir.file("pending-removals.json"), std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        const std::string journalBefore = journal();

        const Synchronizer::Preview preview = run(now, {"Rock"}, true);
        EXPECT_EQ(target.tree(), deviceBefore);
        EXPECT_EQ(cacheContent(cacheDir.file("db.s3db")), cacheBefore);
        EXPECT_EQ(journal(), journalBefore);
        const std::string asked = target.commandLog().substr(logBefore);
        EXPECT_EQ(asked.find("\"dorefresh\" : \"yes\""), std::string::npos) << asked;
        EXPECT_NE(asked.find("\"dorefresh\" : \"no\""), std::string::npos) << asked;
        EXPECT_TRUE(commanded(asked).sent.empty()) << asked;
        EXPECT_TRUE(commanded(asked).deleted.empty()) << asked;
        EXPECT_EQ(preview.present, 1);
        EXPECT_EQ(preview.skipped, 1);

        const std::size_t syncFrom = target.commandLog().size();
        run(now, {"Rock"}, false);
        const Commanded done = commanded(target.commandLog().substr(syncFrom));
        EXPECT_EQ(preview.send, done.sent);
        EXPECT_EQ(preview.remove, done.deleted);
        // Art is sent every time one command at a time, only when new or changed in the fast mode.
        const std::vector<std::string> sends =
            fast ? std::vector<std::string>{"A/Kept/2.mp3", "C/New/4.mp3", "C/New/AlbumArt.jpg"}
                 : std::vector<std::string>{"A/Kept/AlbumArt.jpg", "A/Kept/2.mp3", "C/New/4.mp3",
                                            "C/New/AlbumArt.jpg"};
        EXPECT_EQ(done.sent, sends);
        EXPECT_EQ(done.deleted,
                  (std::vector<std::string>{"B/Dropped/3.mp3", "B/Dropped/AlbumArt.jpg"}));
    }
}

}  // namespace
