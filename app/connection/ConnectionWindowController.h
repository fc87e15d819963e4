// The connection dialog: a window-modal sheet with the address form and the devices that
// announce themselves, a progress view while one attempt runs on a background thread, and an
// error view. On success it keeps the device's description (the server info) with the address
// and port used, and closes. Main thread, except where said.
#pragma once

#include <QDialog>
#include <QList>
#include <QMap>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "ServerPacket.h"
#include "StringPair.h"

class DiscoveryReceiver;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QStackedWidget;

class ConnectionWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kTypeMessage =
        "Open Quillory app on your android. IP and Port is displayed at the main screen of the "
        "app. Type them below and then connect";
    static constexpr const char* kDetectedMessage =
        "Android devices detected click on your device shown in the box on the right side and "
        "then connect";

    explicit ConnectionWindowController(QWidget* mainWindow);
    ~ConnectionWindowController() override;

    // Shows the sheet on the main window; ended is called with a return code when it closes.
    void showConnWindow(std::function<void(int)> ended);
    void showInputForm();
    // The Connect action: checks the address, then starts one attempt.
    void connectToDevice();
    // Dotted IPv4 or textual IPv6, as inet_pton reads them; host names are not addresses. Any
    // thread.
    static bool validateIP(const QString& address);
    // Shows how the attempt ended.
    void serverConnectionResult(const StringPair& result,
                                const std::optional<QMap<QString, QString>>& info);
    void cancelConnectionWindow();

    // Starts listening for announcements (closing any listener still open), unless the
    // environment sets QUILLORY_NO_DISCOVERY; stop ends it.
    void startPacketReceiver();
    void stopPacketReceiver();
    // Records an announcement: appended unless the same host and port is listed already.
    void deviceDetected(const ServerPacket& packet);
    void reloadDetections();

    std::optional<QMap<QString, QString>> getServerInfo() const { return diction; }
    std::optional<QString> getConnectedIP() const { return connectedIP; }
    std::optional<QString> getConnectedPort() const { return connectedPort; }

    // For tests and the look-and-feel script.
    QDialog* window() const { return connectionWindow; }
    QLineEdit* ipInput() const { return ipField; }
    QLineEdit* portInput() const { return portField; }
    QListWidget* detectedTable() const { return tvDetectedServers; }
    QString instruction() const;
    QString errorText() const;
    // 0 form, 1 progress, 2 error.
    int currentView() const;
    const QList<ServerPacket>& detected() const { return detectedServers; }

signals:
    // After an attempt's outcome has been shown.
    void attemptFinished(const QString& code);
    // After an address was rejected; the alert is open.
    void addressRejected(const QString& message);

private:
    void tableSelectionChanged();
    void joinAttempt();

    QWidget* mainWindow;
    QDialog* connectionWindow;
    QStackedWidget* currentView_;
    QLabel* connectMessage;
    QLineEdit* ipField;
    QLineEdit* portField;
    QListWidget* tvDetectedServers;
    QPushButton* connectButton;
    QProgressBar* progressIndic;
    QLabel* textField;

    std::function<void(int)> ended;
    QList<ServerPacket> detectedServers;
    std::unique_ptr<DiscoveryReceiver> receiver;
    std::thread attempt;
    std::optional<QMap<QString, QString>> diction;
    std::optional<QString> connectedIP;
    std::optional<QString> connectedPort;
};
