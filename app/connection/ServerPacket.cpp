#include "connection/ServerPacket.h"

#include "util/JsonInput.h"

std::optional<ServerPacket> ServerPacket::fromDatagram(const char* bytes, std::size_t length) {
    const std::optional<Json::Value> parsed = JsonInput::parse(std::string_view(bytes, length));
    if (!parsed || !parsed->isObject()) return std::nullopt;
    const Json::Value& message = *parsed;
    ServerPacket packet;
    if (message.isMember("ip")) {
        if (!message["ip"].isString()) return std::nullopt;
        packet.host = QString::fromStdString(message["ip"].asString());
    }
    if (message.isMember("port")) {
        const Json::Value& port = message["port"];
        // isInt64 first: asLargestInt throws for a whole number beyond its range.
        if (!port.isIntegral() || !port.isInt64() || port.asLargestInt() < 0 ||
            port.asLargestInt() > 65535) {
            return std::nullopt;
        }
        packet.port = QString::number(port.asLargestInt());
    }
    if (message.isMember("product")) {
        if (!message["product"].isString()) return std::nullopt;
        packet.product = QString::fromStdString(message["product"].asString());
    }
    return packet;
}
