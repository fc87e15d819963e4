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
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[std::filesystem::relative(entry.path(), folder).string()] =
                readFile(entry.path().string());
        }
    }
    return files;
}

}  // namespace testsupport
