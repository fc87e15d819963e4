// Announcement datagrams as the connection dialog receives them.
#include <cstddef>
#include <cstdint>

#include "connection/ServerPacket.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The receiver reads at most 1023 bytes of a datagram.
    if (size > 1023) size = 1023;
    const std::optional<ServerPacket> packet =
        ServerPacket::fromDatagram(reinterpret_cast<const char*>(data), size);
    if (packet) (void)packet->description();
    return 0;
}
