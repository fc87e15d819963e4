#include "ConnectionWindowController.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>

#include "Announcer.h"
#include "support/DeviceFixture.h"
#include "support/PrivateNetwork.h"
#include "support/WaitFor.h"

namespace {

using testsupport::DeviceFixture;
using testsupport::waitFor;

TEST(ConnectionWindowControllerTest, AddressCheck) {
    const struct {
        const char* address;
        bool valid;
    } cases[] = {{"192.168.1.20", true}, {"::1", true},           {"fe80::1", true},
                 {"10.0.0", false},      {"phone.local", false},  {"", false},
                 {"256.1.1.1", false},   {" 10.0.0.1", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(ConnectionWindowController::validateIP(QString::fromUtf8(c.address)), c.valid)
            << c.address;
    }
    EXPECT_FALSE(ConnectionWindowController::validateIP(QString()));
}

class ConnectionDialogTest : public testing::Test {
protected:
    ConnectionDialogTest() : dialog(&window) { window.show(); }

    QString attempt(const QString& ip, const std::string& port) {
        dialog.ipInput()->setText(ip);
        dialog.portInput()->setText(QString::fromStdString(port));
        QString code;
        auto done = QObject::connect(&dialog, &ConnectionWindowController::attemptFinished,
                                     [&](const QString& result) { code = result; });
        dialog.connectToDevice();
        EXPECT_TRUE(waitFor([&] { return !code.isEmpty(); }));
        QObject::disconnect(done);
        return code;
    }

    QMainWindow window;
    ConnectionWindowController dialog;
    int ended = 0;
};

TEST_F(ConnectionDialogTest, ConnectRefuseAndHostName) {
    DeviceOptions options;
    options.deviceName = "Pixel";
    DeviceFixture device(options);
    dialog.showConnWindow([this](int) { ++ended; });
    EXPECT_EQ(dialog.instruction(), QLatin1String(ConnectionWindowController::kTypeMessage));

    EXPECT_EQ(attempt(QStringLiteral("127.0.0.1"), device.port()), QStringLiteral("success"));
    EXPECT_EQ(ended, 1);
    ASSERT_TRUE(dialog.getServerInfo());
    EXPECT_EQ(dialog.getServerInfo()->value(QStringLiteral("devicename")), QStringLiteral("Pixel"));
    EXPECT_EQ(dialog.getServerInfo()->value(QStringLiteral("response")), QStringLiteral("ok"));
    EXPECT_EQ(dialog.getConnectedIP(), QStringLiteral("127.0.0.1"));

    // A refused port: the error view shows the engine's message, and no server info is left,
    // though the earlier attempt had succeeded.
    std::string closedPort;
    {
        DeviceFixture gone;
        closedPort = gone.port();
    }
    dialog.showConnWindow([this](int) { ++ended; });
    EXPECT_EQ(attempt(QStringLiteral("127.0.0.1"), closedPort), QStringLiteral("error_connect"));
    EXPECT_EQ(dialog.currentView(), 2);
    EXPECT_EQ(dialog.errorText(), QStringLiteral("Connection refused"));
    EXPECT_FALSE(dialog.getServerInfo());
    EXPECT_EQ(dialog.getConnectedPort(), QString::fromStdString(device.port()));
    dialog.showInputForm();
    EXPECT_EQ(dialog.currentView(), 0);

    // A host name is not an address: the alert, and no attempt.
    QString rejected;
    QObject::connect(&dialog, &ConnectionWindowController::addressRejected,
                     [&](const QString& message) { rejected = message; });
    dialog.ipInput()->setText(QStringLiteral("phone.local"));
    dialog.connectToDevice();
    EXPECT_EQ(rejected, QStringLiteral("The IP address phone.local is incorrect. A correct IP "
                                       "address is composed of four numbers seperated by dots"));
    EXPECT_EQ(dialog.currentView(), 0);
    dialog.cancelConnectionWindow();
    EXPECT_EQ(ended, 2);
    EXPECT_FALSE(dialog.window()->isVisible());
}

TEST_F(ConnectionDialogTest, ListsAnnouncingDevices) {
    if (!testsupport::inPrivateNetwork()) {
        GTEST_SKIP() << "joins a multicast group: run in a private network namespace (scripts/test)";
    }
    dialog.showConnWindow([](int) {});
    dialog.startPacketReceiver();
    // A datagram that is not JSON, and one of the wrong types, go first; then two ports of one
    // host, announcing many times.
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    const unsigned char ttl = 0;
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_port = htons(4446);
    group.sin_addr.s_addr = inet_addr("230.0.0.1");
    for (const char* junk : {"not json at all", "[1,2,3]", "{\"ip\":5,\"port\":\"x\",\"product\":1}"}) {
        ::sendto(fd, junk, std::strlen(junk), 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    }
    ::close(fd);
    Announcer first("127.0.0.1", 5123, "Kitchen Phone", 0.05, 0, "");
    Announcer second("127.0.0.1", 5124, "Tablet", 0.05, 0, "");
    ASSERT_TRUE(waitFor([&] { return dialog.detected().size() == 2; }));
    waitFor([] { return false; }, 300);  // more announcements arrive; the list stays as it is
    ASSERT_EQ(dialog.detected().size(), 2);
    EXPECT_EQ(dialog.detectedTable()->count(), 2);
    EXPECT_EQ(dialog.instruction(), QLatin1String(ConnectionWindowController::kDetectedMessage));

    const int tablet = dialog.detected()[0].product == QStringLiteral("Tablet") ? 0 : 1;
    dialog.detectedTable()->setCurrentRow(tablet);
    EXPECT_EQ(dialog.ipInput()->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog.portInput()->text(), QStringLiteral("5124"));

    // Shown again, the list starts empty; the devices come back with their next announcement.
    dialog.cancelConnectionWindow();
    dialog.showConnWindow([](int) {});
    EXPECT_TRUE(dialog.detected().isEmpty());
    dialog.startPacketReceiver();
    EXPECT_TRUE(waitFor([&] { return dialog.detected().size() == 2; }));
    dialog.cancelConnectionWindow();
}

}  // namespace
