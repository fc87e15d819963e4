// What a device app announces on the network for discovery: where it listens and the name to
// show. Datagrams come from anyone on the network, so reading one never throws and bounds the
// nesting it accepts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "quillory_export.h"

class QUILLORY_EXPORT DeviceAnnouncement {
  public:
    std::optional<std::string> host;     // "ip"
    std::optional<std::uint16_t> port;   // "port"
    std::optional<std::string> product;  // "product", the name shown

    // The announcement in a datagram: a JSON object whose "ip" and "product" are strings and
    // whose "port" is a whole number from 0 to 65535; a missing member leaves its field absent,
    // other members and whatever follows the object (padding, say) do not matter. Anything
    // else (not JSON, not an object, one of those members of another type, nested deeper than
    // any announcement) gives nothing. Never throws; safe from any thread.
    static std::optional<DeviceAnnouncement> fromDatagram(std::string_view datagram);
};
