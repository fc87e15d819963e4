// The reference device server's command handling: whatever a client might send, through a socket
// pair, into a throw-away root.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>

#include "DeviceServer.h"

namespace {

DeviceServer& server() {
    static const std::filesystem::path root = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "quillory-fuzz-XXXXXX");
        return std::filesystem::path(mkdtemp(pattern.data()));
    }();
    static DeviceServer* instance = [] {
        DeviceOptions options;
        options.root = (root / "device").string();
        options.idleTimeoutSeconds = 5;
        options.maxLineBytes = 4096;
        return new DeviceServer(options);
    }();
    return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    // The replies are drained by a thread of their own, so that the server never waits on them.
    std::thread drain([fd = pair[1]] {
        char sink[4096];
        while (::read(fd, sink, sizeof sink) > 0) {
        }
    });
    std::thread feed([fd = pair[1], data, size] {
        if (size > 0) [[maybe_unused]] ssize_t written = ::write(fd, data, size);
        ::shutdown(fd, SHUT_WR);
    });
    server().serveConnection(pair[0]);
    feed.join();
    ::shutdown(pair[1], SHUT_RDWR);
    drain.join();
    ::close(pair[1]);
    return 0;
}
