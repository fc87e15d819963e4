// The engine's log sink: standard error plus the system log.
#pragma once

#include <string>

class Logger {
public:
    // Writes "tag : message\n" to standard error and the same text to syslog at LOG_ERR.
    // Keeps no state; safe from any thread.
    static void log(const std::string& tag, const std::string& message);
};
