// The server's side of one client connection: buffered reads of command lines and raw file
// bytes, and reply lines. Owns the socket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class ClientConnection {
public:
    enum class Read { Ok, Closed, TooLong, Failed };

    // Takes ownership of fd; reads and writes fail after idleSeconds of silence.
    ClientConnection(int fd, int idleSeconds);
    ~ClientConnection();
    ClientConnection(const ClientConnection&) = delete;
    ClientConnection& operator=(const ClientConnection&) = delete;

    // Reads one line, LF included, of at most maxBytes.
    Read readLine(std::string& line, std::size_t maxBytes);
    // Reads exactly count bytes, handing them to sink in pieces; stops early when the client
    // goes (returns Closed or Failed).
    Read readBytes(uint64_t count, const std::function<void(const char*, std::size_t)>& sink);
    // Sends the line followed by LF; false when the client is gone.
    bool sendLine(const std::string& line);
    // Wakes a blocked read from another thread.
    void shutdown();

private:
    // Refills the buffer; Ok when at least one byte arrived.
    Read fill();

    int fd;
    std::string buffer;
    std::size_t start = 0;
};
