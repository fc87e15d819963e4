#include "ServerPacket.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ServerPacketTest, ReadsAnnouncementsAndDropsTheRest) {
    const struct {
        std::string datagram;
        bool accepted;
        const char* host;
        const char* port;
    } cases[] = {
        {R"({"ip":"10.0.0.2","port":5000,"product":"Phone"})", true, "10.0.0.2", "5000"},
        {R"({"product":"Phone"})", true, nullptr, nullptr},
        {R"({"ip":"10.0.0.2","port":"5000"})", false, nullptr, nullptr},
        {R"({"ip":"10.0.0.2","port":65536})", false, nullptr, nullptr},
        {R"({"ip":"10.0.0.2","port":-1})", false, nullptr, nullptr},
        {R"({"ip":"10.0.0.2","port":18446744073709551615})", false, nullptr, nullptr},
        {R"({"ip":"10.0.0.2","port":1e300})", false, nullptr, nullptr},
        {R"({"ip":5,"port":5000})", false, nullptr, nullptr},
        {"[1,2]", false, nullptr, nullptr},
        {"not json", false, nullptr, nullptr},
        {std::string(1001, '['), false, nullptr, nullptr},
        {std::string(1001, '{'), false, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::optional<ServerPacket> packet;
        ASSERT_NO_THROW(packet = ServerPacket::fromDatagram(c.datagram.data(), c.datagram.size()))
            << c.datagram.substr(0, 40);
        ASSERT_EQ(packet.has_value(), c.accepted) << c.datagram.substr(0, 40);
        if (!c.accepted) continue;
        EXPECT_EQ(packet->host, c.host != nullptr ? std::optional<QString>(c.host) : std::nullopt);
        EXPECT_EQ(packet->port, c.port != nullptr ? std::optional<QString>(c.port) : std::nullopt);
    }
}

}  // namespace
