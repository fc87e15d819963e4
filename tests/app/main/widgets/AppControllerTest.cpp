// The main window driven as a user would, against the reference device server.
#include "main/widgets/AppController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <chrono>
#include <random>

#include <QDesktopServices>
#include <QDialog>
#include <QUrl>

#include "connection/widgets/ConnectionWindowController.h"
#include "main/widgets/AppDelegate.h"
#include "main/widgets/FeedbackReporter.h"
#include "main/widgets/PlaylistListModel.h"
#include "main/widgets/ProgWinController.h"
#include "main/widgets/RatingControl.h"
#include "support/DeviceFixture.h"
#include "support/HttpFixture.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "update/ProgramIdentity.h"
#include "update/widgets/UpdateWindowController.h"

namespace {

using testsupport::DeviceFixture;
using testsupport::waitFor;

class AppControllerTest : public testing::Test {
  protected:
    AppControllerTest() {
        QSettings().clear();
        qputenv("QUILLORY_LIBRARY", QUILLORY_SAMPLE_LIBRARY "/Library.xml");
    }
    ~AppControllerTest() override { qunsetenv("QUILLORY_LIBRARY"); }

    // Opens the connection dialog, types the device's address and connects.
    static void connectTo(AppController& app, const std::string& port) {
        app.showConnWindow();
        ConnectionWindowController* dialog = app.connection();
        dialog->ipInput()->setText(QStringLiteral("127.0.0.1"));
        dialog->portInput()->setText(QString::fromStdString(port));
        QString code;
        auto done = QObject::connect(dialog, &ConnectionWindowController::attemptFinished,
                                     [&](const QString& result) { code = result; });
        dialog->connectToDevice();
        ASSERT_TRUE(waitFor([&] { return !code.isEmpty(); }));
        QObject::disconnect(done);
    }

    // Presses Sync and waits for the result sheet.
    static SyncResult syncAndWait(AppController& app, QList<ProgressInfo>* reports = nullptr) {
        std::optional<SyncResult> ended;
        auto done = QObject::connect(&app, &AppController::syncEnded,
                                     [&](const SyncResult& result) { ended = result; });
        app.syncButton()->click();
        QMetaObject::Connection progress;
        if (reports != nullptr) {
            progress =
                QObject::connect(app.progress(), &ProgWinController::progressApplied,
                                 [reports](const ProgressInfo& info) { reports->append(info); });
        }
        EXPECT_TRUE(waitFor([&] { return ended && app.openSheet() != nullptr; }, 30000));
        QObject::disconnect(done);
        QObject::disconnect(progress);
        return ended.value_or(SyncResult{});
    }

    // A library of M3U playlists in a temporary folder, each track a small file of its own
    // name; QUILLORY_LIBRARY points at it.
    static QString useLibrary(const testsupport::TempDir& dir,
                              const std::map<std::string, std::vector<std::string>>& playlists) {
        for (const auto& [name, tracks] : playlists) {
            std::string list;
            for (const std::string& track : tracks) {
                dir.write("music/" + track, "bytes of " + track);
                list += "../music/" + track + "\n";
            }
            dir.write("lists/" + name + ".m3u", list);
        }
        const QString path = QString::fromStdString(dir.file("lists"));
        qputenv("QUILLORY_LIBRARY", path.toUtf8());
        return path;
    }

    // The sync list's rows as shown.
    static QStringList shownSyncList(const AppController& app) {
        QStringList rows;
        for (int row = 0; row < app.syncModel()->rowCount(); ++row) {
            rows << app.syncModel()->data(app.syncModel()->index(row), Qt::DisplayRole).toString();
        }
        return rows;
    }

    // Presses Sync and waits for a sheet that held the sync back.
    static std::optional<LibraryGuard::Verdict> syncHeldBack(AppController& app) {
        std::optional<LibraryGuard::Verdict> held;
        auto done = QObject::connect(&app, &AppController::syncHeldBack,
                                     [&](LibraryGuard::Verdict verdict) { held = verdict; });
        app.syncButton()->click();
        EXPECT_TRUE(waitFor([&] { return held && app.openSheet() != nullptr; }));
        QObject::disconnect(done);
        return held;
    }

    static void escape(QWidget* widget) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(widget, &press);
    }

    static void press(QMessageBox* sheet, const QString& button) {
        for (QAbstractButton* candidate : sheet->buttons()) {
            if (candidate->text() == button) {
                candidate->click();
                return;
            }
        }
        FAIL() << "no button " << button.toStdString();
    }
};

TEST_F(AppControllerTest, SyncListSurvivesARestartOnlyAfterASync) {
    {
        AppController app;
        EXPECT_EQ(app.lists().playlistNames(),
                  (QStringList{QStringLiteral("Morning Mix"), QStringLiteral("Focus: Deep Work"),
                               QStringLiteral("Café Nights")}));
        app.sourceView()->selectionModel()->select(app.sourceModel()->index(2),
                                                   QItemSelectionModel::Select);
        app.add();
        EXPECT_EQ(app.lists().syncPlaylist(), (QStringList{QStringLiteral("Café Nights")}));
    }
    {
        AppController app;
        EXPECT_TRUE(app.lists().syncPlaylist().isEmpty());
        app.addAll();
        // No device: the sync fails at once, but it started, so the list was kept.
        app.sync();
        EXPECT_TRUE(waitFor([&] { return app.openSheet() != nullptr; }));
        EXPECT_EQ(app.openSheet()->windowTitle(), QStringLiteral("error_connect"));
        press(app.openSheet(), QStringLiteral("OK"));
    }
    AppController app;
    EXPECT_EQ(app.lists().syncPlaylist().size(), 3);
}

TEST_F(AppControllerTest, ConnectSyncFinishAndRate) {
    DeviceOptions options;
    options.deviceName = "Test Phone";
    DeviceFixture device(options);
    // No update on the server: the update sheet closes by itself, then the connection dialog.
    testsupport::HttpFixture updates;
    qputenv("QUILLORY_UPDATE_SERVER", QByteArray::fromStdString(updates.base()));
    AppController app;
    app.startUp();
    EXPECT_TRUE(app.window()->windowTitle().startsWith(QStringLiteral("QuilloryMac v ")));
    EXPECT_TRUE(app.window()->windowTitle().endsWith(QStringLiteral(" By Orrinvale")));
    EXPECT_TRUE(app.update()->window()->isVisible());
    ASSERT_TRUE(
        waitFor([&] { return app.connection() && app.connection()->window()->isVisible(); }));
    EXPECT_FALSE(app.update()->window()->isVisible());
    EXPECT_EQ(updates.requests().size(), 2u);  // statistics, then the feed
    qunsetenv("QUILLORY_UPDATE_SERVER");
    EXPECT_FALSE(app.syncButton()->isEnabled());

    connectTo(app, device.port());
    EXPECT_FALSE(app.connection()->window()->isVisible());
    EXPECT_EQ(app.deviceName(), QStringLiteral("Test Phone"));
    EXPECT_EQ(app.syncLocation(), QString::fromStdString(device.root().string()));
    EXPECT_EQ(app.infoLine(), QString());
    EXPECT_TRUE(app.syncButton()->isEnabled());
    EXPECT_FALSE(app.ratingControl()->isVisibleTo(app.window()));

    app.sourceView()->selectionModel()->select(app.sourceModel()->index(1),
                                               QItemSelectionModel::Select);
    app.add();
    QList<ProgressInfo> reports;
    const SyncResult result = syncAndWait(app, &reports);
    EXPECT_TRUE(result.succeeded()) << result.message().toStdString();
    QStringList shown;
    for (const ProgressInfo& info : reports) {
        EXPECT_EQ(info.title, QStringLiteral("Syncing.."));
        shown << QStringLiteral("%1 %2").arg(info.percent).arg(info.detail);
    }
    EXPECT_EQ(
        shown,
        (QStringList{
            QStringLiteral("0 Connecting to database.."),
            QStringLiteral("0 Connecting to android device.."),
            QStringLiteral("0 Checking pre-synced files"), QStringLiteral("0 Connecting to device"),
            QStringLiteral("0 Focus_ Deep Work.m3u"), QStringLiteral("33 01 Þögn.flac"),
            QStringLiteral("33 Syncing art :Kyrrð"), QStringLiteral("66 02 Über the Fjord.flac"),
            QStringLiteral("100 Untitled Hum.ogg")}));
    QMessageBox* finished = app.openSheet();
    EXPECT_EQ(finished->windowTitle(), QStringLiteral("Finished"));
    // The progress sheet went before the result came up.
    EXPECT_FALSE(app.progress()->isVisible());
    EXPECT_TRUE(finished->informativeText().contains(QStringLiteral("Sync is complete..")));
    EXPECT_EQ(finished->buttons().size(), 1);
    EXPECT_TRUE(app.ratingControl()->isVisibleTo(app.window()));
    press(finished, QStringLiteral("OK"));
    EXPECT_TRUE(
        waitFor([&] { return !app.progress()->isVisible() && app.syncButton()->isEnabled(); }));
    EXPECT_EQ(device.tree().size(), 5u);  // three tracks, one art file, one playlist

    app.ratingClick(3);
    EXPECT_EQ(app.openSheet(), nullptr);
    app.ratingClick(4);
    ASSERT_NE(app.openSheet(), nullptr);
    EXPECT_EQ(app.openSheet()->windowTitle(), QStringLiteral("Thanks"));
    press(app.openSheet(), QStringLiteral("No Thanks"));
}

TEST_F(AppControllerTest, ErrorSheetRetryAndReconnect) {
    AppController app;
    std::string port;
    {
        DeviceFixture device;
        port = device.port();
        connectTo(app, port);
        ASSERT_TRUE(app.syncButton()->isEnabled());
    }
    // The device is gone: the sync fails to connect.
    SyncResult result = syncAndWait(app);
    EXPECT_EQ(result.type(), QStringLiteral("error_connect"));
    QMessageBox* error = app.openSheet();
    EXPECT_EQ(error->windowTitle(), QStringLiteral("error_connect"));
    EXPECT_TRUE(error->informativeText().contains(QStringLiteral("Connection refused")));
    EXPECT_FALSE(app.ratingControl()->isVisibleTo(app.window()));

    // Retry starts a new sync at once, with the old connection data.
    std::optional<SyncResult> again;
    QObject::connect(&app, &AppController::syncEnded, [&](const SyncResult& r) { again = r; });
    press(error, QStringLiteral("Retry"));
    ASSERT_TRUE(waitFor([&] { return again && app.openSheet() != nullptr; }));
    EXPECT_EQ(again->type(), QStringLiteral("error_connect"));
    // The close box counts as OK, never as Retry: after error_connect it reopens the
    // connection dialog, and no sync starts.
    app.openSheet()->close();
    EXPECT_EQ(app.openSheet(), nullptr);
    EXPECT_FALSE(app.progress()->isVisible());
    EXPECT_TRUE(waitFor([&] { return app.connection()->window()->isVisible(); }));
}

TEST_F(AppControllerTest, UnreadableLibraryRefusesTheSyncAndLeavesTheDevice) {
    testsupport::TempDir music;
    const QString lists = useLibrary(music, {{"Mix", {"one.mp3", "two.mp3"}}});
    DeviceFixture device;
    {
        AppController app;
        EXPECT_EQ(app.libraryNoticeText(), QString());
        app.addAll();
        connectTo(app, device.port());
        ASSERT_TRUE(syncAndWait(app).succeeded());
        press(app.openSheet(), QStringLiteral("OK"));
    }
    ASSERT_EQ(device.tree().size(), 3u);  // two tracks and the playlist
    const auto onDevice = device.tree();

    // The library goes (a renamed folder, an unplugged drive): at the next start the window
    // says so, names the library and points to File > Choose...; the saved list shows missing.
    std::filesystem::rename(music.file("lists"), music.file("gone"));
    for (const bool restarted : {true, false}) {
        std::optional<AppController> app;
        app.emplace();
        if (!restarted) {
            // Or it goes while the program runs, after the window read it.
            std::filesystem::rename(music.file("gone"), music.file("lists"));
            app.reset();
            app.emplace();
            EXPECT_EQ(app->libraryNoticeText(), QString());
            std::filesystem::rename(music.file("lists"), music.file("gone"));
        } else {
            EXPECT_TRUE(app->libraryNoticeText().contains(lists));
            EXPECT_TRUE(app->libraryNoticeText().contains(
                QStringLiteral("File > Choose Music Library File...")));
            EXPECT_EQ(shownSyncList(*app),
                      QStringList{PlaylistListModel::missingText(QStringLiteral("Mix"))});
        }
        connectTo(*app, device.port());
        const std::string commands = device.commandLog();
        EXPECT_EQ(syncHeldBack(*app), LibraryGuard::Verdict::Refuse);
        EXPECT_EQ(app->openSheet()->windowTitle(), LibraryGuard::refusalTitle());
        EXPECT_TRUE(app->openSheet()->informativeText().contains(lists));
        EXPECT_FALSE(app->progress()->isVisible());
        EXPECT_TRUE(app->libraryNoticeText().contains(lists));
        press(app->openSheet(), QStringLiteral("OK"));
        EXPECT_TRUE(waitFor([&] { return app->syncButton()->isEnabled(); }));
        // Nothing reached the device: not a command, not a deletion.
        EXPECT_EQ(device.commandLog(), commands);
        EXPECT_EQ(device.tree(), onDevice);
        EXPECT_EQ(app->lists().syncPlaylist(), QStringList{QStringLiteral("Mix")});
    }
}

TEST_F(AppControllerTest, PlaylistGoneFromTheLibraryIsMarkedAndAskedAbout) {
    testsupport::TempDir music;
    useLibrary(music, {{"Keep", {"one.mp3"}}, {"Old", {"two.mp3", "three.mp3"}}});
    DeviceFixture device;
    {
        AppController app;
        app.addAll();
        connectTo(app, device.port());
        ASSERT_TRUE(syncAndWait(app).succeeded());
        press(app.openSheet(), QStringLiteral("OK"));
    }
    const auto onDevice = device.tree();
    ASSERT_EQ(onDevice.count("unknown/unknown/two.mp3"), 1u);
    std::filesystem::remove(music.file("lists/Old.m3u"));

    AppController app;
    EXPECT_EQ(app.libraryNoticeText(), QString());
    EXPECT_EQ(shownSyncList(app),
              (QStringList{QStringLiteral("Keep"),
                           PlaylistListModel::missingText(QStringLiteral("Old"))}));
    connectTo(app, device.port());
    const std::string commands = device.commandLog();
    // Cancel, and Escape, leave the device as it was.
    for (const bool byEscape : {false, true}) {
        EXPECT_EQ(syncHeldBack(app), LibraryGuard::Verdict::Confirm);
        QMessageBox* ask = app.openSheet();
        EXPECT_EQ(ask->windowTitle(), LibraryGuard::confirmationTitle());
        EXPECT_TRUE(ask->informativeText().contains(QStringLiteral("\"Old\"")));
        EXPECT_FALSE(app.progress()->isVisible());
        if (byEscape) {
            escape(ask);
        } else {
            press(ask, QStringLiteral("Cancel"));
        }
        EXPECT_EQ(app.openSheet(), nullptr);
        EXPECT_FALSE(app.progress()->isVisible());
        EXPECT_TRUE(waitFor([&] { return app.syncButton()->isEnabled(); }));
        EXPECT_EQ(device.commandLog(), commands);
        EXPECT_EQ(device.tree(), onDevice);
    }

    // Continue syncs, and the missing playlist's tracks leave the device.
    EXPECT_EQ(syncHeldBack(app), LibraryGuard::Verdict::Confirm);
    std::optional<SyncResult> ended;
    QObject::connect(&app, &AppController::syncEnded, [&](const SyncResult& r) { ended = r; });
    press(app.openSheet(), QStringLiteral("Continue"));
    ASSERT_TRUE(waitFor([&] { return ended && app.openSheet() != nullptr; }, 30000));
    EXPECT_TRUE(ended->succeeded()) << ended->message().toStdString();
    EXPECT_EQ(ended->summary.deleted, 2);
    EXPECT_EQ(device.tree().count("unknown/unknown/two.mp3"), 0u);
    EXPECT_EQ(device.tree().count("unknown/unknown/one.mp3"), 1u);
    press(app.openSheet(), QStringLiteral("OK"));
}

TEST_F(AppControllerTest, SummaryLineAndMessagesShownLiterally) {
    testsupport::TempDir music;
    useLibrary(music, {{"A", {"one.mp3", "two.mp3"}},
                       {"B", {"three.mp3", "four.mp3"}},
                       {"C", {"five.mp3", "six.mp3"}}});
    DeviceFixture device;
    AppController app;
    connectTo(app, device.port());
    app.addIndexesToSyncList({0, 1});  // A and B
    ASSERT_TRUE(syncAndWait(app).succeeded());
    press(app.openSheet(), QStringLiteral("OK"));

    // A stays (present), B goes (deleted), C comes: its first track declined, the other sent.
    FaultPlan decline;
    decline.parse("other-response:syncmedia");
    device.device().setFault(decline);
    app.removeIndexesFromSyncList({1});
    app.addIndexesToSyncList({2});
    const SyncResult result = syncAndWait(app);
    ASSERT_TRUE(result.succeeded()) << result.message().toStdString();
    EXPECT_EQ(app.openSheet()->informativeText(),
              QStringLiteral("Sync is complete..\n1 track sent, 2 deleted from the device, 2 "
                             "already there, 0 skipped (unreadable), 1 declined by the device."));
    EXPECT_EQ(result.declinedFiles, QStringList{QStringLiteral("unknown/unknown/five.mp3")});
    press(app.openSheet(), QStringLiteral("OK"));

    // A device's message with "&", quotes and markup reaches the sheet as plain text.
    const QString reason =
        QStringLiteral("Simon & Garfunkel's \"Bridge\" <b>won't</b> fit &amp; more");
    FaultPlan refuse;
    refuse.parse("refuse:syncmedia:" + reason.toStdString());
    device.device().setFault(refuse);
    app.addIndexesToSyncList({1});
    const SyncResult refused = syncAndWait(app);
    EXPECT_EQ(refused.type(), QStringLiteral("error_refused"));
    QMessageBox* error = app.openSheet();
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->informativeText(), reason);
    const auto* shown = error->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->text(), reason);
    EXPECT_EQ(shown->textFormat(), Qt::PlainText);
    press(error, QStringLiteral("OK"));
}

TEST_F(AppControllerTest, CancelDuringALargeFile) {
    testsupport::TempDir library;
    std::string big(24 * 1024 * 1024, '\0');
    std::mt19937 random(3);
    for (char& byte : big) byte = static_cast<char>(random());
    library.write("music/big.mp3", big);
    library.write("lists/Big.m3u", "../music/big.mp3\n");
    qputenv("QUILLORY_LIBRARY", QByteArray::fromStdString(library.file("lists")));
    DeviceOptions slow;
    slow.fault.parse("slow:syncmedia:2000000");
    DeviceFixture device(slow);
    AppController app;
    connectTo(app, device.port());
    app.addAll();

    std::optional<SyncResult> ended;
    int endings = 0;
    QObject::connect(&app, &AppController::syncEnded, [&](const SyncResult& r) {
        ended = r;
        ++endings;
    });
    int cancelRequests = 0;
    const ObserverRegistration counting(QStringLiteral("cancel"),
                                        [&](const Notification&) { ++cancelRequests; });
    app.syncButton()->click();
    ASSERT_TRUE(waitFor([&] { return app.progress()->detailText() == QStringLiteral("big.mp3"); }));
    // Cancel, then Escape as well: both ask, and the sheet stays until the sync has ended.
    app.progress()->findChild<QPushButton*>()->click();
    escape(app.progress());
    EXPECT_EQ(cancelRequests, 2);
    EXPECT_TRUE(app.progress()->isVisible());
    ASSERT_TRUE(waitFor([&] { return ended.has_value() && app.openSheet() != nullptr; }));
    // The second request has no further effect: one sync, ended once, as cancelled.
    EXPECT_EQ(endings, 1);
    EXPECT_EQ(ended->type(), QStringLiteral("error_cancel"));
    EXPECT_EQ(ended->message(), QStringLiteral("operation canceled by user.."));
    EXPECT_EQ(app.openSheet()->windowTitle(), QStringLiteral("error_cancel"));
    EXPECT_FALSE(app.progress()->isVisible());
    // The device lets the cut-off file go once it has dropped the connection: nothing of it
    // under its name, and no partial file either.
    device.device().setFault(FaultPlan());
    ASSERT_TRUE(device.device().waitUntilIdle(std::chrono::seconds(20)));
    for (const auto& [name, bytes] : device.tree()) {
        EXPECT_EQ(name.find("big.mp3"), std::string::npos) << name;
        EXPECT_EQ(name.find(".quillory-part"), std::string::npos) << name;
    }
    // One more Escape lands on the error sheet: it means OK, not Retry.
    const std::string commands = device.commandLog();
    escape(app.openSheet());
    EXPECT_EQ(app.openSheet(), nullptr);
    EXPECT_FALSE(app.progress()->isVisible());  // no new sync started
    EXPECT_TRUE(waitFor([&] { return app.syncButton()->isEnabled(); }));
    EXPECT_EQ(device.commandLog(), commands);
    EXPECT_EQ(endings, 1);

    // A Cancel with no sync running finds nothing to stop, and the next sync runs to its end.
    app.progress()->cacelSync();
    EXPECT_EQ(cancelRequests, 3);
    const SyncResult next = syncAndWait(app);
    EXPECT_TRUE(next.succeeded()) << next.message().toStdString();
    EXPECT_EQ(endings, 2);
    ASSERT_EQ(device.tree().count("unknown/unknown/big.mp3"), 1u);
    EXPECT_TRUE(device.tree().at("unknown/unknown/big.mp3") == big);
    press(app.openSheet(), QStringLiteral("OK"));
}

TEST_F(AppControllerTest, DesktopConventions) {
    // Every button and menu item has a mnemonic; F1 is help.
    {
        AppController app;
        for (QPushButton* button : app.window()->findChildren<QPushButton*>()) {
            EXPECT_TRUE(button->text().contains(QLatin1Char('&'))) << button->text().toStdString();
        }
        bool f1 = false;
        for (QAction* action : app.window()->findChildren<QAction*>()) {
            if (action->isSeparator() || action->menu() != nullptr || action->text().isEmpty())
                continue;
            EXPECT_TRUE(action->text().contains(QLatin1Char('&'))) << action->text().toStdString();
            f1 = f1 || action->shortcut() == QKeySequence(Qt::Key_F1);
        }
        EXPECT_TRUE(f1);

        // Enter (or a double-click) moves a playlist to the other list; Delete removes the
        // selected ones from the sync list.
        auto key = [](QWidget* to, int code) {
            QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
            QApplication::sendEvent(to, &press);
        };
        app.window()->show();
        app.sourceView()->setCurrentIndex(app.sourceModel()->index(2));
        key(app.sourceView(), Qt::Key_Return);
        app.sourceView()->setCurrentIndex(app.sourceModel()->index(0));
        key(app.sourceView(), Qt::Key_Return);
        EXPECT_EQ(app.lists().syncPlaylist(),
                  (QStringList{QStringLiteral("Café Nights"), QStringLiteral("Morning Mix")}));
        app.syncView()->setFocus();
        app.syncView()->setCurrentIndex(app.syncModel()->index(0));
        key(app.syncView(), Qt::Key_Delete);
        EXPECT_EQ(app.lists().syncPlaylist(), QStringList{QStringLiteral("Morning Mix")});
        app.syncView()->setCurrentIndex(app.syncModel()->index(0));
        key(app.syncView(), Qt::Key_Return);
        EXPECT_TRUE(app.lists().syncPlaylist().isEmpty());

        // Help > About names the version, the licence and the home page.
        app.about();
        ASSERT_NE(app.aboutSheet(), nullptr);
        EXPECT_TRUE(app.aboutSheet()->text().contains(ProgramIdentity::shared().getAppVersion()));
        EXPECT_TRUE(app.aboutSheet()->text().contains(QStringLiteral("Licence: ")));
        EXPECT_TRUE(app.aboutSheet()->text().contains(ProgramIdentity::helpPage()));
        app.aboutSheet()->close();

        app.window()->setGeometry(70, 60, 640, 420);
        app.window()->close();
    }
    // The window comes back where and as large as it was left.
    AppController again;
    EXPECT_EQ(again.window()->size(), QSize(640, 420));
}

// Catches the pages the program opens instead of starting a browser.
class PageCatcher : public QObject {
    Q_OBJECT
  public:
    PageCatcher() {
        for (const char* scheme : {"http", "https"}) {
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
        }
    }
    ~PageCatcher() override {
        for (const char* scheme : {"http", "https"}) {
            QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
        }
    }
    QList<QUrl> opened;
  public slots:
    void open(const QUrl& url) { opened << url; }
};

// The dialogs on the screen now, by title.
QStringList visibleDialogs() {
    QStringList titles;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<QDialog*>(widget) != nullptr && widget->isVisible()) {
            titles << widget->windowTitle();
        }
    }
    return titles;
}

TEST_F(AppControllerTest, StartUpShowsOneDialogAtATimeInOrder) {
    // A first launch after a crash, with an update on offer.
    testsupport::HttpFixture updates;
    updates.answer("/apps/quillorymac/desktop/updates/update.xml",
                   {200, "<?xml version=\"1.0\"?><update><version>99.0.0</version><source>" +
                             updates.base() + "/p.deb</source></update>"});
    qputenv("QUILLORY_UPDATE_SERVER", QByteArray::fromStdString(updates.base()));
    testsupport::TempDir working;
    working.write("running.marker", "1234");
    FeedbackReporter reporter(QString::fromStdString(working.path().string()));
    ASSERT_TRUE(reporter.previousRunCrashed());
    PageCatcher pages;

    AppController app;
    app.window()->resize(800, 500);
    app.window()->move(40, 30);
    app.window()->show();
    AppDelegate delegate(app, &reporter);
    delegate.applicationDidFinishLaunching();
    const QPoint centre = app.window()->frameGeometry().center();
    auto centred = [&](QWidget* dialog) {
        return (dialog->frameGeometry().center() - centre).manhattanLength() <= 4;
    };

    // The crash offer, alone, centred, with its buttons.
    QMessageBox* offer = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) offer = box;
    }
    ASSERT_NE(offer, nullptr);
    EXPECT_EQ(visibleDialogs(), QStringList{offer->windowTitle()});
    EXPECT_TRUE(centred(offer));
    EXPECT_EQ(offer->buttons().size(), 2);
    EXPECT_TRUE(pages.opened.isEmpty());
    press(offer, QStringLiteral("&Not Now"));

    // Then the update sheet, alone, offering the update.
    ASSERT_TRUE(waitFor([&] { return app.update() && app.update()->downloadEnabled(); }));
    EXPECT_EQ(visibleDialogs(), QStringList{app.update()->window()->windowTitle()});
    EXPECT_TRUE(centred(app.update()->window()));
    EXPECT_TRUE(app.connection() == nullptr || !app.connection()->window()->isVisible());
    app.update()->skip();

    // Then the connection dialog, alone; the help page only once it has closed.
    ASSERT_TRUE(
        waitFor([&] { return app.connection() && app.connection()->window()->isVisible(); }));
    EXPECT_EQ(visibleDialogs(), QStringList{app.connection()->window()->windowTitle()});
    EXPECT_TRUE(centred(app.connection()->window()));
    EXPECT_TRUE(pages.opened.isEmpty());
    app.connection()->cancelConnectionWindow();
    ASSERT_TRUE(waitFor([&] { return !pages.opened.isEmpty(); }));
    EXPECT_EQ(pages.opened.size(), 1);
    EXPECT_TRUE(visibleDialogs().isEmpty());
    qunsetenv("QUILLORY_UPDATE_SERVER");
}

}  // namespace

#include "AppControllerTest.moc"
