#include <gtest/gtest.h>

#include <memory>

#include "media/CMediaException.h"
#include "media/ITunesMediaFile.h"
#include "media/ServerConnectInfo.h"

namespace {

using Reply = std::map<std::string, std::string>;

TEST(ServerConnectInfoTest, FromFullReply) {
    const ServerConnectInfo info(Reply{{"response", "ok"},
                                       {"versionname", "2.3"},
                                       {"versioncode", "23"},
                                       {"package", "com.example.sync"},
                                       {"deviceid", "abc123"},
                                       {"devicename", "Pixel"},
                                       {"synclocation", "/sdcard/Music"},
                                       {"extra", "x"},
                                       {"server.protocol.version", "2.0"}});
    EXPECT_EQ(info.getVersion(), "2.3");
    EXPECT_EQ(info.getVersionCode(), "23");
    EXPECT_EQ(info.getPackage(), "com.example.sync");
    EXPECT_EQ(info.getDeviceId(), "abc123");
    EXPECT_EQ(info.getName(), "Pixel");
    EXPECT_EQ(info.getSyncLocation(), "/sdcard/Music");
    EXPECT_EQ(info.getExtra(), "x");
    EXPECT_EQ(info.getHost(), "");
    EXPECT_EQ(info.getPort(), 0u);
    EXPECT_EQ(info.compareProtocol("2.0"), 0);
    EXPECT_EQ(info.compareProtocol("1.9"), 1);
}

TEST(ServerConnectInfoTest, OlderDeviceApps) {
    // Without "deviceid" the protocol key is ignored.
    const ServerConnectInfo oldest(Reply{{"versionname", "1.0"}, {"server.protocol.version", "3.0"}});
    EXPECT_EQ(oldest.getDeviceId(), "unknown");
    EXPECT_EQ(oldest.getName(), "unknown");
    EXPECT_EQ(oldest.getSyncLocation(), "unknown");
    EXPECT_EQ(oldest.getExtra(), "");
    EXPECT_EQ(oldest.compareProtocol("1.0"), 0);
    EXPECT_LT(oldest.compareProtocol("2.0"), 0);

    const ServerConnectInfo older(Reply{{"deviceid", "d"}});
    EXPECT_EQ(older.getDeviceId(), "d");
    EXPECT_EQ(older.getVersion(), "");
    EXPECT_EQ(older.compareProtocol("1.1"), 0);
    EXPECT_LT(older.compareProtocol("2.0"), 0);
}

TEST(ServerConnectInfoTest, FromKeptValues) {
    const ServerConnectInfo info("2.3", "23", "pkg", "192.168.1.5", 5000, "id", "Phone",
                                 "/sdcard", "e");
    const ServerConnectInfo copy = info;
    EXPECT_EQ(copy.getHost(), "192.168.1.5");
    EXPECT_EQ(copy.getPort(), 5000u);
    EXPECT_EQ(copy.getName(), "Phone");
    EXPECT_EQ(copy.getSyncLocation(), "/sdcard");
    // The protocol version is unknown here and compares as 0.
    EXPECT_EQ(copy.compareProtocol("0"), 0);
    const ServerConnectInfo empty;
    EXPECT_EQ(empty.getPort(), 0u);
    EXPECT_EQ(empty.getDeviceId(), "");
}

TEST(ITunesMediaFileTest, RecordAndPlaylists) {
    itunesinfo::ITunesMediaFile track("Artist", "Album", "01 Song.mp3", 1234, "/m/01 Song.mp3",
                                      "/tmp/quillory/art.jpg", {"Road Trip", "Chill"});
    EXPECT_EQ(track.getStatus(), media::MediaFile::STATUS_UNCHECKED);
    EXPECT_EQ(static_cast<int>(track.getStatus()), 15);
    EXPECT_EQ(track.getSize(), 1234);
    EXPECT_EQ(track.getLocation(), "/m/01 Song.mp3");
    EXPECT_EQ(track.getArtLocation(), "/tmp/quillory/art.jpg");
    EXPECT_TRUE(track.belongsToPlaylist("Chill"));
    EXPECT_FALSE(track.belongsToPlaylist("chill"));
    EXPECT_FALSE(track.belongsToPlaylist("Chill "));
    track.setStatus(media::MediaFile::STATUS_SYNCED);
    const itunesinfo::ITunesMediaFile copy = track;
    EXPECT_EQ(static_cast<int>(copy.getStatus()), 10);
    EXPECT_EQ(static_cast<int>(media::MediaFile::STATUS_NEW), 0);
}

TEST(MediaExceptionTest, KindCodesAndMessages) {
    std::vector<std::pair<std::unique_ptr<media::CMediaException>, std::string>> cases;
    cases.emplace_back(std::make_unique<media::CMediaException>("m0"), "error");
    cases.emplace_back(std::make_unique<media::CDBException>("m1"), "error_db");
    cases.emplace_back(std::make_unique<media::CMediaConnectException>("m2"), "error_connect");
    cases.emplace_back(std::make_unique<media::CMediaDisconnectException>("m3"),
                       "error_disconnect");
    cases.emplace_back(std::make_unique<media::CMediaRefusedException>("m4"), "error_refused");
    cases.emplace_back(std::make_unique<media::CMediaCommunicationException>("m5"),
                       "error_communication");
    cases.emplace_back(std::make_unique<media::CCancelException>("anything"), "error_cancel");
    for (const auto& [error, kind] : cases) EXPECT_STREQ(error->what(), kind.c_str());
    EXPECT_EQ(cases[4].first->message, "m4");

    try {
        throw media::CCancelException("operation canceled by user..");
    } catch (const media::CMediaException& caught) {
        EXPECT_STREQ(caught.what(), "error_cancel");
        EXPECT_EQ(caught.message, "operation canceled by user..");
    }
}

}  // namespace
