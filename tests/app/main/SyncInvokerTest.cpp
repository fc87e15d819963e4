#include "SyncInvoker.h"

#include <gtest/gtest.h>

#include <QThread>

#include "support/DeviceFixture.h"

namespace {

TEST(SyncInvokerTest, PortTakesItsLeadingDigits) {
    const struct {
        const char* text;
        quint64 number;
    } cases[] = {{"8080", 8080}, {"  5051abc", 5051}, {"+12", 12}, {"abc", 0}, {"", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(SyncInvoker::portNumber(QString::fromUtf8(c.text)), c.number) << c.text;
    }
}

TEST(SyncInvokerTest, RunsASyncAndPostsUpdatesOnItsThread) {
    testsupport::DeviceFixture device;
    testsupport::TempDir music;
    ITunesMediaFileObc track;
    track.artist = QStringLiteral("Bj\u00f6rk");
    track.album = QStringLiteral("Post");
    track.filename = QStringLiteral("Army.mp3");
    track.sourceFile = QString::fromStdString(music.write("Army.mp3", "army of me"));
    track.size = 10;
    track.playLists = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};

    NotificationCenter center;
    QStringList updates;
    bool onCaller = true;
    center.addObserver(QStringLiteral("update"), [&](const Notification& n) {
        onCaller = onCaller && QThread::currentThread() == QThread::currentThread();
        updates << QStringLiteral("%1 %2")
                       .arg(n.userInfo.value(QStringLiteral("percent")).toInt())
                       .arg(n.userInfo.value(QStringLiteral("message")).toString());
    });
    SyncInvoker invoker(center);
    invoker.cancelSync();  // before the sync starts: lost, the sync resets the flag
    const QMap<QString, QString> info{{QStringLiteral("deviceid"), QStringLiteral("d1")}};
    const QString port = QString::fromStdString(device.port());
    const SyncResult result = invoker.sync(QStringLiteral("127.0.0.1"), port + QStringLiteral("x"),
                                           {QStringLiteral("B")}, {track}, info);
    // The port text goes to the engine whole: "NNNNNx" does not resolve.
    EXPECT_EQ(result.result, QStringLiteral("exception"));
    EXPECT_EQ(result.type(), QStringLiteral("error_connect"));

    const SyncResult ok =
        invoker.sync(QStringLiteral("127.0.0.1"), port, {QStringLiteral("B")}, {track}, info);
    EXPECT_TRUE(ok.succeeded()) << ok.message().toStdString();
    EXPECT_FALSE(ok.exceptionDetails.has_value());
    EXPECT_TRUE(updates.contains(QStringLiteral("100 Army.mp3")));
    EXPECT_EQ(device.tree().at("playlists/B.m3u"), "#EXTM3U\n./Björk/Post/Army.mp3");
    EXPECT_EQ(device.tree().at("Björk/Post/Army.mp3"), "army of me");

    // An empty set of tracks still runs a sync.
    EXPECT_TRUE(invoker.sync(QStringLiteral("127.0.0.1"), port, {}, {}, info).succeeded());
}

}  // namespace
