// Names that are hard on file systems and playlists, from the library's tags and file names
// through the engine to the device server: no crash, nothing outside the device's root, and every
// playlist entry names a file the device holds.
#include <gtest/gtest.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <QFile>
#include <set>

#include "library/MusicLibrary.h"
#include "library/MusicProvider.h"
#include "link/WifiTransfer.h"
#include "main/SyncInvoker.h"
#include "media/Synchronizer.h"
#include "support/DeviceFixture.h"

namespace {

using testsupport::DeviceFixture;
using testsupport::TempDir;

struct Name {
    std::string file;
    std::string artist;
    std::string album;
};

const std::vector<Name> kNames{
    {"..mp3", "..", "."},
    {".hidden.mp3", ".hidden", "..."},
    {"quote\"and'apostrophe.mp3", "AC/DC", "Back\\Slash"},
    {"100% per%cent.mp3", "100%", "50% off"},
    {"ctl\x01name.mp3", "Ctl\x01\x1f\x7f", "Line\nBreak"},
    {std::string(251, 'n') + ".mp3", std::string(255, 'a'), std::string(255, 'b')},
    {"bad utf8.mp3", "Bad \xff\xfe UTF-8", "\xc3\x28"},
    {"rtl\xe2\x80\xae" "3pm.exe.mp3", "\xe2\x80\xae" "evil", "\xe2\x80\x8f" "mark"},
    {"  spaced  .mp3", "   ", ""},
};

TEST(BadNamesTest, TravelSafelyFromLibraryToDevice) {
    TempDir library;
    std::string playlist = "#EXTM3U\n";
    for (const Name& name : kNames) {
        const std::string path = library.write("music/" + name.file, std::string("\xFF\xFB\x90\x00", 4) + std::string(600, '\0'));
        TagLib::MPEG::File file(path.c_str(), false);
        TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
        // Tags hold text; bytes that are not UTF-8 arrive as Latin-1 letters.
        tag->setArtist(TagLib::String(name.artist, TagLib::String::UTF8));
        tag->setAlbum(TagLib::String(name.album, TagLib::String::UTF8));
        file.save(TagLib::MPEG::File::ID3v2);
        playlist += "../music/" + name.file + "\n";
    }
    library.write("lists/Odd: \"names\" 100%.m3u8", playlist);
    const auto source = MusicLibrary::open(QString::fromStdString(library.file("lists")));
    ASSERT_TRUE(source);
    const QStringList names = MusicProvider::getPlaylistNames(source.get());
    ASSERT_EQ(names.size(), 1);
    const auto tracks = MusicProvider::getMusicMediaFiles(source.get(), names);
    ASSERT_TRUE(tracks);
    EXPECT_EQ(tracks->size(), static_cast<qsizetype>(kNames.size()));

    DeviceFixture device;
    const std::filesystem::path outside = device.root().parent_path();
    SyncInvoker invoker;
    const QMap<QString, QString> info{{QStringLiteral("deviceid"), QStringLiteral("odd")}};
    const SyncResult result = invoker.sync(QStringLiteral("127.0.0.1"), QString::fromStdString(device.port()),
                                           names, *tracks, info);
    ASSERT_TRUE(result.succeeded()) << result.type().toStdString() << ": " << result.message().toStdString();

    // Nothing beside the root but what the fixture keeps there.
    std::set<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(outside)) beside.insert(entry.path().filename());
    EXPECT_EQ(beside, (std::set<std::string>{"device", "commands.log"}));

    // Every playlist entry names a file the device holds, relative to its root.
    const std::map<std::string, std::string> tree = device.tree();
    ASSERT_EQ(tree.count("playlists/Odd_ _names_ 100%.m3u"), 1u);
    const std::string m3u = tree.at("playlists/Odd_ _names_ 100%.m3u");
    std::size_t entries = 0;
    std::size_t start = m3u.find('\n');
    while (start != std::string::npos) {
        const std::size_t end = m3u.find('\n', start + 1);
        std::string entry = m3u.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        ASSERT_EQ(entry.rfind("./", 0), 0u) << entry;
        const std::filesystem::path onDevice = (device.root() / entry.substr(2)).lexically_normal();
        EXPECT_TRUE(std::filesystem::is_regular_file(onDevice)) << entry;
        EXPECT_EQ(std::filesystem::relative(onDevice, device.root()).string().rfind("..", 0), std::string::npos)
            << entry;
        ++entries;
        start = end;
    }
    EXPECT_EQ(entries, kNames.size());

    // A second sync finds them all in the cache and on the device.
    const SyncResult again = invoker.sync(QStringLiteral("127.0.0.1"), QString::fromStdString(device.port()),
                                          names, *tracks, info);
    EXPECT_TRUE(again.succeeded()) << again.message().toStdString();
    EXPECT_EQ(device.tree(), tree);
}

// The engine itself takes names as bytes: invalid UTF-8 in every name, file names included
// (the desktop side holds paths as text, so such file names only reach the engine this way).
TEST(BadNamesTest, BytesThatAreNotUtf8ReachTheDevice) {
    TempDir work;
    work.copyTemplateDb();
    TempDir music;
    const std::string file = "inv\xff\xfe.mp3";
    const std::string location = music.write(file, "bytes");
    DeviceFixture device;
    int cancel = 0;
    WifiTransfer transfer(&cancel);
    transfer.setHost("127.0.0.1");
    transfer.setPort(device.port());
    ServerConnectInfo kept;
    struct Quiet : SyncStatusCallback {
        void onSyncStatus(int, std::string) override {}
    } quiet;
    const itunesinfo::ITunesMediaFile track("\xc3\x28 artist", "..\xff", file, 5, location, "", {"P\xfe"});
    Synchronizer(transfer, kept, {track}, {}, {"P\xfe"}, work.path().string()).sync(&quiet);
    const std::map<std::string, std::string> tree = device.tree();
    EXPECT_EQ(tree.at("\xc3\x28 artist/..\xff/" + file), "bytes");
    EXPECT_EQ(tree.at("playlists/P\xfe.m3u"), "#EXTM3U\n./\xc3\x28 artist/..\xff/" + file);
}

}  // namespace
