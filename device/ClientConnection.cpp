#include "ClientConnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {
constexpr std::size_t kBufferBytes = 256 * 1024;
}

ClientConnection::ClientConnection(int fd, int idleSeconds) : fd(fd) {
    timeval idle{idleSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &idle, sizeof idle);
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

ClientConnection::~ClientConnection() {
    ::close(fd);
}

void ClientConnection::shutdown() {
    ::shutdown(fd, SHUT_RDWR);
}

ClientConnection::Read ClientConnection::fill() {
    if (start > 0) {
        buffer.erase(0, start);
        start = 0;
    }
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t got = ::recv(fd, chunk, std::min(sizeof chunk, kBufferBytes), 0);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Read::Failed;
        if (got == 0) return Read::Closed;
        // Acknowledge at once: the client waits for our reply after its last bytes, and a
        // delayed acknowledgement would hold its final segment back.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        buffer.append(chunk, static_cast<std::size_t>(got));
        return Read::Ok;
    }
}

ClientConnection::Read ClientConnection::readLine(std::string& line, std::size_t maxBytes) {
    std::size_t scanned = start;
    for (;;) {
        const std::size_t end = buffer.find('\n', scanned);
        if (end != std::string::npos && end - start < maxBytes) {
            line.assign(buffer, start, end + 1 - start);
            start = end + 1;
            return Read::Ok;
        }
        if (buffer.size() - start >= maxBytes) return Read::TooLong;
        scanned = buffer.size();
        const std::size_t before = start;
        const Read result = fill();
        if (result != Read::Ok) return result;
        scanned -= before;  // fill() moved the unread bytes to the front
    }
}

ClientConnection::Read ClientConnection::readBytes(
    uint64_t count, const std::function<void(const char*, std::size_t)>& sink) {
    while (count > 0) {
        if (start == buffer.size()) {
            const Read result = fill();
            if (result != Read::Ok) return result;
        }
        const std::size_t take =
            static_cast<std::size_t>(std::min<uint64_t>(count, buffer.size() - start));
        sink(buffer.data() + start, take);
        start += take;
        count -= take;
    }
    return Read::Ok;
}

bool ClientConnection::sendLine(const std::string& line) {
    const std::string bytes = line + "\n";
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}
