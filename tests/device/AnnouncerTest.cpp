#include "Announcer.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/PrivateNetwork.h"

namespace {

TEST(AnnouncerTest, AnnouncesOnTheGroup) {
    if (!testsupport::inPrivateNetwork()) {
        GTEST_SKIP() << "joins a multicast group: run in a private network namespace (scripts/test)";
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(4446);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ip_mreq group{};
    group.imr_multiaddr.s_addr = inet_addr("230.0.0.1");
    ASSERT_EQ(setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group), 0);
    timeval wait{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);

    EXPECT_EQ(Announcer::outgoingAddress(""), "127.0.0.1");
    Announcer announcer("127.0.0.1", 5123, "Test Phone \xc3\xa9", 0.05, 0, "");
    // Other tests' device servers may announce on the same group: look for ours.
    char buffer[1024];
    int ours = 0;
    for (int datagrams = 0; ours < 3 && datagrams < 100; ++datagrams) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        ASSERT_GT(got, 0);
        Json::Value message;
        Json::CharReaderBuilder builder;
        std::string errors;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        ASSERT_TRUE(reader->parse(buffer, buffer + got, &message, &errors));
        if (message["product"].asString() != "Test Phone \xc3\xa9") continue;
        ++ours;
        EXPECT_EQ(message["ip"].asString(), "127.0.0.1");
        EXPECT_TRUE(message["port"].isInt());
        EXPECT_EQ(message["port"].asInt(), 5123);
    }
    EXPECT_EQ(ours, 3);
    ::close(fd);
}

}  // namespace
