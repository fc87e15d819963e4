#include "Environment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "FeedbackReporter.h"
#include "ProgramIdentity.h"
#include "support/TempDir.h"

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

TEST(FeedbackReporterTest, NoticesAnAbnormalEndAndWritesMail) {
    testsupport::TempDir folder;
    const QString path = QString::fromStdString(folder.path().string());
    {
        FeedbackReporter first(path);
        EXPECT_FALSE(first.previousRunCrashed());
        // No clean exit: the marker stays.
    }
    {
        FeedbackReporter second(path);
        EXPECT_TRUE(second.previousRunCrashed());
        second.cleanExit();
    }
    FeedbackReporter third(path);
    EXPECT_FALSE(third.previousRunCrashed());
    third.cleanExit();
    const QString mail = FeedbackReporter::mailtoFor(QStringLiteral("It works & I like it"));
    EXPECT_TRUE(mail.startsWith(QStringLiteral("mailto:"))) << mail.toStdString();
    EXPECT_TRUE(mail.contains(QStringLiteral("QuilloryMac%20" QUILLORY_VERSION_TEXT))) << mail.toStdString();
    EXPECT_TRUE(mail.contains(QStringLiteral("It%20works%20%26%20I%20like%20it"))) << mail.toStdString();
}

}  // namespace
