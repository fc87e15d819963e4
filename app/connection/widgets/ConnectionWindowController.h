// The connection dialog: a window-modal sheet with the address form and the devices that
// announce themselves, a progress view (with Cancel) while an attempt runs on a background
// thread, and an error view. On success it keeps the device's description (the server info) with
// the address and port that attempt was started with, and closes. An attempt cannot be stopped
// once started, so Cancel (or closing the dialog) abandons it: its answer is ignored when it
// comes, and the main thread never waits for it. Main thread, except where said.
#pragma once

#include <QDialog>
#include <QList>
#include <QMap>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "connection/ServerPacket.h"
#include "connection/StringPair.h"

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
    // The Connect action: checks the address, then starts one attempt with the address and
    // port typed now; an attempt still running is abandoned.
    void connectToDevice();
    // The progress view's Cancel: abandons the running attempt and shows the form again.
    void cancelAttempt();
    // Dotted IPv4 or textual IPv6, as inet_pton reads them; host names are not addresses. Any
    // thread.
    static bool validateIP(const QString& address);
    // Shows how the current attempt ended; host and port are those it was started with.
    void serverConnectionResult(const StringPair& result,
                                const std::optional<QMap<QString, QString>>& info,
                                const QString& host, const QString& port);
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
    // The last connected device as offered in the form ("" when none is remembered).
    QString lastDeviceText() const;
    // 0 form, 1 progress, 2 error.
    int currentView() const;
    const QList<ServerPacket>& detected() const { return detectedServers; }

    // The settings keys of the last connected device.
    static constexpr const char* kLastHostKey = "lastdevice/host";
    static constexpr const char* kLastPortKey = "lastdevice/port";
    static constexpr const char* kLastNameKey = "lastdevice/name";

  signals:
    // After an attempt's outcome has been shown.
    void attemptFinished(const QString& code);
    // After an address was rejected; the alert is open.
    void addressRejected(const QString& message);
    // An abandoned attempt answered; the answer was dropped.
    void abandonedAnswerIgnored(const QString& code);

  private:
    // Where an attempt's thread hands its answer: the controller while it lives. The thread
    // keeps a share of it, so a controller that is gone is never touched.
    struct Relay {
        std::mutex mutex;
        ConnectionWindowController* owner = nullptr;
    };

    void tableSelectionChanged();
    void detectedActivated();
    void showView(int index);
    void attemptEnded(int id, const StringPair& result,
                      const std::optional<QMap<QString, QString>>& info, const QString& host,
                      const QString& port);

    QWidget* mainWindow;
    QDialog* connectionWindow;
    QStackedWidget* currentView_;
    QLabel* connectMessage;
    QLineEdit* ipField;
    QLineEdit* portField;
    QListWidget* tvDetectedServers;
    QPushButton* connectButton;
    QPushButton* backButton;
    QPushButton* cancelButton;
    QProgressBar* progressIndic;
    QLabel* textField;
    QLabel* lastDevice;

    std::function<void(int)> ended;
    QList<ServerPacket> detectedServers;
    std::unique_ptr<DiscoveryReceiver> receiver;
    std::shared_ptr<Relay> relay;
    // The attempt whose answer counts; 0 when none runs. Numbers are never reused.
    int currentAttempt = 0;
    int attemptsStarted = 0;
    std::optional<QMap<QString, QString>> diction;
    std::optional<QString> connectedIP;
    std::optional<QString> connectedPort;
};
