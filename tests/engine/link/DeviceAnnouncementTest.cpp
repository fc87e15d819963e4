#include "link/DeviceAnnouncement.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// An announcement as one text ("-" for an absent field), so that a case compares all of it.
std::string shown(const std::optional<DeviceAnnouncement>& announcement) {
    if (!announcement) return "dropped";
    const auto port = announcement->port;
    return announcement->host.value_or("-") + " " + (port ? std::to_string(*port) : "-") + " " +
           announcement->product.value_or("-");
}

TEST(DeviceAnnouncementTest, ReadsAnnouncementsAndDropsTheRest) {
    const struct {
        std::string datagram;
        const char* announcement;
    } cases[] = {
        {R"({"ip":"10.0.0.2","port":5000,"product":"Phone"})", "10.0.0.2 5000 Phone"},
        {R"({"product":"Bj\u00f6rk's Phone","ip":"fe80::1","port":1})",
         "fe80::1 1 Bj\xc3\xb6rk's Phone"},
        {R"({"port":5000,"os":"Android","version":3})", "- 5000 -"},
        {"{}", "- - -"},
        {R"({"ip":"","port":0,"product":""})", " 0 "},
        {R"({"ip":"10.0.0.2","port":65535})", "10.0.0.2 65535 -"},
        {std::string(R"({"ip":"10.0.0.2","port":5000})") + std::string(8, '\0'), "10.0.0.2 5000 -"},

        {R"({"ip":"10.0.0.2","port":65536})", "dropped"},
        {R"({"ip":"10.0.0.2","port":-1})", "dropped"},
        {R"({"ip":"10.0.0.2","port":18446744073709551615})", "dropped"},
        {R"({"ip":"10.0.0.2","port":5000.5})", "dropped"},
        {R"({"ip":"10.0.0.2","port":"5000"})", "dropped"},
        {R"({"ip":5,"port":5000})", "dropped"},
        {R"({"ip":"10.0.0.2","product":null})", "dropped"},
        {"[1,2]", "dropped"},
        {"not json", "dropped"},
        {"", "dropped"},
        {std::string(1001, '{'), "dropped"},
    };
    for (const auto& c : cases) {
        std::optional<DeviceAnnouncement> announcement;
        ASSERT_NO_THROW(announcement = DeviceAnnouncement::fromDatagram(c.datagram))
            << c.datagram.substr(0, 40);
        EXPECT_EQ(shown(announcement), c.announcement) << c.datagram.substr(0, 40);
    }
}

}  // namespace
