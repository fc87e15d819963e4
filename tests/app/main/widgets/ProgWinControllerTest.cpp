#include "main/widgets/ProgWinController.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <thread>

#include "main/NotificationCenter.h"
#include "support/WaitFor.h"

namespace {

TEST(ProgWinControllerTest, ReportsReachTheWidgetsInOrder) {
    QMainWindow window;
    ProgWinController sheet(&window);
    QStringList applied;
    QObject::connect(&sheet, &ProgWinController::progressApplied,
                     [&](const ProgressInfo& info) { applied << info.detail; });

    sheet.updateProgress({QStringLiteral("Syncing.."), QStringLiteral("on main"), 42});
    EXPECT_EQ(sheet.detailText(), QStringLiteral("on main"));  // before updateProgress returned
    EXPECT_EQ(sheet.barValue(), 42);

    std::thread sync([&] {
        for (int i = 1; i <= 50; ++i) {
            sheet.updateProgress({QStringLiteral("Syncing.."), QString::number(i), i * 2});
        }
    });
    sync.join();
    EXPECT_EQ(applied.size(), 1);  // the others wait for the main thread
    ASSERT_TRUE(testsupport::waitFor([&] { return applied.size() == 51; }));
    QStringList expected{QStringLiteral("on main")};
    for (int i = 1; i <= 50; ++i) expected << QString::number(i);
    EXPECT_EQ(applied, expected);
    EXPECT_EQ(sheet.barValue(), 100);
    EXPECT_EQ(sheet.titleText(), QStringLiteral("Syncing.."));

    int cancels = 0;
    const ObserverRegistration observer(QStringLiteral("cancel"), [&](const Notification& n) {
        EXPECT_EQ(n.sender, nullptr);
        ++cancels;
    });
    sheet.cacelSync();
    sheet.cacelSync();
    EXPECT_EQ(cancels, 2);
}

}  // namespace
