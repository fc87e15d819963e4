#include "connection/ServerPacket.h"

#include <string_view>

#include "link/DeviceAnnouncement.h"

std::optional<ServerPacket> ServerPacket::fromDatagram(const char* bytes, std::size_t length) {
    const std::optional<DeviceAnnouncement> announcement =
        DeviceAnnouncement::fromDatagram(std::string_view(bytes, length));
    if (!announcement) return std::nullopt;
    ServerPacket packet;
    if (announcement->host) packet.host = QString::fromStdString(*announcement->host);
    if (announcement->port) packet.port = QString::number(*announcement->port);
    if (announcement->product) packet.product = QString::fromStdString(*announcement->product);
    return packet;
}
