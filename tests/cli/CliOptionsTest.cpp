// quillory-sync's command line, read without starting the program.
#include "CliOptions.h"

#include <gtest/gtest.h>

namespace {

// Everything parse decided, on one line, or its error: a case compares the whole outcome.
std::string outcome(const QStringList& arguments) {
    QString error;
    const std::optional<CliOptions> options = CliOptions::parse(arguments, error);
    if (!options) return "error: " + error.toStdString();
    const char* actions[] = {"sync", "list", "discover", "help", "version"};
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    return QStringList{QLatin1String(actions[static_cast<int>(options->action)]),
                       "library=" + options->library,
                       "music=" + options->musicFolder,
                       "playlists=" + options->playlists.join(QLatin1Char('|')),
                       "all=" + flag(options->all),
                       "host=" + options->host,
                       "port=" + options->port,
                       "seconds=" + QString::number(options->discoverSeconds),
                       "verbose=" + flag(options->verbose),
                       "pipelining=" + flag(options->pipelining),
                       "quiet=" + flag(options->quiet)}
        .join(QLatin1Char(' '))
        .toStdString();
}

TEST(CliOptionsTest, ParsesEachFormOrSaysWhatIsWrong) {
    const struct {
        QStringList arguments;
        const char* expected;
    } cases[] = {
        {{"--device", "127.0.0.1:5000", "--all"},
         "sync library= music= playlists= all=1 host=127.0.0.1 port=5000 seconds=3 verbose=0 "
         "pipelining=1 quiet=0"},
        {{"--playlist", "Café Nights", "--device", "phone.local:5000", "--playlist", "Mix",
          "--playlist", "Mix"},
         "sync library= music= playlists=Café Nights|Mix|Mix all=0 host=phone.local port=5000 "
         "seconds=3 verbose=0 pipelining=1 quiet=0"},
        {{"--device", "[::1]:5000", "--all", "--library", "/m/Library.xml", "--music-folder",
          "/disk/Music", "--verbose", "--no-pipelining"},
         "sync library=/m/Library.xml music=/disk/Music playlists= all=1 host=::1 port=5000 "
         "seconds=3 verbose=1 pipelining=0 quiet=0"},
        // Listing and discovery need no device.
        {{"--list-playlists", "--library", "/m/lists"},
         "list library=/m/lists music= playlists= all=0 host= port= seconds=3 verbose=0 "
         "pipelining=1 quiet=0"},
        {{"--discover", "--seconds", "1.5"},
         "discover library= music= playlists= all=0 host= port= seconds=1.5 verbose=0 "
         "pipelining=1 quiet=0"},
        {{"--device", "nonsense", "-h"},
         "help library= music= playlists= all=0 host= port= seconds=3 verbose=0 pipelining=1 "
         "quiet=0"},
        {{"--all", "--help"},
         "help library= music= playlists= all=1 host= port= seconds=3 verbose=0 pipelining=1 "
         "quiet=0"},
        {{"--device", "nonsense", "--version", "--help"},
         "version library= music= playlists= all=0 host= port= seconds=3 verbose=0 pipelining=1 "
         "quiet=0"},
        // The short options, apart, bundled and with attached values, and "--option=value".
        {{"-d", "127.0.0.1:5000", "-p", "Mix", "-l", "/m/lists", "-q", "-v"},
         "sync library=/m/lists music= playlists=Mix all=0 host=127.0.0.1 port=5000 seconds=3 "
         "verbose=1 pipelining=1 quiet=1"},
        {{"-aqd", "127.0.0.1:5000", "-lLibrary.xml", "-pCafé Nights", "-vp", "Mix"},
         "sync library=Library.xml music= playlists=Café Nights|Mix all=1 host=127.0.0.1 "
         "port=5000 seconds=3 verbose=1 pipelining=1 quiet=1"},
        {{"--device=[::1]:5000", "--playlist=a=b", "--library=/m/x.xml", "--music-folder=/d",
          "--quiet"},
         "sync library=/m/x.xml music=/d playlists=a=b all=0 host=::1 port=5000 seconds=3 "
         "verbose=0 pipelining=1 quiet=1"},
        {{"--discover", "--seconds=2"},
         "discover library= music= playlists= all=0 host= port= seconds=2 verbose=0 "
         "pipelining=1 quiet=0"},
        // A value is taken whole, however it looks.
        {{"-d", "h:1", "-p", "-a", "--playlist", "--all", "-p", "--device=x"},
         "sync library= music= playlists=-a|--all|--device=x all=0 host=h port=1 seconds=3 "
         "verbose=0 pipelining=1 quiet=0"},
        {{"-ah"},
         "help library= music= playlists= all=1 host= port= seconds=3 verbose=0 pipelining=1 "
         "quiet=0"},

        {{}, "error: --device HOST:PORT is required to sync"},
        {{"--all"}, "error: --device HOST:PORT is required to sync"},
        {{"--device", "127.0.0.1:5000"},
         "error: name the playlists to sync with --playlist, or use --all"},
        {{"--device", "[::1]", "--all"}, "error: --device needs HOST:PORT, not [::1]"},
        {{"--device", "::1:5000", "--all"}, "error: --device needs HOST:PORT, not ::1:5000"},
        {{"--device", "nocolon", "--all"}, "error: --device needs HOST:PORT, not nocolon"},
        {{"--all", "--device"}, "error: --device needs a value"},
        {{"--playlist"}, "error: --playlist needs a value"},
        {{"--list-playlists", "--library"}, "error: --library needs a value"},
        {{"--list-playlists", "--music-folder"}, "error: --music-folder needs a value"},
        {{"--discover", "--seconds"}, "error: --seconds needs a value"},
        {{"--discover", "--seconds", "0"}, "error: --seconds needs a number of seconds"},
        {{"--discover", "--seconds", "-2"}, "error: --seconds needs a number of seconds"},
        {{"--discover", "--seconds", "3601"}, "error: --seconds needs a number of seconds"},
        {{"--discover", "--seconds", "soon"}, "error: --seconds needs a number of seconds"},
        {{"--all", "--everything"}, "error: unknown argument --everything"},
        // An unknown argument stops the reading: a later --help is not reached.
        {{"-x", "--help"}, "error: unknown argument -x"},
        {{"-ax", "--help"}, "error: unknown argument -x"},
        {{"--all=yes", "--help"}, "error: unknown argument --all=yes"},
        {{"--all", "-d"}, "error: -d needs a value"},
        {{"-ad"}, "error: -d needs a value"},
        {{"--all", "-p"}, "error: -p needs a value"},
        {{"--list-playlists", "-l"}, "error: -l needs a value"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(outcome(c.arguments), c.expected)
            << c.arguments.join(QLatin1Char(' ')).toStdString();
    }
}

TEST(CliOptionsTest, SplitsTheDeviceAddress) {
    const struct {
        const char* text;
        const char* host;  // null: refused
        const char* port;
    } cases[] = {
        {"127.0.0.1:5000", "127.0.0.1", "5000"},
        {"phone.local:80", "phone.local", "80"},
        {"[::1]:5000", "::1", "5000"},
        {"[fe80::1%eth0]:5000", "fe80::1%eth0", "5000"},
        // The port is handed on as written; the connection decides what it means.
        {"host:http", "host", "http"},
        {"[::1]", nullptr, nullptr},
        {"[::1]:", nullptr, nullptr},
        {"[::1]5000", nullptr, nullptr},
        {"[::1:5000", nullptr, nullptr},
        {"[]:5000", nullptr, nullptr},
        {"::1:5000", nullptr, nullptr},
        {"fe80::1", nullptr, nullptr},
        {"host:", nullptr, nullptr},
        {":5000", nullptr, nullptr},
        {"host", nullptr, nullptr},
        {"", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        QString host = QStringLiteral("before");
        QString port = QStringLiteral("before");
        const bool split = CliOptions::splitDevice(QString::fromUtf8(c.text), host, port);
        EXPECT_EQ(split, c.host != nullptr) << c.text;
        EXPECT_EQ(host.toStdString(), c.host != nullptr ? c.host : "before") << c.text;
        EXPECT_EQ(port.toStdString(), c.port != nullptr ? c.port : "before") << c.text;
    }
}

TEST(CliOptionsTest, HelpNamesEveryOptionTheParserTakes) {
    const QString help = CliOptions::help();
    for (const char* option : {"--device",
                               "--playlist",
                               "--all",
                               "--library",
                               "--music-folder",
                               "--list-playlists",
                               "--discover",
                               "--seconds",
                               "--no-pipelining",
                               "--verbose",
                               "--quiet",
                               "--help",
                               "--version",
                               "--dry-run",
                               "-d",
                               "-p",
                               "-a",
                               "-n",
                               "-l",
                               "-v",
                               "-q",
                               "-h"}) {
        EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
        // Each one is read, not refused as unknown.
        QString error;
        CliOptions::parse({QLatin1String(option), QStringLiteral("1")}, error);
        EXPECT_NE(error, QStringLiteral("unknown argument ") + QLatin1String(option)) << option;
    }
}

// The help is read on terminals of 80 columns.
TEST(CliOptionsTest, HelpFitsEightyColumnsAndVersionNamesTheProgram) {
    const QStringList lines = CliOptions::help().split(QLatin1Char('\n'));
    EXPECT_GT(lines.size(), 20);
    for (const QString& line : lines) {
        EXPECT_LE(line.size(), 80) << line.toStdString();
    }
    EXPECT_EQ(CliOptions::version().toStdString(),
              std::string("quillory-sync ") + QUILLORY_VERSION_TEXT + "\n");
}

}  // namespace
