// The sync driver's own work (cache and playlists) on large libraries, against a transfer that
// does nothing. Prints wall time and peak memory of a first and a no-change sync for each
// library size, with the time per track relative to the smallest library.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/Synchronizer.h"

namespace {

class NullTransfer : public media::IWifiMediaTransfer {
public:
    void init() override {
        info = ServerConnectInfo(std::map<std::string, std::string>{
            {"deviceid", "bench"}, {"synclocation", "/sdcard"}, {"server.protocol.version", "2.0"}});
    }
    void syncMedia(std::string, std::string, std::string, std::string) override {}
    void syncArt(std::string, std::string, std::string, std::string) override {}
    void remove(std::string, std::string, std::string) override {}
    void removePlaylists() override {}
    void syncPlaylist(std::string, std::string) override {}
    void done() override {}
    void free() override {}
    std::string checkAndRefreshExisting(std::string, std::string, std::string, std::string,
                                        bool) override {
        return "present";
    }
    void setHost(std::string) override {}
    void setPort(std::string) override {}
    std::map<std::string, std::string> sendCommand(std::map<std::string, std::string>) override {
        return {};
    }
    ServerConnectInfo& getServerVersionInfo() override { return info; }

private:
    ServerConnectInfo info;
};

class QuietCallback : public SyncStatusCallback {
public:
    void onSyncStatus(int, std::string) override {}
};

// A memory figure of /proc/self/status in KiB: "VmHWM:" the peak since the last reset,
// "VmRSS:" the current size.
long statusKiB(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    }
    return 0;
}

void resetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct Figure {
    double seconds;
    long peakMiB;
};

Figure timedSync(const std::vector<itunesinfo::ITunesMediaFile>& tracks,
                 const std::vector<std::string>& playlists, const std::string& folder) {
    NullTransfer transfer;
    ServerConnectInfo kept;
    QuietCallback callback;
    resetPeak();
    const long before = statusKiB("VmRSS:");
    const auto start = std::chrono::steady_clock::now();
    {
        Synchronizer synchronizer(transfer, kept, tracks, {}, playlists, folder);
        synchronizer.sync(&callback);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return {seconds, (statusKiB("VmHWM:") - before) / 1024};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s TEMPLATE_DB\n", argv[0]);
        return 2;
    }
    const std::filesystem::path templateDb = argv[1];
    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("quillory-sync-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(root);
    // The driver only probes that a track and its art are readable; one small file each stands
    // for every track, so the figures are the driver's own work.
    const std::string trackFile = (root / "track.mp3").string();
    const std::string artFile = (root / "art.jpg").string();
    std::ofstream(trackFile) << std::string(4096, 't');
    std::ofstream(artFile) << std::string(4096, 'a');

    std::vector<std::string> playlists;
    for (int p = 0; p < 20; ++p) playlists.push_back("Playlist " + std::to_string(p));

    std::printf("%-8s %-7s %-14s %10s %12s %10s %14s\n", "tracks", "albums", "sync", "seconds",
                "us/track", "peak MiB", "per-track ratio");
    double baseFirst = 0, baseSecond = 0;
    bool ok = true;
    for (const int count : {1000, 10000, 50000}) {
        const int albums = count / 10;  // ten tracks per album: 50,000 tracks in 5,000 albums
        std::vector<itunesinfo::ITunesMediaFile> tracks;
        tracks.reserve(count);
        for (int i = 0; i < count; ++i) {
            const int album = i % albums;
            const std::string artist = "Artist " + std::to_string(album / 4);
            tracks.emplace_back(artist, "Album " + std::to_string(album),
                                "Track " + std::to_string(i) + ".mp3", 4096, trackFile, artFile,
                                std::vector<std::string>{playlists[i % 20],
                                                         playlists[(i * 7 + 3) % 20]});
        }
        const std::filesystem::path folder = root / std::to_string(count);
        std::filesystem::create_directories(folder);
        std::filesystem::copy_file(templateDb, folder / "db.s3db");

        const Figure first = timedSync(tracks, playlists, folder.string());
        const Figure second = timedSync(tracks, playlists, folder.string());
        const double firstPer = first.seconds / count * 1e6;
        const double secondPer = second.seconds / count * 1e6;
        if (count == 1000) {
            baseFirst = firstPer;
            baseSecond = secondPer;
        }
        std::printf("%-8d %-7d %-14s %10.3f %12.1f %10ld %14.2f\n", count, albums, "first",
                    first.seconds, firstPer, first.peakMiB, firstPer / baseFirst);
        std::printf("%-8d %-7d %-14s %10.3f %12.1f %10ld %14.2f\n", count, albums, "no-change",
                    second.seconds, secondPer, second.peakMiB, secondPer / baseSecond);
        if (count == 50000) {
            ok = first.seconds < 10.0 && second.seconds < 2.0 && firstPer <= 2 * baseFirst &&
                 secondPer <= 2 * baseSecond;
        }
    }
    std::printf("targets (50,000 tracks: first < 10 s, no-change < 2 s, per-track time <= 2x the "
                "1,000-track run): %s\n",
                ok ? "met" : "MISSED");
    std::filesystem::remove_all(root);
    return ok ? 0 : 1;
}
