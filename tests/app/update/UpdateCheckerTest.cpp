#include "update/UpdateChecker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QSettings>

#include "app/update/UpdateTest.h"
#include "support/HttpFixture.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "update/PrivateFolder.h"
#include "update/ProgramIdentity.h"
#include "update/VersionComparator.h"

namespace {

using testsupport::HttpFixture;
using testsupport::waitFor;
using updatetest::feed;
using updatetest::kFeedPath;
using updatetest::UpdateTest;

const std::string kStatsPath = "/apps/quillorymac/desktop/updates/update_stats.php";

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

}  // namespace
