#include "Announcer.h"

#include <arpa/inet.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>

namespace {
constexpr const char* kGroup = "230.0.0.1";
constexpr int kGroupPort = 4446;

sockaddr_in groupAddress() {
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(kGroupPort);
    inet_pton(AF_INET, kGroup, &group.sin_addr);
    return group;
}
}  // namespace

std::string Announcer::outgoingAddress(const std::string& interfaceAddress) {
    if (!interfaceAddress.empty()) return interfaceAddress;
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0) return "127.0.0.1";
    // Connecting a datagram socket sends nothing; it only picks the route and source address.
    const sockaddr_in group = groupAddress();
    std::string result = "127.0.0.1";
    sockaddr_in local{};
    socklen_t length = sizeof local;
    char text[INET_ADDRSTRLEN] = {};
    if (::connect(probe, reinterpret_cast<const sockaddr*>(&group), sizeof group) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&local), &length) == 0 &&
        local.sin_addr.s_addr != htonl(INADDR_ANY) &&
        inet_ntop(AF_INET, &local.sin_addr, text, sizeof text) != nullptr) {
        result = text;
    }
    ::close(probe);
    return result;
}

Announcer::Announcer(const std::string& ip, int port, const std::string& product, double intervalSeconds,
                     int ttl, const std::string& interfaceAddress) {
    Json::Value members(Json::objectValue);
    members["ip"] = ip;
    members["port"] = port;
    members["product"] = product;
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    datagram = Json::writeString(builder, members);

    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error(std::string("socket: ") + std::generic_category().message(errno));
    const unsigned char hops = static_cast<unsigned char>(ttl);
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops);
    if (!interfaceAddress.empty()) {
        in_addr outgoing{};
        if (inet_pton(AF_INET, interfaceAddress.c_str(), &outgoing) != 1 ||
            setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &outgoing, sizeof outgoing) != 0) {
            ::close(fd);
            throw std::runtime_error("cannot announce on interface " + interfaceAddress);
        }
    }
    thread = std::thread([this, intervalSeconds] { loop(intervalSeconds); });
}

Announcer::~Announcer() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
    ::close(fd);
}

void Announcer::loop(double intervalSeconds) {
    const sockaddr_in group = groupAddress();
    const auto interval = std::chrono::duration<double>(intervalSeconds);
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        // A failed send (no route yet, say) is retried at the next interval.
        ::sendto(fd, datagram.data(), datagram.size(), 0,
                 reinterpret_cast<const sockaddr*>(&group), sizeof group);
        wake.wait_for(lock, interval, [this] { return stopping; });
    }
}
