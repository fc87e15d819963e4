// The dialogs of start-up, one at a time and in order: the crash report offer (when the last run
// ended abnormally), the update sheet, the connection dialog (unless an installer was started),
// then, on the first launch, the help page in the browser (last, so that it does not cover the
// sheets). Plain data; main thread.
#pragma once

#include <QRect>

class StartupSequence {
  public:
    enum class Step { CrashOffer, Update, Connection, HelpPage, Done };

    StartupSequence(bool firstLaunch = false, bool crashed = false);

    // The step to take now.
    Step current() const { return step; }
    // Moves past the current step once its dialog has ended and returns the next one. code is
    // the update sheet's return code: 1 (an installer started, the program quits) ends start-up.
    Step advance(int code = 0);

    // Where a dialog of that size goes so that it is centred on the main window's frame,
    // moved inside the screen's available area when it would stick out.
    static QRect centred(const QRect& mainWindow, const QSize& dialog, const QRect& screen);

  private:
    bool firstLaunch;
    Step step;
};
