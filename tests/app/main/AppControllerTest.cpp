// The main window driven as a user would, against the reference device server.
#include "AppController.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <random>

#include "ConnectionWindowController.h"
#include "PlaylistListModel.h"
#include "ProgWinController.h"
#include "RatingControl.h"
#include "UpdateWindowController.h"
#include "support/DeviceFixture.h"
#include "support/HttpFixture.h"
#include "support/WaitFor.h"

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
            progress = QObject::connect(app.progress(), &ProgWinController::progressApplied,
                                        [reports](const ProgressInfo& info) { reports->append(info); });
        }
        EXPECT_TRUE(waitFor([&] { return ended && app.openSheet() != nullptr; }, 30000));
        QObject::disconnect(done);
        QObject::disconnect(progress);
        return ended.value_or(SyncResult{});
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
    ASSERT_TRUE(waitFor([&] { return app.connection() && app.connection()->window()->isVisible(); }));
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

    app.sourceView()->selectionModel()->select(app.sourceModel()->index(1), QItemSelectionModel::Select);
    app.add();
    QList<ProgressInfo> reports;
    const SyncResult result = syncAndWait(app, &reports);
    EXPECT_TRUE(result.succeeded()) << result.message().toStdString();
    QStringList shown;
    for (const ProgressInfo& info : reports) {
        EXPECT_EQ(info.title, QStringLiteral("Syncing.."));
        shown << QStringLiteral("%1 %2").arg(info.percent).arg(info.detail);
    }
    EXPECT_EQ(shown, (QStringList{QStringLiteral("0 Connecting to database.."),
                                  QStringLiteral("0 Connecting to android device.."),
                                  QStringLiteral("0 Checking pre-synced files"),
                                  QStringLiteral("0 Connecting to device"),
                                  QStringLiteral("0 Focus_ Deep Work.m3u"),
                                  QStringLiteral("33 01 Þögn.flac"),
                                  QStringLiteral("33 Syncing art :Kyrrð"),
                                  QStringLiteral("66 02 Über the Fjord.flac"),
                                  QStringLiteral("100 Untitled Hum.ogg")}));
    QMessageBox* finished = app.openSheet();
    EXPECT_EQ(finished->windowTitle(), QStringLiteral("Finished"));
    EXPECT_TRUE(finished->informativeText().contains(QStringLiteral("Sync is complete..")));
    EXPECT_EQ(finished->buttons().size(), 1);
    EXPECT_TRUE(app.ratingControl()->isVisibleTo(app.window()));
    press(finished, QStringLiteral("OK"));
    EXPECT_TRUE(waitFor([&] { return !app.progress()->isVisible() && app.syncButton()->isEnabled(); }));
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
    // OK after error_connect reopens the connection dialog.
    press(app.openSheet(), QStringLiteral("OK"));
    EXPECT_TRUE(waitFor([&] { return app.connection()->window()->isVisible(); }));
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
    QObject::connect(&app, &AppController::syncEnded, [&](const SyncResult& r) { ended = r; });
    app.syncButton()->click();
    ASSERT_TRUE(waitFor([&] { return app.progress()->detailText() == QStringLiteral("big.mp3"); }));
    // Pressing Cancel twice: the second press has no further effect.
    app.progress()->findChild<QPushButton*>()->click();
    app.progress()->findChild<QPushButton*>()->click();
    ASSERT_TRUE(waitFor([&] { return ended.has_value() && app.openSheet() != nullptr; }));
    EXPECT_EQ(ended->type(), QStringLiteral("error_cancel"));
    EXPECT_EQ(ended->message(), QStringLiteral("operation canceled by user.."));
    EXPECT_EQ(app.openSheet()->windowTitle(), QStringLiteral("error_cancel"));
    press(app.openSheet(), QStringLiteral("OK"));
    EXPECT_TRUE(waitFor([&] { return app.syncButton()->isEnabled(); }));
}

}  // namespace
