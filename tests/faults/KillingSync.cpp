// A sync that dies by SIGKILL at a chosen point, for the kill loop. It runs the real engine
// against a device server and kills itself around one transfer call:
//   killing_sync HOST PORT WORKDIR MANIFEST SPEED MODE OPERATION CALL [DELAY_US]
// SPEED is "part" (one command at a time) or "fast" (pipelined, art only when changed).
// MODE is "before" (at the start of call number CALL), "after" (once that call returned) or
// "during" (DELAY_US microseconds after that call began, from another thread). Calls are
// counted from 1 over the transfer operations named OPERATION ("syncMedia", "remove", ...), or
// over all of them for "any". Without a kill the sync ends and the program exits 0, or 1 with
// the error's kind code on stderr.
// The manifest holds the chosen playlists on its first line, then one track per line, every
// field separated by a tab: artist, album, file name, local path, art path, playlists (",").
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "link/WifiTransfer.h"
#include "media/CMediaException.h"
#include "media/Synchronizer.h"
#include "util/Utils.h"

namespace {

[[noreturn]] void die() {
    ::kill(::getpid(), SIGKILL);
    for (;;) pause();
}

class KillingTransfer : public media::IWifiMediaTransfer, public media::IPipelinedTransfer {
  public:
    KillingTransfer(WifiTransfer& real, std::string mode, std::string operation, int call,
                    long delayUs)
        : real(real),
          mode(std::move(mode)),
          operation(std::move(operation)),
          killAt(call),
          delayUs(delayUs) {}

    void init() override {
        around("init", [&] { real.init(); });
    }
    void syncMedia(std::string l, std::string a, std::string b, std::string f) override {
        around("syncMedia", [&] { real.syncMedia(l, a, b, f); });
    }
    void syncArt(std::string l, std::string a, std::string b, std::string f) override {
        around("syncArt", [&] { real.syncArt(l, a, b, f); });
    }
    void remove(std::string a, std::string b, std::string f) override {
        around("remove", [&] { real.remove(a, b, f); });
    }
    void removePlaylists() override {
        around("removePlaylists", [&] { real.removePlaylists(); });
    }
    void syncPlaylist(std::string l, std::string f) override {
        around("syncPlaylist", [&] { real.syncPlaylist(l, f); });
    }
    void done() override {
        around("done", [&] { real.done(); });
    }
    void free() override {
        around("free", [&] { real.free(); });
    }
    std::string checkAndRefreshExisting(std::string l, std::string a, std::string b, std::string f,
                                        bool refresh) override {
        std::string answer;
        around("checkAndRefreshExisting",
               [&] { answer = real.checkAndRefreshExisting(l, a, b, f, refresh); });
        return answer;
    }
    void setHost(std::string host) override {
        around("setHost", [&] { real.setHost(host); });
    }
    void setPort(std::string port) override {
        around("setPort", [&] { real.setPort(port); });
    }
    std::map<std::string, std::string> sendCommand(
        std::map<std::string, std::string> command) override {
        std::map<std::string, std::string> reply;
        around("sendCommand", [&] { reply = real.sendCommand(command); });
        return reply;
    }
    void sendCheck(std::string l, std::string a, std::string b, std::string f,
                   bool refresh) override {
        around("sendCheck", [&] { real.sendCheck(l, a, b, f, refresh); });
    }
    std::string readCheckReply() override {
        std::string answer;
        around("readCheckReply", [&] { answer = real.readCheckReply(); });
        return answer;
    }
    long sendOffer(std::string c, std::string l, std::string a, std::string b,
                   std::string f) override {
        long size = 0;
        around("sendOffer", [&] { size = real.sendOffer(c, l, a, b, f); });
        return size;
    }
    bool readReply() override {
        bool ok = false;
        around("readReply", [&] { ok = real.readReply(); });
        return ok;
    }
    void sendFileBytes(std::string l, long size) override {
        around("sendFileBytes", [&] { real.sendFileBytes(l, size); });
    }
    ServerConnectInfo& getServerVersionInfo() override {
        ServerConnectInfo* info = nullptr;
        around("getServerVersionInfo", [&] { info = &real.getServerVersionInfo(); });
        return *info;
    }

  private:
    template <typename Call>
    void around(const std::string& name, Call call) {
        const bool counted = operation == "any" || operation == name;
        const bool here = counted && ++calls == killAt;
        if (here && mode == "before") die();
        if (here && mode == "during") {
            std::thread([delay = delayUs] {
                std::this_thread::sleep_for(std::chrono::microseconds(delay));
                die();
            }).detach();
        }
        call();
        if (here && mode == "after") die();
    }

    WifiTransfer& real;
    std::string mode;
    std::string operation;
    int killAt;
    long delayUs;
    int calls = 0;
};

class Quiet : public SyncStatusCallback {
  public:
    void onSyncStatus(int, std::string) override {}
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 9) {
        std::cerr << "usage: killing_sync HOST PORT WORKDIR MANIFEST SPEED MODE OPERATION CALL "
                     "[DELAY_US]\n";
        return 2;
    }
    std::ifstream manifest(argv[4]);
    std::string line;
    std::getline(manifest, line);
    const std::vector<std::string> playlists =
        line.empty() ? std::vector<std::string>{} : Utils::split(line, '\t');
    std::vector<itunesinfo::ITunesMediaFile> tracks;
    while (std::getline(manifest, line)) {
        const std::vector<std::string> f = Utils::split(line, '\t');
        if (f.size() != 6) continue;
        tracks.emplace_back(f[0], f[1], f[2], Utils::getFileSize(f[3]), f[3], f[4],
                            Utils::split(f[5], ','));
    }

    int cancel = 0;
    WifiTransfer real(&cancel);
    real.setHost(argv[1]);
    real.setPort(argv[2]);
    real.setTimeouts(2000, 5000);
    KillingTransfer transfer(real, argv[6], argv[7], std::stoi(argv[8]),
                             argc > 9 ? std::stol(argv[9]) : 0);
    ServerConnectInfo kept;
    Quiet quiet;
    try {
        Synchronizer synchronizer(transfer, kept, tracks, {}, playlists, argv[3]);
        synchronizer.setOptions({std::string(argv[5]) == "fast"});
        synchronizer.sync(&quiet);
    } catch (const media::CMediaException& error) {
        std::cerr << error.what() << ": " << error.message << "\n";
        return 1;
    }
    return 0;
}
