#include "ServerPacket.h"

#include <json/json.h>

#include <memory>

std::optional<ServerPacket> ServerPacket::fromDatagram(const char* bytes, std::size_t length) {
    Json::CharReaderBuilder builder;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value message;
    std::string errors;
    if (!reader->parse(bytes, bytes + length, &message, &errors) || !message.isObject()) {
        return std::nullopt;
    }
    ServerPacket packet;
    if (message.isMember("ip")) {
        if (!message["ip"].isString()) return std::nullopt;
        packet.host = QString::fromStdString(message["ip"].asString());
    }
    if (message.isMember("port")) {
        const Json::Value& port = message["port"];
        if (!port.isIntegral() || port.asLargestInt() < 0 || port.asLargestInt() > 65535) {
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
