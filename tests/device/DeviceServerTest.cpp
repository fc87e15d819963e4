#include "DeviceServer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>
#include <thread>

#include "link/CSockException.h"
#include "link/CTcpClient.h"
#include "link/CommandFormatter.h"
#include "link/WifiTransfer.h"
#include "media/CMediaException.h"
#include "support/DeviceFixture.h"

namespace {

using testsupport::DeviceFixture;
using testsupport::TempDir;
using Members = std::map<std::string, std::string>;
using Tree = std::map<std::string, std::string>;
namespace fs = std::filesystem;

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
    return {{"command", "syncmedia"},
            {"artist", artist},
            {"album", album},
            {"filename", file},
            {"size", size}};
}

Members check(const std::string& artist, const std::string& album, const std::string& file,
              const std::string& size) {
    return {{"command", "check_and_refresh_existing"},
            {"artist", artist},
            {"album", album},
            {"filename", file},
            {"size", size},
            {"dorefresh", "yes"}};
}

std::string status(const std::string& value) {
    return "{\"response\":\"ok\",\"status\":\"" + value + "\"}\n";
}

// Sends a file command and, when it is accepted, the bytes; the second reply, or the first
// when that was not "ok".
std::string upload(Session& session, Members command, const std::string& bytes) {
    command["size"] = std::to_string(bytes.size());
    const std::string first = session.ask(command);
    if (first != kOk) return first;
    session.sendBytes(bytes);
    return session.reply();
}

// Polls a condition of the file system until it holds or the bound passes; true when it holds.
bool eventually(const std::function<bool()>& condition,
                std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// What a desktop sync does: a handshake connection, then a working connection that sends a
// track; returns the kind code and message of what was raised, or "none".
std::string desktopSync(DeviceFixture& device, const std::string& track) {
    int cancel = 0;
    try {
        for (const bool send : {false, true}) {
            WifiTransfer transfer(&cancel);
            transfer.setHost("127.0.0.1");
            transfer.setPort(device.port());
            transfer.setTimeouts(2000, 10000);
            transfer.init();
            if (send) transfer.syncMedia(track, "Artist", "Album", "track.mp3");
            transfer.free();
        }
    } catch (const media::CMediaException& error) {
        return std::string(error.what()) + ": " + error.message;
    }
    return "none";
}

// The real program, listening on a loopback port the kernel picks; killed at the end if it is
// still running.
class DeviceProcess {
  public:
    explicit DeviceProcess(const std::string& root) {
        int out[2];
        if (pipe(out) != 0) return;
        child = fork();
        if (child == 0) {
            dup2(out[1], 1);
            execl(QUILLORY_DEVICE_BIN, "quillory-device", "--root", root.c_str(), "--listen",
                  "127.0.0.1", "--port", "0", "--no-announce", nullptr);
            _exit(127);
        }
        close(out[1]);
        lines = fdopen(out[0], "r");
        char first[256] = {};
        // The banner comes once the root is ready and the port bound.
        if (lines != nullptr && std::fgets(first, sizeof first, lines) != nullptr) {
            const std::string banner = first;
            const std::string prefix = "listening on 127.0.0.1:";
            if (banner.rfind(prefix, 0) == 0) {
                portText = banner.substr(prefix.size(), banner.size() - prefix.size() - 1);
            }
        }
    }
    ~DeviceProcess() {
        if (child > 0) end(SIGKILL);
        if (lines != nullptr) std::fclose(lines);
    }
    DeviceProcess(const DeviceProcess&) = delete;
    DeviceProcess& operator=(const DeviceProcess&) = delete;

    // Empty when the program did not start.
    const std::string& port() const { return portText; }
    // Sends the signal and returns the wait status.
    int end(int signal) {
        kill(child, signal);
        int status = 0;
        waitpid(child, &status, 0);
        child = -1;
        return status;
    }

  private:
    pid_t child = -1;
    FILE* lines = nullptr;
    std::string portText;
};

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
        {{{"command", "check_and_refresh_existing"},
          {"artist", "a"},
          {"album", "b"},
          {"filename", "../c"},
          {"size", "1"},
          {"dorefresh", "yes"}},
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
    for (const std::string size :
         {"-1", "abc", "", "1e3", " 5", "5 ", "+5", "0x10", "99999999999999999999"}) {
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

TEST(DeviceServerTest, PartsFolderRemovedWhileServingIsMadeAgain) {
    DeviceFixture device;
    Session session(device);
    EXPECT_EQ(upload(session, media("a", "b", "1.mp3"), "abc"), kOk);
    // A cleaner app on the phone may remove an empty hidden folder at any time.
    std::filesystem::remove(device.root() / ".quillory-parts");
    EXPECT_EQ(upload(session, media("a", "b", "2.mp3"), "def"), kOk);
    EXPECT_EQ(device.tree(), (Tree{{"a/b/1.mp3", "abc"}, {"a/b/2.mp3", "def"}}));
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
    // The connection's parts folder goes with the connection.
    EXPECT_EQ(session.ask("{\"command\":\"bye\"}"), kOk);
    ASSERT_TRUE(device.device().waitUntilIdle(std::chrono::seconds(20)));
    EXPECT_TRUE(std::filesystem::is_empty(device.root()));
}

// The whole standard output and the exit status of the program with those arguments.
std::pair<std::string, int> programOutput(const std::string& arguments) {
    FILE* out = popen((QUILLORY_DEVICE_BIN " " + arguments).c_str(), "r");
    if (out == nullptr) return {"", -1};
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, out)) > 0;) {
        text.append(buffer, got);
    }
    return {text, pclose(out)};
}

TEST(DeviceServerTest, ProgramTellsItsVersion) {
    // Whatever else is on the line: the version is the whole answer, and nothing is served.
    for (const char* arguments : {"--version", "--root /nonexistent/root --version --port 1"}) {
        EXPECT_EQ(programOutput(arguments),
                  std::make_pair(std::string("quillory-device ") + QUILLORY_VERSION_TEXT + "\n", 0))
            << arguments;
    }
    EXPECT_NE(programOutput("--help").first.find("\n  --version "), std::string::npos);
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
    for (const char* option : {"--root",
                               "--listen",
                               "--port",
                               "--product",
                               "--device-id",
                               "--device-name",
                               "--sync-location",
                               "--protocol",
                               "--announce-interval",
                               "--announce-ttl",
                               "--announce-interface",
                               "--announce-ip",
                               "--no-announce",
                               "--idle-timeout",
                               "--line-timeout",
                               "--takeover",
                               "--min-rate",
                               "--max-line",
                               "--command-log",
                               "--fault ",
                               "--fault-at",
                               "--help",
                               "refuse",
                               "garbage",
                               "no-response",
                               "other-response",
                               "close-after-reply",
                               "close-after-bytes",
                               "close-before-second-reply",
                               "stall",
                               "slow",
                               "store-then-close"}) {
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

TEST(DeviceServerTest, DeepNestingIsAMalformedCommandAndServingGoesOn) {
    DeviceFixture device;
    auto nested = [](const std::string& open, const std::string& close, int depth) {
        std::string value;
        for (int i = 0; i < depth; ++i) value += open;
        value += "1";
        for (int i = 0; i < depth; ++i) value += close;
        return "{\"command\":\"version\",\"x\":" + value + "}";
    };
    Session session(device);
    for (const std::string& line : {nested("[", "]", 1000), nested("{\"a\":", "}", 1000),
                                    std::string(1000, '['), nested("[", "]", 40)}) {
        EXPECT_EQ(session.ask(line), fail("malformed command")) << line.substr(0, 40);
    }
    // The same connection goes on, and so does a desktop sync after it.
    EXPECT_EQ(upload(session, media("a", "b", "c.mp3"), "abc"), kOk);
    session.client.closeclient();
    TempDir local;
    EXPECT_EQ(desktopSync(device, local.write("t.mp3", "track")), "none");
    EXPECT_EQ(device.tree(), (Tree{{"a/b/c.mp3", "abc"}, {"Artist/Album/track.mp3", "track"}}));
}

TEST(DeviceServerTest, KilledMidFileLeavesNoTemporaryFileAfterARestart) {
    TempDir dir;
    const fs::path root = dir.file("root");
    // A finished track, and a part file beside its target as older servers left them.
    dir.write("root/a/b/kept.mp3", "kept");
    dir.write("root/a/b/.quillory-part-Xy12Ab", "old partial");
    auto parts = [&] {
        std::set<std::string> names;
        for (const auto& [name, bytes] : DeviceFixture::treeOf(root)) {
            if (name.find(".quillory-part") != std::string::npos) names.insert(name);
        }
        return names;
    };
    {
        DeviceProcess first(root.string());
        ASSERT_FALSE(first.port().empty());
        EXPECT_TRUE(parts().empty());  // cleared at start
        mycsocks::CTcpClient client;
        client.setTimeouts(2000, 5000);
        client.connectSock("127.0.0.1", first.port());
        client.sendStr(CommandFormatter::format(media("a", "b", "c.mp3", "100000")));
        ASSERT_EQ(client.receiveLine(), kOk);
        const std::string half(40000, 'x');
        client.sendData(half.data(), static_cast<unsigned int>(half.size()));
        // The part file lies in the hidden folder, not beside its target.
        const fs::path partsFolder = root / ".quillory-parts";
        ASSERT_TRUE(eventually([&] {
            const std::set<std::string> now = parts();
            return now.size() == 1 &&
                   DeviceFixture::treeOf(partsFolder).begin()->second.size() == half.size();
        }));
        EXPECT_EQ(parts().begin()->rfind(".quillory-parts/", 0), 0u) << *parts().begin();
        const int status = first.end(SIGKILL);
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        client.closeclient();
        EXPECT_EQ(parts().size(), 1u);  // what the kill left behind
    }
    DeviceProcess second(root.string());
    ASSERT_FALSE(second.port().empty());
    EXPECT_EQ(DeviceFixture::treeOf(root), (Tree{{"a/b/kept.mp3", "kept"}}));
    EXPECT_FALSE(fs::exists(root / ".quillory-parts"));
    mycsocks::CTcpClient client;
    client.setTimeouts(2000, 5000);
    client.connectSock("127.0.0.1", second.port());
    client.sendStr(CommandFormatter::format(media("a", "b", "c.mp3", "3")));
    EXPECT_EQ(client.receiveLine(), kOk);
    client.sendData("abc", 3);
    EXPECT_EQ(client.receiveLine(), kOk);
    client.closeclient();
    EXPECT_EQ(DeviceFixture::treeOf(root), (Tree{{"a/b/kept.mp3", "kept"}, {"a/b/c.mp3", "abc"}}));
}

TEST(DeviceServerTest, SilentOrTricklingClientsDoNotBlockASync) {
    // A raw connection that misbehaves from a thread of its own, for at most a few seconds.
    struct Hostile {
        std::string name;
        std::function<void(Session&)> behave;
    };
    auto trickle = [](Session& session, const std::string& bytes) {
        // One byte every 100 ms, until the server hangs up (bounded: 100 bytes at most).
        for (std::size_t i = 0; i < 100; ++i) {
            try {
                session.sendBytes(bytes.substr(i % bytes.size(), 1));
            } catch (const mycsocks::CSockException&) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    };
    const std::vector<Hostile> cases{
        {"silent after connecting", [](Session&) {}},
        {"silent after a version",
         [](Session& session) {
             session.ask(CommandFormatter::format({{"command", "version"}}));
         }},
        {"silent half-way through a line", [](Session& session) { session.send("{\"comm"); }},
        {"trickling a command line",
         [&](Session& session) { trickle(session, "{\"command\":\"version\"    "); }},
        {"silent half-way through a file",
         [](Session& session) {
             session.ask(media("h", "h", "h.mp3", "1000"));
             session.sendBytes("0123456789");
         }},
        {"trickling a file",
         [&](Session& session) {
             session.ask(media("h", "h", "h.mp3", "1000000"));
             trickle(session, "0123456789");
         }},
    };
    TempDir local;
    const std::string track = local.write("t.mp3", std::string(300000, 't'));
    for (const Hostile& hostile : cases) {
        DeviceOptions options;
        options.takeoverSeconds = 0.5;
        options.lineTimeoutSeconds = 1;
        options.minFileRate = 1000;
        DeviceFixture device(options);
        Session session(device);
        std::thread misbehaving([&] { hostile.behave(session); });
        EXPECT_EQ(desktopSync(device, track), "none") << hostile.name;
        misbehaving.join();
        EXPECT_EQ(device.tree(), (Tree{{"Artist/Album/track.mp3", std::string(300000, 't')}}))
            << hostile.name;
        // The server let the misbehaving client go (rather than its idle limit running out).
        try {
            for (int i = 0; i < 3; ++i) session.reply();
            ADD_FAILURE() << hostile.name << ": still connected";
        } catch (const mycsocks::CSockException& error) {
            EXPECT_STREQ(error.what(), "Connection reset by peer") << hostile.name;
        }
    }
}

TEST(DeviceServerTest, RefusesDeepAndLongPaths) {
    DeviceFixture device;
    std::string deep;
    for (int i = 0; i < 2000; ++i) deep += "d/";
    deep += "x.mp3";  // one command of about 4 KB
    const std::string name(200, 'n');
    const std::string tooLong = name + "/" + name + "/" + name + "/" + name;
    Session session(device);
    const struct {
        Members command;
        std::string reason;
    } cases[] = {
        {media("a", "b", deep), "file name has more than 4 parts"},
        {media("a", "b", "1/2/3/4/5.mp3"), "file name has more than 4 parts"},
        {media(name, name, tooLong), "path is longer than 1024 bytes"},
        {check("a", "b", deep, "1"), "file name has more than 4 parts"},
        {media(".quillory-parts", "b", "c.mp3"), ".quillory-parts is reserved"},
        {media("", "", ".quillory-parts/c.mp3"), ".quillory-parts is reserved"},
    };
    for (const auto& c : cases) EXPECT_EQ(session.ask(c.command), fail(c.reason)) << c.reason;
    session.send(CommandFormatter::format(
        {{"command", "delete"}, {"artist", "a"}, {"album", "b"}, {"filename", deep}}));
    // Four parts are fine.
    EXPECT_EQ(upload(session, media("a", "b", "1/2/3/4.mp3"), "abc"), kOk);
    EXPECT_EQ(device.tree(), (Tree{{"a/b/1/2/3/4.mp3", "abc"}}));
    // No folder was made for the refused names (thousands of them, before).
    EXPECT_EQ(session.ask("{\"command\":\"bye\"}"), kOk);
    ASSERT_TRUE(device.device().waitUntilIdle(std::chrono::seconds(20)));
    std::size_t folders = 0;
    for (const auto& entry : fs::recursive_directory_iterator(device.root())) {
        folders += entry.is_directory() ? 1 : 0;
    }
    EXPECT_EQ(folders, 5u);  // a, b, 1, 2, 3
}

TEST(DeviceServerTest, PlantedLinksLeadNowhereOutsideTheRoot) {
    DeviceFixture device;
    TempDir outside;
    outside.write("x/secret.mp3", "secret");
    outside.write("lists/keep.m3u", "keep");
    fs::create_directory(outside.path() / "parts");
    const Tree untouched = DeviceFixture::treeOf(outside.path());
    const fs::path root = device.root();
    fs::create_directory_symlink(outside.path(), root / "linked");
    fs::create_directories(root / "a" / "b");
    fs::create_symlink(outside.path() / "x" / "secret.mp3", root / "a" / "b" / "secret.mp3");
    fs::create_symlink(outside.path() / "x" / "secret.mp3", root / "a" / "b" / "other.mp3");
    fs::create_directory_symlink(outside.path() / "lists", root / "playlists");

    Session session(device);
    const Members playlist{{"command", "syncplaylist"}, {"filename", "new.m3u"}};
    const struct {
        std::string what;
        Members command;
        std::string reply;
    } uploads[] = {
        {"through a linked folder", media("linked", "x", "new.mp3"),
         fail("linked is a symbolic link")},
        {"into a linked playlist folder", playlist, fail("playlists is a symbolic link")},
        // The link itself is replaced; what it pointed at is not written.
        {"onto a linked file", media("a", "b", "secret.mp3"), kOk},
    };
    for (const auto& c : uploads) EXPECT_EQ(upload(session, c.command, "new"), c.reply) << c.what;
    EXPECT_EQ(session.ask(check("linked", "x", "secret.mp3", "6")), status("doesnotexist"));
    EXPECT_EQ(session.ask(check("a", "b", "other.mp3", "6")), status("doesnotexist"));
    for (const Members& command :
         {Members{{"command", "delete"},
                  {"artist", "linked"},
                  {"album", "x"},
                  {"filename", "secret.mp3"}},
          Members{
              {"command", "delete"}, {"artist", "a"}, {"album", "b"}, {"filename", "other.mp3"}},
          Members{{"command", "removeplaylists"}}}) {
        session.send(CommandFormatter::format(command));
    }
    // A parts folder swapped for a link while serving is refused, too.
    fs::remove(root / ".quillory-parts");
    fs::create_directory_symlink(outside.path() / "parts", root / ".quillory-parts");
    EXPECT_EQ(upload(session, media("a", "b", "c.mp3"), "new"),
              fail(".quillory-parts is a symbolic link"));

    EXPECT_EQ(DeviceFixture::treeOf(outside.path()), untouched);
    EXPECT_EQ(device.tree(), (Tree{{"a/b/secret.mp3", "new"}}));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "a" / "b" / "other.mp3")));
    EXPECT_TRUE(fs::is_symlink(root / "linked"));
}

TEST(DeviceServerTest, StoreThenCloseStoresTheFileAndLosesTheReply) {
    DeviceOptions options;
    ASSERT_TRUE(options.fault.parse("store-then-close:syncmedia"));
    DeviceFixture device(options);
    {
        Session session(device);
        EXPECT_EQ(session.ask(media("a", "b", "c.mp3")), kOk);
        session.sendBytes("abc");
        EXPECT_THROW(session.reply(), mycsocks::CSockException);
    }
    EXPECT_EQ(device.tree(), (Tree{{"a/b/c.mp3", "abc"}}));
    // It fired once: the next upload is answered.
    Session again(device);
    EXPECT_EQ(upload(again, media("a", "b", "d.mp3"), "def"), kOk);
    EXPECT_EQ(device.tree(), (Tree{{"a/b/c.mp3", "abc"}, {"a/b/d.mp3", "def"}}));
}

TEST(DeviceServerTest, ClearingTheFaultEndsASlowTransfer) {
    DeviceOptions options;
    // 100 KB at 1 KB/s would take 100 s, far past the client's time-out.
    ASSERT_TRUE(options.fault.parse("slow:syncmedia:1000"));
    DeviceFixture device(options);
    Session session(device);
    const std::string bytes(100000, 's');
    EXPECT_EQ(session.ask(media("a", "b", "c.mp3", std::to_string(bytes.size()))), kOk);
    std::thread sender([&] { session.sendBytes(bytes); });
    // Cleared once the server is throttling: the first bytes are in the part file, and the
    // pause after them would last for seconds.
    EXPECT_TRUE(eventually([&] {
        const fs::path folder = device.root() / ".quillory-parts";
        if (!fs::exists(folder)) return false;  // made just after the first reply
        const Tree parts = DeviceFixture::treeOf(folder);
        return parts.size() == 1 && !parts.begin()->second.empty();
    }));
    device.device().setFault(FaultPlan());
    sender.join();
    EXPECT_EQ(session.reply(), kOk);
    EXPECT_EQ(device.tree(), (Tree{{"a/b/c.mp3", bytes}}));
}

}  // namespace
