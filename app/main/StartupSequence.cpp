#include "main/StartupSequence.h"

#include <algorithm>

StartupSequence::StartupSequence(bool firstLaunch, bool crashed)
    : firstLaunch(firstLaunch), step(crashed ? Step::CrashOffer : Step::Update) {}

StartupSequence::Step StartupSequence::advance(int code) {
    switch (step) {
        case Step::CrashOffer:
            step = Step::Update;
            break;
        case Step::Update:
            step = code == 1 ? Step::Done : Step::Connection;
            break;
        case Step::Connection:
            step = firstLaunch ? Step::HelpPage : Step::Done;
            break;
        case Step::HelpPage:
        case Step::Done:
            step = Step::Done;
            break;
    }
    return step;
}

QRect StartupSequence::centred(const QRect& mainWindow, const QSize& dialog, const QRect& screen) {
    QRect placed(QPoint(0, 0), dialog);
    placed.moveCenter(mainWindow.center());
    if (screen.isValid()) {
        placed.moveLeft(std::clamp(placed.left(), screen.left(),
                                   std::max(screen.left(), screen.right() - placed.width() + 1)));
        placed.moveTop(std::clamp(placed.top(), screen.top(),
                                  std::max(screen.top(), screen.bottom() - placed.height() + 1)));
    }
    return placed;
}
