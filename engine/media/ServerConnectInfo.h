// The description of one device app, from its handshake reply or as the program kept it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "quillory_export.h"

class QUILLORY_EXPORT ServerConnectInfo {
public:
    // Every text empty, port 0.
    ServerConnectInfo();

    // From the values the program kept; the protocol version stays empty.
    ServerConnectInfo(std::string version, std::string versionCode, std::string package,
                      std::string host, uint64_t port, std::string deviceId, std::string name,
                      std::string syncLocation, std::string extra);

    // From a "version" reply. A reply without "deviceid" is an older device app: identity
    // "unknown" and protocol "1.0"; with it and without "server.protocol.version", "1.1".
    // Missing keys read as empty; never throws.
    explicit ServerConnectInfo(std::map<std::string, std::string> reply);

    std::string getVersion() const { return version; }
    std::string getVersionCode() const { return versionCode; }
    std::string getPackage() const { return package; }
    std::string getHost() const { return host; }
    uint64_t getPort() const { return port; }
    std::string getDeviceId() const { return deviceId; }
    std::string getName() const { return name; }
    std::string getSyncLocation() const { return syncLocation; }
    std::string getExtra() const { return extra; }

    // Utils::compareVersion(protocol version, version): -1 when the device app speaks an older
    // protocol than version, 0 when the same, 1 when newer.
    int compareProtocol(const std::string& version) const;

private:
    std::string version;
    std::string versionCode;
    std::string package;
    std::string host;
    uint64_t port = 0;
    std::string deviceId;
    std::string name;
    std::string syncLocation;
    std::string extra;
    std::string protocolVersion;
};
