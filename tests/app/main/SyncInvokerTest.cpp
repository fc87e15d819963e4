#include "main/SyncInvoker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <thread>
#include <vector>

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

TEST(SyncInvokerTest, RunsASyncAndPostsUpdatesOnTheCallingThread) {
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
    struct Update {
        std::thread::id thread;
        QString text;
    };
    // Written by the thread that syncs, read only once its sync has returned.
    std::vector<Update> updates;
    center.addObserver(QStringLiteral("update"), [&](const Notification& n) {
        updates.push_back({std::this_thread::get_id(),
                           QStringLiteral("%1 %2")
                               .arg(n.userInfo.value(QStringLiteral("percent")).toInt())
                               .arg(n.userInfo.value(QStringLiteral("message")).toString())});
    });
    const auto threadsOf = [&] {
        std::set<std::thread::id> threads;
        for (const Update& update : updates) threads.insert(update.thread);
        return threads;
    };
    SyncInvoker invoker(center);
    const QMap<QString, QString> info{{QStringLiteral("deviceid"), QStringLiteral("d1")}};
    const QString port = QString::fromStdString(device.port());

    // From the main thread. The port text goes to the engine whole: "NNNNNx" does not resolve.
    const SyncResult result = invoker.sync(QStringLiteral("127.0.0.1"), port + QStringLiteral("x"),
                                           {QStringLiteral("B")}, {track}, info);
    EXPECT_EQ(result.result, QStringLiteral("exception"));
    EXPECT_EQ(result.type(), QStringLiteral("error_connect"));
    ASSERT_FALSE(updates.empty());
    EXPECT_EQ(threadsOf(), std::set<std::thread::id>{std::this_thread::get_id()});

    // From a thread of its own, as the window runs it: every report reaches the observers on
    // that thread, before sync returns.
    updates.clear();
    invoker.cancelSync();  // before the sync starts: lost, the sync resets the flag
    std::thread::id caller;
    std::optional<SyncResult> ok;
    std::size_t reportedBeforeReturning = 0;
    std::thread syncing([&] {
        caller = std::this_thread::get_id();
        ok = invoker.sync(QStringLiteral("127.0.0.1"), port, {QStringLiteral("B")}, {track}, info);
        reportedBeforeReturning = updates.size();
    });
    syncing.join();
    ASSERT_TRUE(ok.has_value());
    EXPECT_TRUE(ok->succeeded()) << ok->message().toStdString();
    EXPECT_FALSE(ok->exceptionDetails.has_value());
    EXPECT_EQ(threadsOf(), std::set<std::thread::id>{caller});
    EXPECT_EQ(updates.size(), reportedBeforeReturning);
    EXPECT_TRUE(std::any_of(updates.begin(), updates.end(), [](const Update& update) {
        return update.text == QStringLiteral("100 Army.mp3");
    }));
    EXPECT_EQ(device.tree().at("playlists/B.m3u"), "#EXTM3U\n./Björk/Post/Army.mp3");
    EXPECT_EQ(device.tree().at("Björk/Post/Army.mp3"), "army of me");

    // An empty set of tracks still runs a sync.
    EXPECT_TRUE(invoker.sync(QStringLiteral("127.0.0.1"), port, {}, {}, info).succeeded());
}

}  // namespace
