// What quillory-sync says and returns for each kind of failure.
#include "SyncFailure.h"

#include <gtest/gtest.h>

#include <QSet>

namespace {

TEST(SyncFailureTest, EachKindHasItsStatusAndItsOwnWords) {
    const struct {
        const char* kind;
        int status;
    } cases[] = {
        {"error_connect", 3},       {"error_disconnect", 4}, {"error_refused", 5},
        {"error_communication", 6}, {"error_db", 7},         {"error", 8},
        {"error_cancel", 130},
    };
    QSet<QString> explanations;
    for (const auto& c : cases) {
        const QString kind = QString::fromUtf8(c.kind);
        EXPECT_EQ(SyncFailure::exitStatus(kind), c.status) << c.kind;
        const QString words = SyncFailure::explanation(kind);
        EXPECT_FALSE(words.isEmpty()) << c.kind;
        // Plain words: the explanation does not just repeat the code.
        EXPECT_FALSE(words.contains(QLatin1String("error_"))) << c.kind;
        explanations.insert(words);
    }
    EXPECT_EQ(explanations.size(), static_cast<qsizetype>(std::size(cases)));
    // A kind the engine does not throw counts as "error".
    EXPECT_EQ(SyncFailure::exitStatus(QStringLiteral("error_new")), 8);
    EXPECT_EQ(SyncFailure::exitStatus(QString()), 8);
    EXPECT_EQ(SyncFailure::explanation(QStringLiteral("error_new")),
              SyncFailure::explanation(QStringLiteral("error")));
}

TEST(SyncFailureTest, DescribesKindMessageAndExplanation) {
    EXPECT_EQ(SyncFailure::describe(QStringLiteral("error_connect"),
                                    QStringLiteral("Connection refused")),
              QStringLiteral("error_connect: Connection refused \u2014 is the device app running "
                             "and on the same network?"));
    EXPECT_EQ(
        SyncFailure::describe(QStringLiteral("error_db"), QString()),
        QStringLiteral("error_db \u2014 ") + SyncFailure::explanation(QStringLiteral("error_db")));
}

}  // namespace
