#include "ConnectionWindowController.h"

#include <arpa/inet.h>

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "SheetDialog.h"

#include "ConnectionAttempt.h"
#include "DiscoveryReceiver.h"


ConnectionWindowController::ConnectionWindowController(QWidget* mainWindow)
    : QObject(mainWindow), mainWindow(mainWindow) {
    connectionWindow = new SheetDialog(mainWindow, [this] { cancelConnectionWindow(); });
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
    connectButton = new QPushButton(tr("Connect"));
    connectButton->setDefault(true);
    auto* close = new QPushButton(tr("Close"));
    close->setAutoDefault(false);
    tvDetectedServers = new QListWidget;
    tvDetectedServers->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* fields = new QFormLayout;
    fields->addRow(tr("IP address:"), ipField);
    fields->addRow(tr("Port:"), portField);
    auto* formButtons = new QHBoxLayout;
    formButtons->addStretch();
    formButtons->addWidget(close);
    formButtons->addWidget(connectButton);
    auto* left = new QVBoxLayout;
    left->addWidget(connectMessage);
    left->addLayout(fields);
    left->addStretch();
    left->addLayout(formButtons);
    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(tr("Detected devices:")));
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

    // The error view.
    auto* error = new QWidget;
    textField = new QLabel;
    textField->setTextFormat(Qt::PlainText);
    textField->setWordWrap(true);
    auto* back = new QPushButton(tr("Back"));
    auto* errorClose = new QPushButton(tr("Close"));
    auto* errorButtons = new QHBoxLayout;
    errorButtons->addStretch();
    errorButtons->addWidget(errorClose);
    errorButtons->addWidget(back);
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
    QObject::connect(back, &QPushButton::clicked, this, &ConnectionWindowController::showInputForm);
    QObject::connect(tvDetectedServers, &QListWidget::itemSelectionChanged, this,
                     &ConnectionWindowController::tableSelectionChanged);
}

ConnectionWindowController::~ConnectionWindowController() {
    stopPacketReceiver();
    joinAttempt();
}

void ConnectionWindowController::joinAttempt() {
    if (attempt.joinable()) attempt.join();
}

void ConnectionWindowController::showConnWindow(std::function<void(int)> callback) {
    ended = std::move(callback);
    showInputForm();
    connectMessage->setText(QLatin1String(kTypeMessage));
    detectedServers.clear();
    reloadDetections();
    connectionWindow->open();
    ipField->setFocus();
}

void ConnectionWindowController::showInputForm() {
    currentView_->setCurrentIndex(0);
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
    // One attempt per Connect: the form (and its button) is gone until this one has ended.
    joinAttempt();
    currentView_->setCurrentIndex(1);
    // The destructor joins the attempt, so the controller outlives the thread; the result is
    // queued to the main thread, and dropped there should the controller be gone by then.
    attempt = std::thread([this, ip, port] {
        std::optional<QMap<QString, QString>> info;
        const StringPair result = ConnectionAttempt::run(ip, port, info);
        QMetaObject::invokeMethod(
            this, [this, result, info] { serverConnectionResult(result, info); },
            Qt::QueuedConnection);
    });
}

void ConnectionWindowController::serverConnectionResult(
    const StringPair& result, const std::optional<QMap<QString, QString>>& info) {
    diction = info;
    const QString code = result.key.value_or(QString());
    if (code == QLatin1String("success")) {
        connectedIP = ipField->text();
        connectedPort = portField->text();
        cancelConnectionWindow();
    } else {
        currentView_->setCurrentIndex(2);
        textField->setText(result.value.value_or(QString()));
    }
    emit attemptFinished(code);
}

void ConnectionWindowController::cancelConnectionWindow() {
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
        auto* row = new QListWidgetItem(packet.description(), tvDetectedServers);
        row->setToolTip(QStringLiteral("%1:%2").arg(packet.host.value_or(QString()),
                                                    packet.port.value_or(QString())));
    }
    if (selected >= 0 && selected < tvDetectedServers->count()) tvDetectedServers->setCurrentRow(selected);
}

void ConnectionWindowController::tableSelectionChanged() {
    const int row = tvDetectedServers->currentRow();
    if (row < 0 || row >= detectedServers.size() || tvDetectedServers->selectedItems().isEmpty()) {
        return;
    }
    ipField->setText(detectedServers[row].host.value_or(QString()));
    portField->setText(detectedServers[row].port.value_or(QString()));
}
