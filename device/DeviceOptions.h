// The reference device server's settings, from its command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "FaultPlan.h"

struct DeviceOptions {
    std::string root;
    std::string listenAddress = "0.0.0.0";
    int port = 5051;
    std::string product = "Quillory Device";
    std::string deviceId;      // empty: derived from the host name and the root
    std::string deviceName;    // empty: the host name
    std::string syncLocation;  // empty: the root's absolute path
    std::string protocol = "2.0";
    std::string versionName = "1.0.0";
    std::string versionCode = "100";
    std::string package = "com.quillory.device";
    double announceInterval = 1.0;  // seconds; 0 turns announcing off
    int announceTtl = 1;
    std::string announceInterface;  // empty: the system's choice
    std::string announceIp;         // empty: the address clients reach us at
    int idleTimeoutSeconds = 120;
    // A command line must be complete this long after its first byte; also the grace before
    // minFileRate applies to a file's bytes.
    double lineTimeoutSeconds = 10;
    // A new client takes the slot from one silent (no byte either way) for this long.
    double takeoverSeconds = 5;
    // Slowest average a file's bytes may arrive at, in bytes per second; 0 for no minimum.
    uint64_t minFileRate = 1024;
    std::size_t maxLineBytes = std::size_t{64} * 1024;
    std::string commandLog;
    FaultPlan fault;

    // Parses argv. Returns nothing when the program should stop without serving: then error
    // holds the message for standard error, or is empty and answer holds the text asked for
    // (--help, --version) for standard output. Call before any thread starts (getopt).
    static std::optional<DeviceOptions> parse(int argc, char** argv, std::string& error,
                                              std::string& answer);
    static std::string help();
    // "quillory-device 1.0.0" and a line break: the version of Quillory it was built with.
    static std::string version();
};
