#include "main/widgets/AppDelegate.h"

#include <QSettings>

#include "main/widgets/AppController.h"
#include "main/widgets/FeedbackReporter.h"

AppDelegate::AppDelegate(AppController& controller, FeedbackReporter* reporter)
    : appController(controller),
      reporter(reporter != nullptr ? *reporter : FeedbackReporter::sharedReporter()) {}

void AppDelegate::applicationDidFinishLaunching() {
    QSettings settings;
    const bool firstLaunch = !settings.value(QStringLiteral("firstlaunchdone")).toBool();
    if (firstLaunch) settings.setValue(QStringLiteral("firstlaunchdone"), true);
    appController.startUp(StartupSequence(firstLaunch, reporter.previousRunCrashed()), &reporter);
}
