#include "ClientConnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;
constexpr std::chrono::milliseconds kLookEvery{100};

// Milliseconds from now until `until` for poll(), rounded up so that a wait never ends early.
int pollTimeout(ClientConnection::Clock::time_point now,
                ClientConnection::Clock::time_point until) {
    if (until <= now) return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(std::min<decltype(left)>(left, decltype(left){60} * 60 * 1000));
}

}  // namespace

ClientConnection::ClientConnection(int socket, Limits limits, int stopFd, int rivalFd)
    : fd(socket), limits(limits), stopFd(stopFd), rivalFd(rivalFd), lastActivity(Clock::now()) {
    const int on = 1;
    setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

ClientConnection::Read ClientConnection::wait(short events, Clock::time_point deadline) {
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return Read::TimedOut;
        // The listening socket is watched only once this client has been silent long enough;
        // until then a newcomer waits in the backlog.
        const Clock::time_point yieldsAt = lastActivity + limits.takeover;
        const bool rivalCounts = rivalFd >= 0 && now >= yieldsAt;
        Clock::time_point until = deadline;
        if (rivalFd >= 0 && !rivalCounts) until = std::min(until, yieldsAt);
        pollfd watched[3] = {{fd.get(), events, 0}, {stopFd, POLLIN, 0}, {rivalFd, POLLIN, 0}};
        const int ready = ::poll(watched, rivalCounts ? 3 : 2, pollTimeout(now, until));
        if (ready < 0 && errno != EINTR) return Read::Failed;
        if (ready <= 0) continue;
        if (watched[1].revents != 0) return Read::Stopped;
        // A client with something to say keeps the slot even when a newcomer is waiting.
        if (watched[0].revents != 0) return Read::Ok;
        if (rivalCounts && (watched[2].revents & POLLIN) != 0) return Read::Superseded;
    }
}

ClientConnection::Read ClientConnection::fill(Clock::time_point deadline) {
    if (start > 0) {
        buffer.erase(0, start);
        start = 0;
    }
    char chunk[kChunkBytes];
    for (;;) {
        // With a raised low-water mark the kernel keeps quiet about fewer bytes than the mark:
        // look now and then anyway, so that a slow client's bytes are taken as they come and
        // count as activity.
        const Clock::time_point until =
            wakeBytes > 1 ? std::min(deadline, Clock::now() + kLookEvery) : deadline;
        const Read ready = wait(POLLIN, until);
        const bool look = wakeBytes > 1 && (ready == Read::TimedOut || ready == Read::Superseded);
        if (ready != Read::Ok && !look) return ready;
        const ssize_t got = ::recv(fd.get(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && look) {
            if (ready == Read::Superseded || Clock::now() >= deadline) return ready;
            continue;
        }
        if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (got < 0) return Read::Failed;
        if (got == 0) return Read::Closed;
        if (wakeBytes == 1) {
            // Acknowledge a command at once: the client waits for our reply after its last
            // bytes, and a delayed acknowledgement would hold its final segment back.
            const int on = 1;
            setsockopt(fd.get(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        }
        lastActivity = Clock::now();
        if (buffer.empty()) unreadSince = lastActivity;
        buffer.append(chunk, static_cast<std::size_t>(got));
        return Read::Ok;
    }
}

ClientConnection::Read ClientConnection::readLine(std::string& line, std::size_t maxBytes) {
    // Bytes already buffered start their line's clock now: the time the server spent handling
    // the previous command is not the client's.
    if (start < buffer.size()) unreadSince = Clock::now();
    std::size_t scanned = start;
    wakeAfter(1);
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
        // Between commands a client may think for up to the idle limit; once a line has begun,
        // it must be finished within the line limit, however slowly its bytes trickle in.
        const Clock::time_point deadline =
            start < buffer.size() ? unreadSince + limits.line : lastActivity + limits.idle;
        const Read result = fill(deadline);
        if (result != Read::Ok) return result;
        scanned -= before;  // fill() moved the unread bytes to the front
    }
}

ClientConnection::Read ClientConnection::readBytes(
    uint64_t count, const std::function<void(const char*, std::size_t)>& sink) {
    Clock::duration waited{};
    uint64_t received = 0;
    while (count > 0) {
        if (start == buffer.size()) {
            Clock::time_point deadline = lastActivity + limits.idle;
            const Clock::time_point began = Clock::now();
            if (limits.minFileRate > 0) {
                // The client has earned the grace plus one second per minFileRate bytes sent.
                const auto earned =
                    limits.line +
                    std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                        static_cast<double>(received) / static_cast<double>(limits.minFileRate)));
                deadline = std::min(deadline, began + (earned - waited));
            }
            // File bytes stream in a packet at a time; waking for each would cost more than
            // the link on a slow machine.
            wakeAfter(static_cast<std::size_t>(std::min<uint64_t>(count, kChunkBytes)));
            const Read result = fill(deadline);
            waited += Clock::now() - began;
            if (result != Read::Ok) return result;
        }
        const std::size_t take =
            static_cast<std::size_t>(std::min<uint64_t>(count, buffer.size() - start));
        sink(buffer.data() + start, take);
        start += take;
        count -= take;
        received += take;
    }
    return Read::Ok;
}

void ClientConnection::wakeAfter(std::size_t bytes) {
    if (bytes > 1) {
        // Linux clamps the receive window to a mark the receive buffer cannot hold twice over:
        // on a fresh connection, whose buffer has not grown yet, that held the client to 64 KiB
        // per round trip for a quarter of a second. A quarter of the buffer is always safe.
        int buffer = 0;
        socklen_t length = sizeof buffer;
        if (getsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &buffer, &length) == 0) {
            bytes = std::min(bytes, std::max<std::size_t>(1, static_cast<std::size_t>(buffer) / 4));
        }
    }
    if (bytes == wakeBytes) return;
    const int mark = static_cast<int>(bytes);
    if (setsockopt(fd.get(), SOL_SOCKET, SO_RCVLOWAT, &mark, sizeof mark) == 0) wakeBytes = bytes;
}

bool ClientConnection::sendLine(const std::string& line) {
    const std::string bytes = line + "\n";
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(fd.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A client that reads nothing fills its window; it is silent like any other.
            if (wait(POLLOUT, lastActivity + limits.idle) != Read::Ok) return false;
            continue;
        }
        if (n <= 0) return false;
        sent += static_cast<std::size_t>(n);
        lastActivity = Clock::now();
    }
    return true;
}

bool ClientConnection::pauseUntil(Clock::time_point until) const {
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= until) return true;
        pollfd watched{stopFd, POLLIN, 0};
        if (::poll(&watched, 1, pollTimeout(now, until)) > 0) return false;
    }
}
