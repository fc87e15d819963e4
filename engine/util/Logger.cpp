#include "util/Logger.h"

#include <syslog.h>

#include <cstdio>

void Logger::log(const std::string& tag, const std::string& message) {
    // One write per line so that lines from two threads do not interleave.
    const std::string line = tag + " : " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    syslog(LOG_ERR, "%s : %s", tag.c_str(), message.c_str());
}
