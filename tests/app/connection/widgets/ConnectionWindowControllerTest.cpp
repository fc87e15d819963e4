#include "connection/widgets/ConnectionWindowController.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

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
    } cases[] = {{"192.168.1.20", true}, {"::1", true}, {"fe80::1", true},    {"10.0.0", false},
                 {"phone.local", false}, {"", false},   {"256.1.1.1", false}, {" 10.0.0.1", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(ConnectionWindowController::validateIP(QString::fromUtf8(c.address)), c.valid)
            << c.address;
    }
    EXPECT_FALSE(ConnectionWindowController::validateIP(QString()));
}

// A TCP port that takes connections into its backlog and never answers: an attempt to it
// waits for the handshake's reply until the port closes, which resets the connections.
class SilentPort {
  public:
    SilentPort() {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 8);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        number = ntohs(address.sin_port);
    }
    ~SilentPort() { close(); }
    void close() {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    std::string port() const { return std::to_string(number); }

  private:
    int fd = -1;
    int number = 0;
};

class ConnectionDialogTest : public testing::Test {
  protected:
    ConnectionDialogTest() : dialog(&window) {
        QSettings().clear();
        window.show();
    }

    QPushButton* button(const QString& text) {
        for (QPushButton* candidate : dialog.window()->findChildren<QPushButton*>()) {
            if (candidate->text() == text && candidate->isVisible()) return candidate;
        }
        return nullptr;
    }

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

TEST_F(ConnectionDialogTest, CancelAbandonAndASecondConnectNeverBlockTheWindow) {
    DeviceOptions options;
    options.deviceName = "Quick";
    DeviceFixture quick(options);
    SilentPort stalled;
    dialog.showConnWindow([this](int) { ++ended; });
    QString finished;
    QObject::connect(&dialog, &ConnectionWindowController::attemptFinished,
                     [&](const QString& code) { finished = code; });
    QStringList ignored;
    QObject::connect(&dialog, &ConnectionWindowController::abandonedAnswerIgnored,
                     [&](const QString& code) { ignored << code; });

    // Connecting has a way out: Cancel (and Escape) go back to the form while the attempt
    // still hangs.
    const struct {
        const char* what;
        std::function<void()> leave;
    } ways[] = {
        {"Cancel", [&] { button(QStringLiteral("&Cancel"))->click(); }},
        {"Escape",
         [&] {
             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QApplication::sendEvent(dialog.window(), &escape);
         }},
    };
    for (const auto& way : ways) {
        dialog.ipInput()->setText(QStringLiteral("127.0.0.1"));
        dialog.portInput()->setText(QString::fromStdString(stalled.port()));
        dialog.connectToDevice();
        ASSERT_EQ(dialog.currentView(), 1) << way.what;
        ASSERT_NE(button(QStringLiteral("&Cancel")), nullptr) << way.what;
        way.leave();
        EXPECT_EQ(dialog.currentView(), 0) << way.what;
        EXPECT_TRUE(dialog.window()->isVisible()) << way.what;
    }

    // A third attempt to the silent port is left running, and a second Connect (to the quick
    // device, typed now) starts at once: the window's thread never waits for the first.
    dialog.connectToDevice();
    ASSERT_EQ(dialog.currentView(), 1);
    dialog.ipInput()->setText(QStringLiteral("127.0.0.1"));
    dialog.portInput()->setText(QString::fromStdString(quick.port()));
    QElapsedTimer clock;
    clock.start();
    dialog.connectToDevice();
    bool ticked = false;
    QTimer::singleShot(0, [&] { ticked = true; });
    EXPECT_TRUE(waitFor([&] { return ticked; }, 2000));
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_TRUE(waitFor([&] { return !finished.isEmpty(); }));
    EXPECT_EQ(finished, QStringLiteral("success"));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(dialog.getServerInfo()->value(QStringLiteral("devicename")), QStringLiteral("Quick"));
    EXPECT_EQ(dialog.getConnectedPort(), QString::fromStdString(quick.port()));

    // The abandoned attempts' late answers (the port closes) are ignored: the dialog stays
    // closed, the quick device stays connected, with the address its attempt started with,
    // though the fields now say something else.
    dialog.portInput()->setText(QStringLiteral("1"));
    stalled.close();
    ASSERT_TRUE(waitFor([&] { return ignored.size() == 3; }));
    EXPECT_NE(ignored.front(), QStringLiteral("success"));
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(dialog.window()->isVisible());
    EXPECT_EQ(dialog.getServerInfo()->value(QStringLiteral("devicename")), QStringLiteral("Quick"));
    EXPECT_EQ(dialog.getConnectedIP(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog.getConnectedPort(), QString::fromStdString(quick.port()));

    // The device connected last is offered the next time, in the fields and in words.
    dialog.ipInput()->clear();
    dialog.portInput()->clear();
    dialog.showConnWindow([this](int) { ++ended; });
    EXPECT_EQ(dialog.ipInput()->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog.portInput()->text(), QString::fromStdString(quick.port()));
    EXPECT_TRUE(dialog.lastDeviceText().contains(QStringLiteral("Quick")));

    // A failure shows the error view, where Enter goes Back.
    std::string closedPort;
    {
        DeviceFixture gone;
        closedPort = gone.port();
    }
    EXPECT_EQ(attempt(QStringLiteral("127.0.0.1"), closedPort), QStringLiteral("error_connect"));
    ASSERT_EQ(dialog.currentView(), 2);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(dialog.window(), &enter);
    EXPECT_EQ(dialog.currentView(), 0);
    dialog.cancelConnectionWindow();
}

TEST_F(ConnectionDialogTest, ListsAnnouncingDevices) {
    if (!testsupport::inPrivateNetwork()) {
        GTEST_SKIP()
            << "joins a multicast group: run in a private network namespace (scripts/test)";
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
    for (const char* junk :
         {"not json at all", "[1,2,3]", "{\"ip\":5,\"port\":\"x\",\"product\":1}"}) {
        ::sendto(fd, junk, std::strlen(junk), 0, reinterpret_cast<sockaddr*>(&group), sizeof group);
    }
    ::close(fd);
    Announcer first("127.0.0.1", 5123, "Kitchen Phone", 0.05, 0, "");
    Announcer second("127.0.0.1", 5124, "Tablet", 0.05, 0, "");
    ASSERT_TRUE(waitFor([&] { return dialog.detected().size() == 2; }));
    waitFor([] { return false; }, 300);  // more announcements arrive; the list stays as it is
    ASSERT_EQ(dialog.detected().size(), 2);
    EXPECT_EQ(dialog.detectedTable()->count(), 2);
    // Each row names the device and its address, so that two of one model can be told apart.
    QStringList rows{dialog.detectedTable()->item(0)->text(),
                     dialog.detectedTable()->item(1)->text()};
    rows.sort();
    EXPECT_EQ(rows, (QStringList{QStringLiteral("Kitchen Phone \u2014 127.0.0.1:5123"),
                                 QStringLiteral("Tablet \u2014 127.0.0.1:5124")}));
    EXPECT_EQ(dialog.instruction(), QLatin1String(ConnectionWindowController::kDetectedMessage));

    const int tablet = dialog.detected()[0].product == QStringLiteral("Tablet") ? 0 : 1;
    dialog.detectedTable()->setCurrentRow(tablet);
    EXPECT_EQ(dialog.ipInput()->text(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(dialog.portInput()->text(), QStringLiteral("5124"));
    // Double-click connects to it (nothing listens there: the error view follows).
    QString code;
    auto done = QObject::connect(&dialog, &ConnectionWindowController::attemptFinished,
                                 [&](const QString& result) { code = result; });
    emit dialog.detectedTable()->itemActivated(dialog.detectedTable()->item(tablet));
    EXPECT_TRUE(waitFor([&] { return !code.isEmpty(); }));
    EXPECT_EQ(code, QStringLiteral("error_connect"));
    QObject::disconnect(done);

    // Shown again, the list starts empty; the devices come back with their next announcement.
    dialog.cancelConnectionWindow();
    dialog.showConnWindow([](int) {});
    EXPECT_TRUE(dialog.detected().isEmpty());
    dialog.startPacketReceiver();
    EXPECT_TRUE(waitFor([&] { return dialog.detected().size() == 2; }));
    dialog.cancelConnectionWindow();
}

}  // namespace
