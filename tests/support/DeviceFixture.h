// A reference device server in this process, on a loopback port the kernel picks, serving a
// fresh temporary root from a thread of its own until the fixture ends.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <thread>

#include "DeviceServer.h"
#include "support/TempDir.h"

namespace testsupport {

class DeviceFixture {
  public:
    // options.root, listen address and port are filled in; announcing is off.
    explicit DeviceFixture(DeviceOptions options = {});
    ~DeviceFixture();

    std::string port() const { return std::to_string(portNumber); }
    const std::filesystem::path& root() const { return server->store().root(); }
    DeviceServer& device() { return *server; }
    // Every command line the server received, in order, byte for byte.
    std::string commandLog() const;
    // The root's regular files as "relative/path" -> content, hidden part files included.
    std::map<std::string, std::string> tree() const;
    // The same listing for any folder (a root served by another process, say).
    static std::map<std::string, std::string> treeOf(const std::filesystem::path& folder);

  private:
    TempDir dir;
    std::unique_ptr<DeviceServer> server;
    int portNumber = 0;
    std::thread thread;
};

}  // namespace testsupport
