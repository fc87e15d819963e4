#include "UpdateChecker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QSettings>

#include "PrivateFolder.h"
#include "ProgramIdentity.h"
#include "UpdateWindowController.h"
#include "VersionComparator.h"
#include "support/HttpFixture.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace {

using testsupport::HttpFixture;
using testsupport::waitFor;

const std::string kFeedPath = "/apps/quillorymac/desktop/updates/update.xml";
const std::string kStatsPath = "/apps/quillorymac/desktop/updates/update_stats.php";

std::string feed(const std::string& version, const std::string& source) {
    return "<?xml version=\"1.0\"?><update><version>" + version + "</version><source>" + source +
           "</source></update>";
}

class UpdateTest : public testing::Test {
  protected:
    UpdateTest() {
        qputenv("QUILLORY_UPDATE_SERVER", QByteArray::fromStdString(server.base()));
        QSettings().remove(QStringLiteral("uuid_quillory"));
    }
    ~UpdateTest() override { qunsetenv("QUILLORY_UPDATE_SERVER"); }

    HttpFixture server;
};

TEST(VersionComparatorTest, ThreeComponentsLeadingIntegers) {
    const struct {
        const char* a;
        const char* b;
        bool newer;
    } cases[] = {{"1.10", "1.9", true},       {"2", "1.9.9", true},   {"1.2", "1.2.0", false},
                 {"1.2.3.9", "1.2.3", false}, {"1.2b", "1.2", false}, {"1.9", "1.10", false},
                 {"1.0.1", "1.0.0", true},    {"", "0", false},       {" 3", "2.9", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(VersionComparator::isVersion(QString::fromUtf8(c.a), QString::fromUtf8(c.b)),
                  c.newer)
            << c.a << " vs " << c.b;
    }
    EXPECT_EQ(VersionComparator::normaliseValuesFromArray({QStringLiteral("1")}),
              (QStringList{QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")}));
    EXPECT_EQ(VersionComparator::normaliseValuesFromArray({"1", "2", "3", "4"}).size(), 4);
}

TEST_F(UpdateTest, StatisticsRequestReusesItsIdentifier) {
    EXPECT_EQ(
        UpdateChecker::statsQuery(QStringLiteral("ID"), QStringLiteral("1.0.0"),
                                  QStringLiteral("Debian GNU/Linux 12 (bookworm)"),
                                  QStringLiteral("ana")),
        QStringLiteral("/apps/quillorymac/desktop/updates/update_stats.php?id=ID&version=1.0.0"
                       "&os=Debian+GNU/Linux+12+(bookworm)&uname=ana&type=quillorymacbeta"));
    UpdateChecker().updateStats();
    const QString id = QSettings().value(QStringLiteral("uuid_quillory")).toString();
    EXPECT_EQ(id.size(), 36);
    UpdateChecker().updateStats();  // a second start
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], requests[1]);
    EXPECT_EQ(requests[0].rfind(kStatsPath + "?id=" + id.toStdString() + "&version=" +
                                    ProgramIdentity::shared().getAppVersion().toStdString() + "&os=",
                                0),
              0u)
        << requests[0];
    EXPECT_EQ(requests[0].find(' '), std::string::npos);
    EXPECT_NE(requests[0].find("&type=quillorymacbeta"), std::string::npos);
}

TEST_F(UpdateTest, FeedAnswers) {
    const std::string running = ProgramIdentity::shared().getAppVersion().toStdString();
    const struct {
        HttpFixture::Answer answer;
        bool newer;
    } cases[] = {
        {{200, feed("99.0.0", "http://x/QuilloryMac-99.deb")}, true},
        {{200, feed(running, "http://x/same.deb")}, false},
        {{200, feed("0.1", "http://x/old.deb")}, false},
        {{200, "this is not xml"}, false},
        {{200, "<update><version>99.0</version></update>"}, false},
        {{200, "<update><source>http://x/a.deb</source></update>"}, false},
        {{404, "gone"}, false},
        {{200, "", 0, true}, false},  // the server closes without answering
    };
    for (const auto& c : cases) {
        server.answer(kFeedPath, c.answer);
        UpdateChecker checker;
        EXPECT_EQ(checker.isUpdateAvailable(), c.newer) << c.answer.body;
        EXPECT_EQ(checker.getVersion().has_value(), c.newer) << c.answer.body;
    }
    server.answer(kFeedPath, {200, feed("<![CDATA[ 99.1.0 ]]>", "http://x/<b>p</b>.deb")});
    UpdateChecker checker;
    EXPECT_TRUE(checker.isUpdateAvailable());
    EXPECT_EQ(checker.getVersion(), QStringLiteral(" 99.1.0 "));
    EXPECT_EQ(checker.getVersionLocation(), QStringLiteral("http://x/p.deb"));
}

TEST_F(UpdateTest, DownloadLandsUnderItsNameAndReplacesAnOlderFile) {
    // The package lands in the user's private folder (mode 0700); an older file there is
    // replaced, and a link planted under its name is replaced too, never followed.
    const QString folder = PrivateFolder::ensure();
    ASSERT_FALSE(folder.isEmpty());
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    const QString target = folder + QStringLiteral("/QuilloryMac-99.deb");
    QFile old(target);
    old.open(QIODevice::WriteOnly);
    old.write("an older package that is longer than the new one");
    old.close();
    server.answer("/files/QuilloryMac-99.deb", {200, "package bytes"});
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/QuilloryMac-99.deb")});
    UpdateChecker checker;
    ASSERT_TRUE(checker.isUpdateAvailable());
    int calls = 0;
    std::optional<QString> path;
    checker.setDelegate([&](const std::optional<QString>& result) {
        ++calls;
        path = result;
    });
    ASSERT_TRUE(checker.downloadUpdate());
    ASSERT_TRUE(waitFor([&] { return calls > 0; }));
    waitFor([] { return false; }, 100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(path, target);
    QFile landed(target);
    landed.open(QIODevice::ReadOnly);
    EXPECT_EQ(landed.readAll(), QByteArray("package bytes"));

    const testsupport::TempDir elsewhere;
    const std::string victim = elsewhere.write("victim", "not yours");
    QFile::remove(target);
    ASSERT_TRUE(QFile::link(QString::fromStdString(victim), target));
    path.reset();
    calls = 0;
    ASSERT_TRUE(checker.downloadUpdate());
    ASSERT_TRUE(waitFor([&] { return calls > 0; }));
    EXPECT_EQ(path, target);
    EXPECT_EQ(testsupport::readFile(victim), "not yours");
    EXPECT_FALSE(QFileInfo(target).isSymLink());
    EXPECT_EQ(testsupport::readFile(target.toStdString()), "package bytes");
}

TEST_F(UpdateTest, FailingDownloads) {
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/missing.deb")});
    UpdateChecker checker;
    ASSERT_TRUE(checker.isUpdateAvailable());
    int calls = 0;
    std::optional<QString> path = QStringLiteral("unset");
    checker.setDelegate([&](const std::optional<QString>& result) {
        ++calls;
        path = result;
    });
    ASSERT_TRUE(checker.downloadUpdate());
    ASSERT_TRUE(waitFor([&] { return calls > 0; }));
    EXPECT_EQ(path, std::nullopt);
    EXPECT_FALSE(QFile::exists(PrivateFolder::path() + QStringLiteral("/missing.deb")));
    EXPECT_FALSE(UpdateChecker().downloadUpdate());  // nothing found: cannot start
}

class UpdateWindowTest : public UpdateTest {
  protected:
    UpdateWindowTest() : window(nullptr), controller(&window) {
        previousPath = qgetenv("PATH");
        window.show();
    }
    ~UpdateWindowTest() override { qputenv("PATH", previousPath); }

    // A folder on the PATH holding a fake installer that records its arguments.
    QString fakeInstaller() {
        const std::string script =
            bin.write("xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > \"" +
                                      bin.file("installed") + "\"\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        qputenv("PATH", QByteArray::fromStdString(bin.path().string()));
        return QString::fromStdString(bin.file("installed"));
    }

    QWidget window;
    UpdateWindowController controller;
    testsupport::TempDir bin;
    QByteArray previousPath;
    std::vector<int> codes;
};

TEST_F(UpdateWindowTest, NoNewerVersionClosesByItself) {
    server.answer(kFeedPath, {200, feed(ProgramIdentity::shared().getAppVersion().toStdString(),
                                        "http://x/a.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    EXPECT_FALSE(controller.downloadEnabled());
    ASSERT_TRUE(waitFor([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{0});
}

TEST_F(UpdateWindowTest, DownloadHandsThePackageToTheInstaller) {
    const QString record = fakeInstaller();
    server.answer("/files/QuilloryMac-99.deb", {200, "package"});
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/QuilloryMac-99.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    ASSERT_TRUE(waitFor([&] { return controller.downloadEnabled(); }));
    EXPECT_EQ(controller.message(),
              QStringLiteral("A newer version 99.0.0 is available, current version is ") +
                  ProgramIdentity::shared().getAppVersion());
    controller.download();
    EXPECT_EQ(controller.message(), QStringLiteral("Downloading update please wait.."));
    EXPECT_FALSE(controller.skipEnabled());
    ASSERT_TRUE(waitFor([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{1});
    ASSERT_TRUE(waitFor([&] { return QFile::exists(record); }));
    waitFor([] { return false; }, 200);
    QFile installed(record);
    installed.open(QIODevice::ReadOnly);
    EXPECT_EQ(installed.readAll(),
              "1\n" + (PrivateFolder::path() + QStringLiteral("/QuilloryMac-99.deb\n")).toUtf8());
}

TEST_F(UpdateWindowTest, NoInstallerOrFailedDownloadGoesOn) {
    qputenv("PATH", QByteArray::fromStdString(bin.path().string()));  // nothing to install with
    server.answer("/files/p.deb", {200, "package"});
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/p.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    ASSERT_TRUE(waitFor([&] { return controller.downloadEnabled(); }));
    controller.download();
    ASSERT_TRUE(waitFor([&] { return !codes.empty(); }));
    EXPECT_EQ(codes, std::vector<int>{0});

    fakeInstaller();
    server.answer(kFeedPath, {200, feed("99.0.0", server.base() + "/files/absent.deb")});
    controller.showWindow([&](int code) { codes.push_back(code); });
    ASSERT_TRUE(waitFor([&] { return controller.downloadEnabled(); }));
    controller.download();
    ASSERT_TRUE(waitFor([&] { return codes.size() == 2; }));
    EXPECT_EQ(codes, (std::vector<int>{0, 0}));
}

TEST_F(UpdateWindowTest, SkipDuringTheCheckEndsOnce) {
    server.answer(kFeedPath, {200, feed("99.0.0", "http://x/a.deb"), 400});
    controller.showWindow([&](int code) { codes.push_back(code); });
    controller.skip();
    EXPECT_EQ(codes, std::vector<int>{0});
    waitFor([] { return false; }, 900);  // the late answer arrives and is dropped
    EXPECT_EQ(codes, std::vector<int>{0});
    EXPECT_FALSE(controller.downloadEnabled());
}

}  // namespace
