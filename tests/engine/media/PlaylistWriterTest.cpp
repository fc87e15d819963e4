#include "media/PlaylistWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "media/CMediaException.h"

#include "support/TempDir.h"

namespace {

using itunesinfo::ITunesMediaFile;
using testsupport::readFile;
using testsupport::TempDir;

ITunesMediaFile track(const std::string& artist, const std::string& album, const std::string& file,
                      std::vector<std::string> playlists) {
    return ITunesMediaFile(artist, album, file, 10, "/m/" + file, "", std::move(playlists));
}

TEST(PlaylistWriterTest, WritesExactBytes) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    media::PlaylistWriter writer({"Road Trip", " Best: of/All ", "Empty"}, "/sdcard", folder);
    writer.addMediaFile(track("AC/DC", "Back in Black", "01 Hells Bells.mp3", {"Road Trip"}));
    writer.addMediaFile(
        track("The Band", "Live Album", "a/b.mp3", {"Road Trip", " Best: of/All "}));
    writer.addMediaFile(track("Other", "X", "x.mp3", {"Not chosen"}));
    writer.removeExistingPlaylists();
    writer.writeInPlaylists();

    const std::vector<std::string> paths = writer.getAbsolutePlaylistNames();
    EXPECT_EQ(paths, (std::vector<std::string>{folder + "Road Trip.m3u",
                                               folder + "Best_ of_All.m3u", folder + "Empty.m3u"}));
    EXPECT_EQ(readFile(paths[0]),
              "#EXTM3U\n./AC_DC/Back in Black/01 Hells Bells.mp3\n./The Band/Live Album/a/b.mp3");
    EXPECT_EQ(readFile(paths[1]), "#EXTM3U\n./The Band/Live Album/a/b.mp3");
    EXPECT_EQ(readFile(paths[2]), "#EXTM3U");
    EXPECT_EQ(readFile(paths[2]).size(), 7u);
}

TEST(PlaylistWriterTest, ReplacesThePreviousFile) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    dir.write("Mix.m3u", "#EXTM3U\n./old/entry.mp3");
    {
        media::PlaylistWriter writer({"Mix"}, "", folder);
        EXPECT_EQ(readFile(folder + "Mix.m3u").find("old"), std::string::npos);
        writer.addMediaFile(track("A", "B", "c.mp3", {"Mix"}));
        writer.writeInPlaylists();
    }
    EXPECT_EQ(readFile(folder + "Mix.m3u"), "#EXTM3U\n./A/B/c.mp3");
}

TEST(PlaylistWriterTest, NamesCleanedAlikeKeepTheirOwnFiles) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    // "a_b" differs only in case, which the phone's storage ignores; "Mix" is chosen twice.
    const std::vector<std::vector<std::string>> orders{{"A:B", "A/B", "a_b", "Mix", "Mix"},
                                                       {"Mix", "a_b", "A/B", "A:B"}};
    for (const std::vector<std::string>& order : orders) {
        std::map<std::string, std::string> pathOf;
        {
            media::PlaylistWriter writer(order, "", folder);
            writer.addMediaFile(track("x", "y", "colon.mp3", {"A:B"}));
            writer.addMediaFile(track("x", "y", "slash.mp3", {"A/B"}));
            writer.addMediaFile(track("x", "y", "lower.mp3", {"a_b"}));
            writer.writeInPlaylists();
            const std::vector<std::string> paths = writer.getAbsolutePlaylistNames();
            ASSERT_EQ(paths.size(), 4u);
            std::vector<std::string> distinct;
            for (const std::string& name : order) {
                if (std::find(distinct.begin(), distinct.end(), name) == distinct.end()) {
                    distinct.push_back(name);
                }
            }
            for (std::size_t i = 0; i < distinct.size(); ++i) pathOf[distinct[i]] = paths[i];
        }
        // The same file for each name whatever the order, chosen by the names' byte order.
        EXPECT_EQ(pathOf, (std::map<std::string, std::string>{{"A/B", folder + "A_B.m3u"},
                                                              {"A:B", folder + "A_B (2).m3u"},
                                                              {"a_b", folder + "a_b (3).m3u"},
                                                              {"Mix", folder + "Mix.m3u"}}));
        EXPECT_EQ(readFile(folder + "A_B.m3u"), "#EXTM3U\n./x/y/slash.mp3");
        EXPECT_EQ(readFile(folder + "A_B (2).m3u"), "#EXTM3U\n./x/y/colon.mp3");
        EXPECT_EQ(readFile(folder + "a_b (3).m3u"), "#EXTM3U\n./x/y/lower.mp3");
    }
}

TEST(PlaylistWriterTest, UncreatableFileIsAnError) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/missing/";
    try {
        media::PlaylistWriter writer({"Mix"}, "", folder);
        FAIL() << "a playlist that cannot be written must not pass silently";
    } catch (const media::CMediaException& error) {
        EXPECT_STREQ(error.what(), "error");
        EXPECT_EQ(error.message, "cannot write the playlist file " + folder +
                                     "Mix.m3u: No such file or directory");
    }
}

}  // namespace
