#include "AppDelegate.h"

#include <QSettings>

#include "AppController.h"
#include "Environment.h"
#include "FeedbackReporter.h"

AppDelegate::AppDelegate(AppController& controller) : appController(controller) {}

void AppDelegate::applicationDidFinishLaunching() {
    QSettings settings;
    if (!settings.value(QStringLiteral("firstlaunchdone")).toBool()) {
        settings.setValue(QStringLiteral("firstlaunchdone"), true);
        Environment::openHelpPage();
    }
    FeedbackReporter::sharedReporter().reportIfCrash(appController.window());
    appController.startUp();
}
