#include "media/PlaylistWriter.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

using itunesinfo::ITunesMediaFile;
using testsupport::readFile;
using testsupport::TempDir;

ITunesMediaFile track(const std::string& artist, const std::string& album,
                      const std::string& file, std::vector<std::string> playlists) {
    return ITunesMediaFile(artist, album, file, 10, "/m/" + file, "", std::move(playlists));
}

TEST(PlaylistWriterTest, WritesExactBytes) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    media::PlaylistWriter writer({"Road Trip", " Best: of/All ", "Empty"}, "/sdcard", folder);
    writer.addMediaFile(track("AC/DC", "Back in Black", "01 Hells Bells.mp3", {"Road Trip"}));
    writer.addMediaFile(track("The Band", "Live Album", "a/b.mp3", {"Road Trip", " Best: of/All "}));
    writer.addMediaFile(track("Other", "X", "x.mp3", {"Not chosen"}));
    writer.removeExistingPlaylists();
    writer.writeInPlaylists();

    const std::vector<std::string> paths = writer.getAbsolutePlaylistNames();
    EXPECT_EQ(paths, (std::vector<std::string>{folder + "Road Trip.m3u", folder + "Best_ of_All.m3u",
                                               folder + "Empty.m3u"}));
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

TEST(PlaylistWriterTest, NamesCleanedAlikeShareOnePath) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/";
    media::PlaylistWriter writer({"A:B", "A/B"}, "", folder);
    writer.addMediaFile(track("x", "y", "first.mp3", {"A:B"}));
    writer.addMediaFile(track("x", "y", "second.mp3", {"A/B"}));
    writer.writeInPlaylists();
    EXPECT_EQ(writer.getAbsolutePlaylistNames(),
              (std::vector<std::string>{folder + "A_B.m3u", folder + "A_B.m3u"}));
    EXPECT_EQ(readFile(folder + "A_B.m3u"), "#EXTM3U\n./x/y/second.mp3");
}

TEST(PlaylistWriterTest, UncreatableFileStaysSilent) {
    TempDir dir;
    const std::string folder = dir.path().string() + "/missing/";
    media::PlaylistWriter writer({"Mix"}, "", folder);
    writer.addMediaFile(track("A", "B", "c.mp3", {"Mix"}));
    writer.writeInPlaylists();
    EXPECT_EQ(writer.getAbsolutePlaylistNames(), (std::vector<std::string>{folder + "Mix.m3u"}));
    EXPECT_FALSE(std::filesystem::exists(folder + "Mix.m3u"));
}

}  // namespace
