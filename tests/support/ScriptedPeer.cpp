#include "support/ScriptedPeer.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace testsupport {

ScriptedPeer::ScriptedPeer(std::string script, bool closeAfter, bool ipv6,
                           std::chrono::milliseconds gap) {
    listenFd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    sockaddr_in6 address6{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address6.sin6_family = AF_INET6;
    address6.sin6_addr = in6addr_loopback;
    sockaddr* bound =
        ipv6 ? reinterpret_cast<sockaddr*>(&address6) : reinterpret_cast<sockaddr*>(&address);
    socklen_t length = ipv6 ? sizeof address6 : sizeof address;
    if (::bind(listenFd, bound, length) != 0 || ::listen(listenFd, 1) != 0) {
        throw std::runtime_error("cannot listen");
    }
    getsockname(listenFd, bound, &length);
    portNumber = ntohs(ipv6 ? address6.sin6_port : address.sin_port);
    thread = std::thread([this, script, closeAfter, gap] {
        const int fd = ::accept(listenFd, nullptr, nullptr);
        if (fd < 0) return;
        char byte = 0;
        bool sent = false;
        while (::recv(fd, &byte, 1, 0) == 1) {
            got += byte;
            if (byte == '\n' && !sent) {
                sent = true;
                if (gap.count() == 0) {
                    ::send(fd, script.data(), script.size(), MSG_NOSIGNAL);
                } else {
                    for (const char next : script) {
                        if (::send(fd, &next, 1, MSG_NOSIGNAL) != 1) break;
                        std::this_thread::sleep_for(gap);
                    }
                }
                if (closeAfter) break;
            }
        }
        ::close(fd);
    });
}

ScriptedPeer::~ScriptedPeer() {
    ::shutdown(listenFd, SHUT_RDWR);
    if (thread.joinable()) thread.join();
    ::close(listenFd);
}

std::string ScriptedPeer::received() {
    if (thread.joinable()) thread.join();
    return got;
}

}  // namespace testsupport
