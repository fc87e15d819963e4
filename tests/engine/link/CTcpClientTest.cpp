#include "link/CTcpClient.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <unistd.h>

#include "link/CSockException.h"
#include "support/ScriptedPeer.h"

namespace {

using mycsocks::CSockException;
using mycsocks::CTcpClient;
using testsupport::ScriptedPeer;

TEST(CTcpClientTest, LinesEndAtLfOrCr) {
    ScriptedPeer peer("first\nsecond\r\nlast", true);
    CTcpClient client;
    client.connectSock("127.0.0.1", peer.port());
    client.sendStr("hello");
    EXPECT_EQ(client.receiveLine(), "first\n");
    EXPECT_EQ(client.receiveLine(), "second\r");
    EXPECT_EQ(client.receiveLine(), "\n");
    // The peer closes mid-line: the partial line is lost.
    EXPECT_THROW(client.receiveLine(), CSockException);
    client.closeclient();
    client.closeclient();
    EXPECT_EQ(peer.received(), "hello\n");
}

TEST(CTcpClientTest, IPv6LiteralConnects) {
    ScriptedPeer peer("ok\n", true, true);
    CTcpClient client;
    testing::internal::CaptureStderr();
    client.connectSock("::1", peer.port());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("CTCPClient : Client connected to ::1\n"),
              std::string::npos);
    client.sendStr("hi");
    EXPECT_EQ(client.receiveLine(), "ok\n");
    client.closeclient();
}

TEST(CTcpClientTest, FailuresCarryTheSystemText) {
    // A port nobody listens on: bind one, close it, connect to it.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string port = std::to_string(ntohs(address.sin_port));
    ::close(fd);

    CTcpClient client;
    testing::internal::CaptureStderr();
    try {
        client.connectSock("127.0.0.1", port);
        FAIL() << "connect must fail";
    } catch (const CSockException& error) {
        EXPECT_STREQ(error.what(), "Connection refused");
    }
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("CTCPClient : connect() failed with error: : Connection refused"),
              std::string::npos);
    EXPECT_NE(log.find("CTCPClient : failed to connect error : Connection refused"),
              std::string::npos);

    try {
        client.connectSock("no-such-host.invalid", "80");
        FAIL() << "resolution must fail";
    } catch (const CSockException& error) {
        EXPECT_NE(std::string(error.what()), "");
    }
}

TEST(CTcpClientTest, SendToClosedPeerFailsWithoutSignal) {
    ScriptedPeer peer("", true);
    CTcpClient client;
    client.connectSock("127.0.0.1", peer.port());
    client.sendStr("line");
    peer.received();
    std::string failure;
    // The first sends may still be buffered; one of the next fails with EPIPE or ECONNRESET.
    const std::string block(64 * 1024, 'x');
    for (int i = 0; i < 64 && failure.empty(); ++i) {
        try {
            client.sendData(block.data(), static_cast<unsigned int>(block.size()));
        } catch (const CSockException& error) {
            failure = error.what();
        }
    }
    EXPECT_TRUE(failure == "Broken pipe" || failure == "Connection reset by peer") << failure;
    client.closeclient();
}

TEST(CTcpClientTest, SilentOrTricklingPeerTimesOut) {
    using std::chrono::milliseconds;
    // The idle limit holds for the whole line: a byte now and then does not extend it.
    for (const milliseconds gap : {milliseconds(0), milliseconds(40)}) {
        ScriptedPeer peer(gap.count() == 0 ? "" : "{\"response\":\"ok\",\"pad\":\"xxxxxxxxxx\"}\n",
                          false, false, gap);
        CTcpClient client;
        client.setTimeouts(1000, 200);
        client.connectSock("127.0.0.1", peer.port());
        client.sendStr("anyone?");
        try {
            const std::string line = client.receiveLine();
            ADD_FAILURE() << "a peer that takes longer than the limit must time out: " << line;
        } catch (const CSockException& error) {
            EXPECT_STREQ(error.what(), "Connection timed out") << gap.count();
        }
        client.closeclient();
    }
}

TEST(CTcpClientTest, EndlessLineIsCut) {
    ScriptedPeer peer(std::string(mycsocks::kMaxReplyLineBytes + 10, 'x'), true);
    CTcpClient client;
    client.connectSock("127.0.0.1", peer.port());
    client.sendStr("go");
    const std::string line = client.receiveLine();
    EXPECT_EQ(line.size(), mycsocks::kMaxReplyLineBytes);
    EXPECT_EQ(line.back(), 'x');
    client.closeclient();
}

}  // namespace
