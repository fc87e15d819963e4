#include "main/widgets/FeedbackReporter.h"

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace {

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
    EXPECT_TRUE(mail.contains(QStringLiteral("QuilloryMac%20" QUILLORY_VERSION_TEXT)))
        << mail.toStdString();
    EXPECT_TRUE(mail.contains(QStringLiteral("It%20works%20%26%20I%20like%20it")))
        << mail.toStdString();
}

}  // namespace
