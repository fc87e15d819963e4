#include "link/DeviceAnnouncement.h"

#include <json/value.h>

#include "util/JsonInput.h"

std::optional<DeviceAnnouncement> DeviceAnnouncement::fromDatagram(std::string_view datagram) {
    const std::optional<Json::Value> parsed = JsonInput::parse(datagram);
    if (!parsed || !parsed->isObject()) return std::nullopt;
    const Json::Value& message = *parsed;
    DeviceAnnouncement announcement;
    if (message.isMember("ip")) {
        if (!message["ip"].isString()) return std::nullopt;
        announcement.host = message["ip"].asString();
    }
    if (message.isMember("port")) {
        const Json::Value& port = message["port"];
        // isInt64 first: asLargestInt throws for a whole number beyond its range.
        if (!port.isIntegral() || !port.isInt64() || port.asLargestInt() < 0 ||
            port.asLargestInt() > 65535) {
            return std::nullopt;
        }
        announcement.port = static_cast<std::uint16_t>(port.asLargestInt());
    }
    if (message.isMember("product")) {
        if (!message["product"].isString()) return std::nullopt;
        announcement.product = message["product"].asString();
    }
    return announcement;
}
