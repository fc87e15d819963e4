#include "support/DeviceFixture.h"

namespace testsupport {

DeviceFixture::DeviceFixture(DeviceOptions options) {
    options.root = dir.file("device");
    options.listenAddress = "127.0.0.1";
    options.port = 0;
    options.announceInterval = 0;
    if (options.commandLog.empty()) options.commandLog = dir.file("commands.log");
    server = std::make_unique<DeviceServer>(options);
    portNumber = server->listen();
    thread = std::thread([this] { server->run(); });
}

DeviceFixture::~DeviceFixture() {
    server->stop();
    thread.join();
}

std::string DeviceFixture::commandLog() const {
    return readFile(server->settings().commandLog);
}

std::map<std::string, std::string> DeviceFixture::tree() const {
    return treeOf(root());
}

std::map<std::string, std::string> DeviceFixture::treeOf(const std::filesystem::path& folder) {
    // The server may be at work while a test looks (a folder removed as its last file goes):
    // a walk that loses its way is started again.
    std::map<std::string, std::string> files;
    for (int attempt = 0; attempt < 20; ++attempt) {
        files.clear();
        std::error_code error;
        std::filesystem::recursive_directory_iterator walk(folder, error);
        for (; !error && walk != std::filesystem::recursive_directory_iterator();
             walk.increment(error)) {
            std::error_code kind;
            if (walk->is_regular_file(kind)) {
                files[walk->path().lexically_relative(folder).string()] =
                    readFile(walk->path().string());
            }
        }
        if (!error) break;
    }
    return files;
}

}  // namespace testsupport
