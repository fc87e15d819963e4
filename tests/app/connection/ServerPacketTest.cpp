#include "connection/ServerPacket.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A packet as one text ("-" for an absent field), so that a case compares all of it.
std::string shown(const std::optional<ServerPacket>& packet) {
    if (!packet) return "dropped";
    const auto field = [](const std::optional<QString>& value) {
        return value ? value->toStdString() : std::string("-");
    };
    return field(packet->host) + " " + field(packet->port) + " " + field(packet->product);
}

TEST(ServerPacketTest, ReadsAnnouncementsAndDropsTheRest) {
    const struct {
        std::string datagram;
        const char* packet;
    } cases[] = {
        {R"({"ip":"10.0.0.2","port":5000,"product":"Phone"})", "10.0.0.2 5000 Phone"},
        {R"({"product":"Björk's Phone","ip":"fe80::1","port":1})", "fe80::1 1 Björk's Phone"},
        // Missing members leave their fields absent; unknown members do not matter.
        {R"({"product":"Phone"})", "- - Phone"},
        {R"({"ip":"10.0.0.2"})", "10.0.0.2 - -"},
        {R"({"port":5000,"os":"Android","version":3})", "- 5000 -"},
        {"{}", "- - -"},
        {R"({"ip":"","port":0,"product":""})", " 0 "},
        {R"({"ip":"10.0.0.2","port":65535})", "10.0.0.2 65535 -"},
        // After the object anything may follow: a datagram padded with zeros, say.
        {std::string(R"({"ip":"10.0.0.2","port":5000})") + std::string(8, '\0'), "10.0.0.2 5000 -"},

        // Ports out of range or not whole numbers.
        {R"({"ip":"10.0.0.2","port":65536})", "dropped"},
        {R"({"ip":"10.0.0.2","port":-1})", "dropped"},
        {R"({"ip":"10.0.0.2","port":18446744073709551615})", "dropped"},
        {R"({"ip":"10.0.0.2","port":1e300})", "dropped"},
        {R"({"ip":"10.0.0.2","port":5000.5})", "dropped"},
        // Members of other types.
        {R"({"ip":"10.0.0.2","port":"5000"})", "dropped"},
        {R"({"ip":"10.0.0.2","port":true})", "dropped"},
        {R"({"ip":"10.0.0.2","port":null})", "dropped"},
        {R"({"ip":"10.0.0.2","port":[5000]})", "dropped"},
        {R"({"ip":5,"port":5000})", "dropped"},
        {R"({"ip":null,"port":5000})", "dropped"},
        {R"({"ip":["10.0.0.2"],"port":5000})", "dropped"},
        {R"({"ip":"10.0.0.2","port":5000,"product":7})", "dropped"},
        {R"({"ip":"10.0.0.2","port":5000,"product":{"name":"Phone"}})", "dropped"},
        // Not an object, not JSON, nothing at all, or nested past any announcement.
        {"[1,2]", "dropped"},
        {R"("10.0.0.2:5000")", "dropped"},
        {"5000", "dropped"},
        {"null", "dropped"},
        {"not json", "dropped"},
        {R"({"ip":"10.0.0.2","port":5000)", "dropped"},
        {"", "dropped"},
        {std::string(1001, '['), "dropped"},
        {std::string(1001, '{'), "dropped"},
        {R"({"ip":"10.0.0.2","port":5000,"extra":)" + std::string(100, '[') +
             std::string(100, ']') + "}",
         "dropped"},
    };
    for (const auto& c : cases) {
        std::optional<ServerPacket> packet;
        ASSERT_NO_THROW(packet = ServerPacket::fromDatagram(c.datagram.data(), c.datagram.size()))
            << c.datagram.substr(0, 40);
        EXPECT_EQ(shown(packet), c.packet) << c.datagram.substr(0, 40);
    }
}

TEST(ServerPacketTest, TheSameDeviceIsTheSameHostAndPort) {
    const auto packet = [](const char* datagram) {
        return *ServerPacket::fromDatagram(datagram, std::char_traits<char>::length(datagram));
    };
    const ServerPacket phone = packet(R"({"ip":"10.0.0.2","port":5000,"product":"Phone"})");
    const struct {
        const char* datagram;
        bool same;
    } cases[] = {
        {R"({"ip":"10.0.0.2","port":5000,"product":"Phone"})", true},
        {R"({"ip":"10.0.0.2","port":5000,"product":"Renamed"})", true},
        {R"({"ip":"10.0.0.2","port":5000})", true},
        {R"({"ip":"10.0.0.2","port":5001,"product":"Phone"})", false},
        {R"({"ip":"10.0.0.3","port":5000,"product":"Phone"})", false},
        {R"({"ip":"10.0.0.2","product":"Phone"})", false},
        {R"({"port":5000,"product":"Phone"})", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(phone.isEqual(packet(c.datagram)), c.same) << c.datagram;
        EXPECT_EQ(packet(c.datagram).isEqual(phone), c.same) << c.datagram;
    }
    EXPECT_EQ(phone.description(), QStringLiteral("Phone"));
    EXPECT_EQ(packet(R"({"ip":"10.0.0.2"})").description(), QString());
}

}  // namespace
