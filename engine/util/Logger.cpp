#include "util/Logger.h"

#include <sys/stat.h>
#include <syslog.h>

#include <cstdio>
#include <mutex>

namespace {

// Opens the system log once, at the first line, and keeps the connection. Where no log socket
// exists (a container, a minimal system) every call would try to connect again, so the system
// log is then left alone for the life of the process.
bool systemLogOpen() {
    static std::once_flag opened;
    static bool available = false;
    std::call_once(opened, [] {
        struct stat socketInfo {};
        available = ::stat("/dev/log", &socketInfo) == 0 && S_ISSOCK(socketInfo.st_mode);
        if (available) ::openlog(nullptr, LOG_NDELAY, LOG_USER);
    });
    return available;
}

}  // namespace

void Logger::log(const std::string& tag, const std::string& message) {
    // One write per line so that lines from two threads do not interleave.
    const std::string line = tag + " : " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    if (systemLogOpen()) syslog(LOG_ERR, "%s : %s", tag.c_str(), message.c_str());
}
