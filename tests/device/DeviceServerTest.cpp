#include "DeviceServer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>

#include "link/CSockException.h"
#include "link/CTcpClient.h"
#include "link/CommandFormatter.h"
#include "support/DeviceFixture.h"

namespace {

using testsupport::DeviceFixture;
using Members = std::map<std::string, std::string>;

// A raw client speaking command lines to the server.
class Session {
public:
    explicit Session(DeviceFixture& device) {
        client.setTimeouts(2000, 3000);
        client.connectSock("127.0.0.1", device.port());
    }
    ~Session() { client.closeclient(); }
    void send(const std::string& line) { client.sendStr(line); }
    std::string ask(const std::string& line) {
        client.sendStr(line);
        return client.receiveLine();
    }
    std::string ask(const Members& command) { return ask(CommandFormatter::format(command)); }
    void sendBytes(const std::string& bytes) {
        client.sendData(bytes.data(), static_cast<unsigned int>(bytes.size()));
    }
    std::string reply() { return client.receiveLine(); }

    mycsocks::CTcpClient client;
};

const std::string kOk = "{\"response\":\"ok\"}\n";
std::string fail(const std::string& reason) {
    return "{\"reason\":\"" + reason + "\",\"response\":\"fail\"}\n";
}

Members media(const std::string& artist, const std::string& album, const std::string& file,
              const std::string& size = "3") {
    return {{"command", "syncmedia"}, {"artist", artist}, {"album", album}, {"filename", file},
            {"size", size}};
}

TEST(DeviceServerTest, RefusesNamesThatLeaveTheRoot) {
    DeviceFixture device;
    const std::filesystem::path outside = device.root().parent_path();
    auto namesOutside = [&] {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(outside)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    };
    Session session(device);
    const struct {
        Members command;
        std::string reason;
    } cases[] = {
        {media("..", "x", "a.mp3"), "artist may not be . or .."},
        {media("a", "..", "a.mp3"), "album may not be . or .."},
        {media("a", "b", "../../../escape.mp3"), "file name may not be . or .."},
        {media("a", "b", "/etc/escape.mp3"), "empty file name"},
        {media("a", "b", "c//d.mp3"), "empty file name"},
        {media("a", "b", ""), "empty file name"},
        {media("a/..", "b", "c.mp3"), "artist holds a slash"},
        {media("a", "b", std::string("c\0d.mp3", 7)), "file name holds a NUL byte"},
        {media("a", "b", std::string(256, 'n')), "file name is longer than 255 bytes"},
        {{{"command", "syncplaylist"}, {"filename", "../x.m3u"}, {"size", "1"}},
         "playlist name holds a slash"},
        {{{"command", "syncplaylist"}, {"filename", ".."}, {"size", "1"}},
         "playlist name may not be . or .."},
        {{{"command", "check_and_refresh_existing"}, {"artist", "a"}, {"album", "b"},
          {"filename", "../c"}, {"size", "1"}, {"dorefresh", "yes"}},
         "file name may not be . or .."},
    };
    for (const auto& c : cases) EXPECT_EQ(session.ask(c.command), fail(c.reason));
    // A delete of such a name is ignored (it has no reply): the next command still answers.
    session.send(CommandFormatter::format(
        {{"command", "delete"}, {"artist", ".."}, {"album", ".."}, {"filename", "db.s3db"}}));
    EXPECT_EQ(session.ask(media("a", "b", "fine.mp3", "0")), kOk);
    EXPECT_EQ(session.reply(), kOk);
    EXPECT_EQ(namesOutside(), (std::set<std::string>{"device", "commands.log"}));
    EXPECT_FALSE(std::filesystem::exists("/etc/escape.mp3"));
    EXPECT_EQ(device.tree(), (std::map<std::string, std::string>{{"a/b/fine.mp3", ""}}));
}

TEST(DeviceServerTest, RefusesBadSizes) {
    DeviceFixture device;
    Session session(device);
    for (const std::string size : {"-1", "abc", "", "1e3", " 5", "5 ", "+5", "0x10",
                                   "99999999999999999999"}) {
        EXPECT_EQ(session.ask(media("a", "b", "c.mp3", size)),
                  fail("size is not a non-negative decimal number"))
            << size;
    }
    EXPECT_EQ(session.ask(media("a", "b", "c.mp3", "9000000000000000000")),
              fail("not enough free space"));
    EXPECT_TRUE(device.tree().empty());
}

TEST(DeviceServerTest, MalformedCommandsAndLongLines) {
    DeviceOptions options;
    options.maxLineBytes = 1024;
    DeviceFixture device(options);
    {
        Session session(device);
        EXPECT_EQ(session.ask("not json"), fail("malformed command"));
        EXPECT_EQ(session.ask("[1,2]"), fail("malformed command"));
        EXPECT_EQ(session.ask("{\"command\":5}"), fail("malformed command"));
        EXPECT_EQ(session.ask("{\"command\":\"syncmedia\",\"size\":3}"), fail("malformed command"));
        EXPECT_EQ(session.ask("{\"command\":\"dance\"}"), fail("unknown command dance"));
        EXPECT_EQ(session.ask(std::string(5000, '{')), fail("command line too long"));
        // ...after which the server closes the connection.
        EXPECT_THROW(session.reply(), mycsocks::CSockException);
    }
    Session again(device);
    EXPECT_EQ(again.ask("{\"command\":\"bye\"}"), kOk);
}

TEST(DeviceServerTest, ClientVanishingMidFileLeavesNothing) {
    DeviceFixture device;
    {
        Session session(device);
        EXPECT_EQ(session.ask(media("a", "b", "c.mp3", "100000")), kOk);
        session.sendBytes(std::string(40000, 'x'));
    }
    // The next client is served, and the broken file left no trace, partial or otherwise.
    Session next(device);
    EXPECT_EQ(next.ask(media("a", "b", "c.mp3", "3")), kOk);
    next.sendBytes("abc");
    EXPECT_EQ(next.reply(), kOk);
    EXPECT_EQ(device.tree(), (std::map<std::string, std::string>{{"a/b/c.mp3", "abc"}}));
}

TEST(DeviceServerTest, UnwritableTargetRefusedAfterTheBytes) {
    DeviceFixture device;
    std::ofstream(device.root() / "a") << "a file where the artist folder should be";
    Session session(device);
    EXPECT_EQ(session.ask(media("a", "b", "c.mp3", "3")), kOk);
    session.sendBytes("abc");
    const std::string second = session.reply();
    EXPECT_EQ(second.rfind("{\"reason\":", 0), 0u) << second;
    EXPECT_NE(second.find("\"response\":\"fail\""), std::string::npos) << second;
    // The connection goes on.
    EXPECT_EQ(session.ask("{\"command\":\"bye\"}"), kOk);
}

TEST(DeviceServerTest, ExistenceStatusesAndRemoval) {
    DeviceFixture device;
    Session session(device);
    EXPECT_EQ(session.ask(media("Guns N_ Roses", "Use Your Illusion", "1.mp3", "3")), kOk);
    session.sendBytes("abc");
    EXPECT_EQ(session.reply(), kOk);
    auto check = [&](const std::string& size) {
        // The engine asks with the library's raw names.
        return session.ask({{"command", "check_and_refresh_existing"},
                            {"artist", "Guns N' Roses"},
                            {"album", " Use Your Illusion "},
                            {"filename", "1.mp3"},
                            {"size", size},
                            {"dorefresh", "yes"}});
    };
    EXPECT_EQ(check("3"), "{\"response\":\"ok\",\"status\":\"exists\"}\n");
    EXPECT_EQ(check("4"), "{\"response\":\"ok\",\"status\":\"sizemismatch\"}\n");
    session.send(CommandFormatter::format({{"command", "delete"},
                                           {"artist", "Guns N_ Roses"},
                                           {"album", "Use Your Illusion"},
                                           {"filename", "1.mp3"}}));
    EXPECT_EQ(check("3"), "{\"response\":\"ok\",\"status\":\"doesnotexist\"}\n");
    EXPECT_TRUE(std::filesystem::is_empty(device.root()));
}

TEST(DeviceServerTest, ProgramDocumentsItsOptionsAndServes) {
    FILE* help = popen(QUILLORY_DEVICE_BIN " --help", "r");
    ASSERT_NE(help, nullptr);
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, help)) > 0;) {
        text.append(buffer, got);
    }
    EXPECT_EQ(pclose(help), 0);
    for (const char* option :
         {"--root", "--listen", "--port", "--product", "--device-id", "--device-name",
          "--sync-location", "--protocol", "--announce-interval", "--announce-ttl",
          "--announce-interface", "--announce-ip", "--no-announce", "--idle-timeout",
          "--max-line", "--command-log", "--fault ", "--fault-at", "--help", "refuse", "garbage",
          "no-response", "other-response", "close-after-reply", "close-after-bytes",
          "close-before-second-reply", "stall", "slow"}) {
        EXPECT_NE(text.find(option), std::string::npos) << option;
    }

    testsupport::TempDir dir;
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        execl(QUILLORY_DEVICE_BIN, "quillory-device", "--root", dir.file("root").c_str(),
              "--listen", "127.0.0.1", "--port", "0", "--announce-ttl", "0", nullptr);
        _exit(127);
    }
    close(out[1]);
    FILE* lines = fdopen(out[0], "r");
    char first[256] = {};
    ASSERT_NE(std::fgets(first, sizeof first, lines), nullptr);
    const std::string banner = first;
    ASSERT_EQ(banner.rfind("listening on 127.0.0.1:", 0), 0u) << banner;
    const std::string port = banner.substr(23, banner.size() - 24);

    mycsocks::CTcpClient client;
    client.connectSock("127.0.0.1", port);
    client.sendStr(CommandFormatter::format({{"command", "version"}}));
    const std::string reply = client.receiveLine();
    EXPECT_NE(reply.find("\"server.protocol.version\":\"2.0\""), std::string::npos) << reply;
    client.closeclient();

    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::fclose(lines);
}

}  // namespace
