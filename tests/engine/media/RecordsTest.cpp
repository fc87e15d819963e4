#include <gtest/gtest.h>

#include <memory>

#include "media/CMediaException.h"
#include "media/ITunesMediaFile.h"
#include "media/ServerConnectInfo.h"

namespace {

using Reply = std::map<std::string, std::string>;

TEST(ServerConnectInfoTest, ReadsEachFieldFromItsReplyKey) {
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
    EXPECT_EQ(info.compareProtocol("2.0"), 0);
}

TEST(ServerConnectInfoTest, ProtocolFollowsTheReplyShape) {
    // The sync asks the device to check the files it already holds only from protocol 2.0 on.
    const struct {
        const char* what;
        Reply reply;
        const char* identity;  // device id / name / sync location
        const char* protocol;
        bool checksExisting;
    } cases[] = {
        {"no deviceid: the oldest apps, whatever else they say",
         Reply{
             {"devicename", "Pixel"}, {"synclocation", "/sd"}, {"server.protocol.version", "3.0"}},
         "unknown/unknown/unknown", "1.0", false},
        {"an empty reply", Reply{}, "unknown/unknown/unknown", "1.0", false},
        {"deviceid without a protocol",
         Reply{{"deviceid", "d"}, {"devicename", "Pixel"}, {"synclocation", "/sd"}}, "d/Pixel//sd",
         "1.1", false},
        {"the key counts, not its value", Reply{{"deviceid", ""}}, "//", "1.1", false},
        {"deviceid and protocol 2.0", Reply{{"deviceid", "d"}, {"server.protocol.version", "2.0"}},
         "d//", "2.0", true},
        {"a newer protocol", Reply{{"deviceid", "d"}, {"server.protocol.version", "2.10"}}, "d//",
         "2.10", true},
    };
    for (const auto& c : cases) {
        const ServerConnectInfo info(c.reply);
        EXPECT_EQ(info.getDeviceId() + "/" + info.getName() + "/" + info.getSyncLocation(),
                  c.identity)
            << c.what;
        EXPECT_EQ(info.compareProtocol(c.protocol), 0) << c.what;
        EXPECT_EQ(info.compareProtocol("2.0") >= 0, c.checksExisting) << c.what;
        // Missing keys read as empty; neither host nor port travel in a reply.
        EXPECT_EQ(info.getVersion() + info.getExtra() + info.getHost(), "") << c.what;
        EXPECT_EQ(info.getPort(), 0u) << c.what;
    }
}

TEST(ServerConnectInfoTest, KeptValuesClaimNoProtocol) {
    // Only a handshake says what a device app speaks: kept values are older than any protocol.
    const ServerConnectInfo kept("2.3", "23", "pkg", "192.168.1.5", 5000, "id", "Phone", "/sdcard",
                                 "e");
    EXPECT_LT(kept.compareProtocol("1.0"), 0);
    EXPECT_LT(ServerConnectInfo().compareProtocol("1.0"), 0);
}

TEST(ITunesMediaFileTest, BelongsToAPlaylistByItsExactName) {
    const itunesinfo::ITunesMediaFile track("Artist", "Album", "01 Song.mp3", 1234,
                                            "/m/01 Song.mp3", "/tmp/art.jpg",
                                            {"Road Trip", "Chill", "Caf\u00e9"});
    const struct {
        const char* name;
        bool member;
    } cases[] = {
        {"Chill", true},       {"Road Trip", true}, {"Caf\u00e9", true},
        {"chill", false},      {"CHILL", false},    {"Chill ", false},
        {" Chill", false},     {"Road", false},     {"Road Trip Chill", false},
        {"Cafe\u0301", false},  // the same text decomposed is other bytes
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(track.belongsToPlaylist(c.name), c.member) << c.name;

    const itunesinfo::ITunesMediaFile inNone("A", "B", "c.mp3", 1, "/c.mp3", "", {});
    EXPECT_FALSE(inNone.belongsToPlaylist(""));
    // Not yet compared with the cache: the sync decides what it is.
    EXPECT_EQ(inNone.getStatus(), media::MediaFile::STATUS_UNCHECKED);
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
