#include "connection/DiscoveryReceiver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace {
constexpr int kPort = 4446;
constexpr const char* kGroup = "230.0.0.1";

ip_mreq membership() {
    ip_mreq group{};
    group.imr_multiaddr.s_addr = inet_addr(kGroup);
    group.imr_interface.s_addr = htonl(INADDR_ANY);
    return group;
}
}  // namespace

DiscoveryReceiver::DiscoveryReceiver(Handler handler) : handler(std::move(handler)) {
    // The socket is made here, on the caller's thread, so that the destructor always sees it.
    sd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    thread = std::thread([this] { loop(); });
}

DiscoveryReceiver::~DiscoveryReceiver() {
    stopping = true;
    if (sd >= 0) {
        const ip_mreq group = membership();
        setsockopt(sd, IPPROTO_IP, IP_DROP_MEMBERSHIP, &group, sizeof group);
        // Closing alone does not wake a read blocked in another thread; shutting down does.
        ::shutdown(sd, SHUT_RDWR);
    }
    thread.join();
    if (sd >= 0) ::close(sd);
}

void DiscoveryReceiver::loop() {
    struct Done {
        std::atomic<bool>& running;
        ~Done() { running = false; }
    } done{running};
    if (sd < 0) {
        std::perror("opening datagram socket");
        return;
    }
    const int on = 1;
    if (setsockopt(sd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) < 0) {
        std::perror("setting SO_REUSEADDR");
        return;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kPort);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(sd, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        std::perror("binding datagram socket");
        return;
    }
    const ip_mreq group = membership();
    if (setsockopt(sd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) < 0) {
        std::perror("adding multicast group");
        return;
    }
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::read(sd, buffer, sizeof buffer - 1);
        if (got <= 0 || stopping) break;
        buffer[got] = '\0';
        if (const std::optional<ServerPacket> packet =
                ServerPacket::fromDatagram(buffer, static_cast<std::size_t>(got))) {
            handler(*packet);
        }
    }
    if (!stopping) std::perror("reading datagram message");
}
