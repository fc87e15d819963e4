// The program's launch: marks the first launch (opening the help page then), offers a report if
// the last run ended abnormally, and starts the main window.
#pragma once

#include <QObject>

class AppController;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(AppController& appController);
    void applicationDidFinishLaunching();
    // Closing the main window quits the program.
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }

private:
    AppController& appController;
};
