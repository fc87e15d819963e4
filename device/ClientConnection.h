// The server's side of one client connection: buffered reads of command lines and raw file
// bytes, and reply lines, every wait bounded in time so that no client can hold the server.
// Owns the socket. Used by one thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "UniqueFd.h"

class ClientConnection {
  public:
    using Clock = std::chrono::steady_clock;

    enum class Read {
        Ok,
        Closed,      // the client closed its end
        TooLong,     // no line end within the byte limit
        Failed,      // a socket error
        TimedOut,    // a time limit passed (see Limits)
        Stopped,     // the server is stopping
        Superseded,  // another client takes the slot from this silent one
    };

    struct Limits {
        // No byte either way for this long ends the client.
        Clock::duration idle = std::chrono::seconds(120);
        // A command line must be complete this long after its first byte. Also the grace
        // before minFileRate applies.
        Clock::duration line = std::chrono::seconds(10);
        // A client that has been silent (no byte either way) this long gives way to a new one.
        Clock::duration takeover = std::chrono::seconds(5);
        // A file's bytes must arrive at least this fast on average (bytes per second), counting
        // only the time spent waiting for them; 0 for no minimum.
        uint64_t minFileRate = 1024;
    };

    // Takes ownership of fd. A readable stopFd ends every wait (Stopped). A readable rivalFd
    // (the listening socket; -1 for none) ends a wait once this client has been silent for
    // limits.takeover (Superseded). Neither fd is owned.
    ClientConnection(int fd, Limits limits, int stopFd, int rivalFd = -1);
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Reads one line, LF included, of at most maxBytes.
    Read readLine(std::string& line, std::size_t maxBytes);
    // Reads exactly count bytes, handing them to sink in pieces; stops early when the client
    // goes, falls below the minimum rate or is stopped or superseded.
    Read readBytes(uint64_t count, const std::function<void(const char*, std::size_t)>& sink);
    // Sends the line followed by LF; false when the client is gone or does not take it in time.
    bool sendLine(const std::string& line);
    // Waits until the time given or until the server stops; false when it stops.
    bool pauseUntil(Clock::time_point until) const;

  private:
    // Waits until the socket is ready for events; Ok when it is.
    Read wait(short events, Clock::time_point deadline);
    // Refills the buffer; Ok when at least one byte arrived.
    Read fill(Clock::time_point deadline);
    // Asks the kernel to wake the server only once this many bytes are waiting (at least 1).
    void wakeAfter(std::size_t bytes);

    UniqueFd fd;
    Limits limits;
    int stopFd;
    int rivalFd;
    std::string buffer;
    std::size_t start = 0;
    std::size_t wakeBytes = 1;  // the socket's receive low-water mark
    Clock::time_point lastActivity;  // the last byte received or sent
    Clock::time_point unreadSince;   // when the oldest unread byte in buffer arrived
};
