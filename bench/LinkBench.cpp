// Throughput of syncs over the device link, against a plain TCP connection on the same path.
//
//   link_bench discard --listen ADDR      a receiver that counts bytes and acknowledges them;
//                                         prints its port first
//   link_bench plain --host H --discard-port D --bytes N
//                                         N bytes to the discard receiver; prints the seconds
//   link_bench client --host H --port P --discard-port D --template DB
//                                         syncs 200 x 5 MiB and 1,000 x 3 KB to the device
//                                         server at H:P and compares with the discard receiver
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/WifiTransfer.h"
#include "media/Synchronizer.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool readAll(int fd, void* into, std::size_t length) {
    char* at = static_cast<char*>(into);
    while (length > 0) {
        const ssize_t got = ::recv(fd, at, length, 0);
        if (got <= 0) return false;
        at += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

bool sendAll(int fd, const void* from, std::size_t length) {
    const char* at = static_cast<const char*>(from);
    while (length > 0) {
        const ssize_t sent = ::send(fd, at, length, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        at += sent;
        length -= static_cast<std::size_t>(sent);
    }
    return true;
}

// The discard receiver. Per connection: 'c' + 8-byte count, then that many bytes, answered
// with one byte; or 'p', answered with one byte at once (a round trip).
int discard(const std::string& address) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0 ||
        ::listen(listener, 4) != 0) {
        std::perror("discard");
        return 1;
    }
    socklen_t length = sizeof bound;
    getsockname(listener, reinterpret_cast<sockaddr*>(&bound), &length);
    std::printf("%d\n", ntohs(bound.sin_port));
    std::fflush(stdout);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0) continue;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        char kind = 0;
        while (readAll(fd, &kind, 1)) {
            if (kind == 'c') {
                uint64_t count = 0;
                if (!readAll(fd, &count, sizeof count)) break;
                while (count > 0) {
                    const ssize_t got =
                        ::recv(fd, buffer.data(), std::min<uint64_t>(count, buffer.size()), 0);
                    if (got <= 0) break;
                    count -= static_cast<uint64_t>(got);
                }
            }
            if (!sendAll(fd, "k", 1)) break;
        }
        ::close(fd);
    }
}

int connectTo(const std::string& host, const std::string& port) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) return -1;
    const int fd = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (::connect(fd, found->ai_addr, found->ai_addrlen) != 0) {
        freeaddrinfo(found);
        ::close(fd);
        return -1;
    }
    freeaddrinfo(found);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

class Quiet : public SyncStatusCallback {
  public:
    void onSyncStatus(int, std::string) override {}
};

std::vector<itunesinfo::ITunesMediaFile> makeLibrary(const fs::path& folder, int count,
                                                     std::size_t bytes) {
    fs::create_directories(folder);
    std::string content(bytes, '\0');
    std::vector<itunesinfo::ITunesMediaFile> tracks;
    for (int i = 0; i < count; ++i) {
        for (std::size_t b = 0; b < bytes; b += 4096) content[b] = static_cast<char>(i + b);
        const fs::path file = folder / ("track" + std::to_string(i) + ".mp3");
        std::ofstream(file, std::ios::binary) << content;
        tracks.emplace_back("Bench Artist", "Album " + std::to_string(i / 10), file.filename(),
                            static_cast<int64_t>(bytes), file.string(), "",
                            std::vector<std::string>{});
    }
    return tracks;
}

// Seconds for one whole sync of the tracks to a device server with a fresh cache.
double timedSync(const std::vector<itunesinfo::ITunesMediaFile>& tracks, const fs::path& work,
                 const fs::path& templateDb, const std::string& host, const std::string& port) {
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy_file(templateDb, work / "db.s3db");
    int cancel = 0;
    WifiTransfer transfer(&cancel);
    transfer.setHost(host);
    transfer.setPort(port);
    ServerConnectInfo kept;
    Quiet quiet;
    const auto start = Clock::now();
    Synchronizer(transfer, kept, tracks, {}, {}, work.string()).sync(&quiet);
    return since(start);
}

int client(const std::string& host, const std::string& port, const std::string& discardPort,
           const fs::path& templateDb) {
    const fs::path root =
        fs::temp_directory_path() / ("quillory-link-bench-" + std::to_string(getpid()));
    constexpr int kBigFiles = 200;
    constexpr std::size_t kBigBytes = 5 * 1024 * 1024;
    constexpr int kSmallFiles = 1000;
    constexpr std::size_t kSmallBytes = 3000;
    const auto big = makeLibrary(root / "big", kBigFiles, kBigBytes);
    const auto small = makeLibrary(root / "small", kSmallFiles, kSmallBytes);
    const double totalMB = kBigFiles * static_cast<double>(kBigBytes) / 1e6;

    const int plain = connectTo(host, discardPort);
    if (plain < 0) {
        std::fprintf(stderr, "cannot reach the discard receiver\n");
        return 1;
    }
    // Round trip time: the median of 21 one-byte exchanges.
    std::vector<double> trips;
    for (int i = 0; i < 21; ++i) {
        char answer = 0;
        const auto start = Clock::now();
        sendAll(plain, "p", 1);
        readAll(plain, &answer, 1);
        trips.push_back(since(start));
    }
    std::sort(trips.begin(), trips.end());
    const double rtt = trips[trips.size() / 2];

    // The same bytes, read from the same files, in 64 KiB writes.
    std::vector<char> chunk(64 * 1024);
    const auto plainStart = Clock::now();
    const char kind = 'c';
    const uint64_t count = kBigFiles * kBigBytes;
    sendAll(plain, &kind, 1);
    sendAll(plain, &count, sizeof count);
    for (const auto& track : big) {
        std::ifstream in(track.getLocation(), std::ios::binary);
        while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) ||
               in.gcount() > 0) {
            sendAll(plain, chunk.data(), static_cast<std::size_t>(in.gcount()));
        }
    }
    char ack = 0;
    readAll(plain, &ack, 1);
    const double plainSeconds = since(plainStart);
    ::close(plain);

    const double bigSeconds = timedSync(big, root / "work-big", templateDb, host, port);
    const double smallSeconds = timedSync(small, root / "work-small", templateDb, host, port);

    const double plainRate = totalMB / plainSeconds;
    const double syncRate = totalMB / bigSeconds;
    const double perSmall = smallSeconds / kSmallFiles;
    std::printf("round trip                      %10.3f ms\n", rtt * 1e3);
    std::printf("plain TCP, 64 KiB writes        %10.1f MB/s  (%.2f s for %.0f MB)\n", plainRate,
                plainSeconds, totalMB);
    std::printf("sync, 200 files of 5 MiB        %10.1f MB/s  (%.2f s)  ratio to plain %.2f\n",
                syncRate, bigSeconds, syncRate / plainRate);
    std::printf(
        "sync, 1,000 files of 3 KB       %10.1f files/s (%.2f s)  %.2f ms per file = "
        "%.2f round trips\n",
        kSmallFiles / smallSeconds, smallSeconds, perSmall * 1e3, perSmall / rtt);
    fs::remove_all(root);
    return 0;
}

std::string option(int argc, char** argv, const std::string& name, const std::string& fallback) {
    for (int i = 2; i + 1 < argc; ++i) {
        if (argv[i] == name) return argv[i + 1];
    }
    return fallback;
}

}  // namespace

// Sends count bytes to the discard receiver in 64 KiB writes and prints the seconds it took,
// acknowledgement included: the plain TCP baseline of a transfer on the same link.
int plain(const std::string& host, const std::string& discardPort, uint64_t count) {
    const int fd = connectTo(host, discardPort);
    if (fd < 0) {
        std::fprintf(stderr, "cannot reach the discard receiver\n");
        return 1;
    }
    std::vector<char> chunk(64 * 1024, 'x');
    const auto start = Clock::now();
    const char kind = 'c';
    sendAll(fd, &kind, 1);
    sendAll(fd, &count, sizeof count);
    for (uint64_t left = count; left > 0;) {
        const std::size_t now = static_cast<std::size_t>(std::min<uint64_t>(left, chunk.size()));
        sendAll(fd, chunk.data(), now);
        left -= now;
    }
    char ack = 0;
    readAll(fd, &ack, 1);
    std::printf("%.3f\n", since(start));
    ::close(fd);
    return 0;
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "discard") return discard(option(argc, argv, "--listen", "127.0.0.1"));
    if (mode == "plain") {
        return plain(option(argc, argv, "--host", "127.0.0.1"),
                     option(argc, argv, "--discard-port", ""),
                     std::stoull(option(argc, argv, "--bytes", "0")));
    }
    if (mode == "client") {
        return client(option(argc, argv, "--host", "127.0.0.1"), option(argc, argv, "--port", ""),
                      option(argc, argv, "--discard-port", ""),
                      option(argc, argv, "--template", "db.s3db"));
    }
    std::fprintf(stderr,
                 "usage: link_bench discard [--listen ADDR]\n"
                 "       link_bench plain --host H --discard-port D --bytes N\n"
                 "       link_bench client --host H --port P --discard-port D --template DB\n");
    return 2;
}
