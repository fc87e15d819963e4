#include "update/widgets/UpdateWindowController.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "main/widgets/SheetDialog.h"
#include "update/Installer.h"
#include "update/ProgramIdentity.h"
#include "update/UpdateChecker.h"

UpdateWindowController::UpdateWindowController(QWidget* mainWindow) : QObject(mainWindow) {
    sheet = new SheetDialog(mainWindow, [this] {
        if (btnSkip->isEnabled()) skip();
    });
    sheet->setWindowTitle(tr("Software Update"));
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setMinimumWidth(440);
    updateTitle = new QLabel(tr("Checking for updates..."));
    updateTitle->setWordWrap(true);
    progIndic = new QProgressBar;
    progIndic->setRange(0, 0);
    btnDownload = new QPushButton(tr("Download"));
    btnDownload->setEnabled(false);
    btnSkip = new QPushButton(tr("Skip"));
    btnSkip->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnSkip);
    buttons->addWidget(btnDownload);
    auto* layout = new QVBoxLayout(sheet);
    layout->addWidget(updateTitle);
    layout->addWidget(progIndic);
    layout->addLayout(buttons);
    connect(btnSkip, &QPushButton::clicked, this, &UpdateWindowController::skip);
    connect(btnDownload, &QPushButton::clicked, this, &UpdateWindowController::download);
}

UpdateWindowController::~UpdateWindowController() {
    if (check.joinable()) check.join();
}

QString UpdateWindowController::message() const {
    return updateTitle->text();
}

bool UpdateWindowController::downloadEnabled() const {
    return btnDownload->isEnabled();
}

bool UpdateWindowController::skipEnabled() const {
    return btnSkip->isEnabled();
}

void UpdateWindowController::showWindow(std::function<void(int)> callback) {
    ended = std::move(callback);
    checker = std::make_shared<UpdateChecker>();
    const int current = ++showing;
    if (check.joinable()) check.join();
    // The check owns a share of its checker, so that Skip may drop the controller's share while
    // the requests still run. Both requests end within their time-outs.
    check = std::thread([this, current, working = checker] {
        working->updateStats();
        const bool newer = working->isUpdateAvailable();
        const QString version = working->getVersion().value_or(QString());
        QMetaObject::invokeMethod(
            this,
            [this, current, newer, version] {
                if (current != showing || !checker) return;  // that showing has ended
                newer ? updateAvailable(version) : updateNotAvailable();
            },
            Qt::QueuedConnection);
    });
    updateTitle->setText(tr("Checking for updates..."));
    btnDownload->setEnabled(false);
    btnSkip->setEnabled(true);
    progIndic->setRange(0, 0);
    progIndic->setVisible(true);
    sheet->open();
}

void UpdateWindowController::updateAvailable(const QString& newVersion) {
    btnDownload->setEnabled(true);
    btnDownload->setDefault(true);
    updateTitle->setText(QStringLiteral("A newer version %1 is available, current version is %2")
                             .arg(newVersion, ProgramIdentity::shared().getAppVersion()));
    progIndic->setRange(0, 1);
    progIndic->setVisible(false);
}

void UpdateWindowController::updateNotAvailable() {
    endSheetWithCode(0);
}

void UpdateWindowController::skip() {
    endSheetWithCode(0);
}

void UpdateWindowController::download() {
    if (!checker) return;
    progIndic->setRange(0, 0);
    progIndic->setVisible(true);
    btnDownload->setEnabled(false);
    btnSkip->setEnabled(false);
    updateTitle->setText(QStringLiteral("Downloading update please wait.."));
    checker->setDelegate([this](const std::optional<QString>& path) { downloadEnded(path); });
    // A download that cannot even start ends as a failed one would.
    if (!checker->downloadUpdate()) downloadEnded(std::nullopt);
}

void UpdateWindowController::downloadEnded(const std::optional<QString>& path) {
    // Without an installer to hand the package to, the program goes on as after a failure.
    const bool installing = path && !Installer::find().isEmpty();
    if (!installing) {
        endSheetWithCode(0);
        return;
    }
    if (!performInstallationWithPath(*path)) {
        endSheetWithCode(0);
        return;
    }
    endSheetWithCode(1);
}

void UpdateWindowController::endSheetWithCode(int code) {
    if (!ended) return;  // ended already
    // The checker may be what called us (its download's end): let it go once that has returned.
    QTimer::singleShot(0, this, [dropped = std::move(checker)] {});
    checker.reset();
    const std::function<void(int)> callback = std::move(ended);
    ended = nullptr;
    sheet->done(code);
    sheet->hide();
    callback(code);
}

bool UpdateWindowController::performInstallationWithPath(const QString& path) {
    if (!Installer::start(path)) return false;
    QTimer::singleShot(2000, qApp, &QApplication::quit);
    return true;
}
