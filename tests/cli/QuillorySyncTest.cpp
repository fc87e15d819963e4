// quillory-sync end to end: the real program against the reference device server.
#include <gtest/gtest.h>
#include <signal.h>

#include <QFile>
#include <QProcess>
#include <chrono>
#include <random>

#include "Announcer.h"
#include "support/DeviceFixture.h"
#include "support/PrivateNetwork.h"

namespace {

using testsupport::DeviceFixture;
using testsupport::readFile;
using testsupport::TempDir;

const QString kSample = QStringLiteral(QUILLORY_SAMPLE_LIBRARY);

class QuillorySyncTest : public testing::Test {
  protected:
    // Starts quillory-sync with its own home and temporary folders.
    void start(QProcess& process, const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.path().string()));
        environment.insert(QStringLiteral("TMPDIR"), QString::fromStdString(temp.path().string()));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"),
                           QString::fromStdString(home.file(".cache")));
        environment.remove(QStringLiteral("QUILLORY_LIBRARY"));
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(QUILLORY_SYNC_BIN), arguments);
        ASSERT_TRUE(process.waitForStarted());
    }

    struct Run {
        int status;
        QString out;
        QString err;
    };
    Run run(const QStringList& arguments) {
        QProcess process;
        start(process, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QStringList syncTo(DeviceFixture& device, const QString& library) {
        return {QStringLiteral("--library"), library, QStringLiteral("--device"),
                QStringLiteral("127.0.0.1:") + QString::fromStdString(device.port()),
                QStringLiteral("--all")};
    }

    static std::size_t count(const std::string& text, const std::string& needle) {
        std::size_t n = 0;
        for (std::size_t at = text.find(needle); at != std::string::npos;
             at = text.find(needle, at + 1)) {
            ++n;
        }
        return n;
    }

    TempDir home;
    TempDir temp;
};

TEST_F(QuillorySyncTest, SyncsTheSampleLibraryThenSendsNothing) {
    DeviceFixture device;
    const Run first = run(syncTo(device, kSample + QStringLiteral("/Library.xml")));
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    // Not on a terminal: one plain line per report.
    EXPECT_TRUE(first.out.contains(QStringLiteral("  0% Connecting to database..\n")));
    EXPECT_TRUE(first.out.contains(QStringLiteral("100% 01 Dusk's Opening.ogg\n")));

    const std::string music = QString(kSample + QStringLiteral("/music/")).toStdString();
    const std::map<std::string, std::string> tree = device.tree();
    const std::map<std::string, std::string> sources{
        {"Aurora Tones/Northern Lights/01 First Light.mp3",
         "Aurora Tones/Northern Lights/01 First Light.mp3"},
        {"Aurora Tones/Northern Lights/02 Rock'n'Roll: Take 1.mp3",
         "Aurora Tones/Northern Lights/02 Rock'n'Roll: Take 1.mp3"},
        {"Day_Night Ensemble/Dusk_ Live_Unplugged/01 Dusk's Opening.ogg",
         "Day-Night Ensemble/Dusk - Live/01 Dusk's Opening.ogg"},
        {"Day_Night Ensemble/Dusk_ Live_Unplugged/02 Evening [Reprise].opus",
         "Day-Night Ensemble/Dusk - Live/02 Evening [Reprise].opus"},
        {"Day_Night Ensemble/Dusk_ Live_Unplugged/AlbumArt.jpg",
         "Day-Night Ensemble/Dusk - Live/cover.jpg"},
        {"Sigrún Ó/Kyrrð/01 Þögn.flac", "Sigrún Ó/Kyrrð/01 Þögn.flac"},
        {"Sigrún Ó/Kyrrð/02 Über the Fjord.flac", "Sigrún Ó/Kyrrð/02 Über the Fjord.flac"},
        {"unknown/Field Recordings/Untitled Hum.ogg", "Unknown Artist/Untitled Hum.ogg"},
    };
    for (const auto& [onDevice, source] : sources) {
        ASSERT_EQ(tree.count(onDevice), 1u) << onDevice;
        EXPECT_EQ(tree.at(onDevice), readFile(music + source)) << onDevice;
    }
    std::set<std::string> names;
    for (const auto& [name, bytes] : tree) names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{
                         "Aurora Tones/Northern Lights/01 First Light.mp3",
                         "Aurora Tones/Northern Lights/02 Rock'n'Roll: Take 1.mp3",
                         "Aurora Tones/Northern Lights/AlbumArt.jpg",
                         "Day_Night Ensemble/Dusk_ Live_Unplugged/01 Dusk's Opening.ogg",
                         "Day_Night Ensemble/Dusk_ Live_Unplugged/02 Evening [Reprise].opus",
                         "Day_Night Ensemble/Dusk_ Live_Unplugged/AlbumArt.jpg",
                         "Sigrún Ó/Kyrrð/01 Þögn.flac", "Sigrún Ó/Kyrrð/02 Über the Fjord.flac",
                         "Sigrún Ó/Kyrrð/AlbumArt.jpg", "playlists/Café Nights.m3u",
                         "playlists/Focus_ Deep Work.m3u", "playlists/Morning Mix.m3u",
                         "unknown/Field Recordings/Untitled Hum.ogg"}));
    EXPECT_EQ(tree.at("playlists/Focus_ Deep Work.m3u"),
              "#EXTM3U\n./Sigrún Ó/Kyrrð/01 Þögn.flac\n./Sigrún Ó/Kyrrð/02 Über the Fjord.flac"
              "\n./unknown/Field Recordings/Untitled Hum.ogg");
    EXPECT_EQ(count(device.commandLog(), "\"command\" : \"syncmedia\""), 7u);

    const Run second = run(syncTo(device, kSample + QStringLiteral("/Library.xml")));
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_EQ(count(device.commandLog(), "\"command\" : \"syncmedia\""), 7u);
    EXPECT_EQ(device.tree(), tree);
    // The engine's log went to the working folder, not through the progress lines.
    EXPECT_FALSE(second.out.contains(QStringLiteral("WIFITRANSFER")));
    EXPECT_TRUE(readFile(home.file("quillory/quillory-sync.log"))
                    .find("Synchronizer : Finished syncing..") != std::string::npos);
}

// Standard error is for the program's own messages: the log of the library, the environment
// and the engine goes to the log file, or to standard error only when asked for.
TEST_F(QuillorySyncTest, StandardErrorCarriesOnlyTheProgramsOwnMessages) {
    DeviceFixture device;
    const QString xml = kSample + QStringLiteral("/Library.xml");
    // A fresh home: the working folder and its cache are made in this run, which is logged.
    const Run listing = run({QStringLiteral("--list-playlists"), QStringLiteral("-l"), xml});
    EXPECT_EQ(listing.status, 0);
    EXPECT_EQ(listing.err.toStdString(), "");
    const Run sync = run(syncTo(device, xml));
    ASSERT_EQ(sync.status, 0) << sync.err.toStdString();
    EXPECT_EQ(sync.err.toStdString(), "");
    const std::string log = readFile(home.file("quillory/quillory-sync.log"));
    EXPECT_NE(log.find("quillory.environment: Path in bundle:"), std::string::npos) << log;
    EXPECT_NE(log.find("Synchronizer : Finished syncing.."), std::string::npos) << log;

    const std::size_t logged = log.size();
    const Run verbose = run(syncTo(device, xml) << QStringLiteral("--verbose"));
    ASSERT_EQ(verbose.status, 0) << verbose.err.toStdString();
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("Synchronizer : Finished syncing..")))
        << verbose.err.toStdString();
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("quillory.library: Playlists -")))
        << verbose.err.toStdString();
    EXPECT_EQ(readFile(home.file("quillory/quillory-sync.log")).size(), logged);
}

TEST_F(QuillorySyncTest, QuietPrintsNothingButSyncs) {
    DeviceFixture device;
    TempDir library;
    library.write("music/one.mp3", "one");
    library.write("lists/Mix.m3u", "../music/one.mp3\n");
    const QStringList arguments = syncTo(device, QString::fromStdString(library.file("lists")))
                                  << QStringLiteral("-q");
    const Run quiet = run(arguments);
    EXPECT_EQ(quiet.status, 0) << quiet.err.toStdString();
    EXPECT_EQ(quiet.out.toStdString(), "");
    EXPECT_EQ(quiet.err.toStdString(), "");
    EXPECT_EQ(device.tree().at("unknown/unknown/one.mp3"), "one");
}

TEST_F(QuillorySyncTest, ConnectionFailureSaysWhatToCheck) {
    std::string closedPort;
    {
        DeviceFixture gone;
        closedPort = gone.port();
    }
    const Run refused = run({QStringLiteral("-l"), kSample + QStringLiteral("/Library.xml"),
                             QStringLiteral("-a"), QStringLiteral("-q"), QStringLiteral("-d"),
                             QStringLiteral("127.0.0.1:") + QString::fromStdString(closedPort)});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.out.toStdString(), "");
    EXPECT_EQ(refused.err.toStdString(),
              "quillory-sync: error_connect: Connection refused \u2014 is the device app running "
              "and on the same network?\n");
}

TEST_F(QuillorySyncTest, CtrlCCancelsAndTheNextSyncCompletes) {
    DeviceOptions slow;
    slow.fault.parse("slow:syncmedia:2000000");
    DeviceFixture device(slow);
    TempDir library;
    // Far larger than the socket buffers, so that the file is still being sent at the Ctrl-C.
    std::string big(24 * 1024 * 1024, '\0');
    std::mt19937 random(7);
    for (char& byte : big) byte = static_cast<char>(random());
    library.write("music/big.mp3", big);
    library.write("music/small.mp3", "small");
    library.write("lists/Mix.m3u", "../music/big.mp3\n../music/small.mp3\n");
    const QString lists = QString::fromStdString(library.file("lists"));

    QProcess process;
    start(process, syncTo(device, lists));
    QByteArray seen;
    while (!seen.contains("big.mp3\n") && process.waitForReadyRead(20000)) {
        seen += process.readAllStandardOutput();
    }
    ASSERT_TRUE(seen.contains("big.mp3\n")) << seen.toStdString();
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(20000));
    EXPECT_EQ(process.exitCode(), 130);
    EXPECT_TRUE(
        process.readAllStandardError().contains("error_cancel: operation canceled by user.."));
    // The server notices the cancelled upload only when it next reads; the partial file goes
    // when it lets that client go.
    ASSERT_TRUE(device.device().waitUntilIdle(std::chrono::seconds(20)));
    // Nothing of the cancelled file under its name, and no partial file either.
    for (const auto& [name, bytes] : device.tree()) {
        EXPECT_EQ(name.find("big"), std::string::npos) << name;
        EXPECT_EQ(name.find(".quillory-part"), std::string::npos) << name;
    }

    const Run again = run(syncTo(device, lists));
    ASSERT_EQ(again.status, 0) << again.err.toStdString();
    const std::map<std::string, std::string> tree = device.tree();
    ASSERT_EQ(tree.count("unknown/unknown/big.mp3"), 1u);
    EXPECT_TRUE(tree.at("unknown/unknown/big.mp3") == big);
    EXPECT_EQ(tree.at("unknown/unknown/small.mp3"), "small");
}

TEST_F(QuillorySyncTest, DeclinedFilesAreNamedSkippedAndOfferedAgain) {
    DeviceOptions declining;
    declining.fault.parse("other-response:syncmedia");  // the first track offered
    DeviceFixture device(declining);
    TempDir library;
    library.write("music/one.mp3", "one");
    library.write("music/two.mp3", "two");
    library.write("lists/Mix.m3u", "../music/one.mp3\n../music/two.mp3\n");
    const QString lists = QString::fromStdString(library.file("lists"));

    const Run first = run(syncTo(device, lists));
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_TRUE(first.out.endsWith(
        QStringLiteral("Summary: 1 track sent, 0 deleted from the device, 0 already there, 0 "
                       "skipped (unreadable), 1 declined by the device.\n"
                       "Sync finished, but the device declined 1 files; the next sync offers them "
                       "again:\n  unknown/unknown/one.mp3\n")))
        << first.out.toStdString();
    EXPECT_EQ(device.tree().count("unknown/unknown/one.mp3"), 0u);
    EXPECT_EQ(device.tree().count("unknown/unknown/two.mp3"), 1u);  // the sync went on

    const Run second = run(syncTo(device, lists));
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(
        second.out.contains(QStringLiteral("Sync finished: the device holds the 2 tracks")));
    EXPECT_TRUE(
        second.out.contains(QStringLiteral("Summary: 1 track sent, 0 deleted from the "
                                           "device, 1 already there,")));
    EXPECT_EQ(device.tree().at("unknown/unknown/one.mp3"), "one");
}

TEST_F(QuillorySyncTest, DryRunListsWhatTheSyncThenDoesAndChangesNothing) {
    DeviceFixture device;
    TempDir library;
    library.write("music/one.mp3", "one");
    library.write("music/two.mp3", "two");
    library.write("music/three.mp3", "three");
    library.write("lists/Mix.m3u", "../music/one.mp3\n../music/two.mp3\n");
    library.write("lists/Other.m3u", "../music/three.mp3\n");
    const QString lists = QString::fromStdString(library.file("lists"));
    ASSERT_EQ(run(syncTo(device, lists)).status, 0);
    library.write("lists/Mix.m3u", "../music/one.mp3\n../music/three.mp3\n");
    const std::map<std::string, std::string> before = device.tree();
    const std::string cache = readFile(home.file("quillory/db.s3db"));
    const std::size_t logged = device.commandLog().size();

    QStringList mixOnly = syncTo(device, lists);
    mixOnly.replace(mixOnly.indexOf(QStringLiteral("--all")), QStringLiteral("--playlist"));
    mixOnly << QStringLiteral("Mix");
    const Run dry = run(mixOnly + QStringList{QStringLiteral("-n")});
    ASSERT_EQ(dry.status, 0) << dry.err.toStdString();
    EXPECT_TRUE(dry.out.contains(
        QStringLiteral("Dry run: nothing was changed on the device or in the cache.\n"
                       "A sync would delete 1 files from the device:\n"
                       "  unknown/unknown/two.mp3\n"
                       "A sync would send 0 files:\n"
                       "A sync would also replace the device's playlists with the 1 chosen ones, "
                       "leave 2 tracks that are already there and skip 0 that cannot be read.\n")))
        << dry.out.toStdString();
    EXPECT_EQ(device.tree(), before);
    EXPECT_EQ(readFile(home.file("quillory/db.s3db")), cache);
    EXPECT_EQ(device.commandLog().find("\"command\" : \"delete\"", logged), std::string::npos);

    ASSERT_EQ(run(mixOnly).status, 0);
    const std::string synced = device.commandLog().substr(logged);
    EXPECT_EQ(count(synced, "\"command\" : \"delete\""), 1u);
    EXPECT_NE(synced.find("\"filename\" : \"two.mp3\""), std::string::npos);
    EXPECT_EQ(count(synced, "\"command\" : \"syncmedia\""), 0u);
}

// A Library.xml exported on Windows names its tracks under that machine's music folder; with
// --music-folder they are found by the same relative path here.
TEST_F(QuillorySyncTest, LibraryFromAnotherComputerSyncsFromTheMusicFolder) {
    TempDir library;
    library.write("disk/Music/Band/Record/01 Song.mp3", "song");
    const QString xml = QString::fromStdString(library.write(
        "export/Library.xml",
        "<plist><dict><key>Music Folder</key>"
        "<string>file://localhost/C:/Users/Name/Music/iTunes/iTunes%20Media/</string>"
        "<key>Tracks</key><dict><key>7</key><dict><key>Artist</key><string>Band</string>"
        "<key>Album</key><string>Record</string><key>Location</key><string>file://localhost/"
        "C:/Users/Name/Music/iTunes/iTunes%20Media/Music/Band/Record/01%20Song.mp3</string>"
        "</dict></dict><key>Playlists</key><array><dict><key>Name</key><string>Mix</string>"
        "<key>Playlist Items</key><array><dict><key>Track ID</key><integer>7</integer></dict>"
        "</array></dict></array></dict></plist>"));
    DeviceFixture device;
    const Run sync =
        run(syncTo(device, xml) + QStringList{QStringLiteral("--music-folder"),
                                              QString::fromStdString(library.file("disk"))});
    ASSERT_EQ(sync.status, 0) << sync.err.toStdString();
    EXPECT_EQ(device.tree().at("Band/Record/01 Song.mp3"), "song");
}

TEST_F(QuillorySyncTest, ErrorsAndListing) {
    const QString xml = kSample + QStringLiteral("/Library.xml");
    const QString missing = QString::fromStdString(home.file("missing.xml"));
    TempDir libraries;
    std::filesystem::create_directories(libraries.file("lists"));
    const QString empty = QString::fromStdString(libraries.file("lists"));
    const QString cut =
        QString::fromStdString(libraries.write("Cut.xml", "<plist><dict><key>Tracks</key><dict>"));
    libraries.write("part/Mix.m3u", "");
    const QString part = QString::fromStdString(libraries.file("part"));
    const QString bad =
        QString::fromStdString(libraries.write("part/Bad.xspf", "<playlist><trackList>"));
    std::string closedPort;
    {
        DeviceFixture gone;
        closedPort = gone.port();
    }
    const QString nobody = QStringLiteral("127.0.0.1:") + QString::fromStdString(closedPort);
    DeviceFixture device;
    const QString live = QStringLiteral("127.0.0.1:") + QString::fromStdString(device.port());

    // Every library problem is an error before anything reaches the device: a missing library,
    // a library without playlists (--all would otherwise empty the device), an unknown name.
    const struct {
        const char* what;
        QStringList arguments;
        int status;
        QString out;      // all of standard output
        QStringList err;  // each found in standard error
    } cases[] = {
        {"listing",
         {"--list-playlists", "--library", xml},
         0,
         QStringLiteral("Morning Mix\nFocus: Deep Work\nCafé Nights\n"),
         {}},
        // A damaged playlist file of a folder is named; the others are read.
        {"listing a folder with a damaged playlist",
         {"--list-playlists", "--library", part},
         0,
         QStringLiteral("Mix\n"),
         {QStringLiteral("quillory-sync: left out, cannot be read: ") + bad +
          QStringLiteral(": ")}},
        {"listing a missing library",
         {"--list-playlists", "--library", missing},
         2,
         {},
         {QStringLiteral("quillory-sync: cannot read the music library: ")}},
        {"a missing library",
         {"--library", missing, "--all", "--device", live},
         2,
         {},
         {QStringLiteral("quillory-sync: cannot read the music library: "),
          QStringLiteral("Nothing was sent.")}},
        {"a library without playlists",
         {"--library", empty, "--all", "--device", live},
         2,
         {},
         {QStringLiteral("quillory-sync: the music library %1 has no playlists. Nothing was "
                         "sent.")
              .arg(empty)}},
        // A damaged library names the file and what is wrong with it.
        {"a damaged library",
         {"--library", cut, "--all", "--device", live},
         2,
         {},
         {cut + QStringLiteral(": "), QStringLiteral("Nothing was sent.")}},
        {"an unknown playlist",
         {"--library", xml, "--device", live, "--playlist", "No Such List"},
         2,
         {},
         {QStringLiteral(
             "quillory-sync: the library has no playlist \"No Such List\". Nothing was sent.")}},
        {"a known and an unknown playlist",
         {"--library", xml, "--playlist", "Morning Mix", "--playlist", "Gone", "--device", live},
         2,
         {},
         {QStringLiteral("quillory-sync: the library has no playlist \"Gone\". Nothing was "
                         "sent.")}},
        {"nobody listening",
         {"--library", xml, "--device", nobody, "--playlist", "Morning Mix"},
         3,
         {},
         {QStringLiteral("quillory-sync: error_connect: Connection refused")}},
        {"an address without a port",
         {"--device", "nocolon", "--all"},
         2,
         {},
         {QStringLiteral("quillory-sync: --device needs HOST:PORT, not nocolon\n"
                         "Try quillory-sync --help.")}},
        {"an IPv6 address without a port",
         {"--device", "[::1]", "--all"},
         2,
         {},
         {QStringLiteral("quillory-sync: --device needs HOST:PORT, not [::1]")}},
        {"an unknown argument",
         {"--library", xml, "--everything"},
         2,
         {},
         {QStringLiteral("quillory-sync: unknown argument --everything")}},
    };
    for (const auto& c : cases) {
        const Run ran = run(c.arguments);
        EXPECT_EQ(ran.status, c.status) << c.what << ": " << ran.err.toStdString();
        EXPECT_EQ(ran.out.toStdString(), c.out.toStdString()) << c.what;
        for (const QString& text : c.err) {
            EXPECT_TRUE(ran.err.contains(text))
                << c.what << ": " << text.toStdString() << " not in " << ran.err.toStdString();
        }
        // Not a command, not a file reached the device.
        EXPECT_EQ(device.commandLog(), "") << c.what;
        EXPECT_TRUE(device.tree().empty()) << c.what;
    }

    const Run help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("--discover")));
}

TEST_F(QuillorySyncTest, DiscoversAnnouncingDevices) {
    if (!testsupport::inPrivateNetwork()) {
        GTEST_SKIP()
            << "joins a multicast group: run in a private network namespace (scripts/test)";
    }
    Announcer phone("127.0.0.1", 5123, "Kitchen Phone", 0.1, 0, "");
    Announcer other("127.0.0.1", 5124, "Kitchen Phone", 0.1, 0, "");
    const Run found =
        run({QStringLiteral("--discover"), QStringLiteral("--seconds"), QStringLiteral("1.5")});
    EXPECT_EQ(found.status, 0) << found.err.toStdString();
    // Each host and port once, however often it announced.
    QStringList lines = found.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Kitchen Phone\t127.0.0.1:5123"),
                                  QStringLiteral("Kitchen Phone\t127.0.0.1:5124")}));
}

}  // namespace
