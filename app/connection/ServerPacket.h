// One device app's announcement: where it listens and the name to show.
#pragma once

#include <QString>
#include <optional>

class ServerPacket {
public:
    std::optional<QString> host;     // "ip" of the announcement
    std::optional<QString> port;     // "port", as decimal text
    std::optional<QString> product;  // "product", the name shown

    // The same device: same host and same port; the product name does not count.
    bool isEqual(const ServerPacket& other) const {
        return host == other.host && port == other.port;
    }
    QString description() const { return product.value_or(QString()); }

    // The announcement in a datagram: a JSON object whose "ip" and "product" are strings and
    // whose "port" is a whole number from 0 to 65535; a missing member leaves its field absent.
    // Anything else (not JSON, not an object, members of other types) gives nothing.
    static std::optional<ServerPacket> fromDatagram(const char* bytes, std::size_t length);
};
