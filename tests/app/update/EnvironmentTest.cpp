#include "update/Environment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "support/TempDir.h"
#include "update/ProgramIdentity.h"

namespace {

TEST(EnvironmentTest, InstallsTheCacheOnceAndWritable) {
    testsupport::TempDir home;
    const QString working = QString::fromStdString(home.file("quillory"));
    const QString database = working + QStringLiteral("/db.s3db");

    Environment::install(working, database);
    ASSERT_TRUE(QFileInfo(database).isFile());
    EXPECT_TRUE(QFileInfo(database).isWritable());
    QFile built(QStringLiteral(QUILLORY_TEMPLATE_DB));
    built.open(QIODevice::ReadOnly);
    QFile installed(database);
    installed.open(QIODevice::ReadOnly);
    EXPECT_EQ(installed.readAll(), built.readAll());
    installed.close();

    // An existing database is never replaced.
    QFile kept(database);
    kept.open(QIODevice::WriteOnly | QIODevice::Truncate);
    kept.write("mine");
    kept.close();
    Environment::install(working, database);
    kept.open(QIODevice::ReadOnly);
    EXPECT_EQ(kept.readAll(), QByteArray("mine"));
    kept.close();

    // Deleted, it comes back.
    QFile::remove(database);
    Environment::install(working, database);
    EXPECT_GT(QFileInfo(database).size(), 4);
}

TEST(EnvironmentTest, PagesVersionAndIdentifiers) {
    EXPECT_TRUE(Environment::sharedEnv().workingDir().endsWith(QStringLiteral("/quillory")));
    ProgramIdentity& identity = ProgramIdentity::shared();
    EXPECT_EQ(identity.getAppVersion(), QStringLiteral(QUILLORY_VERSION_TEXT));
    EXPECT_FALSE(identity.deviceConnected());
    EXPECT_EQ(identity.appRatingPage(), QString());
    identity.setDevicePackage(QStringLiteral("com.example.sync"));
    EXPECT_TRUE(identity.appRatingPage().endsWith(
        QStringLiteral("/store/apps/details?id=com.example.sync")));
    const QString a = ProgramIdentity::UUIDString();
    const QString b = ProgramIdentity::UUIDString();
    EXPECT_EQ(a.size(), 36);
    EXPECT_NE(a, b);
}

}  // namespace
