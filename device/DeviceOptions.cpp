#include "DeviceOptions.h"

#include <getopt.h>

#include <cstdlib>

namespace {

bool toInt(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) return false;
    out = value;
    return true;
}

// A positive number of seconds, fractions allowed, at most a day.
bool toSeconds(const char* text, double& out) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(value > 0) || value > 86400) return false;
    out = value;
    return true;
}

}  // namespace

std::string DeviceOptions::help() {
    return R"(Usage: quillory-device --root DIR [options]

Makes DIR a sync target for Quillory: serves the device protocol on TCP and announces itself
on the multicast group 230.0.0.1:4446. Tracks and art are stored as DIR/artist/album/file,
playlists in DIR/playlists. A file is written under a temporary name and renamed into place
only when all its bytes have arrived, in the hidden folder DIR/.quillory-parts, which is
emptied at start. One client is served at a time: others wait, and a new client takes the
place of one that has been silent for the takeover time.

  --root DIR                  folder that receives the music (required)
  --listen ADDR               address to listen on (default 0.0.0.0; IPv6 literals work)
  --port N                    TCP port (default 5051; 0 picks a free port)
                              The first line on standard output is "listening on ADDR:PORT".
  --product NAME              name announced to the desktop program (default "Quillory Device")
  --device-id ID              device id in the "version" reply (default: host name and root)
  --device-name NAME          device name in the "version" reply (default: the host name)
  --sync-location TEXT        sync location in the "version" reply (default: DIR's full path)
  --protocol VERSION          protocol to speak: 1.0 (no device identity), 1.1 (no protocol
                              key) or 2.0 and newer (default 2.0)
  --announce-interval SEC     seconds between announcements (default 1; 0 turns them off)
  --announce-ttl N            multicast TTL of announcements (default 1; 0 keeps them on
                              this host)
  --announce-interface ADDR   IPv4 address of the interface to announce on
  --announce-ip ADDR          address put in announcements (default: the listen address, or
                              the address of the interface the group is routed through)
  --no-announce               do not announce
  --idle-timeout SEC          drop a client that sends nothing for SEC seconds (default 120)
  --line-timeout SEC          a command line must be complete SEC seconds after its first
                              byte (default 10); also the grace before --min-rate applies
  --takeover SEC              a new client takes the slot from one that has sent and
                              received nothing for SEC seconds (default 5)
  --min-rate BYTES            drop a client whose file bytes arrive slower than BYTES per
                              second on average (default 1024; 0 for no minimum)
  --max-line BYTES            longest command line accepted (default 65536)
  --command-log FILE          append every command line received, byte for byte, to FILE
  --fault KIND:COMMAND[:ARG]  for tests: misbehave once when COMMAND arrives. KIND is one of
                              refuse (ARG is the reason), garbage (a non-JSON reply),
                              no-response (a reply without "response"), other-response
                              ("response" neither "ok" nor "fail"), close (close on receipt),
                              close-after-reply (close after the first reply),
                              close-after-bytes (ARG bytes of the file, then close),
                              close-before-second-reply, stall (never answer),
                              slow (take the file at ARG bytes per second),
                              store-then-close (store the file, then close instead of
                              the second reply)
  --fault-at N                fire the fault on the N-th COMMAND instead of the first
  --help                      show this text and exit
  --version                   show the version and exit

See quillory-device(1).
)";
}

std::string DeviceOptions::version() {
    return std::string("quillory-device ") + QUILLORY_VERSION + "\n";
}

std::optional<DeviceOptions> DeviceOptions::parse(int argc, char** argv, std::string& error,
                                                  std::string& answer) {
    enum {
        kRoot = 1000,
        kListen,
        kPort,
        kProduct,
        kDeviceId,
        kDeviceName,
        kSyncLocation,
        kProtocol,
        kInterval,
        kTtl,
        kInterface,
        kAnnounceIp,
        kNoAnnounce,
        kIdle,
        kLineTimeout,
        kTakeover,
        kMinRate,
        kMaxLine,
        kCommandLog,
        kFault,
        kFaultAt,
        kHelp,
        kVersion
    };
    static const option longOptions[] = {
        {"root", required_argument, nullptr, kRoot},
        {"listen", required_argument, nullptr, kListen},
        {"port", required_argument, nullptr, kPort},
        {"product", required_argument, nullptr, kProduct},
        {"device-id", required_argument, nullptr, kDeviceId},
        {"device-name", required_argument, nullptr, kDeviceName},
        {"sync-location", required_argument, nullptr, kSyncLocation},
        {"protocol", required_argument, nullptr, kProtocol},
        {"announce-interval", required_argument, nullptr, kInterval},
        {"announce-ttl", required_argument, nullptr, kTtl},
        {"announce-interface", required_argument, nullptr, kInterface},
        {"announce-ip", required_argument, nullptr, kAnnounceIp},
        {"no-announce", no_argument, nullptr, kNoAnnounce},
        {"idle-timeout", required_argument, nullptr, kIdle},
        {"line-timeout", required_argument, nullptr, kLineTimeout},
        {"takeover", required_argument, nullptr, kTakeover},
        {"min-rate", required_argument, nullptr, kMinRate},
        {"max-line", required_argument, nullptr, kMaxLine},
        {"command-log", required_argument, nullptr, kCommandLog},
        {"fault", required_argument, nullptr, kFault},
        {"fault-at", required_argument, nullptr, kFaultAt},
        {"help", no_argument, nullptr, kHelp},
        {"version", no_argument, nullptr, kVersion},
        {nullptr, 0, nullptr, 0},
    };
    DeviceOptions options;
    optind = 1;
    opterr = 0;
    long number = 0;
    for (;;) {
        // Options are parsed once, in main, before any thread starts.
        const int which = getopt_long(argc, argv, "", longOptions, nullptr);  // NOLINT(concurrency-mt-unsafe)
        if (which == -1) break;
        const std::string value = optarg != nullptr ? optarg : "";
        switch (which) {
            case kRoot:
                options.root = value;
                break;
            case kListen:
                options.listenAddress = value;
                break;
            case kPort:
                if (!toInt(optarg, 0, 65535, number)) {
                    error = "--port needs a number from 0 to 65535";
                    return std::nullopt;
                }
                options.port = static_cast<int>(number);
                break;
            case kProduct:
                options.product = value;
                break;
            case kDeviceId:
                options.deviceId = value;
                break;
            case kDeviceName:
                options.deviceName = value;
                break;
            case kSyncLocation:
                options.syncLocation = value;
                break;
            case kProtocol:
                options.protocol = value;
                break;
            case kInterval: {
                char* end = nullptr;
                options.announceInterval = std::strtod(optarg, &end);
                if (end == optarg || *end != '\0' || options.announceInterval < 0) {
                    error = "--announce-interval needs a number of seconds";
                    return std::nullopt;
                }
                break;
            }
            case kTtl:
                if (!toInt(optarg, 0, 255, number)) {
                    error = "--announce-ttl needs a number from 0 to 255";
                    return std::nullopt;
                }
                options.announceTtl = static_cast<int>(number);
                break;
            case kInterface:
                options.announceInterface = value;
                break;
            case kAnnounceIp:
                options.announceIp = value;
                break;
            case kNoAnnounce:
                options.announceInterval = 0;
                break;
            case kIdle:
                if (!toInt(optarg, 1, 86400, number)) {
                    error = "--idle-timeout needs a number of seconds";
                    return std::nullopt;
                }
                options.idleTimeoutSeconds = static_cast<int>(number);
                break;
            case kLineTimeout:
                if (!toSeconds(optarg, options.lineTimeoutSeconds)) {
                    error = "--line-timeout needs a number of seconds";
                    return std::nullopt;
                }
                break;
            case kTakeover:
                if (!toSeconds(optarg, options.takeoverSeconds)) {
                    error = "--takeover needs a number of seconds";
                    return std::nullopt;
                }
                break;
            case kMinRate:
                if (!toInt(optarg, 0, 1L << 40, number)) {
                    error = "--min-rate needs a byte count";
                    return std::nullopt;
                }
                options.minFileRate = static_cast<uint64_t>(number);
                break;
            case kMaxLine:
                if (!toInt(optarg, 256, 64L * 1024 * 1024, number)) {
                    error = "--max-line needs a byte count from 256";
                    return std::nullopt;
                }
                options.maxLineBytes = static_cast<std::size_t>(number);
                break;
            case kCommandLog:
                options.commandLog = value;
                break;
            case kFault:
                if (!options.fault.parse(value)) {
                    error = "--fault needs KIND:COMMAND[:ARG], see --help";
                    return std::nullopt;
                }
                break;
            case kFaultAt:
                if (!toInt(optarg, 1, 1000000, number)) {
                    error = "--fault-at needs a number from 1";
                    return std::nullopt;
                }
                options.fault.setOccurrence(static_cast<int>(number));
                break;
            case kHelp:
                error.clear();
                answer = help();
                return std::nullopt;
            case kVersion:
                error.clear();
                answer = version();
                return std::nullopt;
            default:
                error = std::string("unknown or incomplete option ") + argv[optind - 1];
                return std::nullopt;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected argument ") + argv[optind];
        return std::nullopt;
    }
    if (options.root.empty()) {
        error = "--root DIR is required";
        return std::nullopt;
    }
    return options;
}
