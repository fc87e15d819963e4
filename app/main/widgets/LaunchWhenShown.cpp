#include "main/widgets/LaunchWhenShown.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

LaunchWhenShown::LaunchWhenShown(QWidget* window, std::function<void()> launch)
    : QObject(window), launch(std::move(launch)) {
    window->winId();  // makes the native window, whose expose events are watched
    window->windowHandle()->installEventFilter(this);
}

bool LaunchWhenShown::eventFilter(QObject* watched, QEvent* event) {
    auto* window = qobject_cast<QWindow*>(watched);
    if (event->type() == QEvent::Expose && window != nullptr && window->isExposed() && launch) {
        window->removeEventFilter(this);
        // After the expose has been handled, from the event loop.
        QTimer::singleShot(0, this, [run = std::move(launch)] { run(); });
        launch = nullptr;
    }
    return QObject::eventFilter(watched, event);
}
