// Kill the program at any moment of a sync, then run one clean sync: the device must hold
// exactly what the chosen playlists want, every file complete, no temporary file left, and
// the cache must list exactly the files the device holds. Each round kills a real sync (a
// child process running the engine) at a seeded point against the reference device server.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <fcntl.h>

#include <chrono>
#include <fstream>
#include <thread>
#include <random>
#include <set>
#include <sstream>

#include "support/DeviceFixture.h"
#include "util/Utils.h"

extern char** environ;

namespace {

using testsupport::DeviceFixture;
using testsupport::readFile;
using testsupport::TempDir;
using Tree = std::map<std::string, std::string>;

struct Track {
    std::string artist, album, file;
    std::size_t bytes;
    std::vector<std::string> playlists;
};

const std::vector<std::string> kPlaylists{"Main", "Road", "Calm"};
const std::vector<Track> kLibrary{
    {"Ana Sol", "Dawn", "01 Rise.mp3", 9000, {"Main"}},
    {"Ana Sol", "Dawn", "02 Noon.mp3", 2500, {"Main", "Calm"}},
    {"Ana Sol", "Dawn", "03 Dusk.mp3", 1500 * 1024, {"Main"}},  // long enough to die inside
    {"Bo: Live", "Dusk/Night", "01 Fall.mp3", 3000, {"Main", "Road"}},
    {"Bo: Live", "Dusk/Night", "02 Rain.mp3", 4100, {"Main"}},
    {"Cy/Dee", "Gone", "01 Old.mp3", 1200, {"Road"}},
    {"Cy/Dee", "Gone", "02 Older.mp3", 64 * 1024, {"Road", "Calm"}},
    {"Di", "Echo", "01 Bare.mp3", 700, {"Road"}},  // an album without art
};

std::string folderOf(const Track& track) {
    return Utils::makeValidDirName(track.artist) + "/" + Utils::makeValidDirName(track.album) + "/";
}

bool hasArt(const Track& track) {
    return track.artist != "Di";
}

bool wanted(const Track& track, const std::vector<std::string>& chosen) {
    for (const std::string& name : track.playlists) {
        if (std::find(chosen.begin(), chosen.end(), name) != chosen.end()) return true;
    }
    return false;
}

class Round {
public:
    Round() {
        work.copyTemplateDb();
        for (const Track& track : kLibrary) {
            std::string bytes(track.bytes, '\0');
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                bytes[i] = static_cast<char>(i * 7 + track.file[1] + track.artist[0]);
            }
            library.write(track.file + "-" + track.artist, bytes);
            if (hasArt(track)) library.write("art-" + track.artist + ".jpg", "art of " + track.album);
        }
    }

    // Runs the killing helper; true when the sync was killed.
    bool run(const std::string& port, const std::vector<std::string>& chosen, const std::string& speed,
             const std::string& mode, const std::string& operation, int call, long delayUs,
             int* exitStatus = nullptr) {
        std::ostringstream manifest;
        for (std::size_t i = 0; i < chosen.size(); ++i) manifest << (i ? "\t" : "") << chosen[i];
        manifest << "\n";
        for (const Track& track : kLibrary) {
            if (!wanted(track, chosen)) continue;
            std::string lists;
            for (const std::string& name : track.playlists) lists += (lists.empty() ? "" : ",") + name;
            manifest << track.artist << "\t" << track.album << "\t" << track.file << "\t"
                     << library.file(track.file + "-" + track.artist) << "\t"
                     << library.file("art-" + track.artist + ".jpg") << "\t" << lists << "\n";
        }
        const std::string manifestPath = work.write("manifest.txt", manifest.str());

        const std::vector<std::string> arguments{KILLING_SYNC_BIN, "127.0.0.1", port, work.path().string(),
                                                 manifestPath,     speed,       mode,        operation,
                                                 std::to_string(call),         std::to_string(delayUs)};
        std::vector<char*> argv;
        for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // The engine logs every step; keep the test's output readable.
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t child = 0;
        const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        int status = 0;
        waitpid(child, &status, 0);
        if (exitStatus != nullptr) *exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    Tree expectedDevice(const std::vector<std::string>& chosen) const {
        Tree tree;
        for (const Track& track : kLibrary) {
            if (!wanted(track, chosen)) continue;
            tree[folderOf(track) + track.file] = readFile(library.file(track.file + "-" + track.artist));
            if (hasArt(track)) tree[folderOf(track) + "AlbumArt.jpg"] = "art of " + track.album;
        }
        for (const std::string& name : chosen) {
            std::string playlist = "#EXTM3U";
            for (const Track& track : kLibrary) {
                if (std::find(track.playlists.begin(), track.playlists.end(), name) != track.playlists.end()) {
                    playlist += "\n./" + folderOf(track) + track.file;
                }
            }
            tree["playlists/" + name + ".m3u"] = playlist;
        }
        return tree;
    }

    std::set<std::string> expectedRows(const std::vector<std::string>& chosen, bool art) const {
        std::set<std::string> rows;
        for (const Track& track : kLibrary) {
            if (!wanted(track, chosen)) continue;
            if (!art) rows.insert(track.artist + "|" + track.album + "|" + track.file);
            if (art && hasArt(track)) rows.insert(track.artist + "|" + track.album);
        }
        return rows;
    }

    std::set<std::string> rows(const std::string& sql) const {
        sqlite3* db = nullptr;
        std::set<std::string> out;
        if (sqlite3_open_v2(work.file("db.s3db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* statement = nullptr;
            sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
            while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW) {
                std::string row;
                for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                    row += (c ? "|" : "") + std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)));
                }
                out.insert(row);
            }
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return out;
    }

    TempDir work;
    TempDir library;
};

// One round: a clean sync of `before`, a sync of `during` killed at the chosen point, then one
// clean sync of `after`.
struct Plan {
    std::vector<std::string> before, during, after;
    std::string mode;       // before, after or during the call
    std::string operation;  // the transfer operation counted, or "any"
    int call;
    long delayUs;

    std::string describe() const {
        auto set = [](const std::vector<std::string>& chosen) {
            std::string text = "{";
            for (const std::string& name : chosen) text += (text.size() > 1 ? "," : "") + name;
            return text + "}";
        };
        return set(before) + " then " + set(during) + " killed " + mode + " " + operation + " call " +
               std::to_string(call) + (mode == "during" ? " +" + std::to_string(delayUs) + "us" : "") +
               ", then " + set(after);
    }
};

// The points where a kill once lost or stranded a file, then seeded ones anywhere. A fast sync
// stores a file's row after its last reply, read once the next file has been offered.
std::vector<Plan> plans(const std::string& protocol, bool fast, int seeded) {
    std::vector<Plan> all;
    if (!fast) {
        all = {
            // The device stored a new track, the row was never written, and it is no longer wanted.
            {{}, {"Main"}, {"Road"}, "after", "syncMedia", 1, 0},
            {{}, {"Main"}, {"Road"}, "during", "syncMedia", 3, 400},
            {{"Main"}, {"Road"}, {"Calm"}, "after", "syncArt", 1, 0},
            // The device deleted a track whose row was still there, and it is wanted again.
            {{"Main"}, {"Road"}, {"Main"}, "after", "remove", 1, 0},
            {{"Main", "Calm"}, {}, {"Main", "Calm"}, "after", "remove", 3, 0},
            {{"Main"}, {"Calm"}, {"Main"}, "before", "syncPlaylist", 1, 0},
        };
    } else {
        all = {
            {{}, {"Main"}, {"Road"}, "after", "readReply", 2, 0},
            {{}, {"Main"}, {"Road"}, "after", "sendFileBytes", 2, 0},
            {{}, {"Main"}, {"Road"}, "during", "sendFileBytes", 3, 400},
            {{"Main"}, {"Road"}, {"Calm"}, "after", "sendOffer", 3, 0},
            {{"Main"}, {"Road"}, {"Main"}, "after", "remove", 1, 0},
            {{"Main", "Road"}, {"Main"}, {"Road"}, "after", "readCheckReply", 2, 0},
        };
    }
    std::mt19937 random(static_cast<unsigned>(std::hash<std::string>{}(protocol)));
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    auto subset = [&] {
        std::vector<std::string> chosen;
        for (const std::string& name : kPlaylists) {
            if (pick(0, 2) != 0) chosen.push_back(name);
        }
        return chosen;
    };
    static const char* const kModes[] = {"before", "after", "during"};
    // Half the kills land on any call, the rest on the calls that change the device.
    static const char* const kPartOperations[] = {"syncMedia", "syncMedia", "remove", "syncArt",
                                                  "syncPlaylist"};
    static const char* const kFastOperations[] = {"sendFileBytes", "readReply", "remove", "sendOffer",
                                                  "readCheckReply"};
    const char* const* kOperations = fast ? kFastOperations : kPartOperations;
    for (int i = 0; i < seeded; ++i) {
        Plan plan;
        plan.before = subset();
        plan.during = subset();
        plan.after = pick(0, 2) == 0 ? plan.during : subset();
        plan.mode = kModes[pick(0, 2)];
        plan.operation = pick(0, 1) == 0 ? "any" : kOperations[pick(0, 4)];
        int tracks = 0;
        for (const Track& track : kLibrary) tracks += wanted(track, plan.during) || wanted(track, plan.before);
        // About as many calls as the sync makes: handshake, deletions, playlists, tracks, art.
        plan.call = pick(1, plan.operation == "any" ? 8 + static_cast<int>(plan.during.size()) + 2 * tracks
                                                    : std::max(1, tracks / 2));
        plan.delayUs = pick(0, 3000);
        all.push_back(plan);
    }
    return all;
}

class KillLoopTest : public testing::TestWithParam<std::tuple<std::string, std::string, int>> {};

TEST_P(KillLoopTest, OneCleanSyncAfterAKillLeavesTheDeviceExactlyAsWanted) {
    const auto [protocol, speed, seeded] = GetParam();
    int killed = 0;
    int round = 0;
    const std::vector<Plan> all = plans(protocol, speed == "fast", seeded);
    for (const Plan& plan : all) {
        const std::string what = speed + " sync, protocol " + protocol + " round " + std::to_string(round++) + ": " +
                                 plan.describe();
        Round state;
        DeviceOptions options;
        options.protocol = protocol;
        DeviceFixture device(options);
        int status = -1;
        ASSERT_FALSE(state.run(device.port(), plan.before, speed, "none", "any", 0, 0, &status)) << what;
        ASSERT_EQ(status, 0) << what;
        if (state.run(device.port(), plan.during, speed, plan.mode, plan.operation, plan.call, plan.delayUs)) ++killed;
        ASSERT_FALSE(state.run(device.port(), plan.after, speed, "none", "any", 0, 0, &status)) << what;
        ASSERT_EQ(status, 0) << what;

        // A sync that ends with deletions has no reply to wait for: the server may still be
        // taking them when the program has gone.
        const Tree want = state.expectedDevice(plan.after);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (device.tree() != want && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        EXPECT_EQ(device.tree(), want) << what;
        EXPECT_EQ(state.rows("select artist, album, filename from files"), state.expectedRows(plan.after, false))
            << what;
        EXPECT_EQ(state.rows("select artist, album from arts"), state.expectedRows(plan.after, true)) << what;
        if (HasFailure()) return;
    }
    std::printf("%s sync, protocol %s: %d of %zu syncs killed\n", speed.c_str(), protocol.c_str(), killed,
                all.size());
    // Most points lie inside the sync; a loop that killed nothing would prove nothing.
    EXPECT_GT(killed, static_cast<int>(all.size()) / 3);
}

INSTANTIATE_TEST_SUITE_P(Protocols, KillLoopTest,
                         testing::Values(std::make_tuple(std::string("1.0"), std::string("part"), 20),
                                         std::make_tuple(std::string("1.1"), std::string("part"), 40),
                                         std::make_tuple(std::string("2.0"), std::string("part"), 40),
                                         std::make_tuple(std::string("1.1"), std::string("fast"), 40),
                                         std::make_tuple(std::string("2.0"), std::string("fast"), 40)),
                         [](const auto& info) {
                             std::string name = std::get<1>(info.param) + "_protocol_" + std::get<0>(info.param);
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

}  // namespace
