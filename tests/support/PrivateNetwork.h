// Whether this process runs in a network namespace with loopback only, where joining a
// multicast group cannot send anything onto a real network.
#pragma once

#include <fstream>
#include <string>

namespace testsupport {

inline bool inPrivateNetwork() {
    // /proc/net/dev lists the interfaces of this process's own namespace (unlike /sys/class/net,
    // which shows those of the namespace sysfs was mounted in).
    std::ifstream devices("/proc/net/dev");
    std::string line;
    bool any = false;
    while (std::getline(devices, line)) {
        const std::string::size_type colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = line.substr(line.find_first_not_of(' '),
                                             colon - line.find_first_not_of(' '));
        if (name != "lo") return false;
        any = true;
    }
    return any;
}

}  // namespace testsupport
