// The program's launch: marks the first launch (the help page opens then, after the start-up
// dialogs), and starts the main window's start-up, which first offers a report if the last run
// ended abnormally.
#pragma once

#include <QObject>

class AppController;
class FeedbackReporter;

class AppDelegate : public QObject {
    Q_OBJECT
  public:
    // reporter: where the crash marker is kept (the shared reporter unless a test gives one).
    explicit AppDelegate(AppController& appController, FeedbackReporter* reporter = nullptr);
    // Marks the first launch and starts the main window's start-up sequence, whose dialogs
    // come one at a time. Call once the main window is on the screen.
    void applicationDidFinishLaunching();
    // Closing the main window quits the program.
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }

  private:
    AppController& appController;
    FeedbackReporter& reporter;
};
