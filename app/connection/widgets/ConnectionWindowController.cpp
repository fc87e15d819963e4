#include "connection/widgets/ConnectionWindowController.h"

#include <arpa/inet.h>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <thread>

#include "connection/ConnectionAttempt.h"
#include "connection/DiscoveryReceiver.h"
#include "main/widgets/SheetDialog.h"

namespace {
enum View { kForm = 0, kProgress = 1, kError = 2 };
}  // namespace

ConnectionWindowController::ConnectionWindowController(QWidget* mainWindow)
    : QObject(mainWindow), mainWindow(mainWindow), relay(std::make_shared<Relay>()) {
    relay->owner = this;
    // Escape while connecting abandons the attempt, as Cancel does; elsewhere it closes.
    connectionWindow = new SheetDialog(mainWindow, [this] {
        if (currentView_->currentIndex() == kProgress) {
            cancelAttempt();
        } else {
            cancelConnectionWindow();
        }
    });
    connectionWindow->setWindowTitle(tr("Connect to your Android device"));
    connectionWindow->setWindowModality(Qt::WindowModal);
    connectionWindow->setMinimumSize(620, 300);

    // The form: instruction, address and port on the left, detected devices on the right.
    auto* form = new QWidget;
    connectMessage = new QLabel;
    connectMessage->setWordWrap(true);
    ipField = new QLineEdit;
    ipField->setPlaceholderText(QStringLiteral("192.168.1.20"));
    portField = new QLineEdit;
    portField->setPlaceholderText(QStringLiteral("5051"));
    connectButton = new QPushButton(tr("C&onnect"));
    connectButton->setDefault(true);
    auto* close = new QPushButton(tr("C&lose"));
    close->setAutoDefault(false);
    tvDetectedServers = new QListWidget;
    tvDetectedServers->setSelectionMode(QAbstractItemView::SingleSelection);
    tvDetectedServers->setToolTip(tr("Double-click a device to connect to it"));
    lastDevice = new QLabel;
    lastDevice->setTextFormat(Qt::PlainText);
    lastDevice->setWordWrap(true);
    lastDevice->hide();
    auto* ipLabel = new QLabel(tr("&IP address:"));
    ipLabel->setBuddy(ipField);
    auto* portLabel = new QLabel(tr("&Port:"));
    portLabel->setBuddy(portField);
    auto* fields = new QFormLayout;
    fields->addRow(ipLabel, ipField);
    fields->addRow(portLabel, portField);
    auto* formButtons = new QHBoxLayout;
    formButtons->addStretch();
    formButtons->addWidget(close);
    formButtons->addWidget(connectButton);
    auto* left = new QVBoxLayout;
    left->addWidget(connectMessage);
    left->addWidget(lastDevice);
    left->addLayout(fields);
    left->addStretch();
    left->addLayout(formButtons);
    auto* right = new QVBoxLayout;
    auto* detectedLabel = new QLabel(tr("&Detected devices:"));
    detectedLabel->setBuddy(tvDetectedServers);
    right->addWidget(detectedLabel);
    right->addWidget(tvDetectedServers);
    auto* formLayout = new QHBoxLayout(form);
    formLayout->addLayout(left, 3);
    formLayout->addLayout(right, 2);

    // The progress view.
    auto* progress = new QWidget;
    progressIndic = new QProgressBar;
    progressIndic->setRange(0, 0);
    auto* progressLayout = new QVBoxLayout(progress);
    progressLayout->addStretch();
    progressLayout->addWidget(new QLabel(tr("Connecting to the device...")));
    progressLayout->addWidget(progressIndic);
    progressLayout->addStretch();
    cancelButton = new QPushButton(tr("&Cancel"));
    auto* progressButtons = new QHBoxLayout;
    progressButtons->addStretch();
    progressButtons->addWidget(cancelButton);
    progressLayout->addLayout(progressButtons);

    // The error view.
    auto* error = new QWidget;
    textField = new QLabel;
    textField->setTextFormat(Qt::PlainText);
    textField->setWordWrap(true);
    backButton = new QPushButton(tr("&Back"));
    auto* errorClose = new QPushButton(tr("C&lose"));
    errorClose->setAutoDefault(false);
    auto* errorButtons = new QHBoxLayout;
    errorButtons->addStretch();
    errorButtons->addWidget(errorClose);
    errorButtons->addWidget(backButton);
    auto* errorLayout = new QVBoxLayout(error);
    errorLayout->addWidget(new QLabel(tr("Could not connect:")));
    errorLayout->addWidget(textField);
    errorLayout->addStretch();
    errorLayout->addLayout(errorButtons);

    currentView_ = new QStackedWidget;
    currentView_->addWidget(form);
    currentView_->addWidget(progress);
    currentView_->addWidget(error);
    auto* sheetLayout = new QVBoxLayout(connectionWindow);
    sheetLayout->addWidget(currentView_);

    QObject::connect(connectButton, &QPushButton::clicked, this,
                     &ConnectionWindowController::connectToDevice);
    QObject::connect(close, &QPushButton::clicked, this,
                     &ConnectionWindowController::cancelConnectionWindow);
    QObject::connect(errorClose, &QPushButton::clicked, this,
                     &ConnectionWindowController::cancelConnectionWindow);
    QObject::connect(backButton, &QPushButton::clicked, this,
                     &ConnectionWindowController::showInputForm);
    QObject::connect(cancelButton, &QPushButton::clicked, this,
                     &ConnectionWindowController::cancelAttempt);
    QObject::connect(tvDetectedServers, &QListWidget::itemSelectionChanged, this,
                     &ConnectionWindowController::tableSelectionChanged);
    // Double-click (or Enter) on a detected device connects to it.
    QObject::connect(tvDetectedServers, &QListWidget::itemActivated, this,
                     &ConnectionWindowController::detectedActivated);
}

ConnectionWindowController::~ConnectionWindowController() {
    stopPacketReceiver();
    // Attempts still running find no owner when they end; nothing here waits for them.
    const std::lock_guard<std::mutex> lock(relay->mutex);
    relay->owner = nullptr;
}

void ConnectionWindowController::showConnWindow(std::function<void(int)> callback) {
    ended = std::move(callback);
    showInputForm();
    connectMessage->setText(QLatin1String(kTypeMessage));
    detectedServers.clear();
    reloadDetections();
    // The device connected last is offered: its address fills empty fields.
    const QSettings settings;
    const QString lastHost = settings.value(QLatin1String(kLastHostKey)).toString();
    const QString lastPort = settings.value(QLatin1String(kLastPortKey)).toString();
    if (!lastHost.isEmpty()) {
        lastDevice->setText(
            tr("Last connected: %1 at %2 port %3")
                .arg(settings.value(QLatin1String(kLastNameKey)).toString(), lastHost, lastPort));
        lastDevice->show();
        if (ipField->text().isEmpty() && portField->text().isEmpty()) {
            ipField->setText(lastHost);
            portField->setText(lastPort);
        }
    }
    connectionWindow->open();
    connectionWindow->activateWindow();
    if (ipField->text().isEmpty()) {
        ipField->setFocus();
    } else {
        connectButton->setFocus();
    }
}

void ConnectionWindowController::showView(int index) {
    currentView_->setCurrentIndex(index);
    // Enter presses the button of the view shown: Connect on the form, Cancel while
    // connecting, Back on the error view.
    QPushButton* defaultButton = index == kForm       ? connectButton
                                 : index == kProgress ? cancelButton
                                                      : backButton;
    for (QPushButton* button : {connectButton, cancelButton, backButton}) {
        button->setDefault(button == defaultButton);
    }
    if (index != kForm) defaultButton->setFocus();
}

void ConnectionWindowController::showInputForm() {
    showView(kForm);
}

QString ConnectionWindowController::lastDeviceText() const {
    return lastDevice->isVisibleTo(connectionWindow) ? lastDevice->text() : QString();
}

QString ConnectionWindowController::instruction() const {
    return connectMessage->text();
}

QString ConnectionWindowController::errorText() const {
    return textField->text();
}

int ConnectionWindowController::currentView() const {
    return currentView_->currentIndex();
}

bool ConnectionWindowController::validateIP(const QString& address) {
    if (address.isNull()) return false;
    const QByteArray text = address.toUtf8();
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.constData(), buffer) == 1 ||
           inet_pton(AF_INET6, text.constData(), buffer) == 1;
}

void ConnectionWindowController::connectToDevice() {
    const QString ip = ipField->text();
    const QString port = portField->text();
    if (!validateIP(ip)) {
        const QString message = QStringLiteral(
                                    "The IP address %1 is incorrect. A correct IP address is "
                                    "composed of four numbers seperated by dots")
                                    .arg(ip);
        auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Invalid IP address"),
                                      message, QMessageBox::Ok, connectionWindow);
        alert->setAttribute(Qt::WA_DeleteOnClose);
        alert->setWindowModality(Qt::WindowModal);
        alert->open();
        emit addressRejected(message);
        return;
    }
    // Each attempt is numbered; only the current one's answer counts. The thread is left to
    // end by itself (the engine's own time-outs bound it) and never joined.
    const int id = ++attemptsStarted;
    currentAttempt = id;
    showView(kProgress);
    std::thread([shared = relay, id, ip, port] {
        std::optional<QMap<QString, QString>> info;
        const StringPair result = ConnectionAttempt::run(ip, port, info);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        if (ConnectionWindowController* owner = shared->owner) {
            // Posted while the owner is known to live; Qt drops the event if it goes first.
            QMetaObject::invokeMethod(
                owner,
                [owner, id, result, info, ip, port] {
                    owner->attemptEnded(id, result, info, ip, port);
                },
                Qt::QueuedConnection);
        }
    }).detach();
}

void ConnectionWindowController::cancelAttempt() {
    currentAttempt = 0;
    if (currentView_->currentIndex() == kProgress) showInputForm();
}

void ConnectionWindowController::attemptEnded(int id, const StringPair& result,
                                              const std::optional<QMap<QString, QString>>& info,
                                              const QString& host, const QString& port) {
    if (id != currentAttempt) {
        emit abandonedAnswerIgnored(result.key.value_or(QString()));
        return;
    }
    currentAttempt = 0;
    serverConnectionResult(result, info, host, port);
}

void ConnectionWindowController::serverConnectionResult(
    const StringPair& result, const std::optional<QMap<QString, QString>>& info,
    const QString& host, const QString& port) {
    diction = info;
    const QString code = result.key.value_or(QString());
    if (code == QLatin1String("success")) {
        connectedIP = host;
        connectedPort = port;
        QSettings settings;
        settings.setValue(QLatin1String(kLastHostKey), host);
        settings.setValue(QLatin1String(kLastPortKey), port);
        settings.setValue(QLatin1String(kLastNameKey),
                          info ? info->value(QStringLiteral("devicename")) : QString());
        cancelConnectionWindow();
    } else {
        showView(kError);
        textField->setText(result.value.value_or(QString()));
    }
    emit attemptFinished(code);
}

void ConnectionWindowController::cancelConnectionWindow() {
    // A closed dialog has no attempt: one still running is abandoned.
    currentAttempt = 0;
    const bool wasOpen = connectionWindow->isVisible();
    connectionWindow->done(0);
    connectionWindow->hide();
    stopPacketReceiver();
    if (wasOpen && ended) {
        // The callback may show the dialog again, which sets a new one.
        const std::function<void(int)> callback = std::move(ended);
        ended = nullptr;
        callback(0);
    }
}

void ConnectionWindowController::startPacketReceiver() {
    stopPacketReceiver();
    // Joining the group sends IGMP reports onto the network; test runs outside a private
    // network namespace turn listening off.
    if (qEnvironmentVariableIsSet("QUILLORY_NO_DISCOVERY")) return;
    receiver = std::make_unique<DiscoveryReceiver>([this](const ServerPacket& packet) {
        // The list is checked and appended on the main thread only, in the same step as the
        // reload, so that the table never sees it change under it. The receiver is joined
        // before the controller goes.
        QMetaObject::invokeMethod(
            this, [this, packet] { deviceDetected(packet); }, Qt::QueuedConnection);
    });
}

void ConnectionWindowController::stopPacketReceiver() {
    receiver.reset();
}

void ConnectionWindowController::deviceDetected(const ServerPacket& packet) {
    bool known = false;
    for (const ServerPacket& listed : detectedServers) known = known || listed.isEqual(packet);
    if (!known) detectedServers.append(packet);
    reloadDetections();
}

void ConnectionWindowController::reloadDetections() {
    if (!detectedServers.isEmpty()) connectMessage->setText(QLatin1String(kDetectedMessage));
    const int selected = tvDetectedServers->currentRow();
    const QSignalBlocker quiet(tvDetectedServers);
    tvDetectedServers->clear();
    for (const ServerPacket& packet : detectedServers) {
        // The address beside the name tells two phones of one model apart.
        const QString address = QStringLiteral("%1:%2").arg(packet.host.value_or(QString()),
                                                            packet.port.value_or(QString()));
        auto* row = new QListWidgetItem(
            QStringLiteral("%1 \u2014 %2").arg(packet.description(), address), tvDetectedServers);
        row->setToolTip(address);
    }
    if (selected >= 0 && selected < tvDetectedServers->count())
        tvDetectedServers->setCurrentRow(selected);
}

void ConnectionWindowController::detectedActivated() {
    tableSelectionChanged();
    if (currentView_->currentIndex() == kForm && !ipField->text().isEmpty()) connectToDevice();
}

void ConnectionWindowController::tableSelectionChanged() {
    const int row = tvDetectedServers->currentRow();
    if (row < 0 || row >= detectedServers.size() || tvDetectedServers->selectedItems().isEmpty()) {
        return;
    }
    ipField->setText(detectedServers[row].host.value_or(QString()));
    portField->setText(detectedServers[row].port.value_or(QString()));
}
