// Every point where a sync can break, against the reference device server: the faulted sync
// must report the right kind, leave a cache that claims nothing the device lacks, and a clean
// sync afterwards must leave the device holding exactly what the playlists want.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iomanip>
#include <sstream>
#include <stop_token>
#include <thread>

#include "link/WifiTransfer.h"
#include "media/CMediaException.h"
#include "media/Synchronizer.h"
#include "support/DeviceFixture.h"
#include "util/Utils.h"

namespace {

using itunesinfo::ITunesMediaFile;
using testsupport::DeviceFixture;
using testsupport::readFile;
using testsupport::TempDir;
using Tree = std::map<std::string, std::string>;

struct Track {
    std::string artist, album, file;
    std::size_t bytes;
};

// Warm-up library: the main playlist and an extra one. The faulted and clean syncs keep only the
// main playlist plus a new track, so that they delete, check, send tracks, art and a playlist.
const std::vector<Track> kMain{{"Ana Sol", "Dawn", "01 Rise.mp3", 5000},
                               {"Ana Sol", "Dawn", "02 Noon.mp3", 2500},
                               {"Bo: Live", "Dusk/Night", "03 Fall.mp3", 3000}};
const Track kExtra{"Cy", "Gone", "04 Old.mp3", 1200};
const Track kNew{"Bo: Live", "Dusk/Night", "05 New.mp3", 200000};

class Cell;
using Hook = std::function<void(Cell&)>;

// Waits, up to a bound or until stopped, for the device to hold at least bytes of a file it is
// still receiving; true when it does.
bool deviceReceives(const std::filesystem::path& root, std::uintmax_t bytes,
                    const std::stop_token& stop) {
    const std::filesystem::path parts = root / DeviceStore::kPartsFolder;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!stop.stop_requested() && std::chrono::steady_clock::now() < end) {
        std::error_code error;
        for (std::filesystem::directory_iterator it(parts, error), last; !error && it != last;
             it.increment(error)) {
            std::error_code sizeError;
            const std::uintmax_t size = it->file_size(sizeError);
            if (!sizeError && size >= bytes) return true;
        }
        // A short pause between looks, as the test's other waits take.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

class Callback : public SyncStatusCallback {
public:
    void onSyncStatus(int, std::string message) override {
        if (onReport) onReport(message);
    }
    std::function<void(const std::string&)> onReport;
};

class Cell {
public:
    Cell() {
        work.copyTemplateDb();
        for (const Track& track : kMain) write(track);
        write(kExtra);
        write(kNew);
    }

    void write(const Track& track) {
        std::string bytes(track.bytes, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31 + track.file[1]);
        library.write(track.file, bytes);
        library.write("art-" + track.album.substr(0, 2) + ".jpg", "art of " + track.album);
    }

    ITunesMediaFile record(const Track& track, const std::string& playlist) const {
        return ITunesMediaFile(track.artist, track.album, track.file, static_cast<int64_t>(track.bytes),
                               library.file(track.file),
                               library.file("art-" + track.album.substr(0, 2) + ".jpg"), {playlist});
    }

    std::vector<ITunesMediaFile> warmupTracks() const {
        std::vector<ITunesMediaFile> tracks;
        for (const Track& track : kMain) tracks.push_back(record(track, "Main"));
        tracks.push_back(record(kExtra, "Extra"));
        return tracks;
    }

    std::vector<ITunesMediaFile> tracks() const {
        std::vector<ITunesMediaFile> all;
        for (const Track& track : kMain) all.push_back(record(track, "Main"));
        all.push_back(record(kNew, "Main"));
        return all;
    }

    // "success" or the kind code of what the sync raised.
    std::string sync(const std::string& port, const std::vector<ITunesMediaFile>& tracks,
                     const std::vector<std::string>& playlists) {
        WifiTransfer transfer(&cancel);
        transfer.setHost("127.0.0.1");
        transfer.setPort(port);
        transfer.setTimeouts(2000, 1000);
        ServerConnectInfo kept;
        try {
            Synchronizer synchronizer(transfer, kept, tracks, {}, playlists, work.path().string());
            synchronizer.setOptions({fast});
            synchronizer.sync(&callback);
        } catch (const media::CMediaException& error) {
            return error.what();
        }
        return "success";
    }

    // Every file and art row names a complete file on the device.
    bool cacheConsistent(const Tree& device) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(work.file("db.s3db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            sqlite3_close(db);
            return true;  // no cache, no claims
        }
        bool consistent = true;
        auto each = [&](const char* sql, const std::function<void(sqlite3_stmt*)>& row) {
            sqlite3_stmt* statement = nullptr;
            if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK) return;
            while (sqlite3_step(statement) == SQLITE_ROW) row(statement);
            sqlite3_finalize(statement);
        };
        auto text = [](sqlite3_stmt* s, int c) {
            return std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, c)));
        };
        each("select artist, album, filename from files", [&](sqlite3_stmt* s) {
            const std::string path = Utils::makeValidDirName(text(s, 0)) + "/" +
                                     Utils::makeValidDirName(text(s, 1)) + "/" + text(s, 2);
            const auto found = device.find(path);
            if (found == device.end() || found->second != readFile(library.file(text(s, 2)))) {
                consistent = false;
            }
        });
        each("select artist, album from arts", [&](sqlite3_stmt* s) {
            const std::string path = Utils::makeValidDirName(text(s, 0)) + "/" +
                                     Utils::makeValidDirName(text(s, 1)) + "/AlbumArt.jpg";
            if (device.count(path) == 0) consistent = false;
        });
        sqlite3_close(db);
        return consistent;
    }

    // What the main playlist wants on the device, from the files as they are now.
    Tree wanted() const {
        Tree tree;
        std::string playlist = "#EXTM3U";
        for (const ITunesMediaFile& track : tracks()) {
            const std::string folder = Utils::makeValidDirName(track.getArtist()) + "/" +
                                       Utils::makeValidDirName(track.getAlbum()) + "/";
            tree[folder + track.getFileName()] = readFile(track.getLocation());
            tree[folder + "AlbumArt.jpg"] = readFile(track.getArtLocation());
            playlist += "\n./" + folder + track.getFileName();
        }
        tree["playlists/Main.m3u"] = playlist;
        return tree;
    }

    // Whether the device holds exactly what is wanted, or, after the cache was lost, at least
    // that: files sent before the loss are beyond anything a sync can know of, since the
    // protocol cannot list what a device holds.
    bool deviceCorrect(const Tree& device) const {
        const Tree want = wanted();
        if (!lostCache) return device == want;
        for (const auto& [name, bytes] : want) {
            const auto found = device.find(name);
            if (found == device.end() || found->second != bytes) return false;
        }
        for (const auto& [name, bytes] : device) {
            if (name.find(".quillory-part") != std::string::npos) return false;
        }
        return true;
    }

    // Runs action on a thread of its own once the device holds bytes of a file it is still
    // receiving: the moment a fault lands in the middle of a transfer.
    void whileReceiving(std::uintmax_t bytes, std::function<void()> action) {
        helper = std::jthread([this, bytes, action = std::move(action)](std::stop_token stop) {
            if (deviceReceives(deviceRoot, bytes, stop)) {
                action();
            } else if (!stop.stop_requested()) {
                ADD_FAILURE() << "the device never held " << bytes << " bytes of a file";
            }
        });
    }
    // Ends and joins the helper thread, if any.
    void stopHelper() {
        helper.request_stop();
        if (helper.joinable()) helper.join();
    }

    TempDir work;
    TempDir library;
    Callback callback;
    int cancel = 0;
    std::filesystem::path deviceRoot;
    bool lostCache = false;
    bool fast = false;  // pipelined, art only when changed
    // Last, so that it is joined before anything it uses goes.
    std::jthread helper;
};

struct Fault {
    Fault(std::string name, std::string plan, int occurrence, std::string expected, Hook before = {},
          Hook recover = {})
        : name(std::move(name)),
          plan(std::move(plan)),
          occurrence(occurrence),
          expected(std::move(expected)),
          before(std::move(before)),
          recover(std::move(recover)) {}

    std::string name;
    std::string plan;  // device fault, "" for none
    int occurrence;
    std::string expected;  // kind code of the faulted sync
    Hook before;           // set-up just before the faulted sync
    Hook recover;          // undo a local fault before the clean sync
};

// Runs a sync in a child process whose view of the working folder is read-only.
std::string syncReadOnly(Cell& cell, const std::string& port, bool& skipped) {
    int result[2];
    if (pipe(result) != 0) return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(result[0]);
        const std::string folder = cell.work.path().string();
        // As root, only a read-only mount keeps SQLite from writing; elsewhere a mode does.
        bool readOnly = false;
        if (unshare(CLONE_NEWNS) == 0 && std::system(("mount --make-rprivate / && mount --bind -o ro '" +
                                                       folder + "' '" + folder + "' 2>/dev/null").c_str()) == 0) {
            readOnly = true;
        } else if (getuid() != 0) {
            chmod(folder.c_str(), 0555);
            chmod((folder + "/db.s3db").c_str(), 0444);
            readOnly = true;
        }
        const std::string kind = readOnly ? cell.sync(port, cell.tracks(), {"Main"}) : "skipped";
        [[maybe_unused]] const ssize_t written = ::write(result[1], kind.data(), kind.size());
        _exit(0);
    }
    close(result[1]);
    char buffer[64] = {};
    const ssize_t got = read(result[0], buffer, sizeof buffer - 1);
    close(result[0]);
    waitpid(child, nullptr, 0);
    chmod(cell.work.path().c_str(), 0755);
    chmod(cell.work.file("db.s3db").c_str(), 0644);
    const std::string kind = got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : "no answer";
    skipped = kind == "skipped";
    return kind;
}

class FaultMatrixTest : public testing::TestWithParam<bool> {};

TEST_P(FaultMatrixTest, EveryFaultIsReportedAndRecovered) {
    const bool fast = GetParam();
    // Cancels as the sync reports file: at once, or once the device holds inTransfer bytes of it.
    auto cancelOn = [](const std::string& file, std::uintmax_t inTransfer) {
        return [file, inTransfer](Cell& cell) {
            cell.callback.onReport = [&cell, file, inTransfer](const std::string& message) {
                if (message != file) return;
                if (inTransfer == 0) {
                    std::atomic_ref<int>(cell.cancel).store(1);
                } else if (!cell.helper.joinable()) {
                    cell.whileReceiving(inTransfer,
                                        [&cell] { std::atomic_ref<int>(cell.cancel).store(1); });
                }
            };
        };
    };
    const std::vector<Fault> faults{
        {"close on version (handshake)", "close:version", 1, "error_disconnect"},
        {"close on version (working connection)", "close:version", 2, "error_disconnect"},
        {"close on delete", "close:delete", 1, "error_disconnect"},
        {"close on removeplaylists", "close:removeplaylists", 1, "error_disconnect"},
        {"close on syncplaylist", "close:syncplaylist", 1, "error_disconnect"},
        {"close on check_and_refresh_existing", "close:check_and_refresh_existing", 1, "error_disconnect"},
        {"close on syncmedia", "close:syncmedia", 1, "error_disconnect"},
        {"close on syncart", "close:syncart", 1, "error_disconnect"},
        {"close after first reply: version", "close-after-reply:version", 2, "error_disconnect"},
        {"close after first reply: syncplaylist", "close-after-reply:syncplaylist", 1, "error_disconnect"},
        {"close after first reply: check", "close-after-reply:check_and_refresh_existing", 1, "error_disconnect"},
        {"close after first reply: syncmedia", "close-after-reply:syncmedia", 1, "error_disconnect"},
        {"close after first reply: syncart", "close-after-reply:syncart", 1, "error_disconnect"},
        {"close after 1500 bytes of a track", "close-after-bytes:syncmedia:1500", 1, "error_disconnect"},
        {"close after 10 bytes of the art", "close-after-bytes:syncart:10", 1, "error_disconnect"},
        {"close before second reply: syncplaylist", "close-before-second-reply:syncplaylist", 1, "error_disconnect"},
        {"close before second reply: syncmedia", "close-before-second-reply:syncmedia", 1, "error_disconnect"},
        {"close before second reply: syncart", "close-before-second-reply:syncart", 1, "error_disconnect"},
        // The device stored the file, then the second reply was lost.
        {"stored, second reply lost: syncplaylist", "store-then-close:syncplaylist", 1, "error_disconnect"},
        {"stored, second reply lost: syncmedia", "store-then-close:syncmedia", 1, "error_disconnect"},
        {"stored, second reply lost: syncart", "store-then-close:syncart", 1, "error_disconnect"},
        {"refused version", "refuse:version:busy", 1, "error_refused"},
        {"refused syncplaylist", "refuse:syncplaylist:no room", 1, "error_refused"},
        {"refused check", "refuse:check_and_refresh_existing:no", 1, "error_refused"},
        {"refused syncmedia", "refuse:syncmedia:disk full", 1, "error_refused"},
        {"refused syncart", "refuse:syncart:no art", 1, "error_refused"},
        {"non-JSON reply to version", "garbage:version", 1, "error_communication"},
        {"non-JSON reply to check", "garbage:check_and_refresh_existing", 1, "error_communication"},
        {"non-JSON reply to syncmedia", "garbage:syncmedia", 1, "error_communication"},
        {"reply without response: version", "no-response:version", 1, "error_communication"},
        {"reply without response: syncmedia", "no-response:syncmedia", 1, "error_disconnect"},
        // A declined file is skipped and the sync goes on; the next sync offers it again.
        {"declined syncmedia (other response)", "other-response:syncmedia", 1, "success"},
        {"declined syncart (other response)", "other-response:syncart", 1, "success"},
        {"stalled reply to version", "stall:version", 2, "error_disconnect"},
        {"stalled reply to syncmedia", "stall:syncmedia", 1, "error_disconnect"},
        {"cancel before a file", "", 1, "error_cancel", cancelOn("Main.m3u", 0)},
        {"cancel during a file", "slow:syncmedia:2000000", 1, "error_cancel",
         [cancelOn](Cell& cell) {
             // Larger than the socket buffers, so that the transfer is still running; the
             // device holding a MiB of it is past every smaller file of the cell.
             cell.write({kNew.artist, kNew.album, kNew.file, 24 * 1024 * 1024});
             cancelOn(kNew.file, 1024 * 1024)(cell);
         }},
        {"track deleted locally mid-sync", "", 1, "success",
         [](Cell& cell) {
             cell.callback.onReport = [&cell](const std::string& message) {
                 if (message == kNew.file) std::filesystem::remove(cell.library.file(kNew.file));
             };
         },
         [](Cell& cell) { cell.write(kNew); }},
        {"track truncated locally mid-transfer", "slow:syncmedia:2000000", 1, "error",
         [](Cell& cell) {
             // Larger than the socket buffers, so that the file is still being read.
             cell.write({kNew.artist, kNew.album, kNew.file, 24 * 1024 * 1024});
             cell.callback.onReport = [&cell](const std::string& message) {
                 if (message != kNew.file || cell.helper.joinable()) return;
                 cell.whileReceiving(1024 * 1024, [path = cell.library.file(kNew.file)] {
                     std::error_code error;
                     std::filesystem::resize_file(path, 1000, error);
                     EXPECT_FALSE(error) << error.message();
                 });
             };
         }},
        {"cache deleted", "", 1, "error_db",
         [](Cell& cell) {
             std::filesystem::remove(cell.work.file("db.s3db"));
             cell.lostCache = true;
         },
         [](Cell& cell) { cell.work.copyTemplateDb(); }},
    };

    std::ostringstream table;
    table << "\n" << std::left;
    auto row = [&](const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
        table << "  " << std::setw(42) << a << std::setw(22) << b << std::setw(18) << c << d << "\n";
    };
    row("fault", "kind code", "cache consistent", "device correct after recovery");
    bool allGood = true;
    auto record = [&](const std::string& name, const std::string& kind, const std::string& expected,
                      bool consistent, bool correct) {
        const bool good = kind == expected && consistent && correct;
        allGood = allGood && good;
        row(name, kind + (kind == expected ? "" : " (want " + expected + ")"), consistent ? "yes" : "NO",
            correct ? "yes" : "NO");
        EXPECT_TRUE(good) << name;
    };

    {  // connection refused: nobody listens yet
        Cell cell;
        cell.fast = fast;
        std::string closed;
        {
            DeviceFixture gone;
            closed = gone.port();
        }
        const std::string kind = cell.sync(closed, cell.tracks(), {"Main"});
        DeviceFixture device;
        const bool consistent = cell.cacheConsistent(device.tree());
        const bool recovered = cell.sync(device.port(), cell.tracks(), {"Main"}) == "success";
        record("connection refused", kind, "error_connect", consistent,
               recovered && device.tree() == cell.wanted());
    }

    for (const Fault& fault : faults) {
        Cell cell;
        cell.fast = fast;
        DeviceOptions options;
        DeviceFixture device(options);
        ASSERT_EQ(cell.sync(device.port(), cell.warmupTracks(), {"Main", "Extra"}), "success") << fault.name;
        FaultPlan plan;
        if (!fault.plan.empty()) {
            ASSERT_TRUE(plan.parse(fault.plan)) << fault.plan;
            plan.setOccurrence(fault.occurrence);
        }
        device.device().setFault(plan);
        cell.deviceRoot = device.root();
        // New art for the new track's album, so that a fast sync sends art too.
        cell.library.write("art-" + kNew.album.substr(0, 2) + ".jpg", "new art of " + kNew.album);
        if (fault.before) fault.before(cell);
        const std::string kind = cell.sync(device.port(), cell.tracks(), {"Main"});
        cell.callback.onReport = nullptr;
        cell.stopHelper();
        std::atomic_ref<int>(cell.cancel).store(0);
        device.device().setFault(FaultPlan());
        // A file cut off mid-transfer goes when the device lets that connection go.
        ASSERT_TRUE(device.device().waitUntilIdle(std::chrono::seconds(20))) << fault.name;
        const bool consistent = cell.cacheConsistent(device.tree());
        if (fault.recover) fault.recover(cell);
        const std::string clean = cell.sync(device.port(), cell.tracks(), {"Main"});
        record(fault.name + (cell.lostCache ? " (wanted files complete)" : ""), kind, fault.expected,
               consistent, clean == "success" && cell.deviceCorrect(device.tree()));
    }

    {  // the cache read-only: the sync must fail rather than work from stale marks
        Cell cell;
        cell.fast = fast;
        DeviceFixture device;
        ASSERT_EQ(cell.sync(device.port(), cell.warmupTracks(), {"Main", "Extra"}), "success");
        bool skipped = false;
        const std::string kind = syncReadOnly(cell, device.port(), skipped);
        if (!skipped) {
            const bool consistent = cell.cacheConsistent(device.tree());
            const bool recovered = cell.sync(device.port(), cell.tracks(), {"Main"}) == "success";
            record("cache read-only", kind, "error_db", consistent, recovered && device.tree() == cell.wanted());
        } else {
            row("cache read-only", "skipped: no read-only mount here", "-", "-");
        }
    }

    std::printf("%s sync:%s", fast ? "fast" : "one command at a time", table.str().c_str());
    EXPECT_TRUE(allGood) << table.str();
}

INSTANTIATE_TEST_SUITE_P(Speeds, FaultMatrixTest, testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "fast" : "part"); });

}  // namespace
