#include "link/CTcpClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <memory>
#include <system_error>

#include "link/CSockException.h"
#include "util/Logger.h"
#include "util/Utils.h"

namespace mycsocks {

namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

// A time-out from SO_RCVTIMEO or SO_SNDTIMEO shows as EAGAIN; say what it means.
void explainTimeout() {
    if (errno == EAGAIN || errno == EWOULDBLOCK) errno = ETIMEDOUT;
}

}  // namespace

CTcpClient::~CTcpClient() = default;

void CTcpClient::setTimeouts(int connectMs, int idleMs) {
    connectTimeoutMs = connectMs;
    idleTimeoutMs = idleMs;
}

void CTcpClient::logMsg(const std::string& text, const std::string& detail) {
    Logger::log("CTCPClient", text + " : " + detail);
}

void* CTcpClient::get_in_addr(struct sockaddr* address) {
    if (address->sa_family == AF_INET) {
        return &reinterpret_cast<sockaddr_in*>(address)->sin_addr;
    }
    return &reinterpret_cast<sockaddr_in6*>(address)->sin6_addr;
}

bool CTcpClient::connectWithin(int fd, const struct sockaddr* address, socklen_t length) {
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int result = ::connect(fd, address, length);
    if (result != 0 && errno == EINPROGRESS) {
        pollfd waiting{fd, POLLOUT, 0};
        int ready;
        do {
            ready = poll(&waiting, 1, connectTimeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            errno = ETIMEDOUT;
            return false;
        }
        if (ready < 0) return false;
        int error = 0;
        socklen_t size = sizeof error;
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0) {
            errno = error;
            return false;
        }
        result = 0;
    }
    if (result != 0) return false;
    fcntl(fd, F_SETFL, flags);
    return true;
}

void CTcpClient::connectSock(const std::string& host, const std::string& port) {
    Logger::log("CTCPClient", "connectSock() host,port " + host + ":" + port);
    std::signal(SIGPIPE, SIG_IGN);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) {
        const std::string reason = gai_strerror(resolved);
        Logger::log("CTCPClient", "getaddrinfo failed with error:" + reason);
        throw CSockException(reason);
    }
    std::unique_ptr<addrinfo, AddrInfoDeleter> candidates(found);

    addrinfo* connected = nullptr;
    for (addrinfo* candidate = found; candidate != nullptr; candidate = candidate->ai_next) {
        const int fd = ::socket(candidate->ai_family, candidate->ai_socktype | SOCK_CLOEXEC,
                                candidate->ai_protocol);
        if (fd < 0) {
            logMsg("socket() failed with error:", std::generic_category().message(errno));
            continue;
        }
        if (connectWithin(fd, candidate->ai_addr, candidate->ai_addrlen)) {
            socketFd = fd;
            connected = candidate;
            break;
        }
        const int error = errno;
        logMsg("connect() failed with error:", std::generic_category().message(error));
        ::close(fd);
        errno = error;
    }
    if (connected == nullptr) {
        const std::string reason = std::generic_category().message(errno);
        logMsg("failed to connect error", reason);
        throw CSockException(reason);
    }

    // Commands and replies are single short lines: send them at once instead of letting
    // Nagle's algorithm hold them for an acknowledgement.
    const int on = 1;
    setsockopt(socketFd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    timeval idle{idleTimeoutMs / 1000, suseconds_t{idleTimeoutMs % 1000} * 1000};
    setsockopt(socketFd, SOL_SOCKET, SO_RCVTIMEO, &idle, sizeof idle);
    setsockopt(socketFd, SOL_SOCKET, SO_SNDTIMEO, &idle, sizeof idle);

    char text[46] = {};
    inet_ntop(connected->ai_family, get_in_addr(connected->ai_addr), text, sizeof text);
    Logger::log("CTCPClient", std::string("Client connected to ") + text);
}

bool CTcpClient::cancelled() const {
    return cancelFlag != nullptr &&
           std::atomic_ref<int>(*cancelFlag).load(std::memory_order_relaxed) >= 1;
}

void CTcpClient::sendData(const void* bytes, unsigned int length) {
    if (Utils::send_all(socketFd, bytes, length, 0, cancelFlag) == -1) {
        explainTimeout();
        const std::string reason = std::generic_category().message(errno);
        logMsg("send_all() -1", reason);
        throw CSockException(reason);
    }
}

void CTcpClient::sendStr(std::string line) {
    line += "\n";
    sendData(line.data(), static_cast<unsigned int>(line.size()));
}

std::string CTcpClient::receiveLine() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(idleTimeoutMs);
    std::string line;
    while (line.size() < kMaxReplyLineBytes) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd waiting{socketFd, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&waiting, 1, static_cast<int>(left)) : 0;
        if (ready < 0 && errno == EINTR && !cancelled()) continue;
        if (ready <= 0) {
            if (ready == 0) errno = ETIMEDOUT;
            const std::string reason = std::generic_category().message(errno);
            logMsg("recv() returned -1", reason);
            throw CSockException(reason);
        }
        // Peek at what has arrived and take exactly up to the line end: as with one-byte
        // reads, nothing after the terminator is consumed, but a line costs two system calls.
        char peeked[512];
        const std::size_t room = std::min(sizeof peeked, kMaxReplyLineBytes - line.size());
        const ssize_t got = ::recv(socketFd, peeked, room, MSG_PEEK);
        if (got < 0) {
            if (errno == EINTR && !cancelled()) continue;
            explainTimeout();
            const std::string reason = std::generic_category().message(errno);
            logMsg("recv() returned -1", reason);
            throw CSockException(reason);
        }
        if (got == 0) {
            // The peer closed: errno holds no error of this call, so name what happened.
            errno = ECONNRESET;
            const std::string reason = std::generic_category().message(errno);
            logMsg("recv() returned 0", reason);
            throw CSockException(reason);
        }
        const char* end = static_cast<const char*>(std::memchr(peeked, '\n', got));
        const char* cr = static_cast<const char*>(std::memchr(peeked, '\r', got));
        if (cr != nullptr && (end == nullptr || cr < end)) end = cr;
        const std::size_t take = end != nullptr ? static_cast<std::size_t>(end - peeked) + 1
                                                : static_cast<std::size_t>(got);
        // The peeked bytes are already here, so this read returns them at once.
        if (::recv(socketFd, peeked, take, 0) != static_cast<ssize_t>(take)) {
            explainTimeout();
            const std::string reason = std::generic_category().message(errno);
            logMsg("recv() returned -1", reason);
            throw CSockException(reason);
        }
        line.append(peeked, take);
        if (end != nullptr) break;
    }
    return line;
}

void CTcpClient::adoptSocket(int connectedSocket) {
    closeclient();
    socketFd = connectedSocket;
}

void CTcpClient::setCork(bool on) {
    const int value = on ? 1 : 0;
    setsockopt(socketFd, IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

void CTcpClient::closeclient() {
    if (socketFd >= 0) {
        ::close(socketFd);
        socketFd = -1;
    }
}

}  // namespace mycsocks
