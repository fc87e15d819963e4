#include "media/ServerConnectInfo.h"

#include <utility>

#include "util/Utils.h"

ServerConnectInfo::ServerConnectInfo() = default;

ServerConnectInfo::ServerConnectInfo(std::string version, std::string versionCode,
                                     std::string package, std::string host, uint64_t port,
                                     std::string deviceId, std::string name,
                                     std::string syncLocation, std::string extra)
    : version(std::move(version)),
      versionCode(std::move(versionCode)),
      package(std::move(package)),
      host(std::move(host)),
      port(port),
      deviceId(std::move(deviceId)),
      name(std::move(name)),
      syncLocation(std::move(syncLocation)),
      extra(std::move(extra)) {}

ServerConnectInfo::ServerConnectInfo(std::map<std::string, std::string> reply)
    : version(reply["versionname"]),
      versionCode(reply["versioncode"]),
      package(reply["package"]) {
    if (Utils::mapHasKey(&reply, "deviceid")) {
        deviceId = reply["deviceid"];
        name = reply["devicename"];
        syncLocation = reply["synclocation"];
        extra = reply["extra"];
        protocolVersion = Utils::mapHasKey(&reply, "server.protocol.version")
                              ? reply["server.protocol.version"]
                              : "1.1";
    } else {
        deviceId = "unknown";
        name = "unknown";
        syncLocation = "unknown";
        protocolVersion = "1.0";
    }
}

int ServerConnectInfo::compareProtocol(const std::string& version) const {
    return Utils::compareVersion(protocolVersion, version);
}
