#include "main/widgets/AppController.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>

#include "connection/widgets/ConnectionWindowController.h"
#include "library/LibraryLocator.h"
#include "library/MusicProvider.h"
#include "main/AppCommandLine.h"
#include "main/SyncInvoker.h"
#include "main/SyncOutcome.h"
#include "main/widgets/FeedbackReporter.h"
#include "main/widgets/PlaylistListModel.h"
#include "main/widgets/ProgWinController.h"
#include "main/widgets/RatingControl.h"
#include "update/Environment.h"
#include "update/ProgramIdentity.h"
#include "update/widgets/UpdateWindowController.h"

namespace {
const char* const kSyncListKey = "synclist";
const char* const kGeometryKey = "window/geometry";
}  // namespace

AppController::AppController()
    : mainWindow(std::make_unique<QMainWindow>()),
      library(readLibrary()),
      editor(library.names, QSettings().value(QLatin1String(kSyncListKey)).toStringList()),
      updates(QStringLiteral("update"), [this](const Notification& n) { syncNotification(n); }),
      cancels(QStringLiteral("cancel"),
              [this](const Notification& n) { cancelRequestNotification(n); }) {
    buildWindow();
    Environment::sharedEnv();
    showRating(false);
    showLibrary(library);
}

LibraryGuard::Reading AppController::readLibrary(std::unique_ptr<MusicLibrary>* keep) {
    QString path, error;
    std::unique_ptr<MusicLibrary> opened = MusicProvider::openLocated(&path, &error);
    LibraryGuard::Reading reading = LibraryGuard::readingOf(path, opened.get(), error);
    if (keep != nullptr) *keep = std::move(opened);
    return reading;
}

void AppController::showLibrary(const LibraryGuard::Reading& reading) {
    library = reading;
    editor.setPlaylistNames(reading.names);
    const QString notice = LibraryGuard::notice(reading);
    libraryNotice->setText(notice);
    libraryNotice->setVisible(!notice.isEmpty());
    libraryInUse->setText(LibraryGuard::inUse(reading));
    libraryInUse->setToolTip(libraryInUse->text());
    reloadLists();
}

QString AppController::libraryNoticeText() const {
    return libraryNotice->text();
}

QString AppController::libraryInUseText() const {
    return libraryInUse->text();
}

AppController::~AppController() {
    saveGeometry();
    if (syncThread.joinable()) syncThread.join();
}

void AppController::buildWindow() {
    QMainWindow& window = *mainWindow;
    window.resize(760, 500);
    auto* central = new QWidget;
    window.setCentralWidget(central);

    // The connected device.
    tfDeviceName = new QLabel(QStringLiteral("None"));
    tfSyncLocation = new QLabel(QStringLiteral("None"));
    tfSyncLocation->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* connectButton = new QPushButton(tr("&Connect..."));
    auto* device = new QGridLayout;
    device->addWidget(new QLabel(tr("Device:")), 0, 0);
    device->addWidget(tfDeviceName, 0, 1);
    device->addWidget(new QLabel(tr("Sync location:")), 1, 0);
    device->addWidget(tfSyncLocation, 1, 1);
    device->setColumnStretch(1, 1);
    device->addWidget(connectButton, 0, 2, 2, 1, Qt::AlignVCenter);

    // The two lists with the buttons between them.
    sourceList = new PlaylistListModel(
        editor, PlaylistListModel::Side::Source, [this] { reloadLists(); }, this);
    syncList = new PlaylistListModel(
        editor, PlaylistListModel::Side::Sync, [this] { reloadLists(); }, this);
    auto makeView = [](PlaylistListModel* model) {
        auto* view = new QListView;
        view->setModel(model);
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        view->setDragEnabled(true);
        view->setAcceptDrops(true);
        view->setDropIndicatorShown(false);
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setDefaultDropAction(Qt::CopyAction);
        return view;
    };
    sourceTv = makeView(sourceList);
    syncTv = makeView(syncList);
    auto* addButton = new QPushButton(tr("&Add >"));
    auto* addAllButton = new QPushButton(tr("Add A&ll >>"));
    auto* removeButton = new QPushButton(tr("< &Remove"));
    auto* removeAllButton = new QPushButton(tr("<< Remo&ve All"));
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (QPushButton* button : {addButton, addAllButton, removeButton, removeAllButton}) {
        middle->addWidget(button);
    }
    middle->addStretch();
    auto* leftColumn = new QVBoxLayout;
    leftColumn->addWidget(new QLabel(tr("Playlists in your music library")));
    leftColumn->addWidget(sourceTv);
    // Which library is read (kind and path): with several players installed, the one found
    // first may not be the one the user thinks of.
    libraryInUse = new QLabel;
    libraryInUse->setTextFormat(Qt::PlainText);
    libraryInUse->setTextInteractionFlags(Qt::TextSelectableByMouse);
    libraryInUse->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    leftColumn->addWidget(libraryInUse);
    auto* rightColumn = new QVBoxLayout;
    rightColumn->addWidget(new QLabel(tr("Playlists to keep on the device")));
    rightColumn->addWidget(syncTv);
    auto* lists = new QHBoxLayout;
    lists->addLayout(leftColumn, 1);
    lists->addLayout(middle);
    lists->addLayout(rightColumn, 1);

    // Info line, rating, help, feedback and Sync.
    tfVersionInfo = new QLabel;
    tfVersionInfo->setWordWrap(true);
    ratingLabel = new QLabel(tr("Rate the device app:"));
    rating = new RatingControl;
    auto* helpButton = new QPushButton(tr("Hel&p"));
    auto* feedbackButton = new QPushButton(tr("Fee&dback..."));
    btnSync = new QPushButton(tr("&Sync"));
    btnSync->setDefault(true);
    btnSync->setEnabled(false);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(ratingLabel);
    bottom->addWidget(rating);
    bottom->addStretch();
    bottom->addWidget(helpButton);
    bottom->addWidget(feedbackButton);
    bottom->addWidget(btnSync);

    // Says plainly when the library cannot be read, and what to do about it.
    libraryNotice = new QLabel;
    libraryNotice->setTextFormat(Qt::PlainText);
    libraryNotice->setWordWrap(true);
    libraryNotice->setFrameShape(QFrame::StyledPanel);
    libraryNotice->setMargin(6);
    libraryNotice->setStyleSheet(QStringLiteral("QLabel { color: #8a1c1c; font-weight: bold; }"));
    libraryNotice->hide();

    auto* layout = new QVBoxLayout(central);
    layout->addLayout(device);
    layout->addWidget(libraryNotice);
    layout->addLayout(lists, 1);
    layout->addWidget(tfVersionInfo);
    layout->addLayout(bottom);

    QMenu* file = window.menuBar()->addMenu(tr("&File"));
    file->addAction(tr("Choose Music &Library File..."), this, [this] { chooseLibrary(false); });
    file->addAction(tr("Choose Library &Folder..."), this, [this] { chooseLibrary(true); });
    file->addAction(tr("Choose &Music Folder..."), this, &AppController::chooseMusicFolder);
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, qApp, &QApplication::quit);
    QMenu* help = window.menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("QuilloryMac &Help"), QKeySequence::HelpContents, this,
                    &AppController::openHelp);
    help->addAction(tr("Send &Feedback..."), this, &AppController::feedback);
    help->addSeparator();
    help->addAction(tr("&About QuilloryMac"), this, &AppController::about);

    // Keys of the lists: Delete takes the selected playlists out of the sync list; Enter or a
    // double-click moves a playlist to the other list.
    syncTv->installEventFilter(this);
    connect(sourceTv, &QListView::activated, this, [this] { add(); });
    connect(syncTv, &QListView::activated, this, [this] { remove(); });

    // The window comes back where and as large as it was left.
    window.restoreGeometry(QSettings().value(QLatin1String(kGeometryKey)).toByteArray());
    window.installEventFilter(this);

    connect(connectButton, &QPushButton::clicked, this, &AppController::showConnWindow);
    connect(addButton, &QPushButton::clicked, this, &AppController::add);
    connect(addAllButton, &QPushButton::clicked, this, &AppController::addAll);
    connect(removeButton, &QPushButton::clicked, this, &AppController::remove);
    connect(removeAllButton, &QPushButton::clicked, this, &AppController::removeAll);
    connect(btnSync, &QPushButton::clicked, this, &AppController::sync);
    connect(helpButton, &QPushButton::clicked, this, &AppController::openHelp);
    connect(feedbackButton, &QPushButton::clicked, this, &AppController::feedback);
    connect(rating, &RatingControl::clicked, this, &AppController::ratingClick);
}

QString AppController::deviceName() const {
    return tfDeviceName->text();
}

QString AppController::syncLocation() const {
    return tfSyncLocation->text();
}

QString AppController::infoLine() const {
    return tfVersionInfo->text();
}

void AppController::startUp(StartupSequence sequence, FeedbackReporter* reporter) {
    mainWindow->setWindowTitle(QStringLiteral("QuilloryMac v %1 By Orrinvale")
                                   .arg(ProgramIdentity::shared().getAppVersion()));
    startup = sequence;
    crashReporter = reporter;
    startingUp = true;
    runStartupStep();
}

void AppController::runStartupStep() {
    switch (startup.current()) {
        case StartupSequence::Step::CrashOffer: {
            QDialog* offer = crashReporter == nullptr
                                 ? nullptr
                                 : crashReporter->reportIfCrash(mainWindow.get(), [this] {
                                       startup.advance();
                                       runStartupStep();
                                   });
            if (offer != nullptr) {
                present(offer);
            } else {
                startup.advance();
                runStartupStep();
            }
            break;
        }
        case StartupSequence::Step::Update:
            if (updateWinController == nullptr) {
                updateWinController = new UpdateWindowController(mainWindow.get());
            }
            updateWinController->showWindow([this](int code) { updateWindowEnded(code); });
            present(updateWinController->window());
            break;
        case StartupSequence::Step::Connection:
            showConnWindow();
            break;
        case StartupSequence::Step::HelpPage:
            // Last, once the sheets are through, so that the browser covers none of them.
            openHelp();
            startup.advance();
            runStartupStep();
            break;
        case StartupSequence::Step::Done:
            startingUp = false;
            break;
    }
}

void AppController::present(QWidget* dialog) {
    const QRect screen =
        mainWindow->screen() != nullptr ? mainWindow->screen()->availableGeometry() : QRect();
    dialog->move(StartupSequence::centred(mainWindow->frameGeometry(),
                                          dialog->frameGeometry().size(), screen)
                     .topLeft());
    dialog->raise();
    dialog->activateWindow();
}

void AppController::updateWindowEnded(int returnCode) {
    if (startingUp && startup.current() == StartupSequence::Step::Update) {
        startup.advance(returnCode);
    }
    // 1: an installer was started and the program is quitting.
    if (returnCode == 1) return;
    updateWinController->window()->hide();
    if (startingUp) {
        runStartupStep();
    } else {
        showConnWindow();
    }
}

void AppController::showConnWindow() {
    if (connWinController == nullptr) {
        connWinController = new ConnectionWindowController(mainWindow.get());
    }
    connWinController->showConnWindow([this](int code) { connectionWindowEnded(code); });
    present(connWinController->window());
    connWinController->startPacketReceiver();
}

void AppController::connectionWindowEnded(int) {
    if (startingUp && startup.current() == StartupSequence::Step::Connection) {
        startup.advance();
        // After this dialog's own ending is done.
        QMetaObject::invokeMethod(
            this, [this] { runStartupStep(); }, Qt::QueuedConnection);
    }
    const std::optional<QMap<QString, QString>> info = connWinController->getServerInfo();
    if (info) {
        btnSync->setEnabled(true);
        ProgramIdentity::shared().setDevicePackage(info->value(QStringLiteral("package")));
        tfVersionInfo->setText(QString());
        tfDeviceName->setText(info->value(QStringLiteral("devicename")));
        tfSyncLocation->setText(info->value(QStringLiteral("synclocation")));
    } else {
        btnSync->setEnabled(false);
        tfDeviceName->setText(QStringLiteral("None"));
        tfSyncLocation->setText(QStringLiteral("None"));
        tfVersionInfo->setText(
            QStringLiteral("Can not sync until you connect to an android device"));
    }
}

void AppController::reloadLists() {
    sourceList->reload();
    syncList->reload();
}

namespace {
QList<int> selectedRows(QListView* view) {
    QList<int> rows;
    for (const QModelIndex& index : view->selectionModel()->selectedIndexes()) rows << index.row();
    return rows;
}
}  // namespace

void AppController::addIndexesToSyncList(const QList<int>& rows) {
    editor.addIndexesToSyncList(rows);
    syncList->reload();
}

void AppController::removeIndexesFromSyncList(const QList<int>& rows) {
    editor.removeIndexesFromSyncList(rows);
    syncList->reload();
}

void AppController::add() {
    addIndexesToSyncList(selectedRows(sourceTv));
}

void AppController::addAll() {
    editor.addAll();
    syncList->reload();
}

void AppController::remove() {
    removeIndexesFromSyncList(selectedRows(syncTv));
}

void AppController::removeAll() {
    editor.removeAll();
    syncList->reload();
}

void AppController::sync() {
    startSync({});
}

void AppController::syncConfirmed(const QStringList& confirmedMissing) {
    startSync(confirmedMissing);
}

void AppController::startSync(const QStringList& confirmedMissing) {
    if (progController == nullptr) progController = new ProgWinController(mainWindow.get());
    progController->updateUI(
        {QStringLiteral("Syncing.."), QStringLiteral("Reading the music library.."), 0});
    progController->showWindow();
    QSettings().setValue(QLatin1String(kSyncListKey), editor.syncPlaylist());
    // The sync list cannot change while the sheet covers the window; the thread takes a copy.
    if (syncThread.joinable()) syncThread.join();
    // The connection dialog's kept values are read here, on the main thread that writes them.
    Connected device;
    if (connWinController != nullptr) {
        device = {connWinController->getServerInfo().value_or(QMap<QString, QString>()),
                  connWinController->getConnectedIP().value_or(QString()),
                  connWinController->getConnectedPort().value_or(QString())};
    }
    syncThread = std::thread([this, playlists = editor.syncPlaylist(), device, confirmedMissing] {
        syncBackground(playlists, device, confirmedMissing);
    });
}

void AppController::syncBackground(const QStringList& playlists, const Connected& device,
                                   const QStringList& confirmedMissing) {
    QMetaObject::invokeMethod(
        this, [this] { updateControlsForSyncState(0); }, Qt::QueuedConnection);
    // The library is read once, here, and checked before anything reaches the device: it may
    // have gone (an unplugged drive) or changed since the window read it.
    std::unique_ptr<MusicLibrary> source;
    const LibraryGuard::Reading reading = readLibrary(&source);
    const LibraryGuard::Decision decision =
        LibraryGuard::beforeSync(reading, playlists, confirmedMissing);
    if (decision.verdict != LibraryGuard::Verdict::Go) {
        QMetaObject::invokeMethod(
            this, [this, decision, reading] { syncHeld(decision, reading); }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(
            this, [this] { updateControlsForSyncState(1); }, Qt::QueuedConnection);
        return;
    }
    QList<ITunesMediaFileObc> tracks =
        MusicProvider::getMusicMediaFiles(
            source.get(), playlists,
            MusicProvider::trackCacheFile(Environment::sharedEnv().workingDir()))
            .value_or(QList<ITunesMediaFileObc>());
    // The records are all the sync needs from here: a large library is not held twice.
    source.reset();
    SyncInvoker* invoker = nullptr;
    {
        const std::lock_guard<std::mutex> lock(invokerMutex);
        if (!syncInvoker) syncInvoker = std::make_unique<SyncInvoker>();
        invoker = syncInvoker.get();
    }
    const SyncResult result =
        invoker->sync(device.host, device.port, playlists, std::move(tracks), device.serverInfo);
    QMetaObject::invokeMethod(
        this, [this, result] { syncFinished(result); }, Qt::QueuedConnection);
    {
        const std::lock_guard<std::mutex> lock(invokerMutex);
        syncInvoker.reset();
    }
    QMetaObject::invokeMethod(
        this, [this] { updateControlsForSyncState(1); }, Qt::QueuedConnection);
}

void AppController::updateControlsForSyncState(int state) {
    btnSync->setEnabled(state == 1);
}

void AppController::syncNotification(const Notification& notification) {
    if (notification.name != QLatin1String("update") || progController == nullptr) return;
    progController->updateProgress(
        {QStringLiteral("Syncing.."),
         notification.userInfo.value(QStringLiteral("message")).toString(),
         notification.userInfo.value(QStringLiteral("percent")).toInt()});
}

void AppController::cancelRequestNotification(const Notification&) {
    const std::lock_guard<std::mutex> lock(invokerMutex);
    if (syncInvoker) syncInvoker->cancelSync();
}

QMessageBox* AppController::beginAlert(QWidget* on, const SyncOutcome::Sheet& contents,
                                       const std::function<void(int)>& ended) {
    auto* alert = new QMessageBox(on);
    alert->setWindowTitle(contents.title);
    // Messages come from the engine, the device and file names: shown as they are, never read
    // as markup ("Simon & Garfunkel" must not become "Simon &amp; Garfunkel").
    alert->setTextFormat(Qt::PlainText);
    alert->setText(contents.title);
    alert->setInformativeText(contents.text);
    if (auto* informative =
            alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
        // Wide enough that the summary after a sync reads as a line or two, not a column.
        informative->setMinimumWidth(360);
    }
    if (auto* heading = alert->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
    }
    QPushButton* first = alert->addButton(contents.defaultButton, QMessageBox::AcceptRole);
    alert->setDefaultButton(first);
    QPushButton* second = nullptr;
    if (!contents.alternateButton.isEmpty()) {
        second = alert->addButton(contents.alternateButton, QMessageBox::RejectRole);
    }
    // Escape and the close box press the button the sheet names for dismissal, so that they
    // never start anything (a Retry, a sync that removes playlists).
    alert->setEscapeButton(contents.dismissCode == 0 && second != nullptr ? second : first);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowModality(Qt::WindowModal);
    const int dismissCode = contents.dismissCode;
    connect(alert, &QMessageBox::finished, this, [this, alert, first, second, dismissCode, ended] {
        const QAbstractButton* pressed = alert->clickedButton();
        const int code = pressed == first                            ? 1
                         : (pressed != nullptr && pressed == second) ? 0
                                                                     : dismissCode;
        if (sheet == alert) sheet = nullptr;
        ended(code);
    });
    sheet = alert;
    alert->open();
    return alert;
}

void AppController::syncHeld(const LibraryGuard::Decision& decision,
                             const LibraryGuard::Reading& reading) {
    // The sync did not start: the progress sheet goes before the reason is shown.
    progController->endWindow();
    showLibrary(reading);
    const SyncOutcome::Sheet contents = SyncOutcome::sheetFor(decision, reading);
    const QStringList missing = decision.missing;
    beginAlert(mainWindow.get(), contents, [this, context = contents.context, missing](int code) {
        if (SyncOutcome::afterSheet(context, code) == SyncOutcome::Next::SyncConfirmed) {
            syncConfirmed(missing);
        }
    });
    emit syncHeldBack(decision.verdict);
}

void AppController::syncFinished(const SyncResult& result) {
    const std::optional<SyncOutcome::Sheet> outcome = SyncOutcome::sheetFor(result);
    // The progress sheet is done: it must not stay up, stale, under the result.
    if (progController != nullptr) progController->endWindow();
    emit syncEnded(result);
    if (!outcome) return;
    showRating(result.succeeded());
    if (!result.succeeded()) {
        mainWindow->setWindowState(mainWindow->windowState() & ~Qt::WindowMinimized);
        mainWindow->raise();
        mainWindow->activateWindow();
    }
    const QString context = outcome->context;
    beginAlert(mainWindow.get(), *outcome,
               [this, context](int code) { sheetDidEndSyncEnd(context, code); });
}

void AppController::sheetDidEndSyncEnd(const QString& context, int returnCode) {
    switch (SyncOutcome::afterSheet(context, returnCode)) {
        case SyncOutcome::Next::Reconnect:
            showConnWindow();
            break;
        case SyncOutcome::Next::Retry:
            sync();
            break;
        case SyncOutcome::Next::SyncConfirmed:
        case SyncOutcome::Next::Nothing:
            break;
    }
}

void AppController::showRating(bool shown) {
    rating->setVisible(shown);
    ratingLabel->setVisible(shown);
}

void AppController::ratingClick(int value) {
    if (!SyncOutcome::asksForStoreRating(value)) return;
    beginAlert(mainWindow.get(),
               {QStringLiteral("Thanks"),
                QStringLiteral("If you like this app, would you please take a few seconds to rate "
                               "our app on Google play ?"),
                QStringLiteral("Sure"), QStringLiteral("No Thanks"), QString(), 0},
               [this](int code) { ratingSheetDidEnd(code); });
}

void AppController::ratingSheetDidEnd(int returnCode) {
    const QString page = ProgramIdentity::shared().appRatingPage();
    if (returnCode == 1 && !page.isEmpty()) QDesktopServices::openUrl(QUrl(page));
}

void AppController::saveGeometry() {
    QSettings().setValue(QLatin1String(kGeometryKey), mainWindow->saveGeometry());
}

bool AppController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == mainWindow.get() && event->type() == QEvent::Close) saveGeometry();
    if (watched == syncTv && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Delete)) {
        remove();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void AppController::about() {
    auto* box = new QMessageBox(QMessageBox::Information, tr("About QuilloryMac"),
                                AppCommandLine::about(), QMessageBox::Ok, mainWindow.get());
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    aboutBox = box;
    box->open();
}

void AppController::openHelp() {
    QDesktopServices::openUrl(QUrl(ProgramIdentity::helpPage()));
}

void AppController::feedback() {
    FeedbackReporter::sharedReporter().reportFeedback(mainWindow.get());
}

void AppController::chooseLibrary(bool folder) {
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty()) music = QDir::homePath();
    const QString path =
        folder ? QFileDialog::getExistingDirectory(
                     mainWindow.get(),
                     tr("Choose a Library Folder (playlists, or a Rhythmbox folder)"), music)
               : QFileDialog::getOpenFileName(
                     mainWindow.get(), tr("Choose a Music Library File"), music,
                     tr("Music libraries (*.xml *.db);;All files (*)"));
    if (path.isEmpty()) return;
    LibraryLocator::choose(path);
    showLibrary(readLibrary());
}

void AppController::chooseMusicFolder() {
    QString start = LibraryLocator::musicFolder();
    if (start.isEmpty()) start = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    const QString path = QFileDialog::getExistingDirectory(
        mainWindow.get(), tr("Choose the Music Folder of a Library from Another Computer"), start);
    if (path.isEmpty()) return;
    LibraryLocator::chooseMusicFolder(path);
    showLibrary(readLibrary());
}
