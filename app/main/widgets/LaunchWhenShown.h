// Runs a callback once, when a top-level window is first exposed on the screen (so after the
// window manager has placed it), from the event loop.
#pragma once

#include <QObject>
#include <functional>

class QWidget;

class LaunchWhenShown : public QObject {
  public:
    // Call before showing window. Main thread.
    LaunchWhenShown(QWidget* window, std::function<void()> launch);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void()> launch;
};
